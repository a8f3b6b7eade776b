// The tarvik program run as a user runs it: pictures without a display, and
// the exit status when the settings cannot be read.
#include <QImage>
#include <QProcess>

#include "gui_support.h"

using namespace tarvik::ui::testing;

namespace {

struct Result {
  int exitCode = -1;
  QString out;
  QString err;
};

Result RunTarvik(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral(TARVIK_APP), arguments);
  Result result;
  if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
    qWarning("tarvik did not end normally");
    return result;
  }
  result.exitCode = process.exitCode();
  result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
  result.err = QString::fromLocal8Bit(process.readAllStandardError());
  return result;
}

}  // namespace

class AppTest : public QObject {
  Q_OBJECT

 private slots:
  void screenshotsOfEveryWindow();
  void missingSettingsEndWithStatusOne();
  void helpAndVersion();
};

void AppTest::screenshotsOfEveryWindow() {
  QTemporaryDir settings;
  WriteFile(settings.filePath("crop.dat"), StandardCrops());
  WriteFile(settings.filePath("criteria.dat"), StandardCriteria());
  QTemporaryDir pictures;
  const Result result =
      RunTarvik({"--settings", settings.path(), "--screenshot", pictures.filePath("docs")});
  QCOMPARE(result.exitCode, 0);
  for (const char* name : {"main-form.png", "page-crop.png", "page-files.png",
                           "page-check-criteria.png", "development.png"}) {
    const QImage picture(pictures.filePath(QStringLiteral("docs/") + name));
    QVERIFY2(!picture.isNull(), name);
    QVERIFY2(picture.width() >= 320 && picture.height() >= 240, name);
  }
  const QImage form(pictures.filePath("docs/main-form.png"));
  const QImage files(pictures.filePath("docs/page-files.png"));
  QCOMPARE(files.size(), form.size());
  QVERIFY(files != form);
}

void AppTest::missingSettingsEndWithStatusOne() {
  QTemporaryDir pictures;
  const QString missing = pictures.filePath("no-settings");
  const Result result = RunTarvik({"--settings", missing, "--screenshot", pictures.path()});
  QCOMPARE(result.exitCode, 1);
  QVERIFY2(result.err.contains(missing + "/crop.dat: cannot be opened (missing or unreadable)."),
           qPrintable(result.err));
  QVERIFY(result.err.contains("Error Settings File"));
  QVERIFY(result.err.contains(QStringLiteral(TARVIK_SETTINGS_INSTALL_DIR)));
  QVERIFY(!QFile::exists(pictures.filePath("main-form.png")));
}

void AppTest::helpAndVersion() {
  const Result help = RunTarvik({"--help"});
  QCOMPARE(help.exitCode, 0);
  for (const char* option : {"--settings", "--development", "--screenshot", "--version"}) {
    QVERIFY2(help.out.contains(option), option);
  }
  const Result version = RunTarvik({"--version"});
  QCOMPARE(version.exitCode, 0);
  QVERIFY(version.out.startsWith("Tarvik "));
}

QTEST_MAIN(AppTest)
#include "app_test.moc"
