#include "ui/map_widget.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>
#include <cmath>

#include "run/summary.h"

namespace tarvik::ui {

namespace {
/// How near the pointer must come to a point for its tooltip, pixels.
constexpr double kHoverRadius = 8;
}  // namespace

MapWidget::MapWidget(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Map"));
  setMinimumSize(320, 240);
  setMouseTracking(false);
  setCursor(Qt::OpenHandCursor);
}

void MapWidget::SetMap(map::FieldMap map) {
  map_ = std::move(map);
  FitField();
}

void MapWidget::SetCodeShown(int code, bool shown) {
  if (code < 0 || code >= kCodeCount) return;
  view_.Hidden[static_cast<std::size_t>(code)] = !shown;
  update();
}

void MapWidget::FitField() {
  view_.Zoom = 1;
  view_.Centre.reset();
  update();
}

QPointF MapWidget::PixelOf(std::size_t index) const {
  const map::MapPoint& p = map_.Points.at(index);
  return map::MapLayout(map_, view_, QRectF(rect())).ToPixels(p.X, p.Y);
}

QString MapWidget::Describe(const map::MapPoint& p) {
  const char* rule = RuleName(p.Code);
  QString text = QStringLiteral(
                     "ID (line in the file): %1\nSegment: %2\nYield: %3 bu/ac\n"
                     "Moisture: %4 %\nCode: %5 (%6)")
                     .arg(p.ID)
                     .arg(p.Segment)
                     .arg(p.Yield, 0, 'f', 2)
                     .arg(p.Moisture, 0, 'f', 1)
                     .arg(p.Code)
                     .arg(rule != nullptr ? QString::fromUtf8(rule) : QStringLiteral("retained"));
  // The neighbourhood check leaves its figures on the points it examined.
  if (p.NeighbourCount > 0 || p.Code == kAboveNeighbours || p.Code == kBelowNeighbours) {
    text += QStringLiteral("\nNeighbourCount: %1\nNeighbourMean: %2 bu/ac\nNeighbourSD: %3")
                .arg(p.NeighbourCount)
                .arg(p.NeighbourMean, 0, 'f', 2)
                .arg(p.NeighbourSD, 0, 'f', 2);
  }
  return text;
}

void MapWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  map::PaintMap(painter, QRectF(rect()), map_, view_);
}

void MapWidget::wheelEvent(QWheelEvent* event) {
  const double steps = event->angleDelta().y() / 120.0;
  if (steps == 0) return;
  view_ = map::ZoomedAbout(map_, view_, QRectF(rect()), event->position(), std::pow(1.25, steps));
  update();
  event->accept();
}

void MapWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  dragFrom_ = event->position();
  setCursor(Qt::ClosedHandCursor);
}

void MapWidget::mouseMoveEvent(QMouseEvent* event) {
  if (!dragFrom_) return QWidget::mouseMoveEvent(event);
  const map::MapLayout layout(map_, view_, QRectF(rect()));
  const QPointF shift = event->position() - *dragFrom_;
  const QPointF centre = layout.ToMetres(layout.Plot().center() - shift);
  view_.Centre = centre;
  dragFrom_ = event->position();
  update();
}

void MapWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
  dragFrom_.reset();
  setCursor(Qt::OpenHandCursor);
}

bool MapWidget::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  auto* help = static_cast<QHelpEvent*>(event);
  const auto near = map::PointNear(map_, view_, QRectF(rect()), help->pos(), kHoverRadius);
  if (near) {
    QToolTip::showText(help->globalPos(), Describe(map_.Points[*near]), this);
  } else {
    QToolTip::hideText();
    event->ignore();
  }
  return true;
}

}  // namespace tarvik::ui
