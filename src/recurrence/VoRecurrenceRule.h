// The calendar of a recurrence: which days a pattern's occurrences fall on. Days are
// whole day numbers (days since 1899-12-30). Every step is arithmetic on the
// occurrence's index, so finding the first, the n-th or the next occurrence costs the
// same however far the series runs; no loop runs longer than a month's days.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

namespace orba {

// No occurrence: past the calendar's last day (9999-12-31).
inline constexpr int64_t kNoOccurrence = std::numeric_limits<int64_t>::max();

// The pattern fields the calendar reads; the caller has checked them (kind 0, 1, 3, 5,
// 6, 8 or 9, Interval >= 1, WeekDays with a day, day values, Xth 1..5, Month 1..12,
// DayOfMonth 1..31, FirstDOW 0..6).
struct TVoRecurrenceRule {
  uint32_t Kind = 0;
  int32_t Interval = 1;
  uint32_t WeekDays = 0;
  uint32_t WeekDay = 0;
  uint32_t Xth = 1;
  int32_t DayOfMonth = 1;
  int32_t Month = 1;
  int32_t FirstDOW = 0;
};

// The first occurrence day on or after day, as a series would start there.
int64_t VoFirstOccurrenceOnOrAfter(const TVoRecurrenceRule& rule, int64_t day);

// The occurrences of a series whose first occurrence is First(), numbered from 0.
class TVoOccurrenceSeries {
 public:
  // start is moved to the first occurrence on or after it.
  TVoOccurrenceSeries(const TVoRecurrenceRule& rule, int64_t start);

  int64_t First() const { return first_; }
  // The occurrence with the given number; kNoOccurrence past the calendar.
  int64_t At(int64_t index) const;
  // The number of the first occurrence after day, which is also how many fall on or
  // before it.
  int64_t IndexAfter(int64_t day) const;
  int64_t After(int64_t day) const { return At(IndexAfter(day)); }

 private:
  int64_t DayInMonth(int64_t monthIndex) const;

  TVoRecurrenceRule rule_;
  int64_t first_;
  // Weekly kinds: day offsets from the week's first day, the week of the first
  // occurrence and the first occurrence's place in it.
  std::vector<int64_t> offsets_;
  int64_t firstWeek_ = 0;
  int64_t firstSlot_ = 0;
  // Monthly and yearly kinds: the first occurrence's month (year * 12 + month - 1) and
  // the months between occurrences.
  int64_t firstMonth_ = 0;
  int64_t monthStep_ = 1;
};

// The series of a checked, non-regenerating pattern and the last day it may reach.
struct TVoPatternSeries {
  TVoOccurrenceSeries Series;
  int64_t Last;  // the last occurrence, EndDate, or where a series without end stops
  bool Ends;     // false for a series without end

  bool IsLast(int64_t day) const { return Ends && Series.After(day) > Last; }
};

}  // namespace orba
