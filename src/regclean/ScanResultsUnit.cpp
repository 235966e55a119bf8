#include "regclean/ScanResultsUnit.h"

#include <algorithm>
#include <array>

#include "regclean/IgnoreFileUnit.h"
#include "regclean/ScanDriverUnit.h"
#include "shell/Dialogs.h"

namespace regclean {

const char* const kIgnoreAppendFailedMessage =
    "The entry could not be written to the ignore list file:\r%s\r\r"
    "It is taken out of these results, but the next scan will report it again.";

namespace {

// Position of the item with that Index in a collection; -1 when none.
int FindByIndex(const TRegistryContents& contents, std::int32_t index) {
  for (std::int32_t i = 0; i < contents.Count(); ++i)
    if (contents.GetItem(i).Content.Index == index) return i;
  return -1;
}

// The section collection that shares an "All Problems" item.
int SectionOfShared(ScanSession& session, const TRegistryContent& shared) {
  if (const SectionSpec* spec = SectionByCaption(shared.SectionName))
    if (FindByIndex(*session.Collection(spec->number), shared.Index) >= 0) return spec->number;
  for (int section = 1; section <= kSectionCount; ++section)
    if (FindByIndex(*session.Collection(section), shared.Index) >= 0) return section;
  return -1;
}

// The other list's entry of the same problem: (collection, position), or a
// null collection.
std::pair<TRegistryContents*, int> Counterpart(ScanSession& session, int section,
                                               const TRegistryContent& item) {
  const int other = section == kAllProblems ? SectionOfShared(session, item) : kAllProblems;
  TRegistryContents* contents = session.Collection(other);
  if (!contents) return {nullptr, -1};
  const int position = FindByIndex(*contents, item.Index);
  return {position < 0 ? nullptr : contents, position};
}

// The section's caption as a problem's SectionName, without a copy per problem.
TProblemText SectionNameText(const SectionSpec& spec) {
  static const std::array<TTextForm, kSectionCount> captions = [] {
    std::array<TTextForm, kSectionCount> forms{};
    for (const SectionSpec& section : SectionTable())
      forms[static_cast<std::size_t>(section.number - 1)].before = section.caption.c_str();
    return forms;
  }();
  return captions[static_cast<std::size_t>(spec.number - 1)];
}

void UpdateRowCounts(ScanSession& session) {
  for (ResultRow& row : session.ResultRows) {
    row.countText = std::to_string(row.section == kAllProblems
                                       ? session.GetTotalProblemCount()
                                       : ProblemCount(session, row.section));
  }
}

}  // namespace

void ShowScanResults(ScanSession& session) {
  TRegistryContents& all = *session.Collection(kAllProblems);
  all.Clear();
  session.ResultRows.clear();
  const int total = session.GetTotalProblemCount();
  all.Reserve(total);
  if (total > 0) session.ResultRows.push_back({kAllProblemsCaption, std::to_string(total), 0});
  for (const SectionSpec& spec : SectionTable()) {
    TRegistryContents& contents = *session.Collection(spec.number);
    if (contents.Count() == 0) continue;
    const TProblemText caption = SectionNameText(spec);
    for (std::int32_t i = 0; i < contents.Count(); ++i) {
      contents.GetItem(i).Content.SectionName = caption;
      all.AddShared(contents, i);
    }
    session.ResultRows.push_back(
        {"    " + spec.caption, std::to_string(contents.Count()), spec.number});
  }
}

int ProblemCount(ScanSession& session, int section) {
  const TRegistryContents* contents = session.Collection(section);
  return contents ? contents->Count() : 0;
}

const TRegistryContent* Problem(ScanSession& session, int section, int position) {
  const TRegistryContents* contents = session.Collection(section);
  if (!contents || position < 0 || position >= contents->Count()) return nullptr;
  return &contents->GetItem(position).Content;
}

std::string GetProblemText(ScanSession& session, int section, int position) {
  const TRegistryContent* item = Problem(session, section, position);
  return item ? item->ProblemType.str() + "\r" + item->Description.str() : std::string();
}

std::string ProblemSectionCaption(ScanSession& session, int section, int position) {
  const TRegistryContent* item = Problem(session, section, position);
  if (!item) return std::string();
  if (section == kAllProblems) return item->SectionName;
  const SectionSpec* spec = SectionByNumber(section);
  return spec ? spec->caption : std::string();
}

bool SetProblemChecked(ScanSession& session, int section, int position, bool checked) {
  if (session.Busy() || !Problem(session, section, position)) return false;
  // Both lists share the item.
  session.Collection(section)->GetItem(position).Content.Checked = checked;
  return true;
}

bool SetAllProblemsChecked(ScanSession& session, int section, bool checked) {
  TRegistryContents* contents = session.Collection(section);
  if (session.Busy() || !contents) return false;
  // Both lists share the items.
  for (std::int32_t i = 0; i < contents->Count(); ++i) contents->GetItem(i).Content.Checked = checked;
  return true;
}

ExcludeResult ExcludeProblem(ScanSession& session, int section, int position) {
  if (session.Busy() || !Problem(session, section, position)) return ExcludeResult::Refused;
  TRegistryContents& contents = *session.Collection(section);
  const TRegistryContent item = contents.GetItem(position).Content;
  const std::string caption = ProblemSectionCaption(session, section, position);
  const bool saved = AppendIgnoreLine(caption, item.KeyPath, item.ValueName);

  const auto [other, otherPosition] = Counterpart(session, section, item);
  contents.Delete(position);
  if (other) other->Delete(otherPosition);
  UpdateRowCounts(session);

  if (saved) return ExcludeResult::Excluded;
  std::string message = kIgnoreAppendFailedMessage;
  message.replace(message.find("%s"), 2, IgnoreFilePath());
  CurrentDialogs().MessageBox(message, "Fernwick", MB_ICONWARNING | MB_OK);
  return ExcludeResult::ExcludedUnsaved;
}

std::string ProblemsFoundText(int count) { return std::to_string(count) + " Problems Found"; }

std::string ProblemsFoundColumnText(int total) {
  return "Problems Found: " + std::to_string(total);
}

SeverityStyle StyleOfSeverity(const std::string& severity) {
  if (severity == "Low") return {"Low", 0, 0, 0, 0};
  if (severity == "Normal") return {"Normal", 0, 0, 255, 1};
  if (severity == "High") return {"High", 255, 0, 0, 2};
  return {};
}

namespace {

// Characters of UTF-8 text (code points).
std::size_t CharCount(const std::string& text) {
  std::size_t n = 0;
  for (char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return n;
}

// The first `count` characters.
std::string FirstChars(const std::string& text, std::size_t count) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && seen++ == count) return text.substr(0, i);
  }
  return text;
}

std::string AfterChars(const std::string& text, std::size_t count) {
  return text.substr(FirstChars(text, count).size());
}

}  // namespace

ProblemRowText LayoutProblemRow(const std::string& problemText, int charWidth, int availableWidth) {
  ProblemRowText row;
  const std::size_t breakAt = problemText.find('\r');
  row.headline = problemText.substr(0, breakAt);
  const std::string description =
      breakAt == std::string::npos ? std::string() : problemText.substr(breakAt + 1);
  if (charWidth <= 0 || availableWidth <= 0) {
    row.descriptionLines.push_back(description);
    return row;
  }
  const long long fits = RoundedQuotient(availableWidth, charWidth);
  auto tooWide = [&](const std::string& text) {
    return static_cast<long long>(CharCount(text)) * charWidth > availableWidth;
  };
  if (tooWide(row.headline))
    row.headline = FirstChars(row.headline, static_cast<std::size_t>(std::max(0LL, fits - 2)));
  const std::size_t piece = static_cast<std::size_t>(fits + 6);
  if (!tooWide(description)) {
    row.descriptionLines.push_back(description);
    return row;
  }
  row.descriptionLines.push_back(FirstChars(description, piece));
  const std::string rest = AfterChars(description, piece);
  if (!tooWide(rest)) {
    row.descriptionLines.push_back(rest);
    return row;
  }
  row.descriptionLines.push_back(FirstChars(rest, piece));
  row.descriptionLines.push_back(AfterChars(rest, piece));
  return row;
}

bool HitsTickBox(int x, int y, int left, int top) {
  return x >= left + 10 && x <= left + 26 && y >= top + 29 && y <= top + 46;
}

}  // namespace regclean
