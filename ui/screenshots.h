// Pictures of the windows, for the documentation.
#pragma once

#include <QString>

namespace tarvik::ui {

class FileDialogService;
class MessageService;

/// Renders the main form with each page in front, the results of a run on
/// the bundled sample field and the development window
/// to PNG files in `folder`. Returns the program's exit status: 1 when the
/// settings cannot be read or a picture cannot be saved.
int SaveScreenshots(MessageService& messages, FileDialogService& files,
                    const QString& settingsFolder, const QString& folder);

/// The file names written, main form first.
QStringList ScreenshotFileNames();

}  // namespace tarvik::ui
