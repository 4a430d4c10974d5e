// Feeds arbitrary bytes to the recurrence blob decoder, as an appointment's and as a
// task's. Whatever decodes must encode, decode to the same pattern and encode to the
// same bytes; its first hundred occurrences and its description come quickly or as
// EVoException.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <tuple>

#include "orba/VoMAPIRecurrence.h"

namespace {

using namespace orba;

auto Snapshot(TVoRecurrencePattern& p) {
  std::vector<TVoRecurrenceExceptionData> exceptions;
  for (int32_t i = 0; i < p.Exceptions().Get_Count(); ++i) exceptions.push_back(p.Exceptions().At(i).Data());
  return std::make_tuple(p.Get_StartDate(), p.Get_EndDate(), p.Get_StartTime(), p.Get_EndTime(), p.Get_Duration(),
                         p.Get_Interval(), p.Get_Month(), p.Get_OccurrenceCount(), p.Get_RecurrenceEndType(),
                         p.Get_RecurrenceType(), p.Get_WeekDays(), p.Get_WeekDay(), p.Get_Xth(), p.Get_DayOfMonth(),
                         p.Get_FirstDOW(), p.RecurrenceFrequency(), p.RecurrencePatternType(), p.CalendarType(),
                         p.FirstDateTime(), exceptions);
}

void Check(bool condition) {
  if (!condition) std::abort();
}

void Exercise(const TVoBytes& data, bool isTask) {
  auto first = MakeComObject<TVoRecurrencePattern>(isTask);
  try {
    first->Set_Data(data);
  } catch (const EVoException&) {
    return;
  }
  const TVoBytes encoded = first->Get_Data();  // must not raise
  auto second = MakeComObject<TVoRecurrencePattern>(isTask);
  second->Set_Data(encoded);
  Check(second->Get_Data() == encoded);
  Check(Snapshot(*first) == Snapshot(*second));
  try {
    TVoMAPIApptOccurrence occ = second->GetFirstOccurrence();
    for (int i = 0; i < 100 && !occ.IsLast; ++i) occ = second->GetNextOccurrence(occ.OriginalStartDate);
  } catch (const EVoException&) {
  }
  try {
    second->Get_RecurrencePattern();
  } catch (const EVoException&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TVoBytes bytes(data, data + size);
  Exercise(bytes, false);
  Exercise(bytes, true);
  return 0;
}
