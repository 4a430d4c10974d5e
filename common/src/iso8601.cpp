#include "orba/common/iso8601.h"

#include <cstdio>

#include "orba/common/dates.h"
#include "orba/common/exceptions.h"
#include "orba/common/utf8.h"

namespace orba {
namespace {

WideString Ascii(const char* text) { return WideString(text, text + std::char_traits<char>::length(text)); }

WideString TimeText(TDateTime value) {
  int h, n, s, ms;
  DecodeTime(value, h, n, s, ms);
  char buffer[16];
  if (ms)
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d.%03d", h, n, s, ms);
  else
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", h, n, s);
  return Ascii(buffer);
}

// A cursor over the text that fails with one message for every kind of malformation.
class IsoReader {
 public:
  explicit IsoReader(std::u16string_view text) : text_(text) {}

  [[noreturn]] void Fail() const {
    throw EVoException(u"\"" + WideString(text_) + u"\" is not a valid ISO 8601 date-time", E_INVALIDARG);
  }
  bool AtEnd() const { return pos_ == text_.size(); }
  char16_t Peek(size_t ahead = 0) const { return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : u'\0'; }
  bool Accept(char16_t c) {
    if (Peek() != c) return false;
    ++pos_;
    return true;
  }
  static bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
  int Digits(size_t count) {
    int value = 0;
    for (size_t i = 0; i < count; ++i) {
      if (!IsDigit(Peek())) Fail();
      value = value * 10 + (text_[pos_++] - u'0');
    }
    return value;
  }
  // A time "hh:mm[:ss[.f]]" or "hhmm[ss[.f]]" as milliseconds of the day.
  int64_t Time() {
    const int hour = Digits(2);
    const bool extended = Accept(u':');
    const int minute = Digits(2);
    int second = 0;
    int64_t msec = 0;
    if (extended ? Accept(u':') : IsDigit(Peek())) {
      second = Digits(2);
      if (Accept(u'.') || Accept(u',')) msec = Fraction();
    }
    if (hour > 23 || minute > 59 || second > 59) Fail();
    return ((hour * 60 + minute) * 60 + second) * 1000LL + msec;
  }
  // The digits after the decimal mark, rounded to milliseconds (999.5 and above round
  // down to 999 so the second never overflows).
  int64_t Fraction() {
    if (!IsDigit(Peek())) Fail();
    double fraction = 0, scale = 0.1;
    while (IsDigit(Peek())) {
      fraction += (text_[pos_++] - u'0') * scale;
      scale /= 10;
    }
    const int64_t msec = static_cast<int64_t>(fraction * 1000 + 0.5);
    return msec > 999 ? 999 : msec;
  }
  // "Z", "+hh:mm", "+hhmm" or "+hh" as minutes east of UTC.
  int Zone() {
    if (Accept(u'Z')) return 0;
    const int sign = Accept(u'+') ? 1 : (Accept(u'-') ? -1 : 0);
    if (!sign) Fail();
    const int hours = Digits(2);
    int minutes = 0;
    if (Accept(u':') || IsDigit(Peek())) minutes = Digits(2);
    if (hours > 14 || minutes > 59) Fail();
    return sign * (hours * 60 + minutes);
  }

 private:
  std::u16string_view text_;
  size_t pos_ = 0;
};

}  // namespace

WideString VoDateToISO8601(TDateTime value) {
  const TVoDateParts d = VoDecodeDate(value);
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", d.Year, d.Month, d.Day);
  return Ascii(buffer);
}

WideString VoTimeToISO8601(TDateTime value) { return TimeText(value); }

WideString VoDateTimeToISO8601(TDateTime value, bool utc) {
  return VoDateToISO8601(value) + u"T" + TimeText(value) + (utc ? u"Z" : u"");
}

TDateTime VoISO8601ToDateTime(std::u16string_view text, bool* hasZone) {
  IsoReader in(text);
  if (hasZone) *hasZone = false;
  if (in.AtEnd()) in.Fail();

  int64_t day = 0, msec = 0;
  const bool timeOnly = in.Peek(2) == u':' || in.Peek() == u'T';
  if (!timeOnly) {
    const int year = in.Digits(4);
    const bool extended = in.Accept(u'-');
    const int month = in.Digits(2);
    if (extended && !in.Accept(u'-')) in.Fail();
    const int dayOfMonth = in.Digits(2);
    TDateTime date;
    if (!TryEncodeDate(year, month, dayOfMonth, date)) in.Fail();
    day = static_cast<int64_t>(date);
  }
  const bool withTime = in.Accept(u'T') || (!timeOnly && in.Accept(u' ')) || timeOnly;
  int zone = 0;
  bool zoned = false;
  if (withTime) {
    msec = in.Time();
    if (!in.AtEnd()) {
      zone = in.Zone();
      zoned = true;
    }
  }
  if (!in.AtEnd()) in.Fail();
  if (hasZone) *hasZone = zoned;
  if (timeOnly && !zoned) return static_cast<double>(msec) / MSecsPerDay;
  return MSecsToDateTime(day * MSecsPerDay + msec - zone * 60000LL);
}

}  // namespace orba
