#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QMouseEvent>

#include "GuiTestApp.h"
#include "shell/gui/ImageExUnit.h"

namespace {

void SendEnter(QWidget& widget) {
  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QCoreApplication::sendEvent(&widget, &enter);
}

void SendLeave(QWidget& widget) {
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(&widget, &leave);
}

void SendMouse(QWidget& widget, QEvent::Type type, Qt::MouseButton button, QPointF at) {
  QMouseEvent event(type, at, widget.mapToGlobal(at), button,
                    type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
  QCoreApplication::sendEvent(&widget, &event);
}

}  // namespace

TEST(TImageEx, EnterAndLeaveFireOnceEachWithTheControl) {
  GuiApp();
  TImageEx image;
  std::vector<std::pair<std::string, QObject*>> calls;
  image.OnMouseEnter = [&](QObject* sender) { calls.emplace_back("enter", sender); };
  image.OnMouseLeave = [&](QObject* sender) { calls.emplace_back("leave", sender); };
  SendEnter(image);
  SendLeave(image);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], std::make_pair(std::string("enter"), static_cast<QObject*>(&image)));
  EXPECT_EQ(calls[1], std::make_pair(std::string("leave"), static_cast<QObject*>(&image)));
}

TEST(TImageEx, WithoutHandlersBehavesLikeAPlainPicture) {
  GuiApp();
  TImageEx image;
  image.resize(30, 30);
  SendEnter(image);
  SendMouse(image, QEvent::MouseButtonPress, Qt::LeftButton, {5, 5});
  SendMouse(image, QEvent::MouseButtonRelease, Qt::LeftButton, {5, 5});
  SendLeave(image);
  EXPECT_FALSE(image.HasPicture());
  EXPECT_EQ(image.Tag, 0);
}

TEST(TImageEx, ClickNeedsLeftPressAndReleaseInside) {
  GuiApp();
  TImageEx image;
  image.resize(30, 30);
  int clicks = 0;
  std::vector<Qt::MouseButton> presses;
  image.OnClick = [&](QObject*) { ++clicks; };
  image.OnMouseDown = [&](QObject*, Qt::MouseButton button, QPoint) { presses.push_back(button); };

  SendMouse(image, QEvent::MouseButtonPress, Qt::LeftButton, {5, 5});
  SendMouse(image, QEvent::MouseButtonRelease, Qt::LeftButton, {6, 6});
  EXPECT_EQ(clicks, 1);
  SendMouse(image, QEvent::MouseButtonPress, Qt::LeftButton, {5, 5});
  SendMouse(image, QEvent::MouseButtonRelease, Qt::LeftButton, {50, 5});
  EXPECT_EQ(clicks, 1) << "released outside";
  SendMouse(image, QEvent::MouseButtonPress, Qt::RightButton, {5, 5});
  SendMouse(image, QEvent::MouseButtonRelease, Qt::RightButton, {5, 5});
  EXPECT_EQ(clicks, 1) << "right button";
  EXPECT_EQ(presses, (std::vector<Qt::MouseButton>{Qt::LeftButton, Qt::LeftButton, Qt::RightButton}));
}

TEST(TImageEx, CanvasStartsTransparentAtControlSize) {
  GuiApp();
  TImageEx image;
  image.resize(40, 20);
  image.DrawOnCanvas([](QPainter& painter) { painter.fillRect(0, 0, 10, 10, Qt::red); });
  ASSERT_EQ(image.Picture().size(), QSize(40, 20));
  EXPECT_EQ(image.Picture().pixel(5, 5), qRgb(255, 0, 0));
  EXPECT_EQ(qAlpha(image.Picture().pixel(30, 15)), 0);
  image.ClearPicture();
  EXPECT_FALSE(image.HasPicture());
}
