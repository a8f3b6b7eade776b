// The results window: opened by a finished run, its map's code check boxes
// and the pictures and tables it saves.
#include <QCheckBox>
#include <QHelpEvent>
#include <QImage>
#include <QSpinBox>
#include <QToolTip>
#include <QWheelEvent>

#include "gui_support.h"
#include "map/field_map.h"
#include "run/summary.h"
#include "ui/map_widget.h"
#include "ui/results_window.h"

using tarvik::MessageIcon;
using tarvik::ui::Message;
using tarvik::ui::ResultsWindow;
using namespace tarvik::ui::testing;

namespace {

/// A small finished run by hand: retained points along a line, and one
/// point of each of two codes away from them.
std::int32_t HandMadeRun(tarvik::PointTable& table) {
  std::int32_t count = 0;
  for (int i = 0; i < 10; ++i) {
    tarvik::YieldPoint& p = table[++count];
    p.ID = count;
    p.Easting = 500000 + 10 * i;
    p.Northing = 4500000;
    p.Yield = static_cast<float>(100 + i);
    p.Swath = 360;
    p.Distance = 60;
  }
  const auto removed = [&](std::int16_t code, int east, int north) {
    tarvik::YieldPoint& p = table[++count];
    p.ID = count;
    p.RemovalCode = code;
    p.Easting = east;
    p.Northing = north;
    p.Yield = 300;
    p.NeighbourCount = 4;
    p.NeighbourMean = 120;
    p.NeighbourSD = 9.5f;
  };
  removed(tarvik::kHeaderUp, 500000, 4500090);
  removed(tarvik::kAboveNeighbours, 500090, 4500090);
  return count;
}

/// The tooltip the map shows when the mouse rests at `at`; empty for none.
QString HoverText(QWidget* map, const QPointF& at) {
  QToolTip::hideText();
  QHelpEvent help(QEvent::ToolTip, at.toPoint(), map->mapToGlobal(at.toPoint()));
  QApplication::sendEvent(map, &help);
  return QToolTip::isVisible() ? QToolTip::text() : QString();
}

QColor PixelAt(QWidget* widget, const QPointF& at) {
  return widget->grab().toImage().pixelColor(at.toPoint());
}

}  // namespace

class ResultsTest : public QObject {
  Q_OBJECT

 private slots:
  void finishedRunOpensResultsWithItsCounts() {
    FormHarness h;
    QVERIFY(h.Start());
    QVERIFY(h.form->Results() == nullptr);
    h.UseSample(40);
    // Results opens only once the user has closed "FINISH".
    bool openWhileFinishShown = true;
    h.messages.onShow = [&](const Message&) {
      openWhileFinishShown = h.form->Results() != nullptr && h.form->Results()->isVisible();
    };
    h.ClickRun();
    QCOMPARE(WithoutCounts(h.messages.shown), std::vector<Message>({kFinish}));
    QVERIFY(!openWhileFinishShown);
    ResultsWindow* results = h.form->Results();
    QVERIFY(results != nullptr);
    QVERIFY(results->isVisible() && results->isWindow());
    QCOMPARE(results->objectName(), QStringLiteral("Results"));

    const auto byCode = tarvik::CountCodes(h.form->PointCount(), h.form->Table());
    QCOMPARE(results->Summary().PointsRead, 40);
    QCOMPARE(results->Summary().Retained, byCode[0]);
    QCOMPARE(results->findChild<QCheckBox*>("ShowCode0")->text(),
             QStringLiteral("Retained (%1)").arg(byCode[0]));
    QCOMPARE(results->findChild<QCheckBox*>("ShowCode1")->text(),
             QStringLiteral("1 Header status (%1)").arg(byCode[1]));
    // Without a flow delay there is no code 13 to show or hide.
    QVERIFY(results->findChild<QCheckBox*>("ShowCode12")->isVisible());
    QVERIFY(!results->findChild<QCheckBox*>("ShowCode13")->isVisible());
    QCOMPARE(results->Map()->Map().Points.size(), std::size_t{40});

    // Closing it changes nothing; the next run brings it back with its own counts.
    results->close();
    QVERIFY(h.form->isVisible());
    WriteFile(h.Path("field.txt"), SampleExport(25));
    h.ClickRun();
    QVERIFY(results->isVisible());
    QCOMPARE(h.form->Results(), results);
    QCOMPARE(results->Summary().PointsRead, 25);

    // A run that does not finish leaves no result to show.
    h.SetText("InputFile", h.Path("missing.txt"));
    h.ClickRun();
    QVERIFY(!results->isVisible());
  }

  void hiddenCodeIsNotPainted() {
    FakeMessages messages;
    FakeFileDialogs files;
    tarvik::PointTable table;
    const std::int32_t count = HandMadeRun(table);
    ResultsWindow results(messages, files);
    tarvik::RunSettings settings;
    settings.InputFile = "hand.txt";
    results.ShowRun(count, table, settings);
    QVERIFY(QTest::qWaitForWindowExposed(&results));
    auto* map = results.Map();
    const QPointF header = map->PixelOf(10);
    const QPointF high = map->PixelOf(11);
    const QPointF retained = map->PixelOf(0);
    const QColor headerColour = tarvik::map::StyleOf(tarvik::kHeaderUp).Colour;
    QCOMPARE(PixelAt(map, header), headerColour);
    const QColor retainedColour = PixelAt(map, retained);

    QTest::mouseClick(results.findChild<QCheckBox*>("ShowCode1"), Qt::LeftButton);
    QVERIFY(map->View().Hidden[tarvik::kHeaderUp]);
    QCOMPARE(PixelAt(map, header), QColor(0xf2, 0xf2, 0xf2));  // the map's ground
    QCOMPARE(PixelAt(map, high), tarvik::map::StyleOf(tarvik::kAboveNeighbours).Colour);
    QCOMPARE(PixelAt(map, retained), retainedColour);
    QTest::mouseClick(results.findChild<QCheckBox*>("ShowCode1"), Qt::LeftButton);
    QCOMPARE(PixelAt(map, header), headerColour);

    // Hovering names the point; the neighbourhood figures where the check left them.
    QString tip = HoverText(map, high);
    QVERIFY2(tip.contains("ID (line in the file): 12") &&
                 tip.contains("Code: 9 (Above neighbourhood band)") &&
                 tip.contains("NeighbourCount: 4") && tip.contains("NeighbourSD: 9.50"),
             qPrintable(tip));
    tip = HoverText(map, retained);
    QVERIFY2(tip.contains("ID (line in the file): 1\n") && !tip.contains("Neighbour"),
             qPrintable(tip));
    QTest::mouseClick(results.findChild<QCheckBox*>("ShowCode9"), Qt::LeftButton);
    QCOMPARE(HoverText(map, high), QString());

    // The wheel zooms about the pointer, which keeps its point; Fit Field shows it all again.
    QWheelEvent wheel(retained, map->mapToGlobal(retained), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(map, &wheel);
    QCOMPARE(map->View().Zoom, 1.25);
    QVERIFY((map->PixelOf(0) - retained).manhattanLength() < 1e-6);
    QVERIFY((map->PixelOf(11) - high).manhattanLength() > 10);
    QTest::mouseClick(results.findChild<QPushButton*>("FitField"), Qt::LeftButton);
    QCOMPARE(map->PixelOf(11), high);
  }

  void saveMapWritesAPngOfTheChosenSize() {
    FakeMessages messages;
    FakeFileDialogs files;
    QTemporaryDir dir;
    tarvik::PointTable table;
    const std::int32_t count = HandMadeRun(table);
    ResultsWindow results(messages, files);
    tarvik::RunSettings settings;
    settings.InputFile = "hand.txt";
    settings.OutputFile = dir.filePath("handout.txt").toStdString();
    results.ShowRun(count, table, settings);

    results.findChild<QSpinBox*>("MapWidth")->setValue(640);
    results.findChild<QSpinBox*>("MapHeight")->setValue(480);
    files.answers << dir.filePath("map.png") << dir.filePath("summary.csv");
    QTest::mouseClick(results.findChild<QPushButton*>("SaveMap"), Qt::LeftButton);
    const QImage picture(dir.filePath("map.png"), "PNG");
    QCOMPARE(picture.size(), QSize(640, 480));
    QVERIFY(!picture.hasAlphaChannel());  // opaque: three bytes a pixel
    QCOMPARE(files.requests, QStringList({"save " + dir.path()}));

    QTest::mouseClick(results.findChild<QPushButton*>("SaveSummary"), Qt::LeftButton);
    const QByteArray csv = ReadFile(dir.filePath("summary.csv"));
    QVERIFY2(csv.startsWith("Input file,hand.txt\r\nPoints,Count,Percent\r\nRead,12,100.00\r\n"),
             csv.constData());
    QVERIFY(messages.shown.empty());

    // Cancel writes nothing; a folder that is not there says so.
    QTest::mouseClick(results.findChild<QPushButton*>("SaveMap"), Qt::LeftButton);
    files.answers << dir.filePath("no/such/folder/map.png");
    QTest::mouseClick(results.findChild<QPushButton*>("SaveMap"), Qt::LeftButton);
    QCOMPARE(messages.shown.size(), 1u);
    QCOMPARE(messages.shown[0].title, QStringLiteral("Error Output File"));
    QCOMPARE(messages.shown[0].icon, MessageIcon::Critical);

    // A picture that could not be made (too large for the memory) is no file.
    QVERIFY(!tarvik::map::EncodePng(QImage()).has_value());
    const std::optional<QByteArray> png = tarvik::map::EncodePng(picture);
    QVERIFY(png.has_value());
    QCOMPARE(QImage::fromData(*png, "PNG").convertToFormat(picture.format()), picture);
  }
};

QTEST_MAIN(ResultsTest)
#include "results_test.moc"
