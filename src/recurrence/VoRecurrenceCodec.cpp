// The recurrence blob: the RecurrencePattern of tasks and the AppointmentRecurrencePattern
// of appointments, decoded into a pattern and encoded from it.
#include <deque>
#include <limits>
#include <unordered_map>

#include "orba/VoMAPIExceptions.h"
#include "orba/VoMAPILib.h"
#include "orba/VoMAPIRecurrence.h"
#include "orba/common/dates.h"
#include "orba/common/encoding.h"
#include "orba/common/timezone.h"
#include "recurrence/VoRecurrenceRule.h"
#include "recurrence/VoRecurrenceStream.h"

namespace orba {
namespace {

constexpr uint16_t kVersion = 0x3004;
constexpr uint32_t kVersion2 = 0x3006;
constexpr uint16_t kDaily = 0x200A, kWeekly = 0x200B, kMonthly = 0x200C, kYearly = 0x200D;
constexpr uint16_t kDay = 0, kWeek = 1, kMonth = 2, kMonthNth = 3, kMonthEnd = 4, kHjMonth = 0x0A, kHjMonthNth = 0x0B,
                   kHjMonthEnd = 0x0C;
constexpr uint16_t kMaxCalendarType = 23;
constexpr uint8_t kEndByDate = 0x21, kEndAfterCount = 0x22, kNoEnd = 0x23, kOldNoEnd = 0xFF;
constexpr uint32_t kNoEndDate = 0x5AE980DF;  // 4500-12-31 23:59
constexpr uint32_t kWorkWeek = 0x3E;
constexpr uint32_t kMinutesPerDay = 1440, kMinutesPerWeek = 10080;
constexpr uint32_t kWithExtendedInfo = 0x3008, kWithChangeHighlight = 0x3009;
constexpr uint32_t kModifiedFields = ARO_SUBJECT | ARO_LOCATION;  // fields with a wide copy

[[noreturn]] void DecodeError(std::u16string_view reason) {
  throw EVoMAPIException(WideString(u"Failed to decode the recurrence data.\r\n") + WideString(reason), E_INVALIDARG);
}

[[noreturn]] void EncodeError(std::u16string_view reason) {
  throw EVoMAPIException(WideString(u"Failed to encode the recurrence data.\r\n") + WideString(reason), E_INVALIDARG);
}

// Library day values <-> the blob's day masks.
uint32_t WeekDaysFromMask(uint32_t mask) { return (mask & 0x7F) << 3; }
uint32_t MaskFromWeekDays(uint32_t weekDays) { return (weekDays >> 3) & 0x7F; }

bool DayValueFromBlob(uint32_t value, uint32_t& weekDay) {
  switch (value) {
    case 0x7F: weekDay = 1; return true;
    case 0x3E: weekDay = 2; return true;
    case 0x41: weekDay = 4; return true;
  }
  if (value == 0 || value > 0x40 || (value & (value - 1)) != 0) return false;
  weekDay = value << 3;
  return true;
}

uint32_t BlobFromDayValue(uint32_t weekDay) {
  switch (weekDay) {
    case 1: return 0x7F;
    case 2: return 0x3E;
    case 4: return 0x41;
  }
  if (weekDay < 8 || weekDay > 512 || (weekDay & (weekDay - 1)) != 0) EncodeError(u"Invalid WeekDay.");
  return weekDay >> 3;
}

// The bytes of the pattern-specific fields of a pattern type.
uint32_t SpecificSize(uint16_t patternType) {
  return patternType == kDay ? 0 : patternType == kMonthNth || patternType == kHjMonthNth ? 8 : 4;
}

bool IsKnownPatternType(uint16_t type) {
  return type <= kMonthEnd || type == kHjMonth || type == kHjMonthNth || type == kHjMonthEnd;
}

int64_t FloorMod(int64_t a, int64_t b) { return ((a % b) + b) % b; }

struct TBlobKind {
  uint16_t Frequency;
  uint16_t PatternType;
  uint32_t Sliding;
  uint64_t PeriodUnit;  // Period = Interval * PeriodUnit (kind 1: Period 1)
};

// RecurrenceType 0..10 as the blob writes it.
constexpr TBlobKind kBlobKinds[] = {
    {kDaily, kDay, 0, kMinutesPerDay},
    {kDaily, kWeek, 0, 0},
    {kDaily, kDay, 1, kMinutesPerDay},
    {kWeekly, kWeek, 0, 1},
    {kWeekly, kDay, 1, kMinutesPerWeek},
    {kMonthly, kMonth, 0, 1},
    {kMonthly, kMonthNth, 0, 1},
    {kMonthly, kMonth, 1, 1},
    {kYearly, kMonth, 0, 12},
    {kYearly, kMonthNth, 0, 12},
    {kYearly, kMonth, 1, 12},
};

uint32_t Writer2Version() {
  switch (VoGetOutlookInfo().Version) {
    case OL2000: return 0x3006;
    case OL2002: return 0x3007;
    case OL2003: return 0x3008;
    default: return 0x3009;
  }
}

// Outlook 97 to 2002 end the blob after the exception records.
bool WritesExtendedInfo() {
  const TVoOutlookMajorVersion version = VoGetOutlookInfo().Version;
  return version != OL97 && version != OL98 && version != OL2000 && version != OL2002;
}

int32_t IntervalFromPeriod(uint64_t interval) {
  if (interval < 1 || interval > uint64_t(std::numeric_limits<int32_t>::max())) DecodeError(u"Invalid Period.");
  return int32_t(interval);
}

// Texts of 65535 units cannot be written again ("Len with NULL" would not fit).
uint16_t ReadTextLength(TVoRecurrenceReader& reader) {
  const uint16_t length = reader.ReadWord();
  if (length == 0xFFFF) DecodeError(u"Invalid text length.");
  return length;
}

WideString ReadAnsiText(TVoRecurrenceReader& reader) {
  reader.ReadWord();  // length with the terminator
  return TVoEncoding::ConvertW(reader.ReadAnsiChars(ReadTextLength(reader)));
}

// Minutes from 1601-01-01 to the first day of the month months later.
int64_t MonthMinutes(int64_t months) { return VoDateTimeToMinutes(VoAddMonths(FileTimeBase, int(months))); }

}  // namespace

// Reads and writes the blob straight into the pattern's fields.
class TVoRecurrenceCodec {
 public:
  static void Read(TVoRecurrencePattern& pattern, const TVoBytes& data);
  static TVoBytes Write(TVoRecurrencePattern& pattern);

 private:
  static void ReadPattern(TVoRecurrencePattern& p, TVoRecurrenceReader& reader, uint16_t patternType, uint32_t period);
  static void ReadEndType(TVoRecurrencePattern& p, TVoRecurrenceReader& reader);
  // The deleted exceptions of each day, in the blob's order, that no record has claimed yet.
  using TDeletedDays = std::unordered_map<TDateTime, std::deque<TVoRecurrenceException*>>;
  static TVoRecurrenceException& ReadExceptionInfo(TVoRecurrencePattern& p, TVoRecurrenceReader& reader,
                                                   TDeletedDays& deleted);
  static void ReadExtendedException(TVoRecurrenceExceptionData& data, TVoRecurrenceReader& reader, uint32_t writer2,
                                    bool last);
  static void CheckEncodable(TVoRecurrencePattern& p);
  static void WriteExceptionInfo(const TVoRecurrenceExceptionData& data, TVoRecurrenceWriter& writer);
  static void WriteExtendedException(const TVoRecurrenceExceptionData& data, TVoRecurrenceWriter& writer,
                                     uint32_t writer2);
  static uint32_t FirstDateTime(const TVoRecurrencePattern& p);
  static TDateTime ExceptionEnd(const TVoRecurrenceExceptionData& data);
};

void TVoRecurrenceCodec::Read(TVoRecurrencePattern& p, const TVoBytes& data) {
  p.Reset();
  TVoRecurrenceReader reader(data);
  if (reader.ReadWord() != kVersion || reader.ReadWord() != kVersion) DecodeError(u"Invalid RecurFrequency.");
  const uint16_t frequency = reader.ReadWord();
  if (frequency < kDaily || frequency > kYearly) DecodeError(u"Invalid RecurFrequency.");
  const uint16_t patternType = reader.ReadWord();
  if (!IsKnownPatternType(patternType)) DecodeError(u"Invalid PatternType.");
  const uint16_t calendarType = reader.ReadWord();
  if (calendarType > kMaxCalendarType) DecodeError(u"Invalid CalendarType.");
  p.FRecurrenceFreq = frequency;
  p.FRecurrencePattern = patternType;
  p.FRecurrenceCalendar = calendarType;
  p.FFirstDateTime = reader.ReadLongWord();
  const uint32_t period = reader.ReadLongWord();
  const TVoDateParts today = VoDecodeDate(VoNow());
  p.FXth = 1;
  p.FDayOfMonth = today.Day;
  p.FMonth = today.Month;
  ReadPattern(p, reader, patternType, period);
  ReadEndType(p, reader);
  p.FOccurrenceCount = reader.ReadLongInt();
  const uint32_t firstDOW = reader.ReadLongWord();
  if (firstDOW > 6) DecodeError(u"Invalid FirstDOW.");
  p.FFirstDOW = int32_t(firstDOW);

  const uint32_t deletedCount = reader.ReadLongWord();
  reader.Require(uint64_t(deletedCount) * 4);
  TDeletedDays deleted;
  for (uint32_t i = 0; i < deletedCount; ++i) {
    const TDateTime day = DateOf(reader.ReadDate());  // whole days
    TVoRecurrenceException& exception = p.FExceptions->AddException(day);
    exception.MutableData().Deleted = true;
    deleted[day].push_back(&exception);
  }
  const uint32_t modifiedCount = reader.ReadLongWord();
  reader.Skip(uint64_t(modifiedCount) * 4);
  p.FStartDate = DateOf(reader.ReadDate());
  p.FMonth = VoDecodeDate(p.FStartDate).Month;
  p.FEndDate = DateOf(reader.ReadDate());
  CheckEncodable(p);
  if (p.FIsTask) return;

  if (reader.ReadLongWord() != kVersion2) DecodeError(u"Invalid Data (50+OffSet).");
  const uint32_t writer2 = reader.ReadLongWord();
  const uint32_t startMinutes = reader.ReadLongWord(), endMinutes = reader.ReadLongWord();
  if (startMinutes >= kMinutesPerDay) DecodeError(u"Invalid StartTime.");
  if (endMinutes < startMinutes || endMinutes - startMinutes > uint32_t(std::numeric_limits<int32_t>::max()))
    DecodeError(u"Invalid EndTime.");
  p.FStartTime = startMinutes / double(kMinutesPerDay);
  p.FEndTime = endMinutes / double(kMinutesPerDay);
  p.FDuration = int32_t(endMinutes - startMinutes);

  std::vector<TVoRecurrenceException*> records;
  if (reader.Remaining() > 4) {
    if (reader.ReadWord() != modifiedCount) DecodeError(u"The ExceptionCounts do not match.");
    for (uint32_t i = 0; i < modifiedCount; ++i) records.push_back(&ReadExceptionInfo(p, reader, deleted));
  }
  if (writer2 >= kWithExtendedInfo && reader.Remaining() > 4) {
    if (reader.ReadLongWord() != 0) DecodeError(u"Invalid ReservedBlock1 value");
    for (size_t i = 0; i < records.size(); ++i)
      ReadExtendedException(records[i]->MutableData(), reader, writer2, i + 1 == records.size());
  }
  // Whatever follows (ReservedBlock2 and beyond) is not ours.
}

void TVoRecurrenceCodec::ReadPattern(TVoRecurrencePattern& p, TVoRecurrenceReader& reader, uint16_t patternType,
                                     uint32_t period) {
  const uint32_t frequency = p.FRecurrenceFreq;
  const uint32_t sliding = reader.ReadLongWord();
  if (p.FIsTask && sliding == 1) {
    // Regenerating: only the frequency counts; the pattern's fields are not used.
    reader.Skip(SpecificSize(patternType));
    static constexpr struct {
      uint32_t Kind, Unit;
    } kRegenerating[] = {{2, kMinutesPerDay}, {4, kMinutesPerWeek}, {7, 1}, {10, 12}};
    const auto& kind = kRegenerating[frequency - kDaily];
    p.FRecurrenceType = kind.Kind;
    p.FInterval = IntervalFromPeriod(period / kind.Unit);
    return;
  }
  const auto readDayValue = [&] {
    if (!DayValueFromBlob(reader.ReadLongWord(), p.FWeekDay)) DecodeError(u"Invalid WeekDays");
    p.FXth = reader.ReadLongWord();
  };
  if (frequency == kDaily && patternType == kDay) {
    p.FRecurrenceType = 0;
    p.FInterval = IntervalFromPeriod(period / kMinutesPerDay);
  } else if (frequency == kDaily && patternType == kWeek) {
    if (reader.ReadLongWord() != kWorkWeek) DecodeError(u"Invalid WeekDay.");
    if (period != 1) DecodeError(u"Invalid Period.");  // every weekday of every week
    p.FRecurrenceType = 1;
    p.FInterval = 7;
    p.FWeekDay = 2;
    p.FWeekDays = WeekDaysFromMask(kWorkWeek);
  } else if (frequency == kWeekly && patternType == kWeek) {
    p.FRecurrenceType = 3;
    p.FInterval = IntervalFromPeriod(period);
    p.FWeekDays = WeekDaysFromMask(reader.ReadLongWord());
  } else if ((frequency == kMonthly || frequency == kYearly) && patternType == kMonth) {
    p.FRecurrenceType = frequency == kMonthly ? 5 : 8;
    p.FInterval = IntervalFromPeriod(frequency == kMonthly ? period : period / 12);
    p.FDayOfMonth = reader.ReadLongInt();
  } else if ((frequency == kMonthly || frequency == kYearly) && patternType == kMonthNth) {
    p.FRecurrenceType = frequency == kMonthly ? 6 : 9;
    p.FInterval = IntervalFromPeriod(frequency == kMonthly ? period : period / 12);
    readDayValue();
  } else {
    DecodeError(u"An unsupported Recurrency Type was detected!.");
  }
}

void TVoRecurrenceCodec::ReadEndType(TVoRecurrencePattern& p, TVoRecurrenceReader& reader) {
  switch (reader.ReadByte()) {
    case kEndByDate: p.FRecurrenceEndType = 2; break;
    case kEndAfterCount: p.FRecurrenceEndType = 1; break;
    case kNoEnd:
    case kOldNoEnd: p.FRecurrenceEndType = 0; break;
    default: DecodeError(u"Invalid EndType.");
  }
  const uint8_t byte1 = reader.ReadByte(), byte2 = reader.ReadByte(), byte3 = reader.ReadByte();
  if (byte1 != 0x20 && byte1 != kOldNoEnd) DecodeError(u"Invalid Data (23+OffSet).");
  if (byte2 != 0 && byte2 != kOldNoEnd) DecodeError(u"Invalid Data (24+OffSet).");
  if (byte3 != 0 && byte3 != kOldNoEnd) DecodeError(u"Invalid Data (25+OffSet).");
}

// What Get_Data must recompute has to be computable: the last occurrence of a series
// that ends after a count.
void TVoRecurrenceCodec::CheckEncodable(TVoRecurrencePattern& p) {
  if (p.FRecurrenceEndType != 1 || p.FRecurrenceCalendar != 0) return;
  try {
    p.Validate();
    const bool regenerating = kBlobKinds[p.FRecurrenceType].Sliding == 1;
    if (!regenerating && VoDateTimeToMinutes(double(p.Series(1).Last)) > std::numeric_limits<uint32_t>::max())
      DecodeError(u"Invalid OccurrenceCount.");
  } catch (const EVoException& e) {
    if (e.Message().starts_with(u"Failed to decode")) throw;
    DecodeError(e.Message());
  }
}

TVoRecurrenceException& TVoRecurrenceCodec::ReadExceptionInfo(TVoRecurrencePattern& p, TVoRecurrenceReader& reader,
                                                              TDeletedDays& deleted) {
  const TDateTime start = reader.ReadDate(), end = reader.ReadDate(), original = reader.ReadDate();
  const uint16_t flags = reader.ReadWord();
  // A modified occurrence is also listed as deleted: the record claims that exception.
  TVoRecurrenceException* exception = nullptr;
  if (auto day = deleted.find(DateOf(original)); day != deleted.end() && !day->second.empty()) {
    exception = day->second.front();
    day->second.pop_front();
    exception->MutableData().Deleted = false;
  } else {
    exception = &p.FExceptions->AddException(original);
  }
  TVoRecurrenceExceptionData& data = exception->MutableData();
  data.OriginalStartDate = original;
  data.Modifications = flags;
  if (flags & ARO_SUBJECT) data.Description = ReadAnsiText(reader);
  if (flags & ARO_MEETINGTYPE) data.MeetingType = reader.ReadLongInt();
  if (flags & ARO_REMINDERDELTA) data.RemindBefore = reader.ReadLongInt();
  if (flags & ARO_REMINDER) data.ReminderSet = reader.ReadLongWord() != 0;
  if (flags & ARO_LOCATION) data.Location = ReadAnsiText(reader);
  if (flags & ARO_BUSYSTATUS) data.BusyStatus = reader.ReadLongInt();
  if (flags & ARO_ATTACHMENT) data.Attachment = reader.ReadLongWord() != 0;
  if (flags & ARO_SUBTYPE) data.AllDay = reader.ReadLongWord() != 0;
  if (flags & ARO_APPTCOLOR) data.ColorLabel = reader.ReadLongInt();
  // An all-day exception's stored end is the midnight after its last day.
  const TDateTime lastMoment = data.AllDay ? VoAddMins(end, -int64_t(kMinutesPerDay)) : end;
  data.StartDate = DateOf(start);
  data.StartTime = TimeOf(start);
  data.EndDate = DateOf(lastMoment);
  data.EndTime = TimeOf(lastMoment);
  return *exception;
}

void TVoRecurrenceCodec::ReadExtendedException(TVoRecurrenceExceptionData& data, TVoRecurrenceReader& reader,
                                               uint32_t writer2, bool last) {
  if (writer2 >= kWithChangeHighlight) {
    const uint32_t size = reader.ReadLongWord();
    reader.Require(size);
    data.ChangeHighlight = size >= 4 ? reader.ReadLongInt() : 0;
    reader.Skip(size >= 4 ? size - 4 : size);
  }
  reader.Skip(reader.ReadLongWord());  // ReservedBlockEE1
  if (data.Modifications & kModifiedFields) {
    reader.Skip(12);  // start, end and original start again
    // The wide texts are the ones to keep: the 8-bit copies lose what their code page lacks.
    if (data.Modifications & ARO_SUBJECT) data.Description = reader.ReadWideChars(ReadTextLength(reader));
    if (data.Modifications & ARO_LOCATION) data.Location = reader.ReadWideChars(ReadTextLength(reader));
    reader.Skip(reader.ReadLongWord());  // ReservedBlockEE2
  } else if (writer2 >= kWithChangeHighlight && !last && reader.Remaining() > 4 && reader.PeekLongWord() == 0) {
    reader.ReadLongWord();  // a stray empty ReservedBlockEE2 some writers leave
  }
}

uint32_t TVoRecurrenceCodec::FirstDateTime(const TVoRecurrencePattern& p) {
  if (p.FRecurrenceCalendar != 0) return p.FFirstDateTime;  // other calendars count from their own epoch
  const uint64_t interval = uint64_t(p.FInterval);
  const int64_t start = VoDateTimeToMinutes(p.FStartDate);
  const auto weekStart = [&] { return VoDateTimeToMinutes(VoBOWeek(p.FStartDate, p.FFirstDOW + 1)); };
  const auto monthsFrom1601 = [&] {
    const TVoDateParts date = VoDecodeDate(p.FStartDate);
    return int64_t(date.Year - 1601) * 12 + date.Month - 1;
  };
  switch (p.FRecurrenceType) {
    case 0: return uint32_t(FloorMod(start, int64_t(interval * kMinutesPerDay)));
    case 1: return uint32_t(FloorMod(weekStart(), int64_t(interval * kMinutesPerDay)));
    case 2: return uint32_t(uint64_t(start) % (interval * kMinutesPerWeek + (interval - 1) * kMinutesPerWeek));
    case 3: return uint32_t(FloorMod(weekStart(), int64_t(interval * kMinutesPerWeek)));
    case 4: return uint32_t((interval - 1) * kMinutesPerWeek);
    case 5:
    case 6: return uint32_t(MonthMinutes(monthsFrom1601() % int64_t(interval)));
    case 8:
    case 9: return uint32_t(MonthMinutes(monthsFrom1601() % int64_t(interval * 12)));
    default: return 0;
  }
}

TDateTime TVoRecurrenceCodec::ExceptionEnd(const TVoRecurrenceExceptionData& data) {
  const TDateTime end = VoJoinDateTime(data.EndDate, data.EndTime);
  return data.AllDay ? VoAddMins(end, kMinutesPerDay) : end;
}

TVoBytes TVoRecurrenceCodec::Write(TVoRecurrencePattern& p) {
  if (p.FRecurrenceType > 10) EncodeError(u"Invalid RecurrenceType.");
  if (p.FRecurrenceEndType > 2) EncodeError(u"Invalid RecurrenceEndType.");
  if (p.FFirstDOW < 0 || p.FFirstDOW > 6) EncodeError(u"Invalid FirstDOW.");
  if (p.FInterval < 1) EncodeError(u"Invalid Interval.");
  const TBlobKind& kind = kBlobKinds[p.FRecurrenceType];
  const uint64_t period = kind.PeriodUnit == 0 ? 1 : uint64_t(p.FInterval) * kind.PeriodUnit;
  if (period > std::numeric_limits<uint32_t>::max()) EncodeError(u"Invalid Interval.");
  const bool regenerating = kind.Sliding == 1;

  if (p.FRecurrenceEndType == 0) {
    p.FOccurrenceCount = 10;
    p.FEndDate = DateOf(VoMinutesToDateTime(kNoEndDate));  // what the blob says for it
  }
  if (p.FRecurrenceEndType == 1 && p.FRecurrenceCalendar == 0) {
    p.Validate();
    p.FEndDate = regenerating ? p.FStartDate : double(p.Series(1).Last);
  }
  if (!p.FIsTask) p.FStartTime = TimeOf(p.FStartTime);
  p.FExceptions->SortOnStartDate();

  // The raw values now are the ones written.
  p.FRecurrenceFreq = kind.Frequency;
  p.FRecurrencePattern = kind.PatternType;
  p.FFirstDateTime = FirstDateTime(p);

  TVoRecurrenceWriter writer;
  writer.WriteWord(kVersion);
  writer.WriteWord(kVersion);
  writer.WriteWord(kind.Frequency);
  writer.WriteWord(kind.PatternType);
  writer.WriteWord(uint16_t(p.FRecurrenceCalendar));
  writer.WriteLongWord(p.FFirstDateTime);
  writer.WriteLongWord(uint32_t(period));
  writer.WriteLongWord(kind.Sliding);
  switch (p.FRecurrenceType) {
    case 1: writer.WriteLongWord(kWorkWeek); break;
    case 3: writer.WriteLongWord(MaskFromWeekDays(p.FWeekDays)); break;
    case 5:
    case 8: writer.WriteLongInt(p.FDayOfMonth); break;
    case 6:
    case 9:
      writer.WriteLongWord(BlobFromDayValue(p.FWeekDay));
      writer.WriteLongWord(p.FXth);
      break;
    case 7:
    case 10: writer.WriteLongWord(1); break;
  }
  static constexpr uint8_t kEndTypes[] = {kNoEnd, kEndAfterCount, kEndByDate};
  writer.WriteByte(kEndTypes[p.FRecurrenceEndType]);
  writer.WriteByte(0x20);
  writer.WriteByte(0);
  writer.WriteByte(0);
  writer.WriteLongInt(p.FOccurrenceCount);
  writer.WriteLongInt(p.FFirstDOW);

  TVoRecurrenceExceptions& exceptions = *p.FExceptions;
  std::vector<const TVoRecurrenceExceptionData*> modified;
  writer.WriteLongWord(uint32_t(exceptions.Get_Count()));
  for (int32_t i = 0; i < exceptions.Get_Count(); ++i) {
    const TVoRecurrenceExceptionData& data = exceptions.At(i).Data();
    writer.WriteDate(data.OriginalStartDate, true);
    if (!data.Deleted) modified.push_back(&data);
  }
  writer.WriteLongWord(uint32_t(modified.size()));
  for (const auto* data : modified) writer.WriteDate(data->StartDate, true);
  writer.WriteDate(p.FStartDate, true);
  if (p.FRecurrenceEndType == 0)
    writer.WriteLongWord(kNoEndDate);
  else
    writer.WriteDate(p.FEndDate, true);
  if (p.FIsTask) return writer.Bytes();

  const uint32_t writer2 = Writer2Version();
  int hour, minute, second, msec;
  DecodeTime(p.FStartTime, hour, minute, second, msec);
  const int64_t startMinutes = hour * 60 + minute, endMinutes = startMinutes + p.FDuration;
  if (endMinutes < 0) EncodeError(u"Invalid Duration.");
  if (modified.size() > std::numeric_limits<uint16_t>::max()) EncodeError(u"Too many exceptions.");
  writer.WriteLongWord(kVersion2);
  writer.WriteLongWord(writer2);
  writer.WriteLongWord(uint32_t(startMinutes));
  writer.WriteLongWord(uint32_t(endMinutes));
  writer.WriteWord(uint16_t(modified.size()));
  for (const auto* data : modified) WriteExceptionInfo(*data, writer);
  if (!WritesExtendedInfo()) return writer.Bytes();
  writer.WriteLongWord(0);  // ReservedBlock1
  for (const auto* data : modified) WriteExtendedException(*data, writer, writer2);
  writer.WriteLongWord(0);  // ReservedBlock2
  return writer.Bytes();
}

void TVoRecurrenceCodec::WriteExceptionInfo(const TVoRecurrenceExceptionData& data, TVoRecurrenceWriter& writer) {
  writer.WriteDate(VoJoinDateTime(data.StartDate, data.StartTime), false);
  writer.WriteDate(ExceptionEnd(data), false);
  writer.WriteDate(data.OriginalStartDate, false);
  const uint16_t flags = uint16_t(data.Modifications);
  writer.WriteWord(flags);
  if (flags & ARO_SUBJECT) writer.WriteAnsiString(TVoEncoding::ConvertA(data.Description));
  if (flags & ARO_MEETINGTYPE) writer.WriteLongInt(data.MeetingType);
  if (flags & ARO_REMINDERDELTA) writer.WriteLongInt(data.RemindBefore);
  if (flags & ARO_REMINDER) writer.WriteLongWord(data.ReminderSet ? 0xFFFFFFFF : 0);
  if (flags & ARO_LOCATION) writer.WriteAnsiString(TVoEncoding::ConvertA(data.Location));
  if (flags & ARO_BUSYSTATUS) writer.WriteLongInt(data.BusyStatus);
  if (flags & ARO_ATTACHMENT) writer.WriteLongWord(data.Attachment ? 1 : 0);
  if (flags & ARO_SUBTYPE) writer.WriteLongWord(data.AllDay ? 1 : 0);
  if (flags & ARO_APPTCOLOR) writer.WriteLongInt(data.ColorLabel);
}

void TVoRecurrenceCodec::WriteExtendedException(const TVoRecurrenceExceptionData& data, TVoRecurrenceWriter& writer,
                                                uint32_t writer2) {
  if (writer2 >= kWithChangeHighlight) {
    writer.WriteLongWord(4);
    writer.WriteLongInt(data.ChangeHighlight);
  }
  writer.WriteLongWord(0);  // ReservedBlockEE1
  const uint16_t flags = uint16_t(data.Modifications);
  if (!(flags & kModifiedFields)) return;
  writer.WriteDate(VoJoinDateTime(data.StartDate, data.StartTime), false);
  writer.WriteDate(ExceptionEnd(data), false);
  writer.WriteDate(data.OriginalStartDate, false);
  if (flags & ARO_SUBJECT) writer.WriteWideString(data.Description);
  if (flags & ARO_LOCATION) writer.WriteWideString(data.Location);
  writer.WriteLongWord(0);  // ReservedBlockEE2
}

void TVoRecurrencePattern::Set_Data(const TVoBytes& Value) { TVoRecurrenceCodec::Read(*this, Value); }

TVoBytes TVoRecurrencePattern::Get_Data() { return TVoRecurrenceCodec::Write(*this); }

}  // namespace orba
