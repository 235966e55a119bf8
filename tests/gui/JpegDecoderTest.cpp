#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>

#include "GuiTestApp.h"
#include "shell/gui/JpegDecoder.h"
#include "shell/gui/PublicFunctionPictures.h"

namespace {

QByteArray ResourceBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

QByteArray EncodeWithQt(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPG", 100);
  return bytes;
}

void ExpectColorNear(QRgb actual, int r, int g, int b, int tolerance = 8) {
  EXPECT_NEAR(qRed(actual), r, tolerance);
  EXPECT_NEAR(qGreen(actual), g, tolerance);
  EXPECT_NEAR(qBlue(actual), b, tolerance);
}

// Offset of the SOFn segment's height field.
qsizetype FrameHeaderSizeOffset(const QByteArray& jpeg) {
  for (qsizetype i = 2; i + 9 < jpeg.size(); ++i) {
    const auto marker = static_cast<unsigned char>(jpeg[i + 1]);
    if (static_cast<unsigned char>(jpeg[i]) == 0xFF && marker >= 0xC0 && marker <= 0xC2) return i + 5;
  }
  return -1;
}

}  // namespace

TEST(JpegDecoder, KeepsColoursAndSize) {
  GuiApp();
  QImage source(20, 12, QImage::Format_RGB32);
  source.fill(QColor(200, 40, 90));
  const QByteArray jpeg = EncodeWithQt(source);
  ASSERT_FALSE(jpeg.isEmpty()) << "Qt's JPEG writer is missing";
  const QImage decoded = DecodeJpeg(jpeg);
  ASSERT_FALSE(decoded.isNull());
  EXPECT_EQ(decoded.size(), QSize(20, 12));
  ExpectColorNear(decoded.pixel(10, 6), 200, 40, 90);
}

TEST(JpegDecoder, GrayAndCmykPicturesComeOutAsRgb) {
  GuiApp();
  QImage gray(8, 8, QImage::Format_Grayscale8);
  gray.fill(QColor(120, 120, 120));
  const QImage fromGray = DecodeJpeg(EncodeWithQt(gray));
  ASSERT_FALSE(fromGray.isNull());
  ExpectColorNear(fromGray.pixel(4, 4), 120, 120, 120);

  const QByteArray cmyk = ResourceBytes(QStringLiteral(FW_SOURCE_DIR "/tests/gui/data/cmyk-red.jpg"));
  ASSERT_FALSE(cmyk.isEmpty());
  const QImage fromCmyk = DecodeJpeg(cmyk);
  ASSERT_FALSE(fromCmyk.isNull());
  ExpectColorNear(fromCmyk.pixel(4, 4), 220, 30, 30, 20);
}

TEST(JpegDecoder, DamagedDataGivesNullImage) {
  const QByteArray good = ResourceBytes(PictureResourcePath("JPG", "TopBand"));
  ASSERT_GT(good.size(), 1000);
  QByteArray endInScan = good;
  endInScan.replace(good.size() / 2, 2, QByteArray("\xFF\xD9", 2));
  QByteArray badMarker = good;
  badMarker.replace(good.size() / 2, 2, QByteArray("\xFF\x01", 2));
  const struct {
    const char* what;
    QByteArray bytes;
  } cases[] = {
      {"empty", QByteArray()},
      {"start marker only", QByteArray("\xFF\xD8", 2)},
      {"not a JPEG", QByteArray("GIF89a not a jpeg at all")},
      {"header only", good.left(300)},
      {"cut in half", good.left(good.size() / 2)},
      {"cut before the end marker", good.left(good.size() - 2)},
      {"end marker inside the scan", endInScan},
      {"bad marker inside the scan", badMarker},
  };
  for (const auto& c : cases) EXPECT_TRUE(DecodeJpeg(c.bytes).isNull()) << c.what;
}

TEST(JpegDecoder, RefusesOversizedPictures) {
  QByteArray jpeg = ResourceBytes(PictureResourcePath("JPG", "Scan"));
  const qsizetype at = FrameHeaderSizeOffset(jpeg);
  ASSERT_GT(at, 0);
  ASSERT_FALSE(DecodeJpeg(jpeg).isNull());
  const int side = kMaxJpegSide + 1;
  jpeg[at] = static_cast<char>(side >> 8);  // height
  jpeg[at + 1] = static_cast<char>(side & 0xFF);
  EXPECT_TRUE(DecodeJpeg(jpeg).isNull());
}
