#pragma once
// Line glyphs drawn on a 24 x 24 grid and scaled into any box.

#include <QColor>
#include <QPainter>
#include <QRectF>

enum class Glyph {
  Magnifier, Refresh, Gear, Help, Info, Archive, Toolbox, PackageOut, ShieldBlock, Puzzle,
  Eraser, Warning, GlobeRepair, Trash, Gauge, Cube, Power, Restore, Chip, Monitor, AppWindow,
  Network, Document, Home, Check, ListCheck, Globe,
};

// stroke is in grid units (the grid is 24 wide).
void DrawGlyph(QPainter& painter, Glyph glyph, const QRectF& box, const QColor& color, double stroke = 2.0);
