// The development window: its button reads the fixed test file and writes
// the points back; every failure is a message and the window stays.
#include <QPushButton>

#include "gui_support.h"
#include "ui/development.h"

using tarvik::MessageIcon;
using tarvik::ui::Development;
using tarvik::ui::Message;
using namespace tarvik::ui::testing;

namespace {

constexpr char kHeading[] =
    "\"VData\",\"ID\",\"Segment\",\"Point\",\"HStat\",\"Easting\",\"Northing\",\"Yield\"\r\n";

const Message kFinish{QStringLiteral("Finish"), QStringLiteral("Tarvik"), MessageIcon::None,
                      QString()};

struct Window {
  Window() : development(messages, dir.filePath("tinput.txt"), dir.filePath("toutput.txt")) {
    development.show();
  }
  void ClickTest() {
    QTest::mouseClick(development.findChild<QPushButton*>(QStringLiteral("Test")), Qt::LeftButton);
  }
  QTemporaryDir dir;
  FakeMessages messages;
  Development development;
};

}  // namespace

class DevelopmentWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void looksAsDesigned();
  void writesThePointsBack();
  void emptyInputGivesTheHeading();
  void failuresAreMessages_data();
  void failuresAreMessages();
  void fixedFilesInTheHomeFolder();
};

void DevelopmentWindowTest::looksAsDesigned() {
  Window w;
  QCOMPARE(w.development.objectName(), QStringLiteral("Development"));
  QCOMPARE(w.development.windowTitle(), QStringLiteral("Form1"));
  auto* test = w.development.findChild<QPushButton*>(QStringLiteral("Test"));
  QVERIFY(test != nullptr);
  QCOMPARE(test->text(), QStringLiteral("Test"));
}

void DevelopmentWindowTest::writesThePointsBack() {
  Window w;
  WriteFile(w.dir.filePath("tinput.txt"),
            "0,1,1,1,33,712345,4520001,187.25,1000\n"
            "\"9\",2,2.5,3.5,1,712350,4520003,0.001234567,1001\r\n"
            "12, 3, 4,\n5, 1, -3, -4,\n-1.5, 2147483647\n");
  w.ClickTest();
  QCOMPARE(w.messages.shown, std::vector<Message>({kFinish}));
  QCOMPARE(ReadFile(w.dir.filePath("toutput.txt")),
           QByteArray(kHeading) +
               "0,1,1,1,33,712345,4520001,187.25,1000\r\n"
               "9,2,2,4,1,712350,4520003,0.001234567,1001\r\n"
               "12,3,4,5,1,-3,-4,-1.5,2147483647\r\n");
}

void DevelopmentWindowTest::emptyInputGivesTheHeading() {
  Window w;
  WriteFile(w.dir.filePath("tinput.txt"), "");
  WriteFile(w.dir.filePath("toutput.txt"), "an older output\r\n");
  w.ClickTest();
  QCOMPARE(w.messages.shown, std::vector<Message>({kFinish}));
  QCOMPARE(ReadFile(w.dir.filePath("toutput.txt")), QByteArray(kHeading));
}

void DevelopmentWindowTest::failuresAreMessages_data() {
  QTest::addColumn<QByteArray>("input");  // empty: no input file
  QTest::addColumn<bool>("outputWritable");
  QTest::addColumn<QString>("problem");  // after the path of the file concerned
  QTest::newRow("no input") << QByteArray() << true
                            << ": cannot be opened (missing or unreadable).";
  QTest::newRow("word for a segment")
      << QByteArray("0,1,1,1,33,7,4,1.5,9\n0,2,two,1,33,7,4,1.5,9\n") << true
      << ":2: the Segment is \"two\", not a whole number from -32768 to 32767.";
  QTest::newRow("status beyond 16 bits")
      << QByteArray("0,1,1,1,40000,7,4,1.5,9\n") << true
      << ":1: the HStat is \"40000\", not a whole number from -32768 to 32767.";
  QTest::newRow("cut short") << QByteArray("0,1,1,1,33,7,4,1.5,9\n0,2,1\n") << true
                             << ": the file ends inside record 2, after 3 of its 9 items.";
  QByteArray full;
  for (int i = 1; i <= 15001; ++i) full += "0," + QByteArray::number(i) + ",1,1,33,7,4,1.5,9\n";
  QTest::newRow("15,001 records") << full << true
                                  << ": record 15001 is one too many; the test holds at most "
                                     "15000 points.";
  QTest::newRow("output folder missing")
      << QByteArray("0,1,1,1,33,7,4,1.5,9\n") << false << ": cannot be written.";
}

void DevelopmentWindowTest::failuresAreMessages() {
  QFETCH(QByteArray, input);
  QFETCH(bool, outputWritable);
  QFETCH(QString, problem);
  QTemporaryDir dir;
  const QString in = dir.filePath("tinput.txt");
  const QString out = outputWritable ? dir.filePath("toutput.txt") : dir.filePath("no/toutput.txt");
  if (!input.isEmpty()) WriteFile(in, input);
  FakeMessages messages;
  Development development(messages, in, out);
  development.show();
  QTest::mouseClick(development.findChild<QPushButton*>(QStringLiteral("Test")), Qt::LeftButton);
  const QString path = outputWritable ? in : out;
  QCOMPARE(messages.shown, std::vector<Message>({{path + problem, QStringLiteral("Tarvik"),
                                                  MessageIcon::Critical, QString()}}));
  QVERIFY(development.isVisible());
  if (outputWritable) QVERIFY(!QFile::exists(out));
}

void DevelopmentWindowTest::fixedFilesInTheHomeFolder() {
  QTemporaryDir home;
  const QByteArray saved = qgetenv("HOME");
  qputenv("HOME", home.path().toLocal8Bit());
  const QString input = tarvik::ui::DefaultTestInputPath();
  const QString output = tarvik::ui::DefaultTestOutputPath();
  qputenv("HOME", saved);
  QCOMPARE(input, home.path() + "/gslib/tinput.txt");
  QCOMPARE(output, home.path() + "/gslib/toutput.txt");
}

QTEST_MAIN(DevelopmentWindowTest)
#include "development_window_test.moc"
