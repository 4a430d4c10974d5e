// The English description of a recurrence ("Occurs every 2 weeks on monday and
// wednesDay effective ... from 09:30 to 10:00"). The texts, their spellings included,
// are the ones users of the library compare against.
#include "orba/VoMAPIExceptions.h"
#include "orba/VoMAPIRecurrence.h"
#include "orba/common/dates.h"
#include "orba/common/iso8601.h"

namespace orba {
namespace {

constexpr const char16_t* kDays[] = {u" sunday",   u" monday", u" tuesday", u" wednesDay",
                                     u" thursday", u" friday", u" saturday"};
constexpr const char16_t* kOrdinals[] = {u" first", u" second", u" third", u" fourth", u" last"};
constexpr const char16_t* kMonths[] = {u"january", u"febrary", u"march",     u"april",   u"may",      u"june",
                                       u"july",    u"august",  u"september", u"oktober", u"november", u"decemer"};

// " day", " weekday", " weekendday" or the day's name for a checked day value.
WideString DayKind(uint32_t weekDay) {
  switch (weekDay) {
    case 1: return u" day";
    case 2: return u" weekday";
    case 4: return u" weekendday";
  }
  int index = 0;
  while ((8u << index) != weekDay) ++index;
  return kDays[index];
}

// "%s one <unit> after ..." for an interval of 1, else "%s %d <unit>s after ...".
WideString Regenerating(int32_t interval, std::u16string_view unit) {
  if (interval == 1) return Format(u"Due one %s after this task is completed", {unit});
  return Format(u"Due %d %ss after this task is completed", {interval, unit});
}

}  // namespace

WideString TVoRecurrencePattern::Get_RecurrencePattern() {
  CheckGregorian(u"RecurrencePattern");
  if (FRecurrenceType == 3 && (FWeekDays & 0x3F8) == 0) throw EVoException(u"Invalid recurrence");
  Validate();
  const WideString p = FIsTask ? u"Due" : u"Occurs";
  WideString text;
  switch (FRecurrenceType) {
    case 0:
      if (FInterval == 1)
        text = FIsTask ? u"Due every day" : u"Occurs daily";
      else
        text = Format(u"%s every %d days", {p, FInterval});
      break;
    case 1: text = p + u" every weekday"; break;
    case 2: text = Regenerating(FInterval, u"day"); break;
    case 3: {
      text = p + u" every";
      if (FInterval > 1) text += Format(u" %d weeks on", {FInterval});
      bool first = true;
      for (int day = 0; day < 7; ++day) {
        if (!(FWeekDays & (8u << day))) continue;
        if (!first) text += u" and";
        text += kDays[day];
        first = false;
      }
      break;
    }
    case 4: text = Regenerating(FInterval, u"week"); break;
    case 5: text = Format(u"%s day %d of every %d month(s)", {p, FDayOfMonth, FInterval}); break;
    case 6:
      text = p + u" the" + kOrdinals[FXth - 1] + DayKind(FWeekDay) + Format(u" of every %d month(s)", {FInterval});
      break;
    case 7: text = Regenerating(FInterval, u"month"); break;
    case 8: text = Format(u"%s every %s %d", {p, kMonths[FMonth - 1], FDayOfMonth}); break;
    case 9: text = p + u" the" + kOrdinals[FXth - 1] + DayKind(FWeekDay) + u" of " + kMonths[FMonth - 1]; break;
    case 10: text = Regenerating(FInterval, u"year"); break;
  }
  text += Format(u" effective %s", {VoDateToISO8601(FStartDate)});
  if (FRecurrenceEndType != 0) text += Format(u" until %s", {VoDateToISO8601(FEndDate)});
  if (!FIsTask) {
    int hour, minute, second, msec;
    DecodeTime(FStartTime, hour, minute, second, msec);
    text += Format(u" from %2.2d:%2.2d", {hour, minute});
    if (FDuration > 1440) {
      text += Format(u" for %f day(s)", {FDuration / 1440.0});
    } else {
      DecodeTime(FEndTime, hour, minute, second, msec);
      text += Format(u" to %2.2d:%2.2d", {hour, minute});
    }
  }
  return text;
}

}  // namespace orba
