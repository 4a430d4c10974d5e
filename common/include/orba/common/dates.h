// Calendar arithmetic on TDateTime values (days since 1899-12-30, time of day as the
// fraction). Dates before 1899-12-30 are negative with the time counted away from
// zero, as Delphi stores them: 1899-12-29 06:00 is -1.25.
// Invalid arguments raise EVoException with code E_INVALIDARG.
#pragma once

#include <cstdint>

#include "orba/common/com.h"
#include "orba/common/types.h"

namespace orba {

inline constexpr int64_t MSecsPerDay = 86400000;
// TDateTime of 1601-01-01, the origin of FILETIME and of MAPI's minute counts.
inline constexpr TDateTime FileTimeBase = -109205.0;

bool IsLeapYear(int year);
// 28..31; 0 for a month outside 1..12.
int DaysInMonth(int year, int month);

// Years 1..9999; raise "Invalid argument to date encode" / "... time encode".
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec);
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result);

// Values are rounded to the nearest millisecond first (23:59:59.9996 is the next day).
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);
// 1 = Sunday ... 7 = Saturday.
int DayOfWeek(TDateTime value);
// The day (integer part, with negative values as Delphi stores them) at 00:00.
TDateTime DateOf(TDateTime value);
// The time of day as a fraction in [0, 1).
TDateTime TimeOf(TDateTime value);

// A moment as whole days since 1899-12-30 plus milliseconds into that day; the form in
// which negative dates add and compare like positive ones.
struct TVoTimeStamp {
  int64_t Day = 0;
  int32_t MSec = 0;  // 0 .. MSecsPerDay - 1
};
TVoTimeStamp DateTimeToTimeStamp(TDateTime value);
TDateTime TimeStampToDateTime(const TVoTimeStamp& stamp);
// Milliseconds since 1899-12-30 00:00, linear across the sign change.
int64_t DateTimeToMSecs(TDateTime value);
TDateTime MSecsToDateTime(int64_t msecs);

// FILETIME (100 ns since 1601-01-01) <-> TDateTime, no zone change. Dates before 1601
// or past the 64-bit range raise E_INVALIDARG.
TDateTime FileTimeToDateTime(uint64_t fileTime);
TDateTime FileTimeToDateTime(const FILETIME& fileTime);
uint64_t DateTimeToFileTime(TDateTime value);
FILETIME DateTimeToFILETIME(TDateTime value);
// SYSTEMTIME <-> TDateTime, no zone change; an invalid SYSTEMTIME raises E_INVALIDARG.
SYSTEMTIME DateTimeToSystemTime(TDateTime value);
TDateTime SystemTimeToDateTime(const SYSTEMTIME& time);
// Seconds since 1970-01-01 (UTC by convention) <-> TDateTime.
TDateTime UnixToDateTime(int64_t seconds);
int64_t DateTimeToUnix(TDateTime value);

// The broken-down date of a value.
struct TVoDateParts {
  int Year = 0;
  int Month = 0;
  int Day = 0;
};
TVoDateParts VoDecodeDate(TDateTime value);
int VoDayOfMonth(TDateTime value);

// Arithmetic keeps the time of day; adding across 1899-12-30 is exact.
TDateTime VoAddDays(TDateTime value, int64_t days);
TDateTime VoAddMins(TDateTime value, int64_t minutes);
// Delphi's IncMonth: the day is clamped to the target month's last day
// (2024-01-31 + 1 month = 2024-02-29). Results outside years 1..9999 raise.
TDateTime VoAddMonths(TDateTime value, int months);
TDateTime VoAddYears(TDateTime value, int years);
// First and last day of the value's month, both at 00:00: callers compare and step
// whole days with them.
TDateTime VoBOMonth(TDateTime value);
TDateTime VoEOMonth(TDateTime value);
// 00:00 of the first day of the week containing value; firstDayOfWeek is 1 = Sunday
// ... 7 = Saturday (default Monday, as Delphi's StartOfTheWeek).
TDateTime VoBOWeek(TDateTime value, int firstDayOfWeek = 2);

// The current UTC time (VoNow, the local time, lives with the time-zone rules).
TDateTime VoNowUTC();

}  // namespace orba
