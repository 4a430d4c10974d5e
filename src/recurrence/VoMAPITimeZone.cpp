#include "orba/VoMAPITimeZone.h"

#include <algorithm>

#include "orba/VoMAPIExceptions.h"
#include "orba/common/dates.h"
#include "orba/common/timezone.h"
#include "recurrence/VoRecurrenceStream.h"

namespace orba {
namespace {

constexpr uint8_t kMajorVersion = 2, kMinorVersion = 1;
constexpr uint16_t kHeaderReserved = 0x0002, kRuleReserved = 0x003E;
constexpr size_t kMaxKeyName = 260, kMaxRules = 1024, kTimeZoneStructSize = 48;

[[noreturn]] void Invalid(std::u16string_view what) {
  throw EVoMAPIException(WideString(u"Failed to decode the time zone data.\r\n") + WideString(what));
}

bool SameSystemTime(const SYSTEMTIME& a, const SYSTEMTIME& b) {
  return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDayOfWeek == b.wDayOfWeek && a.wDay == b.wDay &&
         a.wHour == b.wHour && a.wMinute == b.wMinute && a.wSecond == b.wSecond && a.wMilliseconds == b.wMilliseconds;
}

bool ObservesDaylight(const TVoTimeZoneRule& rule) {
  return rule.StandardDate.wMonth != 0 && rule.DaylightDate.wMonth != 0;
}

// A change date must name a day of a month and a time of day.
void CheckChangeDate(const SYSTEMTIME& st) {
  if (st.wMonth == 0) return;
  const bool dayOk = st.wYear == 0 ? st.wDay >= 1 && st.wDay <= 5 && st.wDayOfWeek <= 6 : st.wDay >= 1 && st.wDay <= 31;
  if (st.wMonth > 12 || !dayOk || st.wHour > 23 || st.wMinute > 59 || st.wSecond > 59 || st.wMilliseconds > 999)
    Invalid(u"Invalid change date.");
}

TVoTimeZoneRule ReadRuleBody(TVoRecurrenceReader& reader) {
  TVoTimeZoneRule rule;
  rule.Bias = reader.ReadLongInt();
  rule.StandardBias = reader.ReadLongInt();
  rule.DaylightBias = reader.ReadLongInt();
  rule.StandardDate = reader.ReadSystemTime();
  rule.DaylightDate = reader.ReadSystemTime();
  CheckChangeDate(rule.StandardDate);
  CheckChangeDate(rule.DaylightDate);
  return rule;
}

// The local moment of a change in the given year.
TDateTime ChangeMoment(const SYSTEMTIME& st, int year) {
  const int daysInMonth = DaysInMonth(year, st.wMonth);
  int day;
  if (st.wYear != 0) {
    day = std::min<int>(st.wDay, daysInMonth);
  } else {
    const int firstWeekday = DayOfWeek(EncodeDate(year, st.wMonth, 1)) - 1;  // 0 = Sunday
    day = 1 + (st.wDayOfWeek - firstWeekday + 7) % 7 + (st.wDay - 1) * 7;
    while (day > daysInMonth) day -= 7;
  }
  return EncodeDate(year, st.wMonth, day) + EncodeTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
}

int LocalYear(TDateTime value) { return VoDecodeDate(value).Year; }

// Whether daylight saving is in force at the UTC moment, by the changes of the year.
bool DaylightAt(const TVoTimeZoneRule& rule, TDateTime utc, int year) {
  const TDateTime toDaylight = VoAddMins(ChangeMoment(rule.DaylightDate, year), int64_t(rule.Bias) + rule.StandardBias);
  const TDateTime toStandard = VoAddMins(ChangeMoment(rule.StandardDate, year), int64_t(rule.Bias) + rule.DaylightBias);
  if (toDaylight < toStandard) return utc >= toDaylight && utc < toStandard;
  return utc >= toDaylight || utc < toStandard;  // daylight saving across the new year
}

}  // namespace

bool TVoTimeZoneRule::SameBiasesAndDates(const TVoTimeZoneRule& other) const {
  return Bias == other.Bias && StandardBias == other.StandardBias && DaylightBias == other.DaylightBias &&
         SameSystemTime(StandardDate, other.StandardDate) && SameSystemTime(DaylightDate, other.DaylightDate);
}

TDateTime TVoTimeZoneRule::LocalToUTC(TDateTime local) const {
  const TDateTime asStandard = VoAddMins(local, int64_t(Bias) + StandardBias);
  if (!ObservesDaylight(*this)) return asStandard;
  const TDateTime asDaylight = VoAddMins(local, int64_t(Bias) + DaylightBias);
  const int year = LocalYear(local);
  const bool standardFits = !DaylightAt(*this, asStandard, year), daylightFits = DaylightAt(*this, asDaylight, year);
  if (standardFits != daylightFits) return standardFits ? asStandard : asDaylight;
  // Both readings exist (clocks went back): the first. Neither (clocks went forward):
  // the offset in force before the change, which gives the later instant.
  return standardFits ? std::min(asStandard, asDaylight) : std::max(asStandard, asDaylight);
}

TDateTime TVoTimeZoneRule::UTCToLocal(TDateTime utc) const {
  const TDateTime asStandard = VoAddMins(utc, -(int64_t(Bias) + StandardBias));
  if (!ObservesDaylight(*this) || !DaylightAt(*this, utc, LocalYear(asStandard))) return asStandard;
  return VoAddMins(utc, -(int64_t(Bias) + DaylightBias));
}

TVoTimeZoneDefinition TVoTimeZoneDefinition::Decode(const TVoBytes& data) {
  TVoRecurrenceReader reader(data);
  if (reader.ReadByte() != kMajorVersion) Invalid(u"Invalid version.");
  reader.ReadByte();  // minor version: later minors only add
  const uint16_t headerSize = reader.ReadWord();
  reader.Require(headerSize);
  reader.ReadWord();  // reserved
  const uint16_t keyLength = reader.ReadWord();
  if (keyLength > kMaxKeyName || 4u + 2u * keyLength + 2u > headerSize) Invalid(u"Invalid header.");
  TVoTimeZoneDefinition result;
  result.KeyName = reader.ReadWideChars(keyLength);
  const uint16_t ruleCount = reader.ReadWord();
  if (ruleCount == 0 || ruleCount > kMaxRules) Invalid(u"Invalid rule count.");
  reader.Skip(headerSize - (4u + 2u * keyLength + 2u));
  for (uint16_t i = 0; i < ruleCount; ++i) {
    if (reader.ReadByte() != kMajorVersion) Invalid(u"Invalid rule version.");
    reader.ReadByte();
    reader.ReadWord();  // reserved
    const uint16_t flags = reader.ReadWord();
    const SYSTEMTIME start = reader.ReadSystemTime();
    TVoTimeZoneRule rule = ReadRuleBody(reader);
    rule.Flags = flags;
    rule.Start = start;
    result.Rules.push_back(rule);
  }
  return result;
}

TVoBytes TVoTimeZoneDefinition::Encode() const {
  if (KeyName.size() > kMaxKeyName || Rules.empty() || Rules.size() > kMaxRules)
    throw EVoMAPIException(
        u"Failed to encode the time zone data.\r\nA definition needs 1 to 1024 rules and a key "
        u"name of at most 260 characters.");
  TVoRecurrenceWriter writer;
  writer.WriteByte(kMajorVersion);
  writer.WriteByte(kMinorVersion);
  writer.WriteWord(uint16_t(4 + 2 * KeyName.size() + 2));
  writer.WriteWord(kHeaderReserved);
  writer.WriteWord(uint16_t(KeyName.size()));
  writer.WriteWideChars(KeyName);
  writer.WriteWord(uint16_t(Rules.size()));
  for (const TVoTimeZoneRule& rule : Rules) {
    writer.WriteByte(kMajorVersion);
    writer.WriteByte(kMinorVersion);
    writer.WriteWord(kRuleReserved);
    writer.WriteWord(rule.Flags);
    writer.WriteSystemTime(rule.Start);
    writer.WriteLongInt(rule.Bias);
    writer.WriteLongInt(rule.StandardBias);
    writer.WriteLongInt(rule.DaylightBias);
    writer.WriteSystemTime(rule.StandardDate);
    writer.WriteSystemTime(rule.DaylightDate);
  }
  return writer.Bytes();
}

const TVoTimeZoneRule* TVoTimeZoneDefinition::EffectiveRule() const {
  for (const TVoTimeZoneRule& rule : Rules)
    if (rule.Flags & TZRULE_FLAG_EFFECTIVE_TZREG) return &rule;
  return nullptr;
}

const TVoTimeZoneRule& TVoTimeZoneDefinition::RuleForYear(int year) const {
  if (Rules.empty()) throw EVoMAPIException(u"The time zone definition has no rules.");
  const TVoTimeZoneRule* best = nullptr;
  const TVoTimeZoneRule* earliest = &Rules.front();
  for (const TVoTimeZoneRule& rule : Rules) {
    if (rule.Start.wYear <= year && (!best || rule.Start.wYear >= best->Start.wYear)) best = &rule;
    if (rule.Start.wYear < earliest->Start.wYear) earliest = &rule;
  }
  return best ? *best : *earliest;
}

TVoTimeZoneStruct TVoTimeZoneStruct::Decode(const TVoBytes& data) {
  TVoRecurrenceReader reader(data);
  reader.Require(kTimeZoneStructSize);
  TVoTimeZoneStruct result;
  result.Bias = reader.ReadLongInt();
  result.StandardBias = reader.ReadLongInt();
  result.DaylightBias = reader.ReadLongInt();
  result.StandardYear = reader.ReadWord();
  result.StandardDate = reader.ReadSystemTime();
  result.DaylightYear = reader.ReadWord();
  result.DaylightDate = reader.ReadSystemTime();
  CheckChangeDate(result.StandardDate);
  CheckChangeDate(result.DaylightDate);
  return result;
}

TVoBytes TVoTimeZoneStruct::Encode() const {
  TVoRecurrenceWriter writer;
  writer.WriteLongInt(Bias);
  writer.WriteLongInt(StandardBias);
  writer.WriteLongInt(DaylightBias);
  writer.WriteWord(StandardYear);
  writer.WriteSystemTime(StandardDate);
  writer.WriteWord(DaylightYear);
  writer.WriteSystemTime(DaylightDate);
  return writer.Bytes();
}

TVoTimeZoneRule TVoTimeZoneStruct::ToRule(uint16_t flags) const {
  TVoTimeZoneRule rule;
  rule.Flags = flags;
  rule.Start = SYSTEMTIME{1601, 1, 0, 1, 0, 0, 0, 0};
  rule.Bias = Bias;
  rule.StandardBias = StandardBias;
  rule.DaylightBias = DaylightBias;
  rule.StandardDate = StandardDate;
  rule.DaylightDate = DaylightDate;
  return rule;
}

TVoTimeZoneStruct TVoTimeZoneStruct::FromRule(const TVoTimeZoneRule& rule) {
  TVoTimeZoneStruct result;
  result.Bias = rule.Bias;
  result.StandardBias = rule.StandardBias;
  result.DaylightBias = rule.DaylightBias;
  result.StandardYear = rule.StandardDate.wYear;
  result.StandardDate = rule.StandardDate;
  result.DaylightYear = rule.DaylightDate.wYear;
  result.DaylightDate = rule.DaylightDate;
  return result;
}

TVoRecurrenceTimeZone::TVoRecurrenceTimeZone(TVoTimeZoneDefinition definition) : definition_(std::move(definition)) {
  definition_->RuleForYear(0);  // refuses a definition without rules
}

TVoRecurrenceTimeZone TVoRecurrenceTimeZone::FromProperties(const std::optional<TVoBytes>& definitionRecur,
                                                            const std::optional<TVoBytes>& timeZoneStruct) {
  std::optional<TVoTimeZoneStruct> zoneStruct;
  if (timeZoneStruct) zoneStruct = TVoTimeZoneStruct::Decode(*timeZoneStruct);
  if (definitionRecur) {
    std::optional<TVoTimeZoneDefinition> definition;
    try {
      definition = TVoTimeZoneDefinition::Decode(*definitionRecur);
    } catch (const EVoException&) {
      if (!zoneStruct) throw;
    }
    if (definition) {
      const TVoTimeZoneRule* effective = definition->EffectiveRule();
      if (!zoneStruct || (effective && effective->SameBiasesAndDates(zoneStruct->ToRule())))
        return TVoRecurrenceTimeZone(std::move(*definition));
    }
  }
  if (zoneStruct) return TVoRecurrenceTimeZone(TVoTimeZoneDefinition{WideString(), {zoneStruct->ToRule()}});
  return TVoRecurrenceTimeZone();
}

TVoTimeZoneDefinition TVoRecurrenceTimeZone::MachineDefinition(int year) {
  const TVoTimeZoneInfo info = TVoTimeZones::Local(year);
  TVoTimeZoneStruct zone;
  zone.Bias = info.Bias;
  zone.StandardBias = info.StandardBias;
  zone.DaylightBias = info.DaylightBias;
  zone.StandardDate = info.StandardDate;
  zone.DaylightDate = info.DaylightDate;
  return TVoTimeZoneDefinition{VoGetTimeZone(), {zone.ToRule()}};
}

TDateTime TVoRecurrenceTimeZone::LocalToUTC(TDateTime local) const {
  return definition_ ? definition_->RuleForYear(LocalYear(local)).LocalToUTC(local) : VoLocalToUTC(local);
}

TDateTime TVoRecurrenceTimeZone::UTCToLocal(TDateTime utc) const {
  return definition_ ? definition_->RuleForYear(LocalYear(utc)).UTCToLocal(utc) : VoUTCToLocal(utc);
}

}  // namespace orba
