// The field map: every point of a finished run where it was logged, the
// retained ones coloured by yield, the removed ones by the rule that removed
// them, with legends, a scale bar and the field's title. Drawn with QPainter
// for the results window and for PNG files alike.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/point_table.h"
#include "core/removal_codes.h"

class QPainter;

namespace tarvik::map {

/// What the map keeps of one point.
struct MapPoint {
  double X = 0;                     // easting, m
  double Y = 0;                     // northing, m
  std::int32_t ID = 0;              // line in the input file
  std::int16_t Code = 0;            // removal code
  std::int16_t Segment = 0;         // segment (pass)
  float Yield = 0;                  // bu/ac
  float Moisture = 0;               // %
  std::int16_t NeighbourCount = 0;  // neighbours the neighbourhood check found
  float NeighbourMean = 0;          // bu/ac
  float NeighbourSD = 0;            // bu/ac
};

/// A finished run's points as the map draws them: a copy, so that the map
/// outlives the table.
struct FieldMap {
  std::vector<MapPoint> Points;  // in file order
  std::string Title;
  double MinX = 0, MaxX = 0, MinY = 0, MaxY = 0;  // extent, m
  double YieldLow = 0, YieldHigh = 1;  // colour scale: 2nd and 98th percentile of retained yields
  std::array<std::int32_t, kCodeCount> Counts{};  // points per code
};

/// Copies positions 1..count of a finished run's table.
FieldMap MakeFieldMap(const std::int32_t& count, const PointTable& table, std::string title);

/// Which part of the field is shown and which codes are hidden.
struct MapView {
  double Zoom = 1;                ///< 1 shows the whole field; 2 half its width
  std::optional<QPointF> Centre;  ///< field point in the middle, m; none: the field's centre
  std::bitset<kCodeCount> Hidden;
};

/// Colour and marker of the points of a removal code.
struct CodeStyle {
  QColor Colour;
  enum class Marker { Circle, Square, TriangleUp, TriangleDown, Diamond, Plus, Cross, Star } Shape;
};
CodeStyle StyleOf(int code);

/// The viridis colour at `t` (0..1).
QColor Viridis(double t);

/// Where a picture of `size` puts the map itself, and how metres become pixels.
class MapLayout {
 public:
  MapLayout(const FieldMap& map, const MapView& view, const QRectF& picture);
  QRectF Plot() const { return plot_; }
  QRectF Legend() const { return legend_; }
  double Unit() const { return unit_; }  ///< pixels of one layout unit
  double PixelsPerMetre() const { return scale_; }
  QPointF ToPixels(double x, double y) const;
  QPointF ToMetres(const QPointF& pixel) const;

 private:
  QRectF plot_, legend_;
  double unit_ = 1, scale_ = 1;
  QPointF centre_;
};

/// Paints the whole map into `picture` of `painter`'s device.
void PaintMap(QPainter& painter, const QRectF& picture, const FieldMap& map, const MapView& view);

/// The map as an opaque picture of `size` pixels.
QImage RenderMap(const FieldMap& map, QSize size, const MapView& view = {});

/// The picture as the bytes of a PNG file; nothing when the picture is null
/// (too large to allocate) or cannot be encoded.
std::optional<QByteArray> EncodePng(const QImage& image);

/// The shown point nearest to `pixel` within `radius` pixels, as an index of
/// map.Points; nothing when none is that close.
std::optional<std::size_t> PointNear(const FieldMap& map, const MapView& view,
                                     const QRectF& picture, const QPointF& pixel, double radius);

/// The view `view` zoomed by `factor` about `pixel`, which keeps its field point.
MapView ZoomedAbout(const FieldMap& map, const MapView& view, const QRectF& picture,
                    const QPointF& pixel, double factor);

}  // namespace tarvik::map
