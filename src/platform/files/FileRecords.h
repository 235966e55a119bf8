#pragma once
// Attribute records that move and go with their entry: a host move or
// deletion and the records of state.db change in one step, also when the
// process is killed halfway.

#include <functional>
#include <string>

namespace win::fs_detail {

// Runs change, which moves the entry whose records key is fromKey to toKey,
// or deletes it when toKey is empty, and leaves the records (of the entry
// and of everything below it) where the entry is afterwards. What a killed
// process leaves halfway is ended by EndAbandonedFileChanges.
bool ChangeWithRecords(const std::string& fromKey, const std::string& toKey,
                       const std::function<bool()>& change);

// Ends the changes of processes that are no longer running, by where their
// entries are now. Runs when a machine opens.
void EndAbandonedFileChanges();

// Test hook: called just before (true) and after (false) the host change of
// a ChangeWithRecords that carries records.
void SetFileChangeHook(std::function<void(bool before)> hook);

}  // namespace win::fs_detail
