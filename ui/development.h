// The development window: one button that runs the fixed file test.
#pragma once

#include <QString>
#include <QWidget>

class QPushButton;

namespace tarvik::ui {

class MessageService;

/// The test files: E:\gslib\tinput.txt and E:\gslib\toutput.txt on Windows,
/// ~/gslib/tinput.txt and ~/gslib/toutput.txt elsewhere.
QString DefaultTestInputPath();
QString DefaultTestOutputPath();

/// The window "Form1" with its button "Test".
class Development : public QWidget {
  Q_OBJECT

 public:
  Development(MessageService& messages, QString inputPath = DefaultTestInputPath(),
              QString outputPath = DefaultTestOutputPath(), QWidget* parent = nullptr);

  /// Reads the input file, writes the output file and reports "Finish";
  /// a failure is shown as a critical message and the window stays.
  void Test_Click();

 private:
  MessageService& messages_;
  QString inputPath_;
  QString outputPath_;
  QPushButton* test_;
};

}  // namespace tarvik::ui
