#pragma once
// What the "Preferences" dialog does, without its window: the general
// settings with the start-with-Windows value, the ignore list page and the
// scheduled scan job. The window copies its controls into these records,
// calls the routine of its handler and shows the records again.

#include <string>
#include <vector>

#include "shell/PublicFunctionUnit.h"

extern const char* const RunKey;  // "\Software\Microsoft\Windows\CurrentVersion\Run"

// Page "General Settings".
struct GeneralSettingsPage {
  bool ChkRun = false;
  bool ChkAutoBackup = false;
  bool ChkCheckItem = false;
  bool cbCheckUpdate = false;
  std::string LabelVer;
};

// Ticks from the registry (a key that cannot be opened leaves its boxes as
// they are) and the version label.
void LoadGeneralSettings(GeneralSettingsPage& page);
// Writes "NotAutoBackup", "SelectAll" and "CheckUpdate" and sets Settings to
// match; false (nothing written) when the settings key cannot be opened.
bool SaveGeneralSettings(const GeneralSettingsPage& page);
// Writes or deletes the Run value named after the program's file.
bool SetRunAtStartup(bool on);

// "Version: 4.0, Last Time: " and the program file's time in the machine's
// short date and time format, or "Unknowable Version" when the file is missing.
std::string VersionLabelText(const std::string& version);

// Page "Ignore List": the ignore file's lines as last read, one row per line
// that is not blank.
class TIgnoreListPage {
 public:
  struct Row {
    std::string Category;     // the section
    std::string RegistryKey;  // the key path
  };

  // FillIgnoreListPage.
  void Fill();
  const std::vector<Row>& Rows() const { return rows_; }
  // RemoveSelectBtnClick for a row: the file is written again without that
  // row's line (through a temporary file). When it cannot be written, the
  // row and the line stay and a message says so; false then, and for a row
  // that does not exist.
  bool RemoveRow(int row);

 private:
  std::vector<std::string> lines_;
  std::vector<Row> rows_;
  std::vector<std::size_t> rowLines_;  // the line each row was read from
};

extern const char* const kIgnoreListNotWrittenMessage;

// Page "Scheduling".
struct SchedulePage {
  bool cbActiveTask = false;
  int StartHour = 9;  // dtpStartTime
  int StartMinute = 30;
  int SpinEditDays = 1;
  bool ControlsEnabled = false;  // dtpStartTime and SpinEditDays
  std::string abTaskName;
  std::string TaskApplication;  // whose icon ImageTask shows; empty for none
};

// cbActiveTaskClick, after the box changed to page.cbActiveTask: ticked, the
// current time and 1 day, enabled; unticked, 09:30 and 1 day, disabled.
void ActiveTaskClick(SchedulePage& page, const TDateTime& now);
// Looks for the job (letter case ignored) and shows it; a job that is not
// there any more is forgotten.
void LoadSchedule(SchedulePage& page, const TDateTime& now);
// Deletes, creates or changes the job as the page says; the trigger starts
// on today's date. A job that cannot be deleted gives a message and stays.
void SaveSchedule(const SchedulePage& page, const TDateTime& today);

extern const char* const kJobExistsMessage;
