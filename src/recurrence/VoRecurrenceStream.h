// The byte streams of the recurrence and time-zone codecs: a reader that checks every
// length against the bytes left before it reads, allocates or skips, and a writer that
// refuses values the format cannot hold.
#pragma once

#include <cstdint>

#include "orba/common/com.h"
#include "orba/common/streams.h"
#include "orba/common/types.h"

namespace orba {

// Minutes since 1601-01-01 00:00 <-> date-time values (no zone).
TDateTime VoMinutesToDateTime(int64_t minutes);
// Rounded to the nearest minute; may lie outside what a u32 holds.
int64_t VoDateTimeToMinutes(TDateTime value);
// A whole day plus a time of day (a fraction), exact on both sides of 1899-12-30.
TDateTime VoJoinDateTime(TDateTime day, TDateTime time);

class TVoRecurrenceReader {
 public:
  explicit TVoRecurrenceReader(const TVoBytes& data) : stream_(data) {}

  uint64_t Remaining() { return uint64_t(stream_.Size() - stream_.Position()); }
  // Raises "Unexpected EOF" unless count bytes are left.
  void Require(uint64_t count);

  uint8_t ReadByte();
  uint16_t ReadWord();
  uint32_t ReadLongWord();
  int32_t ReadLongInt() { return static_cast<int32_t>(ReadLongWord()); }
  uint32_t PeekLongWord();
  // A u32 of minutes since 1601.
  TDateTime ReadDate() { return VoMinutesToDateTime(ReadLongWord()); }
  SYSTEMTIME ReadSystemTime();
  // count 8-bit characters / count UTF-16 code units.
  AnsiString ReadAnsiChars(uint64_t count);
  WideString ReadWideChars(uint64_t count);
  void Skip(uint64_t count);

 private:
  TVoMemoryStream stream_;
};

class TVoRecurrenceWriter {
 public:
  void WriteByte(uint8_t value) { stream_.WriteByte(value); }
  void WriteWord(uint16_t value) { stream_.WriteWord(value); }
  void WriteLongWord(uint32_t value) { stream_.WriteLongWord(value); }
  void WriteLongInt(int32_t value) { stream_.WriteLongInt(value); }
  void WriteSystemTime(const SYSTEMTIME& value);
  // A u32 of minutes since 1601: of the whole day (wholeDay) or of the date and time.
  // Dates a u32 cannot hold raise "Failed to encode the recurrence data." with the date.
  void WriteDate(TDateTime value, bool wholeDay);
  // u16 length + 1, u16 length, the 8-bit text; texts of 65535 bytes or more raise.
  void WriteAnsiString(const AnsiString& text);
  // u16 length, the UTF-16 code units; the same limit.
  void WriteWideString(const WideString& text);
  void WriteWideChars(const WideString& text) { stream_.WriteWideChars(text); }

  const TVoBytes& Bytes() const { return stream_.Bytes(); }

 private:
  TVoMemoryStream stream_;
};

}  // namespace orba
