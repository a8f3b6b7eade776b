// The "Other Yield Export (detect layout)" option: its header-code choice, the
// preload of the input button and Run through the importer.
#include <QComboBox>
#include <QRadioButton>

#include "gui_support.h"

using tarvik::MessageIcon;
using tarvik::ui::Message;
using namespace tarvik::ui::testing;

namespace {

/// A pass of `points` readings in 15 items, with the given header codes in turn.
QByteArray FifteenItems(int points, std::initializer_list<int> codes) {
  QByteArray text;
  const std::vector<int> cycle(codes);
  for (int i = 0; i < points; ++i) {
    text += QByteArray::number(-96.7 + i * 0.00005, 'f', 6) + ",40.8," +
            QByteArray::number(5.2 + 0.1 * (i % 5), 'f', 2) + "," + QByteArray::number(100 + i) +
            ",1,60,360,18.5," +
            QByteArray::number(cycle[static_cast<std::size_t>(i) % cycle.size()]) +
            ",1,SN1,F1,L1,Corn,NA\r\n";
  }
  return text;
}

constexpr const char* kFifteen = "15 items (variety, no GPS status, PDOP or elevation)";

}  // namespace

class ImportTest : public QObject {
  Q_OBJECT

 private slots:
  void theOptionAndItsCodesStartOffAndTheCodesFollowIt() {
    FormHarness h;
    QVERIFY(h.Start());
    auto* detect = h.Child<QRadioButton>("Option2");
    auto* codes = h.Child<QComboBox>("HeaderCodes");
    QCOMPARE(detect->text(), QStringLiteral("Other Yield Export (detect layout)"));
    QCOMPARE(detect->parentWidget()->objectName(), QStringLiteral("InputFileFormat"));
    QVERIFY(!detect->isChecked());
    QVERIFY(h.Child<QRadioButton>("Option1")->isChecked());
    QCOMPARE(codes->currentText(), QStringLiteral("Automatic"));
    QVERIFY(!codes->isEnabled());
    detect->setChecked(true);
    QVERIFY(codes->isEnabled());
    QVERIFY(!h.Child<QRadioButton>("Option1")->isChecked());
    h.Child<QRadioButton>("Option1")->setChecked(true);
    QVERIFY(!codes->isEnabled());
  }

  void browseAndRunReadAFifteenItemFileOnlyWithTheOption() {
    FormHarness h;
    QVERIFY(h.Start());
    WriteFile(h.Path("f15.txt"), FifteenItems(30, {1, 1, 0}));

    // The Advanced Export option refuses it, as specified.
    h.files.answers << h.Path("f15.txt");
    h.Browse("Command4");
    QCOMPARE(h.messages.shown.size(), 1u);
    QCOMPARE(WithoutDetail(h.messages.shown[0]), kInvalidInput);
    QVERIFY(h.messages.shown[0].detail.contains("1: 15 items, expected 17"));
    QCOMPARE(h.Texts({"InputFile", "OutputFile"}), QStringList({"", ""}));

    h.Child<QRadioButton>("Option2")->setChecked(true);
    h.files.answers << h.Path("f15.txt");
    h.Browse("Command4");
    QCOMPARE(h.messages.shown.size(), 1u);
    QCOMPARE(h.Text("InputFile"), h.Path("f15.txt"));
    QCOMPARE(h.form->PointCount(), 30);
    QVERIFY(h.Text("FEast") != QStringLiteral("0"));

    h.ClickRun();
    QCOMPARE(h.messages.shown.size(), 2u);
    const Message& finish = h.messages.shown[1];
    QCOMPARE(finish.text, QStringLiteral("FINISH"));
    QVERIFY2(finish.detail.startsWith(QStringLiteral("Read as %1; header 1 harvesting / 0 up.\n"
                                                     "30 points read")
                                          .arg(kFifteen)),
             qPrintable(finish.detail));
    QVERIFY(finish.detail.contains("Code 1 ("));  // the 0 codes became header up
    QVERIFY(QFile::exists(h.Path("f15out.txt")));
  }

  void codesThatCannotBePlacedAreRefusedUntilTheyAreChosen() {
    FormHarness h;
    QVERIFY(h.Start());
    WriteFile(h.Path("mixed.txt"), FifteenItems(30, {33, 33, 1}));
    h.Child<QRadioButton>("Option2")->setChecked(true);
    h.SetText("InputFile", h.Path("mixed.txt"));
    h.SetText("OutputFile", h.Path("mixedout.txt"));

    h.ClickRun();
    QCOMPARE(h.messages.shown.size(), 1u);
    QCOMPARE(WithoutDetail(h.messages.shown[0]), kInvalidInput);
    QCOMPARE(h.messages.shown[0].detail,
             h.Path("mixed.txt") +
                 QStringLiteral(": header status codes 1 (10 points), 33 (20 points) are neither "
                                "1 harvesting / 0 up nor 33 harvesting / 32 up; choose the "
                                "harvesting and header-up codes (layout detected: %1)")
                     .arg(kFifteen));
    QVERIFY(!QFile::exists(h.Path("mixedout.txt")));

    auto* codes = h.Child<QComboBox>("HeaderCodes");
    codes->setCurrentText(QStringLiteral("33,1"));
    h.ClickRun();
    QCOMPARE(h.messages.shown.size(), 2u);
    QCOMPARE(h.messages.shown[1].text, QStringLiteral("FINISH"));
    QVERIFY(h.messages.shown[1].detail.contains("header 33 harvesting / 1 up (as chosen)"));

    // Codes typed wrong are a settings error, for Run and for the input button.
    codes->setCurrentText(QStringLiteral("33"));
    h.ClickRun();
    QCOMPARE(h.messages.shown.size(), 3u);
    QCOMPARE(h.messages.shown[2].title, QStringLiteral("Error in Settings"));
    QVERIFY(h.messages.shown[2].text.startsWith("Header codes must be two different"));
    h.files.answers << h.Path("mixed.txt");
    h.Browse("Command4");
    QCOMPARE(h.messages.shown.size(), 4u);
    QCOMPARE(h.messages.shown[3].title, QStringLiteral("Error in Settings"));
    QCOMPARE(h.Texts({"InputFile", "OutputFile"}), QStringList({"", ""}));
  }
};

QTEST_MAIN(ImportTest)
#include "import_test.moc"
