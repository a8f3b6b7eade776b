#include "ui/export_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <array>

#include "export/field_export.h"

namespace tarvik::ui {

namespace {

constexpr std::array<ExportFormat, 5> kFormats{ExportFormat::GeoPackage, ExportFormat::Shapefile,
                                               ExportFormat::GeoJSON, ExportFormat::FlatGeobuf,
                                               ExportFormat::CSV};
constexpr std::array<ExportCRS, 3> kCRSs{ExportCRS::WGS84, ExportCRS::UTM, ExportCRS::Grid};

QStringList Filters() {
  QStringList filters;
  for (const ExportFormat format : kFormats) {
    filters << QStringLiteral("%1 (*.%2)")
                   .arg(QString::fromUtf8(ExportFormatTitle(format)),
                        QString::fromUtf8(ExportExtension(format)));
  }
  return filters;
}

QStringList CRSNames() {
  return {QStringLiteral("WGS 84 longitude and latitude"),
          QStringLiteral("UTM zone of the field (WGS 84)"),
          QStringLiteral("The run's grid (Transverse Mercator, 99° W)")};
}

/// The input's name with the first type's extension, beside the input.
QString Proposal(const QString& inputPath) {
  const QFileInfo input(inputPath.isEmpty() ? QStringLiteral("field") : inputPath);
  return input.absoluteDir().filePath(input.completeBaseName() + '.' +
                                      QString::fromUtf8(ExportExtension(kFormats[0])));
}

}  // namespace

bool ExportResults(QWidget* parent, const std::int32_t& count, const PointTable& table,
                   const QString& inputPath, MessageService& messages, FileDialogService& files) {
  const std::optional<SaveChoice> choice =
      files.SaveFileNameWithChoice(parent, QStringLiteral("Export"), Proposal(inputPath), Filters(),
                                   QStringLiteral("Coordinates:"), CRSNames());
  if (!choice || choice->path.isEmpty()) return false;

  const auto pick = [](const auto& list, int index) {
    return list[static_cast<std::size_t>(index >= 0 && index < static_cast<int>(list.size()) ? index
                                                                                             : 0)];
  };
  QString path = choice->path;
  std::optional<ExportFormat> format = ExportFormatFromPath(QFile::encodeName(path).toStdString());
  if (!format) {
    format = pick(kFormats, choice->filter);
    path += '.' + QString::fromUtf8(ExportExtension(*format));
  }
  const ExportCRS crs = pick(kCRSs, choice->option);

  QApplication::setOverrideCursor(Qt::WaitCursor);
  const ExportOutcome outcome =
      ExportField(QFile::encodeName(path).toStdString(), *format, crs, count, table);
  QApplication::restoreOverrideCursor();

  if (!outcome.ok) {
    messages.Show(parent, {QString::fromStdString(outcome.error),
                           QStringLiteral("Error Export File"), MessageIcon::Critical, QString()});
    return false;
  }
  messages.Show(parent, {QStringLiteral("Exported %1 points to %2").arg(count).arg(path),
                         QStringLiteral("Export"), MessageIcon::Information, QString()});
  return true;
}

}  // namespace tarvik::ui
