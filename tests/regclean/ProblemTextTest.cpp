#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "regclean/ProblemReportUnit.h"

namespace regclean::test {
namespace {

// Texts formed from a problem's fields follow the problem they belong to:
// a copy forms them from its own fields, and outlives the original.
TEST(ProblemTexts, ACopyFormsItsTextsFromItsOwnFields) {
  auto original = std::make_unique<TRegistryContent>(
      MissingPathProblem("HKEY_LOCAL_MACHINE\\SOFTWARE\\A", "", "C:\\gone.exe"));
  TRegistryContent copy = *original;
  TRegistryContent moved = std::move(*original);
  original->KeyPath = "changed";
  original.reset();

  for (const TRegistryContent* problem : {&copy, &moved}) {
    EXPECT_EQ(problem->KeyPathText, " Key Path:HKEY_LOCAL_MACHINE\\SOFTWARE\\A");
    EXPECT_EQ(problem->ValueNameText, " ValueName:");  // the unnamed value as it is named
    EXPECT_EQ(problem->ValueText, " Value:C:\\gone.exe");
    EXPECT_EQ(problem->DetailText, " The file (C:\\gone.exe) does not exist at the specified location");
    EXPECT_EQ(problem->Description,
              "The Key C:\\gone.exe under HKEY_LOCAL_MACHINE\\SOFTWARE\\A contains a bad path for the value");
    EXPECT_EQ(problem->ProblemType, "Missing or Invalid Path");
  }

  TRegistryContent assigned;
  assigned = copy;
  copy.Value = "D:\\other.exe";
  EXPECT_EQ(assigned.ValueText, " Value:C:\\gone.exe");
  EXPECT_EQ(copy.ValueText, " Value:D:\\other.exe");
}

// A text taken out of its problem keeps the formed text; texts of their own
// (any bytes, an empty one) come back as given.
TEST(ProblemTexts, TextsOnTheirOwnAndTextsOfTheirOwn) {
  auto problem = std::make_unique<TRegistryContent>(MissingPathProblem("HKEY_CURRENT_USER\\K", "v", "x"));
  const TFormedText detached = problem->KeyPathText;
  problem.reset();
  EXPECT_EQ(detached, " Key Path:HKEY_CURRENT_USER\\K");

  TRegistryContent own;
  const std::string bytes("a\0\x01\xff", 4);
  own.Description = bytes;
  own.Severity = "";
  EXPECT_EQ(own.Description, bytes);
  EXPECT_TRUE(own.Severity.empty());
  EXPECT_TRUE(own.KeyPathText.empty());
  own.Description = "";
  EXPECT_TRUE(own.Description.empty());
}

}  // namespace
}  // namespace regclean::test
