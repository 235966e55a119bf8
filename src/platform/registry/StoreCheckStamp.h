#pragma once
// A stamp beside a store's file, left by a close that found every page sound:
// an open that finds the file exactly as the stamp describes it (not written
// since, by any process) need not read every page again before it starts.

#include <string>

namespace win {

// The stamp's file: dbPath with "-checked".
std::string CheckStampPath(const std::string& dbPath);
// True when the stamp describes dbPath as it is now (device, inode, size,
// write and change times) and no write-ahead log or journal lies beside it.
// The stamp is removed either way, so a process that ends without a clean
// close leaves none and the next open checks the whole file.
bool TakeCheckStamp(const std::string& dbPath);
// After the last connection closed, with the file found sound: stamps it as
// it is now. Nothing when a log or journal is still there (another
// connection is open) or the change time cannot be told from later writes.
void LeaveCheckStamp(const std::string& dbPath);

}  // namespace win
