// The URL cache: the recipe part, the walk, and deleting entries with their
// files.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "TestMachine.h"
#include "fwmachine/MachineTool.h"
#include "platform/files/FileSystem.h"
#include "platform/shell/UrlCache.h"

namespace {

using namespace win;

const char* const kReg =
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n"
    "\"Cache\"=\"C:\\\\TIF\"\n"
    "\"Cookies\"=\"C:\\\\Cookies\"\n";

const char* const kFiles =
    "C:\\TIF\\Content.IE5\\A1\\page[1].htm | text=hello\n"
    "C:\\TIF\\Content.IE5\\A1\\locked[1].gif | size=7 | attr=R\n"
    "C:\\TIF\\Content.IE5\\A1\\folder[1]\\\n"
    "C:\\Cookies\\owner@a[1].txt | text=cookie\n"
    "C:\\Docs\\keep.txt | text=keep\n"
    "C:\\TIF\\Content.IE5\\A1\\link[1].htm | link=C:\\Docs\\keep.txt\n";

const char* const kCache =
    "# comment\n"
    "http://a.example/page.htm | file=C:\\TIF\\Content.IE5\\A1\\page[1].htm | time=2009-03-01 19:12:00\n"
    "Cookie:owner@a.example/ | file=C:\\Cookies\\owner@a[1].txt | type=0x100001\n"
    "Visited: owner@http://a.example/ | type=0x200001\n"
    "http://a.example/locked.gif | file=C:\\TIF\\Content.IE5\\A1\\locked[1].gif\n"
    "http://a.example/folder | file=C:\\TIF\\Content.IE5\\A1\\folder[1]\n"
    "http://a.example/outside | file=C:\\Docs\\keep.txt\n"
    "http://a.example/gone.htm | file=C:\\TIF\\Content.IE5\\A1\\gone[1].htm | type=4\n"
    "http://a.example/link | file=C:\\TIF\\Content.IE5\\A1\\link[1].htm\n";

std::vector<UrlCacheEntryInfo> Walk() {
  std::vector<UrlCacheEntryInfo> entries;
  UrlCacheEntryInfo entry;
  auto find = FindFirstUrlCacheEntry(entry);
  if (!find) return entries;
  do entries.push_back(entry);
  while (FindNextUrlCacheEntry(*find, entry));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
  FindCloseUrlCache(std::move(find));
  return entries;
}

TEST(UrlCacheTest, RecipeEntriesWalkInOrderWithSizesFromTheirFiles) {
  TestMachine m(kReg, kFiles, "", kCache);
  const auto entries = Walk();
  ASSERT_EQ(entries.size(), 8u);
  EXPECT_EQ(entries[0].SourceUrlName, "http://a.example/page.htm");
  EXPECT_EQ(entries[0].LocalFileName, "C:\\TIF\\Content.IE5\\A1\\page[1].htm");
  EXPECT_EQ(entries[0].CacheEntryType, NORMAL_CACHE_ENTRY);
  EXPECT_EQ(entries[0].Size, 5u);
  EXPECT_NE(entries[0].LastModifiedTime, 0u);
  EXPECT_EQ(entries[1].CacheEntryType, COOKIE_CACHE_ENTRY | NORMAL_CACHE_ENTRY);
  EXPECT_EQ(entries[1].Size, 6u);
  EXPECT_EQ(entries[2].LocalFileName, "");
  EXPECT_EQ(entries[2].Size, 0u);
  EXPECT_EQ(entries[4].Size, 0u);  // a folder has no size
  EXPECT_EQ(entries[6].CacheEntryType, STICKY_CACHE_ENTRY);
  EXPECT_EQ(entries[6].Size, 0u);  // its file is missing
}

TEST(UrlCacheTest, EmptyCacheFailsAtTheFirstCall) {
  TestMachine m;
  UrlCacheEntryInfo entry;
  EXPECT_EQ(FindFirstUrlCacheEntry(entry), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
  EXPECT_FALSE(DeleteUrlCacheEntry("http://nowhere/"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

// One at a time or all in one batch, each entry has the same outcome.
TEST(UrlCacheTest, DeletingRemovesTheEntryAndOnlyPlainFilesInsideTheCacheFolders) {
  struct Case {
    const char* url;
    bool result;
    bool entryStays;
    const char* file;
    bool fileStays;
  };
  const Case cases[] = {
      {"http://a.example/page.htm", true, false, "C:\\TIF\\Content.IE5\\A1\\page[1].htm", false},
      {"Cookie:owner@a.example/", true, false, "C:\\Cookies\\owner@a[1].txt", false},
      {"Visited: owner@http://a.example/", true, false, "", false},
      // A read-only file cannot go: the entry stays with it.
      {"http://a.example/locked.gif", false, true, "C:\\TIF\\Content.IE5\\A1\\locked[1].gif", true},
      // A folder, or a file outside the cache folders: only the entry goes.
      {"http://a.example/folder", true, false, "C:\\TIF\\Content.IE5\\A1\\folder[1]", true},
      {"http://a.example/outside", true, false, "C:\\Docs\\keep.txt", true},
      {"http://a.example/gone.htm", true, false, "", false},
      // A host link stays, and so does what it points at.
      {"http://a.example/link", true, false, "C:\\TIF\\Content.IE5\\A1\\link[1].htm", true},
      {"http://a.example/unknown", false, false, "", false},
  };
  for (const bool batched : {false, true}) {
    TestMachine m(kReg, kFiles, "", kCache);
    std::vector<bool> results;
    if (batched) {
      std::vector<std::string> urls;
      for (const Case& c : cases) urls.push_back(c.url);
      std::vector<DWORD> errors(urls.size(), 0xFFFFFFFFu);  // none yet
      DeleteUrlCacheEntries(urls, [&errors](std::size_t i, DWORD error) { errors.at(i) = error; });
      for (std::size_t i = 0; i < urls.size(); ++i) {
        results.push_back(errors[i] == 0);
        if (errors[i] != 0) {
          EXPECT_EQ(errors[i] == ERROR_FILE_NOT_FOUND, !cases[i].entryStays) << urls[i];
        }
      }
    } else {
      for (const Case& c : cases) results.push_back(DeleteUrlCacheEntry(c.url));
    }
    for (std::size_t i = 0; i < results.size(); ++i) {
      const Case& c = cases[i];
      EXPECT_EQ(results[i], c.result) << batched << " " << c.url;
      EXPECT_EQ(UrlCacheEntryExists(c.url), c.entryStays) << batched << " " << c.url;
      if (*c.file) {
        EXPECT_EQ(GetFileAttributes(c.file) != INVALID_FILE_ATTRIBUTES, c.fileStays) << batched << " " << c.url;
      }
    }
    EXPECT_EQ(Walk().size(), 1u);
    EXPECT_TRUE(FileExists("C:\\Docs\\keep.txt"));
  }
}

TEST(UrlCacheTest, BadRecipeLinesNameThePartAndLine) {
  for (const char* cache : {"http://x/ | file=relative.htm\n", "http://x/ | type=abc\n",
                            "\nhttp://x/ | time=yesterday\n", "http://x/ | colour=red\n"}) {
    MachineRecipe recipe{TestMachine::DefaultConfigText(), "", "", cache};
    std::string error;
    const std::string folder = ::testing::TempDir() + "/urlcache-bad";
    EXPECT_FALSE(CreateMachine(folder, recipe, error)) << cache;
    EXPECT_NE(error.find("urlcache.txt: line "), std::string::npos) << error;
  }
}

TEST(UrlCacheTest, MachineToolListsTheCache) {
  TestMachine m(kReg, kFiles, "", kCache);
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunMachineTool({"--machine", m.folder(), "urlcache"}, out, err), kToolOk) << err.str();
  EXPECT_NE(out.str().find("00000001              5  2009-03-01 19:12:00  http://a.example/page.htm -> "
                           "C:\\TIF\\Content.IE5\\A1\\page[1].htm\n"),
            std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("8 entries\n"), std::string::npos);
}

}  // namespace
