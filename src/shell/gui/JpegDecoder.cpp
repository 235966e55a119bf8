#include "shell/gui/JpegDecoder.h"

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

#include <jpeglib.h>

namespace {

// libjpeg reports fatal errors through error_exit, which must not return:
// it jumps back to the decoder, which then gives up cleanly.
struct JpegErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

[[noreturn]] void JpegErrorExit(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  std::longjmp(manager->jump, 1);
}

// Warnings (corrupt data, premature end) are counted by libjpeg in
// num_warnings; nothing is printed.
void JpegEmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0) ++cinfo->err->num_warnings;
}

void JpegOutputMessage(j_common_ptr) {}

// Everything the decoder touches after setjmp lives here, behind a pointer
// that does not change, so its state is well defined after a jump.
struct JpegJob {
  jpeg_decompress_struct cinfo{};
  JpegErrorManager error{};
  QImage image;
  std::vector<unsigned char> row;
  bool created = false;
};

void ConvertCmykRow(const unsigned char* cmyk, QRgb* out, int width, bool inverted) {
  for (int x = 0; x < width; ++x) {
    int c = cmyk[4 * x], m = cmyk[4 * x + 1], y = cmyk[4 * x + 2], k = cmyk[4 * x + 3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    out[x] = qRgb(c * k / 255, m * k / 255, y * k / 255);
  }
}

bool Decode(JpegJob& job, const QByteArray& data) {
  jpeg_decompress_struct& cinfo = job.cinfo;
  cinfo.err = jpeg_std_error(&job.error.pub);
  job.error.pub.error_exit = JpegErrorExit;
  job.error.pub.emit_message = JpegEmitMessage;
  job.error.pub.output_message = JpegOutputMessage;
  if (setjmp(job.error.jump)) return false;

  jpeg_create_decompress(&cinfo);
  job.created = true;
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.constData()),
               static_cast<unsigned long>(data.size()));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) return false;
  if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > kMaxJpegSide ||
      cinfo.image_height > kMaxJpegSide)
    return false;

  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != 4) return false;

  const int width = static_cast<int>(cinfo.output_width);
  const int height = static_cast<int>(cinfo.output_height);
  job.image = QImage(width, height, QImage::Format_RGB32);
  if (job.image.isNull()) return false;
  job.row.resize(static_cast<std::size_t>(width) * 4);
  while (cinfo.output_scanline < cinfo.output_height) {
    const int y = static_cast<int>(cinfo.output_scanline);
    auto* line = reinterpret_cast<QRgb*>(job.image.scanLine(y));
    JSAMPROW target = cmyk ? job.row.data() : reinterpret_cast<JSAMPROW>(line);
    if (jpeg_read_scanlines(&cinfo, &target, 1) != 1) return false;
    if (cmyk) ConvertCmykRow(job.row.data(), line, width, cinfo.saw_Adobe_marker);
  }
  jpeg_finish_decompress(&cinfo);
  return job.error.pub.num_warnings == 0;
}

}  // namespace

QImage DecodeJpeg(const QByteArray& data) {
  if (data.isEmpty()) return {};
  auto job = std::make_unique<JpegJob>();
  const bool ok = Decode(*job, data);
  if (job->created) jpeg_destroy_decompress(&job->cinfo);
  if (!ok) return {};
  return std::move(job->image);
}
