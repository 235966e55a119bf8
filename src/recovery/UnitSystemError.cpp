#include "recovery/UnitSystemError.h"

#include <charconv>
#include <cstdio>
#include <limits>

#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"
#include "shell/Dialogs.h"
#include "shell/PublicFunctionUnit.h"

namespace recovery {

const char* const kErrorListFileName = "errorlist.txt";
const char* const kErrorListServerPath = "/update/errorlist.txt";
const char* const kErrorListWaitTitle = "Fernwick - Error Utilities";
const char* const kIeOptionWarning =
    "Warning: This option is just suitable for the case that the IE\r"
    "was incompletely uninstalled and thus unable to reinstall the IE.\r"
    "If your IE works fine or it hasn't been uninstalled, please DO\r"
    "NOT select this option, otherwise it would create troubles for\r"
    "your IE performance.\r\rAre you sure to select this option?";
const char* const kSelectErrorMessage = "Please select the specific item for this operation!";
const char* const kErrorsRepairedMessage = "The error(s) has been repaired successfully!";
const char* const kFixesFailedMessage = "%d registry fix(es) could not be applied!";

namespace {

constexpr const char* kCaption = "Fernwick";
constexpr const char* kFileMark = "reg";

struct BuiltInError {
  const char* caption;
  const char* description;
};

constexpr BuiltInError kBuiltInErrors[] = {
    {"\"Internal application error\" occurred in Windows Media Player",
     "\"Internal application error\" occurred in Windows Media Player"},
    {"1607: Unable to install InstallShield Scripting Runtime",
     "Received error message \"1607: Unable to install InstallShield Scripting Runtime\" when "
     "trying to install software in Windows XP"},
    {"Unable to open new window by IE hyperlink", "It was unable to open new Window in IE hyperlink. "},
    {"Unable to update Windows online", "The issue of system being unable to update online."},
};

// A signed 32-bit decimal ("-12", "+7", "42"), nothing else.
bool ParseInt32(const std::string& text, std::int32_t& value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  if (begin == end || (*begin == '-' && begin + 1 == end)) return false;
  const auto [stop, ec] = std::from_chars(begin, end, value);
  return ec == std::errc() && stop == end;
}

// The number of the one character at pos; 0 when there is none or it is not
// a digit.
int DigitAt(const std::string& text, std::size_t pos) {
  return pos < text.size() ? StrToIntOrZero(text.substr(pos, 1)) : 0;
}

bool SameTitleIgnoringCase(const std::string& a, const std::string& b) {
  return win::UpperName(a) == win::UpperName(b);
}

}  // namespace

bool SplitErrorLine(const std::string& line, TContent& content) {
  const std::size_t paren = line.find(')');
  if (paren == std::string::npos) return false;
  const std::size_t bars = line.find("||", paren + 1);
  if (bars == std::string::npos) return false;
  content.Title = line.substr(0, paren);
  content.KeyPath = line.substr(paren + 1, bars - paren - 1);
  content.SpecList = line.substr(bars + 2);
  const std::size_t hashes = content.SpecList.find("##");
  content.Description =
      hashes == std::string::npos ? std::u16string() : win::Utf8ToUtf16(content.SpecList.substr(hashes + 2));
  content.Selected = 0;
  return true;
}

std::vector<std::string> SplitCommaList(const std::string& text) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (std::size_t comma = text.find(','); comma != std::string::npos; comma = text.find(',', start)) {
    pieces.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  pieces.push_back(text.substr(start));
  return pieces;
}

int StrToIntOrZero(const std::string& text) {
  std::int32_t value = 0;
  return ParseInt32(text, value) ? value : 0;
}

std::vector<RegistryFix> ParseFixes(const std::string& specList) {
  std::vector<RegistryFix> fixes;
  for (const std::string& piece : SplitCommaList(specList.substr(0, specList.find("##")))) {
    const std::size_t hash = piece.find('#');
    const std::size_t dollar = piece.find('$');
    const std::size_t at = piece.find('@');
    if (hash == std::string::npos || dollar == std::string::npos || at == std::string::npos) continue;
    RegistryFix fix;
    fix.Name = piece.substr(0, hash);
    fix.Data = dollar > hash ? piece.substr(hash + 1, dollar - hash - 1) : std::string();
    fix.Action = DigitAt(piece, dollar + 1);
    fix.Type = DigitAt(piece, at + 1);
    fixes.push_back(std::move(fix));
  }
  return fixes;
}

FixOutcome ApplyRegistryFix(const std::string& keyPath, const std::string& valueName,
                            const std::string& data, int action, int type) {
  const std::size_t slash = keyPath.find('\\');
  const win::HKEY root = RootKeyFromName(keyPath.substr(0, slash));
  if (root == 0) return FixOutcome::Skipped;
  const bool writes = action == 1 && (type == 0 || type == 1);
  if (!writes && action != 2) return FixOutcome::Skipped;  // a fix that does nothing
  const std::string subKey = slash == std::string::npos ? std::string() : keyPath.substr(slash + 1);
  if (subKey.find_first_not_of('\\') == std::string::npos) return FixOutcome::Failed;  // a root alone
  std::int32_t number = 0;
  if (writes && type == 0 && !ParseInt32(data, number)) return FixOutcome::Failed;

  win::TRegistry registry(win::KEY_ALL_ACCESS);
  registry.SetRootKey(root);
  if (!registry.KeyExists("\\" + subKey)) return FixOutcome::Skipped;
  if (!registry.OpenKey("\\" + subKey, false)) return FixOutcome::Failed;
  if (action == 2) {
    if (!registry.ValueExists(valueName)) return FixOutcome::AlreadySo;
    return registry.DeleteValue(valueName) ? FixOutcome::Applied : FixOutcome::Failed;
  }
  const bool written = type == 0 ? registry.WriteInteger(valueName, number)
                                 : registry.WriteString(valueName, data);
  return written ? FixOutcome::Applied : FixOutcome::Failed;
}

void ParseErrorList(const std::vector<std::string>& lines, TErrorContents& contents,
                    std::vector<ErrorRow>& rows) {
  std::string remembered;
  for (const std::string& line : lines) {
    if (line.empty()) continue;
    TContent content;
    if (!SplitErrorLine(line, content)) continue;
    contents.GetItem(contents.Add()).Content = content;
    if (content.Title != remembered) {
      rows.push_back(ErrorRow{content.Title, win::Utf16ToUtf8(content.Description), kFileMark, 0});
      remembered = content.Title;
    }
  }
}

void AddBuiltInErrors(std::vector<ErrorRow>& rows) {
  for (const BuiltInError& error : kBuiltInErrors) {
    rows.push_back(ErrorRow{error.caption, error.description, "", 0});
  }
}

std::string GetErrorDescription(const TErrorContents& contents, const std::string& title) {
  for (std::int32_t i = 0; i < contents.Count(); ++i) {
    const TContent& content = contents.GetItem(i).Content;
    if (content.Title == title) return win::Utf16ToUtf8(content.Description);
  }
  return {};
}

void LoadErrorList(win::HttpClient& http, ListDownloadView* view, TErrorContents& contents,
                   std::vector<ErrorRow>& rows) {
  EnsureServerList(http, kErrorListFileName, kErrorListServerPath, kErrorListWaitTitle, view);
  std::vector<std::string> lines;
  if (ReadServerList(kErrorListFileName, lines)) ParseErrorList(lines, contents, rows);
  AddBuiltInErrors(rows);
}

bool ToggleErrorRow(std::vector<ErrorRow>& rows, std::size_t index) {
  if (index >= rows.size()) return false;
  ErrorRow& row = rows[index];
  if (index < 2) {
    if (row.State == 1) {
      row.State = 0;
      return true;
    }
    if (CurrentDialogs().MessageBox(kIeOptionWarning, kCaption, MB_YESNO | MB_ICONWARNING) != IDYES) {
      return false;
    }
    row.State = 1;
    return true;
  }
  if (row.State != 0 && row.State != 1) return false;
  row.State = 1 - row.State;
  return true;
}

void SelectAllErrorRows(std::vector<ErrorRow>& rows, bool checked) {
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i].State = i >= 2 && checked ? 1 : 0;
}

std::string ErrorRowDescription(const ErrorRow& row, const TErrorContents& contents) {
  return row.Mark != kFileMark ? row.Description : GetErrorDescription(contents, row.Caption);
}

RepairTally RepairSelectedErrors(const std::vector<ErrorRow>& rows, const TErrorContents& contents) {
  RepairTally tally;
  for (const ErrorRow& row : rows) {
    if (row.State != 1) continue;
    int fixes = 0;
    if (row.Mark == kFileMark) {
      for (std::int32_t i = 0; i < contents.Count(); ++i) {
        const TContent& content = contents.GetItem(i).Content;
        if (!SameTitleIgnoringCase(content.Title, row.Caption)) continue;
        for (const RegistryFix& fix : ParseFixes(content.SpecList)) {
          ++fixes;
          switch (ApplyRegistryFix(content.KeyPath, fix.Name, fix.Data, fix.Action, fix.Type)) {
            case FixOutcome::Applied:
            case FixOutcome::AlreadySo: ++tally.changed; break;
            case FixOutcome::Skipped: ++tally.notApplied; break;
            case FixOutcome::Failed: ++tally.failed; break;
          }
        }
      }
    }
    if (fixes == 0) ++tally.notApplied;  // a built-in error, or one without fixes
  }
  return tally;
}

bool RepairErrors(const std::vector<ErrorRow>& rows, const TErrorContents& contents) {
  bool anyTicked = false;
  for (const ErrorRow& row : rows) anyTicked = anyTicked || row.State == 1;
  if (!anyTicked) {
    CurrentDialogs().MessageBox(kSelectErrorMessage, kCaption, MB_OK | MB_ICONWARNING);
    return false;
  }
  const RepairTally tally = RepairSelectedErrors(rows, contents);
  if (tally.failed == 0 && tally.changed > 0) {
    CurrentDialogs().MessageBox(kErrorsRepairedMessage, kCaption, MB_OK | MB_ICONINFORMATION);
    return true;
  }
  char text[96];
  std::snprintf(text, sizeof(text), kFixesFailedMessage, tally.failed > 0 ? tally.failed : tally.notApplied);
  CurrentDialogs().MessageBox(text, kCaption, MB_OK | MB_ICONWARNING);
  return false;
}

}  // namespace recovery
