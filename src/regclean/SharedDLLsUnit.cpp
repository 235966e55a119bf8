#include "regclean/SharedDLLsUnit.h"

#include <cstdint>
#include <vector>

#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"
#include "regclean/PathRoutinesUnit.h"
#include "regclean/ProblemReportUnit.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

const char* const kSharedDllsCaption = "Shared DLL's Sections";

namespace {

// Decimal whole number (optional sign) in the 32-bit range; 0 otherwise.
long long DecimalOrZero(const std::string& text) {
  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
  if (pos == text.size()) return 0;
  long long value = 0;
  for (; pos < text.size(); ++pos) {
    if (text[pos] < '0' || text[pos] > '9') return 0;
    value = value * 10 + (text[pos] - '0');
    if (value > 2147483648LL) return 0;
  }
  value = negative ? -value : value;
  return value > 2147483647LL ? 0 : value;
}

TRegistryContent SharedDllProblem(const std::string& keyPath, const std::string& fileName,
                                  long long count) {
  TRegistryContent problem;
  problem.KeyPath = keyPath;
  static constexpr TTextForm kSharedDlls{"SharedDlls"};
  static constexpr TTextForm kValueText{" Value:", TProblemField::ValueName};
  static constexpr TTextForm kDetail{" The file (", TProblemField::ValueName,
                                     ") does not exist at the specified location"};
  static constexpr TTextForm kDescription{"The Key ", TProblemField::ValueName, " under ",
                                          TProblemField::KeyPath, " contains a bad path for the value"};
  problem.KeyName = kSharedDlls;
  problem.ValueName = fileName;
  problem.UnnamedValue = fileName.empty();
  problem.Value = std::to_string(count);
  problem.KeyPathText = kKeyPathTextForm;
  problem.ValueNameText = kDefaultValueNameText;
  problem.ValueText = kValueText;
  problem.DetailText = kDetail;
  problem.Description = kDescription;
  problem.ProblemType = kMissingPathType;
  problem.Severity = SeverityText("High");
  return problem;
}

}  // namespace

long long SharedDllCount(win::DWORD type, const std::vector<std::uint8_t>& data) {
  switch (type) {
    case win::REG_SZ:
    case win::REG_EXPAND_SZ:
      return DecimalOrZero(win::Utf16LeBytesToUtf8(data));
    case win::REG_DWORD:
      if (data.size() != 4) return 0;
      return static_cast<std::int32_t>(static_cast<std::uint32_t>(data[0]) |
                                       static_cast<std::uint32_t>(data[1]) << 8 |
                                       static_cast<std::uint32_t>(data[2]) << 16 |
                                       static_cast<std::uint32_t>(data[3]) << 24);
    case win::REG_BINARY:
      return data.empty() ? 0 : data[0];
    default:
      return -1;
  }
}

void ScanSharedDlls(ScanContext& context) {
  context.collection->Clear();
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(context.root);
  if (!registry.OpenKeyReadOnly("\\" + context.startPath)) return;
  std::vector<std::string> names;
  registry.GetValueNames(names);
  const std::string keyPath = FullKeyPath(context.root, context.startPath);
  // A file or a folder of that name.
  ScanFiles files(context);
  const auto present = [&](const std::string& path) { return files->Exists(path); };

  for (const std::string& name : names) {
    if (ScanStopRequested()) return;
    if (!IsIgnored(context, keyPath, name)) {
      win::DWORD type = win::REG_NONE;
      std::vector<std::uint8_t> data;
      const long long count = registry.ReadRaw(name, type, data) ? SharedDllCount(type, data) : 0;
      ShowOutcome(context, name);
      IncItemsProcessed();
      if (!ContainsNoCase(name, ".sys") && !ContainsNoCase(name, ".vxd") &&
          !ContainsNoCase(name, "itunes") && PassesLocalPathRule(name) &&
          (count == 0 || !present(name)) && !Contains(name, "msoe.dll"))
        AddProblem(context, SharedDllProblem(keyPath, name, count));
    }
    ProcessMessages();
  }
}

RegistrySection SharedDllsSection() { return ValueRepairSection({ScanSharedDlls}); }

void RepairSharedDlls(RepairContext& context) {
  RepairCheckedItems(context, SharedDllsSection());
}

}  // namespace regclean
