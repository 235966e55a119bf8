#pragma once
// The registry walks of the sections: every key below a start key (depth
// first, subkeys in enumeration order, a stop tested before each subkey and
// pending messages let through after it), and one pass over a key's values.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/registry/Registry.h"
#include "platform/text/WinTypes.h"

namespace regclean {

struct KeyWalkVisitor {
  // Each key the walk opens, before its subkeys: the key is open for
  // reading and must stay so (its subkeys are opened by its handle); path is
  // below the root ("" for the root itself).
  std::function<void(win::TRegistry& key, const std::string& path,
                     const std::vector<std::string>& subKeyNames)> onKey;
  // Each subkey before it is walked, with its path below the root and its
  // own name; false leaves it unwalked.
  std::function<bool(const std::string& path, const std::string& name)> onSubKey;
};

// How many levels below its start a walk goes at the most: as deep as a
// Windows registry tree can be. A deeper tree (a damaged or hand-made store)
// is walked down to this level only, so a walk never runs out of stack.
constexpr int kMaxKeyDepth = 512;

// Walks the keys below startPath, down to kMaxKeyDepth levels; a key that
// cannot be opened is passed over. False when a stop was asked for.
bool WalkKeys(win::HKEY root, const std::string& startPath, const KeyWalkVisitor& visitor);

// Calls `visit` with each value of the open key in creation order, with its
// type and raw data, read once; a value that cannot be read is passed over.
// Ends early, returning false, when `visit` returns false.
using ValueVisitor = std::function<bool(const std::string& name, win::DWORD type,
                                        const std::vector<std::uint8_t>& data)>;
bool ForEachValue(win::TRegistry& key, const ValueVisitor& visit);

}  // namespace regclean
