#include "regclean/KeyWalkUnit.h"

#include "regclean/SectionContractUnit.h"
#include "shell/MessagePump.h"

namespace regclean {

bool WalkKeys(win::HKEY root, const std::string& startPath, const KeyWalkVisitor& visitor) {
  std::vector<std::string> names;
  {
    win::TRegistry key(win::KEY_READ);
    key.SetRootKey(root);
    if (!key.OpenKeyReadOnly("\\" + startPath)) return true;
    key.GetKeyNames(names);
    if (visitor.onKey) visitor.onKey(key, startPath, names);
  }
  for (const std::string& name : names) {
    if (ScanStopRequested()) return false;
    const std::string path = JoinKeyPath(startPath, name);
    if ((!visitor.onSubKey || visitor.onSubKey(path, name)) && !WalkKeys(root, path, visitor))
      return false;
    ProcessMessages();
  }
  return true;
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
