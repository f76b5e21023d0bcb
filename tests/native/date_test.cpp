// Date stamps of the journal: the date value and the date masks.
#include "journal/date.h"

#include <gtest/gtest.h>

#include <string>

#include "journal/journal.h"
#include "platform/files.h"

namespace {

using journal::dateFromFields;
using journal::formatDate;

const journal::DateValue kSampleDate = dateFromFields(2026, 12, 7, 6, 5, 9);

TEST(Date, DateValueCountsSecondsFrom1970) {
  EXPECT_EQ(dateFromFields(1970, 1, 1, 0, 0, 0), 0);
  EXPECT_EQ(kSampleDate, 1796623509);
  EXPECT_EQ(dateFromFields(2000, 2, 29, 12, 0, 0), 951825600);
  EXPECT_EQ(dateFromFields(1, 1, 1, 0, 0, 0), -62135596800);
  EXPECT_EQ(dateFromFields(9999, 12, 31, 23, 59, 59), 253402300799);
}

TEST(Date, TheTwoMasksOfTheJournal) {
  EXPECT_EQ(formatDate(journal::kHeaderDateMask, kSampleDate), "07 - 12 - 2026 à 06:05:09");
  EXPECT_EQ(formatDate(journal::kJobDateMask, kSampleDate), "07/12/2026 à 06:05:09");
}

TEST(Date, TokensMatchWhateverTheirCase) {
  EXPECT_EQ(formatDate("%DD.%Mm.%YYYY %Hh:%iI:%sS", kSampleDate), "07.12.2026 06:05:09");
  EXPECT_EQ(formatDate("%yY", kSampleDate), "26");
}

TEST(Date, UnknownTokensAndLonePercentSignsAreCopied) {
  EXPECT_EQ(formatDate("%x %q 100%", kSampleDate), "%x %q 100%");
  EXPECT_EQ(formatDate("%%dd", kSampleDate), "%07");
  EXPECT_EQ(formatDate("%d %m %y %h", kSampleDate), "%d %m %y %h");
  EXPECT_EQ(formatDate("", kSampleDate), "");
  EXPECT_EQ(formatDate("créé le", kSampleDate), "créé le");
}

TEST(Date, LongestYearTokenComesFirst) {
  EXPECT_EQ(formatDate("%yyy", kSampleDate), "26y");
  EXPECT_EQ(formatDate("%yyyyy", kSampleDate), "2026y");
  EXPECT_EQ(formatDate("%yyyy%yy", kSampleDate), "202626");
}

TEST(Date, YearsOutsideTheUsualRange) {
  const journal::DateValue yearZero = dateFromFields(0, 3, 1, 0, 0, 0);
  EXPECT_EQ(formatDate("%yyyy %yy %dd/%mm", yearZero), "0000 00 01/03");
  EXPECT_EQ(formatDate("%yyyy %yy", dateFromFields(999, 5, 5, 0, 0, 0)), "0999 99");
  EXPECT_EQ(formatDate("%yyyy %yy", dateFromFields(2005, 5, 5, 0, 0, 0)), "2005 05");
  EXPECT_EQ(formatDate("%yyyy-%mm-%dd %hh:%ii:%ss", -1), "1969-12-31 23:59:59");
  EXPECT_EQ(formatDate("%yyyy-%mm-%dd %hh:%ii:%ss", dateFromFields(9999, 12, 31, 23, 59, 59)),
            "9999-12-31 23:59:59");
  EXPECT_EQ(formatDate("%yyyy", dateFromFields(12345, 1, 1, 0, 0, 0)), "12345");
}

// Walks the calendar day by day from 1599 to 2401, with month lengths worked
// out here, and checks both directions of the conversion on every day.
TEST(Date, EveryDayOfTheGregorianCalendar) {
  const auto leap = [](int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; };
  const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  journal::DateValue expected = dateFromFields(1599, 1, 1, 12, 30, 45);
  int failures = 0;
  for (int year = 1599; year <= 2401 && failures < 5; ++year) {
    for (int month = 1; month <= 12; ++month) {
      const int days = lengths[month - 1] + (month == 2 && leap(year) ? 1 : 0);
      for (int day = 1; day <= days; ++day) {
        const journal::DateValue date = dateFromFields(year, month, day, 12, 30, 45);
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d 12:30:45", year, month, day);
        if (date != expected || formatDate("%yyyy-%mm-%dd %hh:%ii:%ss", date) != text) {
          ADD_FAILURE() << text << " gives " << date << " / "
                        << formatDate("%yyyy-%mm-%dd %hh:%ii:%ss", date);
          ++failures;
        }
        expected = date + 86400;
      }
    }
  }
}

TEST(Date, CurrentDateIsTheLocalWallClock) {
  const platform::LocalTime before = platform::localTime();
  const journal::DateValue now = journal::currentDate();
  const platform::LocalTime after = platform::localTime();
  EXPECT_LE(dateFromFields(before.year, before.month, before.day, before.hour, before.minute,
                           before.second),
            now);
  EXPECT_GE(
      dateFromFields(after.year, after.month, after.day, after.hour, after.minute, after.second),
      now);
}

TEST(Date, ATestCanFixTheClock) {
  journal::testing::fixCurrentDate(kSampleDate);
  EXPECT_EQ(journal::currentDate(), kSampleDate);
  journal::testing::useSystemClock();
  EXPECT_NE(journal::currentDate(), kSampleDate);
}

}  // namespace
