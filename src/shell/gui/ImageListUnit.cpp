#include "shell/gui/ImageListUnit.h"

#include "shell/gui/ImageExUnit.h"
#include "shell/gui/PublicFunctionPictures.h"

bool TImageList::LoadStrip(const std::string& name) {
  QImage strip;
  if (!strip.load(PictureResourcePath("ImageList", name), "PNG")) return false;
  return SetStrip(strip);
}

bool TImageList::SetStrip(const QImage& strip) {
  if (strip.isNull() || width_ <= 0 || height_ <= 0 || strip.height() != height_ ||
      strip.width() % width_ != 0)
    return false;
  const QImage argb = strip.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  frames_.clear();
  for (int x = 0; x < argb.width(); x += width_) frames_.push_back(argb.copy(x, 0, width_, height_));
  return true;
}

QImage TImageList::Frame(int index) const {
  if (index < 0 || index >= Count()) return {};
  return frames_[static_cast<std::size_t>(index)];
}

QIcon TImageList::Icon(int index) const {
  const QImage frame = Frame(index);
  return frame.isNull() ? QIcon() : QIcon(QPixmap::fromImage(frame));
}

void TImageList::Draw(QPainter& painter, int x, int y, int index) const {
  const QImage frame = Frame(index);
  if (!frame.isNull()) painter.drawImage(QPoint(x, y), frame);
}

void TImageList::DrawInto(TImageEx* image, int index) const {
  if (!image) return;
  QImage canvas(image->size().expandedTo(QSize(width_, height_)), QImage::Format_ARGB32_Premultiplied);
  canvas.fill(Qt::transparent);
  {
    QPainter painter(&canvas);
    Draw(painter, 0, 0, index);
  }
  image->SetPicture(canvas);
}
