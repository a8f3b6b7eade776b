// The tarvik program run as a user runs it: pictures without a display, and
// the exit status when the settings cannot be read.
#include <QImage>
#include <QProcess>

#include "gui_support.h"

using namespace tarvik::ui::testing;

namespace {

/// Runs tarvik to its end: the exit status (-1 if it did not end normally) and standard error.
std::pair<int, QString> RunTarvik(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral(TARVIK_APP), arguments);
  if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
    return {-1, QString()};
  }
  return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
}

}  // namespace

class AppTest : public QObject {
  Q_OBJECT

 private slots:
  void screenshotsOfEveryWindow() {
    QTemporaryDir settings;
    WriteFile(settings.filePath("crop.dat"), StandardCrops());
    WriteFile(settings.filePath("criteria.dat"), StandardCriteria());
    QTemporaryDir pictures;
    QCOMPARE(
        RunTarvik({"--settings", settings.path(), "--screenshot", pictures.filePath("docs")}).first,
        0);
    for (const char* name : {"main-form.png", "page-crop.png", "page-files.png",
                             "page-check-criteria.png", "development.png", "results.png"}) {
      const QImage picture(pictures.filePath(QStringLiteral("docs/") + name));
      QVERIFY2(!picture.isNull(), name);
      QVERIFY2(picture.width() >= 320 && picture.height() >= 240, name);
    }
    const QImage form(pictures.filePath("docs/main-form.png"));
    const QImage files(pictures.filePath("docs/page-files.png"));
    QCOMPARE(files.size(), form.size());
    QVERIFY(files != form);
  }

  void missingSettingsEndWithStatusOne() {
    QTemporaryDir pictures;
    const QString missing = pictures.filePath("no-settings");
    const auto [status, err] = RunTarvik({"--settings", missing, "--screenshot", pictures.path()});
    QCOMPARE(status, 1);
    QVERIFY2(err.contains("Error Settings File") &&
                 err.contains(missing + "/crop.dat: cannot be opened (missing or unreadable).") &&
                 err.contains(QStringLiteral(TARVIK_SETTINGS_INSTALL_DIR)) &&
                 err.contains(QStringLiteral("mkdir -p ") + missing + " && cp -n "),
             qPrintable(err));
    QVERIFY(!QFile::exists(missing));
    QVERIFY(!QFile::exists(pictures.filePath("main-form.png")));
  }
};

QTEST_MAIN(AppTest)
#include "app_test.moc"
