// The main form: every input of a run, the Run button and the progress display.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "core/point_table.h"
#include "core/progress.h"
#include "core/settings_files.h"
#include "run/run.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;

namespace tarvik::ui {

class FileDialogService;
class MessageService;
class ResultsWindow;

/// The form's height while and after a stage shows its progress, in twips.
inline constexpr int kFormHeightTwips = 6030;
/// The form's width, in twips.
inline constexpr int kFormWidthTwips = 9600;

/// The main form "Quenby Yield Data Cleaning Program". Owns the run's point
/// table; is the progress display of the stages it runs.
class Tarvik : public QWidget, public Progress {
  Q_OBJECT

 public:
  /// `settingsFolder` holds crop.dat and criteria.dat and is where both file
  /// dialogs open.
  Tarvik(MessageService& messages, FileDialogService& files, QString settingsFolder,
         QWidget* parent = nullptr);
  ~Tarvik() override;

  /// Start-up: crop list and "Corn", the criteria, the defaults, SearchSize.
  /// False when a settings file cannot be used; the message has been shown.
  bool LoadStartupSettings();
  void SetFormDefaults();

  /// Command1, the Run button: runs on the fields' texts and shows the
  /// outcome, then the results of a finished run.
  void Run();

  // The progress display. The bar is given a few of a stage's values, at
  // most fifty a second (see SetValue), and always the last one set when the
  // stage hides it.
  void Begin(std::string_view status, std::int32_t maximum) override;
  void SetValue(std::int32_t value) override;
  void End() override;

  /// kFormHeightTwips in pixels of the screen the form is on.
  int FormHeightPixels() const;
  /// The decimal separator of the user's number settings.
  static char DecimalPoint();

  std::int32_t PointCount() const { return count_; }
  const PointTable& Table() const { return *table_; }
  const QString& SettingsFolder() const { return settingsFolder_; }
  /// The results window; null until a run has finished.
  ResultsWindow* Results() const { return results_; }

 signals:
  /// The hidden "Test" button asks for the program to end.
  void programEnded();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  /// Gives the bar the last value a stage set, if it does not show it yet.
  void ShowLastValue();

  void BuildForm();
  QWidget* BuildCropPage();
  QWidget* BuildFilesPage();
  QWidget* BuildCriteriaPage();

  /// The settings of a run, from the fields' texts.
  RunSettings CurrentSettings() const;
  /// The header codes chosen for the importer; empty for automatic.
  QString ChosenHeaderCodes() const;
  void ApplyCrop(const CropRecord& crop);
  void ShowSettingsError(const std::string& problem);

  /// Combo1, on a choice from its list and when the focus leaves it: applies
  /// the crop named by the box's text from a fresh reading of crop.dat.
  void ApplyTypedCrop();
  /// Check1, "Re-scale Coordinates?": enables the false origin's fields
  /// while it is ticked.
  void EnableFalseOrigin();
  /// Command4, the input file's browse button: choose, derive the output
  /// name, preload the false origin.
  void BrowseInputFile();
  /// Command5, the output file's browse button.
  void BrowseOutputFile();
  /// Command6, the hidden "Test" button: ends the program when FEast is not
  /// a number.
  void TestFalseEasting();
  /// MC, when the focus would leave it: true when its text is a
  /// non-negative number; else says so and gives false.
  bool ValidateMoisture();
  /// Whether MC's text is a non-negative number.
  bool MoistureAccepted() const;
  /// Whether `watched` is a box or field of the form, or inside one, that
  /// does not have the focus.
  bool WheelWithoutFocus(QObject* watched) const;
  /// After the focus has left MC with a refused text: the message, and the
  /// focus back in MC.
  void ReturnToMoisture();
  void InputRecovery();
  void OutputRecovery();
  /// After the run's message: the results of a finished run, or none.
  void ShowResults(const RunOutcome& outcome);

  MessageService& messages_;
  FileDialogService& files_;
  QString settingsFolder_;
  std::int32_t count_ = 0;
  std::unique_ptr<PointTable> table_;
  bool moistureLeft_ = false;         // the focus left MC with a refused text
  bool returningToMoisture_ = false;  // the focus is being put back into MC
  ResultsWindow* results_ = nullptr;  // a window of its own, owned by the form
  std::int32_t lastValue_ = 0;        // the value a stage set last
  bool valueHeldBack_ = false;        // the bar does not show lastValue_ yet
  QElapsedTimer valueShown_;          // since the bar was last given a value

  QLabel* Label3_ = nullptr;
  QLabel* Picture1_ = nullptr;
  QTabWidget* SSTab1_ = nullptr;
  QPushButton* Command1_ = nullptr;
  QLabel* Label2_ = nullptr;
  QProgressBar* ProgressBar1_ = nullptr;

  QLineEdit* Title_ = nullptr;
  QComboBox* Combo1_ = nullptr;
  QLineEdit* MC_ = nullptr;
  QLineEdit* Density_ = nullptr;
  QGroupBox* Frame2_ = nullptr;
  QLineEdit* UpperLimit_ = nullptr;
  QLineEdit* LowerLimit_ = nullptr;

  QLineEdit* InputFile_ = nullptr;
  QToolButton* Command4_ = nullptr;
  QLineEdit* OutputFile_ = nullptr;
  QToolButton* Command5_ = nullptr;
  QGroupBox* InputFileFormat_ = nullptr;
  QRadioButton* Option1_ = nullptr;
  QRadioButton* Option2_ = nullptr;   // "Other Yield Export (detect layout)"
  QComboBox* HeaderCodes_ = nullptr;  // the importer's header codes, or "Automatic"
  QGroupBox* OutputFormat_ = nullptr;
  QRadioButton* Option3_ = nullptr;
  QRadioButton* Option4_ = nullptr;

  QCheckBox* Check1_ = nullptr;
  QGroupBox* OutputCoordinates_ = nullptr;
  QLabel* lblFEast_ = nullptr;
  QLineEdit* FEast_ = nullptr;
  QLabel* lblFNorth_ = nullptr;
  QLineEdit* FNorth_ = nullptr;
  QGroupBox* Frame1_ = nullptr;
  QLineEdit* StartPassDelay_ = nullptr;
  QLineEdit* EndPassDelay_ = nullptr;
  QGroupBox* SensorDelays_ = nullptr;
  QLineEdit* FlowDelay_ = nullptr;
  QLineEdit* MoistureDelay_ = nullptr;
  QGroupBox* Frame3_ = nullptr;
  QLineEdit* SDOutlier_ = nullptr;
  QLineEdit* SearchX_ = nullptr;
  QLineEdit* SearchY_ = nullptr;
  QLineEdit* SearchSD_ = nullptr;
  QLineEdit* NoPointsforValidSeg_ = nullptr;
  QLineEdit* SearchSize_ = nullptr;

  QPushButton* Command2_ = nullptr;
  QPushButton* Command3_ = nullptr;
  QPushButton* Command6_ = nullptr;
  QPushButton* DuplicateDataSearch_ = nullptr;
};

}  // namespace tarvik::ui
