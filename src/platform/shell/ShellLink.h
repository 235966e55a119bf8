#pragma once
// The shell's link object for shortcut files (".lnk") of the current
// machine: load a file, then ask for its target path, arguments and working
// folder. Files are read with liblnk; nothing throws.

#include <string>

namespace win {

class ShellLink {
 public:
  // Loads a shortcut file (read access). False, with the link left empty,
  // when the file is missing, a reparse point, or not a readable link.
  bool Load(const std::string& path);

  // The target path as the shell gives it with network paths first: the
  // network share path when the link names one, else the local path, else
  // the relative path taken from the link's folder. Empty when the link
  // names no file-system target.
  const std::string& GetPath() const { return path_; }
  const std::string& GetArguments() const { return arguments_; }
  const std::string& GetWorkingDirectory() const { return workingDirectory_; }

 private:
  std::string path_;
  std::string arguments_;
  std::string workingDirectory_;
};

// The target path of a shortcut file; empty when it cannot be read.
std::string ShellLinkTarget(const std::string& path);

}  // namespace win
