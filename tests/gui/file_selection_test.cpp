// The browse buttons of the page "Files": the chosen paths, the derived
// output name, the preload with its proposed false easting and northing, and
// the recovery of each button.
#include <QCheckBox>
#include <QRadioButton>
#include <algorithm>
#include <climits>

#include "gui_support.h"

using tarvik::ui::Message;
using namespace tarvik::ui::testing;

class FileSelectionTest : public QObject {
  Q_OBJECT

 private slots:
  void inputBrowseProposesOutputAndOffsets() {
    FormHarness h;
    QVERIFY(h.Start());
    const QString input = h.Path("field12.txt");
    WriteFile(input, SampleExport(30));
    h.files.answers << input;
    h.Browse("Command4");
    QCOMPARE(h.files.requests, QStringList({"open " + h.dir.path()}));
    QCOMPARE(h.Texts({"InputFile", "OutputFile"}), QStringList({input, h.Path("field12out.txt")}));
    QVERIFY(h.messages.shown.empty());
    QCOMPARE(h.form->PointCount(), 30);
    // The smallest easting and northing of the points.
    QCOMPARE(h.Texts({"FEast", "FNorth"}), QStringList({"694025", "4519101"}));
    // Proposed, not in force until the box is ticked.
    QVERIFY(!h.Child("FEast")->isEnabled());
    QVERIFY(!QFile::exists(h.Path("field12out.txt")));

    // Ticked, they move the field's south-west corner to 0, 0.
    h.Child<QRadioButton>("Option4")->click();
    h.Tabs()->setCurrentIndex(2);
    QTest::mouseClick(h.Child<QCheckBox>("Check1"), Qt::LeftButton);
    h.ClickRun();
    QCOMPARE(WithoutCounts(h.messages.shown), std::vector<Message>({kFinish}));
    const QList<QByteArray> lines = ReadFile(h.Path("field12out.txt")).split('\n');
    QCOMPARE(lines.size(), 2 + 10 + 30 + 1);
    long long minEast = LLONG_MAX;
    long long minNorth = LLONG_MAX;
    for (int i = 12; i < 42; ++i) {
      const QList<QByteArray> columns = lines[i].simplified().split(' ');
      minEast = std::min(minEast, columns[0].toLongLong());
      minNorth = std::min(minNorth, columns[1].toLongLong());
    }
    QCOMPARE(minEast, 0);
    QCOMPARE(minNorth, 0);
  }

  void inputBrowseWithoutPoints() {
    FormHarness h;
    QVERIFY(h.Start());
    // The points of a file read before go; offsets typed since stay.
    WriteFile(h.Path("full.txt"), SampleExport(12));
    h.files.answers << h.Path("full.txt");
    h.Browse("Command4");
    QCOMPARE(h.form->PointCount(), 12);
    h.SetText("FEast", "123");
    h.SetText("FNorth", "456");
    QString outputWhileReporting;
    h.messages.onShow = [&](const Message&) { outputWhileReporting = h.Text("OutputFile"); };
    WriteFile(h.Path("empty.txt"), QByteArray());
    h.files.answers << h.Path("empty.txt");
    h.Browse("Command4");
    QCOMPARE(h.messages.shown.size(), 1u);
    QCOMPARE(WithoutDetail(h.messages.shown[0]), kInvalidInput);
    QCOMPARE(h.Texts({"InputFile", "OutputFile", "FEast", "FNorth"}),
             QStringList({"", "", "123", "456"}));
    QCOMPARE(h.form->PointCount(), 0);

    // The output name is derived before the file is read.
    QCOMPARE(outputWhileReporting, h.Path("emptyout.txt"));
    h.files.answers << QStringLiteral("C:\\data\\a.txt");
    h.Browse("Command4");
    QCOMPARE(outputWhileReporting, QStringLiteral("C:\\data\\aout.txt"));
  }

  void inputBrowseRecovers() {
    // Cancel, a name too short to derive an output name from, a word for the moisture.
    for (const QStringList& c :
         {QStringList{"", "15.5"}, QStringList{"a.t", "15.5"}, QStringList{"pass.txt", "wet"}}) {
      FormHarness h;
      QVERIFY(h.Start());
      h.SetText("MC", c[1]);
      WriteFile(h.Path("pass.txt"), SampleExport(10));
      if (!c[0].isEmpty()) h.files.answers << (c[0] == "pass.txt" ? h.Path(c[0]) : c[0]);
      h.Browse("Command4");
      QCOMPARE(h.files.requests.size(), 1);
      QVERIFY(h.messages.shown.empty());
      QCOMPARE(h.Texts({"InputFile", "OutputFile", "FEast", "FNorth"}),
               QStringList({"", "", "0", "0"}));
    }
  }

  void outputBrowseTakesThePath() {
    FormHarness h;
    QVERIFY(h.Start());
    // An existing file is taken without a question; only a run replaces it.
    WriteFile(h.Path("old.txt"), "old");
    h.files.answers << h.Path("old.txt");
    h.Browse("Command5");
    QCOMPARE(h.files.requests, QStringList({"save " + h.dir.path()}));
    QCOMPARE(h.Texts({"InputFile", "OutputFile"}), QStringList({"Input File", h.Path("old.txt")}));
    QCOMPARE(ReadFile(h.Path("old.txt")), QByteArray("old"));
    QVERIFY(h.messages.shown.empty());
  }

  void outputBrowseCancelled() {
    // The input name, the output name, and the output name after Cancel.
    for (const QStringList& c :
         {QStringList{"Input File", "Output File", "Input out.txt"},
          QStringList{"C:\\data\\a.txt", "D:\\x.txt", "C:\\data\\aout.txt"},
          QStringList{"", "Output File", ""}, QStringList{"C:\\data\\a.txt", "", ""}}) {
      FormHarness h;
      QVERIFY(h.Start());
      h.SetText("InputFile", c[0]);
      h.SetText("OutputFile", c[1]);
      h.Browse("Command5");  // and Cancel
      QCOMPARE(h.files.requests.size(), 1);
      QCOMPARE(h.Texts({"InputFile", "OutputFile"}), QStringList({c[0], c[2]}));
      QVERIFY(h.messages.shown.empty());
    }
  }

  void tabReachesEachBrowseButtonAfterItsField() {
    FormHarness h;
    QVERIFY(h.Start());
    h.Tabs()->setCurrentIndex(1);
    h.Child("InputFile")->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(h.Child("InputFile")->hasFocus());
    QStringList order;
    for (int i = 0; i < 4; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, QStringList({"Command4", "OutputFile", "Command5", "Option1"}));
  }
};

QTEST_MAIN(FileSelectionTest)
#include "file_selection_test.moc"
