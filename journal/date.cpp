// Date stamps of the journal: the local wall-clock reading as a count of
// seconds, and the date-mask formatter.
#include "journal/date.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>

#include "platform/files.h"

namespace journal {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

std::atomic<bool> dateFixed{false};
std::atomic<DateValue> fixedDate{0};

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

struct CalendarFields {
  std::int64_t year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

CalendarFields splitDate(DateValue date) {
  std::int64_t days = date / kSecondsPerDay;
  std::int64_t seconds = date % kSecondsPerDay;
  if (seconds < 0) {
    seconds += kSecondsPerDay;
    --days;
  }
  CalendarFields fields;
  fields.hour = static_cast<int>(seconds / 3600);
  fields.minute = static_cast<int>(seconds / 60 % 60);
  fields.second = static_cast<int>(seconds % 60);

  const std::int64_t shifted = days + 719468;  // days since 0000-03-01
  const std::int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
  const std::int64_t dayOfEra = shifted - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;  // 0 = March
  fields.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  fields.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  fields.year = yearOfEra + era * 400 + (fields.month <= 2 ? 1 : 0);
  return fields;
}

std::string twoDigits(int value) {
  return {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
}

std::string yearText(std::int64_t year) {
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%04lld", static_cast<long long>(year));
  return buffer.data();
}

bool matchesToken(std::string_view rest, std::string_view token) {
  if (rest.size() < token.size()) return false;
  for (std::size_t i = 0; i < token.size(); ++i) {
    char c = rest[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != token[i]) return false;
  }
  return true;
}

}  // namespace

DateValue dateFromFields(int year, int month, int day, int hour, int minute, int second) {
  return daysFromCivil(year, month, day) * kSecondsPerDay + std::int64_t{hour} * 3600 +
         std::int64_t{minute} * 60 + second;
}

DateValue currentDate() {
  if (dateFixed.load()) return fixedDate.load();
  const platform::LocalTime now = platform::localTime();
  return dateFromFields(now.year, now.month, now.day, now.hour, now.minute, now.second);
}

std::string formatDate(std::string_view mask, DateValue date) {
  const CalendarFields fields = splitDate(date);
  const std::string year = yearText(fields.year);
  // Tried in this order, so "%yyy" reads as "%yy" followed by a plain "y".
  enum Field { kYear, kShortYear, kMonth, kDay, kHour, kMinute, kSecond };
  static constexpr std::array<std::pair<std::string_view, Field>, 7> kTokens = {{
      {"yyyy", kYear},
      {"yy", kShortYear},
      {"mm", kMonth},
      {"dd", kDay},
      {"hh", kHour},
      {"ii", kMinute},
      {"ss", kSecond},
  }};

  std::string out;
  out.reserve(mask.size() + 8);
  for (std::size_t at = 0; at < mask.size();) {
    if (mask[at] != '%') {
      out.push_back(mask[at++]);
      continue;
    }
    const std::string_view rest = mask.substr(at + 1);
    bool matched = false;
    for (const auto& [token, field] : kTokens) {
      if (!matchesToken(rest, token)) continue;
      switch (field) {
        case kYear:
          out += year;
          break;
        case kShortYear:
          out += year.substr(2, 2);  // at least four characters long
          break;
        case kMonth:
          out += twoDigits(fields.month);
          break;
        case kDay:
          out += twoDigits(fields.day);
          break;
        case kHour:
          out += twoDigits(fields.hour);
          break;
        case kMinute:
          out += twoDigits(fields.minute);
          break;
        case kSecond:
          out += twoDigits(fields.second);
          break;
      }
      at += 1 + token.size();
      matched = true;
      break;
    }
    if (!matched) out.push_back(mask[at++]);
  }
  return out;
}

namespace testing {

void fixCurrentDate(DateValue date) {
  fixedDate.store(date);
  dateFixed.store(true);
}

void useSystemClock() { dateFixed.store(false); }

}  // namespace testing

}  // namespace journal
