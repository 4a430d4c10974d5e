#include <algorithm>

#include "kit/VoMAPIKit.h"
#include "mapi/mapicode.h"
#include "mapi/simplemapi.h"
#include "orba/VoMAPIExceptions.h"
#include "orba/VoMAPIRecurrence.h"
#include "orba/common/dates.h"
#include "orba/common/iso8601.h"
#include "orba/common/timezone.h"
#include "recurrence/VoRecurrenceRule.h"
#include "recurrence/VoRecurrenceStream.h"

namespace orba {
namespace {

constexpr int64_t kNoEndLastDay = 99999;  // 2173-10-13: where a series without end stops
constexpr uint32_t kDayBits = 0x3F8;      // Sunday (8) to Saturday (512)

int64_t DayNumber(TDateTime value) { return int64_t(DateOf(value)); }

bool IsRegenerating(uint32_t kind) { return kind == 2 || kind == 4 || kind == 7 || kind == 10; }

bool IsDayValue(uint32_t value) {
  return value == 1 || value == 2 || value == 4 || (value >= 8 && value <= 512 && (value & (value - 1)) == 0);
}

[[noreturn]] void InvalidRecurrence(std::u16string_view field) {
  throw EVoMAPIException(Format(u"Invalid recurrence (%s)", {field}), E_INVALIDARG);
}

[[noreturn]] void NoOccurrences() { throw EMAPI_NOT_FOUND(u"The recurrence has no occurrences!", MAPI_E_NOT_FOUND); }

[[noreturn]] void PastTheEnd() {
  throw EMAPI_INVALID_PARAMETER(u"The given datetime value is greater then the enddate of the recurrence!",
                                MAPI_E_INVALID_PARAMETER);
}

TDateTime DayOfAfter(const TVoVariant& after) {
  return after.VarType() == varOleStr ? VoISO8601ToDateTime(VoVarToStr(after)) : VoVarToDateTime(after, 0);
}

}  // namespace

// Exceptions ------------------------------------------------------------------------

TDateTime TVoRecurrenceException::Get_OriginalStartDate() {
  auto* pattern = FindCreator<TVoRecurrencePattern>();
  if (!data_.Deleted || !pattern) return data_.OriginalStartDate;
  return VoJoinDateTime(data_.OriginalStartDate, pattern->Get_StartTime());
}

void TVoRecurrenceException::Set_OriginalStartDate(TDateTime) {
  throw EMAPI_NO_ACCESS(u"The OriginalStartDate cannot be modified!", MAPI_E_NO_ACCESS);
}

void TVoRecurrenceException::Set_StartDate(TDateTime Value) {
  data_.StartDate = DateOf(Value);
  data_.StartTime = TimeOf(Value);
}

void TVoRecurrenceException::Set_StartTime(TDateTime Value) { data_.StartTime = TimeOf(Value); }

void TVoRecurrenceException::Set_EndDate(TDateTime Value) {
  data_.EndDate = DateOf(Value);
  data_.EndTime = TimeOf(Value);
}

void TVoRecurrenceException::Set_EndTime(TDateTime Value) { data_.EndTime = TimeOf(Value); }

void TVoRecurrenceException::Set_Description(const WideString& Value) {
  data_.Description = Value;
  SetFlag(ARO_SUBJECT, true);
}

void TVoRecurrenceException::Set_Location(const WideString& Value) {
  data_.Location = Value;
  SetFlag(ARO_LOCATION, true);
}

void TVoRecurrenceException::Set_RemindBefore(int32_t Value) {
  data_.RemindBefore = Value;
  SetFlag(ARO_REMINDERDELTA, true);
}

void TVoRecurrenceException::Set_ReminderSet(bool16 Value) {
  data_.ReminderSet = Value;
  SetFlag(ARO_REMINDER, true);
}

void TVoRecurrenceException::Set_BusyStatus(int32_t Value) {
  data_.BusyStatus = Value;
  SetFlag(ARO_BUSYSTATUS, true);
}

void TVoRecurrenceException::Set_AllDay(bool16 Value) {
  data_.AllDay = Value;
  SetFlag(ARO_SUBTYPE, true);
  if (Value) data_.StartTime = data_.EndTime = 0;
}

void TVoRecurrenceException::Set_ColorLabel(int32_t Value) {
  data_.ColorLabel = Value;
  SetFlag(ARO_APPTCOLOR, true);
}

ComPtr<IVoRecurrenceException> TVoRecurrenceExceptions::Get_Item(int32_t Index) {
  if (Index < 0 || Index >= Get_Count()) kit::RaiseListIndex(Index);
  return ComPtr<IVoRecurrenceException>(items_[size_t(Index)].get());
}

ComPtr<IVoRecurrenceException> TVoRecurrenceExceptions::Add(TDateTime Date) {
  return ComPtr<IVoRecurrenceException>(&AddException(Date));
}

void TVoRecurrenceExceptions::Delete(IVoRecurrenceException* Exception) {
  const auto found = std::find_if(items_.begin(), items_.end(), [&](const ComPtr<TVoRecurrenceException>& item) {
    return static_cast<IVoRecurrenceException*>(item.get()) == Exception;
  });
  if (!Exception || found == items_.end())
    throw EVoMAPIException(u"The exception does not belong to this recurrence.", E_INVALIDARG);
  items_.erase(found);
  Changed();
}

TVoRecurrenceException& TVoRecurrenceExceptions::AddException(TDateTime Date) {
  TVoRecurrencePattern* pattern = Pattern();
  const TDateTime startTime = pattern ? TimeOf(pattern->Get_StartTime()) : 0;
  const int32_t duration = pattern ? pattern->Get_Duration() : 0;
  auto exception = MakeComObject<TVoRecurrenceException>(this);
  TVoRecurrenceExceptionData& data = exception->MutableData();
  data.OriginalStartDate = Date;
  data.StartDate = DateOf(Date);
  data.StartTime = startTime;
  const TDateTime end = VoAddMins(VoJoinDateTime(data.StartDate, startTime), duration);
  data.EndDate = DateOf(end);
  data.EndTime = TimeOf(end);
  items_.push_back(exception);
  Changed();
  return *exception;
}

TVoRecurrenceException* TVoRecurrenceExceptions::FindByOriginalDay(TDateTime Day) const {
  if (!indexed_) {
    for (const auto& item : items_) byDay_.emplace(DayNumber(item->Data().OriginalStartDate), item.get());
    indexed_ = true;
  }
  const auto found = byDay_.find(DayNumber(Day));
  return found == byDay_.end() ? nullptr : found->second;
}

void TVoRecurrenceExceptions::SortOnStartDate() {
  std::stable_sort(items_.begin(), items_.end(), [](const auto& a, const auto& b) {
    return DateTimeToMSecs(a->Data().OriginalStartDate) < DateTimeToMSecs(b->Data().OriginalStartDate);
  });
  Changed();
}

void TVoRecurrenceExceptions::Clear() {
  items_.clear();
  Changed();
}

TVoRecurrencePattern* TVoRecurrenceExceptions::Pattern() const { return FindCreator<TVoRecurrencePattern>(); }

// Pattern ---------------------------------------------------------------------------

TVoRecurrencePattern::TVoRecurrencePattern(bool IsTask)
    : FExceptions(MakeComObject<TVoRecurrenceExceptions>(this)), FIsTask(IsTask) {
  Reset();
}

TVoRecurrencePattern::~TVoRecurrencePattern() = default;

void TVoRecurrencePattern::Set_StartDate(TDateTime Value) { FStartDate = DateOf(Value); }

void TVoRecurrencePattern::Set_EndDate(TDateTime Value) { FEndDate = DateOf(Value); }

void TVoRecurrencePattern::Set_StartTime(TDateTime Value) {
  FStartTime = TimeOf(Value);
  FEndTime = TimeOf(VoAddMins(FStartTime, FDuration));
}

void TVoRecurrencePattern::Set_EndTime(TDateTime) {
  throw EVoMAPIException(u"Do not set the endtime, set the duration instead!", E_INVALIDARG);
}

void TVoRecurrencePattern::Set_Duration(int32_t Value) {
  FDuration = Value;
  FEndTime = TimeOf(VoAddMins(FStartTime, Value));
}

void TVoRecurrencePattern::Set_RecurrenceType(uint32_t Value) {
  FRecurrenceType = Value;
  if (Value == 1)
    FInterval = 7;
  else if (FInterval == 0)
    FInterval = 1;
}

ComPtr<IVoRecurrenceExceptions> TVoRecurrencePattern::Get_Exceptions() {
  return ComPtr<IVoRecurrenceExceptions>(FExceptions.get());
}

void TVoRecurrencePattern::Reset() {
  FExceptions->Clear();
  FStartTime = FEndTime = 0;
  FDuration = 0;
  FRecurrenceFreq = FRecurrencePattern = FRecurrenceCalendar = FFirstDateTime = 0;
  FRecurrenceType = FRecurrenceEndType = 0;
  FOccurrenceCount = 10;
  FStartDate = FEndDate = DateOf(VoNow());
  FFirstDOW = FInterval = FMonth = FDayOfMonth = FRegenerateInterval = 0;
  FWeekDays = FWeekDay = FXth = 0;
}

void TVoRecurrencePattern::CheckGregorian(std::u16string_view What) const {
  if (FRecurrenceCalendar != 0)
    throw EMAPI_NO_SUPPORT(
        Format(u"%s is not supported for a recurrence in a non-Gregorian calendar (CalendarType %u).",
               {What, FRecurrenceCalendar}),
        MAPI_E_NO_SUPPORT);
}

void TVoRecurrencePattern::Validate() const {
  const auto requireInterval = [&] {
    if (FInterval < 1) InvalidRecurrence(u"Interval");
  };
  const auto requireNth = [&] {
    if (FXth < 1 || FXth > 5) InvalidRecurrence(u"Xth");
    if (!IsDayValue(FWeekDay)) InvalidRecurrence(u"WeekDay");
  };
  const auto requireMonth = [&] {
    if (FMonth < 1 || FMonth > 12) InvalidRecurrence(u"Month");
  };
  switch (FRecurrenceType) {
    case 0:
    case 1: requireInterval(); break;
    case 3:
      requireInterval();
      if ((FWeekDays & kDayBits) == 0) InvalidRecurrence(u"WeekDays");
      break;
    case 5:
      requireInterval();
      if (FDayOfMonth < 1 || FDayOfMonth > 31) InvalidRecurrence(u"DayOfMonth");
      break;
    case 6:
      requireNth();
      requireInterval();
      break;
    case 8:
      requireMonth();
      if (FDayOfMonth < 1 || FDayOfMonth > 31) InvalidRecurrence(u"FDayOfMonth");
      requireInterval();
      break;
    case 9:
      requireNth();
      requireMonth();
      requireInterval();
      break;
    case 2:
    case 4:
    case 7:
    case 10:
      requireInterval();
      if (FRecurrenceEndType == 2)
        throw EVoMAPIException(u"\"End by date\" is not allowed for regenerating tasks.", E_INVALIDARG);
      break;
    default: InvalidRecurrence(u"RecurrenceType");
  }
  if (FRecurrenceEndType > 2) InvalidRecurrence(u"RecurrenceEndType");
  if (FRecurrenceEndType == 1 && FOccurrenceCount < 1) InvalidRecurrence(u"OccurrenceCount");
  if (FFirstDOW < 0 || FFirstDOW > 6) InvalidRecurrence(u"FirstDOW");
}

TVoPatternSeries TVoRecurrencePattern::Series(uint32_t EndType) const {
  const TVoRecurrenceRule rule{FRecurrenceType, FInterval, FWeekDays, FWeekDay, FXth, FDayOfMonth, FMonth, FFirstDOW};
  TVoOccurrenceSeries series(rule, DayNumber(FStartDate));
  if (series.First() == kNoOccurrence) NoOccurrences();
  const int64_t last = EndType == 1   ? series.At(FOccurrenceCount - 1)
                       : EndType == 2 ? DayNumber(FEndDate)
                                      : kNoEndLastDay;
  if (last == kNoOccurrence) InvalidRecurrence(u"OccurrenceCount");
  if (series.First() > last) NoOccurrences();
  return TVoPatternSeries{series, last, EndType != 0};
}

void TVoRecurrencePattern::CheckRecurrence() {
  CheckGregorian(u"CheckRecurrence");
  Validate();
  if (IsRegenerating(FRecurrenceType)) {
    if (FRecurrenceEndType == 0) FOccurrenceCount = 10;
    FEndDate = FStartDate;
    return;
  }
  if (FRecurrenceEndType == 0) FOccurrenceCount = 10;
  // A series without end is measured over its ten occurrences.
  const TVoPatternSeries series = Series(FRecurrenceEndType == 2 ? 2 : 1);
  FStartDate = double(series.Series.First());
  if (FRecurrenceEndType == 2)
    FOccurrenceCount = int32_t(series.Series.IndexAfter(series.Last));
  else
    FEndDate = double(series.Last);
}

TVoMAPIApptOccurrence TVoRecurrencePattern::MakeOccurrence(int64_t Day, bool IsLast) const {
  TVoMAPIApptOccurrence occ;
  TDateTime startDay = double(Day), startTime = TimeOf(FStartTime);
  TDateTime end = VoAddMins(VoJoinDateTime(startDay, startTime), FDuration);
  TDateTime endDay = DateOf(end), endTime = TimeOf(end);
  occ.IsLast = IsLast;
  if (const TVoRecurrenceException* exception = FExceptions->FindByOriginalDay(startDay)) {
    const TVoRecurrenceExceptionData& data = exception->Data();
    occ.IsException = true;
    occ.IsDeleted = data.Deleted;
    startTime = data.StartTime;
    endTime = data.EndTime;
    endDay = data.EndDate;
    occ.StartDate = VoDateToISO8601(data.StartDate);
  } else {
    occ.StartDate = VoDateToISO8601(startDay);
  }
  occ.OriginalStartDate = VoDateToISO8601(startDay);
  occ.StartTime = VoTimeToISO8601(startTime);
  occ.EndDate = VoDateToISO8601(endDay);
  occ.EndTime = VoTimeToISO8601(endTime);
  return occ;
}

TVoMAPIApptOccurrence TVoRecurrencePattern::GetFirstOccurrence() {
  CheckGregorian(u"GetFirstOccurrence");
  Validate();
  if (IsRegenerating(FRecurrenceType)) {
    // A regenerating task has one occurrence known in advance: its start.
    const bool isLast = FRecurrenceEndType == 1 && FOccurrenceCount == 1;
    return MakeOccurrence(DayNumber(FStartDate), isLast);
  }
  const TVoPatternSeries series = Series(FRecurrenceEndType);
  FStartDate = double(series.Series.First());
  return MakeOccurrence(series.Series.First(), series.IsLast(series.Series.First()));
}

TVoMAPIApptOccurrence TVoRecurrencePattern::GetNextOccurrence(const TVoVariant& After) {
  CheckGregorian(u"GetNextOccurrence");
  const int64_t after = DayNumber(DayOfAfter(After));
  if (after < DayNumber(FStartDate)) return GetFirstOccurrence();
  Validate();
  if (IsRegenerating(FRecurrenceType))
    throw EMAPI_NOT_SUPPORTED(u"This method does not support regenerating tasks!",
                              int32_t(simplemapi::MAPI_E_NOT_SUPPORTED));
  const TVoPatternSeries series = Series(FRecurrenceEndType);
  if (after > series.Last) PastTheEnd();
  const int64_t day = series.Series.After(after);
  if (day > series.Last) PastTheEnd();
  return MakeOccurrence(day, series.IsLast(day));
}

TVoRecurrenceSeriesTimes TVoRecurrencePattern::GetSeriesTimes() {
  CheckGregorian(u"GetSeriesTimes");
  Validate();
  if (!IsRegenerating(FRecurrenceType)) {
    const TVoPatternSeries series = Series(FRecurrenceEndType);
    FStartDate = double(series.Series.First());
    if (FRecurrenceEndType == 1) FEndDate = double(series.Last);
  }
  const TDateTime localStart = VoJoinDateTime(FStartDate, FStartTime);
  TVoRecurrenceSeriesTimes times;
  times.StartWhole = FTimeZone.LocalToUTC(localStart);
  times.EndWhole = FTimeZone.LocalToUTC(VoAddMins(localStart, FDuration));
  times.ClipStart = FTimeZone.LocalToUTC(FStartDate);
  times.ClipEnd = FRecurrenceEndType == 0 ? EncodeDateTime(4500, 8, 31, 23, 59, 0, 0) : FTimeZone.LocalToUTC(FEndDate);
  return times;
}

}  // namespace orba
