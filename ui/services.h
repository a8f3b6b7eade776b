// The window's dialogs behind small seams, so that tests can answer them.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "run/run.h"

class QWidget;

namespace tarvik::ui {

/// One message box: text, title, icon and the optional detailed text.
struct Message {
  QString text;
  QString title;  // never empty: boxes without a title of their own get the application's
  MessageIcon icon = MessageIcon::None;
  QString detail;  // shown as the box's detailed text; empty for none

  friend bool operator==(const Message&, const Message&) = default;
};

/// Shows message boxes with one OK button.
class MessageService {
 public:
  virtual ~MessageService() = default;
  /// Shows `message` and returns when the user has acknowledged it.
  virtual void Show(QWidget* parent, const Message& message) = 0;
};

/// What a save-file form with a choice of file types and of one option gave.
struct SaveChoice {
  QString path;
  int filter = 0;  // index of the chosen file type
  int option = 0;  // index of the chosen option

  friend bool operator==(const SaveChoice&, const SaveChoice&) = default;
};

/// Asks the user for a file; nothing when the user cancels.
class FileDialogService {
 public:
  virtual ~FileDialogService() = default;
  /// The open-file form, starting in `folder`.
  virtual std::optional<QString> OpenFileName(QWidget* parent, const QString& folder) = 0;
  /// The save-file form, starting in `folder`, without an overwrite prompt.
  virtual std::optional<QString> SaveFileName(QWidget* parent, const QString& folder) = 0;
  /// The save-file form titled `title`, proposing `proposal`, with the file
  /// types `filters` ("GeoPackage (*.gpkg)", ...) and a list of `options`
  /// under `optionLabel`; it asks before replacing a file. This fallback
  /// asks SaveFileName in the proposal's folder and takes the first type
  /// and option.
  virtual std::optional<SaveChoice> SaveFileNameWithChoice(QWidget* parent, const QString& title,
                                                           const QString& proposal,
                                                           const QStringList& filters,
                                                           const QString& optionLabel,
                                                           const QStringList& options);
};

/// Message boxes of the window system.
class QtMessageService final : public MessageService {
 public:
  void Show(QWidget* parent, const Message& message) override;
};

/// Writes each message to standard error instead of opening a box (used
/// where nobody is there to press OK).
class StderrMessageService final : public MessageService {
 public:
  void Show(QWidget* parent, const Message& message) override;
};

/// File dialogs of the window system: no filter, no title of our own.
class QtFileDialogService final : public FileDialogService {
 public:
  std::optional<QString> OpenFileName(QWidget* parent, const QString& folder) override;
  std::optional<QString> SaveFileName(QWidget* parent, const QString& folder) override;
  /// Qt's own file dialog (the platform's cannot take the option list).
  std::optional<SaveChoice> SaveFileNameWithChoice(QWidget* parent, const QString& title,
                                                   const QString& proposal,
                                                   const QStringList& filters,
                                                   const QString& optionLabel,
                                                   const QStringList& options) override;
};

/// `message` with the application's title when it has none of its own.
Message WithApplicationTitle(Message message);

/// A message from a run's or a preload's outcome.
Message FromOutcome(const std::string& text, const std::string& title, MessageIcon icon,
                    const std::string& detail);

}  // namespace tarvik::ui
