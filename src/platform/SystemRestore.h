#pragma once
// System Restore of the current machine. A restore point is a row in state.db
// and a snapshot of registry.db (SQLite online backup) in the machine's
// "RestorePoints" folder. Restoring checks the snapshot and marks it pending;
// the next opening of the machine copies it over registry.db before anything
// reads the registry. Every call fails while the service "srservice" is not
// running. Results are 0 or a Windows error code.

#include <string>
#include <vector>

#include "platform/WinTypes.h"

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
// as given (100 begins a change).
DWORD CreateRestorePoint(const std::string& description, DWORD type, DWORD eventType);
// Marks the point to be put in place at the next opening of the machine.
// ERROR_INVALID_PARAMETER for an unknown sequence number; ERROR_FILE_NOT_FOUND
// or ERROR_REGISTRY_CORRUPT when its snapshot is missing or damaged.
DWORD RestoreToPoint(DWORD sequenceNumber);
// Removes the point's row and its snapshot.
DWORD DeleteRestorePoint(DWORD sequenceNumber);

// "yyyymmddHHMMSS.mmmmmm+000" of a file time (UTC).
std::string WmiDateTimeText(FileTime utc);

// Makes the restore points a machine recipe lists ("yyyy-mm-dd hh:mm:ss,
// type, description" each, times in UTC) on the current machine, all as
// snapshots of its registry now; the service state is not asked.
bool SeedRestorePoints(const std::vector<std::string>& entries, std::string& error);

// Called by the machine's opening before its registry is opened: puts a
// pending restore point in place of registry.db (userSid: the machine's user). False with error when a
// pending snapshot could not be applied (the registry then stays as it was
// and the request is dropped).
bool ApplyPendingRestore(const std::string& machineFolder, const std::string& userSid, std::string& error);

}  // namespace win
