#pragma once
// JPEG decoding with libjpeg into QImage.

#include <QByteArray>
#include <QImage>

// The decoded picture (Format_RGB32), or a null image when the data is not a
// complete, sound JPEG: errors and corrupt-data warnings both fail, so a
// damaged picture never shows half-decoded. Pictures larger than
// kMaxJpegSide on a side are refused.
QImage DecodeJpeg(const QByteArray& data);

constexpr int kMaxJpegSide = 16384;
