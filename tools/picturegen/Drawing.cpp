#include "Drawing.h"

#include <QLinearGradient>
#include <QtMath>

QImage NewImage(int width, int height, const QColor& fill) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(fill);
  return image;
}

void Smooth(QPainter& painter) {
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
}

QFont TypeFace(double pixelSize, bool bold) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(qRound(pixelSize));
  font.setBold(bold);
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

namespace {
QPointF Bezier(QPointF a, QPointF c, QPointF b, double t) {
  const double u = 1 - t;
  return u * u * a + 2 * u * t * c + t * t * b;
}
QPointF BezierTangent(QPointF a, QPointF c, QPointF b, double t) {
  return 2 * (1 - t) * (c - a) + 2 * t * (b - c);
}
QPointF Rotate(QPointF v, double degrees) {
  const double r = qDegreesToRadians(degrees);
  return {v.x() * std::cos(r) - v.y() * std::sin(r), v.x() * std::sin(r) + v.y() * std::cos(r)};
}
QPointF Unit(QPointF v) {
  const double length = std::hypot(v.x(), v.y());
  return length > 0 ? v / length : QPointF(1, 0);
}
// A pointed leaf from root along direction, of the given length and width.
void AddLeaf(QPainterPath& path, QPointF root, QPointF direction, double length, double width) {
  const QPointF d = Unit(direction);
  const QPointF n(-d.y(), d.x());
  const QPointF tip = root + d * length;
  QPainterPath leaf;
  leaf.moveTo(root);
  leaf.quadTo(root + d * (length * 0.45) + n * width, tip);
  leaf.quadTo(root + d * (length * 0.45) - n * width, root);
  path.addPath(leaf);
}
}  // namespace

QPainterPath FernFrond(QPointF base, QPointF tip, double bend, double leafLength, int pairs) {
  const QPointF mid = (base + tip) / 2;
  const QPointF axis = tip - base;
  const QPointF normal = Unit(QPointF(-axis.y(), axis.x()));
  const QPointF control = mid + normal * bend;
  QPainterPath frond;
  frond.setFillRule(Qt::WindingFill);
  // The stem: a thin tapering band along the curve.
  const int steps = 24;
  QPolygonF left, right;
  for (int i = 0; i <= steps; ++i) {
    const double t = double(i) / steps;
    const QPointF p = Bezier(base, control, tip, t);
    const QPointF tangent = Unit(BezierTangent(base, control, tip, t));
    const QPointF n(-tangent.y(), tangent.x());
    const double half = leafLength * 0.07 * (1 - 0.8 * t);
    left << p + n * half;
    right.prepend(p - n * half);
  }
  frond.addPolygon(left + right);
  for (int i = 0; i < pairs; ++i) {
    const double t = 0.12 + 0.8 * double(i) / pairs;
    const QPointF p = Bezier(base, control, tip, t);
    const QPointF tangent = Unit(BezierTangent(base, control, tip, t));
    const double length = leafLength * (1.0 - 0.72 * t);
    const double width = length * 0.26;
    AddLeaf(frond, p, Rotate(tangent, -58), length, width);
    AddLeaf(frond, p + tangent * (length * 0.18), Rotate(tangent, 58), length * 0.95, width);
  }
  AddLeaf(frond, tip - Unit(axis) * leafLength * 0.12, axis, leafLength * 0.32, leafLength * 0.09);
  return frond;
}

void DrawMark(QPainter& painter, const QRectF& box) {
  painter.save();
  Smooth(painter);
  const double s = box.width();
  QLinearGradient face(box.topLeft(), box.bottomRight());
  face.setColorAt(0, pal::TealLight);
  face.setColorAt(1, pal::TealDeep);
  painter.setPen(Qt::NoPen);
  painter.setBrush(face);
  painter.drawRoundedRect(box, s * 0.22, s * 0.22);
  painter.setBrush(pal::Amber);
  painter.drawEllipse(QPointF(box.left() + s * 0.72, box.top() + s * 0.27), s * 0.11, s * 0.11);
  painter.setBrush(pal::White);
  painter.drawPath(FernFrond(QPointF(box.left() + s * 0.24, box.top() + s * 0.86),
                             QPointF(box.left() + s * 0.60, box.top() + s * 0.16), s * 0.10, s * 0.30, 6));
  painter.restore();
}

void DrawWordmark(QPainter& painter, double x, double baseline, double size, const QString& tagline) {
  painter.save();
  Smooth(painter);
  QFont name = TypeFace(size, true);
  name.setLetterSpacing(QFont::PercentageSpacing, 102);
  painter.setFont(name);
  painter.setPen(pal::White);
  painter.drawText(QPointF(x, baseline), QStringLiteral("Fernwick"));
  if (!tagline.isEmpty()) {
    QFont small = TypeFace(size * 0.40);
    small.setLetterSpacing(QFont::PercentageSpacing, 108);
    painter.setFont(small);
    painter.setPen(pal::TealPale);
    painter.drawText(QPointF(x + 1, baseline + size * 0.62), tagline);
  }
  painter.restore();
}

void FillBand(QPainter& painter, const QRectF& area) {
  QLinearGradient band(area.topLeft(), area.bottomLeft());
  band.setColorAt(0, pal::Teal);
  band.setColorAt(1, pal::TealDeep);
  painter.fillRect(area, band);
  // A warm hairline along the bottom edge ties the bands together.
  painter.fillRect(QRectF(area.left(), area.bottom() - 2, area.width(), 2), pal::Amber);
}

void DrawWatermark(QPainter& painter, const QRectF& area, const QColor& color, double opacity) {
  painter.save();
  Smooth(painter);
  painter.setClipRect(area);
  painter.setOpacity(opacity);
  painter.setPen(Qt::NoPen);
  painter.setBrush(color);
  const double h = area.height();
  painter.drawPath(FernFrond(QPointF(area.right() - h * 1.6, area.bottom() + h * 0.25),
                             QPointF(area.right() - h * 0.2, area.top() - h * 0.1), h * 0.28, h * 0.8, 8));
  painter.restore();
}

void DrawTile(QPainter& painter, const QRectF& box, bool highlighted) {
  painter.save();
  Smooth(painter);
  QLinearGradient face(box.topLeft(), box.bottomLeft());
  if (highlighted) {
    face.setColorAt(0, QColor(0xF6, 0xAD, 0x4E));
    face.setColorAt(1, QColor(0xDB, 0x7B, 0x1E));
  } else {
    face.setColorAt(0, pal::TealLight);
    face.setColorAt(1, pal::TealDeep);
  }
  painter.setPen(Qt::NoPen);
  painter.setBrush(face);
  painter.drawRoundedRect(box, box.width() * 0.2, box.width() * 0.2);
  // Soft top sheen.
  QLinearGradient sheen(box.topLeft(), QPointF(box.left(), box.center().y()));
  sheen.setColorAt(0, QColor(255, 255, 255, 60));
  sheen.setColorAt(1, QColor(255, 255, 255, 0));
  painter.setBrush(sheen);
  painter.drawRoundedRect(box.adjusted(1, 1, -1, -box.height() / 2), box.width() * 0.18, box.width() * 0.18);
  painter.restore();
}

void DrawFace(QPainter& painter, const QRectF& box, const QColor& top, const QColor& bottom,
              const QColor& border, double radius) {
  painter.save();
  Smooth(painter);
  QLinearGradient face(box.topLeft(), box.bottomLeft());
  face.setColorAt(0, top);
  face.setColorAt(1, bottom);
  painter.setPen(QPen(border, 1));
  painter.setBrush(face);
  painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
  painter.restore();
}
