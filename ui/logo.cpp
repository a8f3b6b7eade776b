#include "ui/logo.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace tarvik::ui {

namespace {

/// The yield map's colour for a share 0..1 of the range: red, yellow, green.
QColor YieldColour(double share) {
  const QColor low(214, 48, 39), mid(254, 224, 80), high(26, 152, 80);
  const auto mix = [](const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
  };
  return share < 0.5 ? mix(low, mid, share * 2) : mix(mid, high, (share - 0.5) * 2);
}

/// One ear of grain: a stalk and two rows of kernels leaning to the right.
void DrawEar(QPainter& painter, QPointF base, double height) {
  const QColor gold(196, 140, 28);
  painter.setPen(QPen(gold.darker(130), 1.6, Qt::SolidLine, Qt::RoundCap));
  QPainterPath stalk(base);
  stalk.quadTo(base + QPointF(2, -height * 0.5), base + QPointF(5, -height));
  painter.drawPath(stalk);
  painter.setPen(Qt::NoPen);
  painter.setBrush(gold);
  for (int k = 0; k < 5; ++k) {
    const double t = 0.45 + k * 0.12;
    const QPointF at = stalk.pointAtPercent(t);
    const double angle = stalk.angleAtPercent(t);
    for (int side : {-1, 1}) {
      painter.save();
      painter.translate(at);
      painter.rotate(-angle + side * 35);
      painter.drawEllipse(QRectF(0, -1.6, 6.0, 3.2));
      painter.restore();
    }
  }
  painter.drawEllipse(QRectF(stalk.currentPosition() - QPointF(1.6, 3.2), QSizeF(3.2, 5.5)));
}

}  // namespace

QPixmap DrawLogo() {
  QImage image(kLogoWidth, kLogoHeight, QImage::Format_RGB888);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);

  // The field: passes across a gently rolling field, coloured by yield.
  const QRectF field(3.5, 3.5, 84, 43);
  QPainterPath outline;
  outline.addRoundedRect(field, 5, 5);
  painter.save();
  painter.setClipPath(outline);
  painter.fillRect(field, QColor(245, 240, 222));
  constexpr int kPasses = 7;
  constexpr int kCells = 14;
  const double passHeight = field.height() / kPasses;
  const double cellWidth = field.width() / kCells;
  for (int pass = 0; pass < kPasses; ++pass) {
    for (int cell = 0; cell < kCells; ++cell) {
      const double wave = 0.55 + 0.35 * std::sin(cell * 0.55 + pass * 0.9) -
                          0.25 * std::cos(pass * 1.7 - cell * 0.3);
      const double share = std::clamp(wave, 0.0, 1.0);
      const QRectF rect(field.left() + cell * cellWidth, field.top() + pass * passHeight,
                        cellWidth + 0.4, passHeight - 1.2);
      painter.fillRect(rect, YieldColour(share));
    }
  }
  // A few points the cleaning removed, ringed.
  painter.setPen(QPen(QColor(40, 40, 40), 1.1));
  painter.setBrush(Qt::NoBrush);
  for (const QPointF& at : {QPointF(18, 12.5), QPointF(55, 28.5), QPointF(73, 40.5)}) {
    painter.drawEllipse(at, 2.4, 2.4);
  }
  painter.restore();
  painter.setPen(QPen(QColor(90, 70, 40), 1.2));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(outline);

  // The harvest: two ears of grain beside the field.
  DrawEar(painter, QPointF(97, 46), 38);
  DrawEar(painter, QPointF(108, 46), 33);
  painter.end();
  return QPixmap::fromImage(image);
}

}  // namespace tarvik::ui
