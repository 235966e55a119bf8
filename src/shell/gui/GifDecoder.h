#pragma once
// Animated GIF decoding with giflib, and a player that steps through the
// frames with a timer.

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QTimer>
#include <memory>
#include <vector>

struct GifAnimation {
  QSize size;
  // Fully composed frames (Format_ARGB32, transparent where nothing was
  // drawn), one per image of the file, with their display times.
  std::vector<QImage> frames;
  std::vector<int> delaysMs;
  // Times the animation repeats after the first pass; -1 forever. A file
  // without a looping extension plays once (0).
  int loopCount = 0;

  bool isNull() const { return frames.empty(); }
};

// Null animation when the data is not a complete, sound GIF, or when the
// picture is larger than kMaxGifSide on a side.
GifAnimation DecodeGif(const QByteArray& data);

constexpr int kMaxGifSide = 4096;
// Frames asking for less than this (0 and 10 ms are common) get kDefaultGifDelayMs.
constexpr int kMinGifDelayMs = 20;
constexpr int kDefaultGifDelayMs = 100;

// Plays a decoded animation: currentFrame() changes and frameChanged fires
// at each frame's time; stops after the last pass unless it loops forever.
class GifPlayer : public QObject {
  Q_OBJECT
 public:
  explicit GifPlayer(std::shared_ptr<const GifAnimation> animation, QObject* parent = nullptr);

  void start();
  void stop();
  bool isRunning() const { return timer_.isActive(); }
  int currentIndex() const { return index_; }
  const QImage& currentFrame() const;
  const GifAnimation& animation() const { return *animation_; }
  // Moves to the next frame as the timer would; false when the animation has ended.
  bool advance();

 signals:
  void frameChanged(int index);

 private:
  void scheduleCurrent();

  std::shared_ptr<const GifAnimation> animation_;
  QTimer timer_;
  int index_ = 0;
  int passesDone_ = 0;
};
