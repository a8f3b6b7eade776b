// The main form: start-up, crop selection, the moisture check, the re-scale
// switch and the progress display, driven through its widgets.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include "gui_support.h"

using tarvik::MessageIcon;
using tarvik::ui::Message;
using namespace tarvik::ui::testing;

namespace {

QStringList Items(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

/// The message a settings file problem gives.
bool IsSettingsError(const Message& message, const QString& problem) {
  return message.title == QStringLiteral("Error Settings File") &&
         message.icon == MessageIcon::Critical && message.text.startsWith(problem + "\n\n") &&
         message.text.contains(QStringLiteral("settings of the Tarvik sources")) &&
         message.text.contains(QStringLiteral(TARVIK_SETTINGS_INSTALL_DIR));
}

/// Opens the crop list and clicks its entry at `row`.
void PickFromList(QComboBox* crop, int row) {
  crop->showPopup();
  QAbstractItemView* list = crop->view();
  QTRY_VERIFY(list->isVisible());
  const QRect entry = list->visualRect(crop->model()->index(row, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, entry.center());
  QTRY_VERIFY(!list->isVisible());
}

const Message kRefused{QStringLiteral("Please insert a non-negative value"),
                       QStringLiteral("Tarvik"), MessageIcon::Information, QString()};

}  // namespace

class MainFormTest : public QObject {
  Q_OBJECT

 private slots:
  void startUpFillsTheForm();
  void startUpRoundsSearchSize_data();
  void startUpRoundsSearchSize();
  void startUpWithoutCorn();
  void startUpTakesTheLaterOfTwoRecords();
  void startUpFailsOnASettingsFile_data();
  void startUpFailsOnASettingsFile();
  void cropSelectionByClick();
  void cropSelectionByLeavingTheBox();
  void cropSelectionWithTheFileGone();
  void accessKeyOfRunLeavesTheCropBox();
  void moistureCheck_data();
  void moistureCheck();
  void moistureCheckHoldsTheAccessKeyAndTheTabs();
  void messageBoxShowsTheWholeMessage();
  void rescaleSwitch();
  void progressDisplay();
  void hiddenTestButton();
};

void MainFormTest::startUpFillsTheForm() {
  FormHarness h;
  QVERIFY(h.Start());
  QVERIFY(h.messages.shown.empty());
  QCOMPARE(h.form->windowTitle(), QStringLiteral("Quenby Yield Data Cleaning Program"));

  auto* banner = h.Child<QLabel>("Label3");
  QCOMPARE(banner->text(), QStringLiteral("TARVIK"));
  QCOMPARE(banner->font().pointSizeF(), 20.25);
  QCOMPARE(banner->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  QCOMPARE(h.Child<QLabel>("Picture1")->pixmap().size(), QSize(121, 50));

  auto* tabs = h.Child<QTabWidget>("SSTab1");
  QCOMPARE(tabs->count(), 3);
  QCOMPARE(tabs->tabText(0), QStringLiteral("Crop"));
  QCOMPARE(tabs->tabText(1), QStringLiteral("Files"));
  QCOMPARE(tabs->tabText(2), QStringLiteral("Check Criteria"));
  QCOMPARE(tabs->currentIndex(), 0);
  QCOMPARE(h.Child<QPushButton>("Command1")->text(), QStringLiteral("&Run"));

  auto* crop = h.Child<QComboBox>("Combo1");
  QCOMPARE(Items(crop), QStringList({"Wheat", "Corn", "Soybeans", "Barley"}));
  QCOMPARE(crop->currentText(), QStringLiteral("Corn"));
  QCOMPARE(h.Text("Title"), QStringLiteral("Project Title?"));
  QCOMPARE(h.Text("MC"), QStringLiteral("15.5"));
  QCOMPARE(h.Text("UpperLimit"), QStringLiteral("300"));
  QCOMPARE(h.Text("LowerLimit"), QStringLiteral("0"));
  QCOMPARE(h.Text("Density"), QStringLiteral("56"));

  QCOMPARE(h.Text("InputFile"), QStringLiteral("Input File"));
  QCOMPARE(h.Text("OutputFile"), QStringLiteral("Output File"));
  QVERIFY(h.Child<QRadioButton>("Option1")->isChecked());
  QVERIFY(h.Child<QRadioButton>("Option3")->isChecked());
  QVERIFY(!h.Child<QRadioButton>("Option4")->isChecked());

  QCOMPARE(h.Child<QCheckBox>("Check1")->checkState(), Qt::Unchecked);
  QVERIFY(h.Child<QGroupBox>("OutputCoordinates")->isEnabled());
  for (const char* name : {"lblFEast", "FEast", "lblFNorth", "FNorth"}) {
    QVERIFY2(!h.Child<QWidget>(name)->isEnabled(), name);
  }
  QCOMPARE(h.Text("FEast"), QStringLiteral("0"));
  QCOMPARE(h.Text("FNorth"), QStringLiteral("0"));
  QCOMPARE(h.Text("StartPassDelay"), QStringLiteral("4"));
  QCOMPARE(h.Text("EndPassDelay"), QStringLiteral("2"));
  QCOMPARE(h.Text("SearchX"), QStringLiteral("40"));
  QCOMPARE(h.Text("SearchY"), QStringLiteral("10.5"));
  QCOMPARE(h.Text("SDOutlier"), QStringLiteral("3"));
  QCOMPARE(h.Text("SearchSD"), QStringLiteral("2.5"));
  QCOMPARE(h.Text("NoPointsforValidSeg"), QStringLiteral("10"));

  // Never visible: the buffer field, the status line, the bar, the old buttons.
  QVERIFY(!h.Child("SearchSize")->isVisibleTo(h.form.get()));
  auto* status = h.Child<QLabel>("Label2");
  QVERIFY(!status->isVisible());
  QCOMPARE(status->text(),
           QStringLiteral("Calculating neighborhood statistics...  please wait ..."));
  auto* bar = h.Child<QProgressBar>("ProgressBar1");
  QVERIFY(!bar->isVisible());
  QCOMPARE(bar->maximum(), 100);
  for (const char* name : {"Command2", "Command3", "Command6", "DuplicateDataSearch"}) {
    QVERIFY2(!h.Child<QPushButton>(name)->isVisible(), name);
  }
  QCOMPARE(h.form->height(), h.form->FormHeightPixels());
}

void MainFormTest::startUpRoundsSearchSize_data() {
  QTest::addColumn<QByteArray>("searchY");
  QTest::addColumn<QString>("searchSize");
  QTest::newRow("10.5 down to even") << QByteArray("10.5") << "10";
  QTest::newRow("11.5 up to even") << QByteArray("11.5") << "12";
  QTest::newRow("7.4") << QByteArray("7.4") << "7";
  QTest::newRow("-2.5") << QByteArray("-2.5") << "-2";
}

void MainFormTest::startUpRoundsSearchSize() {
  QFETCH(QByteArray, searchY);
  QFETCH(QString, searchSize);
  FormHarness h(StandardCrops(), StandardCriteria(searchY));
  QVERIFY(h.Start());
  QCOMPARE(h.Text("SearchSize"), searchSize);
  // Taken at start-up only.
  h.SetText("SearchY", "30");
  QCOMPARE(h.Text("SearchSize"), searchSize);
}

void MainFormTest::startUpWithoutCorn() {
  FormHarness h("Name,MC,Upper,Lower,TW\n\"corn\",15,250,0,56\n\"Oats\",14,120,0,32\n");
  QVERIFY(h.Start());
  QCOMPARE(Items(h.Child<QComboBox>("Combo1")), QStringList({"corn", "Oats"}));
  QCOMPARE(h.Child<QComboBox>("Combo1")->currentText(), QStringLiteral("Corn"));
  QCOMPARE(h.Text("MC"), QStringLiteral("MC"));
  QCOMPARE(h.Text("UpperLimit"), QStringLiteral("Upper Limit"));
  QCOMPARE(h.Text("LowerLimit"), QStringLiteral("Lower Limit"));
  QCOMPARE(h.Text("Density"), QStringLiteral("Density"));
  QVERIFY(h.messages.shown.empty());
}

void MainFormTest::startUpTakesTheLaterOfTwoRecords() {
  FormHarness h(
      "Name,MC,Upper,Lower,TW\n\"Corn\",15,250,0,56\n\"Rye\",14,90,0,56\n\"Corn\",15.25,280,"
      "1.5,54\n");
  QVERIFY(h.Start());
  QCOMPARE(Items(h.Child<QComboBox>("Combo1")), QStringList({"Corn", "Rye", "Corn"}));
  QCOMPARE(h.Text("MC"), QStringLiteral("15.25"));
  QCOMPARE(h.Text("UpperLimit"), QStringLiteral("280"));
  QCOMPARE(h.Text("LowerLimit"), QStringLiteral("1.5"));
  QCOMPARE(h.Text("Density"), QStringLiteral("54"));
}

void MainFormTest::startUpFailsOnASettingsFile_data() {
  QTest::addColumn<QString>("file");         // the file to spoil
  QTest::addColumn<QByteArray>("contents");  // empty: remove it
  QTest::addColumn<QString>("problem");      // after the file's path
  QTest::newRow("no crop file") << "crop.dat" << QByteArray()
                                << ": cannot be opened (missing or unreadable).";
  QTest::newRow("no criteria file")
      << "criteria.dat" << QByteArray() << ": cannot be opened (missing or unreadable).";
  QTest::newRow("word for a moisture")
      << "crop.dat" << QByteArray("a,b,c,d,e\n\"Corn\",wet,300,0,56\n")
      << ":2: the moisture of \"Corn\" is \"wet\", not a number.";
  QTest::newRow("criteria cut short") << "criteria.dat" << QByteArray("a,b,c,d,e,f,g\n4,2,40\n")
                                      << ": the file ends before the search size Y (value 4 of 7).";
  QTest::newRow("SearchY beyond 16 bits")
      << "criteria.dat" << StandardCriteria("40000")
      << ": the search size Y \"40000\" is not a whole number from -32768 to 32767.";
}

void MainFormTest::startUpFailsOnASettingsFile() {
  QFETCH(QString, file);
  QFETCH(QByteArray, contents);
  QFETCH(QString, problem);
  FormHarness h;
  if (contents.isEmpty()) {
    QVERIFY(QFile::remove(h.Path(file)));
  } else {
    WriteFile(h.Path(file), contents);
  }
  QVERIFY(!h.form->Form_Load());
  QCOMPARE(h.messages.shown.size(), 1u);
  QVERIFY2(IsSettingsError(h.messages.shown[0], h.Path(file) + problem),
           qPrintable(h.messages.shown[0].text));
  QVERIFY(h.messages.shown[0].text.contains(h.dir.path()));
}

void MainFormTest::cropSelectionByClick() {
  FormHarness h;
  QVERIFY(h.Start());
  auto* crop = h.Child<QComboBox>("Combo1");
  PickFromList(crop, 2);
  QCOMPARE(crop->currentText(), QStringLiteral("Soybeans"));
  QCOMPARE(h.Text("MC"), QStringLiteral("13"));
  QCOMPARE(h.Text("UpperLimit"), QStringLiteral("100"));
  QCOMPARE(h.Text("LowerLimit"), QStringLiteral("2.5"));
  QCOMPARE(h.Text("Density"), QStringLiteral("60"));
  // The list stays as it was read at start-up.
  QCOMPARE(Items(crop), QStringList({"Wheat", "Corn", "Soybeans", "Barley"}));
}

void MainFormTest::cropSelectionByLeavingTheBox() {
  FormHarness h;
  QVERIFY(h.Start());
  auto* crop = h.Child<QComboBox>("Combo1");

  // Typing a name and leaving the box applies it.
  QTest::mouseClick(crop->lineEdit(), Qt::LeftButton);
  QTRY_VERIFY(crop->hasFocus());
  crop->lineEdit()->selectAll();
  QTest::keyClicks(crop->lineEdit(), "Barley");
  QCOMPARE(h.Text("MC"), QStringLiteral("15.5"));
  QTest::keyClick(crop->lineEdit(), Qt::Key_Tab);
  QCOMPARE(h.Text("MC"), QStringLiteral("14.5"));
  QCOMPARE(h.Text("Density"), QStringLiteral("48"));

  // Leaving it unchanged reads the file again: edits of the four fields go,
  // and the file's current values come.
  h.SetText("MC", "99");
  WriteFile(h.Path("crop.dat"), "a,b,c,d,e\n\"Barley\",14,170,0,47\n");
  QTest::mouseClick(crop->lineEdit(), Qt::LeftButton);
  QTRY_VERIFY(crop->hasFocus());
  QTest::mouseClick(h.Child("Title"), Qt::LeftButton);
  QCOMPARE(h.Text("MC"), QStringLiteral("14"));
  QCOMPARE(h.Text("UpperLimit"), QStringLiteral("170"));
  QCOMPARE(h.Text("Density"), QStringLiteral("47"));

  // A name the file does not hold changes nothing, nor does a case variant.
  for (const char* name : {"Sorghum", "barley"}) {
    QTest::mouseClick(crop->lineEdit(), Qt::LeftButton);
    crop->lineEdit()->selectAll();
    QTest::keyClicks(crop->lineEdit(), name);
    QTest::keyClick(crop->lineEdit(), Qt::Key_Tab);
    QCOMPARE(h.Text("MC"), QStringLiteral("14"));
  }
  QVERIFY(h.messages.shown.empty());
}

void MainFormTest::cropSelectionWithTheFileGone() {
  FormHarness h;
  QVERIFY(h.Start());
  QVERIFY(QFile::remove(h.Path("crop.dat")));
  auto* crop = h.Child<QComboBox>("Combo1");
  PickFromList(crop, 0);
  QCOMPARE(h.messages.shown.size(), 1u);
  QVERIFY(IsSettingsError(h.messages.shown[0],
                          h.Path("crop.dat") + ": cannot be opened (missing or unreadable)."));
  // The program goes on with the fields as they were.
  QVERIFY(h.form->isVisible());
  QCOMPARE(h.Text("MC"), QStringLiteral("15.5"));
  QCOMPARE(h.Text("Density"), QStringLiteral("56"));

  // Leaving the box reads the file once, so the message comes once.
  QTest::mouseClick(crop->lineEdit(), Qt::LeftButton);
  QTRY_VERIFY(crop->hasFocus());
  QTest::keyClick(crop->lineEdit(), Qt::Key_Tab);
  QCOMPARE(h.messages.shown.size(), 2u);
  QCOMPARE(h.messages.shown[1], h.messages.shown[0]);
}

void MainFormTest::accessKeyOfRunLeavesTheCropBox() {
  FormHarness h;
  QVERIFY(h.Start());
  auto* crop = h.Child<QComboBox>("Combo1");
  QTest::mouseClick(crop->lineEdit(), Qt::LeftButton);
  QTRY_VERIFY(crop->hasFocus());
  crop->lineEdit()->selectAll();
  QTest::keyClicks(crop->lineEdit(), "Wheat");
  // Alt+R takes the focus to Run as a click does: the typed crop applies
  // before the run reads the fields.
  QTest::keyClick(crop->lineEdit(), Qt::Key_R, Qt::AltModifier);
  QTRY_COMPARE(h.messages.shown.size(), 1u);
  QCOMPARE(h.messages.shown[0].text, QStringLiteral("Invalid Input File"));
  QCOMPARE(h.Text("MC"), QStringLiteral("13.5"));
  QCOMPARE(h.Text("Density"), QStringLiteral("60"));
}

void MainFormTest::moistureCheck_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("accepted");
  QTest::newRow("zero") << "0" << true;
  QTest::newRow("fraction") << "17.25" << true;
  QTest::newRow("negative") << "-0.5" << false;
  QTest::newRow("word") << "abc" << false;
  QTest::newRow("empty") << "" << false;
}

void MainFormTest::moistureCheck() {
  QFETCH(QString, text);
  QFETCH(bool, accepted);
  FormHarness h;
  QVERIFY(h.Start());
  auto* mc = h.Child("MC");
  QTest::mouseClick(mc, Qt::LeftButton);
  QTRY_VERIFY(mc->hasFocus());
  mc->selectAll();
  QTest::keyClick(mc, Qt::Key_Delete);
  QTest::keyClicks(mc, text);

  // Clicking Run: refused, the message and nothing else, the focus stays.
  QTest::mouseClick(h.Child<QPushButton>("Command1"), Qt::LeftButton);
  if (accepted) {
    // The run starts (and stops at the start text of the input field).
    QCOMPARE(h.messages.shown.size(), 1u);
    QCOMPARE(h.messages.shown[0].text, QStringLiteral("Invalid Input File"));
    QVERIFY(!mc->hasFocus());
    return;
  }
  QCOMPARE(h.messages.shown, std::vector<Message>({kRefused}));
  QVERIFY(mc->hasFocus());

  // Nor may the focus go to another field or another page.
  QTest::mouseClick(h.Child("Title"), Qt::LeftButton);
  QCOMPARE(h.messages.shown.size(), 2u);
  QVERIFY(mc->hasFocus());
  auto* tabs = h.Child<QTabWidget>("SSTab1");
  QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
  QCOMPARE(h.messages.shown.size(), 3u);
  QCOMPARE(tabs->currentIndex(), 0);
  QVERIFY(mc->hasFocus());
  QCOMPARE(h.messages.shown.back(), kRefused);

  // Nor to the crop box, which then has not been left either: the refused
  // text stays for the user to mend.
  QTest::mouseClick(h.Child<QComboBox>("Combo1")->lineEdit(), Qt::LeftButton);
  QCOMPARE(h.messages.shown.size(), 4u);
  QCOMPARE(h.messages.shown.back(), kRefused);
  QVERIFY(mc->hasFocus());
  QCOMPARE(mc->text(), text);

  // Mended, it lets the focus go.
  mc->setText("0");
  QTest::mouseClick(h.Child("Title"), Qt::LeftButton);
  QTRY_VERIFY(h.Child("Title")->hasFocus());
  QCOMPARE(h.messages.shown.size(), 4u);
}

void MainFormTest::moistureCheckHoldsTheAccessKeyAndTheTabs() {
  FormHarness h;
  QVERIFY(h.Start());
  auto* mc = h.Child("MC");
  QTest::mouseClick(mc, Qt::LeftButton);
  QTRY_VERIFY(mc->hasFocus());
  mc->setText("-1");
  QTest::keyClick(mc, Qt::Key_Tab);
  QCOMPARE(h.messages.shown, std::vector<Message>({kRefused}));
  QVERIFY(mc->hasFocus());
  QTest::keyClick(mc, Qt::Key_Backtab);
  QCOMPARE(h.messages.shown.size(), 2u);
  QVERIFY(mc->hasFocus());

  // Alt+R presses Run without a click: still no run.
  QTest::keyClick(mc, Qt::Key_R, Qt::AltModifier);
  QTRY_COMPARE(h.messages.shown.size(), 3u);
  QCOMPARE(h.messages.shown.back(), kRefused);
  QTest::qWait(50);
  QCOMPARE(h.messages.shown.size(), 3u);

  // Nor to the next page.
  auto* tabs = h.Child<QTabWidget>("SSTab1");
  QTest::keyClick(mc, Qt::Key_Tab, Qt::ControlModifier);
  QCOMPARE(h.messages.shown.size(), 4u);
  QCOMPARE(tabs->currentIndex(), 0);
  QVERIFY(mc->hasFocus());

  // Any other way out brings the focus back, with the message.
  h.Child("Title")->setFocus(Qt::OtherFocusReason);
  QTRY_COMPARE(h.messages.shown.size(), 5u);
  QCOMPARE(h.messages.shown.back(), kRefused);
  QTRY_VERIFY(mc->hasFocus());
  QCOMPARE(tabs->currentIndex(), 0);

  mc->setText("15");
  QTest::keyClick(mc, Qt::Key_Tab);
  QCOMPARE(h.messages.shown.size(), 5u);
  QVERIFY(!mc->hasFocus());
}

void MainFormTest::messageBoxShowsTheWholeMessage() {
  QString seen;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen = box->windowTitle() + "|" + box->text() + "|" + box->detailedText() + "|" +
           QString::number(box->icon());
    box->accept();
  });
  tarvik::ui::QtMessageService service;
  service.Show(nullptr, {"Invalid Input File", "Error Input File", MessageIcon::Critical,
                         "field.txt:3: the latitude is \"north\", not a number."});
  QCOMPARE(seen, QStringLiteral("Error Input File|Invalid Input File|field.txt:3: the latitude is "
                                "\"north\", not a number.|%1")
                     .arg(int(QMessageBox::Critical)));
}

void MainFormTest::rescaleSwitch() {
  FormHarness h;
  QVERIFY(h.Start());
  h.Child<QTabWidget>("SSTab1")->setCurrentIndex(2);
  auto* check = h.Child<QCheckBox>("Check1");
  QCOMPARE(check->text(), QStringLiteral("Re-scale Coordinates?"));
  const char* const group[] = {"OutputCoordinates", "lblFEast", "FEast", "lblFNorth", "FNorth"};

  QTest::mouseClick(check, Qt::LeftButton);
  QCOMPARE(check->checkState(), Qt::Checked);
  for (const char* name : group) QVERIFY2(h.Child<QWidget>(name)->isEnabled(), name);
  QCOMPARE(h.Child<QLabel>("lblFEast")->text(), QStringLiteral("False Easting"));
  QCOMPARE(h.Child<QLabel>("lblFNorth")->text(), QStringLiteral("False Northing"));
  h.SetText("FEast", "712345");
  h.SetText("FNorth", "4520001");

  QTest::mouseClick(check, Qt::LeftButton);
  QCOMPARE(check->checkState(), Qt::Unchecked);
  for (const char* name : group) QVERIFY2(!h.Child<QWidget>(name)->isEnabled(), name);
  QCOMPARE(h.Text("FEast"), QStringLiteral("712345"));
  QCOMPARE(h.Text("FNorth"), QStringLiteral("4520001"));

  // Greyed counts as ticked.
  check->setTristate(true);
  check->setCheckState(Qt::PartiallyChecked);
  for (const char* name : group) QVERIFY2(h.Child<QWidget>(name)->isEnabled(), name);
}

void MainFormTest::progressDisplay() {
  FormHarness h;
  QVERIFY(h.Start());
  auto* status = h.Child<QLabel>("Label2");
  auto* bar = h.Child<QProgressBar>("ProgressBar1");
  const int height = qRound(6030 * h.form->logicalDpiY() / 1440.0);
  QCOMPARE(h.form->FormHeightPixels(), height);

  h.form->resize(h.form->width(), height + 40);
  h.form->Begin("Checking Header Status ...", 1234);
  QVERIFY(status->isVisible());
  QVERIFY(bar->isVisible());
  QCOMPARE(status->text(), QStringLiteral("Checking Header Status ..."));
  QCOMPARE(bar->maximum(), 1234);
  QCOMPARE(h.form->height(), height);
  h.form->SetValue(617);
  QCOMPARE(bar->value(), 617);
  // Everything shown fits in the form.
  QVERIFY(h.form->rect().contains(bar->geometry()));
  QVERIFY(h.form->rect().contains(status->geometry()));

  h.form->resize(h.form->width(), height + 40);
  h.form->End();
  QVERIFY(!status->isVisible());
  QVERIFY(!bar->isVisible());
  QCOMPARE(h.form->height(), height);

  // The next stage keeps the bar's value when it sets none.
  h.form->Begin("Checking Data for Minimum Value ...", 1234);
  QCOMPARE(bar->value(), 617);
  h.form->End();
}

void MainFormTest::hiddenTestButton() {
  FormHarness h;
  QVERIFY(h.Start());
  QSignalSpy ended(h.form.get(), &tarvik::ui::Tarvik::programEnded);
  auto* test = h.Child<QPushButton>("Command6");
  QCOMPARE(test->text(), QStringLiteral("Test"));
  test->click();
  QCOMPARE(ended.count(), 0);
  h.SetText("FEast", "east");
  test->click();
  QCOMPARE(ended.count(), 1);
  QVERIFY(h.messages.shown.empty());
}

QTEST_MAIN(MainFormTest)
#include "main_form_test.moc"
