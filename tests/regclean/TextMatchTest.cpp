#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "regclean/SectionContractUnit.h"

namespace regclean::test {
namespace {

// A letter-case-blind search one character at a time, as the answers must be.
bool SearchedByHand(const std::string& text, const std::string& part) {
  const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  if (part.size() > text.size()) return false;
  for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
    bool same = true;
    for (std::size_t i = 0; i < part.size() && same; ++i) same = upper(text[at + i]) == upper(part[i]);
    if (same) return true;
  }
  return false;
}

TEST(ContainsNoCase, FindsAPartInAnyLetterCaseOnly) {
  const std::vector<std::tuple<std::string, std::string, bool>> cases = {
      {"", "", true},
      {"abc", "", true},
      {"", "a", false},
      {"ab", "abc", false},
      {"C:\\Windows\\system32", "WINDOWS", true},
      {"C:\\Windows\\system32", "SYSTEM32", true},  // at the very end
      {"c:\\x", "C:", true},                        // at the very start
      {"aaab", "AAB", true},                         // a false start just before
      {"aAaAaB", "aab", true},
      {"aAaAa", "aab", false},
      {"x.SYS", ".sys", true},
      {"x.sy", ".sys", false},                       // cut off at the end
      {"\\\\server", "\\\\", true},                  // no letter case at all
      {"\xC3\xA4rger", "\xC3\x84RGER", false},       // only ASCII letters fold
      {"\xC3\xA4rger", "\xC3\xA4RGER", true},
      {"Z[", "z{", false},                           // '[' and '{' are no letters
      {"@`", "@@", false},
      {std::string("a\0b", 3), std::string("\0B", 2), true},
  };
  for (const auto& [text, part, expected] : cases) {
    EXPECT_EQ(ContainsNoCase(text, part), expected) << "\"" << text << "\" / \"" << part << "\"";
    EXPECT_EQ(SearchedByHand(text, part), expected) << "\"" << text << "\" / \"" << part << "\"";
  }
}

TEST(ContainsNoCase, AgreesWithAHandSearchOnManyShortTexts) {
  const std::string letters = "aAbB:\\\xC3";
  std::mt19937 random(7);
  const auto make = [&](std::size_t size) {
    std::string text;
    for (std::size_t i = 0; i < size; ++i) text += letters[random() % letters.size()];
    return text;
  };
  for (int round = 0; round < 20000; ++round) {
    const std::string text = make(random() % 12);
    const std::string part = make(random() % 4);
    ASSERT_EQ(ContainsNoCase(text, part), SearchedByHand(text, part)) << "\"" << text << "\" / \"" << part << "\"";
  }
}

}  // namespace
}  // namespace regclean::test
