#include "platform/files/FileRecords.h"

#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <optional>

#include "platform/files/PathResolver.h"
#include "platform/machine/StateStore.h"
#include "platform/processes/HostProc.h"

namespace win::fs_detail {

namespace {

std::function<void(bool)>& ChangeHook() {
  static std::function<void(bool)> hook;
  return hook;
}

// The start time of a process, which tells it from a later one that got its id.
std::optional<std::uint64_t> StartTicksOf(const std::string& pid) {
  std::ifstream in("/proc/" + pid + "/stat");
  std::string line;
  if (!std::getline(in, line)) return std::nullopt;
  const auto stat = ParseHostProcStat(line);
  if (!stat) return std::nullopt;
  return stat->startTicks;
}

// "pid:start ticks" of this process.
const std::string& OwnerOfThisProcess() {
  static const std::string owner = [] {
    const std::string pid = std::to_string(getpid());
    return pid + ":" + std::to_string(StartTicksOf(pid).value_or(0));
  }();
  return owner;
}

bool OwnerRunning(const std::string& owner) {
  const std::size_t colon = owner.find(':');
  if (colon == std::string::npos) return false;
  const auto ticks = StartTicksOf(owner.substr(0, colon));
  return ticks && std::to_string(*ticks) == owner.substr(colon + 1);
}

}  // namespace

void SetFileChangeHook(std::function<void(bool before)> hook) { ChangeHook() = std::move(hook); }

bool ChangeWithRecords(const std::string& fromKey, const std::string& toKey,
                       const std::function<bool()>& change) {
  StateStore* state = State();
  if (!state || fromKey == toKey) return change();
  // Nothing is at the new place yet: what is recorded there is stale.
  if (!toKey.empty()) state->ForgetFileAttributes(toKey);
  if (!state->HasFileAttributes(fromKey)) return change();
  const std::int64_t id = state->BeginFileChange(fromKey, toKey, OwnerOfThisProcess());
  // Rather no change than one that may lose the records.
  if (id == 0) return Fail(ERROR_WRITE_FAULT);
  if (ChangeHook()) ChangeHook()(true);
  const bool happened = change();
  const DWORD error = GetLastError();
  if (ChangeHook()) ChangeHook()(false);
  state->EndFileChange(id, happened);
  SetLastError(error);
  return happened;
}

void EndAbandonedFileChanges() {
  StateStore* state = State();
  if (!state) return;
  for (const StateStore::FileChange& change : state->PendingFileChanges()) {
    if (OwnerRunning(change.owner)) continue;
    ResolvedPath from;
    // A drive that is not there now cannot tell; its change waits.
    if (!ResolvePath(change.fromUpper, from)) continue;
    state->EndFileChange(change.id, !from.Exists());
  }
}

}  // namespace win::fs_detail
