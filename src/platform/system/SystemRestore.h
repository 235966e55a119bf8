#pragma once
// System Restore of the current machine. A restore point is a row in state.db
// and a snapshot of registry.db (SQLite online backup) in the machine's
// "RestorePoints" folder; the row is written only once its snapshot is
// complete. Restoring checks the snapshot and marks it pending; the program's
// next start copies it over registry.db before anything reads the registry.
// Every call fails while the service "srservice" is not running. Results are
// 0 or a Windows error code.

#include <functional>
#include <string>
#include <vector>

#include "platform/text/WinTypes.h"

namespace win {

struct RestorePoint {
  std::string CreationTime;  // WMI date-time text, UTC: "yyyymmddHHMMSS.mmmmmm+000"
  DWORD RestorePointType = 0;
  std::string Description;
  std::string SequenceNumber;
};

// The machine's points in sequence order.
DWORD ListRestorePoints(std::vector<RestorePoint>& points);
// A new point with a snapshot of the registry as it is now; eventType is kept
// as given (100 begins a change). What killed or failed creations left in
// the folder goes first.
DWORD CreateRestorePoint(const std::string& description, DWORD type, DWORD eventType);
// Marks the point to be put in place at the next opening of the machine.
// ERROR_INVALID_PARAMETER for an unknown sequence number; ERROR_FILE_NOT_FOUND
// or ERROR_REGISTRY_CORRUPT when its snapshot is missing or damaged.
DWORD RestoreToPoint(DWORD sequenceNumber);
// Removes the point's row and its snapshot, a damaged or missing one too.
DWORD DeleteRestorePoint(DWORD sequenceNumber);

// "yyyymmddHHMMSS.mmmmmm+000" of a file time (UTC).
std::string WmiDateTimeText(FileTime utc);

// Makes the restore points a machine recipe lists ("yyyy-mm-dd hh:mm:ss,
// type, description" each, times in UTC) on the current machine, all as
// snapshots of its registry now; the service state is not asked.
bool SeedRestorePoints(const std::vector<std::string>& entries, std::string& error);

// Called by the program's start before the registry is opened, while no
// other copy has the machine open: puts a pending restore point in place of
// registry.db (userSid: the machine's user) and removes the leftovers of
// killed creations. The request is kept until the restored registry is in
// place. False with error when it could not be applied: the registry then
// stays as it was; a missing or damaged snapshot also drops the request.
bool ApplyPendingRestore(const std::string& machineFolder, const std::string& userSid, std::string& error);

// Tests: called with the name of each step of making a point and of putting
// one in place, between the steps.
void SetRestoreStepHook(std::function<void(const char* step)> hook);

}  // namespace win
