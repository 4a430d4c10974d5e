// Local time and the machine's time-zone rules, read through the C library (the TZ
// environment variable, else /etc/localtime). After changing TZ call tzset().
#pragma once

#include <cstdint>

#include "orba/common/com.h"
#include "orba/common/types.h"

namespace orba {

// Local wall-clock time to UTC under the rules in force at that moment.
// A local time that occurs twice (clocks go back) is taken as the first of the two (the
// daylight-saving reading); a local time that never occurs (clocks go forward) is read
// with the offset in force before the change, so 02:30 on a spring-forward night with a
// one-hour gap becomes the instant shown as 03:30.
TDateTime VoLocalToUTC(TDateTime local);
TDateTime VoUTCToLocal(TDateTime utc);
// The current local time.
TDateTime VoNow();

// The name of the local time zone: the TZ variable (without a leading ':'), else the
// zone named by /etc/timezone, else the zone /etc/localtime links to, else the C
// library's abbreviation of standard time; "UTC" when nothing says otherwise.
WideString VoGetTimeZone();
// Windows bias of the local zone at the given UTC moment: minutes to add to local time
// to get UTC (Berlin in winter: -60).
int32_t VoGetTimeZoneBias(TDateTime utc);

// One year's rules of a zone in the shape of Windows' TIME_ZONE_INFORMATION: biases in
// minutes (UTC = local + Bias + StandardBias or DaylightBias) and the two changes as
// SYSTEMTIME rules (wYear 0, wMonth, wDayOfWeek 0 = Sunday, wDay = occurrence 1..5 where
// 5 is the last, local time of the change). A zone without daylight saving in that year
// has wMonth 0 in both dates.
struct TVoTimeZoneInfo {
  WideString Name;
  int32_t Bias = 0;
  WideString StandardName;
  SYSTEMTIME StandardDate{};
  int32_t StandardBias = 0;
  WideString DaylightName;
  SYSTEMTIME DaylightDate{};
  int32_t DaylightBias = 0;
};

class TVoTimeZones {
 public:
  // The local zone's rules for the given year, found by locating the year's offset
  // changes.
  static TVoTimeZoneInfo Local(int year);
};

}  // namespace orba
