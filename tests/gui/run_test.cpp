// The Run button: the engine called with the fields' texts, its outcome as a
// message, and the progress the stages show on the form.
#include <QLabel>
#include <QLocale>
#include <QPaintEvent>
#include <QProgressBar>
#include <QRadioButton>
#include <QTabWidget>

#include "gui_support.h"

using tarvik::MessageIcon;
using tarvik::ui::Message;
using namespace tarvik::ui::testing;

namespace {

/// What the form shows each time it is painted as a whole during a run.
class PaintWatcher : public QObject {
 public:
  struct Shown {
    bool visible = false;  // the status line
    bool barVisible = false;
    QString status;
    int maximum = 0;
    int height = 0;
    friend bool operator==(const Shown&, const Shown&) = default;
  };

  explicit PaintWatcher(FormHarness& h) : h_(h) { h.form->installEventFilter(this); }
  ~PaintWatcher() override { h_.form->removeEventFilter(this); }

  bool eventFilter(QObject*, QEvent* event) override {
    // Whole-form paints only: the bar repaints its own part as its value moves.
    if (event->type() == QEvent::Paint &&
        static_cast<QPaintEvent*>(event)->rect() == h_.form->rect()) {
      auto* status = h_.Child<QLabel>("Label2");
      auto* bar = h_.Child<QProgressBar>("ProgressBar1");
      Shown now{status->isVisible(), bar->isVisible(), status->text(), bar->maximum(),
                h_.form->height()};
      if (now.visible || !shown.empty()) shown.push_back(now);
    }
    return false;
  }

  std::vector<Shown> shown;

 private:
  FormHarness& h_;
};

void ClickRun(FormHarness& h) {
  QTest::mouseClick(h.Child<QPushButton>("Command1"), Qt::LeftButton);
}

const Message kFinish{QStringLiteral("FINISH"), QStringLiteral("Tarvik"), MessageIcon::Information,
                      QString()};

/// `message` without its detail, which must be there.
Message WithoutDetail(Message message) {
  if (message.detail.isEmpty()) qWarning("the message has no detail");
  message.detail.clear();
  return message;
}

const Message kInvalidInput{QStringLiteral("Invalid Input File"),
                            QStringLiteral("Error Input File"), MessageIcon::Critical, QString()};

}  // namespace

class RunTest : public QObject {
  Q_OBJECT

 private slots:
  void emptyInputName();
  void unreadableInput_data();
  void unreadableInput();
  void writesTheChosenFormat_data();
  void writesTheChosenFormat();
  void settingError_data();
  void settingError();
  void stagesShowTheirProgress();
  void followsTheDecimalComma();
};

void RunTest::emptyInputName() {
  FormHarness h;
  QVERIFY(h.Start());
  h.SetText("InputFile", "");
  h.SetText("OutputFile", h.Path("out.txt"));
  PaintWatcher watcher(h);
  ClickRun(h);
  QCOMPARE(h.messages.shown.size(), 1u);
  QCOMPARE(WithoutDetail(h.messages.shown[0]), kInvalidInput);
  QVERIFY(watcher.shown.empty());
  QVERIFY(!QFile::exists(h.Path("out.txt")));
}

void RunTest::unreadableInput_data() {
  QTest::addColumn<QString>("name");  // in the test's folder; empty: the start text
  QTest::addColumn<QByteArray>("contents");
  QTest::newRow("start text") << QString() << QByteArray();
  QTest::newRow("missing") << "nothing.txt" << QByteArray();
  QTest::newRow("folder") << "." << QByteArray();
  QTest::newRow("empty") << "empty.txt" << QByteArray("");
  QTest::newRow("bad last record") << "bad.txt" << SampleExport(5) + "-96.7,north,1\r\n";
}

void RunTest::unreadableInput() {
  QFETCH(QString, name);
  QFETCH(QByteArray, contents);
  FormHarness h;
  QVERIFY(h.Start());
  // A good run first: the failed read must leave no points behind.
  WriteFile(h.Path("good.txt"), SampleExport(20));
  h.SetText("InputFile", h.Path("good.txt"));
  h.SetText("OutputFile", h.Path("first.txt"));
  ClickRun(h);
  QCOMPARE(h.messages.shown.size(), 1u);
  QCOMPARE(h.messages.shown[0], kFinish);
  QCOMPARE(h.form->PointCount(), 20);

  if (!name.isEmpty()) {
    if (name.endsWith(".txt") && !name.startsWith("nothing")) WriteFile(h.Path(name), contents);
    h.SetText("InputFile", h.Path(name));
  } else {
    h.SetText("InputFile", "Input File");
  }
  h.SetText("OutputFile", h.Path("second.txt"));
  ClickRun(h);
  QCOMPARE(h.messages.shown.size(), 2u);
  QCOMPARE(WithoutDetail(h.messages.shown[1]), kInvalidInput);
  QCOMPARE(h.form->PointCount(), 0);
  QVERIFY(!QFile::exists(h.Path("second.txt")));
}

void RunTest::writesTheChosenFormat_data() {
  QTest::addColumn<bool>("detailed");
  QTest::addColumn<QByteArrayList>("variables");
  QTest::newRow("Cleaned Data Only")
      << false << QByteArrayList{"Easting", "Northing", "Yield", "Moisture"};
  QTest::newRow("Detailed Data Output")
      << true << QByteArrayList{"Easting", "Northing", "Yield",     "Moisture", "VID",
                                "Long",    "Lat",      "GrainFlow", "Distance", "LoadNo"};
}

void RunTest::writesTheChosenFormat() {
  QFETCH(bool, detailed);
  QFETCH(QByteArrayList, variables);
  FormHarness h;
  QVERIFY(h.Start());
  WriteFile(h.Path("field.txt"), SampleExport(30));
  h.SetText("InputFile", h.Path("field.txt"));
  h.SetText("OutputFile", h.Path("clean.txt"));
  h.SetText("Title", "North field 2024");
  h.Child<QTabWidget>("SSTab1")->setCurrentIndex(1);
  if (detailed) QTest::mouseClick(h.Child<QRadioButton>("Option4"), Qt::LeftButton);
  QCOMPARE(h.Child<QRadioButton>("Option3")->isChecked(), !detailed);
  ClickRun(h);

  QCOMPARE(h.messages.shown, std::vector<Message>({kFinish}));
  const QList<QByteArray> lines = ReadFile(h.Path("clean.txt")).split('\n');
  QVERIFY(lines.size() > 2 + variables.size());
  QCOMPARE(lines[0], QByteArray("North field 2024\r"));
  QCOMPARE(lines[1].trimmed(), QByteArray::number(variables.size()));
  for (int i = 0; i < variables.size(); ++i) QCOMPARE(lines[2 + i].trimmed(), variables[i]);
  const qsizetype rows = lines.size() - 1 - 2 - variables.size();
  if (detailed) {
    QCOMPARE(rows, 30);
  } else {
    QVERIFY(rows > 0 && rows < 30);  // the start and end of the pass are removed
  }
  QVERIFY(!h.Child<QLabel>("Label2")->isVisible());
  QVERIFY(!h.Child<QProgressBar>("ProgressBar1")->isVisible());
}

void RunTest::settingError_data() {
  QTest::addColumn<QString>("field");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("message");
  QTest::newRow("word for a delay")
      << "StartPassDelay"
      << "abc"
      << "Start Pass Delay must be a whole number from -32768 to 32767.";
  QTest::newRow("empty delay") << "EndPassDelay"
                               << ""
                               << "End Pass Delay must be a whole number from -32768 to 32767.";
  QTest::newRow("delay beyond 16 bits")
      << "EndPassDelay"
      << "40000"
      << "End Pass Delay must be a whole number from -32768 to 32767.";
  QTest::newRow("test weight")
      << "Density"
      << "heavy"
      << "Test weight (lb/bu) must be a number from -3.402823E+38 to 3.402823E+38.";
}

void RunTest::settingError() {
  QFETCH(QString, field);
  QFETCH(QString, text);
  QFETCH(QString, message);
  FormHarness h;
  QVERIFY(h.Start());
  WriteFile(h.Path("field.txt"), SampleExport(30));
  h.SetText("InputFile", h.Path("field.txt"));
  h.SetText("OutputFile", h.Path("clean.txt"));
  h.SetText(field.toLatin1().constData(), text);
  ClickRun(h);
  QCOMPARE(
      h.messages.shown,
      std::vector<Message>({{message, "Error in Settings", MessageIcon::Critical, QString()}}));
  QVERIFY(!QFile::exists(h.Path("clean.txt")));
}

void RunTest::stagesShowTheirProgress() {
  FormHarness h;
  QVERIFY(h.Start());
  WriteFile(h.Path("field.txt"), SampleExport(30));
  h.SetText("InputFile", h.Path("field.txt"));
  h.SetText("OutputFile", h.Path("clean.txt"));
  h.form->resize(h.form->width(), h.form->height() + 50);
  std::vector<PaintWatcher::Shown> shown;
  {
    PaintWatcher watcher(h);
    ClickRun(h);
    shown = watcher.shown;
  }
  QCOMPARE(h.messages.shown, std::vector<Message>({kFinish}));

  // Each stage paints the form once with its text and maximum, and once
  // more when it has hidden both again, at 6030 twips each time.
  const int height = h.form->FormHeightPixels();
  std::vector<PaintWatcher::Shown> expected;
  for (const char* status :
       {"Checking Header Status ...", "Checking Start Pass Delay ...",
        "Checking End Pass Delay ...", "Checking Variable Distribution ...",
        "Checking Data for Minimum Value ...", "Checking neighborhood statistics, please wait...",
        "Checking co-located points, please wait..."}) {
    expected.push_back({true, true, QString::fromLatin1(status), 30, height});
    expected.push_back({false, false, QString::fromLatin1(status), 30, height});
  }
  QCOMPARE(shown.size(), expected.size());
  for (std::size_t i = 0; i < shown.size(); ++i) {
    QCOMPARE(shown[i].visible, expected[i].visible);
    QCOMPARE(shown[i].barVisible, expected[i].barVisible);
    QCOMPARE(shown[i].status, expected[i].status);
    QCOMPARE(shown[i].maximum, expected[i].maximum);
    QCOMPARE(shown[i].height, expected[i].height);
  }
}

void RunTest::followsTheDecimalComma() {
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  FormHarness h;
  const bool started = h.Start();
  QLocale::setDefault(saved);
  QVERIFY(started);
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  // Settings values come in with the comma, and SearchY is read with it.
  QCOMPARE(h.Text("MC"), QStringLiteral("15,5"));
  QCOMPARE(h.Text("SearchY"), QStringLiteral("10,5"));
  QCOMPARE(h.Text("SearchSD"), QStringLiteral("2,5"));
  QCOMPARE(h.Text("SearchSize"), QStringLiteral("10"));

  WriteFile(h.Path("field.txt"), SampleExport(30));
  h.SetText("InputFile", h.Path("field.txt"));
  h.SetText("OutputFile", h.Path("clean.txt"));
  h.SetText("SDOutlier", "2,75");
  ClickRun(h);
  const std::vector<Message> shown = h.messages.shown;
  const QByteArray output = ReadFile(h.Path("clean.txt"));
  QLocale::setDefault(saved);
  QCOMPARE(shown, std::vector<Message>({kFinish}));
  // The output keeps the full stop.
  QVERIFY(output.contains('.'));
  QVERIFY(!output.contains(','));
}

QTEST_MAIN(RunTest)
#include "run_test.moc"
