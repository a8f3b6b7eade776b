#include "ui/screenshots.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPixmap>
#include <QTabWidget>
#include <QTemporaryDir>

#include "ui/development.h"
#include "ui/main_form.h"
#include "ui/results_window.h"
#include "ui/services.h"

namespace tarvik::ui {

QStringList ScreenshotFileNames() {
  return {QStringLiteral("main-form.png"),   QStringLiteral("page-crop.png"),
          QStringLiteral("page-files.png"),  QStringLiteral("page-check-criteria.png"),
          QStringLiteral("development.png"), QStringLiteral("results.png")};
}

int SaveScreenshots(MessageService& messages, FileDialogService& files,
                    const QString& settingsFolder, const QString& folder) {
  Tarvik form(messages, files, settingsFolder);
  if (!form.LoadStartupSettings()) return 1;
  const QDir dir(folder);
  if (!dir.mkpath(QStringLiteral("."))) {
    messages.Show(nullptr,
                  WithApplicationTitle({QStringLiteral("%1: cannot be created.").arg(folder),
                                        QString(), MessageIcon::Critical, QString()}));
    return 1;
  }
  const QStringList names = ScreenshotFileNames();
  const auto save = [&](QWidget& window, const QString& name) {
    QApplication::processEvents();
    if (window.grab().save(dir.filePath(name), "PNG")) return true;
    messages.Show(nullptr,
                  WithApplicationTitle({QStringLiteral("%1: cannot be written.")
                                            .arg(QDir::toNativeSeparators(dir.filePath(name))),
                                        QString(), MessageIcon::Critical, QString()}));
    return false;
  };

  form.show();
  auto* tabs = form.findChild<QTabWidget*>(QStringLiteral("SSTab1"));
  bool saved = save(form, names[0]);
  for (int page = 0; page < tabs->count() && saved; ++page) {
    tabs->setCurrentIndex(page);
    saved = save(form, names[page + 1]);
  }
  if (!saved) return 1;

  // The results of a run on the bundled sample field.
  const QString sample = QStringLiteral(TARVIK_SAMPLE_FIELD);
  QTemporaryDir work;
  form.findChild<QLineEdit*>(QStringLiteral("InputFile"))->setText(sample);
  form.findChild<QLineEdit*>(QStringLiteral("OutputFile"))
      ->setText(work.filePath(QFileInfo(sample).completeBaseName() + QStringLiteral("out.txt")));
  form.Run();
  form.hide();
  if (form.Results() == nullptr) return 1;  // the run's message says why
  if (!save(*form.Results(), names[5])) return 1;
  form.Results()->hide();

  Development development(messages);
  development.show();
  return save(development, names[4]) ? 0 : 1;
}

}  // namespace tarvik::ui
