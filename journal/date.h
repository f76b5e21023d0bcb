#pragma once
// The date stamps of the journal's lines: the clock reading, the masks and
// their formatting.
#include <cstdint>
#include <string>
#include <string_view>

namespace journal {

// Masks of the journal header line and of the start and end lines of a job.
inline constexpr std::string_view kHeaderDateMask = "%dd - %mm - %yyyy à %hh:%ii:%ss";
inline constexpr std::string_view kJobDateMask = "%dd/%mm/%yyyy à %hh:%ii:%ss";

// Seconds since 1970-01-01 00:00:00 of the local wall-clock reading, taken as
// though it were UTC: splitting it by the UTC calendar gives back the local
// fields, and no time-zone offset is kept anywhere.
using DateValue = std::int64_t;

DateValue currentDate();
// Copies `mask`, replacing the tokens %yyyy, %yy, %mm, %dd, %hh, %ii and %ss
// (in any case) with the fields of `date`; anything else is copied unchanged.
std::string formatDate(std::string_view mask, DateValue date);
// The date of a calendar reading (month 1-12, day 1-31), by the UTC rules.
DateValue dateFromFields(int year, int month, int day, int hour, int minute, int second);

namespace testing {
// Makes currentDate answer `date` until useSystemClock is called.
void fixCurrentDate(DateValue date);
void useSystemClock();
}  // namespace testing

}  // namespace journal
