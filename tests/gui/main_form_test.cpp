// The main form: its controls, start-up, crop selection, the moisture check,
// the re-scale switch and the hidden Test button, driven through its widgets.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabBar>
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

/// The settings error for `problem`, which must say where the supplied files are.
bool IsSettingsError(const FormHarness& h, const Message& message, const QString& problem) {
  return message.title == "Error Settings File" && message.icon == MessageIcon::Critical &&
         message.text.startsWith(problem + "\n\n") && message.text.contains(h.dir.path()) &&
         message.text.contains("settings of the Tarvik sources") &&
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

const Message kRefused{"Please insert a non-negative value", "Tarvik", MessageIcon::Information,
                       QString()};

}  // namespace

class MainFormTest : public QObject {
  Q_OBJECT

 private slots:
  void controlsAfterStartUp() {
    FormHarness h;
    QVERIFY(h.Start());
    QVERIFY(h.messages.shown.empty());
    QCOMPARE(h.form->windowTitle(), QStringLiteral("Quenby Yield Data Cleaning Program"));
    QVERIFY(!h.Child<QLabel>("Picture1")->pixmap().isNull());
    QStringList pages;
    for (int i = 0; i < h.Tabs()->count(); ++i) pages << h.Tabs()->tabText(i);
    QCOMPARE(pages, QStringList({"Crop", "Files", "Check Criteria"}));
    QCOMPARE(h.Tabs()->currentIndex(), 0);
    QCOMPARE(h.Texts({"Command1", "Command6"}), QStringList({"&Run", "Test"}));
    // The crop list in file order with "Corn" chosen, the criteria, and SearchSize from SearchY.
    QCOMPARE(Items(h.Crop()), QStringList({"Wheat", "Corn", "Soybeans", "Barley"}));
    QCOMPARE(h.Crop()->currentText(), QStringLiteral("Corn"));
    QCOMPARE(h.Texts({"Title", "MC", "UpperLimit", "LowerLimit", "Density", "InputFile",
                      "OutputFile", "FEast", "FNorth", "StartPassDelay", "EndPassDelay", "SearchX",
                      "SearchY", "SDOutlier", "SearchSD", "NoPointsforValidSeg", "SearchSize"}),
             QStringList({"Project Title?", "15.5", "300", "0", "56", "Input File", "Output File",
                          "0", "0", "4", "2", "40", "10.5", "3", "2.5", "10", "10"}));
    h.SetText("SearchY", "30");  // SearchSize is taken at start-up only
    QCOMPARE(h.Text("SearchSize"), QStringLiteral("10"));
    QStringList ticked;
    for (const char* name : {"Option1", "Option3", "Option4", "Check1"}) {
      if (h.Child<QAbstractButton>(name)->isChecked()) ticked << name;
    }
    QCOMPARE(ticked, QStringList({"Option1", "Option3"}));
    QVERIFY(h.Child<QGroupBox>("OutputCoordinates")->isEnabled());
    for (const char* name : {"lblFEast", "FEast", "lblFNorth", "FNorth"}) {
      QVERIFY2(!h.Child<QWidget>(name)->isEnabled(), name);
    }

    // Hidden until a run: the status line and the bar; for good: the buffer
    // field and the buttons of earlier versions.
    for (const char* name : {"Label2", "ProgressBar1", "SearchSize", "Command2", "Command3",
                             "Command6", "DuplicateDataSearch"}) {
      QVERIFY2(!h.Child<QWidget>(name)->isVisibleTo(h.form.get()), name);
    }
  }

  void startUpWithOtherSettings() {
    struct Case {
      QByteArray crops;
      QStringList items;
      QStringList fields;
    };
    const QByteArray heading = "Name,MC,Upper,Lower,TW\n";
    for (const Case& c : {
             // No "Corn": the fields keep their start texts.
             Case{heading + "\"corn\",15,250,0,56\n\"Oats\",14,120,0,32\n",
                  {"corn", "Oats"},
                  {"MC", "Upper Limit", "Lower Limit", "Density"}},
             // Two records of one name: the later holds.
             Case{heading + "\"Corn\",15,250,0,56\n\"Rye\",14,90,0,56\n\"Corn\",15.25,280,1.5,54\n",
                  {"Corn", "Rye", "Corn"},
                  {"15.25", "280", "1.5", "54"}},
         }) {
      FormHarness h(c.crops, StandardCriteria("11.5"));
      QVERIFY(h.Start());
      QCOMPARE(h.Text("SearchSize"), QStringLiteral("12"));  // 10.5 gives 10, above
      QCOMPARE(Items(h.Crop()), c.items);
      QCOMPARE(h.Crop()->currentText(), QStringLiteral("Corn"));
      QCOMPARE(h.Texts(kCropFields), c.fields);
      QVERIFY(h.messages.shown.empty());
    }
  }

  void startUpFailsOnASettingsFile() {
    struct Case {
      QString file;
      QByteArray contents;  // empty: the file is removed
      QString problem;      // after the file's path
    };
    const QString missing = ": cannot be opened (missing or unreadable).";
    for (const Case& c : {
             Case{"crop.dat", {}, missing},
             Case{"criteria.dat", {}, missing},
             Case{"criteria.dat", StandardCriteria("40000"),
                  ": the search size Y \"40000\" is not a whole number from -32768 to 32767."},
         }) {
      FormHarness h;
      if (c.contents.isEmpty()) QVERIFY(QFile::remove(h.Path(c.file)));
      if (!c.contents.isEmpty()) WriteFile(h.Path(c.file), c.contents);
      QVERIFY(!h.form->LoadStartupSettings());
      QCOMPARE(h.messages.shown.size(), 1u);
      QVERIFY2(IsSettingsError(h, h.messages.shown[0], h.Path(c.file) + c.problem),
               qPrintable(h.messages.shown[0].text));
    }
  }

  void cropSelection() {
    FormHarness h;
    QVERIFY(h.Start());
    // A typed name applies when the focus leaves the box...
    h.TypeCrop("Barley");
    QCOMPARE(h.Text("MC"), QStringLiteral("15.5"));
    QTest::keyClick(h.Crop()->lineEdit(), Qt::Key_Tab);
    QCOMPARE(h.Texts(kCropFields), QStringList({"14.5", "160", "0", "48"}));
    // ...also when Alt+R takes it, before the run reads the fields.
    h.TypeCrop("Wheat");
    QTest::keyClick(h.Crop()->lineEdit(), Qt::Key_R, Qt::AltModifier);
    QTRY_COMPARE(h.messages.shown.size(), 1u);
    QCOMPARE(WithoutDetail(h.messages.shown[0]), kInvalidInput);
    QCOMPARE(h.Texts(kCropFields), QStringList({"13.5", "150", "5", "60"}));

    PickFromList(h.Crop(), 2);
    QCOMPARE(h.Crop()->currentText(), QStringLiteral("Soybeans"));
    QCOMPARE(h.Texts(kCropFields), QStringList({"13", "100", "2.5", "60"}));
    QCOMPARE(Items(h.Crop()), QStringList({"Wheat", "Corn", "Soybeans", "Barley"}));

    // Left unchanged, the box reads the file again: the file's current values
    // replace the fields' edits.
    h.SetText("MC", "99");
    WriteFile(h.Path("crop.dat"), "a,b,c,d,e\n\"Soybeans\",14,170,0,47\n");
    FormHarness::ClickInto(h.Crop()->lineEdit());
    QTest::mouseClick(h.Child("Title"), Qt::LeftButton);
    QCOMPARE(h.Texts(kCropFields), QStringList({"14", "170", "0", "47"}));

    // A name the file lacks changes nothing; names are matched with their case.
    for (const char* name : {"Sorghum", "soybeans"}) {
      h.TypeCrop(name);
      QTest::keyClick(h.Crop()->lineEdit(), Qt::Key_Tab);
      QCOMPARE(h.Text("MC"), QStringLiteral("14"));
    }
    QCOMPARE(h.messages.shown.size(), 1u);
  }

  void cropSelectionWithTheFileGone() {
    FormHarness h;
    QVERIFY(h.Start());
    QVERIFY(QFile::remove(h.Path("crop.dat")));
    PickFromList(h.Crop(), 0);
    QCOMPARE(h.messages.shown.size(), 1u);
    QVERIFY(IsSettingsError(h, h.messages.shown[0],
                            h.Path("crop.dat") + ": cannot be opened (missing or unreadable)."));
    QVERIFY(h.form->isVisible());
    QCOMPARE(h.Texts(kCropFields), QStringList({"15.5", "300", "0", "56"}));

    // Leaving the box reads the file once, so the message comes once.
    FormHarness::ClickInto(h.Crop()->lineEdit());
    QTest::keyClick(h.Crop()->lineEdit(), Qt::Key_Tab);
    QCOMPARE(h.messages.shown.size(), 2u);
    QCOMPARE(h.messages.shown[1], h.messages.shown[0]);
  }

  void moistureCheck() {
    FormHarness h;
    QVERIFY(h.Start());
    auto* mc = h.Child("MC");
    FormHarness::ClickInto(mc);
    std::size_t refusals = 0;
    const auto refusedAgain = [&] {
      ++refusals;
      return h.messages.shown.size() == refusals && h.messages.shown.back() == kRefused &&
             mc->hasFocus() && h.Tabs()->currentIndex() == 0;
    };
    // A refused text: Run does not start, and the focus stays in MC however it is moved.
    for (const QString text : {"", "abc", "-0.5"}) {
      mc->selectAll();
      QTest::keyClick(mc, Qt::Key_Delete);
      QTest::keyClicks(mc, text);
      h.ClickRun();
      QVERIFY2(refusedAgain(), qPrintable(text));
    }
    QTest::keyClick(mc, Qt::Key_Tab);
    QVERIFY(refusedAgain());
    QTest::keyClick(mc, Qt::Key_Tab, Qt::ControlModifier);
    QVERIFY(refusedAgain());
    QTest::mouseClick(h.Child("Title"), Qt::LeftButton);
    QVERIFY(refusedAgain());
    QTabBar* pages = h.Tabs()->tabBar();
    QTest::mouseClick(pages, Qt::LeftButton, {}, pages->tabRect(1).center());
    QVERIFY(refusedAgain());
    // The crop box is not left on the way back, so it does not overwrite MC.
    QTest::mouseClick(h.Crop()->lineEdit(), Qt::LeftButton);
    QVERIFY(refusedAgain());
    QCOMPARE(mc->text(), QStringLiteral("-0.5"));
    // Alt+R presses Run without moving the focus: still no run.
    QTest::keyClick(mc, Qt::Key_R, Qt::AltModifier);
    QTRY_COMPARE(h.messages.shown.size(), refusals + 1);
    QTest::qWait(50);
    QVERIFY(refusedAgain());
    // Any other way out brings the focus back, with the message.
    h.Child("Title")->setFocus(Qt::OtherFocusReason);
    QTRY_COMPARE(h.messages.shown.size(), refusals + 1);
    QTRY_VERIFY(mc->hasFocus());
    QVERIFY(refusedAgain());

    // 0 lets the focus go, and the run starts (to stop at the input field's start text).
    mc->setText("0");
    QTest::keyClick(mc, Qt::Key_Tab);
    QVERIFY(!mc->hasFocus());
    QCOMPARE(h.messages.shown.size(), refusals);
    h.ClickRun();
    QCOMPARE(h.messages.shown.size(), refusals + 1);
    QCOMPARE(WithoutDetail(h.messages.shown.back()), kInvalidInput);
  }

  void messageBoxShowsTheWholeMessage() {
    QString seen;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      seen = QStringList({box->windowTitle(), box->text(), box->detailedText(),
                          QString::number(box->icon())})
                 .join('|');
      box->accept();
    });
    tarvik::ui::QtMessageService().Show(
        nullptr, {"Invalid Input File", "Error Input File", MessageIcon::Critical, "f.txt:3: bad"});
    QCOMPARE(seen, QStringLiteral("Error Input File|Invalid Input File|f.txt:3: bad|%1")
                       .arg(int(QMessageBox::Critical)));
  }

  void rescaleSwitch() {
    FormHarness h;
    QVERIFY(h.Start());
    h.Tabs()->setCurrentIndex(2);
    auto* check = h.Child<QCheckBox>("Check1");
    for (const bool ticked : {true, false}) {
      QTest::mouseClick(check, Qt::LeftButton);
      QCOMPARE(check->isChecked(), ticked);
      for (const char* name : {"OutputCoordinates", "lblFEast", "FEast", "lblFNorth", "FNorth"}) {
        QVERIFY2(h.Child<QWidget>(name)->isEnabled() == ticked, name);
      }
      if (ticked) h.SetText("FEast", "712345");
    }
    QCOMPARE(h.Text("FEast"), QStringLiteral("712345"));
  }

  void hiddenTestButton() {
    FormHarness h;
    QVERIFY(h.Start());
    QSignalSpy ended(h.form.get(), &tarvik::ui::Tarvik::programEnded);
    auto* test = h.Child<QPushButton>("Command6");
    test->click();
    QCOMPARE(ended.count(), 0);
    h.SetText("FEast", "east");
    test->click();
    QCOMPARE(ended.count(), 1);
    QVERIFY(h.messages.shown.empty());
  }
};

QTEST_MAIN(MainFormTest)
#include "main_form_test.moc"
