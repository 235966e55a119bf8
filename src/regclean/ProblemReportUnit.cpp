#include "regclean/ProblemReportUnit.h"

#include <utility>

namespace regclean {

void SetProblemValueName(TRegistryContent& problem, const std::string& valueName) {
  problem.UnnamedValue = valueName.empty();
  problem.ValueName = valueName.empty() ? "default" : valueName;
}

TRegistryContent MissingPathProblem(const std::string& keyPath, const std::string& valueName,
                                    const std::string& path, std::string detailText) {
  TRegistryContent problem;
  problem.KeyPath = keyPath;
  SetProblemValueName(problem, valueName);
  problem.Value = path;
  problem.KeyPathText = Concat({" Key Path:", keyPath});
  problem.ValueNameText = Concat({" ValueName:", valueName});
  problem.ValueText = Concat({" Value:", path});
  problem.DetailText = detailText.empty()
                           ? Concat({" The file (", path, ") does not exist at the specified location"})
                           : std::move(detailText);
  problem.Description =
      Concat({"The Key ", path, " under ", keyPath, " contains a bad path for the value"});
  problem.ProblemType = "Missing or Invalid Path";
  return problem;
}

bool AddUnlessIgnored(ScanContext& context, TRegistryContent problem) {
  if (IsIgnored(context, problem.KeyPath, problem.ValueName)) return false;
  AddProblem(context, std::move(problem));
  return true;
}

}  // namespace regclean
