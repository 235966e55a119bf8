#include "Glyphs.h"

#include <QPainterPath>
#include <QtMath>

#include "Drawing.h"

namespace {

QPainterPath GearPath(QPointF c, double outer, double inner, int teeth) {
  QPainterPath path;
  const int points = teeth * 4;
  for (int i = 0; i < points; ++i) {
    const double a = 2 * M_PI * i / points - M_PI / 2;
    const double r = (i % 4 == 0 || i % 4 == 1) ? outer : inner;
    const QPointF p(c.x() + r * std::cos(a + M_PI / points), c.y() + r * std::sin(a + M_PI / points));
    if (i == 0) path.moveTo(p); else path.lineTo(p);
  }
  path.closeSubpath();
  return path;
}

void Arrowhead(QPainter& p, QPointF tip, double angleDegrees, double size) {
  const double a = qDegreesToRadians(angleDegrees);
  const QPointF back(-std::cos(a) * size, -std::sin(a) * size);
  const QPointF side(-std::sin(a) * size * 0.8, std::cos(a) * size * 0.8);
  QPainterPath head;
  head.moveTo(tip + back + side);
  head.lineTo(tip);
  head.lineTo(tip + back - side);
  p.drawPath(head);
}

void Letter(QPainter& p, const QRectF& box, const QString& text, bool bold) {
  p.save();
  p.setFont(TypeFace(14, bold));
  p.drawText(box, Qt::AlignCenter, text);
  p.restore();
}

}  // namespace

void DrawGlyph(QPainter& painter, Glyph glyph, const QRectF& box, const QColor& color, double stroke) {
  QPainter& p = painter;
  p.save();
  Smooth(p);
  p.translate(box.topLeft());
  p.scale(box.width() / 24.0, box.height() / 24.0);
  QPen pen(color, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  switch (glyph) {
    case Glyph::Magnifier:
      p.drawEllipse(QPointF(10, 10), 6.5, 6.5);
      p.setPen(QPen(color, stroke * 1.5, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(15, 15), QPointF(21, 21));
      break;
    case Glyph::Refresh:
      p.drawArc(QRectF(4, 4, 16, 16), 30 * 16, 150 * 16);
      p.drawArc(QRectF(4, 4, 16, 16), 210 * 16, 150 * 16);
      Arrowhead(p, QPointF(4.2, 10.0), 95, 3.2);
      Arrowhead(p, QPointF(19.8, 14.0), -85, 3.2);
      break;
    case Glyph::Gear:
      p.drawPath(GearPath(QPointF(12, 12), 9.5, 7.2, 8));
      p.drawEllipse(QPointF(12, 12), 3, 3);
      break;
    case Glyph::Help:
      p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
      p.setPen(color);
      Letter(p, QRectF(0, 0, 24, 24), QStringLiteral("?"), true);
      break;
    case Glyph::Info:
      p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
      p.drawLine(QPointF(12, 11), QPointF(12, 17));
      p.setPen(QPen(color, stroke * 1.4, Qt::SolidLine, Qt::RoundCap));
      p.drawPoint(QPointF(12, 7.3));
      break;
    case Glyph::Archive:
      p.drawRoundedRect(QRectF(3, 4, 18, 5), 1, 1);
      p.drawRoundedRect(QRectF(4.5, 9, 15, 11), 1, 1);
      p.drawLine(QPointF(12, 11.5), QPointF(12, 17));
      Arrowhead(p, QPointF(12, 17.5), 90, 2.8);
      break;
    case Glyph::Toolbox:
      p.drawRoundedRect(QRectF(3, 8, 18, 12), 1.5, 1.5);
      p.drawRoundedRect(QRectF(8.5, 4, 7, 4), 1, 1);
      p.drawLine(QPointF(3, 13), QPointF(21, 13));
      p.drawLine(QPointF(10, 12), QPointF(10, 14.5));
      p.drawLine(QPointF(14, 12), QPointF(14, 14.5));
      break;
    case Glyph::PackageOut:
      p.drawPolyline(QPolygonF({QPointF(3, 11), QPointF(3, 20), QPointF(21, 20), QPointF(21, 11)}));
      p.drawLine(QPointF(3, 11), QPointF(8, 11));
      p.drawLine(QPointF(16, 11), QPointF(21, 11));
      p.drawLine(QPointF(12, 16), QPointF(12, 3.5));
      Arrowhead(p, QPointF(12, 3), -90, 3.2);
      break;
    case Glyph::ShieldBlock: {
      QPainterPath shield;
      shield.moveTo(12, 2.5);
      shield.lineTo(20, 5.5);
      shield.cubicTo(20, 13, 17, 18.5, 12, 21.5);
      shield.cubicTo(7, 18.5, 4, 13, 4, 5.5);
      shield.closeSubpath();
      p.drawPath(shield);
      p.drawEllipse(QPointF(12, 11.5), 4, 4);
      p.drawLine(QPointF(9.2, 14.3), QPointF(14.8, 8.7));
      break;
    }
    case Glyph::Puzzle: {
      QPainterPath piece;
      piece.moveTo(4, 8);
      piece.lineTo(9, 8);
      piece.cubicTo(8, 4, 14, 4, 13, 8);
      piece.lineTo(18, 8);
      piece.lineTo(18, 12);
      piece.cubicTo(22, 11, 22, 17, 18, 16);
      piece.lineTo(18, 20);
      piece.lineTo(4, 20);
      piece.closeSubpath();
      p.drawPath(piece);
      break;
    }
    case Glyph::Eraser:
      p.save();
      p.translate(12, 12);
      p.rotate(-40);
      p.drawRoundedRect(QRectF(-8, -4, 16, 8), 1.5, 1.5);
      p.drawLine(QPointF(-1, -4), QPointF(-1, 4));
      p.restore();
      p.drawLine(QPointF(9, 20.5), QPointF(21, 20.5));
      break;
    case Glyph::Warning: {
      QPainterPath triangle;
      triangle.moveTo(12, 3);
      triangle.lineTo(21.5, 20);
      triangle.lineTo(2.5, 20);
      triangle.closeSubpath();
      p.drawPath(triangle);
      p.drawLine(QPointF(12, 9), QPointF(12, 14));
      p.setPen(QPen(color, stroke * 1.4, Qt::SolidLine, Qt::RoundCap));
      p.drawPoint(QPointF(12, 17));
      break;
    }
    case Glyph::Globe:
    case Glyph::GlobeRepair:
      p.drawEllipse(QPointF(12, 12), 9, 9);
      p.drawEllipse(QRectF(8, 3, 8, 18));
      p.drawLine(QPointF(3.5, 9), QPointF(20.5, 9));
      p.drawLine(QPointF(3.5, 15), QPointF(20.5, 15));
      if (glyph == Glyph::GlobeRepair) {
        p.setBrush(color);
        p.drawEllipse(QPointF(18.5, 18.5), 4.2, 4.2);
        p.setPen(QPen(pal::TealDeep, stroke * 0.75, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(16.6, 18.7), QPointF(18.1, 20.1), QPointF(20.6, 17.1)}));
      }
      break;
    case Glyph::Trash:
      p.drawLine(QPointF(3.5, 6), QPointF(20.5, 6));
      p.drawPolyline(QPolygonF({QPointF(9, 6), QPointF(9.5, 3.5), QPointF(14.5, 3.5), QPointF(15, 6)}));
      p.drawPolyline(QPolygonF({QPointF(5.5, 6), QPointF(7, 21), QPointF(17, 21), QPointF(18.5, 6)}));
      p.drawLine(QPointF(10, 10), QPointF(10.4, 17));
      p.drawLine(QPointF(14, 10), QPointF(13.6, 17));
      break;
    case Glyph::Gauge:
      p.drawArc(QRectF(2.5, 5, 19, 19), 0, 180 * 16);
      p.drawLine(QPointF(2.5, 14.5), QPointF(5, 14.5));
      p.drawLine(QPointF(19, 14.5), QPointF(21.5, 14.5));
      p.drawLine(QPointF(12, 5), QPointF(12, 7.5));
      p.drawLine(QPointF(5.3, 7.8), QPointF(7, 9.5));
      p.drawLine(QPointF(18.7, 7.8), QPointF(17, 9.5));
      p.setPen(QPen(color, stroke * 1.2, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(12, 14.5), QPointF(16.5, 9.5));
      p.setBrush(color);
      p.drawEllipse(QPointF(12, 14.5), 1.6, 1.6);
      p.setBrush(Qt::NoBrush);
      p.setPen(pen);
      p.drawLine(QPointF(6, 19.5), QPointF(18, 19.5));
      break;
    case Glyph::Cube:
      p.drawPolygon(QPolygonF({QPointF(12, 3), QPointF(20, 7.5), QPointF(20, 16.5), QPointF(12, 21),
                               QPointF(4, 16.5), QPointF(4, 7.5)}));
      p.drawPolyline(QPolygonF({QPointF(4, 7.5), QPointF(12, 12), QPointF(20, 7.5)}));
      p.drawLine(QPointF(12, 12), QPointF(12, 21));
      break;
    case Glyph::Power:
      p.drawArc(QRectF(3.5, 4.5, 17, 17), 125 * 16, 290 * 16);
      p.drawLine(QPointF(12, 2.5), QPointF(12, 11.5));
      break;
    case Glyph::Restore:
      p.drawArc(QRectF(3.5, 3.5, 17, 17), 160 * 16, -300 * 16);
      Arrowhead(p, QPointF(3.8, 9.6), 80, 3.2);
      p.drawPolyline(QPolygonF({QPointF(12, 7.5), QPointF(12, 12), QPointF(15, 14)}));
      break;
    case Glyph::Chip:
      p.drawRoundedRect(QRectF(6, 6, 12, 12), 1.5, 1.5);
      p.drawRect(QRectF(9.5, 9.5, 5, 5));
      for (double t : {9.0, 12.0, 15.0}) {
        p.drawLine(QPointF(t, 2.5), QPointF(t, 6));
        p.drawLine(QPointF(t, 18), QPointF(t, 21.5));
        p.drawLine(QPointF(2.5, t), QPointF(6, t));
        p.drawLine(QPointF(18, t), QPointF(21.5, t));
      }
      break;
    case Glyph::Monitor:
      p.drawRoundedRect(QRectF(2.5, 3.5, 19, 13), 1.5, 1.5);
      p.drawLine(QPointF(12, 16.5), QPointF(12, 20));
      p.drawLine(QPointF(7.5, 20.5), QPointF(16.5, 20.5));
      break;
    case Glyph::AppWindow:
      p.drawRoundedRect(QRectF(2.5, 4, 19, 16), 1.5, 1.5);
      p.drawLine(QPointF(2.5, 8.5), QPointF(21.5, 8.5));
      p.drawPoint(QPointF(5.5, 6.3));
      p.drawPoint(QPointF(8.3, 6.3));
      break;
    case Glyph::Network:
      p.drawEllipse(QPointF(12, 5.5), 3, 3);
      p.drawEllipse(QPointF(5, 18), 3, 3);
      p.drawEllipse(QPointF(19, 18), 3, 3);
      p.drawLine(QPointF(10.5, 8.2), QPointF(6.5, 15.3));
      p.drawLine(QPointF(13.5, 8.2), QPointF(17.5, 15.3));
      p.drawLine(QPointF(8, 18), QPointF(16, 18));
      break;
    case Glyph::Document:
      p.drawPolygon(QPolygonF({QPointF(5, 2.5), QPointF(14, 2.5), QPointF(19, 7.5), QPointF(19, 21.5),
                               QPointF(5, 21.5)}));
      p.drawLine(QPointF(8.5, 12), QPointF(15.5, 12));
      p.drawLine(QPointF(8.5, 16), QPointF(15.5, 16));
      break;
    case Glyph::Home:
      p.drawPolyline(QPolygonF({QPointF(2.5, 12), QPointF(12, 3.5), QPointF(21.5, 12)}));
      p.drawPolyline(QPolygonF({QPointF(5.5, 10), QPointF(5.5, 20.5), QPointF(18.5, 20.5), QPointF(18.5, 10)}));
      p.drawRect(QRectF(10, 14, 4, 6.5));
      break;
    case Glyph::Check:
      p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
      p.drawPolyline(QPolygonF({QPointF(7.5, 12.5), QPointF(10.8, 15.6), QPointF(16.8, 9)}));
      break;
    case Glyph::ListCheck:
      p.drawPolyline(QPolygonF({QPointF(3, 6), QPointF(4.6, 7.6), QPointF(7.5, 4.5)}));
      p.drawPolyline(QPolygonF({QPointF(3, 12.5), QPointF(4.6, 14.1), QPointF(7.5, 11)}));
      p.drawPolyline(QPolygonF({QPointF(3, 19), QPointF(4.6, 20.6), QPointF(7.5, 17.5)}));
      p.drawLine(QPointF(11, 6), QPointF(21, 6));
      p.drawLine(QPointF(11, 12.5), QPointF(21, 12.5));
      p.drawLine(QPointF(11, 19), QPointF(21, 19));
      break;
  }
  p.restore();
}
