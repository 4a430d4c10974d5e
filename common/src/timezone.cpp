#include "orba/common/timezone.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "orba/common/dates.h"
#include "orba/common/exceptions.h"
#include "orba/common/utf8.h"

namespace orba {
namespace {

constexpr int64_t kUnixEpochMSecs = 25569 * MSecsPerDay;
constexpr int64_t kSecsPerDay = 86400;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

struct LocalReading {
  int64_t offset;  // seconds east of UTC
  bool daylight;
  std::string zone;
};

LocalReading ReadLocal(int64_t utcSeconds) {
  const time_t t = static_cast<time_t>(utcSeconds);
  tm parts{};
  if (!localtime_r(&t, &parts)) throw EVoException(u"The time-zone rules do not cover the given date", E_INVALIDARG);
  return {parts.tm_gmtoff, parts.tm_isdst > 0, parts.tm_zone ? parts.tm_zone : ""};
}

int64_t OffsetAt(int64_t utcSeconds) { return ReadLocal(utcSeconds).offset; }

// Splits a value into whole seconds since 1970 and the leftover milliseconds.
void SplitSeconds(TDateTime value, int64_t& seconds, int64_t& msec) {
  const int64_t msecs = DateTimeToMSecs(value) - kUnixEpochMSecs;
  seconds = FloorDiv(msecs, 1000);
  msec = msecs - seconds * 1000;
}

TDateTime JoinSeconds(int64_t seconds, int64_t msec) {
  return MSecsToDateTime(kUnixEpochMSecs + seconds * 1000 + msec);
}

std::string ReadFirstLine(const char* path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
  return line;
}

std::string ZoneFromLocaltimeLink() {
  std::error_code ec;
  const std::string target = std::filesystem::read_symlink("/etc/localtime", ec).string();
  const std::string marker = "zoneinfo/";
  const size_t at = target.rfind(marker);
  return ec || at == std::string::npos ? std::string() : target.substr(at + marker.size());
}

// A change's local wall-clock moment as a Windows rule date.
SYSTEMTIME RuleDate(int64_t localSeconds) {
  const TDateTime local = JoinSeconds(localSeconds, 0);
  SYSTEMTIME st = DateTimeToSystemTime(local);
  const int occurrence = (st.wDay - 1) / 7 + 1;
  st.wDay = static_cast<WORD>(st.wDay + 7 > DaysInMonth(st.wYear, st.wMonth) ? 5 : occurrence);
  st.wYear = 0;
  return st;
}

// The first second in (from, to] at which the reading differs from the one at from.
int64_t FindChange(int64_t from, int64_t to) {
  const LocalReading start = ReadLocal(from);
  while (to - from > 1) {
    const int64_t mid = from + (to - from) / 2;
    const LocalReading r = ReadLocal(mid);
    if (r.offset == start.offset && r.daylight == start.daylight)
      from = mid;
    else
      to = mid;
  }
  return to;
}

}  // namespace

TDateTime VoLocalToUTC(TDateTime local) {
  int64_t wall, msec;
  SplitSeconds(local, wall, msec);
  // Offsets in force a day either side bracket any change near this wall-clock time.
  const int64_t before = OffsetAt(wall - kSecsPerDay);
  const int64_t after = OffsetAt(wall + kSecsPerDay);
  int64_t utc = wall - before;
  if (OffsetAt(utc) != before) {
    const int64_t candidate = wall - after;
    if (OffsetAt(candidate) == after) utc = candidate;  // else a gap: keep the old offset
  }
  return JoinSeconds(utc, msec);
}

TDateTime VoUTCToLocal(TDateTime utc) {
  int64_t seconds, msec;
  SplitSeconds(utc, seconds, msec);
  return JoinSeconds(seconds + OffsetAt(seconds), msec);
}

TDateTime VoNow() { return VoUTCToLocal(VoNowUTC()); }

WideString VoGetTimeZone() {
  std::string name;
  if (const char* tz = std::getenv("TZ"); tz && *tz) name = tz[0] == ':' ? tz + 1 : tz;
  if (name.empty()) name = ReadFirstLine("/etc/timezone");
  if (name.empty()) name = ZoneFromLocaltimeLink();
  if (name.empty()) {
    tzset();
    name = tzname[0] ? tzname[0] : "";
  }
  return FromUtf8(name.empty() ? "UTC" : name);
}

int32_t VoGetTimeZoneBias(TDateTime utc) {
  int64_t seconds, msec;
  SplitSeconds(utc, seconds, msec);
  return static_cast<int32_t>(-OffsetAt(seconds) / 60);
}

TVoTimeZoneInfo TVoTimeZones::Local(int year) {
  int64_t from, msec;
  SplitSeconds(EncodeDate(year, 1, 1), from, msec);
  int64_t end;
  SplitSeconds(EncodeDate(year, 12, 31) + 1, end, msec);

  TVoTimeZoneInfo info;
  info.Name = VoGetTimeZone();
  LocalReading standard{}, daylight{};
  bool haveStandard = false, haveDaylight = false;
  LocalReading previous = ReadLocal(from);
  for (int64_t t = from + kSecsPerDay; t <= end; t += kSecsPerDay) {
    const LocalReading now = ReadLocal(t);
    if (now.offset == previous.offset && now.daylight == previous.daylight) continue;
    const int64_t change = FindChange(t - kSecsPerDay, t);
    const LocalReading before = ReadLocal(change - 1), after = ReadLocal(change);
    if (after.daylight && !before.daylight && !haveDaylight) {
      info.DaylightDate = RuleDate(change + before.offset);
      daylight = after;
      haveDaylight = true;
    } else if (!after.daylight && before.daylight && !haveStandard) {
      info.StandardDate = RuleDate(change + before.offset);
      standard = after;
      haveStandard = true;
    }
    previous = now;
  }
  if (!(haveStandard && haveDaylight)) {
    // No daylight saving this year: the rules are the offset of mid-year.
    standard = ReadLocal(from + 182 * kSecsPerDay);
    info.StandardDate = info.DaylightDate = SYSTEMTIME{};
    daylight = standard;
  }
  info.Bias = static_cast<int32_t>(-standard.offset / 60);
  info.DaylightBias = static_cast<int32_t>(-(daylight.offset - standard.offset) / 60);
  info.StandardName = FromUtf8(standard.zone);
  info.DaylightName = FromUtf8(daylight.zone);
  return info;
}

}  // namespace orba
