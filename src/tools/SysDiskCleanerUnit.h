#pragma once
// The junk-file cleaner without its window: the fixed drives, the types of
// "JunkFile.dat", the search of the ticked drives for files whose name or
// extension is a ticked type, the report per drive, and the clean (delete,
// recycle or move into one folder). The wizard's six pages and its Back and
// Next buttons are a step machine here; the window shows what it is told.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "tools/Persrec.h"

namespace tools {

// Pages of the wizard.
constexpr int kDrivesPage = 0;
constexpr int kJunkFilesPage = 1;
constexpr int kScanPage = 2;
constexpr int kReportPage = 3;
constexpr int kCleanupOptionsPage = 4;
constexpr int kCleanupPage = 5;

// JunkCleanerState values.
constexpr std::uint8_t kJunkShown = 0;
constexpr std::uint8_t kJunkSearching = 1;
constexpr std::uint8_t kJunkStopSearch = 2;
constexpr std::uint8_t kJunkSearched = 3;
constexpr std::uint8_t kJunkCleaning = 4;
constexpr std::uint8_t kJunkStopClean = 5;

extern const char* const kDeleteQuestion;
extern const char* const kDeleteQuestionCaption;
extern const char* const kRemoveTypeQuestion;
extern const char* const kSelectDirectoryTitle;

struct TTempFileInfo {
  std::string FileName;
  std::string FullPath;  // the searched folder, a backslash, the name
  std::uint64_t Size = 0;
};

struct TDriveRow {
  std::string Caption;    // the shell's display name of "X:\"
  std::string TotalText;  // "%dMB"
  std::string FreeText;
  std::string Drive;      // "X:"
  bool Checked = true;
};

struct TScanRow {
  std::string Caption;
  std::string Status;  // "", "Scanning", "Finished" or "User Stop"
  std::string Drive;
  int DriveRow = 0;    // the drive list's row (its image)
};

struct TReportRow {
  std::string Caption;
  std::string Drive;
  int DriveRow = 0;
  std::int64_t Count = 0;
  std::uint64_t Size = 0;  // bytes
  bool Checked = true;
  std::string CountText() const;  // "%d"
  std::string SizeText() const;   // size div 1024, " KB"
};

struct TCleanRow {
  std::string Path;
  std::string Status;  // "File Deleted", "Deleted Error", "File Moved", "Moved Error"
};

enum class CleanMode { Delete, Recycle, Move };

// "%d KB" of a size in bytes.
std::string KiloBytesText(std::uint64_t bytes);

// The ticked types as the search tests them, case-sensitively: a mask
// "*.ext" against a name's extension (from its last dot on), a mask without
// "*" against the whole name; any other mask matches nothing.
class TJunkMatcher {
 public:
  explicit TJunkMatcher(const std::vector<TJunkFileType>& types);
  bool Matches(std::string_view name) const;
  bool Empty() const { return extensions_.empty() && names_.empty(); }

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
  };
  std::unordered_set<std::string, Hash, std::equal_to<>> extensions_;
  std::unordered_set<std::string, Hash, std::equal_to<>> names_;
};

// What the wizard's window shows. Every call has an empty default.
class JunkCleanerView {
 public:
  virtual ~JunkCleanerView() = default;
  // The notebook shows the wizard's page; Back, Next and Next's caption
  // follow the wizard.
  virtual void PageChanged() {}
  virtual void ButtonsChanged() {}
  // A list was refilled from the wizard's rows.
  virtual void TypesChanged() {}
  virtual void ScanRowsChanged() {}
  virtual void ReportChanged() {}
  virtual void CleanRowsChanged() {}
  virtual void ScanStatusChanged(int /*row*/) {}
  virtual void SetScanMessage(const std::string& /*text*/) {}
  // Status panels 1 and 2 of the report.
  virtual void ReportTotalsChanged(const std::string& /*count*/, const std::string& /*size*/) {}
  virtual void CleanRowAdded(int /*row*/) {}
  virtual void CleanStatusChanged(int /*row*/) {}
  // The cleaning panel with its gauge and Stop button.
  virtual void ShowCleanProgress(bool /*visible*/) {}
  virtual void SetCleanProgress(int /*done*/, int /*total*/) {}
  virtual void MoveFolderChanged() {}
};

class TSysDiskCleaner {
 public:
  explicit TSysDiskCleaner(JunkCleanerView& view);
  ~TSysDiskCleaner();
  TSysDiskCleaner(const TSysDiskCleaner&) = delete;
  TSysDiskCleaner& operator=(const TSysDiskCleaner&) = delete;

  std::vector<TDriveRow> Drives;
  std::vector<TJunkFileType> Types;
  std::vector<TScanRow> ScanRows;
  std::vector<TTempFileInfo> Findings;
  std::vector<TReportRow> Report;
  std::vector<TCleanRow> CleanRows;
  CleanMode Mode = CleanMode::Recycle;
  std::string MoveFolder;  // panJunkMoveFolder's caption

  int Page() const { return page_; }
  bool BackEnabled() const { return backEnabled_; }
  bool NextEnabled() const { return nextEnabled_; }
  const std::string& NextCaption() const { return nextCaption_; }
  // A search or a clean is under way.
  bool Running() const { return running_; }

  // FormCreate (the drive list, page 0), FormShow, FormClose.
  void FormCreate();
  void FormShow();
  void FormClose();
  void NextBtnClick();
  void BackBtnClick();
  void StopScanBtnClick();
  void StopRepairBtnClick();

  // The list of types: ticks, Select All, Add, Edit, Remove (asks first).
  void SetTypeChecked(int row, bool checked);
  void SelectAllTypes(bool checked);
  void AddType(const std::string& mask, const std::string& description);
  void EditType(int row, const std::string& mask, const std::string& description);
  bool DeleteType(int row);

  void SetDriveChecked(int row, bool checked);
  // A report row's tick; the totals follow.
  void SetReportChecked(int row, bool checked);
  // "Move all files in one folder": the folder browser; a chosen folder
  // becomes the destination. "Permanently delete files" empties it.
  void ChooseMoveMode();
  // The folder browser; true when a folder was chosen.
  bool AskMoveFolder();
  void ChooseDeleteMode();
  void ChooseRecycleMode();

  // The findings of one drive ("X:"), or all with an empty drive.
  std::vector<TTempFileInfo> FilesOf(const std::string& drive) const;

  // The steps themselves.
  void FillDriveList();
  void FillScanList();
  void ScanDrives();
  void ScanFolder(const std::string& folder);
  bool CountDriveFiles(const std::string& drive, std::int64_t& count, std::uint64_t& size) const;
  void BuildReport();
  void UpdateReportTotals();
  void CleanJunkFiles();

 private:
  void EnterPage(int page);
  void SetPage(int page);

  JunkCleanerView& view_;
  int page_ = kDrivesPage;
  bool backEnabled_ = false;
  bool nextEnabled_ = true;
  std::string nextCaption_ = "Next>";
  bool running_ = false;
  // Set while a search runs.
  const TJunkMatcher* matcher_ = nullptr;
  std::string windowsFolder_;
};

}  // namespace tools
