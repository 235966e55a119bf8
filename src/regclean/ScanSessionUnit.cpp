#include "regclean/ScanSessionUnit.h"

#include "platform/system/System.h"

namespace regclean {

ScanSession::ScanSession() : tickCount(win::GetTickCount) { ticked_.fill(true); }

void ScanSession::Clear() {
  for (TRegistryContents& contents : SectionContents) contents.Clear();
  RepairLog.Clear();
  IgnoreList.Clear();
  ResultRows.clear();
}

int ScanSession::GetTotalProblemCount() const {
  int total = 0;
  for (int section = 1; section <= kSectionCount; ++section)
    total += SectionContents[static_cast<std::size_t>(section)].Count();
  return total;
}

TRegistryContents* ScanSession::Collection(int section) {
  if (section < 0 || section > kSectionCount) return nullptr;
  return &SectionContents[static_cast<std::size_t>(section)];
}

bool ScanSession::SectionTicked(int section) const {
  return section >= 1 && section <= kSectionCount &&
         ticked_[static_cast<std::size_t>(section - 1)];
}

void ScanSession::SetSectionTicked(int section, bool ticked) {
  if (section >= 1 && section <= kSectionCount)
    ticked_[static_cast<std::size_t>(section - 1)] = ticked;
}

int ScanSession::TickedSectionCount() const {
  int count = 0;
  for (bool ticked : ticked_) count += ticked ? 1 : 0;
  return count;
}

}  // namespace regclean
