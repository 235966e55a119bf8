#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GuiTestApp.h"
#include "shell/gui/ImageExUnit.h"
#include "shell/gui/ImageListUnit.h"
#include "shell/gui/PublicFunctionPictures.h"

namespace {

struct Named {
  std::vector<std::string> names;
  QSize size;         // width 0: checked apart
  QSize variantSize = {};  // of the "1" picture when it differs
};

// Every named picture the windows load, with its size; each has a "1" variant
// (the scanning step's "1" is the animation).
const Named kPictures[] = {
    {{"TopBand", "AboutTop"}, {0, 86}},
    {{"Update", "Options", "Help", "About"}, {56, 60}},
    {{"Scan", "Backup", "Advanced"}, {141, 60}},
    {{"LeftBar"}, {141, 260}},
    {{"ScanFirst", "ScanInProcess", "ScanResults", "ScanFinish"}, {590, 64}, {48, 48}},
    {{"ToolsTitle"}, {590, 64}},
    {{"AddRemove", "ProtectPC", "IEPlugins", "ClearHistory", "ErrorUtilities", "BrowserRepair", "SystemClean",
      "Optimize", "RegisterActiveX", "StartupManage", "SysRestore", "TweakRAM", "LiveUpdate"},
     {48, 48}},
    {{"EvidenceTitle"}, {590, 78}},
    {{"BtnBack"}, {71, 28}},
};

}  // namespace

TEST(PictureResources, EveryNamedPictureAndItsVariantDecode) {
  GuiApp();
  for (const Named& group : kPictures) {
    for (const std::string& name : group.names) {
      for (const std::string& variant : {name, name + "1"}) {
        if (variant == "ScanInProcess1") continue;
        const QImage picture = LoadJpegPicture(variant);
        ASSERT_FALSE(picture.isNull()) << variant;
        const QSize expected = variant != name && group.variantSize.isValid() ? group.variantSize : group.size;
        EXPECT_EQ(picture.height(), expected.height()) << variant;
        if (expected.width() > 0) {
          EXPECT_EQ(picture.width(), expected.width()) << variant;
        }
      }
    }
  }
  EXPECT_EQ(LoadJpegPicture("TopBand").width(), 731);
  EXPECT_EQ(LoadJpegPicture("AboutTop").width(), 346);
  EXPECT_TRUE(LoadJpegPicture("NoSuchPicture").isNull());
  EXPECT_TRUE(LoadJpegPicture("Scan", "GIF").isNull());
  EXPECT_FALSE(ProgramIcon().isNull());
}

TEST(PictureResources, ImageListStripsHaveTheirFrames) {
  GuiApp();
  const struct {
    const char* name;
    int width, height, frames;
  } lists[] = {
      {"PopupImageList", 16, 16, 5},   {"StatImageList", 16, 16, 13}, {"ProblemsImageList", 16, 70, 2},
      {"minmaxImageList", 22, 13, 4},  {"TreeImageList", 16, 16, 15}, {"LelvelImageList", 36, 12, 3},
      {"BtnImageList", 110, 29, 2},    {"ImageList1", 21, 21, 4},     {"SheetImageList", 95, 24, 2},
  };
  for (const auto& l : lists) {
    TImageList list(l.width, l.height);
    ASSERT_TRUE(list.LoadStrip(l.name)) << l.name;
    EXPECT_EQ(list.Count(), l.frames) << l.name;
    for (int i = 0; i < list.Count(); ++i) {
      EXPECT_EQ(list.Frame(i).size(), QSize(l.width, l.height)) << l.name << " " << i;
      EXPECT_NE(list.Frame(i), list.Frame(i == 0 ? 1 : 0)) << l.name << " frame " << i << " repeats";
    }
    EXPECT_TRUE(list.Frame(l.frames).isNull());
    EXPECT_TRUE(list.Frame(-1).isNull());
  }
  TImageList wrongHeight(16, 15);
  EXPECT_FALSE(wrongHeight.LoadStrip("StatImageList"));
  EXPECT_EQ(wrongHeight.Count(), 0);
}

TEST(PictureResources, ImageListDrawsFrameIntoClearedPicture) {
  GuiApp();
  TImageList list(16, 16);
  ASSERT_TRUE(list.LoadStrip("StatImageList"));
  TImageEx image;
  image.resize(16, 16);
  image.SetPicture(LoadJpegPicture("Scan"));
  list.DrawInto(&image, 1);
  EXPECT_EQ(image.Picture().size(), QSize(16, 16));
  EXPECT_EQ(image.Picture().convertToFormat(QImage::Format_ARGB32_Premultiplied),
            list.Frame(1).convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

TEST(LoadJpegResource, ReplacesThePictureUnlessTagIsOne) {
  GuiApp();
  TImageEx image;
  EXPECT_TRUE(LoadJpegResource(&image, "Scan", "JPG"));
  EXPECT_EQ(image.Picture(), LoadJpegPicture("Scan"));

  image.Tag = 1;
  EXPECT_FALSE(LoadJpegResource(&image, "Scan1", "JPG"));
  EXPECT_EQ(image.Picture(), LoadJpegPicture("Scan")) << "a Tag of 1 keeps the picture";

  for (int tag : {0, 2, -1}) {
    image.Tag = tag;
    image.SetPicture(LoadJpegPicture("Scan"));
    EXPECT_TRUE(LoadJpegResource(&image, "Scan1", "JPG")) << tag;
    EXPECT_EQ(image.Picture(), LoadJpegPicture("Scan1")) << tag;
  }

  image.Tag = 0;
  EXPECT_FALSE(LoadJpegResource(&image, "Missing", "JPG"));
  EXPECT_FALSE(LoadJpegResource(&image, "Scan", "GIF"));
  EXPECT_EQ(image.Picture(), LoadJpegPicture("Scan1")) << "a missing picture leaves the image as it was";
  EXPECT_FALSE(LoadJpegResource(nullptr, "Scan", "JPG"));
}

TEST(LoadGifResource, PlaysTheAnimationUntilThePictureChanges) {
  GuiApp();
  TImageEx image;
  image.resize(48, 48);
  ASSERT_TRUE(LoadGifResource("ScanInProcess1", &image));
  ASSERT_NE(image.Animation(), nullptr);
  EXPECT_TRUE(image.Animation()->isRunning());
  const int first = image.Animation()->currentIndex();
  EXPECT_TRUE(ProcessEventsUntil([&] { return image.Animation()->currentIndex() != first; }));

  EXPECT_TRUE(LoadJpegResource(&image, "ScanInProcess", "JPG"));
  EXPECT_EQ(image.Animation(), nullptr);
  EXPECT_FALSE(LoadGifResource("Missing", &image));
  EXPECT_EQ(image.Picture(), LoadJpegPicture("ScanInProcess"));
}
