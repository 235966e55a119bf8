#include "regclean/KeyWalkUnit.h"

#include "regclean/SectionContractUnit.h"
#include "shell/MessagePump.h"

namespace regclean {

namespace {

// The key open in `key` and below it; each subkey is opened by its parent's
// handle.
bool WalkKeysFrom(win::TRegistry& key, const std::string& path, const KeyWalkVisitor& visitor,
                  int depth) {
  std::vector<std::string> names;
  key.GetKeyNames(names);
  if (visitor.onKey) visitor.onKey(key, path, names);
  if (depth >= kMaxKeyDepth) return true;
  win::TRegistry sub(win::KEY_READ);
  for (const std::string& name : names) {
    if (ScanStopRequested()) return false;
    const std::string subPath = JoinKeyPath(path, name);
    if ((!visitor.onSubKey || visitor.onSubKey(subPath, name)) && sub.OpenSubKeyReadOnly(key, name) &&
        !WalkKeysFrom(sub, subPath, visitor, depth + 1))
      return false;
    ProcessMessages();
  }
  return true;
}

}  // namespace

bool WalkKeys(win::HKEY root, const std::string& startPath, const KeyWalkVisitor& visitor) {
  win::TRegistry start(win::KEY_READ);
  start.SetRootKey(root);
  if (!start.OpenKeyReadOnly("\\" + startPath)) return true;
  return WalkKeysFrom(start, startPath, visitor, 0);
}

bool ForEachValue(win::TRegistry& key, const ValueVisitor& visit) {
  std::vector<std::string> names;
  key.GetValueNames(names);
  win::DWORD type = win::REG_NONE;
  std::vector<std::uint8_t> data;
  for (const std::string& name : names)
    if (key.ReadRaw(name, type, data) && !visit(name, type, data)) return false;
  return true;
}

}  // namespace regclean
