#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/machine/StateStore.h"

using namespace win;

namespace {

class StateStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = "/tmp/fwstate-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    path_ = folder_ + "/state.db";
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::unique_ptr<StateStore> Open() {
    std::string error;
    auto store = StateStore::Open(path_, error);
    EXPECT_NE(store, nullptr) << error;
    return store;
  }
  std::string folder_;
  std::string path_;
};

TEST_F(StateStoreTest, ServicesKeepTablesOfTheirOwn) {
  auto store = Open();
  ASSERT_TRUE(store->Execute("CREATE TABLE IF NOT EXISTS jobs (name TEXT, runs INTEGER, "
                             "load REAL, data BLOB, note TEXT)"));
  const std::vector<std::uint8_t> blob = {0, 1, 0xFF};
  ASSERT_TRUE(store->Execute("INSERT INTO jobs VALUES (?1, ?2, ?3, ?4, ?5)",
                             {std::string("Fernwick.job"), std::int64_t{3}, 0.5, blob,
                              std::monostate{}}));
  // A second store on the same file (another process) sees the row at once.
  auto other = Open();
  std::vector<StateRow> rows;
  ASSERT_TRUE(other->Query("SELECT name, runs, load, data, note FROM jobs WHERE runs > ?1",
                           {std::int64_t{2}}, rows));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(std::get<std::string>(rows[0][0]), "Fernwick.job");
  EXPECT_EQ(std::get<std::int64_t>(rows[0][1]), 3);
  EXPECT_EQ(std::get<double>(rows[0][2]), 0.5);
  EXPECT_EQ(std::get<std::vector<std::uint8_t>>(rows[0][3]), blob);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(rows[0][4]));

  // A batch that is rolled back leaves nothing.
  ASSERT_TRUE(store->BeginBatch());
  ASSERT_TRUE(store->Execute("DELETE FROM jobs"));
  store->RollbackBatch();
  rows.clear();
  ASSERT_TRUE(other->Query("SELECT count(*) FROM jobs", {}, rows));
  EXPECT_EQ(std::get<std::int64_t>(rows[0][0]), 1);

  EXPECT_FALSE(store->Execute("INSERT INTO nosuch VALUES (1)"));
  EXPECT_EQ(store->LastError().rfind(path_ + ": ", 0), 0u) << store->LastError();
}

TEST_F(StateStoreTest, FileAttributesFollowMovesAndForgetting) {
  auto store = Open();
  ASSERT_TRUE(store->SetFileAttributes("C:\\DOCS", 2));
  ASSERT_TRUE(store->SetFileAttributes("C:\\DOCS\\A.TXT", 1));
  ASSERT_TRUE(store->SetFileAttributes("C:\\DOCS\\SUB\\B.TXT", 4));
  ASSERT_TRUE(store->SetFileAttributes("C:\\DOCSX", 6));  // a sibling with the same start
  EXPECT_EQ(store->FileAttributesIn("C:\\DOCS"), (std::map<std::string, DWORD>{{"A.TXT", 1}}));
  EXPECT_EQ(store->FileAttributesIn("C:"),
            (std::map<std::string, DWORD>{{"DOCS", 2}, {"DOCSX", 6}}));

  ASSERT_TRUE(store->MoveFileAttributes("C:\\DOCS", "D:\\PAPERS"));
  EXPECT_EQ(store->FileAttributes("D:\\PAPERS\\SUB\\B.TXT"), 4u);
  EXPECT_EQ(store->FileAttributes("D:\\PAPERS"), 2u);
  EXPECT_FALSE(store->FileAttributes("C:\\DOCS\\A.TXT").has_value());
  EXPECT_EQ(store->FileAttributes("C:\\DOCSX"), 6u);

  ASSERT_TRUE(store->ForgetFileAttributes("D:\\PAPERS"));
  EXPECT_FALSE(store->FileAttributes("D:\\PAPERS\\A.TXT").has_value());
  EXPECT_EQ(store->FileAttributes("C:\\DOCSX"), 6u);
}

TEST_F(StateStoreTest, DamagedFileIsNamed) {
  std::ofstream(path_) << std::string(4096, 'x');
  std::string error;
  EXPECT_EQ(StateStore::Open(path_, error), nullptr);
  EXPECT_EQ(error.rfind(path_ + ": damaged or not a state database", 0), 0u) << error;
}

}  // namespace
