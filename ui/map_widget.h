// The field map on screen: wheel to zoom, drag to pan, hover for a point.
#pragma once

#include <QPointF>
#include <QString>
#include <QWidget>
#include <optional>

#include "map/field_map.h"

namespace tarvik::ui {

class MapWidget : public QWidget {
  Q_OBJECT

 public:
  explicit MapWidget(QWidget* parent = nullptr);

  /// Shows `map` whole, keeping the codes hidden so far hidden.
  void SetMap(map::FieldMap map);
  const map::FieldMap& Map() const { return map_; }
  const map::MapView& View() const { return view_; }

  void SetCodeShown(int code, bool shown);
  /// Back to the whole field.
  void FitField();

  /// Where the map's point `index` is drawn now, in the widget's pixels.
  QPointF PixelOf(std::size_t index) const;
  /// The hover text of a point: its line in the file, segment, yield,
  /// moisture and code, and what the neighbourhood check found for it.
  static QString Describe(const map::MapPoint& point);

  QSize sizeHint() const override { return {720, 560}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  map::FieldMap map_;
  map::MapView view_;
  std::optional<QPointF> dragFrom_;  // last mouse position of a drag
};

}  // namespace tarvik::ui
