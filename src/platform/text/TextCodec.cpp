// ANSI code page conversions through iconv (UTF-16 and name case live in
// Utf16.cpp and NameCase.cpp).

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>

#include "platform/machine/Machine.h"
#include "platform/text/CodePageTables.h"
#include "platform/text/TextCodec.h"
#include "platform/text/Utf8Sequence.h"

namespace win {

namespace {

constexpr unsigned kDefaultCodePage = 1252;
constexpr unsigned kUtf8CodePage = 65001;
const char kReplacementUtf8[] = "\xEF\xBF\xBD";  // U+FFFD

std::string IconvName(unsigned codePage) {
  return codePage == kUtf8CodePage ? "UTF-8" : "CP" + std::to_string(codePage);
}

class Converter {
 public:
  Converter(const std::string& to, const std::string& from)
      : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (Ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts input; at a sequence that iconv refuses, appends `bad` and skips
  // skipLength(...) bytes of input.
  template <typename Skip>
  std::string Run(const std::string& input, const char* bad, Skip skipLength) {
    std::string out;
    out.reserve(input.size() + input.size() / 2);
    char buffer[4096];
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    bool flushing = false;  // input done; draining what a stateful page holds
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    for (;;) {
      char* dst = buffer;
      std::size_t outLeft = sizeof buffer;
      const std::size_t rc = flushing ? iconv(cd_, nullptr, nullptr, &dst, &outLeft)
                                      : iconv(cd_, &in, &inLeft, &dst, &outLeft);
      const int error = errno;
      out.append(buffer, static_cast<std::size_t>(dst - buffer));
      if (rc != static_cast<std::size_t>(-1)) {
        if (flushing) break;
        flushing = true;
        continue;
      }
      if (error == E2BIG) continue;
      if (flushing) break;
      // EILSEQ, or EINVAL for a sequence cut short at the end.
      const std::size_t skip = std::min(inLeft, std::max<std::size_t>(1, skipLength(in, inLeft)));
      out += bad;
      in += skip;
      inLeft -= skip;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

// Length of the UTF-8 sequence at p, as far as it is well formed (1 for a
// stray byte), so that one bad character becomes one '?'.
std::size_t Utf8SequenceLength(const char* p, std::size_t left) {
  const auto lead = static_cast<unsigned char>(*p);
  std::size_t length = 1;
  if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  } else if (lead >= 0xE0) {
    length = lead <= 0xEF ? 3 : 1;
  } else if (lead >= 0xC2) {
    length = 2;
  }
  std::size_t i = 1;
  while (i < length && i < left && (static_cast<unsigned char>(p[i]) & 0xC0) == 0x80) ++i;
  return i;
}

std::size_t OneByte(const char*, std::size_t) { return 1; }

Converter* ConverterFor(unsigned codePage, bool toAnsi) {
  thread_local std::map<std::pair<unsigned, bool>, std::unique_ptr<Converter>> cache;
  auto& slot = cache[{codePage, toAnsi}];
  if (!slot) {
    const std::string ansi = IconvName(codePage);
    slot = toAnsi ? std::make_unique<Converter>(ansi, "UTF-8")
                  : std::make_unique<Converter>("UTF-8", ansi);
  }
  return slot->Ok() ? slot.get() : nullptr;
}

unsigned Resolve(unsigned codePage) {
  if (codePage == 0) codePage = CurrentAnsiCodePage();
  return IsSupportedCodePage(codePage) ? codePage : kDefaultCodePage;
}

std::string EncodeSingleByte(const SingleByteCodePage& page, const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const std::size_t length = utf8::Decode(text, i, cp);
    if (length == 0) {
      out += '?';
      i += Utf8SequenceLength(text.data() + i, text.size() - i);
      continue;
    }
    const auto byte = page.ByteOf(cp);
    out += byte ? static_cast<char>(*byte) : '?';
    i += length;
  }
  return out;
}

std::string DecodeSingleByte(const SingleByteCodePage& page, const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  for (const char c : text) utf8::Append(out, page.CodePointOf(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

bool IsAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool IsSupportedCodePage(unsigned codePage) {
  return codePage != 0 && ConverterFor(codePage, true) && ConverterFor(codePage, false);
}

std::string Utf8ToAnsi(const std::string& text, unsigned codePage) {
  if (IsAscii(text)) return text;
  const unsigned page = Resolve(codePage);
  if (const SingleByteCodePage* table = FindSingleByteCodePage(page)) return EncodeSingleByte(*table, text);
  Converter* converter = ConverterFor(page, true);
  return converter ? converter->Run(text, "?", Utf8SequenceLength) : text;
}

std::string AnsiToUtf8(const std::string& text, unsigned codePage) {
  if (IsAscii(text)) return text;
  const unsigned page = Resolve(codePage);
  if (const SingleByteCodePage* table = FindSingleByteCodePage(page)) return DecodeSingleByte(*table, text);
  Converter* converter = ConverterFor(page, false);
  return converter ? converter->Run(text, kReplacementUtf8, OneByte) : text;
}

bool FitsCodePage(const std::string& text, unsigned codePage) {
  return IsAscii(text) || AnsiToUtf8(Utf8ToAnsi(text, codePage), codePage) == text;
}

bool IsDBCSLeadByte(std::uint8_t byte, unsigned codePage) {
  switch (Resolve(codePage)) {
    case 932:
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950:
      return byte >= 0x81 && byte <= 0xFE;
    default:
      return false;
  }
}

unsigned CurrentAnsiCodePage() {
  const Machine* machine = CurrentMachine();
  return machine ? machine->Config().ansiCodePage : kDefaultCodePage;
}

std::string Trim(std::string_view text, std::string_view characters) {
  return std::string(TrimmedView(text, characters));
}

std::string_view TrimmedView(std::string_view text, std::string_view characters) {
  const std::size_t first = text.find_first_not_of(characters);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(characters) - first + 1);
}

}  // namespace win
