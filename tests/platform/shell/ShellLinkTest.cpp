// Shortcut files: what our writer makes, liblnk reads back; damaged files
// load as unreadable, never crash.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/shell/ShellLink.h"
#include "platform/shell/ShellLinkWriter.h"

using namespace win;

namespace {

const char* const kLink = "C:\\Links\\app.lnk";

class ShellLinkTest : public ::testing::Test {
 protected:
  TestMachine machine_{"", "C:\\Links\\\nC:\\Links\\Folder.lnk\\\n"
                           "C:\\Links\\elsewhere.lnk | link=C:\\Links\\app.lnk\n"};
};

struct RoundTrip {
  const char* what;
  ShellLinkSpec spec;
  std::string path;  // what GetPath gives
};

TEST_F(ShellLinkTest, WhatTheWriterWritesReadsBack) {
  const std::string longName(300, 'x');
  const std::vector<RoundTrip> cases = {
      {"local file", {"C:\\Program Files\\App\\app.exe", "", "", "", "", 0x20}, "C:\\Program Files\\App\\app.exe"},
      {"local folder", {"C:\\Gone Folder", "", "", "", "", 0x10}, "C:\\Gone Folder"},
      {"code page letters", {"C:\\Caf\xC3\xA9\\\xE2\x82\xAC.exe", "", "", "", "", 0x20}, "C:\\Caf\xC3\xA9\\\xE2\x82\xAC.exe"},
      {"beyond the code page", {"D:\\\xE6\x97\xA5\xE6\x9C\xAC\\a.exe", "", "", "", "", 0x20}, "D:\\\xE6\x97\xA5\xE6\x9C\xAC\\a.exe"},
      {"long name", {"C:\\" + longName + ".exe", "", "", "", "", 0x20}, "C:\\" + longName + ".exe"},
      {"network share", {"\\\\server\\share\\dir\\app.exe", "", "", "", "", 0x20}, "\\\\server\\share\\dir\\app.exe"},
      {"relative only", {"", "..\\Tools\\t.exe", "", "", "", 0x20}, "C:\\Tools\\t.exe"},
      {"relative with dots", {"", ".\\a\\..\\b.exe", "", "", "", 0x20}, "C:\\Links\\b.exe"},
      {"relative above the root", {"", "..\\..\\..\\c.exe", "", "", "", 0x20}, "C:\\c.exe"},
      {"local wins over relative", {"C:\\Real\\r.exe", "..\\Other\\o.exe", "", "", "", 0x20}, "C:\\Real\\r.exe"},
      {"no target", {"", "", "C:\\Work", "/x", "", 0x20}, ""},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteShellLink(kLink, c.spec));
    ShellLink link;
    ASSERT_TRUE(link.Load(kLink));
    EXPECT_EQ(link.GetPath(), c.path);
    EXPECT_EQ(ShellLinkTarget(kLink), c.path);
  }
}

TEST_F(ShellLinkTest, ArgumentsAndWorkingFolderReadBack) {
  ShellLinkSpec spec;
  spec.target = "C:\\App\\app.exe";
  spec.arguments = "/s \"C:\\My Files\\x.txt\" \xE2\x82\xAC";
  spec.workingDirectory = "C:\\App";
  spec.description = "My app";
  ASSERT_TRUE(WriteShellLink(kLink, spec));
  ShellLink link;
  ASSERT_TRUE(link.Load(kLink));
  EXPECT_EQ(link.GetPath(), "C:\\App\\app.exe");
  EXPECT_EQ(link.GetArguments(), spec.arguments);
  EXPECT_EQ(link.GetWorkingDirectory(), "C:\\App");

  // Loading another link forgets what the first one held.
  ASSERT_TRUE(WriteShellLink("C:\\Links\\plain.lnk", ShellLinkSpec{"C:\\b.exe", "", "", "", "", 0x20}));
  ASSERT_TRUE(link.Load("C:\\Links\\plain.lnk"));
  EXPECT_EQ(link.GetPath(), "C:\\b.exe");
  EXPECT_EQ(link.GetArguments(), "");
  EXPECT_EQ(link.GetWorkingDirectory(), "");
}

TEST_F(ShellLinkTest, FilesThatAreNoLinksAreUnreadable) {
  const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> files = {
      {"empty", {}},
      {"text", {'h', 'e', 'l', 'l', 'o'}},
      {"header size only", {0x4C, 0, 0, 0}},
      {"zeros", std::vector<std::uint8_t>(200, 0)},
  };
  for (const auto& [what, bytes] : files) {
    SCOPED_TRACE(what);
    ASSERT_TRUE(WriteFileBytes(kLink, bytes));
    ShellLink link;
    EXPECT_FALSE(link.Load(kLink));
    EXPECT_EQ(link.GetPath(), "");
  }
  ShellLink link;
  EXPECT_FALSE(link.Load("C:\\Links\\missing.lnk"));
  EXPECT_FALSE(link.Load("C:\\Links\\Folder.lnk"));
  EXPECT_FALSE(link.Load("Q:\\nowhere.lnk"));
  EXPECT_FALSE(link.Load(""));
}

TEST_F(ShellLinkTest, HostLinksAreNotFollowed) {
  ASSERT_TRUE(WriteShellLink(kLink, ShellLinkSpec{"C:\\App\\app.exe", "", "", "", "", 0x20}));
  EXPECT_EQ(ShellLinkTarget(kLink), "C:\\App\\app.exe");
  EXPECT_EQ(ShellLinkTarget("C:\\Links\\elsewhere.lnk"), "");
}

TEST(ShellLinkFileListTest, LnkOptionMakesAShortcut) {
  TestMachine machine("", "C:\\Documents and Settings\\Owner\\Desktop\\Gone.lnk | lnk=C:\\Gone\\app.exe\n"
                          "C:\\Links\\Share.lnk | attr=H | lnk=\\\\server\\share\\x.exe\n");
  EXPECT_EQ(ShellLinkTarget("C:\\Documents and Settings\\Owner\\Desktop\\Gone.lnk"), "C:\\Gone\\app.exe");
  EXPECT_EQ(ShellLinkTarget("C:\\Links\\Share.lnk"), "\\\\server\\share\\x.exe");
  EXPECT_EQ(GetFileAttributes("C:\\Links\\Share.lnk"), FILE_ATTRIBUTE_HIDDEN);
}

TEST(ShellLinkFileListTest, LnkOptionRefusesWhatCannotBeAShortcut) {
  const std::string parent = std::filesystem::temp_directory_path() / "fwlnk-list";
  std::filesystem::remove_all(parent);
  const std::vector<std::pair<std::string, std::string>> lines = {
      {"C:\\a.lnk | lnk=", "lnk= without a target"},
      {"C:\\Folder\\ | lnk=C:\\x.exe", "a shortcut takes no"},
      {"C:\\a.lnk | link=C:\\b | lnk=C:\\x.exe", "a shortcut takes no"},
      {"C:\\a.lnk | size=4 | lnk=C:\\x.exe", "a shortcut takes no"},
  };
  for (const auto& [line, message] : lines) {
    SCOPED_TRACE(line);
    MachineRecipe recipe{TestMachine::DefaultConfigText(), "REGEDIT4\n", line + "\n"};
    std::string error;
    EXPECT_FALSE(CreateMachine(parent + "/machine", recipe, error));
    EXPECT_NE(error.find("files.txt: line 1: " + message), std::string::npos) << error;
  }
  std::filesystem::remove_all(parent);
}

// Cut short at every length, or with bytes changed at random: loading never
// crashes, and a link that loads gives the whole target or none.
TEST_F(ShellLinkTest, DamagedLinksNeverCrash) {
  ShellLinkSpec spec;
  spec.target = "C:\\Program Files\\Caf\xC3\xA9 \xE6\x97\xA5\\app.exe";
  spec.arguments = "/run";
  spec.workingDirectory = "C:\\Program Files";
  const std::vector<std::uint8_t> whole = ShellLinkBytes(spec);
  for (std::size_t size = 0; size < whole.size(); ++size) {
    SCOPED_TRACE(size);
    ASSERT_TRUE(WriteFileBytes(kLink, std::vector<std::uint8_t>(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size))));
    const std::string path = ShellLinkTarget(kLink);
    EXPECT_TRUE(path.empty() || path == spec.target) << path;
  }

  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::vector<std::uint8_t> bytes = whole;
    for (int n = 1 + static_cast<int>(rng() % 4); n > 0; --n)
      bytes[rng() % bytes.size()] = static_cast<std::uint8_t>(rng());
    ASSERT_TRUE(WriteFileBytes(kLink, bytes));
    ShellLink link;
    link.Load(kLink);  // any result, no crash
  }
}

}  // namespace

// Sizes in a link that point past its end: refused before liblnk allocates
// what they claim (a LinkInfo size of up to 4 GB).
TEST_F(ShellLinkTest, SizesPastTheEndAreRefused) {
  ShellLinkSpec spec;
  spec.target = "C:\\Program Files\\App\\app.exe";
  const std::vector<std::uint8_t> whole = ShellLinkBytes(spec);
  ASSERT_GT(whole.size(), 80u);
  const std::uint32_t flags = whole[0x14] | (whole[0x15] << 8);
  ASSERT_NE(flags & 2u, 0u);  // the writer gives local paths a LinkInfo block
  std::size_t linkInfo = 76;
  if ((flags & 1u) != 0) linkInfo += 2 + (whole[76] | (whole[77] << 8));
  ASSERT_LT(linkInfo + 4, whole.size());
  const auto withSize = [&](std::size_t at, std::uint32_t value, int count) {
    std::vector<std::uint8_t> bytes = whole;
    for (int i = 0; i < count; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    return bytes;
  };
  const std::uint32_t rest = static_cast<std::uint32_t>(whole.size() - linkInfo);
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    bool loads;
  };
  const std::vector<Case> cases = {
      {"LinkInfo size of 4 GB", withSize(linkInfo, 0xFFFFFFF0u, 4), false},
      {"LinkInfo size one past the end", withSize(linkInfo, rest + 1, 4), false},
      {"LinkInfo size up to the end", withSize(linkInfo, rest, 4), true},
      {"id list past the end", (flags & 1u) != 0 ? withSize(76, 0xFFFF, 2) : withSize(0x14, flags | 1u, 4), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteFileBytes(kLink, c.bytes));
    ShellLink link;
    if (c.loads) {
      link.Load(kLink);  // liblnk decides; the guard lets it through
    } else {
      EXPECT_FALSE(link.Load(kLink));
      EXPECT_EQ(link.GetPath(), "");
    }
  }
}
