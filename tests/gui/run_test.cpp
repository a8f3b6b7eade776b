// The Run button: the engine called with the fields' texts, its outcome as a
// message, and the progress the stages show on the form.
#include <QLabel>
#include <QLocale>
#include <QPaintEvent>
#include <QProgressBar>
#include <QRadioButton>
#include <tuple>
#include <utility>

#include "gui_support.h"

using tarvik::MessageIcon;
using tarvik::ui::Message;
using namespace tarvik::ui::testing;

namespace {

/// What the form shows each time it is painted as a whole, from the first
/// paint with the status line on.
class PaintWatcher : public QObject {
 public:
  explicit PaintWatcher(FormHarness& h) : h_(h) { h.form->installEventFilter(this); }
  ~PaintWatcher() override { h_.form->removeEventFilter(this); }

  bool eventFilter(QObject*, QEvent* event) override {
    // Whole-form paints only: the bar repaints its own part as its value moves.
    if (event->type() != QEvent::Paint ||
        static_cast<QPaintEvent*>(event)->rect() != h_.form->rect()) {
      return false;
    }
    auto* status = h_.Child<QLabel>("Label2");
    auto* bar = h_.Child<QProgressBar>("ProgressBar1");
    if (!status->isVisible() && shown.empty()) return false;
    shown << QStringLiteral("%1 %2 %3 max %4 height %5 %6")
                 .arg(status->isVisible() ? "shown" : "hidden", bar->isVisible() ? "bar" : "no bar",
                      status->text())
                 .arg(bar->maximum())
                 .arg(h_.form->height())
                 .arg(h_.form->rect().contains(bar->geometry() | status->geometry()) ? "inside"
                                                                                     : "cut off");
    return false;
  }

  QStringList shown;

 private:
  FormHarness& h_;
};

}  // namespace

class RunTest : public QObject {
  Q_OBJECT

 private slots:
  void invalidInput() {
    // An empty name, a missing file, a file with a bad last record.
    for (const auto& [name, contents] :
         {std::pair<QString, QByteArray>(), std::pair<QString, QByteArray>("nothing.txt", {}),
          std::pair<QString, QByteArray>("bad.txt", SampleExport(5) + "-96.7,north,1\r\n")}) {
      FormHarness h;
      QVERIFY(h.Start());
      // A good run first: a failed read must leave no points behind.
      h.UseSample(20);
      h.ClickRun();
      QCOMPARE(WithoutCounts(h.messages.shown), std::vector<Message>({kFinish}));
      QCOMPARE(h.form->PointCount(), 20);

      if (!contents.isEmpty()) WriteFile(h.Path(name), contents);
      h.SetText("InputFile", name.isEmpty() ? QString() : h.Path(name));
      h.SetText("OutputFile", h.Path("second.txt"));
      PaintWatcher watcher(h);
      h.ClickRun();
      QCOMPARE(h.messages.shown.size(), 2u);
      QCOMPARE(WithoutDetail(h.messages.shown[1]), kInvalidInput);
      QCOMPARE(watcher.shown, QStringList());
      if (!name.isEmpty()) QCOMPARE(h.form->PointCount(), 0);
      QVERIFY(!QFile::exists(h.Path("second.txt")));
    }
  }

  void writesTheChosenFormat() {
    for (const bool detailed : {false, true}) {
      FormHarness h;
      QVERIFY(h.Start());
      h.UseSample();
      h.SetText("Title", "North field 2024");
      h.Tabs()->setCurrentIndex(1);
      if (detailed) QTest::mouseClick(h.Child<QRadioButton>("Option4"), Qt::LeftButton);
      QCOMPARE(h.Child<QRadioButton>("Option3")->isChecked(), !detailed);
      h.ClickRun();
      QCOMPARE(WithoutCounts(h.messages.shown), std::vector<Message>({kFinish}));
      // The title, the number of variables, their names, then the points.
      const QList<QByteArray> lines = ReadFile(h.Path("clean.txt")).split('\n');
      const int variables = detailed ? 10 : 4;
      QVERIFY(lines.size() > 2 + variables);
      QCOMPARE(lines[0], QByteArray("North field 2024\r"));
      QCOMPARE(lines[1].trimmed(), QByteArray::number(variables));
      QCOMPARE(lines[1 + variables].trimmed(), QByteArray(detailed ? "LoadNo" : "Moisture"));
      const qsizetype rows = lines.size() - 1 - 2 - variables;
      // Detailed output keeps the points removed at the pass's start and end.
      QVERIFY2(detailed ? rows == 30 : rows > 0 && rows < 30, qPrintable(QString::number(rows)));
    }
  }

  void settingError() {
    for (const auto& [field, text, message] :
         {std::tuple("StartPassDelay", "abc",
                     "Start Pass Delay must be a whole number from -32768 to 32767."),
          std::tuple("Density", "heavy",
                     "Test weight (lb/bu) must be a number from -3.402823E+38 to 3.402823E+38.")}) {
      FormHarness h;
      QVERIFY(h.Start());
      h.UseSample();
      h.SetText(field, text);
      h.ClickRun();
      QCOMPARE(
          h.messages.shown,
          std::vector<Message>({{message, "Error in Settings", MessageIcon::Critical, QString()}}));
      QVERIFY(!QFile::exists(h.Path("clean.txt")));
    }
  }

  void sensorDelays() {
    FormHarness h;
    QVERIFY(h.Start());
    // Both fields sit on "Check Criteria", empty: no shift.
    for (const char* name : {"FlowDelay", "MoistureDelay"}) {
      QCOMPARE(h.Text(name), QString());
      QVERIFY(h.Tabs()->widget(2)->isAncestorOf(h.Child(name)));
    }
    h.UseSample();
    h.ClickRun();
    QVERIFY(!h.messages.shown.at(0).detail.contains(QStringLiteral("Flow delay")));

    // The last two points have no flow 3 s on; the detail names the delay.
    h.SetText("FlowDelay", "3");
    h.SetText("MoistureDelay", "2");
    h.ClickRun();
    QCOMPARE(WithoutCounts(h.messages.shown).at(1), kFinish);
    const QString detail = h.messages.shown.at(1).detail;
    QVERIFY2(detail.contains(QStringLiteral("Code 13 (no flow after delay): 2 removed")),
             qPrintable(detail));
    QVERIFY2(detail.endsWith(QStringLiteral("\nFlow delay 3 s, moisture delay 2 s.")),
             qPrintable(detail));

    h.SetText("FlowDelay", "auto");
    h.SetText("MoistureDelay", "");
    h.ClickRun();
    QVERIFY2(h.messages.shown.at(2).detail.endsWith(QStringLiteral("(no clear delay).")),
             qPrintable(h.messages.shown.at(2).detail));

    h.SetText("FlowDelay", "-3");
    h.ClickRun();
    QCOMPARE(h.messages.shown.at(3),
             Message({"Flow Delay must be a whole number of seconds from 0 to 32767, or \"auto\".",
                      "Error in Settings", MessageIcon::Critical, QString()}));
  }

  void stagesShowTheirProgress() {
    FormHarness h;
    QVERIFY(h.Start());
    h.UseSample();
    h.form->resize(h.form->width(), h.form->height() + 50);
    QStringList shown;
    {
      PaintWatcher watcher(h);
      h.ClickRun();
      shown = watcher.shown;
    }
    QCOMPARE(WithoutCounts(h.messages.shown), std::vector<Message>({kFinish}));
    // The box's detailed text gives the run's counts.
    QVERIFY(h.messages.shown[0].detail.contains(QStringLiteral(" points read, ")));

    // Each stage paints the form once with its text and maximum, and once
    // more when it has hidden both again, at 6030 twips each time.
    const int height = h.form->FormHeightPixels();
    QCOMPARE(height, qRound(6030 * h.form->logicalDpiY() / 1440.0));
    QStringList expected;
    for (const char* status :
         {"Checking Header Status ...", "Checking Start Pass Delay ...",
          "Checking End Pass Delay ...", "Checking Variable Distribution ...",
          "Checking Data for Minimum Value ...", "Checking neighborhood statistics, please wait...",
          "Checking co-located points, please wait..."}) {
      for (const char* state : {"shown bar", "hidden no bar"}) {
        expected << QStringLiteral("%1 %2 max 30 height %3 inside").arg(state, status).arg(height);
      }
    }
    QCOMPARE(shown, expected);
    h.form->SetValue(7);
    QCOMPARE(h.Child<QProgressBar>("ProgressBar1")->value(), 7);
  }

  void theBarShowsTheLastValueOfEachStage() {
    FormHarness h;
    QVERIFY(h.Start());
    auto* bar = h.Child<QProgressBar>("ProgressBar1");
    int given = 0;
    QObject::connect(bar, &QProgressBar::valueChanged, [&] { ++given; });

    // A stage over a full table sets a value at each of its positions; the
    // bar takes at most one per thousandth of the way.
    h.form->Begin("Checking neighborhood statistics, please wait...", 62000);
    for (std::int32_t i = 1; i <= 62000; ++i) h.form->SetValue(i);
    QVERIFY2(given <= 1000, qPrintable(QString::number(given)));
    h.form->End();
    QCOMPARE(bar->value(), 62000);

    // Stages that stop short of the maximum, and one that sets no value:
    // each stage hides the bar on the last value set, and the next shows it
    // from there. A value that moves back, as a stage begins, is shown at once.
    h.form->Begin("Checking Header Status ...", 62000);
    h.form->SetValue(3);
    QCOMPARE(bar->value(), 3);
    for (std::int32_t i = 4; i <= 40123; ++i) h.form->SetValue(i);
    h.form->End();
    QCOMPARE(bar->value(), 40123);
    h.form->Begin("Checking End Pass Delay ...", 62000);
    for (std::int32_t i = 62000; i >= 1; --i) h.form->SetValue(62000 - i);
    h.form->End();
    QCOMPARE(bar->value(), 61999);
    h.form->Begin("Checking Data for Minimum Value ...", 62000);
    h.form->SetValue(31);
    h.form->End();
    QCOMPARE(bar->value(), 31);
    h.form->Begin("Checking Data for Minimum Value ...", 62000);
    h.form->End();
    QCOMPARE(bar->value(), 31);
  }

  void followsTheDecimalComma() {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    FormHarness h;
    const bool started = h.Start();
    // Settings values come in with the comma, and SearchY is read with it.
    const QStringList texts = h.Texts({"MC", "SearchY", "SearchSD", "SearchSize"});
    h.UseSample();
    h.SetText("SDOutlier", "2,75");
    h.ClickRun();
    QLocale::setDefault(saved);
    QVERIFY(started);
    QCOMPARE(texts, QStringList({"15,5", "10,5", "2,5", "10"}));
    QCOMPARE(WithoutCounts(h.messages.shown), std::vector<Message>({kFinish}));
    // The output keeps the full stop.
    const QByteArray output = ReadFile(h.Path("clean.txt"));
    QVERIFY(output.contains('.') && !output.contains(','));
  }
};

QTEST_MAIN(RunTest)
#include "run_test.moc"
