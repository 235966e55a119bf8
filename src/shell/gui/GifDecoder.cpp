#include "shell/gui/GifDecoder.h"

#include <algorithm>
#include <cstring>

#include <gif_lib.h>

namespace {

struct MemoryReader {
  const QByteArray* data;
  qsizetype position = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int length) {
  auto* reader = static_cast<MemoryReader*>(gif->UserData);
  const qsizetype left = reader->data->size() - reader->position;
  const int count = static_cast<int>(std::min<qsizetype>(left, length));
  if (count > 0) {
    std::memcpy(buffer, reader->data->constData() + reader->position, static_cast<std::size_t>(count));
    reader->position += count;
  }
  return count;
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};

// Loop count of a "NETSCAPE2.0" (or "ANIMEXTS1.0") block: the application
// block followed by a sub-block 1, count low, count high. 0 means forever.
bool FindLoopCount(const ExtensionBlock* blocks, int count, int& loops) {
  for (int i = 0; i + 1 < count; ++i) {
    const ExtensionBlock& app = blocks[i];
    if (app.Function != APPLICATION_EXT_FUNC_CODE || app.ByteCount != 11) continue;
    if (std::memcmp(app.Bytes, "NETSCAPE2.0", 11) != 0 && std::memcmp(app.Bytes, "ANIMEXTS1.0", 11) != 0)
      continue;
    const ExtensionBlock& sub = blocks[i + 1];
    if (sub.Function != CONTINUE_EXT_FUNC_CODE || sub.ByteCount < 3 || sub.Bytes[0] != 1) continue;
    loops = sub.Bytes[1] | (sub.Bytes[2] << 8);
    return true;
  }
  return false;
}

int LoopCountOf(const GifFileType& gif) {
  int loops = 0;
  for (int i = 0; i < gif.ImageCount; ++i) {
    const SavedImage& image = gif.SavedImages[i];
    if (FindLoopCount(image.ExtensionBlocks, image.ExtensionBlockCount, loops))
      return loops == 0 ? -1 : loops;
  }
  return 0;
}

// Draws one frame's pixels onto the canvas, clipped to it.
bool DrawFrame(const GifFileType& gif, const SavedImage& image, int transparent, QImage& canvas) {
  const GifImageDesc& desc = image.ImageDesc;
  const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif.SColorMap;
  if (!map || !map->Colors || !image.RasterBits) return false;
  const int left = std::max(0, desc.Left);
  const int top = std::max(0, desc.Top);
  const int right = std::min(canvas.width(), desc.Left + desc.Width);
  const int bottom = std::min(canvas.height(), desc.Top + desc.Height);
  for (int y = top; y < bottom; ++y) {
    const GifByteType* source = image.RasterBits + static_cast<std::size_t>(y - desc.Top) * desc.Width;
    auto* line = reinterpret_cast<QRgb*>(canvas.scanLine(y));
    for (int x = left; x < right; ++x) {
      const int index = source[x - desc.Left];
      if (index == transparent || index >= map->ColorCount) continue;
      const GifColorType& c = map->Colors[index];
      line[x] = qRgb(c.Red, c.Green, c.Blue);
    }
  }
  return true;
}

void ClearRect(QImage& canvas, const GifImageDesc& desc) {
  const int left = std::max(0, desc.Left);
  const int top = std::max(0, desc.Top);
  const int right = std::min(canvas.width(), desc.Left + desc.Width);
  const int bottom = std::min(canvas.height(), desc.Top + desc.Height);
  for (int y = top; y < bottom; ++y) {
    auto* line = reinterpret_cast<QRgb*>(canvas.scanLine(y));
    std::fill(line + left, line + std::max(left, right), qRgba(0, 0, 0, 0));
  }
}

}  // namespace

GifAnimation DecodeGif(const QByteArray& data) {
  if (data.isEmpty()) return {};
  MemoryReader reader{&data};
  int error = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, ReadFromMemory, &error));
  if (!gif) return {};
  if (gif->SWidth <= 0 || gif->SHeight <= 0 || gif->SWidth > kMaxGifSide || gif->SHeight > kMaxGifSide)
    return {};
  if (DGifSlurp(gif.get()) != GIF_OK || gif->ImageCount <= 0) return {};

  QImage canvas(gif->SWidth, gif->SHeight, QImage::Format_ARGB32);
  if (canvas.isNull()) return {};
  canvas.fill(Qt::transparent);
  GifAnimation result;
  result.size = canvas.size();
  result.loopCount = LoopCountOf(*gif);
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    DGifSavedExtensionToGCB(gif.get(), i, &control);
    const QImage before = control.DisposalMode == DISPOSE_PREVIOUS ? canvas.copy() : QImage();
    if (!DrawFrame(*gif, image, control.TransparentColor, canvas)) return {};
    result.frames.push_back(canvas.copy());
    const int delay = control.DelayTime * 10;
    result.delaysMs.push_back(delay < kMinGifDelayMs ? kDefaultGifDelayMs : delay);
    if (control.DisposalMode == DISPOSE_BACKGROUND)
      ClearRect(canvas, image.ImageDesc);
    else if (control.DisposalMode == DISPOSE_PREVIOUS)
      canvas = before;
  }
  return result;
}

GifPlayer::GifPlayer(std::shared_ptr<const GifAnimation> animation, QObject* parent)
    : QObject(parent), animation_(std::move(animation)) {
  if (!animation_) animation_ = std::make_shared<const GifAnimation>();
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (advance()) scheduleCurrent();
  });
}

const QImage& GifPlayer::currentFrame() const {
  static const QImage none;
  return animation_->isNull() ? none : animation_->frames[static_cast<std::size_t>(index_)];
}

void GifPlayer::start() {
  if (animation_->frames.size() < 2) return;
  scheduleCurrent();
}

void GifPlayer::stop() { timer_.stop(); }

bool GifPlayer::advance() {
  const int count = static_cast<int>(animation_->frames.size());
  if (count < 2) return false;
  if (index_ + 1 < count) {
    ++index_;
  } else {
    const int loops = animation_->loopCount;
    if (loops >= 0 && passesDone_ >= loops) {
      timer_.stop();
      return false;
    }
    ++passesDone_;
    index_ = 0;
  }
  emit frameChanged(index_);
  return true;
}

void GifPlayer::scheduleCurrent() {
  timer_.start(animation_->delaysMs[static_cast<std::size_t>(index_)]);
}
