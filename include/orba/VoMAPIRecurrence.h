// The recurrence of appointments and tasks (unit uVoMAPIRecurrence): the editable
// pattern (kind, interval, days, start and end, time of day and duration), its
// exceptions (moved, changed or deleted occurrences), the walk over the occurrences,
// the English description, and the binary recurrence blob of NPR_APPT_RECURRENCEDATA /
// NPR_TASK_RECURRENCEDATA ([MS-OXOCAL] AppointmentRecurrencePattern; a task's blob is
// the RecurrencePattern alone).
//
// Dates are date-time values in the item's local time: whole days for StartDate and
// EndDate, the time of day as a fraction for StartTime and EndTime. Day values: 1 any
// day, 2 weekday, 4 weekend day, 8 Sunday, 16 Monday, 32 Tuesday, 64 Wednesday,
// 128 Thursday, 256 Friday, 512 Saturday (WeekDays is a set of the last seven).
//
// RecurrenceType: 0 daily every Interval days, 1 every weekday, 2 daily regenerating
// (task), 3 weekly on WeekDays every Interval weeks (weeks begin on FirstDOW,
// 0 = Sunday), 4 weekly regenerating, 5 monthly on DayOfMonth every Interval months,
// 6 monthly on the Xth (1..4, 5 = last) WeekDay, 7 monthly regenerating, 8 yearly on
// DayOfMonth of Month every Interval years, 9 yearly on the Xth WeekDay of Month,
// 10 yearly regenerating. A day of month past the month's end falls on its last day.
// RecurrenceEndType: 0 no end date, 1 after OccurrenceCount occurrences, 2 by EndDate.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "orba/VoMAPIExceptions.h"
#include "orba/VoMAPIObject.h"
#include "orba/VoMAPITimeZone.h"
#include "orba/common/comobject.h"
#include "orba/common/comptr.h"
#include "orba/common/streams.h"
#include "orba/common/types.h"
#include "orba/common/variant.h"

namespace orba {

inline constexpr IID IID_IVoRecurrencePattern = {
    0x4268AAB1, 0x4AEF, 0x4D12, {0xAB, 0xF4, 0x8E, 0x45, 0x79, 0x0C, 0x1C, 0x90}};
inline constexpr IID IID_IVoRecurrenceExceptions = {
    0x73AA5175, 0x5D4A, 0x4C1A, {0xBA, 0x6C, 0xED, 0xB2, 0x47, 0xB4, 0xAC, 0x24}};
inline constexpr IID IID_IVoRecurrenceException = {
    0xDFCF3BE8, 0x74FC, 0x4E66, {0xA6, 0x66, 0x6A, 0xDC, 0x90, 0x66, 0x91, 0xB1}};

// The Modifications flags of an exception (OverrideFlags of the blob).
enum : uint32_t {
  ARO_SUBJECT = 0x0001,
  ARO_MEETINGTYPE = 0x0002,
  ARO_REMINDERDELTA = 0x0004,
  ARO_REMINDER = 0x0008,
  ARO_LOCATION = 0x0010,
  ARO_BUSYSTATUS = 0x0020,
  ARO_ATTACHMENT = 0x0040,
  ARO_SUBTYPE = 0x0080,
  ARO_APPTCOLOR = 0x0100,
  ARO_EXCEPTIONAL_BODY = 0x0200,
};

// One occurrence as the occurrence walk returns it: dates as ISO-8601 date text
// ("2023-01-06"), times as time text ("12:00:00").
struct TVoMAPIApptOccurrence {
  WideString OriginalStartDate;
  WideString StartDate;
  WideString StartTime;
  WideString EndDate;
  WideString EndTime;
  bool16 IsException;
  bool16 IsDeleted;
  bool16 IsLast;
};

// One moved, changed or deleted occurrence.
struct IVoRecurrenceException : IUnknown {
  // The start of the occurrence it replaces; for a deleted one its day plus the
  // pattern's StartTime. Set_ always raises EMAPI_NO_ACCESS "The OriginalStartDate
  // cannot be modified!".
  virtual TDateTime Get_OriginalStartDate() = 0;
  virtual void Set_OriginalStartDate(TDateTime Value) = 0;
  // Set_StartDate / Set_EndDate keep the day and take the time of day as StartTime /
  // EndTime.
  virtual TDateTime Get_StartDate() = 0;
  virtual void Set_StartDate(TDateTime Value) = 0;
  virtual TDateTime Get_StartTime() = 0;
  virtual void Set_StartTime(TDateTime Value) = 0;
  virtual TDateTime Get_EndDate() = 0;
  virtual void Set_EndDate(TDateTime Value) = 0;
  virtual TDateTime Get_EndTime() = 0;
  virtual void Set_EndTime(TDateTime Value) = 0;
  virtual uint32_t Get_Modifications() = 0;
  virtual void Set_Modifications(uint32_t Value) = 0;
  virtual bool16 Get_Deleted() = 0;
  virtual void Set_Deleted(bool16 Value) = 0;
  // The overridden values; their setters also set the flag of the value.
  virtual WideString Get_Description() = 0;
  virtual void Set_Description(const WideString& Value) = 0;
  virtual WideString Get_Location() = 0;
  virtual void Set_Location(const WideString& Value) = 0;
  virtual int32_t Get_RemindBefore() = 0;
  virtual void Set_RemindBefore(int32_t Value) = 0;
  virtual bool16 Get_ReminderSet() = 0;
  virtual void Set_ReminderSet(bool16 Value) = 0;
  virtual int32_t Get_BusyStatus() = 0;
  virtual void Set_BusyStatus(int32_t Value) = 0;
  // Set_AllDay(true) also sets StartTime and EndTime to 0; an all-day exception ends
  // on its EndDate (the blob stores the midnight after it).
  virtual bool16 Get_AllDay() = 0;
  virtual void Set_AllDay(bool16 Value) = 0;
  virtual int32_t Get_ColorLabel() = 0;
  virtual void Set_ColorLabel(int32_t Value) = 0;
  // Stored as read, written back unchanged: the meeting type (ARO_MEETINGTYPE), the
  // attachment flag (ARO_ATTACHMENT) and the change highlight.
  virtual int32_t Get_MeetingType() = 0;
  virtual bool16 Get_HasAttachment() = 0;
  virtual int32_t Get_ChangeHighlight() = 0;
  virtual void Set_ChangeHighlight(int32_t Value) = 0;
  // Each reads its flag; setting true sets it, false clears it.
  virtual bool16 Get_DescriptionChanged() = 0;
  virtual void Set_DescriptionChanged(bool16 Value) = 0;
  virtual bool16 Get_HasAttendeesChanged() = 0;
  virtual bool16 Get_RemindBeforeChanged() = 0;
  virtual void Set_RemindBeforeChanged(bool16 Value) = 0;
  virtual bool16 Get_ReminderSetChanged() = 0;
  virtual void Set_ReminderSetChanged(bool16 Value) = 0;
  virtual bool16 Get_LocationChanged() = 0;
  virtual void Set_LocationChanged(bool16 Value) = 0;
  virtual bool16 Get_BusyStatusChanged() = 0;
  virtual void Set_BusyStatusChanged(bool16 Value) = 0;
  virtual bool16 Get_AllDayChanged() = 0;
  virtual void Set_AllDayChanged(bool16 Value) = 0;
  virtual bool16 Get_ColorLabelChanged() = 0;
  virtual void Set_ColorLabelChanged(bool16 Value) = 0;

 protected:
  ~IVoRecurrenceException() = default;
};

struct IVoRecurrenceExceptions : IUnknown {
  virtual int32_t Get_Count() = 0;
  // Index 0..Count-1; others raise E_INVALIDARG "List index out of bounds (%d)".
  virtual ComPtr<IVoRecurrenceException> Get_Item(int32_t Index) = 0;
  // A new exception for the occurrence at Date (its day and the pattern's times).
  virtual ComPtr<IVoRecurrenceException> Add(TDateTime Date) = 0;
  // Removes that exception; one not in the list raises E_INVALIDARG.
  virtual void Delete(IVoRecurrenceException* Exception) = 0;

 protected:
  ~IVoRecurrenceExceptions() = default;
};

struct IVoRecurrencePattern : IUnknown {
  virtual TDateTime Get_StartDate() = 0;
  virtual void Set_StartDate(TDateTime Value) = 0;  // keeps the day
  virtual TDateTime Get_EndDate() = 0;
  virtual void Set_EndDate(TDateTime Value) = 0;  // keeps the day
  virtual TDateTime Get_StartTime() = 0;
  // Keeps the time of day; EndTime follows as StartTime + Duration.
  virtual void Set_StartTime(TDateTime Value) = 0;
  virtual TDateTime Get_EndTime() = 0;
  // Always raises "Do not set the endtime, set the duration instead!".
  virtual void Set_EndTime(TDateTime Value) = 0;
  virtual int32_t Get_Duration() = 0;
  virtual void Set_Duration(int32_t Value) = 0;  // minutes; EndTime follows
  virtual int32_t Get_Interval() = 0;
  virtual void Set_Interval(int32_t Value) = 0;
  virtual int32_t Get_Month() = 0;
  virtual void Set_Month(int32_t Value) = 0;
  virtual int32_t Get_OccurrenceCount() = 0;
  virtual void Set_OccurrenceCount(int32_t Value) = 0;
  virtual uint32_t Get_RecurrenceEndType() = 0;
  virtual void Set_RecurrenceEndType(uint32_t Value) = 0;
  virtual uint32_t Get_RecurrenceType() = 0;
  // Type 1 sets Interval to 7; the others set an Interval of 0 to 1.
  virtual void Set_RecurrenceType(uint32_t Value) = 0;
  virtual uint32_t Get_WeekDays() = 0;
  virtual void Set_WeekDays(uint32_t Value) = 0;
  virtual uint32_t Get_WeekDay() = 0;
  virtual void Set_WeekDay(uint32_t Value) = 0;
  virtual uint32_t Get_Xth() = 0;
  virtual void Set_Xth(uint32_t Value) = 0;
  virtual int32_t Get_DayOfMonth() = 0;
  virtual void Set_DayOfMonth(int32_t Value) = 0;
  virtual int32_t Get_FirstDOW() = 0;
  virtual void Set_FirstDOW(int32_t Value) = 0;
  virtual int32_t Get_RegenerateInterval() = 0;
  virtual void Set_RegenerateInterval(int32_t Value) = 0;
  virtual ComPtr<IVoRecurrenceExceptions> Get_Exceptions() = 0;
  // The English description ("Occurs every 2 weeks on monday and wednesDay effective
  // ... from 09:30 to 10:00").
  virtual WideString Get_RecurrencePattern() = 0;
  // The recurrence blob. Get_Data sorts the exceptions by OriginalStartDate, sets
  // OccurrenceCount to 10 and EndDate to 4500-12-31 for a series without end and
  // EndDate from the count for one that ends after a count, and keeps only the time of
  // day of an appointment's StartTime. Set_Data resets the pattern and decodes the blob
  // into it.
  virtual TVoBytes Get_Data() = 0;
  virtual void Set_Data(const TVoBytes& Value) = 0;

  // Empties the exceptions; OccurrenceCount 10, StartDate and EndDate today, all other
  // fields 0.
  virtual void Reset() = 0;
  // Refuses an inconsistent pattern ("Invalid recurrence (Interval)", ...), then moves
  // StartDate to the first occurrence and sets the count or EndDate from the other.
  virtual void CheckRecurrence() = 0;
  // The first occurrence (StartDate moves to it), or the first whose day lies after
  // After (ISO-8601 text or a date); a day before StartDate gives the first. Past the
  // last occurrence raises EMAPI_INVALID_PARAMETER.
  virtual TVoMAPIApptOccurrence GetFirstOccurrence() = 0;
  virtual TVoMAPIApptOccurrence GetNextOccurrence(const TVoVariant& After) = 0;

 protected:
  ~IVoRecurrencePattern() = default;
};

}  // namespace orba

ORBA_DECLARE_INTERFACE(orba::IVoRecurrenceException, IUnknown, orba::IID_IVoRecurrenceException);
ORBA_DECLARE_INTERFACE(orba::IVoRecurrenceExceptions, IUnknown, orba::IID_IVoRecurrenceExceptions);
ORBA_DECLARE_INTERFACE(orba::IVoRecurrencePattern, IUnknown, orba::IID_IVoRecurrencePattern);

namespace orba {

class TVoRecurrencePattern;
struct TVoPatternSeries;

// The values of one exception, as the blob carries them.
struct TVoRecurrenceExceptionData {
  TDateTime OriginalStartDate = 0;
  TDateTime StartDate = 0;  // whole day
  TDateTime StartTime = 0;  // fraction of a day
  TDateTime EndDate = 0;
  TDateTime EndTime = 0;
  uint32_t Modifications = 0;
  WideString Description;
  WideString Location;
  int32_t MeetingType = 0;
  int32_t ChangeHighlight = 0;
  int32_t RemindBefore = 0;
  bool ReminderSet = false;
  int32_t BusyStatus = 0;
  bool Attachment = false;
  bool AllDay = false;
  int32_t ColorLabel = 0;
  bool Deleted = false;

  friend bool operator==(const TVoRecurrenceExceptionData&, const TVoRecurrenceExceptionData&) = default;
};

class TVoRecurrenceException : public TVoComObject<TVoAutoIntfObject, IVoRecurrenceException> {
 public:
  // Created by its list (the creator link, which clears when the list goes).
  explicit TVoRecurrenceException(TVoAutoIntfObject* List) : TVoComObject(List) {}

  const TVoRecurrenceExceptionData& Data() const { return data_; }

  TDateTime Get_OriginalStartDate() override;
  void Set_OriginalStartDate(TDateTime Value) override;
  TDateTime Get_StartDate() override { return data_.StartDate; }
  void Set_StartDate(TDateTime Value) override;
  TDateTime Get_StartTime() override { return data_.StartTime; }
  void Set_StartTime(TDateTime Value) override;
  TDateTime Get_EndDate() override { return data_.EndDate; }
  void Set_EndDate(TDateTime Value) override;
  TDateTime Get_EndTime() override { return data_.EndTime; }
  void Set_EndTime(TDateTime Value) override;
  uint32_t Get_Modifications() override { return data_.Modifications; }
  void Set_Modifications(uint32_t Value) override { data_.Modifications = Value; }
  bool16 Get_Deleted() override { return data_.Deleted; }
  void Set_Deleted(bool16 Value) override { data_.Deleted = Value; }
  WideString Get_Description() override { return data_.Description; }
  void Set_Description(const WideString& Value) override;
  WideString Get_Location() override { return data_.Location; }
  void Set_Location(const WideString& Value) override;
  int32_t Get_RemindBefore() override { return data_.RemindBefore; }
  void Set_RemindBefore(int32_t Value) override;
  bool16 Get_ReminderSet() override { return data_.ReminderSet; }
  void Set_ReminderSet(bool16 Value) override;
  int32_t Get_BusyStatus() override { return data_.BusyStatus; }
  void Set_BusyStatus(int32_t Value) override;
  bool16 Get_AllDay() override { return data_.AllDay; }
  void Set_AllDay(bool16 Value) override;
  int32_t Get_ColorLabel() override { return data_.ColorLabel; }
  void Set_ColorLabel(int32_t Value) override;
  int32_t Get_MeetingType() override { return data_.MeetingType; }
  bool16 Get_HasAttachment() override { return data_.Attachment; }
  int32_t Get_ChangeHighlight() override { return data_.ChangeHighlight; }
  void Set_ChangeHighlight(int32_t Value) override { data_.ChangeHighlight = Value; }
  bool16 Get_DescriptionChanged() override { return HasFlag(ARO_SUBJECT); }
  void Set_DescriptionChanged(bool16 Value) override { SetFlag(ARO_SUBJECT, Value); }
  bool16 Get_HasAttendeesChanged() override { return HasFlag(ARO_MEETINGTYPE); }
  bool16 Get_RemindBeforeChanged() override { return HasFlag(ARO_REMINDERDELTA); }
  void Set_RemindBeforeChanged(bool16 Value) override { SetFlag(ARO_REMINDERDELTA, Value); }
  bool16 Get_ReminderSetChanged() override { return HasFlag(ARO_REMINDER); }
  void Set_ReminderSetChanged(bool16 Value) override { SetFlag(ARO_REMINDER, Value); }
  bool16 Get_LocationChanged() override { return HasFlag(ARO_LOCATION); }
  void Set_LocationChanged(bool16 Value) override { SetFlag(ARO_LOCATION, Value); }
  bool16 Get_BusyStatusChanged() override { return HasFlag(ARO_BUSYSTATUS); }
  void Set_BusyStatusChanged(bool16 Value) override { SetFlag(ARO_BUSYSTATUS, Value); }
  bool16 Get_AllDayChanged() override { return HasFlag(ARO_SUBTYPE); }
  void Set_AllDayChanged(bool16 Value) override { SetFlag(ARO_SUBTYPE, Value); }
  bool16 Get_ColorLabelChanged() override { return HasFlag(ARO_APPTCOLOR); }
  void Set_ColorLabelChanged(bool16 Value) override { SetFlag(ARO_APPTCOLOR, Value); }

 private:
  friend class TVoRecurrenceCodec;
  friend class TVoRecurrenceExceptions;
  // Writable for the list and the codec: OriginalStartDate must keep its day once the
  // exception is listed.
  TVoRecurrenceExceptionData& MutableData() { return data_; }
  bool HasFlag(uint32_t flag) const { return (data_.Modifications & flag) != 0; }
  void SetFlag(uint32_t flag, bool on) {
    data_.Modifications = on ? data_.Modifications | flag : data_.Modifications & ~flag;
  }

  TVoRecurrenceExceptionData data_;
};

class TVoRecurrenceExceptions : public TVoComObject<TVoAutoIntfObject, IVoRecurrenceExceptions> {
 public:
  // Created by its pattern (the creator link, which clears when the pattern goes).
  explicit TVoRecurrenceExceptions(TVoAutoIntfObject* Pattern) : TVoComObject(Pattern) {}

  int32_t Get_Count() override { return int32_t(items_.size()); }
  ComPtr<IVoRecurrenceException> Get_Item(int32_t Index) override;
  ComPtr<IVoRecurrenceException> Add(TDateTime Date) override;
  void Delete(IVoRecurrenceException* Exception) override;

  TVoRecurrenceException& At(int32_t Index) const { return *items_.at(size_t(Index)); }
  // Appends an exception for the occurrence at Date: its day with the pattern's start
  // time and duration.
  TVoRecurrenceException& AddException(TDateTime Date);
  // The first exception whose OriginalStartDate lies on the day, or null.
  TVoRecurrenceException* FindByOriginalDay(TDateTime Day) const;
  // Sorts by OriginalStartDate (stable).
  void SortOnStartDate();
  void Clear();

 private:
  TVoRecurrencePattern* Pattern() const;
  void Changed() { byDay_.clear(), indexed_ = false; }

  std::vector<ComPtr<TVoRecurrenceException>> items_;
  mutable std::unordered_map<int64_t, TVoRecurrenceException*> byDay_;  // first exception per original day
  mutable bool indexed_ = false;
};

// The UTC moments of a series as an appointment stores them (NPR_APPT_STARTDATE and
// NPR_APPT_ENDDATE, NPR_CLIPSTART and NPR_CLIPEND).
struct TVoRecurrenceSeriesTimes {
  TDateTime StartWhole = 0;  // the first occurrence's start
  TDateTime EndWhole = 0;    // its end: the local start plus Duration, converted
  TDateTime ClipStart = 0;   // the start of the first day
  TDateTime ClipEnd = 0;     // the start of the last day; 4500-08-31 23:59 without end
};

class TVoRecurrencePattern : public TVoComObject<TVoMAPIObject, IVoRecurrencePattern> {
 public:
  // A free pattern (no message): an appointment's, or a task's when IsTask is set.
  explicit TVoRecurrencePattern(bool IsTask = false);
  ~TVoRecurrencePattern() override;

  TDateTime Get_StartDate() override { return FStartDate; }
  void Set_StartDate(TDateTime Value) override;
  TDateTime Get_EndDate() override { return FEndDate; }
  void Set_EndDate(TDateTime Value) override;
  TDateTime Get_StartTime() override { return FStartTime; }
  void Set_StartTime(TDateTime Value) override;
  TDateTime Get_EndTime() override { return FEndTime; }
  void Set_EndTime(TDateTime Value) override;
  int32_t Get_Duration() override { return FDuration; }
  void Set_Duration(int32_t Value) override;
  int32_t Get_Interval() override { return FInterval; }
  void Set_Interval(int32_t Value) override { FInterval = Value; }
  int32_t Get_Month() override { return FMonth; }
  void Set_Month(int32_t Value) override { FMonth = Value; }
  int32_t Get_OccurrenceCount() override { return FOccurrenceCount; }
  void Set_OccurrenceCount(int32_t Value) override { FOccurrenceCount = Value; }
  uint32_t Get_RecurrenceEndType() override { return FRecurrenceEndType; }
  void Set_RecurrenceEndType(uint32_t Value) override { FRecurrenceEndType = Value; }
  uint32_t Get_RecurrenceType() override { return FRecurrenceType; }
  void Set_RecurrenceType(uint32_t Value) override;
  uint32_t Get_WeekDays() override { return FWeekDays; }
  void Set_WeekDays(uint32_t Value) override { FWeekDays = Value; }
  uint32_t Get_WeekDay() override { return FWeekDay; }
  void Set_WeekDay(uint32_t Value) override { FWeekDay = Value; }
  uint32_t Get_Xth() override { return FXth; }
  void Set_Xth(uint32_t Value) override { FXth = Value; }
  int32_t Get_DayOfMonth() override { return FDayOfMonth; }
  void Set_DayOfMonth(int32_t Value) override { FDayOfMonth = Value; }
  int32_t Get_FirstDOW() override { return FFirstDOW; }
  void Set_FirstDOW(int32_t Value) override { FFirstDOW = Value; }
  int32_t Get_RegenerateInterval() override { return FRegenerateInterval; }
  void Set_RegenerateInterval(int32_t Value) override { FRegenerateInterval = Value; }
  ComPtr<IVoRecurrenceExceptions> Get_Exceptions() override;
  WideString Get_RecurrencePattern() override;
  TVoBytes Get_Data() override;
  void Set_Data(const TVoBytes& Value) override;
  void Reset() override;
  void CheckRecurrence() override;
  TVoMAPIApptOccurrence GetFirstOccurrence() override;
  TVoMAPIApptOccurrence GetNextOccurrence(const TVoVariant& After) override;

  WideString ClassName() const override { return u"TVoRecurrencePattern"; }

  bool IsTask() const { return FIsTask; }
  TVoRecurrenceExceptions& Exceptions() const { return *FExceptions; }
  // The blob's raw frequency (0x200A..0x200D), pattern type and calendar type. A
  // series in another calendar than the Gregorian (CalendarType not 0) keeps its type
  // and FirstDateTime through Set_Data / Get_Data; its occurrences and description
  // are refused with EMAPI_NO_SUPPORT.
  uint32_t RecurrenceFrequency() const { return FRecurrenceFreq; }
  uint32_t RecurrencePatternType() const { return FRecurrencePattern; }
  uint32_t CalendarType() const { return FRecurrenceCalendar; }
  uint32_t FirstDateTime() const { return FFirstDateTime; }

  // The zone the local dates are converted with (the machine's unless set).
  const TVoRecurrenceTimeZone& TimeZone() const { return FTimeZone; }
  void SetTimeZone(TVoRecurrenceTimeZone Zone) { FTimeZone = std::move(Zone); }
  // Moves StartDate to the first occurrence (and, ending after a count, EndDate to the
  // last), then gives the series' UTC moments in TimeZone.
  TVoRecurrenceSeriesTimes GetSeriesTimes();

 private:
  friend class TVoRecurrenceCodec;

  // Refuses what CheckRecurrence refuses (before it changes anything).
  void Validate() const;
  // Refuses a series in another calendar than the Gregorian for the named use.
  void CheckGregorian(std::u16string_view What) const;
  // The occurrences of a checked, non-regenerating pattern, ending as EndType says.
  TVoPatternSeries Series(uint32_t EndType) const;
  TVoMAPIApptOccurrence MakeOccurrence(int64_t Day, bool IsLast) const;

  ComPtr<TVoRecurrenceExceptions> FExceptions;
  TDateTime FStartTime = 0;
  TDateTime FEndTime = 0;
  int32_t FDuration = 0;
  uint32_t FRecurrenceFreq = 0;
  uint32_t FRecurrencePattern = 0;
  uint32_t FRecurrenceCalendar = 0;
  uint32_t FFirstDateTime = 0;
  uint32_t FRecurrenceType = 0;
  uint32_t FRecurrenceEndType = 0;
  int32_t FOccurrenceCount = 10;
  TDateTime FStartDate = 0;
  int32_t FFirstDOW = 0;
  TDateTime FEndDate = 0;
  int32_t FInterval = 0;
  uint32_t FWeekDays = 0;
  uint32_t FWeekDay = 0;
  int32_t FMonth = 0;
  uint32_t FXth = 0;
  int32_t FDayOfMonth = 0;
  int32_t FRegenerateInterval = 0;
  bool FIsTask = false;
  TVoRecurrenceTimeZone FTimeZone;
};

}  // namespace orba
