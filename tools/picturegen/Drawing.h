#pragma once
// Palette, type and the drawing helpers every picture is made with.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QString>

namespace pal {
inline const QColor TealDeep{0x0B, 0x4F, 0x5C};
inline const QColor Teal{0x0E, 0x6B, 0x78};
inline const QColor TealLight{0x2C, 0x8C, 0x96};
inline const QColor TealPale{0xA9, 0xD3, 0xD6};
inline const QColor Mint{0xDD, 0xEF, 0xEF};
inline const QColor Mist{0xF2, 0xF8, 0xF8};
inline const QColor Ink{0x17, 0x32, 0x3A};
inline const QColor Slate{0x5E, 0x74, 0x7A};
inline const QColor Amber{0xF4, 0xA3, 0x40};
inline const QColor AmberPale{0xFD, 0xE7, 0xC6};
inline const QColor Coral{0xD9, 0x5B, 0x2E};
inline const QColor Leaf{0x2F, 0x9E, 0x6E};
inline const QColor Blue{0x2D, 0x6C, 0xC8};
inline const QColor White{0xFF, 0xFF, 0xFF};
}  // namespace pal

QImage NewImage(int width, int height, const QColor& fill = Qt::transparent);
void Smooth(QPainter& painter);
QFont TypeFace(double pixelSize, bool bold = false);

// A fern frond from base to tip, bending to one side.
QPainterPath FernFrond(QPointF base, QPointF tip, double bend, double leafLength, int pairs);
// The product mark: a rounded tile holding a fern frond and a small sun.
void DrawMark(QPainter& painter, const QRectF& box);
// The product name and an optional line under it, left-aligned at x.
void DrawWordmark(QPainter& painter, double x, double baseline, double size, const QString& tagline);

// Vertical band gradient used by every dark band.
void FillBand(QPainter& painter, const QRectF& area);
// Faint frond watermark inside area (light on dark or dark on light).
void DrawWatermark(QPainter& painter, const QRectF& area, const QColor& color, double opacity);

// A rounded tile (launcher icons): teal when normal, amber when highlighted.
void DrawTile(QPainter& painter, const QRectF& box, bool highlighted);
// Rounded light button face with border, for image-list backgrounds.
void DrawFace(QPainter& painter, const QRectF& box, const QColor& top, const QColor& bottom,
              const QColor& border, double radius);
