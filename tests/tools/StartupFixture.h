#pragma once
// A small machine for the startup manager: both Startup folders, run keys
// of both roots, win.ini sections and programs with version resources.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"
#include "shell/PublicFunctionUnit.h"
#include "tools/StartupManagerUnit.h"

// REG_EXPAND_SZ data as a .reg "hex(2):" list (UTF-16LE with terminator).
inline std::string Hex2(const std::string& text) {
  std::string out = "hex(2):";
  static const char* const digits = "0123456789abcdef";
  for (char c : text + std::string(1, '\0')) {
    const unsigned char u = static_cast<unsigned char>(c);
    out += digits[u >> 4];
    out += digits[u & 15];
    out += ",00,";
  }
  out.pop_back();
  return out;
}

inline const char* const kCommonStartup = "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup";
inline const char* const kUserStartup = "C:\\Documents and Settings\\Owner\\Start Menu\\Programs\\Startup";
inline const char* const kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

inline std::string StartupRegText(const std::string& moreRunValues = "") {
  return std::string("Windows Registry Editor Version 5.00\n\n") +
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\n"
         "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n\n"
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n"
         "\"Common Startup\"=\"C:\\\\Documents and Settings\\\\All Users\\\\Start Menu\\\\Programs\\\\Startup\"\n\n"
         "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n"
         "\"Startup\"=\"C:\\\\Documents and Settings\\\\Owner\\\\Start Menu\\\\Programs\\\\Startup\"\n\n" +
         moreRunValues;
}

inline void ResetStartupState() { ResetSharedState(); }

// The first row with that caption and status; -1 without one.
inline int FindRow(const tools::TStartupManager& manager, const std::string& caption, const std::string& status) {
  const auto& rows = manager.Rows();
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (rows[i].Caption == caption && rows[i].SubItems.size() > 1 && rows[i].SubItems[1] == status)
      return static_cast<int>(i);
  return -1;
}

inline std::string FileText(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  if (!win::ReadFileBytes(path, bytes)) return "<missing>";
  return std::string(bytes.begin(), bytes.end());
}

inline void Choose(tools::TStartupManager& manager, const std::string& caption, const std::string& status) {
  const int row = FindRow(manager, caption, status);
  ASSERT_GE(row, 0) << caption << " " << status;
  manager.ToggleChosen(row);
}

// Chooses every row (details and win.ini rows included when asked).
inline void ChooseAll(tools::TStartupManager& manager, bool winIni = true) {
  for (std::size_t i = 0; i < manager.Rows().size(); ++i)
    if (winIni || manager.Rows()[i].Source != tools::TStartupSource::WinIni) manager.ToggleChosen(static_cast<int>(i));
}

struct RegValue {
  win::DWORD type;
  std::vector<std::uint8_t> data;
  bool operator==(const RegValue&) const = default;
};

// The values of both roots' Run and RunOnce keys by root, key and name.
inline std::map<std::string, RegValue> RunValues() {
  std::map<std::string, RegValue> values;
  for (win::HKEY root : {win::HKEY_LOCAL_MACHINE, win::HKEY_CURRENT_USER}) {
    for (const char* key : {"Run", "RunOnce"}) {
      win::TRegistry registry(win::KEY_READ);
      registry.SetRootKey(root);
      if (!registry.OpenKeyReadOnly(std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\") + key)) continue;
      std::vector<std::string> names;
      registry.GetValueNames(names);
      for (const std::string& name : names) {
        RegValue value;
        registry.ReadRaw(name, value.type, value.data);
        values[std::to_string(root) + key + "\\" + name] = value;
      }
    }
  }
  return values;
}

// The files of a folder with their bytes.
inline std::map<std::string, std::string> FolderFiles(const std::string& folder) {
  std::map<std::string, std::string> files;
  win::FindData data;
  auto finder = win::FindFirstFile(folder + "\\*.*", data);
  for (bool more = finder != nullptr; more; more = finder->Next(data))
    if (data.name != "." && data.name != "..") files[folder + "\\" + data.name] = FileText(folder + "\\" + data.name);
  return files;
}

// Both Startup folders' files with their bytes.
inline std::map<std::string, std::string> StartupFiles() {
  std::map<std::string, std::string> files = FolderFiles(kCommonStartup);
  files.merge(FolderFiles(kUserStartup));
  return files;
}
