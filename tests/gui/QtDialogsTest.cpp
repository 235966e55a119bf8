#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

#include "GuiTestApp.h"
#include "shell/gui/QtDialogs.h"

namespace {

// Presses Return in the next message box that opens.
void PressReturnInNextBox() {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer] {
    QWidget* box = QApplication::activeModalWidget();
    if (!box) return;
    timer->stop();
    timer->deleteLater();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(box->focusWidget() ? box->focusWidget() : box, &press);
  });
  timer->start(10);
}

}  // namespace

TEST(QtDialogs, MessageBoxLookFollowsTheFlags) {
  GuiApp();
  const struct {
    unsigned flags;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton;
  } cases[] = {
      {0, QMessageBox::NoIcon, QMessageBox::Ok, QMessageBox::Ok},
      {64, QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok},
      {48, QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok},
      {16, QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok},
      {68, QMessageBox::Information, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes},
      {52, QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes},
      {308, QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No, QMessageBox::No},
  };
  for (const auto& c : cases) {
    QMessageBox box;
    SetUpMessageBox(box, "Text", "Fernwick", c.flags);
    EXPECT_EQ(box.icon(), c.icon) << c.flags;
    EXPECT_EQ(box.standardButtons(), c.buttons) << c.flags;
    ASSERT_NE(box.defaultButton(), nullptr) << c.flags;
    EXPECT_EQ(box.standardButton(box.defaultButton()), c.defaultButton) << c.flags;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Fernwick"));
  }
}

TEST(QtDialogs, MessageTextIsPlainWithOneLinePerCarriageReturn) {
  GuiApp();
  QMessageBox box;
  SetUpMessageBox(box,
                  "There are no updates available at this time.\rYour Fernwick is up-to-date.", "Fernwick", 64);
  EXPECT_EQ(box.text(), QStringLiteral("There are no updates available at this time.\nYour Fernwick is up-to-date."));
  EXPECT_EQ(box.textFormat(), Qt::PlainText);
  QMessageBox keyPath;
  SetUpMessageBox(keyPath, "HKEY_CURRENT_USER\\<b>x</b>", "", 0);
  EXPECT_EQ(keyPath.text(), QStringLiteral("HKEY_CURRENT_USER\\<b>x</b>"));
}

TEST(QtDialogs, ReturnPressesTheDefaultButton) {
  GuiApp();
  QtDialogs dialogs;
  const struct {
    unsigned flags;
    int answer;
  } cases[] = {{308, IDNO}, {52, IDYES}, {68, IDYES}, {48, IDOK}};
  for (const auto& c : cases) {
    PressReturnInNextBox();
    EXPECT_EQ(dialogs.MessageBox("Delete the selected entries?", "Fernwick", c.flags), c.answer) << c.flags;
  }
}
