#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "platform/text/TextCodec.h"
#include "regclean/SectionContractUnit.h"
#include "shell/PublicFunctionUnit.h"

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

// `count` pieces picked at random.
std::string RandomText(std::mt19937& random, const std::vector<std::string>& pieces, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
  return text;
}

TEST(ContainsNoCase, AgreesWithAHandSearchOnManyShortTexts) {
  const std::vector<std::string> letters = {"a", "A", "b", "B", ":", "\\", "\xC3"};
  std::mt19937 random(7);
  const auto make = [&](std::size_t size) { return RandomText(random, letters, size); };
  for (int round = 0; round < 20000; ++round) {
    const std::string text = make(random() % 12);
    const std::string part = make(random() % 4);
    ASSERT_EQ(ContainsNoCase(text, part), SearchedByHand(text, part)) << "\"" << text << "\" / \"" << part << "\"";
  }
}

// A path is on a fixed drive unless, upper-cased as names are, it holds an
// entry of the list upper-cased the same way, non-ASCII letters included.
TEST(IsFixedDrivePath, MatchesEntriesInAnyLetterCase) {
  const std::string dotlessI = "\xC4\xB1";  // stays apart from 'i' and 'I'
  const std::string eAcute = "\xC3\xA9";    // upper-cases to U+00C9
  const std::vector<std::tuple<std::vector<std::string>, std::string, bool>> cases = {
      {{}, "D:\\x", true},
      {{""}, "", false},  // an empty entry is in every path
      {{""}, "C:\\x", false},
      {{"D:"}, "", true},
      {{"D:"}, "d:\\setup.exe", false},
      {{"d:"}, "D:\\setup.exe", false},
      {{"D:"}, "C:\\D\\x:", true},
      {{"D:", "E:"}, "rundll32 c:\\x.dll,e:run", false},
      {{"D:\\Long Folder"}, "c:\\x;d:\\LONG folder\\y", false},
      {{"D:\\Long Folder"}, "d:\\Long Folde", true},  // cut off at the end
      {{dotlessI + ":"}, "i:\\x", true},
      {{"I:"}, dotlessI + ":\\x", true},
      {{dotlessI + ":"}, dotlessI + ":\\x", false},
      {{"E:"}, eAcute + ":\\x", true},
      {{eAcute + ":"}, "\xC3\x89:\\x", false},
      {{"\xC3\x89"}, "C:\\caf" + eAcute, false},
      {{"\xC3\x89"}, "C:\\cafe", true},
      {{"X:", "\xC3\x89"}, "C:\\CAF" + eAcute + "\\x:", false},
  };
  for (const auto& [list, path, fixed] : cases) {
    EXPECT_EQ(IsFixedDrivePath(list, path), fixed) << "\"" << path << "\" in " << list.size() << " entries";
  }
}

TEST(IsFixedDrivePath, AgreesWithUpperCasedSearchesOnManyShortTexts) {
  const std::vector<std::string> pieces = {"a", "A", "d", "D", ":", "\\", "\xC4\xB1", "I", "\xC3\xA9", "\xC3\x89"};
  std::mt19937 random(11);
  const auto make = [&](std::size_t size) { return RandomText(random, pieces, size); };
  for (int round = 0; round < 20000; ++round) {
    const std::string path = make(random() % 10);
    std::vector<std::string> list(random() % 3);
    for (std::string& entry : list) entry = make(random() % 4);
    bool held = false;
    for (const std::string& entry : list)
      held = held || win::UpperName(path).find(win::UpperName(entry)) != std::string::npos;
    ASSERT_EQ(IsFixedDrivePath(list, path), !held) << "\"" << path << "\" in " << list.size() << " entries";
  }
}

TEST(AsciiNoCaseWords, AgreesWithAHandSearchForEachWord) {
  const std::vector<std::string> pieces = {"a", "A", "b", "B", ".", ":", "\\", "\xC3", "\xA4", "[", "{"};
  std::mt19937 random(13);
  const auto make = [&](std::size_t size) { return RandomText(random, pieces, size); };
  for (int round = 0; round < 20000; ++round) {
    std::vector<std::string> words(random() % 4);
    for (std::string& word : words) word = make(random() % 4);  // empty ones and repeats too
    const win::AsciiNoCaseWords set(words);
    for (int text = 0; text < 4; ++text) {
      const std::string path = make(random() % 12);
      const bool held = std::any_of(words.begin(), words.end(),
                                    [&](const std::string& word) { return SearchedByHand(path, word); });
      ASSERT_EQ(set.HeldIn(path), held) << "\"" << path << "\" in " << words.size() << " words";
    }
  }
}

// The local-path rule as each path used to be put to it.
bool PassesAsBefore(const std::vector<std::string>& list, const std::string& path) {
  return !Contains(path, "\\\\") && !ContainsNoCase(path, "A:") && IsFixedDrivePath(list, path);
}

TEST(LocalPathRule, AgreesWithTheRuleTestedPieceByPiece) {
  const std::vector<std::tuple<std::vector<std::string>, std::string, bool>> cases = {
      {{}, "C:\\x", true},
      {{}, "a:\\x", false},
      {{}, "x\\\\y", false},
      {{}, "x\\", true},  // one backslash at the end
      {{}, ":x", true},     // a colon with nothing before it
      {{"D:"}, "d:\\x", false},
      {{"d:"}, "C:\\x;D:", false},
      {{"D:"}, "C:\\D\\x", true},
      {{"D:", "\xC3\x89:"}, "\xC3\xA9:\\x", false},  // upper-cased as names are
      {{"E:"}, "\xC3\xA9:\\x", true},
      {{""}, "C:\\x", false},
      {{"1:"}, "C:\\1:", false},
      {{"D:\\Folder"}, "d:\\folder\\x", false},
  };
  for (const auto& [list, path, passes] : cases) {
    EXPECT_EQ(LocalPathRule(list).Passes(path), passes) << "\"" << path << "\" in " << list.size() << " entries";
    EXPECT_EQ(PassesAsBefore(list, path), passes) << "\"" << path << "\" in " << list.size() << " entries";
  }
  const std::vector<std::string> pieces = {"a", "A", "d", "D", "e", ":", "\\", "1", "\xC3\xA9", "\xC3\x89", "\xC4\xB1"};
  std::mt19937 random(17);
  const auto make = [&](std::size_t size) { return RandomText(random, pieces, size); };
  for (int round = 0; round < 20000; ++round) {
    std::vector<std::string> list(random() % 4);
    for (std::string& entry : list) entry = random() % 2 ? make(1) + ":" : make(random() % 4);
    const LocalPathRule rule(list);
    for (int text = 0; text < 4; ++text) {
      const std::string path = make(random() % 10);
      ASSERT_EQ(rule.Passes(path), PassesAsBefore(list, path)) << "\"" << path << "\" in " << list.size() << " entries";
    }
  }
}

// The severity as ten searches gave it, one per character counted.
std::string SeverityAsBefore(const std::string& text) {
  int found = 0;
  for (char c : std::string("%/*?\"<>|;,"))
    if (text.find(c) != std::string::npos) ++found;
  return found == 0 ? "High" : found == 1 ? "Normal" : "Low";
}

TEST(GetSeverity, CountsTheCharactersHeldAsTenSearchesDid) {
  const std::vector<std::string> pieces = {"%", "/", "*", "?", "\"", "<", ">", "|", ";", ",", "a", "\\",
                                           ":", "\xC3\xA9", std::string(1, '\0')};
  std::mt19937 random(19);
  std::string severity;
  for (int round = 0; round < 20000; ++round) {
    const std::string text = RandomText(random, pieces, random() % 8 + (round % 2 ? 0 : 30) * (random() % 2));
    GetSeverity(text, severity);
    ASSERT_EQ(severity, SeverityAsBefore(text)) << "\"" << text << "\"";
  }
}

TEST(KeyPaths, JoinWithOneBackslashBetweenTwoTexts) {
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"", "", ""},
      {"Software", "", "Software"},
      {"", "App", "App"},
      {"Software", "App", "Software\\App"},
      {"Software\\", "App", "Software\\\\App"},  // taken as they are
  };
  for (const auto& [a, b, joined] : cases) {
    EXPECT_EQ(JoinKeyPath(a, b), joined) << a << " + " << b;
    std::string path = a;
    AppendKeyPath(path, b);
    EXPECT_EQ(path, joined) << a << " + " << b;
  }
}

}  // namespace
}  // namespace regclean::test
