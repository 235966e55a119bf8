#include "regclean/SectionTableUnit.h"

#include <cstdio>

namespace regclean {

const char* const kAllProblemsCaption = "All Problems";

namespace {

using win::HKEY_CLASSES_ROOT;
using win::HKEY_CURRENT_USER;
using win::HKEY_LOCAL_MACHINE;
using win::HKEY_USERS;

ScanCallSpec Call(win::HKEY root, std::string path) {
  ScanCallSpec call;
  call.root = root;
  call.startPath = std::move(path);
  return call;
}

ScanCallSpec WithoutIgnoreList(ScanCallSpec call) {
  call.getsIgnoreList = false;
  return call;
}

SectionSpec Section(int number, std::string caption, std::vector<ScanCallSpec> calls,
                    std::string description) {
  SectionSpec spec;
  spec.number = number;
  spec.caption = std::move(caption);
  spec.description = std::move(description);
  spec.calls = std::move(calls);
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02d", number);
  spec.labelName = std::string("abSection") + digits;
  spec.countLabelName = std::string("abItemCount") + digits;
  spec.pictureName = std::string("picSection") + digits;
  return spec;
}

std::array<SectionSpec, kSectionCount> BuildTable() {
  // "Help Section" gets the root only: its two key paths are its own.
  ScanCallSpec help = Call(HKEY_LOCAL_MACHINE, "");
  help.getsPath = false;
  // "Invalid Shortcuts" walks the fixed drives and reads the scan's ignore
  // list itself.
  ScanCallSpec shortcuts = Call(0, "");
  shortcuts.getsRoot = false;
  shortcuts.getsPath = false;

  return {{
      Section(1, "ActiveX, OLE/COM Entries",
              {Call(HKEY_CLASSES_ROOT, ""), Call(HKEY_CLASSES_ROOT, "")},
              "The invalid or empty registry entities within ActiveX, OLE, COM sections could "
              "cause system errors and application crash if not properly fixed."),
      Section(2, "Application Paths",
              {Call(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths")},
              "Application Paths section of registry has been found containing invalid entities "
              "that point to the incorrect application path."),
      Section(3, "Empty Registry Keys", {Call(HKEY_USERS, "")},
              "Empty registry key refers to the entities in registry that no value to associate "
              "with."),
      Section(4, "File Extensions",
              {Call(HKEY_CLASSES_ROOT, ""),
               Call(HKEY_CURRENT_USER,
                    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts")},
              "The invalid file extension entities have been found existing in the registry."),
      Section(5, "Font Entries",
              {Call(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts")},
              "The invalid registry entities of the Font could cause the abnormal font styling in "
              "applications if not fixed properly."),
      Section(6, "Help Section", {help},
              "The invalid registry entities of the Help File Information section can cause help "
              "file opening fail."),
      Section(7, "Invalid File Associations", {Call(HKEY_CLASSES_ROOT, "")},
              "The File Association section of registry has contained invalid file associations. "
              "If a file type is associated with a program that does not exist then it shows up "
              "as an irregularity."),
      Section(8, "Invalid Shortcuts", {shortcuts},
              "The Shortcut section of registry has contained some invalid shortcut entities that "
              "link to the missing .exe file. This is caused by incorrectly installing and "
              "uninstalling software, or moving .lnk file."),
      Section(9, "Most Recently Used Files",
              {Call(HKEY_CURRENT_USER,
                    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU")},
              "The invalid or empty registry entities of the Recently Used Files have not matched "
              "correctly"),
      Section(10, "Shared DLL's Sections",
              {Call(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls")},
              "The invalid or damaged registry entities could cause the DLL conflict between two "
              "applications and thus make your application run instable."),
      Section(11, "Sounds Section",
              {WithoutIgnoreList(Call(HKEY_LOCAL_MACHINE, "Control Panel\\Sounds"))},
              "The sounds section of registry has been found containing some junk entities that "
              "could cause system slow."),
      Section(12, "Start Menu Items",
              {Call(HKEY_CURRENT_USER,
                    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start "
                    "Menu2\\Programs")},
              "The Start Menu Section of registry has been found containing invalid entities "
              "linked to start menu programs."),
      Section(13, "Startup Programs",
              {Call(HKEY_CURRENT_USER,
                    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder")},
              "This invalid and damaged registry entities of The startup Program section would "
              "bring startup errors and cause system slow when Windows startup."),
      Section(14, "System Services",
              {WithoutIgnoreList(Call(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services"))},
              "System Service section of registry has been found containing some damaged entities "
              "related to system services."),
      Section(15, "System Software Settings",
              {Call(HKEY_LOCAL_MACHINE, ""), Call(HKEY_USERS, "")},
              "The registry has been found containing some invalid or damaged system software "
              "settings records that need to be cleaned or repaired."),
      Section(16, "Uninstall Entries",
              {Call(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall")},
              "The Uninstall Entries section of registry contains some invalid entities that link "
              "to the missing entities. This is caused by the incorrect installing and "
              "uninstalling of application in system."),
      Section(17, "User Software Settings", {Call(HKEY_CURRENT_USER, "")},
              "The registry has been found containing some invalid or damaged user software "
              "settings records that need to be cleaned or repaired."),
  }};
}

}  // namespace

const std::array<SectionSpec, kSectionCount>& SectionTable() {
  static const std::array<SectionSpec, kSectionCount> table = BuildTable();
  return table;
}

const SectionSpec* SectionByNumber(int number) {
  if (number < 1 || number > kSectionCount) return nullptr;
  return &SectionTable()[static_cast<std::size_t>(number - 1)];
}

const SectionSpec* SectionByCaption(const std::string& caption) {
  for (const SectionSpec& spec : SectionTable())
    if (spec.caption == caption) return &spec;
  return nullptr;
}

std::string SectionDescription(const std::string& caption) {
  const SectionSpec* spec = SectionByCaption(caption);
  return spec ? spec->description : std::string();
}

const ScanStepLayout& ScanStep(int step) {
  static const ScanStepLayout steps[4] = {
      {"ScanFirst", "ScanFirst1", false, kSelectAllBox | kSelectAllLabel | kScanNowButton,
       kProgressPanel | kWarningLabel | kAbortButton | kRepairButton | kFinishButton, 0},
      {"ScanInProcess", "ScanInProcess1", true, kWarningLabel | kAbortButton,
       kSelectAllBox | kSelectAllLabel | kScanNowButton | kRepairButton | kFinishButton, 0},
      {"ScanResults", "ScanResults1", false, kSelectAllBox | kSelectAllLabel | kRepairButton,
       kProgressPanel | kWarningLabel | kScanNowButton | kAbortButton | kFinishButton, 1},
      {"ScanFinish", "ScanFinish1", false, kFinishButton,
       kProgressPanel | kWarningLabel | kSelectAllBox | kSelectAllLabel | kScanNowButton |
           kAbortButton | kRepairButton,
       2},
  };
  return steps[step >= 0 && step <= 3 ? step : 0];
}

}  // namespace regclean
