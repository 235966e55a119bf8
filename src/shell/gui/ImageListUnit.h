#pragma once
// TImageList: equal-sized frames cut from one horizontal strip picture
// (the strips are resources ":/ImageList/<name>").

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <string>
#include <vector>

class TImageEx;

class TImageList {
 public:
  TImageList(int width, int height) : width_(width), height_(height) {}

  // Replaces the frames by those of the strip resource; false when it is
  // missing or its size is not a whole number of frames.
  bool LoadStrip(const std::string& name);
  bool SetStrip(const QImage& strip);

  int Width() const { return width_; }
  int Height() const { return height_; }
  int Count() const { return static_cast<int>(frames_.size()); }
  // Null for an index outside 0..Count-1.
  QImage Frame(int index) const;
  QIcon Icon(int index) const;
  // Draws a frame at (x, y); nothing for an unknown index.
  void Draw(QPainter& painter, int x, int y, int index) const;
  // Clears the image's picture and draws the frame into it.
  void DrawInto(TImageEx* image, int index) const;

 private:
  int width_;
  int height_;
  std::vector<QImage> frames_;
};
