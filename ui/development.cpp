#include "ui/development.h"

#include <QDir>
#include <QGridLayout>
#include <QPushButton>

#include "ui/development_run.h"
#include "ui/services.h"

namespace tarvik::ui {

QString DefaultTestInputPath() {
#ifdef _WIN32
  return QStringLiteral("E:\\gslib\\tinput.txt");
#else
  return QDir::homePath() + QStringLiteral("/gslib/tinput.txt");
#endif
}

QString DefaultTestOutputPath() {
#ifdef _WIN32
  return QStringLiteral("E:\\gslib\\toutput.txt");
#else
  return QDir::homePath() + QStringLiteral("/gslib/toutput.txt");
#endif
}

Development::Development(MessageService& messages, QString inputPath, QString outputPath,
                         QWidget* parent)
    : QWidget(parent),
      messages_(messages),
      inputPath_(std::move(inputPath)),
      outputPath_(std::move(outputPath)) {
  setObjectName(QStringLiteral("Development"));
  setWindowTitle(QStringLiteral("Form1"));
  test_ = new QPushButton(QStringLiteral("Test"), this);
  test_->setObjectName(QStringLiteral("Test"));
  test_->setMinimumSize(96, 32);
  auto* layout = new QGridLayout(this);
  layout->addWidget(test_, 0, 0, Qt::AlignCenter);
  resize(320, 240);
  connect(test_, &QPushButton::clicked, this, &Development::Test_Click);
}

void Development::Test_Click() {
  const auto error = RunDevelopmentTest(inputPath_.toStdString(), outputPath_.toStdString());
  if (error) {
    messages_.Show(this, WithApplicationTitle({QString::fromStdString(*error), QString(),
                                               MessageIcon::Critical, QString()}));
    return;
  }
  messages_.Show(this, WithApplicationTitle(
                           {QStringLiteral("Finish"), QString(), MessageIcon::None, QString()}));
}

}  // namespace tarvik::ui
