#include "platform/registry/StoreCheckStamp.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

#include "platform/files/HostFiles.h"

namespace win {

namespace {

constexpr const char* kStampSuffix = "-checked";

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

bool NoLogBeside(const std::string& dbPath) { return !Exists(dbPath + "-wal") && !Exists(dbPath + "-journal"); }

std::string StampText(const struct stat& st) {
  char text[160];
  std::snprintf(text, sizeof text, "%" PRIu64 " %" PRIu64 " %" PRId64 " %" PRId64 ".%09ld %" PRId64 ".%09ld\n",
                static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                static_cast<std::int64_t>(st.st_size), static_cast<std::int64_t>(st.st_mtim.tv_sec),
                st.st_mtim.tv_nsec, static_cast<std::int64_t>(st.st_ctim.tv_sec), st.st_ctim.tv_nsec);
  return text;
}

bool Later(const timespec& a, const timespec& b) {
  return a.tv_sec > b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec > b.tv_nsec);
}

}  // namespace

std::string CheckStampPath(const std::string& dbPath) { return dbPath + kStampSuffix; }

bool TakeCheckStamp(const std::string& dbPath) {
  const std::string stampPath = CheckStampPath(dbPath);
  std::string stamp;
  {
    std::vector<std::uint8_t> data;
    if (!fs_detail::ReadHostFile(stampPath, data)) return false;
    if (data.size() > 200) data.clear();
    stamp.assign(data.begin(), data.end());
  }
  unlink(stampPath.c_str());
  struct stat st;
  if (lstat(dbPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return !stamp.empty() && stamp == StampText(st) && NoLogBeside(dbPath);
}

void LeaveCheckStamp(const std::string& dbPath) {
  struct stat st;
  if (lstat(dbPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !NoLogBeside(dbPath)) return;
  // File times come from a clock that moves in ticks: a write later in the
  // same tick would leave the change time as stamped. Wait for the next tick
  // (a few milliseconds), so that any later write shows.
  for (int waited = 0;; ++waited) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    if (Later(now, st.st_ctim)) break;
    if (waited == 100) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const std::string text = StampText(st);
  const bool written = fs_detail::ReplaceHostFile(CheckStampPath(dbPath), std::nullopt, [&text](int fd) {
    return fs_detail::WriteAll(fd, text.data(), text.size());
  });
  // A write between the stat and the stamp would make it a lie.
  struct stat after;
  if (written && (lstat(dbPath.c_str(), &after) != 0 || StampText(after) != text || !NoLogBeside(dbPath)))
    unlink(CheckStampPath(dbPath).c_str());
}

}  // namespace win
