#pragma once
// The System Restore points as the tool's list shows them.

#include <string>
#include <vector>

#include "platform/system/SystemRestore.h"
#include "shell/PublicFunctionUnit.h"

namespace recovery {

struct RestorePointRow {
  std::string Description;
  std::string DateText;        // local, the machine's short date and time format
  std::string SequenceNumber;  // read by the actions, shown nowhere
};

// A WMI date-time text (yyyymmddHHMMSS.mmmmmm followed by the signed offset
// from UTC in minutes) as a local date and time. False when it is malformed.
bool CimDateTimeToLocal(const std::string& text, TDateTime& local);

// The rows of the listed points: those with a description, a date and a
// sequence number (after trimming) and a type other than 13 (cancelled).
std::vector<RestorePointRow> RestorePointRows(const std::vector<win::RestorePoint>& points);

// Lists the machine's points into rows (none when System Restore fails).
void EnumRestorePoints(std::vector<RestorePointRow>& rows);

}  // namespace recovery
