// The browse buttons of the page "Files": the chosen paths, the derived
// output name, the preload with its proposed false easting and northing, and
// the recovery of each button.
#include <QCheckBox>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>
#include <climits>

#include "gui_support.h"
#include "input/utm.h"

using tarvik::MessageIcon;
using tarvik::ui::Message;
using namespace tarvik::ui::testing;

namespace {

/// Shows the page "Files" and clicks the named browse button.
void ClickBrowse(FormHarness& h, const char* name) {
  h.Child<QTabWidget>("SSTab1")->setCurrentIndex(1);
  QTest::mouseClick(h.Child<QToolButton>(name), Qt::LeftButton);
}

/// The smallest easting and northing of SampleExport's points, as the
/// coordinate conversion gives them.
std::pair<std::int32_t, std::int32_t> SmallestPosition(int points) {
  std::int32_t east = INT32_MAX;
  std::int32_t north = INT32_MAX;
  const QList<QByteArray> lines = SampleExport(points).split('\n');
  for (const QByteArray& line : lines) {
    if (line.trimmed().isEmpty()) continue;
    const QList<QByteArray> items = line.split(',');
    tarvik::UTMPoint point;
    point.Longitude = static_cast<float>(items[0].toDouble());
    point.Latitude = static_cast<float>(items[1].toDouble());
    tarvik::LatLongToUTM(point);
    east = std::min(east, point.Easting);
    north = std::min(north, point.Northing);
  }
  return {east, north};
}

const Message kInvalidInput{QStringLiteral("Invalid Input File"),
                            QStringLiteral("Error Input File"), MessageIcon::Critical, QString()};

}  // namespace

class FileSelectionTest : public QObject {
  Q_OBJECT

 private slots:
  void inputBrowseProposesOutputAndOffsets();
  void proposedOffsetsRescaleTheOutput();
  void inputBrowseDerivesTheNameBeforeReading();
  void inputBrowseWithoutPoints();
  void inputBrowseWithAWordForMoisture();
  void inputBrowseRecovers_data();
  void inputBrowseRecovers();
  void outputBrowseTakesThePath();
  void outputBrowseCancelled_data();
  void outputBrowseCancelled();
  void tabReachesEachBrowseButtonAfterItsField();
};

void FileSelectionTest::inputBrowseProposesOutputAndOffsets() {
  FormHarness h;
  QVERIFY(h.Start());
  const QString input = h.Path("field12.txt");
  WriteFile(input, SampleExport(30));
  h.files.SetNextFileName(input);
  ClickBrowse(h, "Command4");

  QCOMPARE(h.files.requests.size(), 1u);
  QVERIFY(!h.files.requests[0].save);
  QCOMPARE(h.files.requests[0].folder, h.dir.path());
  QCOMPARE(h.Text("InputFile"), input);
  QCOMPARE(h.Text("OutputFile"), h.Path("field12out.txt"));
  QVERIFY(h.messages.shown.empty());
  QCOMPARE(h.form->PointCount(), 30);
  const auto [east, north] = SmallestPosition(30);
  QCOMPARE(h.Text("FEast"), QString::number(east));
  QCOMPARE(h.Text("FNorth"), QString::number(north));
  // Proposed, not yet in force: the group stays locked until the box is ticked.
  QVERIFY(!h.Child("FEast")->isEnabled());
  QVERIFY(!QFile::exists(h.Path("field12out.txt")));
}

void FileSelectionTest::proposedOffsetsRescaleTheOutput() {
  FormHarness h;
  QVERIFY(h.Start());
  const QString input = h.Path("pass.txt");
  WriteFile(input, SampleExport(30));
  h.files.SetNextFileName(input);
  ClickBrowse(h, "Command4");
  h.Child<QRadioButton>("Option4")->click();
  h.Child<QTabWidget>("SSTab1")->setCurrentIndex(2);
  QTest::mouseClick(h.Child<QCheckBox>("Check1"), Qt::LeftButton);
  QTest::mouseClick(h.Child<QPushButton>("Command1"), Qt::LeftButton);
  QCOMPARE(h.messages.shown.size(), 1u);
  QCOMPARE(h.messages.shown[0].text, QStringLiteral("FINISH"));

  // Every point is written; the south-west corner of the field is now 0, 0.
  const QList<QByteArray> lines = ReadFile(h.Path("passout.txt")).split('\n');
  QCOMPARE(lines.size(), 2 + 10 + 30 + 1);
  long long east = LLONG_MAX;
  long long north = LLONG_MAX;
  for (int i = 12; i < 42; ++i) {
    const QList<QByteArray> columns = lines[i].simplified().split(' ');
    east = std::min(east, columns[0].toLongLong());
    north = std::min(north, columns[1].toLongLong());
  }
  QCOMPARE(east, 0);
  QCOMPARE(north, 0);
}

void FileSelectionTest::inputBrowseDerivesTheNameBeforeReading() {
  FormHarness h;
  QVERIFY(h.Start());
  QString outputWhileReporting;
  h.messages.onShow = [&](const Message&) { outputWhileReporting = h.Text("OutputFile"); };
  h.files.SetNextFileName(QStringLiteral("C:\\data\\a.txt"));
  ClickBrowse(h, "Command4");
  QCOMPARE(outputWhileReporting, QStringLiteral("C:\\data\\aout.txt"));
  QCOMPARE(h.messages.shown.size(), 1u);
}

void FileSelectionTest::inputBrowseWithoutPoints() {
  FormHarness h;
  QVERIFY(h.Start());
  // A file read before leaves points behind; the empty one takes them away.
  WriteFile(h.Path("full.txt"), SampleExport(12));
  h.files.SetNextFileName(h.Path("full.txt"));
  ClickBrowse(h, "Command4");
  QCOMPARE(h.form->PointCount(), 12);
  h.SetText("FEast", "123");
  h.SetText("FNorth", "456");

  WriteFile(h.Path("empty.txt"), QByteArray());
  h.files.SetNextFileName(h.Path("empty.txt"));
  ClickBrowse(h, "Command4");
  QCOMPARE(h.messages.shown.size(), 1u);
  Message shown = h.messages.shown[0];
  QVERIFY(!shown.detail.isEmpty());
  shown.detail.clear();
  QCOMPARE(shown, kInvalidInput);
  QCOMPARE(h.Text("InputFile"), QString());
  QCOMPARE(h.Text("OutputFile"), QString());
  QCOMPARE(h.Text("FEast"), QStringLiteral("123"));
  QCOMPARE(h.Text("FNorth"), QStringLiteral("456"));
  QCOMPARE(h.form->PointCount(), 0);
}

void FileSelectionTest::inputBrowseWithAWordForMoisture() {
  FormHarness h;
  QVERIFY(h.Start());
  h.SetText("MC", "wet");
  WriteFile(h.Path("pass.txt"), SampleExport(10));
  h.files.SetNextFileName(h.Path("pass.txt"));
  ClickBrowse(h, "Command4");
  QVERIFY(h.messages.shown.empty());
  QCOMPARE(h.Text("InputFile"), QString());
  QCOMPARE(h.Text("OutputFile"), QString());
  QCOMPARE(h.Text("FEast"), QStringLiteral("0"));
  QCOMPARE(h.Text("FNorth"), QStringLiteral("0"));
}

void FileSelectionTest::inputBrowseRecovers_data() {
  QTest::addColumn<bool>("cancel");
  QTest::addColumn<QString>("chosen");
  QTest::newRow("cancel") << true << QString();
  QTest::newRow("name too short to derive from") << false << "a.t";
}

void FileSelectionTest::inputBrowseRecovers() {
  QFETCH(bool, cancel);
  QFETCH(QString, chosen);
  FormHarness h;
  QVERIFY(h.Start());
  if (cancel) {
    h.files.SetNextCancel();
  } else {
    h.files.SetNextFileName(chosen);
  }
  ClickBrowse(h, "Command4");
  QVERIFY(h.messages.shown.empty());
  QCOMPARE(h.Text("InputFile"), QString());
  QCOMPARE(h.Text("OutputFile"), QString());
  QCOMPARE(h.Text("FEast"), QStringLiteral("0"));
}

void FileSelectionTest::outputBrowseTakesThePath() {
  FormHarness h;
  QVERIFY(h.Start());
  // An existing file is taken without a question; a run replaces it later.
  WriteFile(h.Path("old.txt"), "old");
  h.files.SetNextFileName(h.Path("old.txt"));
  ClickBrowse(h, "Command5");
  QCOMPARE(h.files.requests.size(), 1u);
  QVERIFY(h.files.requests[0].save);
  QCOMPARE(h.files.requests[0].folder, h.dir.path());
  QCOMPARE(h.Text("OutputFile"), h.Path("old.txt"));
  QCOMPARE(h.Text("InputFile"), QStringLiteral("Input File"));
  QCOMPARE(ReadFile(h.Path("old.txt")), QByteArray("old"));
  QVERIFY(h.messages.shown.empty());
}

void FileSelectionTest::outputBrowseCancelled_data() {
  QTest::addColumn<QString>("input");
  QTest::addColumn<QString>("output");
  QTest::addColumn<QString>("after");
  QTest::newRow("start texts") << "Input File"
                               << "Output File"
                               << "Input out.txt";
  QTest::newRow("chosen input") << "C:\\data\\a.txt"
                                << "D:\\elsewhere.txt"
                                << "C:\\data\\aout.txt";
  QTest::newRow("no input") << ""
                            << "Output File"
                            << "";
  QTest::newRow("no output") << "C:\\data\\a.txt"
                             << ""
                             << "";
  QTest::newRow("input too short") << "abc"
                                   << "x.txt"
                                   << "";
}

void FileSelectionTest::outputBrowseCancelled() {
  QFETCH(QString, input);
  QFETCH(QString, output);
  QFETCH(QString, after);
  FormHarness h;
  QVERIFY(h.Start());
  h.SetText("InputFile", input);
  h.SetText("OutputFile", output);
  h.files.SetNextCancel();
  ClickBrowse(h, "Command5");
  QCOMPARE(h.Text("OutputFile"), after);
  QCOMPARE(h.Text("InputFile"), input);
  QVERIFY(h.messages.shown.empty());
}

void FileSelectionTest::tabReachesEachBrowseButtonAfterItsField() {
  FormHarness h;
  QVERIFY(h.Start());
  h.Child<QTabWidget>("SSTab1")->setCurrentIndex(1);
  h.Child("InputFile")->setFocus(Qt::OtherFocusReason);
  QTRY_VERIFY(h.Child("InputFile")->hasFocus());
  QStringList order;
  for (int i = 0; i < 4; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    order << QApplication::focusWidget()->objectName();
  }
  QCOMPARE(order, QStringList({"Command4", "OutputFile", "Command5", "Option1"}));
}

QTEST_MAIN(FileSelectionTest)
#include "file_selection_test.moc"
