// The form's captions and where each label leads, the mouse wheel over boxes
// the user is not in, Shift+Tab out of a refused moisture, and the run's
// failures shown as messages.
#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QWheelEvent>

#include "gui_support.h"

using tarvik::MessageIcon;
using tarvik::ui::Message;
using namespace tarvik::ui::testing;

namespace {

/// Where `widget` sits: its frame's caption, else its page's tab text.
QString Place(const FormHarness& h, const QWidget* widget) {
  for (const QWidget* w = widget->parentWidget(); w != nullptr; w = w->parentWidget()) {
    if (auto* frame = qobject_cast<const QGroupBox*>(w)) return frame->title();
    const int page = h.Tabs()->indexOf(const_cast<QWidget*>(w));
    if (page >= 0) return h.Tabs()->tabText(page);
  }
  return QStringLiteral("form");
}

/// Every label with text, as "place: caption -> buddy" ("-" for none), sorted.
QStringList Labels(const FormHarness& h) {
  QStringList labels;
  for (const QLabel* label : h.form->findChildren<QLabel*>()) {
    if (label->text().isEmpty()) continue;
    const QWidget* buddy = label->buddy();
    labels << QStringLiteral("%1: %2 -> %3")
                  .arg(Place(h, label), label->text(), buddy ? buddy->objectName() : "-");
  }
  labels.sort();
  return labels;
}

/// Turns the wheel one notch down over `widget`, as the pointer would.
void Wheel(QWidget* widget) {
  const QPointF centre = QRectF(widget->rect()).center();
  QWheelEvent event(centre, widget->mapToGlobal(centre), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(widget, &event);
}

/// The texts of every line edit and box of the form, by name.
QStringList FieldTexts(const FormHarness& h) {
  QStringList texts;
  for (const QLineEdit* field : h.form->findChildren<QLineEdit*>()) {
    texts << field->objectName() + "=" + field->text();
  }
  return texts;
}

}  // namespace

class CaptionsTest : public QObject {
  Q_OBJECT

 private slots:
  void everyCaptionAndWhereItsLabelLeads() {
    FormHarness h;
    QVERIFY(h.Start());
    QStringList expected({
        "form: TARVIK -> -",
        "Crop: Project Title -> Title",
        "Crop: Crop -> Combo1",
        "Crop: Standard Moisture Content (%) -> MC",
        "Crop: Test weight (lb/bu) -> Density",
        "Yield Limits: Upper Limit -> UpperLimit",
        "Yield Limits: bu/ac -> -",
        "Yield Limits: Lower Limit -> LowerLimit",
        "Yield Limits: bu/ac -> -",
        "Files: Input File -> InputFile",
        "Files: Output File -> OutputFile",
        "Input File Format: Header codes (harvesting, up) -> HeaderCodes",
        "Output Coordinates: False Easting -> FEast",
        "Output Coordinates: False Northing -> FNorth",
        "Pass Delays: Start Pass Delay -> StartPassDelay",
        "Pass Delays: sec -> -",
        "Pass Delays: End Pass Delay -> EndPassDelay",
        "Pass Delays: sec -> -",
        "Other Filtering Criteria: X: -> SearchX",
        "Other Filtering Criteria: Y: -> SearchY",
        "Other Filtering Criteria: Minimum # of data points for a valid segment -> "
        "NoPointsforValidSeg",
        "Other Filtering Criteria: SD for Outlier Test -> SDOutlier",
        "Other Filtering Criteria: Search Neighborhood Size (m) -> -",
        "Other Filtering Criteria: SD for Neighborhood -> SearchSD",
        "Sensor Delays (sec): Flow Delay -> FlowDelay",
        "Sensor Delays (sec): Moisture Delay -> MoistureDelay",
        "form: Calculating neighborhood statistics...  please wait ... -> -",
    });
    expected.sort();
    QCOMPARE(Labels(h), expected);
    QStringList frames;
    for (const QGroupBox* frame : h.form->findChildren<QGroupBox*>()) {
      frames << Place(h, frame) + ": " + frame->title();
    }
    frames.sort();
    QCOMPARE(frames,
             QStringList({"Check Criteria: Other Filtering Criteria",
                          "Check Criteria: Output Coordinates", "Check Criteria: Pass Delays",
                          "Check Criteria: Sensor Delays (sec)", "Crop: Yield Limits",
                          "Files: Input File Format", "Files: Output File Format"}));
    QCOMPARE(h.Texts({"Option1", "Option2", "Option3", "Option4", "Check1"}),
             QStringList({"Advanced Export Format", "Other Yield Export (detect layout)",
                          "Cleaned Data Only", "Detailed Data Output", "Re-scale Coordinates?"}));
    QCOMPARE(Place(h, h.Child<QWidget>("Option1")), QStringLiteral("Input File Format"));
    QCOMPARE(Place(h, h.Child<QWidget>("Option4")), QStringLiteral("Output File Format"));
  }

  void aWheelOverABoxTheUserIsNotInChangesNothing() {
    FormHarness h;
    QVERIFY(h.Start());
    // The user's own values for corn, then the focus in the title.
    FormHarness::ClickInto(h.Child("MC"));
    h.Child("MC")->selectAll();
    QTest::keyClicks(h.Child("MC"), "17.25");
    h.SetText("Density", "54");
    FormHarness::ClickInto(h.Child("Title"));
    const QStringList before = FieldTexts(h);

    Wheel(h.Crop());
    Wheel(h.Crop()->lineEdit());
    QCOMPARE(h.Crop()->currentText(), QStringLiteral("Corn"));
    QCOMPARE(FieldTexts(h), before);
    QVERIFY(h.Child("Title")->hasFocus());
    for (QLineEdit* field : h.form->findChildren<QLineEdit*>()) {
      if (field != h.Child("Title")) Wheel(field);
    }
    QCOMPARE(FieldTexts(h), before);
    QCOMPARE(h.Tabs()->currentIndex(), 0);
    QVERIFY(h.messages.shown.empty());

    // In the box, the wheel picks the next crop, and its values apply.
    FormHarness::ClickInto(h.Crop()->lineEdit());
    Wheel(h.Crop());
    QCOMPARE(h.Crop()->currentText(), QStringLiteral("Soybeans"));
    QCOMPARE(h.Texts(kCropFields), QStringList({"13", "100", "2.5", "60"}));
  }

  void shiftTabOutOfARefusedMoistureStaysThere() {
    FormHarness h;
    QVERIFY(h.Start());
    auto* mc = h.Child("MC");
    FormHarness::ClickInto(mc);
    mc->selectAll();
    QTest::keyClicks(mc, "-1");
    QTest::keyClick(mc, Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_COMPARE(h.messages.shown.size(), 1u);
    QCOMPARE(h.messages.shown.back().text, QStringLiteral("Please insert a non-negative value"));
    QVERIFY(mc->hasFocus());
    QTest::keyClick(mc, Qt::Key_Tab, Qt::ShiftModifier);
    QTRY_COMPARE(h.messages.shown.size(), 2u);
    QVERIFY(mc->hasFocus());
    QCOMPARE(mc->text(), QStringLiteral("-1"));
    // An accepted value lets Shift+Tab go back to the crop box.
    mc->setText("15");
    QTest::keyClick(mc, Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_VERIFY(!mc->hasFocus());
    QCOMPARE(h.messages.shown.size(), 2u);
  }

  void runAndOutputFailuresAreShown() {
    FormHarness h;
    QVERIFY(h.Start());
    h.UseSample();
    // 100 % moisture: the correction divides by zero.
    h.SetText("MC", "100");
    h.ClickRun();
    QCOMPARE(h.messages.shown.size(), 1u);
    QCOMPARE(h.messages.shown[0].title, QStringLiteral("Run Error"));
    QCOMPARE(h.messages.shown[0].icon, MessageIcon::Critical);
    QVERIFY2(h.messages.shown[0].text.contains("division by zero"),
             qPrintable(h.messages.shown[0].text));
    QVERIFY(!QFile::exists(h.Path("clean.txt")));

    h.SetText("MC", "15.5");
    const QString missing = h.Path("no-folder/clean.txt");
    h.SetText("OutputFile", missing);
    h.ClickRun();
    QCOMPARE(h.messages.shown.size(), 2u);
    QCOMPARE(h.messages.shown[1].title, QStringLiteral("Error Output File"));
    QCOMPARE(h.messages.shown[1].icon, MessageIcon::Critical);
    QVERIFY2(h.messages.shown[1].text.contains(missing) &&
                 h.messages.shown[1].text.contains("No such file or directory"),
             qPrintable(h.messages.shown[1].text));

    // The input as output: refused, and the input left as it was.
    const QByteArray input = ReadFile(h.Path("field.txt"));
    h.SetText("OutputFile", h.Path("field.txt"));
    h.ClickRun();
    QCOMPARE(h.messages.shown.size(), 3u);
    QCOMPARE(h.messages.shown[2].title, QStringLiteral("Error Output File"));
    QCOMPARE(ReadFile(h.Path("field.txt")), input);
    for (const Message& m : h.messages.shown) QVERIFY(m.text != kFinish.text);
  }
};

QTEST_MAIN(CaptionsTest)
#include "captions_test.moc"
