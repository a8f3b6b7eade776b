// The tarvik program started as a user starts it, in a child process each
// time: which window opens, and how a start without settings ends. A watcher
// started with the program's application notes the windows and the message
// boxes shown, answers the boxes and ends the program.
#include <sys/wait.h>
#include <unistd.h>

#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The program's own main(), under another name.
#define main TarvikMain
#include "ui/main.cpp"
#undef main

namespace {

/// Where the child writes what it saw; empty in the test process itself.
QString seenFile;

void Note(const QString& line) {
  QFile file(seenFile);
  if (file.open(QIODevice::Append)) file.write((line + "\n").toUtf8());
}

void WatchTheProgram() {
  if (seenFile.isEmpty()) return;
  auto* timer = new QTimer(QCoreApplication::instance());
  QObject::connect(timer, &QTimer::timeout, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      Note("message " + box->windowTitle() + ": " + box->text().section('\n', 0, 0));
      box->done(QMessageBox::Ok);
      return;
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (window->isVisible()) Note("window " + window->objectName() + " " + window->windowTitle());
    }
    QApplication::exit(0);
  });
  timer->start(50);
}
Q_COREAPP_STARTUP_FUNCTION(WatchTheProgram)

struct Started {
  int status = -1;
  QStringList seen;
};

/// Runs the program's main with `arguments` in a child process.
Started Start(const QStringList& arguments) {
  QTemporaryDir dir;
  const QString seen = dir.filePath("seen.txt");
  const pid_t pid = ::fork();
  if (pid == 0) {
    seenFile = seen;
    QList<QByteArray> bytes = {"tarvik"};
    for (const QString& a : arguments) bytes << a.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& b : bytes) argv.push_back(b.data());
    argv.push_back(nullptr);
    ::_exit(TarvikMain(static_cast<int>(bytes.size()), argv.data()));
  }
  int raw = 0;
  ::waitpid(pid, &raw, 0);
  Started started;
  if (WIFEXITED(raw)) started.status = WEXITSTATUS(raw);
  QFile file(seen);
  if (file.open(QIODevice::ReadOnly)) {
    started.seen = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
  }
  return started;
}

}  // namespace

class LaunchTest : public QObject {
  Q_OBJECT

 private slots:
  void theDevelopmentOptionOpensForm1Only() {
    const Started started = Start({"--development"});
    QCOMPARE(started.status, 0);
    QCOMPARE(started.seen, QStringList({"window Development Form1"}));
  }

  void aNormalStartOpensTheMainForm() {
    const Started started = Start({"--settings", QStringLiteral(TARVIK_SOURCE_DIR) + "/settings"});
    QCOMPARE(started.status, 0);
    QCOMPARE(started.seen, QStringList({"window Tarvik Quenby Yield Data Cleaning Program"}));
  }

  void aNormalStartWithoutSettingsEndsWithStatusOne() {
    QTemporaryDir dir;
    const QString missing = dir.filePath("no-settings");
    const Started started = Start({"--settings", missing});
    QCOMPARE(started.status, 1);
    QCOMPARE(started.seen, QStringList({"message Error Settings File: " + missing +
                                        "/crop.dat: cannot be opened (missing or unreadable)."}));
  }
};

QTEST_APPLESS_MAIN(LaunchTest)
#include "launch_test.moc"
