#include "recovery/PointRestauration.h"

#include <cctype>

#include "platform/text/TextCodec.h"

namespace recovery {

namespace {

constexpr win::DWORD kCancelledOperation = 13;
constexpr std::int64_t kUnixEpoch = 116444736000000000LL;

bool Digits(const std::string& text, std::size_t pos, std::size_t count, int& value) {
  if (pos + count > text.size()) return false;
  value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

// Spaces, tabs and line breaks around a field.
constexpr std::string_view kLineBlanks = " \t\r\n";

// Days from 1970-01-01 of a civil date.
std::int64_t DaysFromCivil(int year, int month, int day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int yearOfEra = static_cast<int>(year - era * 400);
  const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

}  // namespace

bool CimDateTimeToLocal(const std::string& text, TDateTime& local) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, micro = 0, offset = 0;
  if (text.size() != 25 || text[14] != '.' || (text[21] != '+' && text[21] != '-') ||
      !Digits(text, 0, 4, year) || !Digits(text, 4, 2, month) || !Digits(text, 6, 2, day) ||
      !Digits(text, 8, 2, hour) || !Digits(text, 10, 2, minute) || !Digits(text, 12, 2, second) ||
      !Digits(text, 15, 6, micro) || !Digits(text, 22, 3, offset)) {
    return false;
  }
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) {
    return false;
  }
  if (text[21] == '-') offset = -offset;
  const std::int64_t seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 +
                               second - static_cast<std::int64_t>(offset) * 60;
  local = FileTimeToLocalDateTime(static_cast<win::FileTime>(seconds * 10000000 + kUnixEpoch));
  return true;
}

std::vector<RestorePointRow> RestorePointRows(const std::vector<win::RestorePoint>& points) {
  std::vector<RestorePointRow> rows;
  for (const win::RestorePoint& point : points) {
    RestorePointRow row;
    row.Description = point.Description;
    TDateTime local;
    if (CimDateTimeToLocal(point.CreationTime, local)) row.DateText = FormatShortDateTime(local);
    row.SequenceNumber = point.SequenceNumber;
    if (win::Trim(row.Description, kLineBlanks).empty() || win::Trim(row.DateText, kLineBlanks).empty() ||
        win::Trim(row.SequenceNumber, kLineBlanks).empty() || point.RestorePointType == kCancelledOperation) {
      continue;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

void EnumRestorePoints(std::vector<RestorePointRow>& rows) {
  std::vector<win::RestorePoint> points;
  rows.clear();
  if (win::ListRestorePoints(points) == 0) rows = RestorePointRows(points);
}

}  // namespace recovery
