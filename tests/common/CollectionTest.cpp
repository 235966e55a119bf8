#include <gtest/gtest.h>

#include <stdexcept>

#include "common/IgnoreItemUnit.h"
#include "common/RegistryContentUnit.h"

TEST(Collection, AddReturnsRunningIndexAndDeleteRenumbers) {
  TIgnoreContents ignores;
  EXPECT_EQ(ignores.Add(), 0);
  EXPECT_EQ(ignores.Add(), 1);
  EXPECT_EQ(ignores.Add(), 2);
  for (int i = 0; i < 3; ++i) ignores.GetItem(i).Content.Section = "S" + std::to_string(i);

  ignores.Delete(0);
  ASSERT_EQ(ignores.Count(), 2);
  EXPECT_EQ(ignores.GetItem(0).Content.Section, "S1");
  EXPECT_EQ(ignores.GetItem(1).Content.Section, "S2");
  EXPECT_EQ(ignores.Add(), 2);

  ignores.Clear();
  EXPECT_EQ(ignores.Count(), 0);
  EXPECT_EQ(ignores.Add(), 0);
}

TEST(Collection, FreshRegistryItemIsEmptyAndUnticked) {
  TRegistryContents problems;
  problems.Add();
  problems.GetItem(0).Content.Checked = true;
  problems.GetItem(0).Content.Index = 7;
  problems.GetItem(0).Content.KeyPath = "HKEY_LOCAL_MACHINE\\SOFTWARE";

  const TRegistryContent& fresh = problems.GetItem(problems.Add()).Content;
  EXPECT_FALSE(fresh.Checked);
  EXPECT_FALSE(fresh.Flag);
  EXPECT_EQ(fresh.Index, 0);
  EXPECT_TRUE(fresh.SectionName.empty());
  EXPECT_TRUE(fresh.KeyPath.empty());
  EXPECT_TRUE(fresh.ValueName.empty());
  EXPECT_TRUE(fresh.Severity.empty());
  EXPECT_TRUE(fresh.ProblemType.empty());
  EXPECT_FALSE(fresh.UnnamedValue);

  TRepairContents log;
  const TRepairRec& entry = log.GetItem(log.Add()).Content;
  EXPECT_TRUE(entry.KeyPath.empty());
  EXPECT_TRUE(entry.Result.empty());
}

TEST(Collection, IndexOutsideTheListIsAListIndexError) {
  TRegistryContents problems;
  EXPECT_THROW(problems.GetItem(0), std::out_of_range);
  problems.Add();
  EXPECT_NO_THROW(problems.GetItem(0));
  EXPECT_THROW(problems.GetItem(1), std::out_of_range);
  EXPECT_THROW(problems.GetItem(-1), std::out_of_range);
  EXPECT_THROW(problems.Delete(1), std::out_of_range);
  EXPECT_EQ(problems.Count(), 1);
}
