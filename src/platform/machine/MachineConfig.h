#pragma once
// machine.ini: what the emulated Windows machine is.
//
// [Machine]
// OSMajor=5  OSMinor=1  PlatformId=2  CSDVersion=Service Pack 2
// UserName=Owner  ComputerName=HOME-PC  AnsiCodePage=1252
// UserSid=S-1-5-21-...  Elevated=0
// TaskScheduler=1          (0: the Task Scheduler object cannot be created)
// [Drives]
// C=fixed,drives/C          (type: fixed removable remote cdrom ramdisk)
// [Servers]
// Update=http://update.fernwick.invalid   Mail=smtp.fernwick.invalid[:port]
// [Mail]                    the support mail account
// Support=support@...  Report=errorreport@...  Password=...
// [RestorePoints]           made when the machine is made (UTC times)
// 1=2026-11-02 10:15:00,0,Installed Fernwick
// [ReadOnlyKeys]
// 1=HKEY_LOCAL_MACHINE\SOFTWARE\Locked

#include <map>
#include <string>
#include <vector>

namespace win {

struct DriveEntry {
  char letter = 'C';
  unsigned type = 3;   // DRIVE_FIXED etc.
  std::string folder;  // relative to the machine folder, or absolute
};

struct MachineConfig {
  unsigned osMajor = 5;
  unsigned osMinor = 1;
  unsigned platformId = 2;  // 0 Win32s, 1 Windows 9x, 2 NT family
  std::string csdVersion;
  std::string userName = "Owner";
  std::string computerName = "HOME-PC";
  unsigned ansiCodePage = 1252;
  std::string userSid = "S-1-5-21-1000000000-1000000000-1000000000-1003";
  bool elevated = false;
  bool taskScheduler = true;
  std::vector<DriveEntry> drives;
  std::map<std::string, std::string> servers;  // keys as written
  std::map<std::string, std::string> mail;     // [Mail], keys as written
  std::vector<std::string> readOnlyKeys;
  std::vector<std::string> restorePoints;      // [RestorePoints] values in order
  std::string windowsDir = "C:\\WINDOWS";
  std::string programFolder = "C:\\Program Files\\Fernwick";

  std::string Server(const std::string& name) const;  // case-insensitive key
  std::string MailSetting(const std::string& name) const;
};

// Parses machine.ini text. On a bad line returns false with error
// "<file>: line <n>: <what>"; the config is then left unchanged.
bool ParseMachineConfig(const std::string& text, const std::string& fileName,
                        MachineConfig& config, std::string& error);
std::string FormatMachineConfig(const MachineConfig& config);

}  // namespace win
