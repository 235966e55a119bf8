#pragma once
// TImageEx: the picture control of every window. It shows a still picture
// (or an animation), can be drawn on, carries a Tag, and reports clicks,
// presses and the mouse entering and leaving.

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <functional>
#include <memory>

#include "shell/gui/GifDecoder.h"

using TNotifyEvent = std::function<void(QObject* sender)>;
using TMouseEvent = std::function<void(QObject* sender, Qt::MouseButton button, QPoint position)>;

class TImageEx : public QWidget {
  Q_OBJECT
 public:
  explicit TImageEx(QWidget* owner = nullptr);

  int Tag = 0;
  TNotifyEvent OnClick;       // left button pressed and released over the control
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TMouseEvent OnMouseDown;

  // The still picture (null when cleared). Setting one stops an animation.
  const QImage& Picture() const { return picture_; }
  void SetPicture(const QImage& picture);
  void ClearPicture();
  bool HasPicture() const { return !picture_.isNull() || player_ != nullptr; }

  // Plays an animation until the picture is cleared or replaced.
  void SetAnimation(std::shared_ptr<const GifAnimation> animation);
  GifPlayer* Animation() const { return player_; }

  // Draws on the picture; an empty picture first becomes a transparent one of
  // the control's size. The font is CanvasFont().
  void DrawOnCanvas(const std::function<void(QPainter&)>& draw);
  QFont& CanvasFont() { return canvasFont_; }

  // Picture placement: top left (default), centred, or stretched to fill.
  void SetCenter(bool center);
  void SetStretch(bool stretch);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void StopAnimation();
  const QImage& Shown() const;

  QImage picture_;
  GifPlayer* player_ = nullptr;  // child object
  QFont canvasFont_;
  bool center_ = false;
  bool stretch_ = false;
  bool pressed_ = false;
};
