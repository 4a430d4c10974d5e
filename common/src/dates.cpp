#include "orba/common/dates.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "orba/common/exceptions.h"

namespace orba {
namespace {

constexpr int64_t kMinDay = -693593;  // 0001-01-01
constexpr int64_t kMaxDay = 2958465;  // 9999-12-31
constexpr int64_t kFileTimeTicksPerMSec = 10000;
constexpr int64_t kUnixEpochDay = 25569;  // 1970-01-01

[[noreturn]] void InvalidArg(const char16_t* text) { throw EVoException(text, E_INVALIDARG); }

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days from 1970-01-01 of a proleptic Gregorian date (Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = FloorDiv(y, 400);
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

int64_t DayNumber(int year, int month, int day) { return DaysFromCivil(year, month, day) + kUnixEpochDay; }

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return kDays[month - 1] + (month == 2 && IsLeapYear(year));
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  if (year < 1 || year > 9999 || day < 1 || day > DaysInMonth(year, month)) return false;
  result = static_cast<TDateTime>(DayNumber(year, month, day));
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999)
    return false;
  result = ((hour * 3600000.0) + minute * 60000.0 + second * 1000.0 + msec) / MSecsPerDay;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime result;
  if (!TryEncodeDate(year, month, day, result)) InvalidArg(u"Invalid argument to date encode");
  return result;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  TDateTime result;
  if (!TryEncodeTime(hour, minute, second, msec, result)) InvalidArg(u"Invalid argument to time encode");
  return result;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
  const TDateTime date = EncodeDate(year, month, day);
  const TDateTime time = EncodeTime(hour, minute, second, msec);
  return date < 0 ? date - time : date + time;
}

TVoTimeStamp DateTimeToTimeStamp(TDateTime value) {
  if (!std::isfinite(value) || value < kMinDay - 1 || value > kMaxDay + 1) InvalidArg(u"Invalid date-time value");
  const int64_t msecs = std::llround(value * MSecsPerDay);
  TVoTimeStamp stamp;
  stamp.Day = msecs / MSecsPerDay;
  stamp.MSec = static_cast<int32_t>((msecs < 0 ? -msecs : msecs) % MSecsPerDay);
  return stamp;
}

TDateTime TimeStampToDateTime(const TVoTimeStamp& stamp) {
  const double time = static_cast<double>(stamp.MSec) / MSecsPerDay;
  return stamp.Day < 0 ? stamp.Day - time : stamp.Day + time;
}

int64_t DateTimeToMSecs(TDateTime value) {
  const TVoTimeStamp stamp = DateTimeToTimeStamp(value);
  return stamp.Day * MSecsPerDay + stamp.MSec;
}

TDateTime MSecsToDateTime(int64_t msecs) {
  TVoTimeStamp stamp;
  stamp.Day = FloorDiv(msecs, MSecsPerDay);
  stamp.MSec = static_cast<int32_t>(msecs - stamp.Day * MSecsPerDay);
  return TimeStampToDateTime(stamp);
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  CivilFromDays(DateTimeToTimeStamp(value).Day - kUnixEpochDay, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec) {
  int32_t ms = DateTimeToTimeStamp(value).MSec;
  hour = ms / 3600000;
  ms %= 3600000;
  minute = ms / 60000;
  ms %= 60000;
  second = ms / 1000;
  msec = ms % 1000;
}

int DayOfWeek(TDateTime value) {
  // 1899-12-30 was a Saturday.
  const int64_t shifted = DateTimeToTimeStamp(value).Day + 6;
  return static_cast<int>(shifted - FloorDiv(shifted, 7) * 7) + 1;
}

TDateTime DateOf(TDateTime value) { return static_cast<TDateTime>(DateTimeToTimeStamp(value).Day); }

TDateTime TimeOf(TDateTime value) { return static_cast<double>(DateTimeToTimeStamp(value).MSec) / MSecsPerDay; }

TDateTime FileTimeToDateTime(uint64_t fileTime) {
  const int64_t msecs = static_cast<int64_t>(fileTime / kFileTimeTicksPerMSec);
  return MSecsToDateTime(DateTimeToMSecs(FileTimeBase) + msecs);
}

TDateTime FileTimeToDateTime(const FILETIME& fileTime) {
  return FileTimeToDateTime((static_cast<uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime);
}

uint64_t DateTimeToFileTime(TDateTime value) {
  const int64_t msecs = DateTimeToMSecs(value) - DateTimeToMSecs(FileTimeBase);
  if (msecs < 0) InvalidArg(u"The date-time value lies before 1601-01-01");
  return static_cast<uint64_t>(msecs) * kFileTimeTicksPerMSec;
}

FILETIME DateTimeToFILETIME(TDateTime value) {
  const uint64_t ticks = DateTimeToFileTime(value);
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

SYSTEMTIME DateTimeToSystemTime(TDateTime value) {
  int y, m, d, h, n, s, ms;
  DecodeDate(value, y, m, d);
  DecodeTime(value, h, n, s, ms);
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(y);
  st.wMonth = static_cast<WORD>(m);
  st.wDayOfWeek = static_cast<WORD>(DayOfWeek(value) - 1);
  st.wDay = static_cast<WORD>(d);
  st.wHour = static_cast<WORD>(h);
  st.wMinute = static_cast<WORD>(n);
  st.wSecond = static_cast<WORD>(s);
  st.wMilliseconds = static_cast<WORD>(ms);
  return st;
}

TDateTime SystemTimeToDateTime(const SYSTEMTIME& time) {
  TDateTime date, tod;
  if (!TryEncodeDate(time.wYear, time.wMonth, time.wDay, date) ||
      !TryEncodeTime(time.wHour, time.wMinute, time.wSecond, time.wMilliseconds, tod))
    InvalidArg(u"Invalid SYSTEMTIME value");
  return date < 0 ? date - tod : date + tod;
}

TDateTime UnixToDateTime(int64_t seconds) { return MSecsToDateTime(kUnixEpochDay * MSecsPerDay + seconds * 1000); }

int64_t DateTimeToUnix(TDateTime value) { return FloorDiv(DateTimeToMSecs(value) - kUnixEpochDay * MSecsPerDay, 1000); }

TVoDateParts VoDecodeDate(TDateTime value) {
  TVoDateParts parts;
  DecodeDate(value, parts.Year, parts.Month, parts.Day);
  return parts;
}

int VoDayOfMonth(TDateTime value) { return VoDecodeDate(value).Day; }

TDateTime VoAddDays(TDateTime value, int64_t days) {
  TVoTimeStamp stamp = DateTimeToTimeStamp(value);
  stamp.Day += days;
  return TimeStampToDateTime(stamp);
}

TDateTime VoAddMins(TDateTime value, int64_t minutes) {
  return MSecsToDateTime(DateTimeToMSecs(value) + minutes * 60000);
}

TDateTime VoAddMonths(TDateTime value, int months) {
  const TVoDateParts date = VoDecodeDate(value);
  const int64_t index = int64_t(date.Year) * 12 + (date.Month - 1) + months;
  const int year = static_cast<int>(FloorDiv(index, 12));
  const int month = static_cast<int>(index - int64_t(year) * 12) + 1;
  if (year < 1 || year > 9999) InvalidArg(u"Invalid argument to date encode");
  const int day = std::min(date.Day, DaysInMonth(year, month));
  TVoTimeStamp stamp{DayNumber(year, month, day), DateTimeToTimeStamp(value).MSec};
  return TimeStampToDateTime(stamp);
}

TDateTime VoAddYears(TDateTime value, int years) { return VoAddMonths(value, years * 12); }

TDateTime VoBOMonth(TDateTime value) {
  const TVoDateParts date = VoDecodeDate(value);
  return static_cast<TDateTime>(DayNumber(date.Year, date.Month, 1));
}

TDateTime VoEOMonth(TDateTime value) {
  const TVoDateParts date = VoDecodeDate(value);
  return static_cast<TDateTime>(DayNumber(date.Year, date.Month, DaysInMonth(date.Year, date.Month)));
}

TDateTime VoBOWeek(TDateTime value, int firstDayOfWeek) {
  if (firstDayOfWeek < 1 || firstDayOfWeek > 7)
    InvalidArg(u"The first day of the week must lie between 1 (Sunday) and 7 (Saturday)");
  const int back = (DayOfWeek(value) - firstDayOfWeek + 7) % 7;
  return static_cast<TDateTime>(DateTimeToTimeStamp(value).Day - back);
}

TDateTime VoNowUTC() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return MSecsToDateTime(kUnixEpochDay * MSecsPerDay + int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000);
}

}  // namespace orba
