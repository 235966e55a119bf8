#pragma once
// The rule of the junk-file cleaner's file-type dialog.

#include <string>

namespace tools {

// OK is enabled while the extension holds something other than blanks.
bool FileTypeAcceptable(const std::string& extension);

}  // namespace tools
