#include "privacy/WindowSystemUnit.h"

#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "privacy/EvidenceCleanUnit.h"
#include "shell/PublicFunctionUnit.h"

void ListRecycledFolders(std::vector<std::string>& List) {
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string root = std::string(1, letter) + ":\\";
    if (win::GetDriveType(root) == win::DRIVE_FIXED) List.push_back(root + "Recycled");
  }
}

void ListRecycledFiles(const std::string& Folder, TEvidenceTree& Tree, int NodeIndex, int& Counter,
                       TResultContents& Results, const TExcludeContents& ExcludeList) {
  for (const auto& entry : ListFolderEntries(Folder)) {
    if (!ContinueScan()) break;
    const std::string upper = win::UpperName(entry.Name);
    if (entry.Attributes >= 101 || upper == "INFO2" || upper == "DESKTOP.INI") continue;
    const std::string path = Folder + "\\" + entry.Name;
    if (IsExcludedEntry("RecycleBin", path, ExcludeList)) continue;
    TResultContentItem& item = Results.GetItem(Results.Add());
    item.Checked = Settings.SelectAll ? 1 : 0;
    item.Filled = 1;
    item.Kind = kKindFile;
    item.EntryType = "File";
    item.Section = "Microsoft Windows";
    item.Description = "Clean RecycleBin";
    item.ItemName = "RecycleBin";
    item.Name = entry.Name;
    item.Path = path;
    item.Size = FileSizeOf(path);
    TotalEvidenceSize += item.Size;
    SetEvidenceCount(NodeIndex, ++Counter, 0, Tree);
  }
}

void ScanRecycleBin(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                    const TExcludeContents& ExcludeList) {
  std::vector<std::string> folders;
  ListRecycledFolders(folders);
  int counter = 0;
  for (const auto& folder : folders) {
    if (ScanState == 2) break;
    ListRecycledFiles(folder, Tree, NodeIndex, counter, Results, ExcludeList);
  }
}
