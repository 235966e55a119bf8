#pragma once
// A fixture for the tests of one section: runs its scanner calls as the
// driver makes them into `found`, and its repairer into `log`.

#include <functional>
#include <string>
#include <vector>

#include "RegcleanFixture.h"

namespace regclean::test {

class SectionScanTest : public RegcleanTest {
 protected:
  // Every scanner call of the section, into an emptied `found`.
  void Scan(int section, const TIgnoreContents& ignores = {}, CaptionLog* outcome = nullptr) {
    found.Clear();
    const RegistrySection& implementation = SectionImplementation(section);
    for (std::size_t call = 0; call < implementation.scanners.size(); ++call)
      RunScannerCall(implementation.scanners[call], section, call, found, ignores, outcome);
  }

  void Repair(int section) {
    RepairContext context;
    context.collection = &found;
    context.repairLog = &log;
    RunSectionRepairer(context, SectionImplementation(section));
  }

  // One line per problem, in order.
  std::vector<std::string> Lines(const std::function<std::string(const TRegistryContent&)>& line) const {
    std::vector<std::string> lines;
    for (int i = 0; i < found.Count(); ++i) lines.push_back(line(found.GetItem(i).Content));
    return lines;
  }

  TRegistryContents found;
  TRepairContents log;
};

}  // namespace regclean::test
