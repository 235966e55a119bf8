#include "regclean/ProblemReportUnit.h"

#include <utility>

#include "shell/PublicFunctionUnit.h"

namespace regclean {

void SetProblemValueName(TRegistryContent& problem, const std::string& valueName) {
  problem.UnnamedValue = valueName.empty();
  problem.ValueName = valueName.empty() ? "default" : valueName;
}

TRegistryContent MissingPathProblem(std::string keyPath, const std::string& valueName, std::string path,
                                    const TTextForm& detailText) {
  TRegistryContent problem;
  problem.KeyPath = std::move(keyPath);
  SetProblemValueName(problem, valueName);
  problem.Value = std::move(path);
  problem.KeyPathText = kKeyPathTextForm;
  problem.ValueNameText = kValueNameTextForm;
  problem.ValueText = kValueTextForm;
  problem.DetailText = detailText;
  problem.Description = kBadPathDescriptionForm;
  problem.ProblemType = kMissingPathType;
  return problem;
}

TProblemText SeverityText(const std::string& severity) {
  static constexpr TTextForm kLow{"Low"};
  static constexpr TTextForm kNormal{"Normal"};
  static constexpr TTextForm kHigh{"High"};
  if (severity == "Low") return kLow;
  if (severity == "Normal") return kNormal;
  if (severity == "High") return kHigh;
  return severity;
}

TProblemText SeverityOf(const std::string& text) {
  std::string severity;
  GetSeverity(text, severity);
  return SeverityText(severity);
}

bool AddUnlessIgnored(ScanContext& context, TRegistryContent problem) {
  if (IsIgnored(context, problem.KeyPath, problem.ValueName)) return false;
  AddProblem(context, std::move(problem));
  return true;
}

}  // namespace regclean
