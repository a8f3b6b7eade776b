// The development window: its button reads the fixed test file and writes
// the points back; every failure is a message and the window stays.
#include <QPushButton>
#include <tuple>

#include "gui_support.h"
#include "ui/development.h"

using tarvik::MessageIcon;
using tarvik::ui::Development;
using tarvik::ui::Message;
using namespace tarvik::ui::testing;

namespace {

constexpr char kHeading[] =
    "\"VData\",\"ID\",\"Segment\",\"Point\",\"HStat\",\"Easting\",\"Northing\",\"Yield\"\r\n";

/// The window on tinput.txt and `output` in a folder of its own.
struct Window {
  explicit Window(const QString& output = QStringLiteral("toutput.txt"))
      : in(dir.filePath("tinput.txt")), out(dir.filePath(output)), development(messages, in, out) {
    development.show();
  }
  void ClickTest() {
    QTest::mouseClick(development.findChild<QPushButton*>(QStringLiteral("Test")), Qt::LeftButton);
  }
  QTemporaryDir dir;
  QString in;
  QString out;
  FakeMessages messages;
  Development development;
};

}  // namespace

class DevelopmentWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void writesThePointsBack() {
    Window w;
    QCOMPARE(w.development.objectName(), QStringLiteral("Development"));
    QCOMPARE(w.development.windowTitle(), QStringLiteral("Form1"));
    QCOMPARE(w.development.findChild<QPushButton*>(QStringLiteral("Test"))->text(),
             QStringLiteral("Test"));
    // An empty input gives the heading alone, in place of an older output.
    WriteFile(w.in, "");
    WriteFile(w.out, "an older output\r\n");
    w.ClickTest();
    QCOMPARE(ReadFile(w.out), QByteArray(kHeading));
    WriteFile(w.in,
              "0,1,1,1,33,712345,4520001,187.25,1000\n"
              "\"9\",2,2.5,3.5,1,712350,4520003,0.001234567,1001\r\n"
              "12, 3, 4,\n5, 1, -3, -4,\n-1.5, 2147483647\n");
    w.ClickTest();
    QCOMPARE(ReadFile(w.out), kHeading + QByteArray("0,1,1,1,33,712345,4520001,187.25,1000\r\n"
                                                    "9,2,2,4,1,712350,4520003,0.001234567,1001\r\n"
                                                    "12,3,4,5,1,-3,-4,-1.5,2147483647\r\n"));
    const Message finish{"Finish", "Tarvik", MessageIcon::None, QString()};
    QCOMPARE(w.messages.shown, std::vector<Message>({finish, finish}));
  }

  void failuresAreMessages() {
    const QByteArray good = "0,1,1,1,33,7,4,1.5,9\n";
    QByteArray full;
    for (int i = 1; i <= 15001; ++i) full += "0," + QByteArray::number(i) + ",1,1,33,7,4,1.5,9\n";
    // The input (empty: none), the output, and the problem after the path of the file concerned.
    for (const auto& [input, output, problem] : {
             std::tuple(QByteArray(), "toutput.txt", ": cannot be opened (missing or unreadable)."),
             std::tuple(good + "0,2,two,1,33,7,4,1.5,9\n", "toutput.txt",
                        ":2: the Segment is \"two\", not a whole number from -32768 to 32767."),
             std::tuple(good + "0,2,1\n", "toutput.txt",
                        ": the file ends inside record 2, after 3 of its 9 items."),
             std::tuple(full, "toutput.txt",
                        ": record 15001 is one too many; the test holds at most 15000 points."),
             std::tuple(good, "no/toutput.txt", ": cannot be written."),
         }) {
      Window w(output);
      if (!input.isEmpty()) WriteFile(w.in, input);
      w.ClickTest();
      const QString& concerned = QString(output).startsWith("no/") ? w.out : w.in;
      QCOMPARE(w.messages.shown, std::vector<Message>({{concerned + problem, "Tarvik",
                                                        MessageIcon::Critical, QString()}}));
      QVERIFY(w.development.isVisible());
      QVERIFY(!QFile::exists(w.out));
    }
  }

  void fixedFilesInTheHomeFolder() {
    QTemporaryDir home;
    const QByteArray saved = qgetenv("HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    const QString input = tarvik::ui::DefaultTestInputPath();
    const QString output = tarvik::ui::DefaultTestOutputPath();
    qputenv("HOME", saved);
    QCOMPARE(input, home.path() + "/gslib/tinput.txt");
    QCOMPARE(output, home.path() + "/gslib/toutput.txt");
  }
};

QTEST_MAIN(DevelopmentWindowTest)
#include "development_window_test.moc"
