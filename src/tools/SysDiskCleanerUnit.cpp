#include "tools/SysDiskCleanerUnit.h"

#include <utility>

#include "platform/files/DiskFreeSpace.h"
#include "platform/files/FileSystem.h"
#include "platform/files/ShellFileOperation.h"
#include "platform/shell/ShellFileInfo.h"
#include "platform/text/TextCodec.h"
#include "regclean/PathRoutinesUnit.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace tools {

const char* const kDeleteQuestion =
    "The files will be permanently deleted and can not recovered!\r\rAre you sure to proceed?";
const char* const kDeleteQuestionCaption = "Junk File Cleaner - Delete Confirmation";
const char* const kRemoveTypeQuestion = "Are you sure to remove the selected item(s)?";
const char* const kSelectDirectoryTitle = "Select Directory";

namespace {

constexpr std::uint64_t kMegaByte = 1048576;
constexpr std::uint16_t kCleanFlags = win::FOF_NOCONFIRMATION | win::FOF_ALLOWUNDO | win::FOF_NOERRORUI;

// Holds the flag for the life of one search or clean.
class RunningFlag {
 public:
  explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~RunningFlag() { flag_ = false; }
  RunningFlag(const RunningFlag&) = delete;
  RunningFlag& operator=(const RunningFlag&) = delete;

 private:
  bool& flag_;
};

// "X:" of a path, upper-cased.
std::string DrivePart(const std::string& path) {
  return win::UpperName(path.substr(0, std::min<std::size_t>(path.size(), 2)));
}

// Folders the search enters: plain, hidden, hidden and system.
bool EntersFolder(win::DWORD attributes) { return attributes == 16 || attributes == 18 || attributes == 19; }

// Entries whose path the search shows.
bool ShowsEntry(win::DWORD attributes) {
  switch (attributes) {
    case 16: case 2: case 4: case 128: case 256: case 18: case 19: case 32:
      return true;
    default:
      return false;
  }
}

bool IsPlainFile(win::DWORD attributes) {
  return (attributes & (win::FILE_ATTRIBUTE_DIRECTORY | win::FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

// The shell's display name of a drive's root ("Local Disk (C:)").
std::string DriveCaption(const std::string& root) {
  win::SHFILEINFO info;
  if (win::SHGetFileInfo(root, 0, &info, win::SHGFI_DISPLAYNAME) == 0 || info.szDisplayName.empty()) return root;
  return info.szDisplayName;
}

bool CleanOne(CleanMode mode, const std::string& path, const std::string& folder) {
  if (mode == CleanMode::Delete) return win::DeleteFile(path);
  win::SHFILEOPSTRUCT operation;
  operation.wFunc = mode == CleanMode::Recycle ? win::FO_DELETE : win::FO_MOVE;
  operation.pFrom = path + std::string(2, '\0');
  if (mode == CleanMode::Move) operation.pTo = folder + std::string(2, '\0');
  operation.fFlags = kCleanFlags;
  return win::SHFileOperation(operation) == 0;
}

}  // namespace

std::string TReportRow::CountText() const { return std::to_string(Count); }
std::string TReportRow::SizeText() const { return std::to_string(Size / 1024) + " KB"; }

std::string KiloBytesText(std::uint64_t bytes) { return std::to_string(bytes / 1024) + " KB"; }

TJunkMatcher::TJunkMatcher(const std::vector<TJunkFileType>& types) {
  for (const TJunkFileType& type : types) {
    if (!type.Checked) continue;
    const std::string& mask = type.Mask;
    if (mask.size() >= 2 && mask[0] == '*' && mask[1] == '.') extensions_.insert(mask.substr(1));
    else if (mask.find('*') == std::string::npos) names_.insert(mask);
  }
}

bool TJunkMatcher::Matches(std::string_view name) const {
  if (!names_.empty() && names_.find(name) != names_.end()) return true;
  const std::size_t dot = name.rfind('.');
  return dot != std::string_view::npos && extensions_.find(name.substr(dot)) != extensions_.end();
}

TSysDiskCleaner::TSysDiskCleaner(JunkCleanerView& view) : view_(view) {}
TSysDiskCleaner::~TSysDiskCleaner() = default;

void TSysDiskCleaner::FormCreate() {
  FillDriveList();
  SetPage(kDrivesPage);
  backEnabled_ = false;
  view_.ButtonsChanged();
}

void TSysDiskCleaner::FormShow() { JunkCleanerState = kJunkShown; }
void TSysDiskCleaner::FormClose() { JunkCleanerState = kJunkStopSearch; }

void TSysDiskCleaner::SetPage(int page) {
  page_ = page;
  view_.PageChanged();
}

void TSysDiskCleaner::NextBtnClick() {
  if (JunkCleanerState == kJunkSearching || running_ || !nextEnabled_) return;
  if (page_ == kCleanupPage) {
    backEnabled_ = false;
    nextCaption_ = "Next>";
    SetPage(kDrivesPage);
    view_.ButtonsChanged();
    return;
  }
  // Moving needs a destination: without one, the folder is asked for and
  // the wizard stays where it is unless one is chosen.
  if (page_ == kCleanupOptionsPage && Mode == CleanMode::Move && regclean::Trim(MoveFolder).empty() &&
      !AskMoveFolder())
    return;
  SetPage(page_ + 1);
  // The buttons change once the page's work is done.
  EnterPage(page_);
  if (page_ == kCleanupPage) {
    backEnabled_ = false;
    nextCaption_ = "Finish";
  } else {
    backEnabled_ = true;
  }
  view_.ButtonsChanged();
}

void TSysDiskCleaner::EnterPage(int page) {
  switch (page) {
    case kJunkFilesPage:
      LoadJunkTypes(Types);
      view_.TypesChanged();
      break;
    case kScanPage:
      // A failed save keeps the old file; the search uses the types in memory.
      SaveJunkTypes(Types);
      JunkCleanerState = kJunkSearching;
      FillScanList();
      ScanDrives();
      if (JunkCleanerState == kJunkSearching) JunkCleanerState = kJunkSearched;
      break;
    case kReportPage:
      BuildReport();
      break;
    case kCleanupPage:
      if (Mode == CleanMode::Delete &&
          CurrentDialogs().MessageBox(kDeleteQuestion, kDeleteQuestionCaption,
                                      MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDNO)
        break;
      JunkCleanerState = kJunkCleaning;
      CleanJunkFiles();
      break;
    default:
      break;
  }
}

void TSysDiskCleaner::BackBtnClick() {
  if (JunkCleanerState == kJunkSearching || running_ || !backEnabled_ || page_ == kDrivesPage) return;
  SetPage(page_ - 1);
  if (page_ == kDrivesPage) backEnabled_ = false;
  if (page_ < kCleanupPage) nextEnabled_ = true;
  view_.ButtonsChanged();
}

void TSysDiskCleaner::StopScanBtnClick() { JunkCleanerState = kJunkStopSearch; }
void TSysDiskCleaner::StopRepairBtnClick() { JunkCleanerState = kJunkStopClean; }

void TSysDiskCleaner::SetTypeChecked(int row, bool checked) {
  if (row >= 0 && row < static_cast<int>(Types.size())) Types[static_cast<std::size_t>(row)].Checked = checked;
}

void TSysDiskCleaner::SelectAllTypes(bool checked) {
  for (TJunkFileType& type : Types) type.Checked = checked;
  view_.TypesChanged();
}

void TSysDiskCleaner::AddType(const std::string& mask, const std::string& description) {
  Types.push_back({true, CutJunkText(regclean::Trim(mask)), CutJunkText(description)});
  view_.TypesChanged();
}

void TSysDiskCleaner::EditType(int row, const std::string& mask, const std::string& description) {
  if (row < 0 || row >= static_cast<int>(Types.size())) return;
  TJunkFileType& type = Types[static_cast<std::size_t>(row)];
  type.Mask = CutJunkText(regclean::Trim(mask));
  type.Description = CutJunkText(description);
  view_.TypesChanged();
}

bool TSysDiskCleaner::DeleteType(int row) {
  if (row < 0 || row >= static_cast<int>(Types.size())) return false;
  if (CurrentDialogs().MessageBox(kRemoveTypeQuestion, "Fernwick", MB_YESNO | MB_ICONWARNING) != IDYES)
    return false;
  Types.erase(Types.begin() + row);
  view_.TypesChanged();
  return true;
}

void TSysDiskCleaner::SetDriveChecked(int row, bool checked) {
  if (row >= 0 && row < static_cast<int>(Drives.size())) Drives[static_cast<std::size_t>(row)].Checked = checked;
}

void TSysDiskCleaner::SetReportChecked(int row, bool checked) {
  if (row < 0 || row >= static_cast<int>(Report.size())) return;
  Report[static_cast<std::size_t>(row)].Checked = checked;
  UpdateReportTotals();
}

void TSysDiskCleaner::ChooseMoveMode() {
  Mode = CleanMode::Move;
  AskMoveFolder();
}

bool TSysDiskCleaner::AskMoveFolder() {
  std::string folder = MoveFolder;
  if (!CurrentDialogs().BrowseForFolder(kSelectDirectoryTitle, folder) || regclean::Trim(folder).empty()) return false;
  MoveFolder = folder;
  view_.MoveFolderChanged();
  return true;
}

void TSysDiskCleaner::ChooseDeleteMode() {
  Mode = CleanMode::Delete;
  MoveFolder.clear();
  view_.MoveFolderChanged();
}

void TSysDiskCleaner::ChooseRecycleMode() { Mode = CleanMode::Recycle; }

std::vector<TTempFileInfo> TSysDiskCleaner::FilesOf(const std::string& drive) const {
  if (drive.empty()) return Findings;
  std::vector<TTempFileInfo> files;
  for (const TTempFileInfo& file : Findings)
    if (DrivePart(file.FullPath) == drive) files.push_back(file);
  return files;
}

void TSysDiskCleaner::FillDriveList() {
  Drives.clear();
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string root = std::string(1, letter) + ":\\";
    if (win::GetDriveType(root) != win::DRIVE_FIXED) continue;
    std::uint64_t freeBytes = 0;
    std::uint64_t totalBytes = 0;
    if (!win::GetDiskFreeSpaceEx(root, &freeBytes, &totalBytes, nullptr)) continue;
    const std::uint64_t totalMb = totalBytes / kMegaByte;
    const std::uint64_t freeMb = freeBytes / kMegaByte;
    if (totalMb == 0 || freeMb == 0) continue;
    TDriveRow row;
    row.Caption = DriveCaption(root);
    row.TotalText = std::to_string(totalMb) + "MB";
    row.FreeText = std::to_string(freeMb) + "MB";
    row.Drive = std::string(1, letter) + ":";
    Drives.push_back(std::move(row));
  }
}

void TSysDiskCleaner::FillScanList() {
  ScanRows.clear();
  for (std::size_t i = 0; i < Drives.size(); ++i) {
    if (!Drives[i].Checked) continue;
    ScanRows.push_back({Drives[i].Caption, "", Drives[i].Drive, static_cast<int>(i)});
  }
  view_.ScanRowsChanged();
}

void TSysDiskCleaner::ScanDrives() {
  BusyGuard guard;
  RunningFlag running(running_);
  Findings.clear();
  const TJunkMatcher matcher(Types);
  matcher_ = &matcher;
  windowsFolder_ = win::GetWindowsDirectory();
  for (std::size_t i = 0; i < ScanRows.size(); ++i) {
    if (JunkCleanerState == kJunkStopSearch) break;
    const int row = static_cast<int>(i);
    ScanRows[i].Status = "Scanning";
    view_.ScanStatusChanged(row);
    ScanFolder(ScanRows[i].Drive);
    ScanRows[i].Status = JunkCleanerState == kJunkStopSearch ? "User Stop" : "Finished";
    view_.ScanStatusChanged(row);
    ProcessMessages();
  }
  matcher_ = nullptr;
  view_.SetScanMessage("");
}

void TSysDiskCleaner::ScanFolder(const std::string& folder) {
  win::FindData entry;
  const std::unique_ptr<win::FileFinder> finder = win::FindFirstFile(folder + "\\*.*", entry);
  if (!finder) return;
  std::string path;
  do {
    ProcessMessages();
    if (JunkCleanerState == kJunkStopSearch) break;
    const win::DWORD attributes = entry.attributes;
    path.assign(folder).append(1, '\\').append(entry.name);
    if (ShowsEntry(attributes)) view_.SetScanMessage(path);
    if (EntersFolder(attributes)) {
      if (entry.name != "." && entry.name != ".." && !win::SameName(path, windowsFolder_)) ScanFolder(path);
    } else if (IsPlainFile(attributes) && matcher_ && matcher_->Matches(entry.name)) {
      Findings.push_back({entry.name, path, entry.size});
    }
  } while (finder->Next(entry));
}

bool TSysDiskCleaner::CountDriveFiles(const std::string& drive, std::int64_t& count, std::uint64_t& size) const {
  count = 0;
  size = 0;
  for (const TTempFileInfo& file : Findings) {
    if (DrivePart(file.FullPath) != drive) continue;
    ++count;
    size += file.Size;
  }
  return count >= 1 || size >= 1;
}

void TSysDiskCleaner::BuildReport() {
  Report.clear();
  for (const TScanRow& scan : ScanRows) {
    TReportRow row;
    if (!CountDriveFiles(scan.Drive, row.Count, row.Size)) continue;
    row.Caption = scan.Caption;
    row.Drive = scan.Drive;
    row.DriveRow = scan.DriveRow;
    Report.push_back(std::move(row));
  }
  view_.ReportChanged();
  UpdateReportTotals();
}

void TSysDiskCleaner::UpdateReportTotals() {
  std::int64_t count = 0;
  std::uint64_t kiloBytes = 0;
  for (const TReportRow& row : Report) {
    if (!row.Checked) continue;
    count += row.Count;
    kiloBytes += row.Size / 1024;
  }
  view_.ReportTotalsChanged(std::to_string(count), std::to_string(kiloBytes) + " KB");
}

void TSysDiskCleaner::CleanJunkFiles() {
  BusyGuard guard;
  RunningFlag running(running_);
  CleanRows.clear();
  view_.CleanRowsChanged();
  int total = 0;
  for (const TReportRow& row : Report) {
    if (row.Checked) total += static_cast<int>(row.Count);
  }
  view_.ShowCleanProgress(true);
  view_.SetCleanProgress(0, total);
  const bool move = Mode == CleanMode::Move;
  for (const TReportRow& row : Report) {
    if (!row.Checked) continue;
    for (const TTempFileInfo& file : Findings) {
      if (DrivePart(file.FullPath) != row.Drive) continue;
      ProcessMessages();
      if (JunkCleanerState == kJunkStopClean) break;
      CleanRows.push_back({file.FullPath, ""});
      const int index = static_cast<int>(CleanRows.size()) - 1;
      view_.CleanRowAdded(index);
      const bool done = CleanOne(Mode, file.FullPath, MoveFolder);
      CleanRows.back().Status = move ? (done ? "File Moved" : "Moved Error") : (done ? "File Deleted" : "Deleted Error");
      view_.CleanStatusChanged(index);
      view_.SetCleanProgress(index + 1, total);
    }
    if (JunkCleanerState == kJunkStopClean) break;
  }
  view_.ShowCleanProgress(false);
}

}  // namespace tools
