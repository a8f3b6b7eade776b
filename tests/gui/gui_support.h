// What the window's tests share: dialogs that answer from a queue, settings
// folders and input files written by the test, and the form found by name.
#pragma once

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
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
  /// Called while the message would be on screen.
  std::function<void(const Message&)> onShow;
  std::vector<Message> shown;
};

/// Answers file dialogs from a queue of next answers (nothing = Cancel).
class FakeFileDialogs final : public FileDialogService {
 public:
  struct Request {
    bool save = false;
    QString folder;
  };
  void SetNextFileName(const QString& path) { answers_.push_back({false, path}); }
  void SetNextCancel() { answers_.push_back({true, QString()}); }

  std::optional<QString> OpenFileName(QWidget*, const QString& folder) override {
    return Next(false, folder);
  }
  std::optional<QString> SaveFileName(QWidget*, const QString& folder) override {
    return Next(true, folder);
  }

  std::vector<Request> requests;

 private:
  std::optional<QString> Next(bool save, const QString& folder) {
    requests.push_back({save, folder});
    if (answers_.empty()) {
      qWarning("file dialog opened without a prepared answer");
      return std::nullopt;
    }
    const Answer answer = answers_.front();
    answers_.pop_front();
    if (answer.cancel) return std::nullopt;
    return answer.path;
  }
  struct Answer {
    bool cancel = false;
    QString path;
  };
  std::deque<Answer> answers_;
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

/// A crop file: Wheat, Corn, Soybeans, Barley in that order.
inline QByteArray StandardCrops() {
  return "\"Crop\",\"Moisture\",\"Upper Limit\",\"Lower Limit\",\"Test Weight\"\r\n"
         "\"Wheat\",13.5,150,5,60\r\n"
         "\"Corn\",15.5,300,0,56\r\n"
         "\"Soybeans\",13,100,2.5,60\r\n"
         "\"Barley\",14.5,160,0,48\r\n";
}

/// Criteria with seven distinct values; `searchY` is the fourth.
inline QByteArray StandardCriteria(const QByteArray& searchY = "10.5") {
  return "\"Start\",\"End\",\"X\",\"Y\",\"SDOut\",\"SDNeighbour\",\"MinPoints\"\r\n"
         "4,2,40," +
         searchY + ",3,2.5,10\r\n";
}

/// A pass of `points` readings heading east, one a second, 17 items each.
inline QByteArray SampleExport(int points = 30) {
  QByteArray text;
  for (int i = 0; i < points; ++i) {
    const double longitude = -96.7 + i * 0.00005;
    const double flow = 5.2 + 0.1 * (i % 5);
    text += QByteArray::number(longitude, 'f', 6) + ",40.8," + QByteArray::number(flow, 'f', 2) +
            "," + QByteArray::number(100 + i) +
            ",1,60,360,18.5,33,1,\"SN1\",\"F1\",\"L1\",\"Corn\",4,2,350\r\n";
  }
  return text;
}

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

  /// Form_Load, then shows the form and gives it the focus.
  bool Start() {
    if (!form->Form_Load()) return false;
    form->show();
    form->activateWindow();
    return QTest::qWaitForWindowActive(form.get());
  }

  template <typename T = QLineEdit>
  T* Child(const char* name) const {
    T* child = form->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) qWarning("no child named %s", name);
    return child;
  }

  QString Text(const char* name) const { return Child<QLineEdit>(name)->text(); }
  void SetText(const char* name, const QString& text) { Child<QLineEdit>(name)->setText(text); }

  QTemporaryDir dir;
  FakeMessages messages;
  FakeFileDialogs files;
  std::unique_ptr<Tarvik> form;
};

/// The application's title.
inline QString AppTitle() {
  return QStringLiteral("Tarvik");
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
