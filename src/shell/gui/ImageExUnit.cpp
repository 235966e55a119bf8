#include "shell/gui/ImageExUnit.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPaintEvent>

TImageEx::TImageEx(QWidget* owner) : QWidget(owner), canvasFont_(font()) {}

void TImageEx::SetPicture(const QImage& picture) {
  StopAnimation();
  picture_ = picture;
  update();
}

void TImageEx::ClearPicture() {
  StopAnimation();
  picture_ = QImage();
  update();
}

void TImageEx::SetAnimation(std::shared_ptr<const GifAnimation> animation) {
  StopAnimation();
  picture_ = QImage();
  if (animation && !animation->isNull()) {
    player_ = new GifPlayer(std::move(animation), this);
    connect(player_, &GifPlayer::frameChanged, this, qOverload<>(&QWidget::update));
    player_->start();
  }
  update();
}

void TImageEx::StopAnimation() {
  if (!player_) return;
  player_->stop();
  delete player_;
  player_ = nullptr;
}

const QImage& TImageEx::Shown() const { return player_ ? player_->currentFrame() : picture_; }

void TImageEx::DrawOnCanvas(const std::function<void(QPainter&)>& draw) {
  if (player_) {
    QImage frame = player_->currentFrame();
    StopAnimation();
    picture_ = frame;
  }
  if (picture_.isNull()) {
    picture_ = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    picture_.fill(Qt::transparent);
  } else if (picture_.format() != QImage::Format_ARGB32_Premultiplied &&
             picture_.format() != QImage::Format_RGB32) {
    picture_ = picture_.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  }
  {
    QPainter painter(&picture_);
    painter.setFont(canvasFont_);
    draw(painter);
  }
  update();
}

void TImageEx::SetCenter(bool center) {
  center_ = center;
  update();
}

void TImageEx::SetStretch(bool stretch) {
  stretch_ = stretch;
  update();
}

QSize TImageEx::sizeHint() const {
  const QImage& shown = Shown();
  return shown.isNull() ? QSize(105, 105) : shown.size();
}

void TImageEx::paintEvent(QPaintEvent*) {
  const QImage& shown = Shown();
  if (shown.isNull()) return;
  QPainter painter(this);
  if (stretch_) {
    painter.drawImage(rect(), shown);
  } else if (center_) {
    painter.drawImage(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
  } else {
    painter.drawImage(QPoint(0, 0), shown);
  }
}

void TImageEx::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  if (OnMouseEnter) OnMouseEnter(this);
}

void TImageEx::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  if (OnMouseLeave) OnMouseLeave(this);
}

void TImageEx::mousePressEvent(QMouseEvent* event) {
  QWidget::mousePressEvent(event);
  pressed_ = event->button() == Qt::LeftButton;
  if (OnMouseDown) OnMouseDown(this, event->button(), event->position().toPoint());
}

void TImageEx::mouseReleaseEvent(QMouseEvent* event) {
  QWidget::mouseReleaseEvent(event);
  const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  if (click && OnClick) OnClick(this);
}
