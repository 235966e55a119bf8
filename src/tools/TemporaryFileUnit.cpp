#include "tools/TemporaryFileUnit.h"

#include "regclean/PathRoutinesUnit.h"

namespace tools {

bool FileTypeAcceptable(const std::string& extension) { return !regclean::Trim(extension).empty(); }

}  // namespace tools
