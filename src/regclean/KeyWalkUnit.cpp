#include "regclean/KeyWalkUnit.h"

#include "regclean/SectionContractUnit.h"
#include "shell/MessagePump.h"

namespace regclean {

namespace {

bool WalkKeysFrom(win::HKEY root, const std::string& startPath, const KeyWalkVisitor& visitor,
                  int depth) {
  std::vector<std::string> names;
  {
    win::TRegistry key(win::KEY_READ);
    key.SetRootKey(root);
    if (!key.OpenKeyReadOnly("\\" + startPath)) return true;
    key.GetKeyNames(names);
    if (visitor.onKey) visitor.onKey(key, startPath, names);
  }
  if (depth >= kMaxKeyDepth) return true;
  for (const std::string& name : names) {
    if (ScanStopRequested()) return false;
    const std::string path = JoinKeyPath(startPath, name);
    if ((!visitor.onSubKey || visitor.onSubKey(path, name)) &&
        !WalkKeysFrom(root, path, visitor, depth + 1))
      return false;
    ProcessMessages();
  }
  return true;
}

}  // namespace

bool WalkKeys(win::HKEY root, const std::string& startPath, const KeyWalkVisitor& visitor) {
  return WalkKeysFrom(root, startPath, visitor, 0);
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
