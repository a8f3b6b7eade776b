// "Export...": the file dialog's answers turned into an export, and its messages.
#include "ui/export_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include "gui_support.h"

using tarvik::MessageIcon;
using tarvik::ui::Message;
using tarvik::ui::SaveChoice;
using namespace tarvik::ui::testing;

namespace {

/// Answers the export's dialog with `answer` and records what it was asked.
class ChoiceDialogs final : public tarvik::ui::FileDialogService {
 public:
  std::optional<QString> OpenFileName(QWidget*, const QString&) override { return std::nullopt; }
  std::optional<QString> SaveFileName(QWidget*, const QString&) override { return std::nullopt; }
  std::optional<SaveChoice> SaveFileNameWithChoice(QWidget*, const QString& title,
                                                   const QString& proposal,
                                                   const QStringList& filters,
                                                   const QString& optionLabel,
                                                   const QStringList& options) override {
    asked << title << proposal << filters.join('|') << optionLabel << options.join('|');
    return answer;
  }
  std::optional<SaveChoice> answer;
  QStringList asked;
};

/// Two points of a run: one retained, one removed.
std::int32_t TwoPoints(tarvik::PointTable& table) {
  for (std::int32_t i = 1; i <= 2; ++i) {
    table[i].ID = i;
    table[i].Latitude = 40.8f;
    table[i].Longitude = -96.7f + 0.0001f * static_cast<float>(i);
    table[i].Easting = 694025 + 8 * i;
    table[i].Northing = 4519101;
  }
  table[2].RemovalCode = 3;
  return 2;
}

}  // namespace

class ExportDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void writesTheChosenTypeAndCoordinates() {
    QTemporaryDir dir;
    tarvik::PointTable table;
    const std::int32_t count = TwoPoints(table);
    FakeMessages messages;
    ChoiceDialogs files;

    // A name without an extension takes the chosen type's: Shapefile, grid.
    files.answer = SaveChoice{dir.filePath("clean"), 1, 2};
    QVERIFY(tarvik::ui::ExportResults(nullptr, count, table, dir.filePath("field.txt"), messages,
                                      files));
    QCOMPARE(files.asked,
             (QStringList{"Export", dir.filePath("field.gpkg"),
                          "GeoPackage (*.gpkg)|Shapefile (*.shp)|GeoJSON (*.geojson)|"
                          "FlatGeobuf (*.fgb)|CSV (*.csv)",
                          "Coordinates:",
                          "WGS 84 longitude and latitude|UTM zone of the field (WGS 84)|"
                          "The run's grid (Transverse Mercator, 99° W)"}));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
             (QStringList{"clean.cpg", "clean.dbf", "clean.prj", "clean.shp", "clean.shx",
                          "clean_summary.cpg", "clean_summary.dbf"}));
    QVERIFY(ReadFile(dir.filePath("clean.prj")).contains("-99"));
    QCOMPARE(messages.shown,
             (std::vector<Message>{{"Exported 2 points to " + dir.filePath("clean.shp"), "Export",
                                    MessageIcon::Information, QString()}}));

    // The name's own extension wins over the type.
    files.answer = SaveChoice{dir.filePath("named.csv"), 0, 0};
    QVERIFY(tarvik::ui::ExportResults(nullptr, count, table, QString(), messages, files));
    QVERIFY(QFile::exists(dir.filePath("named.csv")));
    QVERIFY(!QFile::exists(dir.filePath("named.csv.gpkg")));
  }

  void cancelWritesNothingAndFailuresSayWhy() {
    QTemporaryDir dir;
    tarvik::PointTable table;
    const std::int32_t count = TwoPoints(table);
    FakeMessages messages;
    ChoiceDialogs files;
    QVERIFY(!tarvik::ui::ExportResults(nullptr, count, table, dir.filePath("field.txt"), messages,
                                       files));
    QVERIFY(messages.shown.empty());
    QVERIFY(QDir(dir.path()).isEmpty());

    const QString missing = dir.filePath("gone/x.gpkg");
    files.answer = SaveChoice{missing, 0, 0};
    QVERIFY(!tarvik::ui::ExportResults(nullptr, count, table, QString(), messages, files));
    QCOMPARE(messages.shown,
             (std::vector<Message>{{"Cannot export " + missing + ": No such file or directory",
                                    "Error Export File", MessageIcon::Critical, QString()}}));
  }

  void qtDialogOffersTheTypesAndTheChoice() {
    QTemporaryDir dir;
    const QStringList filters{"GeoPackage (*.gpkg)", "FlatGeobuf (*.fgb)"};
    // Answered once it is open: the second type, the second option, a bare name.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      answer.stop();
      dialog->findChild<QComboBox*>("Choice")->setCurrentIndex(1);
      dialog->selectNameFilter(filters[1]);
      emit dialog->filterSelected(filters[1]);
      // Typed, as a user would: once the name field has the focus, selectFile
      // leaves it alone, and when it gets the focus depends on the machine.
      dialog->findChild<QLineEdit*>("fileNameEdit")->setText("picked");
      static_cast<QDialog*>(dialog)->accept();  // as the Save button does
    });
    answer.start(20);
    tarvik::ui::QtFileDialogService files;
    const auto choice = files.SaveFileNameWithChoice(nullptr, "Export", dir.filePath("field.gpkg"),
                                                     filters, "Coordinates:", {"a", "b", "c"});
    QVERIFY(choice.has_value());
    QCOMPARE(*choice, (SaveChoice{QDir::toNativeSeparators(dir.filePath("picked.fgb")), 1, 1}));
  }
};

QTEST_MAIN(ExportDialogTest)
#include "export_dialog_test.moc"
