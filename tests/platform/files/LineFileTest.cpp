// Line files: CR LF, LF and CR endings read alike, empty lines dropped, the
// code page's letters kept, and a line the code page cannot hold refused
// without touching the file.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "platform/files/LineFile.h"

using namespace win;

namespace {

const char* const kPath = "C:\\Data\\lines.txt";

std::string FileText(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  ReadFileBytes(path, bytes);
  return std::string(bytes.begin(), bytes.end());
}

TEST(LineFileTest, ReadsEveryLineEndingAndDropsEmptyLines) {
  TestMachine machine("", "C:\\Data\\\n");
  struct Case {
    const char* bytes;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"a#b|c\r\nd#e\r\n", {"a#b|c", "d#e"}},
      {"a\nb\n", {"a", "b"}},
      {"a\rb", {"a", "b"}},
      {"\r\n\r\na\r\n\n\nb\r\n", {"a", "b"}},
      {"Caf\xE9 \x80\r\n", {"Caf\xC3\xA9 \xE2\x82\xAC"}},
      {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    const std::string text = c.bytes;
    ASSERT_TRUE(WriteFileBytes(kPath, std::vector<std::uint8_t>(text.begin(), text.end())));
    std::vector<std::string> lines{"stale"};
    EXPECT_TRUE(ReadLineFile(kPath, lines));
    EXPECT_EQ(lines, c.lines);
  }
  std::vector<std::string> lines{"stale"};
  EXPECT_FALSE(ReadLineFile("C:\\Data\\missing.txt", lines));
  EXPECT_TRUE(lines.empty());
}

TEST(LineFileTest, WritesCrLfInTheCodePageOrNothing) {
  TestMachine machine("", "C:\\Data\\\n");
  ASSERT_TRUE(WriteLineFile(kPath, {"one#x|y", "Caf\xC3\xA9 \xE2\x82\xAC"}));
  EXPECT_EQ(FileText(kPath), "one#x|y\r\nCaf\xE9 \x80\r\n");

  for (const std::string& bad : {std::string("\xE6\x97\xA5"), std::string("a\r\nb"), std::string("a\nb")}) {
    EXPECT_FALSE(WriteLineFile(kPath, {"first", bad}));
    EXPECT_EQ(FileText(kPath), "one#x|y\r\nCaf\xE9 \x80\r\n");
  }
  ASSERT_TRUE(WriteLineFile(kPath, {}));
  EXPECT_EQ(FileText(kPath), "");
  EXPECT_FALSE(WriteLineFile("C:\\Nowhere\\lines.txt", {"a"}));
}

}  // namespace
