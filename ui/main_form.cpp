#include "ui/main_form.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdint>

#include "core/number_text.h"
#include "input/yield_import.h"
#include "ui/logo.h"
#include "ui/results_window.h"
#include "ui/services.h"

#ifndef TARVIK_SETTINGS_INSTALL_DIR
#define TARVIK_SETTINGS_INSTALL_DIR "the program's settings folder"
#endif

namespace tarvik::ui {

namespace {

constexpr const char* kCaption = "Quenby Yield Data Cleaning Program";
constexpr const char* kCorn = "Corn";
constexpr const char* kRefusedMoisture = "Please insert a non-negative value";
constexpr const char* kSettingsErrorTitle = "Error Settings File";
constexpr const char* kAutomaticCodes = "Automatic";

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

/// A line edit named `name` holding `text`.
QLineEdit* Field(QWidget* parent, const char* name, const QString& text, int width = 0) {
  auto* field = new QLineEdit(text, parent);
  field->setObjectName(QString::fromLatin1(name));
  if (width > 0) field->setFixedWidth(width);
  return field;
}

QLabel* Caption(QWidget* parent, const QString& text, QWidget* buddy = nullptr) {
  auto* label = new QLabel(text, parent);
  if (buddy != nullptr) label->setBuddy(buddy);
  return label;
}

QGroupBox* Frame(QWidget* parent, const char* name, const QString& caption) {
  auto* frame = new QGroupBox(caption, parent);
  frame->setObjectName(QString::fromLatin1(name));
  return frame;
}

/// Keeps the wait cursor up while the user-interface thread is busy.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

/// Width of a numeric field.
constexpr int kNumberWidth = 72;
/// Width of a delay field: a few digits or "auto".
constexpr int kDelayWidth = 44;

}  // namespace

Tarvik::Tarvik(MessageService& messages, FileDialogService& files, QString settingsFolder,
               QWidget* parent)
    : QWidget(parent),
      messages_(messages),
      files_(files),
      settingsFolder_(std::move(settingsFolder)),
      table_(std::make_unique<PointTable>()) {
  setObjectName(QStringLiteral("Tarvik"));
  setWindowTitle(QString::fromLatin1(kCaption));
  BuildForm();
  resize(qRound(kFormWidthTwips * logicalDpiX() / 1440.0), FormHeightPixels());
  QApplication::instance()->installEventFilter(this);
}

Tarvik::~Tarvik() {
  QApplication::instance()->removeEventFilter(this);
}

void Tarvik::BuildForm() {
  Label3_ = new QLabel(QStringLiteral("TARVIK"), this);
  Label3_->setObjectName(QStringLiteral("Label3"));
  QFont banner;
  banner.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Verdana"),
                      QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial")});
  banner.setStyleHint(QFont::SansSerif);
  banner.setPointSizeF(20.25);
  banner.setWeight(QFont::Normal);
  Label3_->setFont(banner);
  QPalette red = Label3_->palette();
  red.setColor(QPalette::WindowText, QColor(255, 0, 0));
  Label3_->setPalette(red);

  Picture1_ = new QLabel(this);
  Picture1_->setObjectName(QStringLiteral("Picture1"));
  Picture1_->setPixmap(DrawLogo());
  Picture1_->setFixedSize(kLogoWidth, kLogoHeight);

  SSTab1_ = new QTabWidget(this);
  SSTab1_->setObjectName(QStringLiteral("SSTab1"));
  SSTab1_->addTab(BuildCropPage(), QStringLiteral("Crop"));
  SSTab1_->addTab(BuildFilesPage(), QStringLiteral("Files"));
  SSTab1_->addTab(BuildCriteriaPage(), QStringLiteral("Check Criteria"));
  SSTab1_->setCurrentIndex(0);

  Command1_ = new QPushButton(QStringLiteral("&Run"), this);
  Command1_->setObjectName(QStringLiteral("Command1"));
  Command1_->setMinimumWidth(96);

  Label2_ =
      new QLabel(QStringLiteral("Calculating neighborhood statistics...  please wait ..."), this);
  Label2_->setObjectName(QStringLiteral("Label2"));
  ProgressBar1_ = new QProgressBar(this);
  ProgressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1_->setRange(0, 100);
  ProgressBar1_->setTextVisible(false);
  ProgressBar1_->setFixedHeight(16);
  for (QWidget* hidden : {static_cast<QWidget*>(Label2_), static_cast<QWidget*>(ProgressBar1_)}) {
    QSizePolicy policy = hidden->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    hidden->setSizePolicy(policy);
    hidden->hide();
  }

  auto* top = new QHBoxLayout;
  top->addWidget(Label3_, 0, Qt::AlignLeft | Qt::AlignVCenter);
  top->addStretch();
  top->addWidget(Picture1_);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(Label2_, 1);
  bottom->addWidget(Command1_);
  auto* form = new QVBoxLayout(this);
  form->setContentsMargins(10, 8, 10, 8);
  form->setSpacing(6);
  form->addLayout(top);
  form->addWidget(SSTab1_, 1);
  form->addLayout(bottom);
  form->addWidget(ProgressBar1_);

  // Buttons of earlier versions, beyond the right edge: never shown.
  Command3_ = new QPushButton(QStringLiteral("&Basic Format"), this);
  Command3_->setObjectName(QStringLiteral("Command3"));
  Command6_ = new QPushButton(QStringLiteral("Test"), this);
  Command6_->setObjectName(QStringLiteral("Command6"));
  Command2_ = new QPushButton(QStringLiteral("Re-Check-2"), this);
  Command2_->setObjectName(QStringLiteral("Command2"));
  DuplicateDataSearch_ = new QPushButton(QStringLiteral("Duplicate Data Search"), this);
  DuplicateDataSearch_->setObjectName(QStringLiteral("DuplicateDataSearch"));
  int y = 8;
  for (QPushButton* button : {Command3_, Command6_, Command2_, DuplicateDataSearch_}) {
    button->move(qRound(kFormWidthTwips * logicalDpiX() / 1440.0) + 16, y);
    button->hide();
    y += 32;
  }

  connect(Command1_, &QPushButton::clicked, this, &Tarvik::Run);
  connect(Command4_, &QToolButton::clicked, this, &Tarvik::BrowseInputFile);
  connect(Command5_, &QToolButton::clicked, this, &Tarvik::BrowseOutputFile);
  connect(Command6_, &QPushButton::clicked, this, &Tarvik::TestFalseEasting);
  connect(Combo1_, &QComboBox::activated, this, &Tarvik::ApplyTypedCrop);
  connect(Check1_, &QCheckBox::stateChanged, this, &Tarvik::EnableFalseOrigin);
  // Combo1's and MC's focus and key events reach eventFilter through the
  // application-wide filter installed by the constructor.
}

QWidget* Tarvik::BuildCropPage() {
  auto* page = new QWidget;
  Title_ = Field(page, "Title", QString());
  Combo1_ = new QComboBox(page);
  Combo1_->setObjectName(QStringLiteral("Combo1"));
  Combo1_->setEditable(true);
  Combo1_->setInsertPolicy(QComboBox::NoInsert);
  Combo1_->setCompleter(nullptr);
  Combo1_->setEditText(QString::fromLatin1(kCorn));
  Combo1_->setMinimumWidth(150);
  // Not WheelFocus: a wheel turned over the box must not take the focus into it.
  Combo1_->setFocusPolicy(Qt::StrongFocus);
  MC_ = Field(page, "MC", QStringLiteral("MC"), kNumberWidth);
  Density_ = Field(page, "Density", QStringLiteral("Density"), kNumberWidth);

  Frame2_ = Frame(page, "Frame2", QStringLiteral("Yield Limits"));
  UpperLimit_ = Field(Frame2_, "UpperLimit", QStringLiteral("Upper Limit"), kNumberWidth);
  LowerLimit_ = Field(Frame2_, "LowerLimit", QStringLiteral("Lower Limit"), kNumberWidth);
  auto* limits = new QGridLayout(Frame2_);
  limits->addWidget(Caption(Frame2_, QStringLiteral("Upper Limit"), UpperLimit_), 0, 0);
  limits->addWidget(UpperLimit_, 0, 1);
  limits->addWidget(Caption(Frame2_, QStringLiteral("bu/ac")), 0, 2);
  limits->addWidget(Caption(Frame2_, QStringLiteral("Lower Limit"), LowerLimit_), 1, 0);
  limits->addWidget(LowerLimit_, 1, 1);
  limits->addWidget(Caption(Frame2_, QStringLiteral("bu/ac")), 1, 2);
  limits->setColumnStretch(3, 1);

  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(12, 12, 12, 10);
  grid->setVerticalSpacing(8);
  grid->addWidget(Caption(page, QStringLiteral("Project Title"), Title_), 0, 0);
  grid->addWidget(Title_, 0, 1, 1, 3);
  grid->addWidget(Caption(page, QStringLiteral("Crop"), Combo1_), 1, 0);
  grid->addWidget(Combo1_, 1, 1, Qt::AlignLeft);
  grid->addWidget(Caption(page, QStringLiteral("Standard Moisture Content (%)"), MC_), 2, 0);
  grid->addWidget(MC_, 2, 1, Qt::AlignLeft);
  grid->addWidget(Caption(page, QStringLiteral("Test weight (lb/bu)"), Density_), 3, 0);
  grid->addWidget(Density_, 3, 1, Qt::AlignLeft);
  grid->addWidget(Frame2_, 1, 3, 3, 1);
  grid->setColumnMinimumWidth(2, 12);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  grid->setRowStretch(4, 1);
  return page;
}

QWidget* Tarvik::BuildFilesPage() {
  auto* page = new QWidget;
  InputFile_ = Field(page, "InputFile", QStringLiteral("Input File"));
  OutputFile_ = Field(page, "OutputFile", QStringLiteral("Output File"));
  const QIcon folder = style()->standardIcon(QStyle::SP_DirOpenIcon);
  Command4_ = new QToolButton(page);
  Command4_->setObjectName(QStringLiteral("Command4"));
  Command4_->setIcon(folder);
  Command4_->setToolTip(QStringLiteral("Choose the input file"));
  Command5_ = new QToolButton(page);
  Command5_->setObjectName(QStringLiteral("Command5"));
  Command5_->setIcon(folder);
  Command5_->setToolTip(QStringLiteral("Choose the output file"));
  for (QToolButton* button : {Command4_, Command5_}) {
    button->setFixedSize(InputFile_->sizeHint().height(), InputFile_->sizeHint().height());
  }
  // Tab goes from each field to its own browse button.
  QWidget::setTabOrder(InputFile_, Command4_);
  QWidget::setTabOrder(Command4_, OutputFile_);
  QWidget::setTabOrder(OutputFile_, Command5_);

  InputFileFormat_ = Frame(page, "InputFileFormat", QStringLiteral("Input File Format"));
  Option1_ = new QRadioButton(QStringLiteral("Advanced Export Format"), InputFileFormat_);
  Option1_->setObjectName(QStringLiteral("Option1"));
  Option2_ =
      new QRadioButton(QStringLiteral("Other Yield Export (detect layout)"), InputFileFormat_);
  Option2_->setObjectName(QStringLiteral("Option2"));
  // The file's own header codes, harvesting first; only the importer uses them.
  HeaderCodes_ = new QComboBox(InputFileFormat_);
  HeaderCodes_->setObjectName(QStringLiteral("HeaderCodes"));
  HeaderCodes_->setEditable(true);
  HeaderCodes_->setInsertPolicy(QComboBox::NoInsert);
  HeaderCodes_->addItems({QString::fromLatin1(kAutomaticCodes), QStringLiteral("33,32"),
                          QStringLiteral("1,0"), QStringLiteral("33,1")});
  HeaderCodes_->setToolTip(
      QStringLiteral("The file's header status codes for harvesting and header up, such as "
                     "1,0; Automatic reads 1/0 and 33/32 by themselves"));
  HeaderCodes_->setEnabled(false);
  auto* codes = new QHBoxLayout;
  codes->setContentsMargins(20, 0, 0, 0);
  codes->addWidget(
      Caption(InputFileFormat_, QStringLiteral("Header codes (harvesting, up)"), HeaderCodes_));
  codes->addWidget(HeaderCodes_);
  codes->addStretch();
  auto* inputs = new QVBoxLayout(InputFileFormat_);
  inputs->addWidget(Option1_);
  inputs->addWidget(Option2_);
  inputs->addLayout(codes);
  inputs->addStretch();
  connect(Option2_, &QRadioButton::toggled, HeaderCodes_, &QComboBox::setEnabled);

  OutputFormat_ = Frame(page, "OutputFormat", QStringLiteral("Output File Format"));
  Option3_ = new QRadioButton(QStringLiteral("Cleaned Data Only"), OutputFormat_);
  Option3_->setObjectName(QStringLiteral("Option3"));
  Option4_ = new QRadioButton(QStringLiteral("Detailed Data Output"), OutputFormat_);
  Option4_->setObjectName(QStringLiteral("Option4"));
  auto* outputs = new QVBoxLayout(OutputFormat_);
  outputs->addWidget(Option3_);
  outputs->addWidget(Option4_);

  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(12, 12, 12, 10);
  grid->setVerticalSpacing(8);
  grid->addWidget(Caption(page, QStringLiteral("Input File"), InputFile_), 0, 0);
  auto* input = new QHBoxLayout;
  input->setSpacing(2);
  input->addWidget(InputFile_);
  input->addWidget(Command4_);
  grid->addLayout(input, 0, 1, 1, 2);
  grid->addWidget(Caption(page, QStringLiteral("Output File"), OutputFile_), 1, 0);
  auto* output = new QHBoxLayout;
  output->setSpacing(2);
  output->addWidget(OutputFile_);
  output->addWidget(Command5_);
  grid->addLayout(output, 1, 1, 1, 2);
  auto* formats = new QHBoxLayout;
  formats->addWidget(InputFileFormat_, 1);
  formats->addWidget(OutputFormat_, 1);
  grid->addLayout(formats, 2, 0, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(3, 1);
  return page;
}

QWidget* Tarvik::BuildCriteriaPage() {
  auto* page = new QWidget;
  Check1_ = new QCheckBox(QStringLiteral("Re-scale Coordinates?"), page);
  Check1_->setObjectName(QStringLiteral("Check1"));

  OutputCoordinates_ = Frame(page, "OutputCoordinates", QStringLiteral("Output Coordinates"));
  FEast_ = Field(OutputCoordinates_, "FEast", QStringLiteral("0"), 96);
  FNorth_ = Field(OutputCoordinates_, "FNorth", QStringLiteral("0"), 96);
  lblFEast_ = Caption(OutputCoordinates_, QStringLiteral("False Easting"), FEast_);
  lblFEast_->setObjectName(QStringLiteral("lblFEast"));
  lblFNorth_ = Caption(OutputCoordinates_, QStringLiteral("False Northing"), FNorth_);
  lblFNorth_->setObjectName(QStringLiteral("lblFNorth"));
  for (QWidget* locked : {static_cast<QWidget*>(lblFEast_), static_cast<QWidget*>(FEast_),
                          static_cast<QWidget*>(lblFNorth_), static_cast<QWidget*>(FNorth_)}) {
    locked->setEnabled(false);
  }
  auto* coordinates = new QGridLayout(OutputCoordinates_);
  coordinates->setVerticalSpacing(2);
  coordinates->addWidget(lblFEast_, 0, 0);
  coordinates->addWidget(FEast_, 1, 0);
  coordinates->addWidget(lblFNorth_, 0, 1);
  coordinates->addWidget(FNorth_, 1, 1);

  Frame1_ = Frame(page, "Frame1", QStringLiteral("Pass Delays"));
  StartPassDelay_ =
      Field(Frame1_, "StartPassDelay", QStringLiteral("StartPassDelay"), kNumberWidth);
  EndPassDelay_ = Field(Frame1_, "EndPassDelay", QStringLiteral("EndPassDelay"), kNumberWidth);
  auto* delays = new QGridLayout(Frame1_);
  delays->addWidget(Caption(Frame1_, QStringLiteral("Start Pass Delay"), StartPassDelay_), 0, 0);
  delays->addWidget(StartPassDelay_, 0, 1);
  delays->addWidget(Caption(Frame1_, QStringLiteral("sec")), 0, 2);
  delays->addWidget(Caption(Frame1_, QStringLiteral("End Pass Delay"), EndPassDelay_), 1, 0);
  delays->addWidget(EndPassDelay_, 1, 1);
  delays->addWidget(Caption(Frame1_, QStringLiteral("sec")), 1, 2);
  delays->setColumnStretch(3, 1);

  // Seconds from the cut to the sensors; empty moves nothing.
  SensorDelays_ = Frame(page, "SensorDelays", QStringLiteral("Sensor Delays (sec)"));
  FlowDelay_ = Field(SensorDelays_, "FlowDelay", QString(), kDelayWidth);
  FlowDelay_->setToolTip(
      QStringLiteral("Seconds from the cut to the flow sensor, or \"auto\" to estimate them "
                     "from the field. Empty: the flows stay where they were logged."));
  MoistureDelay_ = Field(SensorDelays_, "MoistureDelay", QString(), kDelayWidth);
  MoistureDelay_->setToolTip(
      QStringLiteral("Seconds from the cut to the moisture sensor. Empty: no shift."));
  auto* sensors = new QHBoxLayout(SensorDelays_);
  sensors->setContentsMargins(9, 2, 9, 2);  // one row: the page keeps the form's height
  sensors->addWidget(Caption(SensorDelays_, QStringLiteral("Flow Delay"), FlowDelay_));
  sensors->addWidget(FlowDelay_);
  sensors->addSpacing(6);
  sensors->addWidget(Caption(SensorDelays_, QStringLiteral("Moisture Delay"), MoistureDelay_));
  sensors->addWidget(MoistureDelay_);
  sensors->addStretch();

  Frame3_ = Frame(page, "Frame3", QStringLiteral("Other Filtering Criteria"));
  SDOutlier_ = Field(Frame3_, "SDOutlier", QStringLiteral("SDOut"), kNumberWidth);
  SearchX_ = Field(Frame3_, "SearchX", QStringLiteral("SearchSize"), kNumberWidth);
  SearchY_ = Field(Frame3_, "SearchY", QStringLiteral("SearchY"), kNumberWidth);
  SearchSD_ = Field(Frame3_, "SearchSD", QStringLiteral("SearchCriteria"), kNumberWidth);
  NoPointsforValidSeg_ =
      Field(Frame3_, "NoPointsforValidSeg", QStringLiteral("NoDataPoints"), kNumberWidth);
  SearchSize_ = Field(Frame3_, "SearchSize", QStringLiteral("Text1"), kNumberWidth);
  SearchSize_->hide();
  auto* search = new QHBoxLayout;
  search->addWidget(Caption(Frame3_, QStringLiteral("X:"), SearchX_));
  search->addWidget(SearchX_);
  search->addSpacing(10);
  search->addWidget(Caption(Frame3_, QStringLiteral("Y:"), SearchY_));
  search->addWidget(SearchY_);
  search->addStretch();
  auto* segment = Caption(Frame3_, QStringLiteral("Minimum # of data points for a valid segment"),
                          NoPointsforValidSeg_);
  segment->setWordWrap(true);
  auto* other = new QGridLayout(Frame3_);
  other->setVerticalSpacing(5);
  other->addWidget(Caption(Frame3_, QStringLiteral("SD for Outlier Test"), SDOutlier_), 0, 0);
  other->addWidget(SDOutlier_, 0, 1);
  other->addWidget(Caption(Frame3_, QStringLiteral("Search Neighborhood Size (m)")), 1, 0, 1, 2);
  other->addLayout(search, 2, 0, 1, 2);
  other->addWidget(Caption(Frame3_, QStringLiteral("SD for Neighborhood"), SearchSD_), 3, 0);
  other->addWidget(SearchSD_, 3, 1);
  other->addWidget(segment, 4, 0);
  other->addWidget(NoPointsforValidSeg_, 4, 1);
  other->setColumnStretch(0, 1);

  auto* left = new QVBoxLayout;
  left->addWidget(Check1_);
  left->addWidget(OutputCoordinates_);
  left->addWidget(Frame1_);
  left->addStretch();
  auto* columns = new QHBoxLayout(page);
  columns->setContentsMargins(12, 10, 12, 10);
  columns->addLayout(left, 1);
  auto* right = new QVBoxLayout;
  right->addWidget(Frame3_);
  right->addWidget(SensorDelays_);
  right->addStretch();
  columns->addLayout(right, 1);
  return page;
}

bool Tarvik::LoadStartupSettings() {
  // The settings folder is also where the file dialogs open (settingsFolder_).
  const std::string folder = settingsFolder_.toStdString();
  const CropFile crops = ReadCropFile(SettingsFilePath(folder, kCropFileName));
  if (!crops) {
    ShowSettingsError(crops.reason());
    return false;
  }
  for (const CropRecord& crop : *crops) Combo1_->addItem(Text(crop.Name));
  Combo1_->setCurrentIndex(
      Combo1_->findText(QString::fromLatin1(kCorn), Qt::MatchExactly | Qt::MatchCaseSensitive));
  Combo1_->setEditText(QString::fromLatin1(kCorn));
  if (const CropRecord* corn = FindCrop(*crops, kCorn)) ApplyCrop(*corn);

  const std::string criteriaPath = SettingsFilePath(folder, kCriteriaFileName);
  const CriteriaFile criteria = ReadCriteriaFile(criteriaPath);
  if (!criteria) {
    ShowSettingsError(criteria.reason());
    return false;
  }
  const char point = DecimalPoint();
  const Criteria& c = *criteria;
  const auto startup = StartupSettings(CropRecord{}, c, point);
  if (!startup) {
    ShowSettingsError(SearchSizeError(criteriaPath, FormatGeneral(c.SearchY, point)));
    return false;
  }
  StartPassDelay_->setText(Text(startup->StartPassDelay));
  EndPassDelay_->setText(Text(startup->EndPassDelay));
  SearchX_->setText(Text(startup->SearchX));
  SearchY_->setText(Text(startup->SearchY));
  SDOutlier_->setText(Text(startup->SDOutlier));
  SearchSD_->setText(Text(startup->SearchSD));
  NoPointsforValidSeg_->setText(Text(startup->NoPointsforValidSeg));
  SetFormDefaults();
  // SearchSize is taken from SearchY here only; later edits of SearchY leave it.
  SearchSize_->setText(Text(startup->SearchSize));
  repaint();
  return true;
}

void Tarvik::SetFormDefaults() {
  Title_->setText(QStringLiteral("Project Title?"));
  FEast_->setText(QStringLiteral("0"));
  FNorth_->setText(QStringLiteral("0"));
  repaint();
  Option1_->setChecked(true);
  Option3_->setChecked(true);
}

void Tarvik::ApplyCrop(const CropRecord& crop) {
  RunSettings texts;
  ApplyCropSettings(crop, texts, DecimalPoint());
  MC_->setText(Text(texts.MC));
  UpperLimit_->setText(Text(texts.UpperLimit));
  LowerLimit_->setText(Text(texts.LowerLimit));
  Density_->setText(Text(texts.Density));
}

void Tarvik::ShowSettingsError(const std::string& problem) {
  QString text =
      Text(problem) +
      QStringLiteral(
          "\n\nThe settings folder %1 needs the files crop.dat and criteria.dat. The supplied "
          "files are in the folder settings of the Tarvik sources and, once the program is "
          "installed, in %2.")
          .arg(settingsFolder_, QStringLiteral(TARVIK_SETTINGS_INSTALL_DIR));
  if (SettingsFilesMissing(settingsFolder_.toStdString())) {
    text += QStringLiteral("\n\nTo copy them there, run:\n%1")
                .arg(Text(SettingsCopyCommand(TARVIK_SETTINGS_INSTALL_DIR,
                                              settingsFolder_.toStdString())));
  }
  messages_.Show(
      this, {text, QString::fromLatin1(kSettingsErrorTitle), MessageIcon::Critical, QString()});
}

void Tarvik::ApplyTypedCrop() {
  const CropFile crops =
      ReadCropFile(SettingsFilePath(settingsFolder_.toStdString(), kCropFileName));
  if (!crops) {
    ShowSettingsError(crops.reason());
    return;
  }
  if (const CropRecord* crop = FindCrop(*crops, Combo1_->currentText().toStdString())) {
    ApplyCrop(*crop);
  }
  repaint();
}

void Tarvik::EnableFalseOrigin() {
  const std::initializer_list<QWidget*> group = {OutputCoordinates_, lblFEast_, FEast_, lblFNorth_,
                                                 FNorth_};
  for (QWidget* widget : group) widget->setEnabled(true);
  if (Check1_->checkState() == Qt::Unchecked) {
    for (QWidget* widget : group) widget->setEnabled(false);
  }
}

bool Tarvik::ValidateMoisture() {
  if (MoistureAccepted()) return true;
  messages_.Show(this, WithApplicationTitle({QString::fromLatin1(kRefusedMoisture), QString(),
                                             MessageIcon::Information, QString()}));
  return false;
}

RunSettings Tarvik::CurrentSettings() const {
  RunSettings s;
  s.InputFile = InputFile_->text().toStdString();
  s.MC = MC_->text().toStdString();
  s.Density = Density_->text().toStdString();
  s.SearchSize = SearchSize_->text().toStdString();
  s.StartPassDelay = StartPassDelay_->text().toStdString();
  s.EndPassDelay = EndPassDelay_->text().toStdString();
  s.SDOutlier = SDOutlier_->text().toStdString();
  s.LowerLimit = LowerLimit_->text().toStdString();
  s.UpperLimit = UpperLimit_->text().toStdString();
  s.SearchX = SearchX_->text().toStdString();
  s.SearchY = SearchY_->text().toStdString();
  s.SearchSD = SearchSD_->text().toStdString();
  s.NoPointsforValidSeg = NoPointsforValidSeg_->text().toStdString();
  s.BasicOutput = Option3_->isChecked();
  s.Title = Title_->text().toStdString();
  s.OutputFile = OutputFile_->text().toStdString();
  s.Rescale = Check1_->checkState() != Qt::Unchecked;
  s.FEast = FEast_->text().toStdString();
  s.FNorth = FNorth_->text().toStdString();
  s.DecimalPoint = DecimalPoint();
  if (Option2_->isChecked()) {
    s.Format = InputFormat::Detect;
    s.HeaderCodes = ChosenHeaderCodes().toStdString();
  }
  s.FlowDelay = FlowDelay_->text().toStdString();
  s.MoistureDelay = MoistureDelay_->text().toStdString();
  return s;
}

void Tarvik::Run() {
  // A click that reaches Run without moving the focus (its access key) still
  // has to pass the moisture check, and the field it leaves has its say
  // (a crop typed into Combo1 applies) before the run reads the fields.
  if (QApplication::focusWidget() == MC_ && !ValidateMoisture()) return;
  if (QApplication::focusWidget() != Command1_) Command1_->setFocus(Qt::ShortcutFocusReason);
  RunOutcome outcome;
  try {
    BusyCursor busy;
    outcome = RunPipeline(count_, *table_, CurrentSettings(), *this);
  } catch (const std::exception& error) {
    // Nothing may escape into the event loop: report it as a run error.
    outcome.Status = RunStatus::RunError;
    outcome.Text = error.what();
    outcome.Title = kRunErrorTitle;
    outcome.Icon = MessageIcon::Critical;
  }
  messages_.Show(this, FromOutcome(outcome.Text, outcome.Title, outcome.Icon, outcome.Detail));
  ShowResults(outcome);
}

void Tarvik::ShowResults(const RunOutcome& outcome) {
  // A run that did not finish leaves no result to show.
  if (outcome.Status != RunStatus::Finished) {
    if (results_ != nullptr) results_->hide();
    return;
  }
  if (results_ == nullptr) results_ = new ResultsWindow(messages_, files_, this);
  results_->ShowRun(count_, *table_, CurrentSettings(), outcome.Delay);
}

void Tarvik::BrowseInputFile() {
  const auto chosen = files_.OpenFileName(this, settingsFolder_);
  if (!chosen) return InputRecovery();
  InputFile_->setText(*chosen);
  const std::string output = DeriveOutputName(chosen->toStdString());
  if (output.empty()) return InputRecovery();
  OutputFile_->setText(Text(output));
  repaint();

  if (Option2_->isChecked() && !ChosenHeaderCodes().isEmpty() &&
      !ParseHeaderCodes(ChosenHeaderCodes().toStdString())) {
    // Run says the same about these codes; the file cannot be read without them.
    messages_.Show(
        this, FromOutcome(kHeaderCodesError, kSettingsTitle, MessageIcon::Critical, std::string()));
    return InputRecovery();
  }
  PreloadOutcome preload;
  try {
    BusyCursor busy;
    const RunSettings settings = CurrentSettings();
    preload = PreloadInput(count_, *table_, settings.InputFile, settings.MC, settings.Density,
                           settings.DecimalPoint, settings.Format, settings.HeaderCodes);
  } catch (const std::exception&) {
    preload.Result = PreloadOutcome::Kind::Failed;
  }
  switch (preload.Result) {
    case PreloadOutcome::Kind::Loaded:
      FEast_->setText(QString::number(preload.FEast));
      FNorth_->setText(QString::number(preload.FNorth));
      return;
    case PreloadOutcome::Kind::InvalidInput:
      messages_.Show(this, FromOutcome(kInvalidInputText, kInvalidInputTitle, MessageIcon::Critical,
                                       preload.Detail));
      return InputRecovery();
    case PreloadOutcome::Kind::Failed:
      return InputRecovery();
  }
}

QString Tarvik::ChosenHeaderCodes() const {
  const QString text = HeaderCodes_->currentText().trimmed();
  return text.compare(QString::fromLatin1(kAutomaticCodes), Qt::CaseInsensitive) == 0 ? QString()
                                                                                      : text;
}

void Tarvik::InputRecovery() {
  InputFile_->clear();
  OutputFile_->clear();
}

void Tarvik::BrowseOutputFile() {
  const auto chosen = files_.SaveFileName(this, settingsFolder_);
  if (!chosen) return OutputRecovery();
  OutputFile_->setText(*chosen);
  repaint();
}

void Tarvik::OutputRecovery() {
  if (OutputFile_->text().isEmpty()) return;
  if (InputFile_->text().isEmpty()) {
    OutputFile_->clear();
  } else {
    // Empty when the input name is too short to derive one from.
    OutputFile_->setText(Text(DeriveOutputName(InputFile_->text().toStdString())));
  }
  repaint();
}

void Tarvik::TestFalseEasting() {
  if (!ParseDecimal(FEast_->text().toStdString(), DecimalPoint())) emit programEnded();
}

void Tarvik::Begin(std::string_view status, std::int32_t maximum) {
  ShowLastValue();
  resize(width(), FormHeightPixels());
  ProgressBar1_->setVisible(true);
  Label2_->setText(QString::fromUtf8(status.data(), static_cast<qsizetype>(status.size())));
  Label2_->setVisible(true);
  ProgressBar1_->setMaximum(maximum);
  repaint();
}

void Tarvik::SetValue(std::int32_t value) {
  // A stage sets the value at every table position: hundreds of thousands
  // of times in the run of a large field. The bar works out its text and
  // style at each new value and redraws itself at each new percent, which
  // made the window's run several times as long as the run itself. So it is
  // given a value when the value has moved a thousandth of the range and the
  // bar has shown the last for a fiftieth of a second, or when the value
  // moves back, as a new stage begins.
  lastValue_ = value;
  valueHeldBack_ = true;
  const std::int64_t shown = ProgressBar1_->value();
  const std::int64_t range = std::int64_t{ProgressBar1_->maximum()} - ProgressBar1_->minimum();
  if (value >= shown &&
      ((value - shown) * 1000 < range || (valueShown_.isValid() && valueShown_.elapsed() < 20))) {
    return;
  }
  ShowLastValue();
}

void Tarvik::ShowLastValue() {
  if (!valueHeldBack_) return;
  ProgressBar1_->setValue(lastValue_);
  valueHeldBack_ = false;
  valueShown_.start();
}

void Tarvik::End() {
  ShowLastValue();
  ProgressBar1_->setVisible(false);
  Label2_->setVisible(false);
  resize(width(), FormHeightPixels());
  repaint();
}

int Tarvik::FormHeightPixels() const {
  return qRound(kFormHeightTwips * logicalDpiY() / 1440.0);
}

char Tarvik::DecimalPoint() {
  const QString point = QLocale().decimalPoint();
  if (point.size() == 1 && point.at(0).unicode() < 128)
    return static_cast<char>(point.at(0).unicode());
  return '.';
}

bool Tarvik::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
      if (watched == MC_) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && !ValidateMoisture()) return true;
      }
      break;
    case QEvent::FocusOut: {
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) break;
      if (watched == Combo1_) {
        // Taken on the way out of MC and given back: the box was never left.
        if (!returningToMoisture_) ApplyTypedCrop();
      } else if (watched == MC_ && !MoistureAccepted()) {
        // A click moves the focus before the press arrives; the press is
        // then refused below. Any other way out is caught once the event
        // is over.
        moistureLeft_ = true;
        QTimer::singleShot(0, this, [this] { ReturnToMoisture(); });
      }
      break;
    }
    case QEvent::Wheel:
      // A wheel turned over a box or field the user is not in changes
      // nothing; over the crop box it would replace the values typed.
      if (WheelWithoutFocus(watched)) return true;
      break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      // The tab bar takes no focus, but a page switch would hide MC.
      if (watched == SSTab1_->tabBar() && QApplication::focusWidget() == MC_ &&
          !MoistureAccepted()) {
        moistureLeft_ = true;
      }
      if (moistureLeft_ && qobject_cast<QWidget*>(watched) != nullptr &&
          isAncestorOf(static_cast<QWidget*>(watched))) {
        ReturnToMoisture();
        return true;
      }
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

bool Tarvik::WheelWithoutFocus(QObject* watched) const {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || !isAncestorOf(widget)) return false;
  // The outermost box around the widget: an editable combo box's line edit
  // belongs to the box.
  QWidget* box = nullptr;
  for (QWidget* w = widget; w != nullptr && w != this; w = w->parentWidget()) {
    if (qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
        qobject_cast<QLineEdit*>(w)) {
      box = w;
    }
  }
  if (box == nullptr) return false;
  const QWidget* focus = QApplication::focusWidget();
  return focus == nullptr || (focus != box && !box->isAncestorOf(focus));
}

bool Tarvik::MoistureAccepted() const {
  const auto value = ParseDecimal(MC_->text().toStdString(), DecimalPoint());
  return value && *value >= 0;
}

void Tarvik::ReturnToMoisture() {
  if (!moistureLeft_) return;
  moistureLeft_ = false;
  ValidateMoisture();
  returningToMoisture_ = true;
  SSTab1_->setCurrentWidget(MC_->parentWidget());
  MC_->setFocus(Qt::OtherFocusReason);
  returningToMoisture_ = false;
}

}  // namespace tarvik::ui
