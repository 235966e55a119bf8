// Draws every picture of the program into an output folder:
//   jpg/<name>.png         pictures that become JPEG resources
//   png/<list>.png         image-list strips
//   icon/MAINICON<n>.png   the program icon
//   gif/<name>/NNN.png     frames of animated GIF resources
// scripts/make-pictures.sh turns them into resources/pictures/.

#include <QDir>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QtMath>
#include <cstdio>
#include <functional>
#include <vector>

#include "Drawing.h"
#include "Glyphs.h"

namespace {

QString g_out;

void Save(const QImage& image, const QString& folder, const QString& name) {
  QDir().mkpath(g_out + "/" + folder);
  const QString path = g_out + "/" + folder + "/" + name + ".png";
  if (!image.save(path, "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    std::exit(1);
  }
}

void SaveJpegPicture(const QImage& image, const QString& name) {
  // JPEG has no transparency: flatten onto white first.
  QImage flat = NewImage(image.width(), image.height(), pal::White);
  QPainter painter(&flat);
  painter.drawImage(0, 0, image);
  painter.end();
  Save(flat.convertToFormat(QImage::Format_RGB32), "jpg", name);
}

using FrameDrawer = std::function<void(QPainter&, int index)>;

QImage Strip(int width, int height, int count, const FrameDrawer& draw) {
  QImage strip = NewImage(width * count, height);
  QPainter painter(&strip);
  Smooth(painter);
  for (int i = 0; i < count; ++i) {
    painter.save();
    painter.translate(i * width, 0);
    painter.setClipRect(0, 0, width, height);
    draw(painter, i);
    painter.restore();
  }
  return strip;
}

// ---- main window -------------------------------------------------------

constexpr int kWindowWidth = 731;
constexpr int kBandHeight = 86;
constexpr int kLeftWidth = 141;
constexpr int kLeftHeight = 526 - kBandHeight;
constexpr int kPageButtonHeight = 60;
constexpr int kPageWidth = kWindowWidth - kLeftWidth;

struct TopButton {
  const char* name;
  const char* caption;
  Glyph glyph;
  int x;
};
const TopButton kTopButtons[] = {
    {"Update", "Update", Glyph::Refresh, 493},
    {"Options", "Options", Glyph::Gear, 551},
    {"Help", "Help", Glyph::Help, 609},
    {"About", "About", Glyph::Info, 667},
};
constexpr int kTopButtonY = 22;
constexpr int kTopButtonWidth = 56;
constexpr int kTopButtonHeight = 60;

// A dark band with the product mark and name (main window, About box).
QImage BrandBand(int width, double watermarkLeft, const QRectF& mark, double nameSize) {
  QImage band = NewImage(width, kBandHeight);
  QPainter painter(&band);
  Smooth(painter);
  FillBand(painter, band.rect());
  DrawWatermark(painter, QRectF(watermarkLeft, 0, std::min(240.0, width - watermarkLeft), kBandHeight - 2),
                pal::White, 0.07);
  DrawMark(painter, mark);
  DrawWordmark(painter, mark.right() + 14, mark.top() + 30, nameSize,
               QStringLiteral("REGISTRY CLEANER AND SYSTEM TOOLS"));
  return band;
}

QImage TopBand() { return BrandBand(kWindowWidth, 250, QRectF(18, 16, 52, 52), 30); }

QImage TopButtonPicture(const QImage& band, const TopButton& button, bool hot) {
  QImage picture = band.copy(button.x, kTopButtonY, kTopButtonWidth, kTopButtonHeight);
  QPainter painter(&picture);
  Smooth(painter);
  if (hot) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 34));
    painter.drawRoundedRect(QRectF(2, 1, kTopButtonWidth - 4, kTopButtonHeight - 4), 7, 7);
  }
  const QColor ink = hot ? pal::Amber : pal::White;
  DrawGlyph(painter, button.glyph, QRectF(15, 6, 26, 26), ink, 1.9);
  painter.setFont(TypeFace(11, hot));
  painter.setPen(hot ? pal::White : QColor(0xE4, 0xF1, 0xF2));
  painter.drawText(QRectF(0, 36, kTopButtonWidth, 16), Qt::AlignCenter, QString::fromLatin1(button.caption));
  return picture;
}

QImage MinMaxList() {
  return Strip(22, 13, 4, [](QPainter& p, int i) {
    const bool hot = i % 2 == 1;
    const bool close = i >= 2;
    if (hot) {
      p.setPen(Qt::NoPen);
      p.setBrush(close ? pal::Coral : pal::Amber);
      p.drawRoundedRect(QRectF(0.5, 0.5, 21, 12), 3, 3);
    }
    p.setPen(QPen(pal::White, 1.6, Qt::SolidLine, Qt::RoundCap));
    if (close) {
      p.drawLine(QPointF(8, 3.5), QPointF(14, 9.5));
      p.drawLine(QPointF(14, 3.5), QPointF(8, 9.5));
    } else {
      p.drawLine(QPointF(7.5, 9), QPointF(14.5, 9));
    }
  });
}

struct PageButton {
  const char* name;
  const char* caption;
  Glyph glyph;
};
const PageButton kPageButtons[] = {
    {"Scan", "Scan", Glyph::Magnifier},
    {"Backup", "Backup", Glyph::Archive},
    {"Advanced", "Tools", Glyph::Toolbox},
};

void FillLeftBar(QPainter& painter, const QRectF& area) {
  painter.fillRect(area, pal::Mist);
  painter.fillRect(QRectF(area.right() - 1, area.top(), 1, area.height()), pal::TealPale);
}

QImage PageButtonPicture(const PageButton& button, bool selected) {
  QImage picture = NewImage(kLeftWidth, kPageButtonHeight);
  QPainter painter(&picture);
  Smooth(painter);
  FillLeftBar(painter, picture.rect());
  if (selected) {
    QLinearGradient face(0, 5, 0, kPageButtonHeight - 5);
    face.setColorAt(0, pal::TealLight);
    face.setColorAt(1, pal::Teal);
    painter.setPen(Qt::NoPen);
    painter.setBrush(face);
    painter.drawRoundedRect(QRectF(8, 6, kLeftWidth - 17, kPageButtonHeight - 12), 8, 8);
    painter.setBrush(pal::Amber);
    painter.drawRoundedRect(QRectF(0, 10, 4, kPageButtonHeight - 20), 2, 2);
  } else {
    painter.fillRect(QRectF(16, kPageButtonHeight - 1, kLeftWidth - 33, 1), pal::Mint);
  }
  const QColor ink = selected ? pal::White : pal::Teal;
  DrawGlyph(painter, button.glyph, QRectF(22, 16, 28, 28), ink, 2.0);
  painter.setFont(TypeFace(15, true));
  painter.setPen(selected ? pal::White : pal::Ink);
  painter.drawText(QRectF(60, 0, kLeftWidth - 64, kPageButtonHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromLatin1(button.caption));
  return picture;
}

QImage LeftBar() {
  const int height = kLeftHeight - 3 * kPageButtonHeight;
  QImage bar = NewImage(kLeftWidth, height);
  QPainter painter(&bar);
  Smooth(painter);
  FillLeftBar(painter, bar.rect());
  DrawWatermark(painter, QRectF(0, height - 150, kLeftWidth - 1, 150), pal::Teal, 0.10);
  return bar;
}

// ---- page headings and step icons ---------------------------------------

constexpr int kHeadingHeight = 64;
constexpr int kStepIcon = 48;

QImage Heading(const QString& title, const QString& subtitle, int width, int height) {
  QImage heading = NewImage(width, height, pal::Mist);
  QPainter painter(&heading);
  Smooth(painter);
  painter.fillRect(QRectF(0, height - 1, width, 1), pal::TealPale);
  DrawWatermark(painter, QRectF(width - 200, 0, 200, height - 1), pal::Teal, 0.08);
  painter.setFont(TypeFace(17, true));
  painter.setPen(pal::TealDeep);
  painter.drawText(QPointF(76, 28), title);
  painter.setFont(TypeFace(12));
  painter.setPen(pal::Slate);
  painter.drawText(QPointF(76, 48), subtitle);
  return heading;
}

QImage StepIcon(Glyph glyph, bool highlighted, const QColor& background) {
  QImage icon = NewImage(kStepIcon, kStepIcon, background);
  QPainter painter(&icon);
  Smooth(painter);
  DrawTile(painter, QRectF(2, 2, 44, 44), highlighted);
  DrawGlyph(painter, glyph, QRectF(10, 10, 28, 28), pal::White, 2.0);
  return icon;
}

// One frame of the scanning animation: a lens sweeping over registry lines.
QImage ScanningFrame(int index, int count) {
  QImage frame = NewImage(kStepIcon, kStepIcon, pal::Mist);
  QPainter painter(&frame);
  Smooth(painter);
  DrawTile(painter, QRectF(2, 2, 44, 44), false);
  const double phase = 2 * M_PI * index / count;
  const QPointF lens(23 + 8 * std::cos(phase), 22 + 6 * std::sin(2 * phase) * 0.9);
  const double rows[] = {15, 22.5, 30};
  for (double y : rows) {
    const double near = std::max(0.0, 1 - std::abs(lens.y() - y) / 8);
    painter.setPen(QPen(QColor(255, 255, 255, int(80 + 150 * near)), 2.4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(12, y), QPointF(36, y));
  }
  painter.setPen(QPen(pal::Amber, 2.6, Qt::SolidLine, Qt::RoundCap));
  painter.setBrush(QColor(255, 255, 255, 70));
  painter.drawEllipse(lens, 6.5, 6.5);
  painter.setPen(QPen(pal::Amber, 3.4, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(lens + QPointF(4.8, 4.8), lens + QPointF(9.5, 9.5));
  // A ring of progress ticks around the tile edge.
  painter.setPen(Qt::NoPen);
  for (int i = 0; i < 10; ++i) {
    const double age = std::fmod(10.0 + i - index * 10.0 / count, 10.0) / 10.0;
    painter.setBrush(QColor(255, 255, 255, int(40 + 160 * (1 - age))));
    const double a = 2 * M_PI * i / 10 - M_PI / 2;
    painter.drawEllipse(QPointF(24 + 16.5 * std::cos(a), 24 + 16.5 * std::sin(a)), 1.1, 1.1);
  }
  return frame;
}

// ---- repair progress ------------------------------------------------------

constexpr int kDeleteWidth = 272;
constexpr int kDeleteHeight = 60;

// An open folder (left of the delete animation).
void DrawFolder(QPainter& painter, const QRectF& box) {
  const double x = box.left(), y = box.top(), w = box.width(), h = box.height();
  painter.setPen(QPen(pal::TealDeep, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(pal::TealLight);
  QPainterPath back;
  back.moveTo(x, y + h);
  back.lineTo(x, y + h * 0.12);
  back.lineTo(x + w * 0.36, y + h * 0.12);
  back.lineTo(x + w * 0.44, y + h * 0.26);
  back.lineTo(x + w, y + h * 0.26);
  back.lineTo(x + w, y + h);
  back.closeSubpath();
  painter.drawPath(back);
  painter.setBrush(pal::Teal);
  painter.drawPolygon(QPolygonF({QPointF(x + w * 0.08, y + h * 0.44), QPointF(x + w * 1.06, y + h * 0.44),
                                 QPointF(x + w * 0.96, y + h), QPointF(x - w * 0.02, y + h)}));
}

// One frame of the delete animation: a sheet leaves the folder in an arc and
// drops into the bin.
QImage DeleteFrame(int index, int count) {
  QImage frame = NewImage(kDeleteWidth, kDeleteHeight, pal::White);
  QPainter painter(&frame);
  Smooth(painter);
  const QRectF folder(14, 20, 44, 32);
  const QRectF bin(210, 14, 44, 44);
  DrawFolder(painter, folder);
  DrawGlyph(painter, Glyph::Trash, bin, pal::Slate, 1.8);
  // Dotted track of the flight.
  const QPointF from(44, 26), over(136, 4), to(232, 24);
  auto along = [&](double t) { return (1 - t) * (1 - t) * from + 2 * (1 - t) * t * over + t * t * to; };
  painter.setPen(Qt::NoPen);
  painter.setBrush(pal::TealPale);
  for (int dot = 1; dot < 12; ++dot) painter.drawEllipse(along(dot / 12.0), 1.1, 1.1);
  // The sheet, turning as it flies; it fades into the bin at the end.
  const double t = double(index) / (count - 1);
  const QPointF at = along(t);
  painter.save();
  painter.translate(at);
  painter.rotate(-20 + 200 * t);
  painter.setOpacity(t < 0.88 ? 1.0 : (1.0 - t) / 0.12);
  painter.fillRect(QRectF(-10, -12, 20, 24), pal::White);
  DrawGlyph(painter, Glyph::Document, QRectF(-12, -12, 24, 24), pal::Amber, 2.0);
  painter.restore();
  return frame;
}

// ---- tool launchers ------------------------------------------------------

struct Launcher {
  const char* name;
  Glyph glyph;
};
const Launcher kLaunchers[] = {
    {"AddRemove", Glyph::PackageOut},     {"ProtectPC", Glyph::ShieldBlock},
    {"IEPlugins", Glyph::Puzzle},         {"ClearHistory", Glyph::Eraser},
    {"ErrorUtilities", Glyph::Warning},   {"BrowserRepair", Glyph::GlobeRepair},
    {"SystemClean", Glyph::Trash},        {"Optimize", Glyph::Gauge},
    {"RegisterActiveX", Glyph::Cube},     {"StartupManage", Glyph::Power},
    {"SysRestore", Glyph::Restore},       {"TweakRAM", Glyph::Chip},
};

// ---- small windows -------------------------------------------------------

QImage AboutTop() { return BrandBand(346, 150, QRectF(18, 17, 50, 50), 28); }

QImage EvidenceTitle() {
  QImage band = NewImage(kPageWidth, 78);
  QPainter painter(&band);
  Smooth(painter);
  FillBand(painter, band.rect());
  DrawWatermark(painter, QRectF(kPageWidth - 110, 0, 110, 76), pal::White, 0.08);
  DrawGlyph(painter, Glyph::Eraser, QRectF(16, 12, 30, 30), pal::White, 2.0);
  painter.setFont(TypeFace(18, true));
  painter.setPen(pal::White);
  painter.drawText(QPointF(56, 34), QStringLiteral("Evidence Cleaner"));
  return band;
}

QImage TabBack(bool hot) {
  QImage tab = NewImage(71, 28);
  QPainter painter(&tab);
  Smooth(painter);
  QPainterPath shape;
  shape.moveTo(0, 28);
  shape.lineTo(0, 6);
  shape.quadTo(0, 0, 6, 0);
  shape.lineTo(65, 0);
  shape.quadTo(71, 0, 71, 6);
  shape.lineTo(71, 28);
  shape.closeSubpath();
  painter.setPen(Qt::NoPen);
  painter.setBrush(hot ? pal::Mint : pal::White);
  painter.drawPath(shape);
  painter.fillRect(QRectF(6, 0, 59, 2), pal::Amber);
  return tab;
}

// ---- image lists -----------------------------------------------------------

void TickBox(QPainter& p, const QRectF& box, bool ticked) {
  p.save();
  Smooth(p);
  p.setPen(QPen(ticked ? pal::Teal : pal::Slate, 1));
  p.setBrush(ticked ? pal::Teal : pal::White);
  p.drawRoundedRect(box, 2, 2);
  if (ticked) {
    p.setPen(QPen(pal::White, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const double x = box.left(), y = box.top(), s = box.width();
    p.drawPolyline(QPolygonF({QPointF(x + s * 0.22, y + s * 0.52), QPointF(x + s * 0.43, y + s * 0.72),
                              QPointF(x + s * 0.79, y + s * 0.30)}));
  }
  p.restore();
}

void Expander(QPainter& p, bool open) {
  p.setPen(QPen(pal::Slate, 1));
  p.setBrush(pal::White);
  p.drawRect(QRectF(3.5, 3.5, 9, 9));
  p.setPen(QPen(pal::Teal, 1.4));
  p.drawLine(QPointF(5.5, 8), QPointF(10.5, 8));
  if (!open) p.drawLine(QPointF(8, 5.5), QPointF(8, 10.5));
}

void Spinner(QPainter& p, int frame, int frames) {
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(pal::TealPale, 2.2));
  p.drawEllipse(QPointF(8, 8), 5.2, 5.2);
  const int start = 90 * 16 - frame * 360 * 16 / frames;
  p.setPen(QPen(pal::Teal, 2.4, Qt::SolidLine, Qt::RoundCap));
  p.drawArc(QRectF(2.8, 2.8, 10.4, 10.4), start, -110 * 16);
  p.setPen(QPen(pal::Amber, 2.6, Qt::SolidLine, Qt::RoundCap));
  p.drawArc(QRectF(2.8, 2.8, 10.4, 10.4), start - 102 * 16, -8 * 16);
}

void StatusBadge(QPainter& p, bool problems) {
  p.setPen(Qt::NoPen);
  p.setBrush(problems ? pal::Coral : pal::Leaf);
  p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
  p.setPen(QPen(pal::White, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  if (problems) {
    p.drawLine(QPointF(8, 4.8), QPointF(8, 9));
    p.drawPoint(QPointF(8, 11.6));
  } else {
    p.drawPolyline(QPolygonF({QPointF(4.8, 8.2), QPointF(7.1, 10.4), QPointF(11.3, 5.8)}));
  }
}

QImage StatList() {
  return Strip(16, 16, 13, [](QPainter& p, int i) {
    if (i <= 1) TickBox(p, QRectF(2.5, 2.5, 11, 11), i == 1);
    else if (i <= 3) Expander(p, i == 3);
    else if (i <= 10) Spinner(p, i - 4, 7);
    else StatusBadge(p, i == 12);
  });
}

QImage TreeList() {
  return Strip(16, 16, 15, [](QPainter& p, int i) {
    const QRectF box(0, 0, 16, 16);
    switch (i) {
      case 0: DrawGlyph(p, Glyph::Monitor, box, pal::Teal, 2.2); break;
      case 1: DrawGlyph(p, Glyph::Globe, box, pal::Blue, 2.0); break;
      case 2: DrawGlyph(p, Glyph::AppWindow, box, pal::Teal, 2.2); break;
      case 3: DrawGlyph(p, Glyph::Gear, box, pal::Slate, 2.2); break;
      case 4: DrawGlyph(p, Glyph::Network, box, pal::Coral, 2.2); break;
      case 5: DrawGlyph(p, Glyph::Document, box, pal::Slate, 2.0); break;
      case 6: TickBox(p, QRectF(2.5, 2.5, 11, 11), true); break;
      case 7: TickBox(p, QRectF(2.5, 2.5, 11, 11), false); break;
      default: Spinner(p, i - 8, 7); break;
    }
  });
}

QImage PopupList() {
  return Strip(16, 16, 5, [](QPainter& p, int i) {
    const QRectF box(0, 0, 16, 16);
    switch (i) {
      case 0: DrawMark(p, QRectF(0.5, 0.5, 15, 15)); break;
      case 1: DrawGlyph(p, Glyph::Home, box, pal::Teal, 2.2); break;
      case 2: DrawGlyph(p, Glyph::Info, box, pal::Teal, 2.2); break;
      case 3: DrawGlyph(p, Glyph::Refresh, box, pal::Teal, 2.2); break;
      default: DrawGlyph(p, Glyph::Power, box, pal::Coral, 2.4); break;
    }
  });
}

QImage ProblemsList() {
  return Strip(16, 70, 2, [](QPainter& p, int i) { TickBox(p, QRectF(1.5, 2.5, 13, 13), i == 1); });
}

QImage LevelList() {
  return Strip(36, 12, 3, [](QPainter& p, int i) {
    const QColor fill = i == 0 ? pal::Slate : i == 1 ? pal::Blue : pal::Coral;
    for (int bar = 0; bar < 3; ++bar) {
      const QRectF r(1.5 + bar * 11.5, 8.5 - bar * 2.5, 9, 2.5 + bar * 2.5);
      const bool on = bar <= i;
      p.setPen(QPen(on ? fill : pal::TealPale, 1));
      p.setBrush(on ? fill : pal::Mist);
      p.drawRoundedRect(r, 1, 1);
    }
  });
}

QImage ButtonList() {
  return Strip(110, 29, 2, [](QPainter& p, int i) {
    if (i == 0)
      DrawFace(p, QRectF(0, 0, 110, 29), QColor(0xF7, 0xFB, 0xFB), QColor(0xCF, 0xE7, 0xE9), pal::TealLight, 6);
    else
      DrawFace(p, QRectF(0, 0, 110, 29), QColor(0xFF, 0xF4, 0xE3), QColor(0xFB, 0xD6, 0x9E), pal::Amber, 6);
  });
}

QImage SheetList() {
  return Strip(95, 24, 2, [](QPainter& p, int i) {
    QPainterPath shape;
    shape.moveTo(0.5, 24);
    shape.lineTo(0.5, 6);
    shape.quadTo(0.5, 0.5, 6, 0.5);
    shape.lineTo(89, 0.5);
    shape.quadTo(94.5, 0.5, 94.5, 6);
    shape.lineTo(94.5, 24);
    QLinearGradient face(0, 0, 0, 24);
    face.setColorAt(0, i == 0 ? pal::Mist : pal::White);
    face.setColorAt(1, i == 0 ? pal::Mint : pal::AmberPale);
    p.setPen(QPen(i == 0 ? pal::TealPale : pal::Amber, 1));
    p.setBrush(face);
    p.drawPath(shape);
    if (i == 1) p.fillRect(QRectF(6, 0, 83, 2), pal::Amber);
  });
}

QImage SmallIcons() {
  return Strip(21, 21, 4, [](QPainter& p, int i) {
    const QRectF box(0, 0, 21, 21);
    switch (i) {
      case 0: DrawGlyph(p, Glyph::Info, box, pal::Blue, 2.0); break;
      case 1: DrawGlyph(p, Glyph::Warning, box, pal::Amber, 2.2); break;
      case 2:
        DrawGlyph(p, Glyph::Help, box, pal::Teal, 2.0);
        break;
      default: DrawGlyph(p, Glyph::Check, box, pal::Leaf, 2.0); break;
    }
  });
}

// Stock shell icons, in the order of the platform's StockIcon kinds:
// program, shortcut, folder, document, then drives removable, fixed,
// network, CD and RAM disk. Drawn on a 32-unit grid and scaled.
void ShellIcon(QPainter& p, int kind) {
  p.setPen(QPen(pal::TealDeep, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  auto page = [&p](const QColor& fill) {
    QPainterPath sheet;
    sheet.moveTo(7, 3);
    sheet.lineTo(20, 3);
    sheet.lineTo(26, 9);
    sheet.lineTo(26, 29);
    sheet.lineTo(7, 29);
    sheet.closeSubpath();
    p.setBrush(fill);
    p.drawPath(sheet);
    p.drawPolyline(QPolygonF({QPointF(20, 3), QPointF(20, 9), QPointF(26, 9)}));
  };
  auto drive = [&p](const QColor& face, const QColor& light) {
    p.setBrush(face);
    p.drawRoundedRect(QRectF(3, 11, 26, 12), 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(light);
    p.drawEllipse(QRectF(22, 15.5, 3.5, 3.5));
    p.setPen(QPen(pal::TealDeep, 1.6));
  };
  switch (kind) {
    case 0:  // program: a window with a title bar
      p.setBrush(pal::White);
      p.drawRoundedRect(QRectF(3, 6, 26, 21), 2, 2);
      p.fillRect(QRectF(3.8, 6.8, 24.4, 5.5), pal::Teal);
      p.fillRect(QRectF(7, 16, 10, 2), pal::TealPale);
      p.fillRect(QRectF(7, 21, 16, 2), pal::TealPale);
      break;
    case 1:  // shortcut: a page with the arrow badge
      page(pal::White);
      p.setBrush(pal::White);
      p.drawRect(QRectF(3, 19, 10, 10));
      p.setPen(QPen(pal::Blue, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.drawPolyline(QPolygonF({QPointF(6, 26), QPointF(10.5, 21.5)}));
      p.drawPolyline(QPolygonF({QPointF(7, 21.5), QPointF(10.5, 21.5), QPointF(10.5, 25)}));
      break;
    case 2: {  // folder
      QPainterPath tab;
      tab.moveTo(3, 9);
      tab.lineTo(3, 6);
      tab.lineTo(12, 6);
      tab.lineTo(15, 9);
      p.setBrush(pal::Amber);
      p.drawRoundedRect(QRectF(3, 9, 26, 18), 2, 2);
      p.drawPath(tab);
      p.setBrush(pal::AmberPale);
      p.drawRoundedRect(QRectF(3, 13, 26, 14), 2, 2);
      break;
    }
    case 3:  // document
      page(pal::White);
      p.fillRect(QRectF(10, 14, 12, 1.8), pal::TealPale);
      p.fillRect(QRectF(10, 18.5, 12, 1.8), pal::TealPale);
      p.fillRect(QRectF(10, 23, 8, 1.8), pal::TealPale);
      break;
    case 4:  // removable disk
      drive(pal::Mint, pal::Leaf);
      p.fillRect(QRectF(7, 15.5, 10, 3), pal::Slate);
      break;
    case 5:  // fixed disk
      drive(pal::TealPale, pal::Leaf);
      break;
    case 6:  // network drive: a disk on a cable
      drive(pal::TealPale, pal::Leaf);
      p.drawLine(QPointF(16, 23), QPointF(16, 28));
      p.drawLine(QPointF(8, 28), QPointF(24, 28));
      break;
    case 7:  // CD drive
      drive(pal::Mist, pal::Amber);
      p.setBrush(pal::White);
      p.drawEllipse(QRectF(6, 3, 12, 12));
      p.drawEllipse(QRectF(10.5, 7.5, 3, 3));
      break;
    default:  // RAM disk: a chip
      p.setBrush(pal::Leaf);
      p.drawRoundedRect(QRectF(5, 10, 22, 13), 1.5, 1.5);
      for (int pin = 0; pin < 5; ++pin) p.drawLine(QPointF(8 + pin * 4, 23), QPointF(8 + pin * 4, 27));
      break;
  }
}

QImage ShellIcons(int size) {
  return Strip(size, size, 9, [size](QPainter& p, int i) {
    p.scale(size / 32.0, size / 32.0);
    ShellIcon(p, i);
  });
}

void ProgramIcons() {
  for (int size : {16, 32, 48, 256}) {
    QImage icon = NewImage(size, size);
    QPainter painter(&icon);
    DrawMark(painter, QRectF(0, 0, size, size));
    painter.end();
    Save(icon, "icon", QStringLiteral("MAINICON%1").arg(size));
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: picturegen OUTPUT_FOLDER\n");
    return 2;
  }
  g_out = QString::fromLocal8Bit(argv[1]);

  const QImage band = TopBand();
  SaveJpegPicture(band, "TopBand");
  SaveJpegPicture(band, "TopBand1");
  for (const TopButton& button : kTopButtons) {
    SaveJpegPicture(TopButtonPicture(band, button, false), button.name);
    SaveJpegPicture(TopButtonPicture(band, button, true), QString::fromLatin1(button.name) + "1");
  }
  for (const PageButton& button : kPageButtons) {
    SaveJpegPicture(PageButtonPicture(button, false), button.name);
    SaveJpegPicture(PageButtonPicture(button, true), QString::fromLatin1(button.name) + "1");
  }
  const QImage leftBar = LeftBar();
  SaveJpegPicture(leftBar, "LeftBar");
  SaveJpegPicture(leftBar, "LeftBar1");

  struct Step {
    const char* name;
    const char* title;
    const char* subtitle;
    Glyph glyph;
  };
  const Step steps[] = {
      {"ScanFirst", "Scan the registry", "Tick the sections to check, then press Scan Now.", Glyph::Magnifier},
      {"ScanInProcess", "Scanning the registry", "The ticked sections are being checked. Abort stops the scan.",
       Glyph::Magnifier},
      {"ScanResults", "Scan results", "Tick the problems to repair, then press Repair.", Glyph::ListCheck},
      {"ScanFinish", "Finished", "The list below shows what was done. Finish starts again.", Glyph::Check},
  };
  for (const Step& step : steps) {
    SaveJpegPicture(Heading(step.title, step.subtitle, kPageWidth, kHeadingHeight), step.name);
    if (QString::fromLatin1(step.name) != "ScanInProcess")
      SaveJpegPicture(StepIcon(step.glyph, false, pal::Mist), QString::fromLatin1(step.name) + "1");
  }
  QImage tools = Heading("System tools", "Choose a tool to clean, repair and speed up this computer.", kPageWidth,
                         kHeadingHeight);
  {
    QPainter painter(&tools);
    painter.drawImage(14, 8, StepIcon(Glyph::Toolbox, false, pal::Mist));
  }
  SaveJpegPicture(tools, "ToolsTitle");
  SaveJpegPicture(tools, "ToolsTitle1");

  constexpr int kScanFrames = 50;
  for (int i = 0; i < kScanFrames; ++i)
    Save(ScanningFrame(i, kScanFrames), "gif/ScanInProcess1", QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0')));

  constexpr int kDeleteFrames = 24;
  for (int i = 0; i < kDeleteFrames; ++i)
    Save(DeleteFrame(i, kDeleteFrames), "gif/DeleteFile", QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0')));

  for (const Launcher& launcher : kLaunchers) {
    SaveJpegPicture(StepIcon(launcher.glyph, false, pal::White), launcher.name);
    SaveJpegPicture(StepIcon(launcher.glyph, true, pal::White), QString::fromLatin1(launcher.name) + "1");
  }
  SaveJpegPicture(StepIcon(Glyph::Refresh, false, pal::White), "LiveUpdate");
  SaveJpegPicture(StepIcon(Glyph::Refresh, true, pal::White), "LiveUpdate1");

  const QImage about = AboutTop();
  SaveJpegPicture(about, "AboutTop");
  SaveJpegPicture(about, "AboutTop1");
  const QImage evidence = EvidenceTitle();
  SaveJpegPicture(evidence, "EvidenceTitle");
  SaveJpegPicture(evidence, "EvidenceTitle1");
  SaveJpegPicture(TabBack(false), "BtnBack");
  SaveJpegPicture(TabBack(true), "BtnBack1");

  Save(PopupList(), "png", "PopupImageList");
  Save(StatList(), "png", "StatImageList");
  Save(ProblemsList(), "png", "ProblemsImageList");
  Save(MinMaxList(), "png", "minmaxImageList");
  Save(TreeList(), "png", "TreeImageList");
  Save(LevelList(), "png", "LelvelImageList");
  Save(ButtonList(), "png", "BtnImageList");
  Save(SmallIcons(), "png", "ImageList1");
  Save(SheetList(), "png", "SheetImageList");
  Save(ShellIcons(16), "png", "ShellIcons16");
  Save(ShellIcons(32), "png", "ShellIcons32");
  ProgramIcons();
  return 0;
}
