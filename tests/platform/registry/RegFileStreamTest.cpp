// .reg files read and written in pieces: the same content as at once, and an
// import that stays one transaction.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "RegFileTestSupport.h"
#include "platform/registry/RegFile.h"
#include "platform/registry/RegistryStore.h"
#include "platform/text/TextCodec.h"

using namespace win;
using regfiletest::Bytes;
using regfiletest::Describe;
using regfiletest::ToBytes;

namespace {

// Gives bytes in pieces of `piece`; fails after `failAfter` bytes when set.
ByteSource Pieces(const Bytes& bytes, std::size_t piece, std::size_t failAfter = SIZE_MAX) {
  return [&bytes, piece, failAfter](const ByteSink& take) {
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
      if (at >= failAfter) return false;
      if (!take(bytes.data() + at, std::min(piece, bytes.size() - at))) return false;
    }
    return true;
  };
}

Bytes Utf16(const std::string& text, bool bom) {
  Bytes bytes = bom ? Bytes{0xFF, 0xFE} : Bytes{};
  for (char16_t unit : Utf8ToUtf16(text)) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

std::string Summary(const RegFileContent& content) {
  std::string out = std::to_string(static_cast<int>(content.format)) + " skipped " +
                    std::to_string(content.skippedCount) + ":";
  for (const RegFileSkippedLine& line : content.skipped) out += " " + std::to_string(line.line) + " " + line.what;
  return out + "\n" + Describe(content);
}

TEST(RegFileStream, PiecesOfAnySizeReadAsTheWholeFile) {
  const std::string version5 =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Caf\xC3\xA9]\r\n"
      "\"Clef\"=\"\xF0\x9D\x84\x9E and \xC3\xA9\"\r\n"
      "\"bad\"=dword:x\r\n"
      "\"list\"=hex(7):41,00,00,00,\\\r\n  00,00\r\n"
      "[HKEY_CURRENT_USER\\Software\\Two]\r@=\"cr only\"\r\"n\"=dword:2\n\n"
      "junk\r\n"
      "[HKEY_CURRENT_USER\\Software\\Three]\r\n\"last\"=\"no break\"";
  const std::string regedit4 =
      "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Caf\xE9]\n\"v\"=\"\xE9t\xE9\"\n"
      "\"h\"=hex(2):41,42,00\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Two]\r\n@=dword:1\r\n";
  const std::string invalidUtf8 = "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n"
                                  "\"v\"=\"\xE9\"\n";
  const std::vector<std::pair<const char*, Bytes>> files = {
      {"UTF-16 with BOM", Utf16(version5, true)},
      {"UTF-16 without BOM", Utf16(version5, false)},
      {"UTF-8 with BOM", [&] {
         Bytes bytes{0xEF, 0xBB, 0xBF};
         const Bytes text = ToBytes(version5);
         bytes.insert(bytes.end(), text.begin(), text.end());
         return bytes;
       }()},
      {"UTF-8 without BOM", ToBytes(version5)},
      {"version 5 header over ANSI", ToBytes(invalidUtf8)},
      {"REGEDIT4", ToBytes(regedit4)},
      {"no header", ToBytes("[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n")},
      {"empty", Bytes{}},
  };
  for (const auto& [caption, bytes] : files) {
    RegFileContent whole;
    std::string wholeError;
    const bool wholeRead = ReadRegFile(bytes, "t.reg", 1252, whole, wholeError);
    for (std::size_t piece : {1, 2, 3, 5, 7, 64, 100000}) {
      SCOPED_TRACE(testing::Message() << caption << ", pieces of " << piece);
      RegFileContent read;
      std::vector<RegFileKey> keys;
      std::string error;
      const RegFileRead result = ReadRegFileStream(Pieces(bytes, piece), "t.reg", 1252, read,
                                                   [&keys](RegFileKey& key) {
                                                     keys.push_back(std::move(key));
                                                     return true;
                                                   },
                                                   error);
      EXPECT_EQ(result, wholeRead ? RegFileRead::Done : RegFileRead::BadHeader);
      EXPECT_EQ(error, wholeError);
      if (!wholeRead) continue;
      read.keys = std::move(keys);
      EXPECT_EQ(Summary(read), Summary(whole));
    }
  }
}

// A line of a megabyte in pieces of 64 bytes: each piece is looked at once
// (a reader that searched the whole line again per piece took minutes here).
TEST(RegFileStream, LongLineInSmallPiecesReadsAsTheWholeFile) {
  std::string line = "\"v\"=hex:";
  while (line.size() < (1u << 20)) line += "a5,";
  line += "01";
  const std::string body = "\r\n[HKEY_CURRENT_USER\\T]\r\n" + line + "\r\n\"w\"=\"" + std::string(1u << 20, 'x') + "\"\r\n";
  for (bool utf16 : {false, true}) {
    SCOPED_TRACE(utf16 ? "UTF-16" : "ANSI");
    const Bytes bytes = utf16 ? Utf16("Windows Registry Editor Version 5.00" + body, true) : ToBytes("REGEDIT4" + body);
    RegFileContent whole;
    std::string error;
    ASSERT_TRUE(ReadRegFile(bytes, "t.reg", 1252, whole, error)) << error;
    RegFileContent read;
    std::vector<RegFileKey> keys;
    ASSERT_EQ(ReadRegFileStream(Pieces(bytes, 64), "t.reg", 1252, read,
                                [&keys](RegFileKey& key) {
                                  keys.push_back(std::move(key));
                                  return true;
                                },
                                error),
              RegFileRead::Done);
    read.keys = std::move(keys);
    ASSERT_EQ(read.keys.size(), 1u);
    ASSERT_EQ(read.keys[0].values.size(), 2u);
    EXPECT_EQ(read.keys[0].values[0].data.size(), (line.size() - 10) / 3 + 1);
    EXPECT_EQ(Summary(read), Summary(whole));
  }
}

TEST(RegFileStream, ReadFailuresAndRefusalsAreTold) {
  const Bytes bytes = ToBytes("REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\B]\n");
  RegFileContent content;
  std::string error;
  int taken = 0;
  const RegKeyHandler count = [&taken](RegFileKey&) { return ++taken < 1; };
  EXPECT_EQ(ReadRegFileStream(Pieces(bytes, 4, 20), "t.reg", 1252, content, count, error),
            RegFileRead::Unreadable);
  EXPECT_EQ(ReadRegFileStream(Pieces(bytes, 4), "t.reg", 1252, content, count, error), RegFileRead::Refused);
  EXPECT_EQ(taken, 1);
}

class TempStore {
 public:
  TempStore() {
    std::string pattern = (std::filesystem::temp_directory_path() / "fwregstream-XXXXXX").string();
    folder_ = mkdtemp(pattern.data()) != nullptr ? pattern : "";
    std::string error;
    store_ = RegistryStore::Open(folder_ + "/r.db", {}, error);
    EXPECT_TRUE(store_) << error;
  }
  ~TempStore() {
    store_.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  TempStore(const TempStore&) = delete;
  TempStore& operator=(const TempStore&) = delete;
  RegistryStore& operator*() { return *store_; }

 private:
  std::string folder_;
  std::unique_ptr<RegistryStore> store_;
};

RegFileContent Tree(RegistryStore& store) {
  RegFileContent content;
  std::string error;
  EXPECT_TRUE(ReadRegistryTree(store, "", content, error)) << error;
  return content;
}

TEST(RegFileStream, WrittenTreeIsTheFormattedFileAndImportsBack) {
  for (RegFileFormat format : {RegFileFormat::Version5, RegFileFormat::Regedit4}) {
    SCOPED_TRACE(format == RegFileFormat::Version5 ? "version 5" : "REGEDIT4");
    TempStore source;
    const RegFileContent generated = regfiletest::TreeGenerator(7, format).Generate(5);
    std::string error;
    ASSERT_TRUE(ApplyRegFile(*source, generated, error)) << error;

    Bytes written;
    std::size_t keys = 0;
    ASSERT_TRUE(WriteRegistryTree(*source, "", format, 1252,
                                  [&written](const std::uint8_t* data, std::size_t size) {
                                    written.insert(written.end(), data, data + size);
                                    return true;
                                  },
                                  keys, error))
        << error;
    RegFileContent exported = Tree(*source);
    exported.format = format;
    EXPECT_EQ(written, FormatRegFile(exported, 1252));
    EXPECT_EQ(keys, exported.keys.size());

    TempStore target;
    RegFileContent read;
    std::size_t imported = 0;
    ASSERT_EQ(ImportRegFileStream(*target, Pieces(written, 999), "all.reg", 1252, read, imported, error),
              RegImport::Done)
        << error;
    EXPECT_EQ(imported, keys);
    EXPECT_EQ(read.skippedCount, 0u);
    EXPECT_EQ(Describe(Tree(*target)), Describe(exported));
  }
}

TEST(RegFileStream, ImportInPiecesIsOneTransaction) {
  TempStore store;
  std::string error;
  RegFileContent start;
  ASSERT_TRUE(ParseRegFile(ToBytes("REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\n\"v\"=dword:1\n"), "s.reg",
                           1252, start, error));
  ASSERT_TRUE(ApplyRegFile(*store, start, error)) << error;
  const std::string before = Describe(Tree(*store));

  std::string text = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\n\"v\"=dword:2\n";
  for (int i = 0; i < 200; ++i) text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\New" + std::to_string(i) + "]\n@=\"x\"\n";
  text += "bad line\n";
  const Bytes bytes = ToBytes(text);

  // A read that fails halfway applies nothing, though many keys were read.
  RegFileContent content;
  std::size_t keys = 0;
  EXPECT_EQ(ImportRegFileStream(*store, Pieces(bytes, 64, bytes.size() / 2), "f.reg", 1252, content, keys, error),
            RegImport::Unreadable);
  EXPECT_GT(keys, 50u);
  EXPECT_EQ(Describe(Tree(*store)), before);

  // The whole file applies, its bad line skipped and counted.
  content = {};
  ASSERT_EQ(ImportRegFileStream(*store, Pieces(bytes, 64), "f.reg", 1252, content, keys, error),
            RegImport::Done);
  EXPECT_EQ(keys, 201u);
  EXPECT_EQ(content.skippedCount, 1u);
  EXPECT_EQ(SkippedLinesMessage("f.reg", content), "f.reg: line 404: not a key or value line");
  EXPECT_NE(Describe(Tree(*store)).find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\New199]"), std::string::npos);
}

}  // namespace
