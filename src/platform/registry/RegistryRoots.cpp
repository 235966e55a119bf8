// Root key names and the current machine's registry.

#include "platform/registry/RegistryStore.h"
#include "platform/text/TextCodec.h"

namespace win {

namespace {

RegistryStore* currentRegistry = nullptr;

struct RootEntry {
  HKEY root;
  const char* name;
};
constexpr RootEntry kRoots[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},     {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},   {HKEY_USERS, "HKEY_USERS"},
    {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"},
};

}  // namespace

RegistryStore* CurrentRegistry() { return currentRegistry; }
void SetCurrentRegistry(RegistryStore* store) { currentRegistry = store; }

HKEY RootFromName(const std::string& name) {
  const std::string upper = UpperName(name);
  for (const RootEntry& entry : kRoots) {
    if (upper == entry.name) return entry.root;
  }
  return 0;
}

std::string RootName(HKEY root) {
  for (const RootEntry& entry : kRoots) {
    if (entry.root == root) return entry.name;
  }
  return {};
}

}  // namespace win
