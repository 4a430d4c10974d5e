#include "orba/common/dates.h"
#include "common/mapierror.h"

#include <gtest/gtest.h>

#include "orba/common/exceptions.h"
#include "orba/common/iso8601.h"

namespace {

using namespace orba;

TEST(EncodeDate, CountsDaysFrom1899_12_30AndRefusesInvalidArguments) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
  EXPECT_EQ(EncodeDate(1601, 1, 1), FileTimeBase);
  EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  for (auto [y, m, d] :
       {std::tuple{2023, 2, 29}, {2023, 13, 1}, {2023, 0, 1}, {0, 1, 1}, {10000, 1, 1}, {2023, 4, 31}}) {
    EXPECT_RAISES(EncodeDate(y, m, d), EVoException, E_INVALIDARG, u"Invalid argument to date encode");
  }
  EXPECT_NO_THROW(EncodeDate(2024, 2, 29));
  EXPECT_THROW(EncodeDate(1900, 2, 29), EVoException);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EVoException);
}

TEST(DecodeDate, ReadsNegativeValuesAsDelphiDoes) {
  int y, m, d, h, n, s, ms;
  DecodeDate(-1.25, y, m, d);
  DecodeTime(-1.25, h, n, s, ms);
  EXPECT_EQ(std::tuple(y, m, d, h, n, s, ms), std::tuple(1899, 12, 29, 6, 0, 0, 0));
  // Rounded to the millisecond: a hair before midnight is the next day.
  DecodeDate(EncodeDate(2023, 12, 31) + 0.99999999999, y, m, d);
  EXPECT_EQ(std::tuple(y, m, d), std::tuple(2024, 1, 1));
  EXPECT_EQ(DayOfWeek(0), 7);      // Saturday
  EXPECT_EQ(DayOfWeek(-1.25), 6);  // Friday
  EXPECT_THROW(DecodeDate(std::numeric_limits<double>::quiet_NaN(), y, m, d), EVoException);
}

TEST(DateArithmetic, AddMonthsClampsAndAddDaysKeepsTheTimeAcrossZero) {
  EXPECT_EQ(VoAddMonths(EncodeDate(2023, 1, 31), 1), EncodeDate(2023, 2, 28));
  EXPECT_EQ(VoAddMonths(EncodeDate(2024, 3, 31), -1), EncodeDate(2024, 2, 29));
  EXPECT_EQ(VoAddYears(EncodeDate(2024, 2, 29), 1), EncodeDate(2025, 2, 28));
  EXPECT_DOUBLE_EQ(VoAddMonths(EncodeDateTime(2023, 5, 31, 10, 30, 0, 0), 1),
                   EncodeDateTime(2023, 6, 30, 10, 30, 0, 0));
  EXPECT_DOUBLE_EQ(VoAddMonths(-1.25, 1), EncodeDateTime(1900, 1, 29, 6, 0, 0, 0));
  EXPECT_THROW(VoAddYears(EncodeDate(9999, 1, 1), 1), EVoException);
  EXPECT_DOUBLE_EQ(VoAddDays(-1.25, 1), 0.25);
  EXPECT_DOUBLE_EQ(VoAddMins(0.25, -12 * 60), -1.75);  // 1899-12-29 18:00
  EXPECT_DOUBLE_EQ(VoAddMins(EncodeDate(2024, 2, 28) + 0.5, 36 * 60), EncodeDate(2024, 3, 1));
}

TEST(DateArithmetic, MonthAndWeekBoundaries) {
  const TDateTime d = EncodeDateTime(2024, 2, 14, 13, 0, 0, 0);
  EXPECT_EQ(VoBOMonth(d), EncodeDate(2024, 2, 1));
  EXPECT_EQ(VoEOMonth(d), EncodeDate(2024, 2, 29));
  // 2024-02-14 is a Wednesday.
  EXPECT_EQ(VoBOWeek(d), EncodeDate(2024, 2, 12));    // Monday
  EXPECT_EQ(VoBOWeek(d, 5), EncodeDate(2024, 2, 8));  // Thursday before
  EXPECT_EQ(VoBOWeek(-1.25, 1), -6.0);                // 1899-12-24, a Sunday
  EXPECT_THROW(VoBOWeek(d, 0), EVoException);
}

TEST(FileSystemAndUnixTime, RoundTripWithoutZoneChange) {
  EXPECT_EQ(DateTimeToFileTime(EncodeDate(1601, 1, 1)), 0u);
  // 1970-01-01 is 116444736000000000 ticks after 1601.
  EXPECT_EQ(DateTimeToFileTime(EncodeDate(1970, 1, 1)), 116444736000000000ull);
  const TDateTime t = EncodeDateTime(2023, 5, 1, 10, 0, 0, 250);
  EXPECT_DOUBLE_EQ(FileTimeToDateTime(DateTimeToFILETIME(t)), t);
  EXPECT_DOUBLE_EQ(FileTimeToDateTime(DateTimeToFileTime(-1.25)), -1.25);
  EXPECT_THROW(DateTimeToFileTime(EncodeDate(1600, 12, 31)), EVoException);
  const SYSTEMTIME st = DateTimeToSystemTime(EncodeDateTime(2024, 2, 29, 23, 59, 58, 7));
  EXPECT_EQ(st.wYear, 2024);
  EXPECT_EQ(st.wDayOfWeek, 4);  // Thursday
  EXPECT_DOUBLE_EQ(SystemTimeToDateTime(st), EncodeDateTime(2024, 2, 29, 23, 59, 58, 7));
  SYSTEMTIME bad = st;
  bad.wMonth = 13;
  EXPECT_THROW(SystemTimeToDateTime(bad), EVoException);
  EXPECT_EQ(UnixToDateTime(0), 25569.0);
  EXPECT_EQ(DateTimeToUnix(EncodeDateTime(2023, 5, 1, 10, 0, 0, 0)), 1682935200);
  EXPECT_DOUBLE_EQ(UnixToDateTime(-86400 * 25570LL), -1.0);
}

TEST(ISO8601, WritesAndReadsTheCommonForms) {
  const TDateTime t = EncodeDateTime(2023, 5, 1, 10, 0, 0, 0);
  EXPECT_EQ(VoDateTimeToISO8601(t), u"2023-05-01T10:00:00");
  EXPECT_EQ(VoDateTimeToISO8601(t, true), u"2023-05-01T10:00:00Z");
  EXPECT_EQ(VoDateTimeToISO8601(t + EncodeTime(0, 0, 0, 250)), u"2023-05-01T10:00:00.250");
  EXPECT_EQ(VoDateTimeToISO8601(-1.25), u"1899-12-29T06:00:00");
  bool zoned = true;
  EXPECT_DOUBLE_EQ(VoISO8601ToDateTime(u"2023-05-01T10:00:00", &zoned), t);
  EXPECT_FALSE(zoned);
  EXPECT_DOUBLE_EQ(VoISO8601ToDateTime(u"2023-05-01T10:00:00Z", &zoned), t);
  EXPECT_TRUE(zoned);
  EXPECT_DOUBLE_EQ(VoISO8601ToDateTime(u"2023-05-01T12:00:00+02:00"), t);
  EXPECT_DOUBLE_EQ(VoISO8601ToDateTime(u"2023-05-01T01:00:00-09"), t);
  EXPECT_DOUBLE_EQ(VoISO8601ToDateTime(u"2023-05-01T00:30:00+01:00"), EncodeDateTime(2023, 4, 30, 23, 30, 0, 0));
  EXPECT_DOUBLE_EQ(VoISO8601ToDateTime(u"20230501T100000"), t);
  EXPECT_DOUBLE_EQ(VoISO8601ToDateTime(u"2023-05-01"), EncodeDate(2023, 5, 1));
  EXPECT_DOUBLE_EQ(VoISO8601ToDateTime(u"2023-05-01T10:00:00.25"), t + EncodeTime(0, 0, 0, 250));
  EXPECT_DOUBLE_EQ(VoISO8601ToDateTime(u"18:00"), 0.75);
  EXPECT_DOUBLE_EQ(VoISO8601ToDateTime(u"1899-12-29T06:00:00"), -1.25);
}

TEST(ISO8601, RoundTripsAndRefusesMalformedText) {
  for (TDateTime t :
       {EncodeDateTime(2023, 5, 1, 10, 0, 0, 0), -1.25, 0.0, EncodeDateTime(9999, 12, 31, 23, 59, 59, 999)}) {
    EXPECT_DOUBLE_EQ(VoISO8601ToDateTime(VoDateTimeToISO8601(t)), t);
  }
  for (std::u16string text : {u"", u"2023", u"2023-05", u"2023-5-01", u"2023-02-30", u"2023-05-01T",
                              u"2023-05-01T25:00", u"2023-05-01T10:60", u"2023-05-01T10:00:61", u"2023-05-01T10:00:00.",
                              u"2023-05-01T10:00:00+", u"2023-05-01T10:00:00+15:00", u"2023-05-01T10:00:00Zjunk",
                              u"2023-0501", u"x2023-05-01", u"2023-05-01 ", u"12:3", u"2023-05-01T10:00:00 +02:00"}) {
    EXPECT_RAISES(VoISO8601ToDateTime(text), EVoException, E_INVALIDARG,
                  u"\"" + text + u"\" is not a valid ISO 8601 date-time");
  }
}

}  // namespace
