#include "ui/ButtonPictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPolygonF>
#include <QTransform>
#include <cmath>
#include <numbers>

namespace {

// Every shape is designed on an 18 × 18 grid and scaled to the button's size.
constexpr double kGrid = 18.0;

QPainterPath Polygon(std::initializer_list<QPointF> points) {
  QPainterPath path;
  path.addPolygon(QPolygonF(QList<QPointF>(points)));
  path.closeSubpath();
  return path;
}

QPainterPath CheckMarkShape() {
  return Polygon({{1.5, 9.5}, {4.5, 6.5}, {7.5, 9.5}, {14.5, 2.5}, {17.0, 5.0}, {7.5, 14.5}});
}

QPainterPath CrossShape() {
  QPainterPath bar;
  bar.addRect(QRectF(-8.0, -2.0, 16.0, 4.0));
  const QPainterPath one = QTransform().translate(9, 9).rotate(45).map(bar);
  const QPainterPath other = QTransform().translate(9, 9).rotate(-45).map(bar);
  return one.united(other);
}

// One arc running counter-clockwise from `start` over `sweep` degrees, with
// an arrowhead at its end that points on along the circle.
QPainterPath ChasingArrow(double start, double sweep) {
  const QPointF centre(9.0, 9.0);
  const double radius = 5.5;
  QPainterPath arc;
  const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
  arc.arcMoveTo(circle, start);
  arc.arcTo(circle, start, sweep);
  QPainterPathStroker stroker;
  stroker.setWidth(2.5);
  stroker.setCapStyle(Qt::FlatCap);

  const double end = (start + sweep) * std::numbers::pi / 180.0;
  const QPointF tip(centre.x() + radius * std::cos(end), centre.y() - radius * std::sin(end));
  const QPointF ahead(-std::sin(end), -std::cos(end));
  const QPointF outward(std::cos(end), -std::sin(end));
  const QPainterPath head = Polygon({tip + 3.0 * outward, tip - 3.0 * outward, tip + 3.5 * ahead});
  return stroker.createStroke(arc).united(head);
}

QPainterPath CycleArrowsShape() { return ChasingArrow(30, 120).united(ChasingArrow(210, 120)); }

QPainterPath ArrowUpShape() {
  return Polygon({{9, 1}, {16, 8}, {12, 8}, {12, 17}, {6, 17}, {6, 8}, {2, 8}});
}

QPainterPath ArrowDownShape() { return QTransform(1, 0, 0, -1, 0, kGrid).map(ArrowUpShape()); }

struct TPictureStyle {
  QPainterPath (*Shape)();
  QColor Fill;
};

TPictureStyle StyleOf(TButtonPicture picture) {
  const QColor green(0, 160, 0);
  const QColor red(208, 0, 0);
  switch (picture) {
    case TButtonPicture::CheckMark:
      return {CheckMarkShape, green};
    case TButtonPicture::Cross:
      return {CrossShape, red};
    case TButtonPicture::CycleArrows:
      return {CycleArrowsShape, green};
    case TButtonPicture::ArrowUp:
      return {ArrowUpShape, red};
    case TButtonPicture::ArrowDown:
      return {ArrowDownShape, red};
  }
  return {CheckMarkShape, green};
}

constexpr int kIconRatios[] = {1, 2, 3};

// The painter on it works in logical pixels.
QPixmap BlankPixmap(int size, int ratio) {
  QPixmap pixmap(size * ratio, size * ratio);
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

QPainterPath ScaledShape(TButtonPicture picture, int size) {
  return QTransform::fromScale(size / kGrid, size / kGrid).map(StyleOf(picture).Shape());
}

}  // namespace

QPixmap ButtonPixmap(TButtonPicture picture, int size, int ratio) {
  QPixmap pixmap = BlankPixmap(size, ratio);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor fill = StyleOf(picture).Fill;
  painter.setPen(QPen(fill.darker(160), 1.0));
  painter.setBrush(fill);
  painter.drawPath(ScaledShape(picture, size));
  return pixmap;
}

QPixmap DisabledButtonPixmap(TButtonPicture picture, int size, int ratio) {
  QPixmap pixmap = BlankPixmap(size, ratio);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(Qt::NoBrush);
  const QPainterPath shape = ScaledShape(picture, size);
  // An embossed outline: a white edge under the grey one, as greyed pictures look.
  painter.setPen(QPen(Qt::white, 1.0));
  painter.drawPath(shape.translated(1, 1));
  painter.setPen(QPen(QColor(128, 128, 128), 1.0));
  painter.drawPath(shape);
  return pixmap;
}

QIcon ButtonIcon(TButtonPicture picture, int size) {
  QIcon icon;
  for (const int ratio : kIconRatios) {
    icon.addPixmap(ButtonPixmap(picture, size, ratio), QIcon::Normal);
    icon.addPixmap(DisabledButtonPixmap(picture, size, ratio), QIcon::Disabled);
  }
  return icon;
}
