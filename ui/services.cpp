#include "ui/services.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QTextStream>

namespace tarvik::ui {

namespace {

const char* IconName(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Critical:
      return "error";
    case MessageIcon::Information:
      return "information";
    case MessageIcon::None:
      break;
  }
  return "message";
}

/// The chosen path in the platform's own spelling, or nothing on Cancel.
std::optional<QString> Chosen(const QString& path) {
  if (path.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(path);
}

}  // namespace

void QtMessageService::Show(QWidget* parent, const Message& message) {
  QMessageBox box(parent);
  box.setWindowTitle(message.title);
  box.setText(message.text);
  switch (message.icon) {
    case MessageIcon::Critical:
      box.setIcon(QMessageBox::Critical);
      break;
    case MessageIcon::Information:
      box.setIcon(QMessageBox::Information);
      break;
    case MessageIcon::None:
      box.setIcon(QMessageBox::NoIcon);
      break;
  }
  if (!message.detail.isEmpty()) box.setDetailedText(message.detail);
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

void StderrMessageService::Show(QWidget*, const Message& message) {
  QTextStream err(stderr);
  err << message.title << " (" << IconName(message.icon) << "): " << message.text << '\n';
  if (!message.detail.isEmpty()) err << "  " << message.detail << '\n';
  err.flush();
}

std::optional<QString> QtFileDialogService::OpenFileName(QWidget* parent, const QString& folder) {
  return Chosen(QFileDialog::getOpenFileName(parent, QString(), folder));
}

std::optional<QString> QtFileDialogService::SaveFileName(QWidget* parent, const QString& folder) {
  return Chosen(QFileDialog::getSaveFileName(parent, QString(), folder, QString(), nullptr,
                                             QFileDialog::DontConfirmOverwrite));
}

Message WithApplicationTitle(Message message) {
  if (message.title.isEmpty()) message.title = QString::fromUtf8(kApplicationTitle);
  return message;
}

Message FromOutcome(const std::string& text, const std::string& title, MessageIcon icon,
                    const std::string& detail) {
  return WithApplicationTitle({QString::fromStdString(text), QString::fromStdString(title), icon,
                               QString::fromStdString(detail)});
}

}  // namespace tarvik::ui
