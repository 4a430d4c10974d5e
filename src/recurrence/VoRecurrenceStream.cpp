#include "recurrence/VoRecurrenceStream.h"

#include <cmath>
#include <limits>

#include "orba/VoMAPIExceptions.h"
#include "orba/common/dates.h"
#include "orba/common/iso8601.h"

namespace orba {
namespace {

constexpr int64_t kMSecsPerMinute = 60000;

int64_t FileTimeBaseMSecs() { return DateTimeToMSecs(FileTimeBase); }

[[noreturn]] void UnexpectedEOF() { throw EVoException(u"Unexpected EOF"); }

constexpr uint64_t kMaxText = 0xFFFE;  // "Len with NULL" must fit a u16

void CheckTextLength(size_t length) {
  if (length > kMaxText)
    throw EVoMAPIException(u"Failed to encode the recurrence data.\r\nThe text of an exception is too long.");
}

}  // namespace

TDateTime VoMinutesToDateTime(int64_t minutes) {
  return MSecsToDateTime(FileTimeBaseMSecs() + minutes * kMSecsPerMinute);
}

int64_t VoDateTimeToMinutes(TDateTime value) {
  const int64_t msecs = DateTimeToMSecs(value) - FileTimeBaseMSecs();
  return (msecs >= 0 ? msecs + kMSecsPerMinute / 2 : msecs - kMSecsPerMinute / 2) / kMSecsPerMinute;
}

TDateTime VoJoinDateTime(TDateTime day, TDateTime time) {
  return MSecsToDateTime(DateTimeToMSecs(DateOf(day)) + DateTimeToMSecs(TimeOf(time)));
}

void TVoRecurrenceReader::Require(uint64_t count) {
  if (count > Remaining()) UnexpectedEOF();
}

uint8_t TVoRecurrenceReader::ReadByte() {
  Require(1);
  return stream_.ReadByte();
}

uint16_t TVoRecurrenceReader::ReadWord() {
  Require(2);
  return stream_.ReadWord();
}

uint32_t TVoRecurrenceReader::ReadLongWord() {
  Require(4);
  return stream_.ReadLongWord();
}

uint32_t TVoRecurrenceReader::PeekLongWord() {
  const uint32_t value = ReadLongWord();
  stream_.Seek(-4, soCurrent);
  return value;
}

SYSTEMTIME TVoRecurrenceReader::ReadSystemTime() {
  Require(16);
  SYSTEMTIME st;
  st.wYear = stream_.ReadWord();
  st.wMonth = stream_.ReadWord();
  st.wDayOfWeek = stream_.ReadWord();
  st.wDay = stream_.ReadWord();
  st.wHour = stream_.ReadWord();
  st.wMinute = stream_.ReadWord();
  st.wSecond = stream_.ReadWord();
  st.wMilliseconds = stream_.ReadWord();
  return st;
}

AnsiString TVoRecurrenceReader::ReadAnsiChars(uint64_t count) {
  Require(count);
  return stream_.ReadAnsiChars(size_t(count));
}

WideString TVoRecurrenceReader::ReadWideChars(uint64_t count) {
  Require(count * 2);
  return stream_.ReadWideChars(size_t(count));
}

void TVoRecurrenceReader::Skip(uint64_t count) {
  Require(count);
  stream_.Seek(int64_t(count), soCurrent);
}

void TVoRecurrenceWriter::WriteSystemTime(const SYSTEMTIME& value) {
  for (WORD part : {value.wYear, value.wMonth, value.wDayOfWeek, value.wDay, value.wHour, value.wMinute, value.wSecond,
                    value.wMilliseconds})
    stream_.WriteWord(part);
}

void TVoRecurrenceWriter::WriteDate(TDateTime value, bool wholeDay) {
  constexpr TDateTime kBeforeFirstDay = -693594, kPastLastDay = 2958466;  // years 1 to 9999
  const bool inCalendar = std::isfinite(value) && value > kBeforeFirstDay && value < kPastLastDay;
  const int64_t minutes =
      inCalendar && DateOf(value) >= FileTimeBase ? VoDateTimeToMinutes(wholeDay ? DateOf(value) : value) : -1;
  if (minutes < 0 || minutes > std::numeric_limits<uint32_t>::max())
    throw EVoMAPIException(Format(u"Failed to encode the recurrence data.\r\nThe date %s cannot be stored.",
                                  {inCalendar ? VoDateTimeToISO8601(value) : Format(u"%g", {value})}));
  stream_.WriteLongWord(uint32_t(minutes));
}

void TVoRecurrenceWriter::WriteAnsiString(const AnsiString& text) {
  CheckTextLength(text.size());
  stream_.WriteWord(uint16_t(text.size() + 1));
  stream_.WriteWord(uint16_t(text.size()));
  stream_.WriteAnsiChars(text);
}

void TVoRecurrenceWriter::WriteWideString(const WideString& text) {
  CheckTextLength(text.size());
  stream_.WriteWord(uint16_t(text.size()));
  stream_.WriteWideChars(text);
}

}  // namespace orba
