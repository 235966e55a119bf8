#include "platform/registry/RegFileStrings.h"

#include <algorithm>
#include <string>

#include "platform/text/TextCodec.h"

namespace win::regfile {

namespace {

using Bytes = std::vector<std::uint8_t>;

bool EndsWithZeroUnit(const Bytes& data) {
  const std::size_t n = data.size();
  return n >= 2 && data[n - 1] == 0 && data[n - 2] == 0;
}

}  // namespace

bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

Bytes StringListData(bool ansi, const Bytes& list, unsigned codePage) {
  if (list.empty()) return list;
  if (!ansi) {
    // Odd lengths are no UTF-16 text; they stay as written.
    if (list.size() % 2 != 0 || EndsWithZeroUnit(list)) return list;
    Bytes out = list;
    out.insert(out.end(), {0, 0});
    return out;
  }
  // Each zero byte ends one ANSI string; the last one gets its zero.
  Bytes out;
  out.reserve(list.size() * 2 + 2);
  auto start = list.begin();
  while (start != list.end()) {
    const auto end = std::find(start, list.end(), 0);
    if (end != start) {
      const Bytes units = Utf8ToUtf16LeBytes(AnsiToUtf8(std::string(start, end), codePage), false);
      out.insert(out.end(), units.begin(), units.end());
    }
    out.insert(out.end(), {0, 0});
    start = end == list.end() ? end : end + 1;
  }
  return out;
}

std::optional<Bytes> StringDataList(bool ansi, const Bytes& data, unsigned codePage) {
  if (!ansi) {
    if (StringListData(false, data, codePage) != data) return std::nullopt;
    return data;
  }
  if (data.size() % 2 != 0) return std::nullopt;
  Bytes list;
  std::u16string part;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit != 0) {
      part.push_back(unit);
      continue;
    }
    const std::string text = Utf8ToAnsi(Utf16ToUtf8(part), codePage);
    list.insert(list.end(), text.begin(), text.end());
    list.push_back(0);
    part.clear();
  }
  if (!part.empty()) return std::nullopt;  // no terminator: regedit would add one
  if (StringListData(true, list, codePage) != data) return std::nullopt;
  return list;
}

std::optional<Bytes> StringHexList(bool ansi, const Bytes& data, unsigned codePage) {
  if (auto exact = StringDataList(ansi, data, codePage)) return exact;
  if (data.size() % 2 != 0 || EndsWithZeroUnit(data)) return std::nullopt;
  Bytes terminated = data;
  terminated.insert(terminated.end(), {0, 0});
  auto list = StringDataList(ansi, terminated, codePage);
  // The list without its last zero: regedit puts it back.
  if (list && ansi) list->pop_back();
  if (list && !ansi) list->resize(list->size() - 2);
  return list;
}

bool SameStringData(const Bytes& meant, const Bytes& read) {
  if (read == meant) return true;
  return meant.size() % 2 == 0 && !EndsWithZeroUnit(meant) && read.size() == meant.size() + 2 &&
         std::equal(meant.begin(), meant.end(), read.begin()) && EndsWithZeroUnit(read);
}

void AppendUtf16Le(Bytes& out, std::string_view text) {
  std::size_t ascii = 0;
  while (ascii < text.size() && static_cast<unsigned char>(text[ascii]) < 0x80) ++ascii;
  std::size_t at = out.size();
  out.resize(at + 2 * ascii);
  for (std::size_t i = 0; i < ascii; ++i, at += 2) {
    out[at] = static_cast<std::uint8_t>(text[i]);
    out[at + 1] = 0;
  }
  if (ascii < text.size()) {
    const Bytes rest = Utf8ToUtf16LeBytes(std::string(text.substr(ascii)), false);
    out.insert(out.end(), rest.begin(), rest.end());
  }
}

}  // namespace win::regfile
