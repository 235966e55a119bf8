#pragma once
// A registry store in a temporary folder, with a TRegistry on it.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"

class RegistryFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "fwreg-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    dbPath_ = folder_ + "/registry.db";
    Reopen();
  }
  void TearDown() override {
    store_.reset();
    std::filesystem::remove_all(folder_);
  }

  // The whole registry in memory from the first read on, its values read in
  // threads, unless the options say otherwise.
  static win::RegistryOptions ImageAtOnce() {
    win::RegistryOptions options;
    options.rowReadsBeforeImage = 0;
    options.imageKeysPerThread = 1;
    return options;
  }
  std::unique_ptr<win::RegistryStore> OpenStore(const win::RegistryOptions& options = ImageAtOnce()) {
    std::string error;
    auto store = win::RegistryStore::Open(dbPath_, options, error);
    EXPECT_TRUE(store) << error;
    return store;
  }
  // Closes the store and opens the file again.
  void Reopen(const win::RegistryOptions& options = ImageAtOnce()) {
    store_.reset();
    store_ = OpenStore(options);
    ASSERT_TRUE(store_);
  }
  win::RegistryStore& store() { return *store_; }

  std::string folder_;
  std::string dbPath_;
  std::unique_ptr<win::RegistryStore> store_;
};

// Id of the key at path below root (backslash separated), -1 when missing.
inline std::int64_t KeyId(win::RegistryStore& store, win::HKEY root, const std::string& path) {
  std::optional<std::int64_t> at = store.RootId(root);
  std::size_t start = 0;
  while (at && start < path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) at = store.FindChild(*at, path.substr(start, end - start));
    start = end + 1;
  }
  return at.value_or(-1);
}

inline std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}
