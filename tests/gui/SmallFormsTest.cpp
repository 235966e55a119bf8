#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QPushButton>
#include <QTimer>

#include "GuiTestApp.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/gui/AboutUnit.h"
#include "shell/gui/HintUnit.h"
#include "shell/gui/ImageExUnit.h"
#include "shell/gui/PublicFunctionPictures.h"
#include "shell/gui/ShowLiveUpdateForm.h"

TEST(TAboutForm, ShowsVersionHomePageAndClosesWithOk) {
  GuiApp();
  Settings.HomePage = "http://www.fernwick.invalid/";
  TAboutForm form;
  EXPECT_EQ(form.windowTitle(), QStringLiteral("About"));
  EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(form.size(), QSize(346, 207));
  EXPECT_EQ(form.abVersion->text(), QStringLiteral("Ver 4.0"));
  EXPECT_TRUE(form.abVersion->isHidden());
  EXPECT_EQ(form.abHomeBtn->text(), QStringLiteral("http://www.fernwick.invalid/"));
  EXPECT_EQ(form.abHomeBtn->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(form.TopImage->Picture(), LoadJpegPicture("AboutTop"));
  EXPECT_EQ(form.OKBtn->text(), QStringLiteral("OK"));
  EXPECT_TRUE(form.OKBtn->isDefault());

  QTimer::singleShot(0, form.OKBtn, &QPushButton::click);
  EXPECT_EQ(form.exec(), QDialog::Accepted);
}

TEST(TAboutForm, LinkTurnsBlueAndUnderlinedUnderTheMouse) {
  GuiApp();
  TAboutForm form;
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QCoreApplication::sendEvent(form.abHomeBtn, &enter);
  EXPECT_TRUE(form.abHomeBtn->font().underline());
  EXPECT_EQ(form.abHomeBtn->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(form.abHomeBtn, &leave);
  EXPECT_FALSE(form.abHomeBtn->font().underline());
  EXPECT_EQ(form.abHomeBtn->palette().color(QPalette::WindowText), QColor(0, 0, 0));
}

TEST(THintForm, ShowsTitleAndMessage) {
  GuiApp();
  THintForm plain;
  EXPECT_EQ(plain.windowTitle(), QStringLiteral("Hint"));
  EXPECT_EQ(plain.PanelHint->text(), QStringLiteral("Hint"));
  EXPECT_EQ(plain.PanelHint->height(), 17);

  THintForm hint("Registry Backup", "Please wait until the backup operation is finished.");
  EXPECT_EQ(hint.windowTitle(), QStringLiteral("Registry Backup"));
  EXPECT_EQ(hint.PanelHint->text(), QStringLiteral("Registry Backup"));
  EXPECT_EQ(hint.LabelMsg->text(), QStringLiteral("Please wait until the backup operation is finished."));
  EXPECT_EQ(hint.LabelMsg->alignment(), Qt::AlignCenter);
  EXPECT_EQ(hint.LabelMsg->width(), 318);
  EXPECT_EQ(hint.PanelHint->height() + hint.LabelMsg->height(), 57);
  EXPECT_TRUE(hint.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(hint.windowFlags() & Qt::FramelessWindowHint);
  hint.SetMessage("Please wait while the related data is being loaded.");
  EXPECT_EQ(hint.LabelMsg->text(), QStringLiteral("Please wait while the related data is being loaded."));
  hint.show();
  EXPECT_TRUE(hint.isVisible());
}

TEST(TShowLiveUpdateForm, IsTheWaitWindow) {
  GuiApp();
  TShowLiveUpdateForm form;
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Live Update"));
  EXPECT_EQ(form.size(), QSize(367, 129));
  EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(form.Label1->text(), QStringLiteral("Checking the latest version, please wait..."));
  EXPECT_TRUE(form.Image1->HasPicture());
}
