// What the window's tests share: dialogs answered by the test, settings
// folders and input files written by the test, and the form driven by name.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ui/main_form.h"
#include "ui/services.h"

namespace tarvik::ui::testing {

/// Records every message instead of showing it.
class FakeMessages final : public MessageService {
 public:
  void Show(QWidget*, const Message& message) override {
    shown.push_back(message);
    if (onShow) onShow(message);
  }
  std::function<void(const Message&)> onShow;  ///< Runs while the box would be open.
  std::vector<Message> shown;
};

/// Answers file dialogs with the next of `answers` (none left: Cancel); records each request.
class FakeFileDialogs final : public FileDialogService {
 public:
  std::optional<QString> OpenFileName(QWidget*, const QString& folder) override {
    return Next("open " + folder);
  }
  std::optional<QString> SaveFileName(QWidget*, const QString& folder) override {
    return Next("save " + folder);
  }
  QStringList answers;
  QStringList requests;  ///< "open FOLDER" or "save FOLDER", one for each dialog.

 private:
  std::optional<QString> Next(const QString& request) {
    requests << request;
    if (answers.isEmpty()) return std::nullopt;
    return answers.takeFirst();
  }
};

inline void WriteFile(const QString& path, const QByteArray& contents) {
  QFile file(path);
  QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
  QCOMPARE(file.write(contents), contents.size());
}

inline QByteArray ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

/// Wheat, Corn, Soybeans, Barley in that order.
inline QByteArray StandardCrops() {
  return "\"Crop\",\"Moisture\",\"Upper Limit\",\"Lower Limit\",\"Test Weight\"\r\n"
         "\"Wheat\",13.5,150,5,60\r\n"
         "\"Corn\",15.5,300,0,56\r\n"
         "\"Soybeans\",13,100,2.5,60\r\n"
         "\"Barley\",14.5,160,0,48\r\n";
}

/// Seven distinct criteria; `searchY` is the fourth.
inline QByteArray StandardCriteria(const QByteArray& searchY = "10.5") {
  return "\"Start\",\"End\",\"X\",\"Y\",\"SDOut\",\"SDNeighbour\",\"MinPoints\"\r\n4,2,40," +
         searchY + ",3,2.5,10\r\n";
}

/// A pass of `points` readings heading east, one a second, 17 items each.
inline QByteArray SampleExport(int points = 30) {
  QByteArray text;
  for (int i = 0; i < points; ++i) {
    text += QByteArray::number(-96.7 + i * 0.00005, 'f', 6) + ",40.8," +
            QByteArray::number(5.2 + 0.1 * (i % 5), 'f', 2) + "," + QByteArray::number(100 + i) +
            ",1,60,360,18.5,33,1,\"SN1\",\"F1\",\"L1\",\"Corn\",4,2,350\r\n";
  }
  return text;
}

/// The crop's four fields.
inline constexpr std::initializer_list<const char*> kCropFields = {"MC", "UpperLimit", "LowerLimit",
                                                                   "Density"};

/// A form started from a settings folder of the test's making.
class FormHarness {
 public:
  explicit FormHarness(const QByteArray& crops = StandardCrops(),
                       const QByteArray& criteria = StandardCriteria()) {
    WriteFile(Path("crop.dat"), crops);
    WriteFile(Path("criteria.dat"), criteria);
    form = std::make_unique<Tarvik>(messages, files, dir.path());
  }

  QString Path(const QString& name) const { return dir.filePath(name); }

  /// LoadStartupSettings, then shows the form and gives it the focus.
  bool Start() {
    if (!form->LoadStartupSettings()) return false;
    form->show();
    form->activateWindow();
    return QTest::qWaitForWindowActive(form.get());
  }

  template <typename T = QLineEdit>
  T* Child(const char* name) const {
    T* child = form->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) qFatal("no child named %s", name);
    return child;
  }

  /// The text of a field, or the caption of a label, button or frame.
  QString Text(const char* name) const {
    auto* widget = Child<QWidget>(name);
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* frame = qobject_cast<QGroupBox*>(widget)) return frame->title();
    return Child(name)->text();
  }
  QStringList Texts(std::initializer_list<const char*> names) const {
    QStringList texts;
    for (const char* name : names) texts << Text(name);
    return texts;
  }
  void SetText(const char* name, const QString& text) { Child(name)->setText(text); }

  QTabWidget* Tabs() const { return Child<QTabWidget>("SSTab1"); }
  QComboBox* Crop() const { return Child<QComboBox>("Combo1"); }
  void ClickRun() { QTest::mouseClick(Child<QPushButton>("Command1"), Qt::LeftButton); }
  /// Shows the page "Files" and clicks the named browse button.
  void Browse(const char* name) {
    Tabs()->setCurrentIndex(1);
    QTest::mouseClick(Child<QToolButton>(name), Qt::LeftButton);
  }
  /// Clicks into `widget` and waits for it to have the focus.
  static void ClickInto(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton);
    QTRY_VERIFY(widget->hasFocus());
  }
  /// Replaces the crop box's text by typing, leaving the focus in it.
  void TypeCrop(const QString& name) {
    ClickInto(Crop()->lineEdit());
    Crop()->lineEdit()->selectAll();
    QTest::keyClicks(Crop()->lineEdit(), name);
  }
  /// Writes SampleExport(points) to field.txt and names it and clean.txt in the fields.
  void UseSample(int points = 30) {
    WriteFile(Path("field.txt"), SampleExport(points));
    SetText("InputFile", Path("field.txt"));
    SetText("OutputFile", Path("clean.txt"));
  }

  QTemporaryDir dir;
  FakeMessages messages;
  FakeFileDialogs files;
  std::unique_ptr<Tarvik> form;
};

inline const Message kFinish{"FINISH", "Tarvik", MessageIcon::Information, QString()};

/// The messages shown, with the detail of "FINISH" (the run's counts) left out.
inline std::vector<Message> WithoutCounts(std::vector<Message> shown) {
  for (Message& m : shown) {
    if (m.text == kFinish.text) m.detail.clear();
  }
  return shown;
}
inline const Message kInvalidInput{"Invalid Input File", "Error Input File", MessageIcon::Critical,
                                   QString()};

/// `message` without its detail; a missing detail shows as "(none)".
inline Message WithoutDetail(Message message) {
  message.detail = message.detail.isEmpty() ? QStringLiteral("(none)") : QString();
  return message;
}

}  // namespace tarvik::ui::testing

namespace tarvik::ui {
/// Lets QCOMPARE print a message.
inline char* toString(const Message& m) {
  return QTest::toString(QStringLiteral("{\"%1\", \"%2\", icon %3, \"%4\"}")
                             .arg(m.text, m.title)
                             .arg(static_cast<int>(m.icon))
                             .arg(m.detail));
}
}  // namespace tarvik::ui
