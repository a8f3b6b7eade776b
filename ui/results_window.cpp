#include "ui/results_window.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <optional>

#include "map/field_map.h"
#include "map/map_file.h"
#include "ui/map_widget.h"
#include "ui/services.h"
#ifdef TARVIK_WITH_EXPORT
#include "ui/export_dialog.h"
#endif

namespace tarvik::ui {

namespace {

QString Number(double value, int decimals) {
  return QString::number(value, 'f', decimals);
}

QString StatisticsRow(const QString& label, const YieldStatistics& s) {
  const auto cell = [&](double value) {
    return QStringLiteral("<td align=right>%1</td>").arg(s.Count > 0 ? Number(value, 1) : "–");
  };
  return QStringLiteral("<tr><td>%1</td><td align=right>%2</td>").arg(label).arg(s.Count) +
         cell(s.Mean) + cell(s.SD) +
         QStringLiteral("<td align=right>%1</td>").arg(s.CV ? Number(*s.CV, 1) : "–") +
         cell(s.Minimum) + cell(s.Median) + cell(s.Maximum) + QStringLiteral("</tr>");
}

}  // namespace

HistogramWidget::HistogramWidget(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Histogram"));
  setMinimumSize(240, 150);
}

void HistogramWidget::SetHistogram(YieldHistogram histogram) {
  histogram_ = std::move(histogram);
  update();
}

void HistogramWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  const YieldHistogram& h = histogram_;
  const QFontMetrics metrics(font());
  const QRectF plot =
      QRectF(rect()).adjusted(8, metrics.height() + 8, -8, -2 * metrics.height() - 6);
  painter.setPen(Qt::black);
  painter.drawText(QRectF(8, 2, width() - 16, metrics.height() + 4), Qt::AlignLeft,
                   tr("Yield (bu/ac): all points (grey), retained (colour)"));
  if (h.All.empty() || plot.width() <= 0 || plot.height() <= 0) return;
  const std::int32_t most = std::max(*std::max_element(h.All.begin(), h.All.end()),
                                     *std::max_element(h.Retained.begin(), h.Retained.end()));
  const double barWidth = plot.width() / static_cast<double>(h.All.size());
  const auto bar = [&](std::size_t i, std::int32_t n, double inset) {
    const double height = most > 0 ? plot.height() * n / most : 0;
    return QRectF(plot.left() + barWidth * static_cast<double>(i) + inset, plot.bottom() - height,
                  barWidth - 2 * inset, height);
  };
  for (std::size_t i = 0; i < h.All.size(); ++i) {
    painter.fillRect(bar(i, h.All[i], 0.5), QColor(0xc8c8c8));
    painter.fillRect(bar(i, h.Retained[i], barWidth * 0.2), map::Viridis(0.45));
  }
  painter.setPen(QColor(0x666666));
  painter.drawLine(plot.bottomLeft(), plot.bottomRight());
  painter.setPen(Qt::black);
  const QRectF labels(plot.left(), plot.bottom() + 2, plot.width(), metrics.height());
  painter.drawText(labels, Qt::AlignLeft, Number(h.Edges.front(), 0));
  painter.drawText(labels, Qt::AlignHCenter, tr("%1 per bar at most").arg(most));
  painter.drawText(labels, Qt::AlignRight, Number(h.Edges.back(), 0));
  if (h.AllBelow > 0 || h.AllAbove > 0) {
    painter.drawText(labels.translated(0, metrics.height()), Qt::AlignLeft,
                     tr("%1 below, %2 above the bins").arg(h.AllBelow).arg(h.AllAbove));
  }
}

ResultsWindow::ResultsWindow(MessageService& messages, FileDialogService& files, QWidget* parent)
    : QWidget(parent, Qt::Window), messages_(messages), files_(files) {
  setObjectName(QStringLiteral("Results"));
  setWindowTitle(tr("Results"));

  map_ = new MapWidget(this);
  auto* fit = new QPushButton(tr("&Fit Field"), this);
  fit->setObjectName(QStringLiteral("FitField"));
  connect(fit, &QPushButton::clicked, map_, &MapWidget::FitField);

  auto* codeGrid = new QGridLayout;
  int slot = 0;
  for (int code = 0; code < kCodeCount; ++code) {
    if (code != kRetained && RuleName(code) == nullptr) continue;
    auto* box = new QCheckBox(this);
    box->setObjectName(QStringLiteral("ShowCode%1").arg(code));
    box->setChecked(true);
    connect(box, &QCheckBox::toggled, this,
            [this, code](bool on) { map_->SetCodeShown(code, on); });
    codes_[static_cast<std::size_t>(code)] = box;
    codeGrid->addWidget(box, slot / 3, slot % 3);
    ++slot;
  }

  summaryText_ = new QLabel(this);
  summaryText_->setObjectName(QStringLiteral("SummaryText"));
  summaryText_->setTextFormat(Qt::RichText);
  summaryText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  summaryText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  summaryText_->setWordWrap(true);
  histogram_ = new HistogramWidget(this);

  mapWidth_ = new QSpinBox(this);
  mapWidth_->setObjectName(QStringLiteral("MapWidth"));
  mapHeight_ = new QSpinBox(this);
  mapHeight_->setObjectName(QStringLiteral("MapHeight"));
  for (QSpinBox* box : {mapWidth_, mapHeight_}) {
    box->setRange(200, 10000);
    box->setSuffix(tr(" px"));
  }
  mapWidth_->setValue(1600);
  mapHeight_->setValue(1200);
  auto* saveMap = new QPushButton(tr("Save &Map..."), this);
  saveMap->setObjectName(QStringLiteral("SaveMap"));
  connect(saveMap, &QPushButton::clicked, this, &ResultsWindow::SaveMap);
  auto* saveSummary = new QPushButton(tr("Save &Summary..."), this);
  saveSummary->setObjectName(QStringLiteral("SaveSummary"));
  connect(saveSummary, &QPushButton::clicked, this, &ResultsWindow::SaveSummary);
  auto* close = new QPushButton(tr("&Close"), this);
  close->setObjectName(QStringLiteral("CloseResults"));
  connect(close, &QPushButton::clicked, this, &QWidget::close);

  auto* left = new QVBoxLayout;
  left->addWidget(map_, 1);
  left->addLayout(codeGrid);
  auto* right = new QVBoxLayout;
  right->addWidget(summaryText_);
  right->addWidget(histogram_, 1);
  auto* top = new QHBoxLayout;
  top->addLayout(left, 3);
  top->addLayout(right, 2);

  auto* buttons = new QHBoxLayout;
  buttons->setObjectName(QStringLiteral("ResultsButtons"));
  buttons->addWidget(fit);
  buttons->addStretch(1);
  buttons->addWidget(new QLabel(tr("Map size:"), this));
  buttons->addWidget(mapWidth_);
  buttons->addWidget(new QLabel(QStringLiteral("×"), this));
  buttons->addWidget(mapHeight_);
  buttons->addWidget(saveMap);
  buttons->addWidget(saveSummary);
#ifdef TARVIK_WITH_EXPORT
  auto* exportPoints = new QPushButton(tr("&Export..."), this);
  exportPoints->setObjectName(QStringLiteral("Export"));
  connect(exportPoints, &QPushButton::clicked, this, &ResultsWindow::ExportPoints);
  buttons->addWidget(exportPoints);
#endif
  buttons->addWidget(close);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(buttons);
  resize(1200, 760);
}

void ResultsWindow::ShowRun(const std::int32_t& count, const PointTable& table,
                            const RunSettings& settings, const DelayOutcome& delay) {
  // The run converted them already.
  summary_ = SummariseRun(count, table, ConvertRunSettings(settings).value_or({}), delay);
  count_ = count;
  table_ = std::make_unique<PointTable>(table);
  inputFile_ = QString::fromStdString(settings.InputFile);
  folder_ = QFileInfo(QString::fromStdString(settings.OutputFile)).absolutePath();
  map_->SetMap(map::MakeFieldMap(count, table,
                                 std::filesystem::path(settings.InputFile).filename().string()));
  ShowSummary();
  show();
  raise();
}

void ResultsWindow::ShowSummary() {
  const RunSummary& s = summary_;
  codes_[kRetained]->setText(tr("Retained (%1)").arg(s.Retained));
  // A code the run does not report (13 without a flow delay) has no box.
  for (int code = 1; code < kCodeCount; ++code) {
    if (QCheckBox* box = codes_[static_cast<std::size_t>(code)]) box->setVisible(false);
  }
  for (const CodeRow& row : s.Codes) {
    QCheckBox* box = codes_[static_cast<std::size_t>(row.Code)];
    if (box != nullptr) {
      box->setText(QStringLiteral("%1 %2 (%3)")
                       .arg(row.Code)
                       .arg(QString::fromStdString(row.Rule))
                       .arg(row.Count));
      box->setVisible(true);
    }
  }

  QString html =
      QStringLiteral("<p><b>%1</b></p>").arg(QFileInfo(inputFile_).fileName().toHtmlEscaped());
  summaryText_->setToolTip(QDir::toNativeSeparators(inputFile_));
  html += QStringLiteral(
              "<table cellspacing=0 cellpadding=2>"
              "<tr><td>Points read</td><td align=right>%1</td><td></td></tr>"
              "<tr><td>Retained</td><td align=right>%2</td><td align=right>%3 %</td></tr>"
              "<tr><td>Removed</td><td align=right>%4</td><td align=right>%5 %</td></tr>")
              .arg(s.PointsRead)
              .arg(s.Retained)
              .arg(Number(s.RetainedPercent, 1))
              .arg(s.Removed)
              .arg(Number(s.RemovedPercent, 1));
  for (const CodeRow& row : s.Codes) {
    html += QStringLiteral(
                "<tr><td>&nbsp;&nbsp;%1 %2</td><td align=right>%3</td>"
                "<td align=right>%4 %</td></tr>")
                .arg(row.Code)
                .arg(QString::fromStdString(row.Rule).toHtmlEscaped())
                .arg(row.Count)
                .arg(Number(row.Percent, 1));
  }
  html += QStringLiteral(
      "</table><p><b>Yield (bu/ac)</b></p><table cellspacing=0 cellpadding=2>"
      "<tr><th></th><th>n</th><th>Mean</th><th>SD</th><th>CV %</th>"
      "<th>Min</th><th>Median</th><th>Max</th></tr>");
  html += StatisticsRow(tr("All, area &gt; 0"), s.AllYields);
  html += StatisticsRow(tr("Retained"), s.RetainedYields);
  html += QStringLiteral("</table>");
  const ConvertedSettings& c = s.Settings;
  html += tr("<p>Settings: moisture %1 %, test weight %2 lb/bu, pass delays %3 s and %4 s, "
             "outlier SD %5, yield limits %6 to %7 bu/ac, neighbourhood %8 × %9 m with SD %10, "
             "at least %11 points a segment, buffer %12 m.</p>")
              .arg(c.TargetMoisture)
              .arg(c.TestWeight)
              .arg(c.StartPassDelay)
              .arg(c.EndPassDelay)
              .arg(c.SDOutlier)
              .arg(c.LowerLimit)
              .arg(c.UpperLimit)
              .arg(c.SearchX)
              .arg(c.SearchY)
              .arg(c.SearchSD)
              .arg(c.MinimumPoints)
              .arg(c.BufferHalfWidth);
  summaryText_->setText(html);
  histogram_->SetHistogram(s.Histogram);
}

bool ResultsWindow::Save(const QString& path, const QByteArray& contents) {
  QSaveFile file(path);
  if (file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() && file.commit()) {
    return true;
  }
  ShowOutputError(QStringLiteral("%1: cannot be written (%2).")
                      .arg(QDir::toNativeSeparators(path), file.errorString()));
  return false;
}

void ResultsWindow::ShowOutputError(const QString& reason) {
  messages_.Show(this, WithApplicationTitle({reason, QStringLiteral("Error Output File"),
                                             MessageIcon::Critical, QString()}));
}

void ResultsWindow::SaveMap() {
  const auto path = files_.SaveFileName(this, folder_);
  if (!path) return;
  const int width = mapWidth_->value();
  const int height = mapHeight_->value();
  const std::optional<QByteArray> png =
      map::EncodePng(map::RenderMap(map_->Map(), QSize(width, height), map_->View()));
  if (!png) {
    // A picture too large for the memory: nothing is written.
    ShowOutputError(QString::fromStdString(
        map::MapNotRendered(QDir::toNativeSeparators(*path).toStdString(), width, height)));
    return;
  }
  Save(*path, *png);
}

void ResultsWindow::SaveSummary() {
  const auto path = files_.SaveFileName(this, folder_);
  if (!path) return;
  Save(*path, QByteArray::fromStdString(SummaryCsv(summary_, inputFile_.toStdString())));
}

void ResultsWindow::ExportPoints() {
#ifdef TARVIK_WITH_EXPORT
  if (table_ == nullptr) return;
  ExportResults(this, count_, *table_, inputFile_, messages_, files_);
#endif
}

}  // namespace tarvik::ui
