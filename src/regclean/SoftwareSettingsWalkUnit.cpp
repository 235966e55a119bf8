#include "regclean/SoftwareSettingsWalkUnit.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <numeric>
#include <string_view>
#include <utility>

#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/text/TextCodec.h"
#include "regclean/KeyWalkUnit.h"
#include "regclean/PathRoutinesUnit.h"
#include "regclean/ProblemReportUnit.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

namespace {

const char* const kInstallerPath = "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\INSTALLER";
const char* const kAppPaths = "App Paths";
constexpr int kOutcomeEvery = 200;
// The lists kept from key to key give back room above this.
constexpr std::size_t kKeptItems = 256;
constexpr std::size_t kKeptBytes = 65536;

// Where a word may begin that reaches past the first `clean` characters of
// a text, which hold none.
std::size_t FirstPlacePast(std::size_t clean, std::size_t wordSize, std::size_t textSize) {
  return std::min(clean >= wordSize ? clean - wordSize + 1 : 0, textSize);
}

// ContainsNoCase for a text whose first `clean` characters do not hold the
// word: only the places that reach past them are looked at.
bool ContainsNoCaseAfter(std::string_view text, std::size_t clean, std::string_view word) {
  return ContainsNoCase(text.substr(FirstPlacePast(clean, word.size(), text.size())), word);
}

// Words looked for in any letter case, each text passed once.
class WordSet {
 public:
  explicit WordSet(const std::vector<std::string>& words)
      : words_(words), longest_(std::accumulate(words.begin(), words.end(), std::size_t{0},
                                                [](std::size_t n, const std::string& w) { return std::max(n, w.size()); })) {}
  bool HeldIn(std::string_view text) const { return words_.HeldIn(text); }
  // For a text whose first `clean` characters hold none of the words.
  bool HeldAfter(std::string_view text, std::size_t clean) const {
    return words_.HeldIn(text.substr(FirstPlacePast(clean, longest_, text.size())));
  }

 private:
  win::AsciiNoCaseWords words_;
  std::size_t longest_;
};

class SoftwareSettingsWalk {
 public:
  SoftwareSettingsWalk(ScanContext& context, const SoftwareSettingsRules& rules)
      : context_(context),
        rules_(rules),
        folders_(KnownFolders::OfCurrentMachine()),
        files_(context),
        cutOffWords_(rules.cutOffWords),
        stopWords_(rules.stopWords),
        localPaths_(DriveList),
        commandFile_(CommandFilePathOptions(folders_, &*files_)) {}

  void Run() {
    win::TRegistry start(win::KEY_READ);
    start.SetRootKey(context_.root);
    startHoldsInstallerPath_ = ContainsNoCase(context_.startPath, kInstallerPath);
    if (start.OpenKeyReadOnly("\\" + context_.startPath)) VisitKey(start, context_.startPath, false, 0, 0);
  }

 private:
  // Examines the open key's values (when asked) and walks its subkeys, each
  // opened by this key's handle, `depth` levels below the start; false once
  // a stop was asked for. The first `clean` characters of path are its
  // parent's, which holds no cut-off word (nor the installer path).
  bool VisitKey(win::TRegistry& key, const std::string& path, bool examineValues, int depth,
                std::size_t clean) {
    if (examineValues && !ExamineValues(key, path)) return false;
    if (depth >= kMaxKeyDepth || cutOffWords_.HeldAfter(path, clean)) return true;
    const std::size_t installerClean = depth == 0 && startHoldsInstallerPath_ ? 0 : path.size();
    Level& level = LevelAt(depth);
    const std::uint64_t listed = key.ChangeCount();
    key.GetKeys(level.subKeys);
    win::TRegistry sub(win::KEY_READ);
    std::string& subPath = level.subPath;
    for (std::size_t i = 0; i < level.subKeys.count; ++i) {
      const std::string& name = level.subKeys.names[i];
      if (ScanStopRequested()) return false;
      AppendKeyPath(subPath.assign(path), name);
      if (++VisitedCount % kOutcomeEvery == 0) ShowOutcome(context_, subPath);
      IncItemsProcessed();
      if (rules_.skipInstallerAndAppPaths && ContainsNoCaseAfter(subPath, installerClean, kInstallerPath))
        continue;
      if (!(rules_.skipInstallerAndAppPaths && name == kAppPaths) &&
          sub.OpenListedSubKeyReadOnly(key, level.subKeys, i, listed) &&
          !VisitKey(sub, subPath, true, depth + 1, path.size()))
        return false;
      ProcessMessages();
    }
    if (level.subKeys.names.size() > kKeptItems) level.subKeys = {};
    return true;
  }

  // What a key's walk keeps, with its room, for the next key of its depth.
  struct Level {
    win::RegKeyList subKeys;
    std::string subPath;
  };
  Level& LevelAt(int depth) {
    while (levels_.size() <= static_cast<std::size_t>(depth)) levels_.emplace_back();
    return levels_[static_cast<std::size_t>(depth)];
  }

  bool ExamineValues(win::TRegistry& key, const std::string& path) {
    // The values as listed are read again by name once anything changed;
    // a change while they are listed counts too.
    const std::uint64_t listed = key.ChangeCount();
    key.GetValues(values_);
    if (values_.count == 0) return true;
    KeyPathOf keyPath{context_.root, path, {}};
    bool large = values_.items.size() > kKeptItems;
    for (std::size_t i = 0; i < values_.count; ++i) {
      win::RegValue& value = values_.items[i];
      const std::string& name = value.name;
      large = large || value.data.capacity() > kKeptBytes;
      ProcessMessages();
      if (ScanStopRequested()) return false;
      if (key.ChangeCount() != listed && !key.ReadRaw(name, value.type, value.data)) continue;
      if (value.type != win::REG_SZ && value.type != win::REG_EXPAND_SZ) continue;
      win::Utf16LeBytesToUtf8(value.data, data_);
      const std::string& data = data_;
      // Data without a variable expands to itself, and without a colon it
      // names no drive.
      const bool expands = data.find('%') != std::string::npos;
      if ((!expands && data.find(':') == std::string::npos) || stopWords_.HeldIn(data)) continue;
      if (expands) {
        CheckData(keyPath, name, data, ExpandFolderVariables(data, folders_));
      } else {
        CheckData(keyPath, name, data, data);
      }
    }
    if (large || data_.capacity() > kKeptBytes) {
      values_ = {};
      data_ = {};
    }
    return true;
  }

  // A key's full path, formed the first time a problem needs it.
  struct KeyPathOf {
    win::HKEY root;
    const std::string& path;
    std::string full;
    const std::string& Get() {
      if (full.empty()) full = FullKeyPath(root, path);
      return full;
    }
  };

  // Reports the expanded data when it names a missing folder or, failing
  // that, when the file cut out of it is missing.
  void CheckData(KeyPathOf& keyPath, const std::string& name, const std::string& raw, const std::string& data) {
    // Both kinds need a drive letter.
    if (data.find(':') == std::string::npos) return;
    if (!localPaths_.Passes(data) || (rules_.skipDriveH && Contains(data, "H:\\"))) return;
    if (HasDriveRoot(win::TrimmedView(data)) && IsPlainFolderPath(data) && !files_->Exists(data)) {
      AddUnlessIgnored(context_, MissingFolderProblem(keyPath.Get(), name, raw, data));
      return;
    }
    if (files_->DirectoryExists(data)) return;
    std::string file = ExtractProgramPath(data, commandFile_);
    if ((rules_.fileNeedsDriveRoot && !Contains(file, ":\\")) || !IsValidFilePath(file) ||
        files_->NonFolderExists(file) || ContainsNoCase(file, "msoe.dll"))
      return;
    AddUnlessIgnored(context_, MissingFileProblem(keyPath.Get(), name, raw, std::move(file)));
  }

  TRegistryContent MissingFolderProblem(const std::string& keyPath, const std::string& name,
                                        const std::string& raw, const std::string& folder) const {
    static constexpr TTextForm kFolder{"", TProblemField::Value};
    TRegistryContent problem = MissingPathProblem(keyPath, name, folder, rules_.folderDetail);
    problem.KeyName = kFolder;
    problem.Severity = SeverityOf(raw);
    return problem;
  }

  TRegistryContent MissingFileProblem(const std::string& keyPath, const std::string& name,
                                      const std::string& raw, std::string file) const {
    static constexpr TTextForm kValueNameText{" ValueName:", TProblemField::ValueName};
    TRegistryContent problem = MissingPathProblem(keyPath, name, std::move(file), rules_.fileDetail);
    problem.Severity = SeverityOf(raw);
    // Named after the item's value name: "default" for the unnamed value.
    problem.ValueNameText = kValueNameText;
    return problem;
  }

  ScanContext& context_;
  const SoftwareSettingsRules& rules_;
  bool startHoldsInstallerPath_ = false;
  const KnownFolders folders_;
  ScanFiles files_;
  const WordSet cutOffWords_;
  const WordSet stopWords_;
  const LocalPathRule localPaths_;
  const ProgramPathOptions commandFile_;  // as ExtractCommandFilePath cuts
  std::deque<Level> levels_;  // by depth; growing moves none
  // Kept from key to key and from value to value.
  win::RegValueList values_;
  std::string data_;
};

}  // namespace

void ScanSoftwareSettings(ScanContext& context, const SoftwareSettingsRules& rules) {
  SoftwareSettingsWalk(context, rules).Run();
}

}  // namespace regclean
