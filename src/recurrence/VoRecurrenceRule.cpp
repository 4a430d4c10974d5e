#include "recurrence/VoRecurrenceRule.h"

#include <algorithm>

#include "orba/common/dates.h"

namespace orba {
namespace {

constexpr int kLastYear = 9999;
constexpr uint32_t kAnyDay = 1, kWeekday = 2, kWeekendDay = 4, kSunday = 8;
constexpr uint32_t kMondayToFriday = 0x1F0;  // Monday (16) to Friday (256)

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// 0 = Sunday ... 6 = Saturday.
int WeekdayOf(int64_t day) { return DayOfWeek(double(day)) - 1; }

bool Matches(uint32_t weekDay, int weekday) {
  switch (weekDay) {
    case kAnyDay: return true;
    case kWeekday: return weekday >= 1 && weekday <= 5;
    case kWeekendDay: return weekday == 0 || weekday == 6;
    default: return weekDay == (kSunday << weekday);
  }
}

int64_t MonthIndexOf(int64_t day) {
  const TVoDateParts date = VoDecodeDate(double(day));
  return int64_t(date.Year) * 12 + date.Month - 1;
}

// The day of a month (clamped to its last day); kNoOccurrence past the calendar.
int64_t DayOf(int64_t monthIndex, int dayOfMonth) {
  const int64_t year = FloorDiv(monthIndex, 12);
  if (year > kLastYear) return kNoOccurrence;
  const int month = int(monthIndex - year * 12) + 1;
  return int64_t(EncodeDate(int(year), month, std::min(dayOfMonth, DaysInMonth(int(year), month))));
}

// The Xth (5 = last) day of the month that matches the day value.
int64_t NthDayOf(int64_t monthIndex, uint32_t xth, uint32_t weekDay) {
  const int64_t first = DayOf(monthIndex, 1);
  if (first == kNoOccurrence) return kNoOccurrence;
  const int64_t last = DayOf(monthIndex, 31);
  const int firstWeekday = WeekdayOf(first);
  if (xth == 5) {
    for (int64_t day = last; day >= first; --day)
      if (Matches(weekDay, int((firstWeekday + (day - first)) % 7))) return day;
  } else {
    uint32_t seen = 0;
    for (int64_t day = first; day <= last; ++day)
      if (Matches(weekDay, int((firstWeekday + (day - first)) % 7)) && ++seen == xth) return day;
  }
  return kNoOccurrence;  // unreachable for checked day values
}

bool IsMonthly(uint32_t kind) { return kind == 5 || kind == 6 || kind == 8 || kind == 9; }

}  // namespace

int64_t VoFirstOccurrenceOnOrAfter(const TVoRecurrenceRule& rule, int64_t day) {
  if (rule.Kind == 1 || rule.Kind == 3) {
    const uint32_t days = rule.Kind == 1 ? kMondayToFriday : rule.WeekDays;
    const int weekday = WeekdayOf(day);
    for (int ahead = 0; ahead < 7; ++ahead)
      if (days & (kSunday << ((weekday + ahead) % 7))) return day + ahead;
    return day;
  }
  if (!IsMonthly(rule.Kind)) return day;
  const TVoDateParts date = VoDecodeDate(double(day));
  const bool yearly = rule.Kind == 8 || rule.Kind == 9;
  int64_t month = int64_t(date.Year) * 12 + (yearly ? rule.Month : date.Month) - 1;
  const int64_t step = yearly ? 12 : 1;
  const auto dayIn = [&](int64_t m) {
    return rule.Kind == 5 || rule.Kind == 8 ? DayOf(m, rule.DayOfMonth) : NthDayOf(m, rule.Xth, rule.WeekDay);
  };
  int64_t candidate = dayIn(month);
  if (candidate < day) candidate = dayIn(month + step);
  return candidate;
}

TVoOccurrenceSeries::TVoOccurrenceSeries(const TVoRecurrenceRule& rule, int64_t start)
    : rule_(rule), first_(VoFirstOccurrenceOnOrAfter(rule, start)) {
  if (first_ == kNoOccurrence) return;
  if (rule.Kind == 1 || rule.Kind == 3) {
    const uint32_t days = rule.Kind == 1 ? kMondayToFriday : rule.WeekDays;
    const int firstDOW = rule.Kind == 1 ? 0 : rule.FirstDOW;
    for (int i = 0; i < 7; ++i)
      if (days & (kSunday << ((firstDOW + i) % 7))) offsets_.push_back(i);
    const int64_t offset = (WeekdayOf(first_) - firstDOW + 7) % 7;
    firstWeek_ = first_ - offset;
    firstSlot_ = std::find(offsets_.begin(), offsets_.end(), offset) - offsets_.begin();
    if (rule.Kind == 1) rule_.Interval = 1;
  } else if (IsMonthly(rule.Kind)) {
    firstMonth_ = MonthIndexOf(first_);
    monthStep_ = int64_t(rule.Interval) * (rule.Kind == 8 || rule.Kind == 9 ? 12 : 1);
  }
}

int64_t TVoOccurrenceSeries::DayInMonth(int64_t monthIndex) const {
  return rule_.Kind == 5 || rule_.Kind == 8 ? DayOf(monthIndex, rule_.DayOfMonth)
                                            : NthDayOf(monthIndex, rule_.Xth, rule_.WeekDay);
}

int64_t TVoOccurrenceSeries::At(int64_t index) const {
  constexpr int64_t kLastDay = 2958465;  // 9999-12-31
  if (first_ == kNoOccurrence || index < 0) return first_;
  // Far numbers are past the calendar whatever the kind: keep the products in range.
  if (index > kLastDay) return kNoOccurrence;
  int64_t day;
  if (!offsets_.empty()) {
    const int64_t n = int64_t(offsets_.size()), slot = firstSlot_ + index;
    day = firstWeek_ + 7 * int64_t(rule_.Interval) * (slot / n) + offsets_[size_t(slot % n)];
  } else if (IsMonthly(rule_.Kind)) {
    const int64_t month = firstMonth_ + monthStep_ * index;
    return month / 12 > kLastYear ? kNoOccurrence : DayInMonth(month);
  } else {
    day = first_ + int64_t(rule_.Interval) * index;
  }
  return day > kLastDay ? kNoOccurrence : day;
}

int64_t TVoOccurrenceSeries::IndexAfter(int64_t day) const {
  if (first_ == kNoOccurrence || day < first_) return 0;
  if (!offsets_.empty()) {
    const int64_t n = int64_t(offsets_.size());
    const int64_t week = FloorDiv(day - firstWeek_, 7), inWeek = day - firstWeek_ - 7 * week;
    const int64_t cycle = FloorDiv(week, rule_.Interval);
    int64_t slot = (cycle + 1) * n;
    if (week % rule_.Interval == 0) {
      const auto next = std::upper_bound(offsets_.begin(), offsets_.end(), inWeek);
      if (next != offsets_.end()) slot = cycle * n + (next - offsets_.begin());
    }
    return slot - firstSlot_;
  }
  if (IsMonthly(rule_.Kind)) {
    const int64_t months = MonthIndexOf(day) - firstMonth_;
    const int64_t index = FloorDiv(months, monthStep_);
    return months % monthStep_ == 0 && DayInMonth(firstMonth_ + index * monthStep_) > day ? index : index + 1;
  }
  return FloorDiv(day - first_, rule_.Interval) + 1;
}

}  // namespace orba
