#include "ui/services.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
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

std::optional<SaveChoice> FileDialogService::SaveFileNameWithChoice(QWidget* parent, const QString&,
                                                                    const QString& proposal,
                                                                    const QStringList&,
                                                                    const QString&,
                                                                    const QStringList&) {
  const std::optional<QString> path = SaveFileName(parent, QFileInfo(proposal).absolutePath());
  if (!path) return std::nullopt;
  return SaveChoice{*path, 0, 0};
}

namespace {

/// "gpkg" of "GeoPackage (*.gpkg)".
QString FilterSuffix(const QString& filter) {
  const QRegularExpressionMatch match =
      QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter);
  return match.hasMatch() ? match.captured(1) : QString();
}

}  // namespace

std::optional<SaveChoice> QtFileDialogService::SaveFileNameWithChoice(
    QWidget* parent, const QString& title, const QString& proposal, const QStringList& filters,
    const QString& optionLabel, const QStringList& options) {
  QFileDialog dialog(parent, title);
  dialog.setObjectName(QStringLiteral("SaveWithChoice"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(filters);
  dialog.setDirectory(QFileInfo(proposal).absolutePath());
  dialog.selectFile(QFileInfo(proposal).fileName());
  if (!filters.isEmpty()) dialog.setDefaultSuffix(FilterSuffix(filters.first()));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog](const QString& filter) {
                     dialog.setDefaultSuffix(FilterSuffix(filter));
                     // The proposed name follows the type.
                     const QStringList chosen = dialog.selectedFiles();
                     if (!chosen.isEmpty() && !FilterSuffix(filter).isEmpty()) {
                       const QFileInfo file(chosen.first());
                       dialog.selectFile(file.completeBaseName() + '.' + FilterSuffix(filter));
                     }
                   });
  auto* choice = new QComboBox(&dialog);
  choice->setObjectName(QStringLiteral("Choice"));
  choice->addItems(options);
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
    const int row = grid->rowCount();
    auto* label = new QLabel(optionLabel, &dialog);
    label->setBuddy(choice);
    grid->addWidget(label, row, 0);
    grid->addWidget(choice, row, 1);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const std::optional<QString> path = Chosen(dialog.selectedFiles().first());
  if (!path) return std::nullopt;
  return SaveChoice{*path, static_cast<int>(filters.indexOf(dialog.selectedNameFilter())),
                    choice->currentIndex()};
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
