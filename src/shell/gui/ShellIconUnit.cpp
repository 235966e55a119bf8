#include "shell/gui/ShellIconUnit.h"

#include "shell/gui/ImageListUnit.h"

namespace {

const TImageList& Strip(bool large) {
  static const TImageList small = [] {
    TImageList list(16, 16);
    list.LoadStrip("ShellIcons16");
    return list;
  }();
  static const TImageList big = [] {
    TImageList list(32, 32);
    list.LoadStrip("ShellIcons32");
    return list;
  }();
  return large ? big : small;
}

}  // namespace

QImage ShellIconImage(win::HICON icon, bool large) {
  const win::StockIcon kind = win::IconKind(icon);
  if (kind == win::StockIcon::None) return {};
  return Strip(large).Frame(static_cast<int>(kind));
}
