#include <gtest/gtest.h>

#include <QFile>
#include <gif_lib.h>
#include <optional>
#include <vector>

#include "GuiTestApp.h"
#include "shell/gui/GifDecoder.h"
#include "shell/gui/PublicFunctionPictures.h"

namespace {

// Palette of the test GIFs: 0 black, 1 red, 2 green, 3 blue.
const QRgb kColors[] = {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
constexpr QRgb kClear = 0;  // transparent pixel as composed frames hold it

struct TestFrame {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<GifPixelType> pixels;  // width * height palette indexes
  int disposal = DISPOSAL_UNSPECIFIED;
  int transparent = NO_TRANSPARENT_COLOR;
  int delayCs = 5;
  bool interlace = false;
};

TestFrame Solid(int left, int top, int width, int height, GifPixelType index) {
  TestFrame frame{left, top, width, height, {}};
  frame.pixels.assign(static_cast<std::size_t>(width * height), index);
  return frame;
}

int WriteToBuffer(GifFileType* gif, const GifByteType* data, int length) {
  static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
  return length;
}

// Writes a GIF with giflib's encoder; loops is the NETSCAPE loop count, none
// for a file without the looping block.
QByteArray BuildGif(int width, int height, const std::vector<TestFrame>& frames, std::optional<int> loops) {
  QByteArray out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteToBuffer, &error);
  EXPECT_NE(gif, nullptr);
  GifColorType colors[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  ColorMapObject* map = GifMakeMapObject(4, colors);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, width, height, 2, 0, map);
  GifFreeMapObject(map);
  if (loops) {
    const GifByteType block[3] = {1, static_cast<GifByteType>(*loops & 0xFF), static_cast<GifByteType>(*loops >> 8)};
    EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
    EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0");
    EGifPutExtensionBlock(gif, 3, block);
    EGifPutExtensionTrailer(gif);
  }
  for (const TestFrame& frame : frames) {
    GraphicsControlBlock control{frame.disposal, false, frame.delayCs, frame.transparent};
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&control, extension);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension);
    EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, frame.interlace, nullptr);
    std::vector<int> rows;
    if (frame.interlace) {
      for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
        for (int y = start; y < frame.height; y += step) rows.push_back(y);
    } else {
      for (int y = 0; y < frame.height; ++y) rows.push_back(y);
    }
    for (int y : rows) {
      std::vector<GifPixelType> line(frame.pixels.begin() + y * frame.width,
                                     frame.pixels.begin() + (y + 1) * frame.width);
      EGifPutLine(gif, line.data(), frame.width);
    }
  }
  EGifCloseFile(gif, &error);
  return out;
}

QByteArray ResourceBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

TEST(GifDecoder, ComposesFramesByDisposalAndTransparency) {
  TestFrame greenCorner = Solid(0, 0, 2, 2, 2);
  TestFrame holedCorner = greenCorner;
  holedCorner.pixels[0] = 3;
  holedCorner.transparent = 3;
  TestFrame redCleared = Solid(0, 0, 4, 4, 1);
  redCleared.disposal = DISPOSE_BACKGROUND;
  TestFrame greenRestored = greenCorner;
  greenRestored.disposal = DISPOSE_PREVIOUS;

  struct Probe {
    int frame, x, y;
    QRgb color;
  };
  const struct {
    const char* what;
    std::vector<TestFrame> frames;
    std::vector<Probe> probes;
  } cases[] = {
      {"a later frame draws over the earlier one",
       {Solid(0, 0, 4, 4, 1), greenCorner},
       {{0, 0, 0, kColors[1]}, {1, 0, 0, kColors[2]}, {1, 3, 3, kColors[1]}}},
      {"transparent pixels keep what is below",
       {Solid(0, 0, 4, 4, 1), holedCorner},
       {{1, 0, 0, kColors[1]}, {1, 1, 1, kColors[2]}}},
      {"disposal to background clears the frame's area",
       {redCleared, Solid(3, 3, 1, 1, 2)},
       {{0, 0, 0, kColors[1]}, {1, 0, 0, kClear}, {1, 3, 3, kColors[2]}}},
      {"disposal to previous restores what was there",
       {Solid(0, 0, 4, 4, 1), greenRestored, Solid(3, 3, 1, 1, 3)},
       {{1, 0, 0, kColors[2]}, {2, 0, 0, kColors[1]}, {2, 3, 3, kColors[3]}}},
      {"a frame reaching past the screen is clipped",
       {Solid(0, 0, 4, 4, 1), Solid(2, 2, 5, 5, 3)},
       {{1, 3, 3, kColors[3]}, {1, 1, 1, kColors[1]}}},
      {"nothing drawn yet is transparent",
       {Solid(1, 1, 2, 2, 2)},
       {{0, 0, 0, kClear}, {0, 1, 1, kColors[2]}}},
  };
  for (const auto& c : cases) {
    const GifAnimation animation = DecodeGif(BuildGif(4, 4, c.frames, std::nullopt));
    ASSERT_EQ(animation.frames.size(), c.frames.size()) << c.what;
    EXPECT_EQ(animation.size, QSize(4, 4)) << c.what;
    for (const Probe& p : c.probes)
      EXPECT_EQ(animation.frames[static_cast<std::size_t>(p.frame)].pixel(p.x, p.y), p.color)
          << c.what << " at frame " << p.frame << " (" << p.x << "," << p.y << ")";
  }
}

TEST(GifDecoder, ReadsLoopCountAndDelays) {
  std::vector<TestFrame> frames{Solid(0, 0, 2, 2, 1), Solid(0, 0, 2, 2, 2), Solid(0, 0, 2, 2, 3), Solid(0, 0, 2, 2, 1)};
  frames[0].delayCs = 5;
  frames[1].delayCs = 0;
  frames[2].delayCs = 1;
  frames[3].delayCs = 2;
  EXPECT_EQ(DecodeGif(BuildGif(2, 2, frames, std::nullopt)).loopCount, 0);
  EXPECT_EQ(DecodeGif(BuildGif(2, 2, frames, 0)).loopCount, -1);
  const GifAnimation three = DecodeGif(BuildGif(2, 2, frames, 3));
  EXPECT_EQ(three.loopCount, 3);
  EXPECT_EQ(three.delaysMs, (std::vector<int>{50, kDefaultGifDelayMs, kDefaultGifDelayMs, 20}));
}

TEST(GifDecoder, InterlacedFrameMatchesPlainOne) {
  TestFrame plain{0, 0, 3, 11, {}};
  for (int i = 0; i < 33; ++i) plain.pixels.push_back(static_cast<GifPixelType>((i / 3 + i) % 4));
  TestFrame interlaced = plain;
  interlaced.interlace = true;
  const GifAnimation a = DecodeGif(BuildGif(3, 11, {plain}, std::nullopt));
  const GifAnimation b = DecodeGif(BuildGif(3, 11, {interlaced}, std::nullopt));
  ASSERT_FALSE(a.isNull());
  ASSERT_FALSE(b.isNull());
  EXPECT_EQ(a.frames[0], b.frames[0]);
  for (int y = 0; y < 11; ++y)
    EXPECT_EQ(b.frames[0].pixel(1, y), kColors[plain.pixels[static_cast<std::size_t>(y * 3 + 1)]]) << "row " << y;
}

TEST(GifDecoder, DamagedDataGivesNullAnimation) {
  const QByteArray good = ResourceBytes(PictureResourcePath("GIF", "ScanInProcess1"));
  ASSERT_GT(good.size(), 1000);
  QByteArray wide = BuildGif(4, 4, {Solid(0, 0, 4, 4, 1)}, std::nullopt);
  wide[6] = static_cast<char>((kMaxGifSide + 1) & 0xFF);  // logical screen width
  wide[7] = static_cast<char>((kMaxGifSide + 1) >> 8);
  const struct {
    const char* what;
    QByteArray bytes;
  } cases[] = {
      {"empty", QByteArray()},
      {"signature only", QByteArray("GIF89a")},
      {"not a GIF", QByteArray("\xFF\xD8\xFF\xE0 jpeg bytes", 14)},
      {"header and palette only", good.left(40)},
      {"cut inside the first frame", good.left(200)},
      {"cut in the middle", good.left(good.size() / 2)},
      {"trailer missing", good.left(good.size() - 1)},
      {"screen too wide", wide},
  };
  for (const auto& c : cases) EXPECT_TRUE(DecodeGif(c.bytes).isNull()) << c.what;
}

TEST(GifDecoder, ScanningAnimationHasFiftyOpaqueFramesThatLoop) {
  const std::shared_ptr<const GifAnimation> animation = LoadGifAnimation("ScanInProcess1");
  ASSERT_TRUE(animation);
  EXPECT_EQ(animation->size, QSize(48, 48));
  ASSERT_EQ(animation->frames.size(), 50u);
  EXPECT_EQ(animation->loopCount, -1);
  for (std::size_t i = 0; i < animation->frames.size(); ++i) {
    const QImage& frame = animation->frames[i];
    EXPECT_EQ(animation->delaysMs[i], 40);
    // The file stores only what changes between frames; composed frames
    // must still be whole pictures.
    bool opaque = true;
    for (int y = 0; y < frame.height() && opaque; ++y)
      for (int x = 0; x < frame.width() && opaque; ++x) opaque = qAlpha(frame.pixel(x, y)) == 255;
    EXPECT_TRUE(opaque) << "frame " << i;
    if (i > 0) {
      EXPECT_NE(frame, animation->frames[i - 1]) << "frame " << i;
    }
  }
}

TEST(GifPlayer, StepsThroughPassesAndStops) {
  auto animation = std::make_shared<GifAnimation>(
      DecodeGif(BuildGif(2, 2, {Solid(0, 0, 2, 2, 1), Solid(0, 0, 2, 2, 2)}, 1)));
  ASSERT_EQ(animation->loopCount, 1);
  GifPlayer once(animation);
  std::vector<int> seen;
  while (once.advance()) seen.push_back(once.currentIndex());
  EXPECT_EQ(seen, (std::vector<int>{1, 0, 1}));

  auto endless = std::make_shared<GifAnimation>(*animation);
  endless->loopCount = -1;
  GifPlayer looping(endless);
  for (int i = 0; i < 101; ++i) ASSERT_TRUE(looping.advance());
  EXPECT_EQ(looping.currentIndex(), 1);
  EXPECT_EQ(looping.currentFrame().pixel(0, 0), kColors[2]);
}

TEST(GifPlayer, TimerShowsFramesInTurn) {
  GuiApp();
  auto animation = std::make_shared<GifAnimation>(DecodeGif(
      BuildGif(2, 2, {Solid(0, 0, 2, 2, 1), Solid(0, 0, 2, 2, 2), Solid(0, 0, 2, 2, 3)}, 0)));
  for (int& delay : animation->delaysMs) delay = kMinGifDelayMs;
  GifPlayer player(animation);
  std::vector<int> seen;
  QObject::connect(&player, &GifPlayer::frameChanged, [&](int index) { seen.push_back(index); });
  player.start();
  EXPECT_TRUE(player.isRunning());
  EXPECT_TRUE(ProcessEventsUntil([&] { return seen.size() >= 4; }));
  player.stop();
  ASSERT_GE(seen.size(), 4u);
  EXPECT_EQ(std::vector<int>(seen.begin(), seen.begin() + 4), (std::vector<int>{1, 2, 0, 1}));
}
