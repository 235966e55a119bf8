// Version resources: what the PE writer writes, the reader reads back
// (PE32 and PE32+), an independent PE reader agrees, and damaged files give
// size 0 or clean results.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "platform/shell/FileVersion.h"
#include "platform/shell/PeVersionWriter.h"

using namespace win;

namespace {

const char* const kFile = "C:\\App\\app.exe";

PeVersionSpec FullSpec(bool pe32Plus) {
  PeVersionSpec spec;
  spec.pe32Plus = pe32Plus;
  spec.fileVersion[0] = 5;
  spec.fileVersion[1] = 1;
  spec.fileVersion[2] = 2600;
  spec.fileVersion[3] = 0;
  spec.productVersion[0] = 5;
  spec.productVersion[1] = 1;
  spec.translations = {{0x0409, 0x04B0}, {0x0407, 0x04E4}};
  spec.strings = {{"CompanyName", "  Fern Works Ltd. "},
                  {"FileDescription", "Caf\xC3\xA9 helper \xE2\x82\xAC"},
                  {"FileVersion", "5.1.2600.0"},
                  {"ProductName", "Fern"},
                  {"Comments", ""}};
  return spec;
}

// Reads the whole version block of a file, empty when there is none.
std::vector<std::uint8_t> Block(const std::string& path) {
  DWORD handle = 1;
  const DWORD size = GetFileVersionInfoSize(path, &handle);
  EXPECT_EQ(handle, 0u);
  if (size == 0) return {};
  std::vector<std::uint8_t> block(size);
  EXPECT_TRUE(GetFileVersionInfo(path, handle, size, block.data()));
  return block;
}

std::string Text(const std::vector<std::uint8_t>& block, const std::string& query) {
  const void* value = nullptr;
  unsigned len = 0;
  if (!VerQueryValue(block.data(), query, &value, &len)) return "<none>";
  return std::string(static_cast<const char*>(value), len - 1);
}

class FileVersionTest : public ::testing::Test {
 protected:
  TestMachine machine_{"", "C:\\App\\\nC:\\App\\notes.txt | text=MZ but not a program\n"};
};

TEST_F(FileVersionTest, WhatTheWriterWritesReadsBack) {
  for (bool pe32Plus : {false, true}) {
    SCOPED_TRACE(pe32Plus ? "PE32+" : "PE32");
    ASSERT_TRUE(WritePeFile(kFile, FullSpec(pe32Plus)));
    const std::vector<std::uint8_t> block = Block(kFile);
    ASSERT_FALSE(block.empty());

    const void* value = nullptr;
    unsigned len = 0;
    ASSERT_TRUE(VerQueryValue(block.data(), "\\", &value, &len));
    ASSERT_EQ(len, sizeof(VS_FIXEDFILEINFO));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, (5u << 16) | 1u);
    EXPECT_EQ(fixed->dwFileVersionLS, 2600u << 16);

    ASSERT_TRUE(VerQueryValue(block.data(), "\\\\VarFileInfo\\\\Translation", &value, &len));
    ASSERT_EQ(len, 8u);
    const auto* table = static_cast<const std::uint16_t*>(value);
    EXPECT_EQ(table[0], 0x0409);
    EXPECT_EQ(table[1], 0x04B0);
    EXPECT_EQ(table[2], 0x0407);

    const std::vector<std::pair<std::string, std::string>> texts = {
        {"\\StringFileInfo\\040904b0\\CompanyName", "  Fern Works Ltd. "},
        {"StringFileInfo\\040904B0\\companyname", "  Fern Works Ltd. "},
        {"\\\\StringFileInfo\\\\040904b0\\\\FileDescription", "Caf\xC3\xA9 helper \xE2\x82\xAC"},
        {"\\StringFileInfo\\040904b0\\ProductName", "Fern"},
        {"\\StringFileInfo\\040904b0\\Comments", ""},
        {"\\StringFileInfo\\040904b0\\LegalCopyright", "<none>"},
        {"\\StringFileInfo\\040704e4\\ProductName", "<none>"},
        {"\\StringFileInfo\\040904b0", "<none>"},
        {"\\VarFileInfo\\Nothing", "<none>"},
    };
    for (const auto& [query, expected] : texts) EXPECT_EQ(Text(block, query), expected) << query;
  }
}

TEST_F(FileVersionTest, FilesWithoutVersionDataGiveSizeZero) {
  PeVersionSpec bare;
  bare.withResource = false;
  ASSERT_TRUE(WritePeFile("C:\\App\\bare.exe", bare));
  for (const char* path : {"C:\\App\\bare.exe", "C:\\App\\notes.txt", "C:\\App\\gone.exe", "C:\\App"}) {
    SCOPED_TRACE(path);
    DWORD handle = 0;
    EXPECT_EQ(GetFileVersionInfoSize(path, &handle), 0u);
    std::vector<std::uint8_t> block(64);
    EXPECT_FALSE(GetFileVersionInfo(path, 0, 64, block.data()));
  }
}

TEST_F(FileVersionTest, ATooSmallBufferIsRefused) {
  ASSERT_TRUE(WritePeFile(kFile, FullSpec(false)));
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSize(kFile, &handle);
  std::vector<std::uint8_t> block(size);
  EXPECT_FALSE(GetFileVersionInfo(kFile, 0, size - 1, block.data()));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

// Every answer of a damaged file must lie inside the block it came from.
void QueryAll(const std::string& path) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSize(path, &handle);
  if (size == 0) return;
  std::vector<std::uint8_t> block(size);
  ASSERT_TRUE(GetFileVersionInfo(path, 0, size, block.data()));
  for (const char* query : {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\040904b0\\CompanyName",
                            "\\StringFileInfo\\040904b0\\Comments", "\\StringFileInfo\\040904b0"}) {
    const void* value = nullptr;
    unsigned len = 0;
    if (!VerQueryValue(block.data(), query, &value, &len)) continue;
    const auto* at = static_cast<const std::uint8_t*>(value);
    ASSERT_GE(at, block.data());
    ASSERT_LE(at + len, block.data() + block.size());
  }
}

// Straight to the host file: thousands of writes need no sync each.
void WriteHost(const std::string& hostPath, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST_F(FileVersionTest, DamagedFilesGiveSizeZeroOrCleanResults) {
  const std::vector<std::uint8_t> good = PeFileBytes(FullSpec(false));
  const std::string damaged = "C:\\App\\damaged.exe";
  const std::size_t dataEnd = 0x200 + 88 + VersionResourceBytes(FullSpec(false)).size();
  DWORD handle = 0;
  ASSERT_TRUE(WriteFileBytes(damaged, good));
  const std::string host = machine_.host(damaged);
  const DWORD fullSize = GetFileVersionInfoSize(damaged, &handle);
  // Headers every 8 bytes, the resource tree and data byte by byte.
  for (std::size_t length = 0; length < good.size(); length += length < 0x200 ? 8 : 1) {
    WriteHost(host, std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length)));
    EXPECT_EQ(GetFileVersionInfoSize(damaged, &handle), length < dataEnd ? 0u : fullSize) << length;
    QueryAll(damaged);
  }
  std::mt19937 random(12);
  for (int round = 0; round < 1200; ++round) {
    std::vector<std::uint8_t> bytes = PeFileBytes(FullSpec(round % 2 == 1));
    const int flips = 1 + round % 4;
    for (int i = 0; i < flips; ++i) {
      const std::size_t at = random() % bytes.size();
      bytes[at] = static_cast<std::uint8_t>(random() % 3 == 0 ? 0xFF : random());
    }
    WriteHost(host, bytes);
    QueryAll(damaged);
  }
}

TEST_F(FileVersionTest, FileListOptionMakesVersionFiles) {
  TestMachine listed("",
                     "C:\\P\\a.exe | version=4.0.0.0;tr=040904b0;ProductName=Fern;CompanyName=Fern Works\n"
                     "C:\\P\\b.exe | version=1.2.3.4;pe32+;table=040904e4;ProductName=No table\n"
                     "C:\\P\\run.bat | exec | text=#!/bin/sh\\nexit 0\\n\n");
  std::vector<std::uint8_t> block = Block("C:\\P\\a.exe");
  EXPECT_EQ(Text(block, "\\StringFileInfo\\040904b0\\CompanyName"), "Fern Works");
  block = Block("C:\\P\\b.exe");
  const void* value = nullptr;
  unsigned len = 0;
  EXPECT_FALSE(VerQueryValue(block.data(), "\\VarFileInfo\\Translation", &value, &len));
  EXPECT_EQ(Text(block, "\\StringFileInfo\\040904e4\\ProductName"), "No table");
  EXPECT_EQ(access(listed.host("C:\\P\\run.bat").c_str(), X_OK), 0);
  EXPECT_NE(access(listed.host("C:\\P\\a.exe").c_str(), X_OK), 0);

  for (const char* bad : {"C:\\P\\c.exe | version=1.2.3\n", "C:\\P\\c.exe | version=1.2.3.4;tr=0409\n",
                          "C:\\P\\c.exe | version=1.2.3.70000\n", "C:\\P\\c.exe | version=1.2.3.4;=x\n",
                          "C:\\P\\ | exec\n"}) {
    SCOPED_TRACE(bad);
    MachineRecipe recipe;
    recipe.fileList = bad;
    std::string error;
    EXPECT_FALSE(CreateMachine(listed.folder() + "-bad", recipe, error));
    EXPECT_NE(error.find("line 1"), std::string::npos) << error;
  }
}

// The block of one language: its product name tells which one was taken.
std::vector<std::uint8_t> LanguageBlock(std::uint16_t language) {
  PeVersionSpec spec;
  spec.translations = {{language, 0x04B0}};
  char name[16];
  std::snprintf(name, sizeof name, "lang %04x", language);
  spec.strings = {{"ProductName", name}};
  return VersionResourceBytes(spec);
}

std::string ChosenLanguage(const std::string& path) {
  const std::vector<std::uint8_t> block = Block(path);
  if (block.empty()) return "none";
  const void* value = nullptr;
  unsigned len = 0;
  if (!VerQueryValue(block.data(), "\\VarFileInfo\\Translation", &value, &len)) return "?";
  char table[16];
  std::snprintf(table, sizeof table, "%04x04b0", *static_cast<const std::uint16_t*>(value));
  return Text(block, std::string("\\StringFileInfo\\") + table + "\\ProductName");
}

// Of resource type 16 only name 1 counts; of its languages the one Windows'
// loader takes for a language-neutral lookup: neutral, the user's, the
// system's, US English, then the first.
TEST(FileVersionLanguages, TheLoadersChoice) {
  const struct {
    const char* what;
    std::vector<std::uint16_t> languages;  // of name 1; name 2 always has neutral and 0x0407
    const char* user;                      // Locale, "" for none
    const char* system;                    // Nls\Language Default, "" for none
    const char* chosen;
  } cases[] = {
      {"US English before the first (Arabic)", {0x0401, 0x0407, 0x0409}, "00000809", "", "lang 0409"},
      {"the user's language", {0x0401, 0x0407, 0x0409}, "00000407", "0409", "lang 0407"},
      {"the system's language", {0x0401, 0x0407, 0x0409}, "0000040c", "0407", "lang 0407"},
      {"neutral before all", {0x0000, 0x0407, 0x0409}, "00000407", "0407", "lang 0000"},
      {"the first when none fits", {0x0401, 0x0407}, "00000809", "", "lang 0401"},
      {"no name 1: no version", {}, "00000409", "", "none"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string reg;
    if (*c.user) reg += "[HKEY_CURRENT_USER\\Control Panel\\International]\n\"Locale\"=\"" + std::string(c.user) + "\"\n";
    if (*c.system)
      reg += "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\Language]\n\"Default\"=\"" +
             std::string(c.system) + "\"\n";
    TestMachine machine(reg, "C:\\App\\\n");
    std::vector<PeResource> resources = {{2, 0x0000, LanguageBlock(0x0000)}, {2, 0x0407, LanguageBlock(0x0407)}};
    for (const std::uint16_t language : c.languages) resources.push_back({1, language, LanguageBlock(language)});
    ASSERT_TRUE(WriteFileBytes(kFile, PeFileBytesWith(resources, false)));
    EXPECT_EQ(ChosenLanguage(kFile), c.chosen);
  }
}

// The resource is read through the section table: what lies beyond it is
// never read, however large the file.
TEST_F(FileVersionTest, ALargeFileIsReadOnlyWhereItsResourceLies) {
  ASSERT_TRUE(WritePeFile(kFile, FullSpec(false)));
  std::filesystem::resize_file(machine_.host(kFile), 300ull * 1024 * 1024);  // a hole: no disk taken
  EXPECT_EQ(Text(Block(kFile), "\\StringFileInfo\\040904b0\\ProductName"), "Fern");
}

// An independent PE reader finds the same version texts in what we write.
TEST_F(FileVersionTest, PefileReadsTheSameTexts) {
  if (std::system("/usr/bin/python3 -c 'import pefile' 2>/dev/null") != 0)
    GTEST_SKIP() << "python3-pefile is not installed (scripts/deps.sh)";
  for (bool pe32Plus : {false, true}) {
    ASSERT_TRUE(WritePeFile(kFile, FullSpec(pe32Plus)));
    const std::string out = machine_.folder() + "/pefile.txt";
    const std::string command =
        "/usr/bin/python3 -c '\n"
        "import pefile, sys\n"
        "pe = pefile.PE(sys.argv[1])\n"
        "f = pe.VS_FIXEDFILEINFO[0]\n"
        "print(\"%d.%d.%d.%d\" % (f.FileVersionMS >> 16, f.FileVersionMS & 65535, f.FileVersionLS >> 16, "
        "f.FileVersionLS & 65535))\n"
        "for info in pe.FileInfo[0]:\n"
        "  if info.Key == b\"StringFileInfo\":\n"
        "    for table in info.StringTable:\n"
        "      for k, v in table.entries.items(): print(table.LangID.decode() + \"/\" + k.decode() + \"=\" + "
        "v.decode())\n"
        "  if info.Key == b\"VarFileInfo\":\n"
        "    for var in info.Var: print(\"tr=\" + repr(var.entry))\n"
        "' '" + machine_.host(kFile) + "' > '" + out + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(out);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SCOPED_TRACE(all);
    EXPECT_EQ(all.rfind("5.1.2600.0\n", 0), 0u);
    EXPECT_NE(all.find("040904b0/CompanyName=  Fern Works Ltd. \n"), std::string::npos);
    EXPECT_NE(all.find("040904b0/FileDescription=Caf\xC3\xA9 helper \xE2\x82\xAC\n"), std::string::npos);
    EXPECT_NE(all.find("040904b0/ProductName=Fern\n"), std::string::npos);
    EXPECT_NE(all.find("040904b0/Comments=\n"), std::string::npos);
    // pefile keeps the last entry of the table.
    EXPECT_NE(all.find("tr={b'Translation': '0x0407 0x04e4'}"), std::string::npos);
  }
}

}  // namespace
