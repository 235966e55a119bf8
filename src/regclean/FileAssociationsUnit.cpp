#include "regclean/FileAssociationsUnit.h"

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"
#include "regclean/FileExtensionUnit.h"
#include "regclean/ProblemReportUnit.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

const char* const kFileAssociationsCaption = "Invalid File Associations";

namespace {

const char* const kUserFileExts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";

using NameSet = std::unordered_set<std::string>;  // upper-cased names

NameSet UpperNameSet(const std::vector<std::string>& names) {
  NameSet set;
  for (const std::string& name : names) set.insert(win::UpperName(name));
  return set;
}

// Where the user's "FileExts" key registers classes: its extension subkeys,
// and the value names of their "OpenWithProgids" keys.
struct UserFileExts {
  NameSet extensions;
  NameSet progIds;

  static UserFileExts Read() {
    UserFileExts user;
    const std::vector<std::string> extensions = SubKeyNamesOf(win::HKEY_CURRENT_USER, kUserFileExts);
    user.extensions = UpperNameSet(extensions);
    win::TRegistry key(win::KEY_READ);
    key.SetRootKey(win::HKEY_CURRENT_USER);
    std::vector<std::string> values;
    for (const std::string& extension : extensions) {
      if (!key.OpenKeyReadOnly("\\" + std::string(kUserFileExts) + "\\" + extension + "\\OpenWithProgids"))
        continue;
      key.GetValueNames(values);
      for (const std::string& value : values) user.progIds.insert(win::UpperName(value));
      key.CloseKey();
    }
    return user;
  }
};

TRegistryContent UnregisteredClassProblem(const std::string& keyPath, const std::string& extension,
                                          const std::string& fileClass) {
  TRegistryContent problem = MissingPathProblem(keyPath, "", fileClass);
  problem.KeyName = extension;
  problem.ValueNameText = kDefaultValueNameText;
  problem.Severity = SeverityText("High");
  return problem;
}

}  // namespace

void ScanFileAssociations(ScanContext& context) {
  context.collection->Clear();
  win::TRegistry key(win::KEY_READ);
  key.SetRootKey(context.root);
  if (!key.OpenKeyReadOnly("\\" + context.startPath)) return;
  std::vector<std::string> names;
  key.GetKeyNames(names);
  key.CloseKey();
  // Every class-root name counts as a registered class, whatever the split
  // leaves of it.
  const NameSet classes = UpperNameSet(names);
  std::vector<std::string> extensions;
  SplitClassRootNames(names, extensions);
  const UserFileExts user = UserFileExts::Read();

  win::DWORD type = win::REG_NONE;
  std::vector<std::uint8_t> bytes;
  for (const std::string& extension : extensions) {
    if (ScanStopRequested()) return;
    ShowOutcome(context, extension);
    IncItemsProcessed();
    const std::string path = JoinKeyPath(context.startPath, extension);
    if (key.OpenKeyReadOnly("\\" + path) && key.ReadRaw("", type, bytes) &&
        (type == win::REG_SZ || type == win::REG_EXPAND_SZ)) {
      const std::string fileClass = win::Utf16LeBytesToUtf8(bytes);
      const std::string upperClass = win::UpperName(fileClass);
      const bool registered = classes.count(upperClass) > 0 ||
                              user.extensions.count(win::UpperName(extension)) > 0 ||
                              user.progIds.count(upperClass) > 0;
      if (!fileClass.empty() && !Contains(fileClass, "\\") && IsFixedDrivePath(DriveList, fileClass) &&
          !registered)
        AddUnlessIgnored(context, UnregisteredClassProblem(FullKeyPath(context.root, path), extension, fileClass));
    }
    key.CloseKey();
    ProcessMessages();
  }
}

RegistrySection FileAssociationsSection() { return ValueRepairSection({ScanFileAssociations}); }

void RepairFileAssociations(RepairContext& context) {
  RepairCheckedItems(context, FileAssociationsSection());
}

}  // namespace regclean
