// The results window "Results": the field map of a finished run beside its
// removal summary and yield histogram. Opens after "FINISH" and follows
// every later run; closing it changes nothing.
#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>

#include "core/point_table.h"
#include "run/run.h"
#include "run/summary.h"

class QCheckBox;
class QLabel;
class QSpinBox;

namespace tarvik::ui {

class FileDialogService;
class MapWidget;
class MessageService;

/// Bars of all yields and retained yields on shared bins.
class HistogramWidget : public QWidget {
 public:
  explicit HistogramWidget(QWidget* parent = nullptr);
  void SetHistogram(YieldHistogram histogram);
  QSize sizeHint() const override { return {320, 180}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  YieldHistogram histogram_;
};

class ResultsWindow : public QWidget {
  Q_OBJECT

 public:
  /// A window of its own; `parent` only ties its life to the main form's.
  ResultsWindow(MessageService& messages, FileDialogService& files, QWidget* parent = nullptr);

  /// Shows the result that a finished run with `settings` left in the table.
  void ShowRun(const std::int32_t& count, const PointTable& table, const RunSettings& settings,
               const DelayOutcome& delay = {});

  const RunSummary& Summary() const { return summary_; }
  MapWidget* Map() const { return map_; }

  /// "Save Map...": the map as now shown, as a PNG of the chosen size.
  void SaveMap();
  /// "Save Summary...": the summary as CSV.
  void SaveSummary();
  /// "Export...": every point of the run to a GIS file (when built with the export).
  void ExportPoints();

 private:
  void ShowSummary();
  /// Writes `contents` to `path` whole or not at all; says so when it cannot.
  bool Save(const QString& path, const QByteArray& contents);
  /// Says that a file of the window cannot be written, and why.
  void ShowOutputError(const QString& reason);

  MessageService& messages_;
  FileDialogService& files_;
  RunSummary summary_;
  QString inputFile_;
  // The run's points as the run left them: a later preload of another file
  // replaces the form's table, not what this window shows and exports.
  std::int32_t count_ = 0;
  std::unique_ptr<PointTable> table_;
  QString folder_;  // where the save dialogs open: the output file's folder

  MapWidget* map_ = nullptr;
  std::array<QCheckBox*, kCodeCount> codes_{};  // null for codes without a name
  QLabel* summaryText_ = nullptr;
  HistogramWidget* histogram_ = nullptr;
  QSpinBox* mapWidth_ = nullptr;
  QSpinBox* mapHeight_ = nullptr;
};

}  // namespace tarvik::ui
