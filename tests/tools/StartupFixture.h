#pragma once
// A small machine for the startup manager: both Startup folders, run keys
// of both roots, win.ini sections and programs with version resources.

#include <gtest/gtest.h>

#include <string>

#include "TestMachine.h"
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
