// tarvik: the desktop window.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QIcon>
#include <QTextStream>
#include <csignal>
#include <cstring>

#include "core/settings_files.h"
#include "ui/development.h"
#include "ui/main_form.h"
#include "ui/screenshots.h"
#include "ui/services.h"

namespace {

/// True when `name` is among the options (before Qt sees the arguments).
bool HasOption(int argc, char** argv, const char* name) {
  const std::size_t length = std::strlen(name);
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], name, length) == 0 &&
        (argv[i][length] == '\0' || argv[i][length] == '=')) {
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Beyond the file-size limit a write then fails with EFBIG, and the run
  // says "Error Output File", instead of the signal ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  // Pictures, the help and the version need no display.
  const bool screenshots = HasOption(argc, argv, "--screenshot");
  bool textOnly = false;
  for (const char* option : {"--help", "--help-all", "-h", "-?", "--version", "-v"}) {
    textOnly = textOnly || HasOption(argc, argv, option);
  }
  if ((screenshots || textOnly) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(tarvik::kApplicationTitle));
  QApplication::setApplicationVersion(QStringLiteral(TARVIK_VERSION));
  // The desktop entry and the icon that an install puts in place.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.tarvik.Tarvik"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.tarvik.Tarvik")));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Cleans yield-monitor data of one field."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption settingsOption(
      QStringLiteral("settings"),
      QStringLiteral("Read crop.dat and criteria.dat from <folder> (default %1).")
          .arg(QString::fromStdString(tarvik::DefaultSettingsFolder())),
      QStringLiteral("folder"));
  const QCommandLineOption developmentOption(QStringLiteral("development"),
                                             QStringLiteral("Open the development window."));
  const QCommandLineOption screenshotOption(
      QStringLiteral("screenshot"),
      QStringLiteral("Save pictures of the windows as PNG files in <folder> and end; messages "
                     "go to standard error."),
      QStringLiteral("folder"));
  parser.addOption(settingsOption);
  parser.addOption(developmentOption);
  parser.addOption(screenshotOption);
  parser.process(app);
  if (!parser.positionalArguments().isEmpty()) {
    QTextStream(stderr) << "tarvik: unexpected argument " << parser.positionalArguments().first()
                        << "\n";
    return 2;
  }

  const QString settingsFolder = parser.isSet(settingsOption)
                                     ? QDir::toNativeSeparators(parser.value(settingsOption))
                                     : QString::fromStdString(tarvik::DefaultSettingsFolder());
  tarvik::ui::QtMessageService boxes;
  tarvik::ui::StderrMessageService printed;
  tarvik::ui::MessageService& messages =
      screenshots ? static_cast<tarvik::ui::MessageService&>(printed) : boxes;
  tarvik::ui::QtFileDialogService files;

  if (screenshots) {
    return tarvik::ui::SaveScreenshots(messages, files, settingsFolder,
                                       parser.value(screenshotOption));
  }
  if (parser.isSet(developmentOption)) {
    tarvik::ui::Development development(messages);
    development.show();
    return app.exec();
  }
  tarvik::ui::Tarvik form(messages, files, settingsFolder);
  if (!form.LoadStartupSettings()) return 1;
  QObject::connect(&form, &tarvik::ui::Tarvik::programEnded, &app, [] { QApplication::exit(0); });
  form.show();
  return app.exec();
}
