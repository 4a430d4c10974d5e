// The time zones of appointments (unit uVoMAPIRecurrence): the TZDEFINITION stream of
// NPR_APPOINTMENTTIMEZONEDEFINITIONRECUR (and of the start and end display zones), the
// TZREG of NPR_TIMEZONESTRUCT, and the zone a recurrence converts its wall-clock times
// with. The recurrence blob holds local times and no zone; these say which local.
//
// All structures are little-endian. Bad data raises EVoMAPIException with a text that
// begins "Failed to decode the time zone data.", data that ends too soon the plain
// EVoException "Unexpected EOF"; nothing is read past the input.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "orba/common/com.h"
#include "orba/common/streams.h"
#include "orba/common/types.h"

namespace orba {

// TZRule flags: the rule matches NPR_TIMEZONESTRUCT / the rule in force now.
inline constexpr uint16_t TZRULE_FLAG_RECUR_CURRENT_TZREG = 0x0001;
inline constexpr uint16_t TZRULE_FLAG_EFFECTIVE_TZREG = 0x0002;

// One year's rules of a zone: UTC = local + Bias + StandardBias (or DaylightBias while
// daylight saving is in force). The change dates are SYSTEMTIME rules: with wYear 0,
// wDay is the occurrence (1..5, 5 the last) of weekday wDayOfWeek (0 = Sunday) in wMonth
// at the local time wHour:wMinute; with a wYear, the fixed date wMonth/wDay. wMonth 0 in
// StandardDate means the zone keeps standard time all year.
struct TVoTimeZoneRule {
  uint16_t Flags = 0;
  // From when the rule applies: wYear is the first year; the rest is kept as stored.
  SYSTEMTIME Start{};
  int32_t Bias = 0;
  int32_t StandardBias = 0;
  int32_t DaylightBias = 0;
  SYSTEMTIME StandardDate{};
  SYSTEMTIME DaylightDate{};

  // Whether the two rules give the same biases and change dates (flags and year aside).
  bool SameBiasesAndDates(const TVoTimeZoneRule& other) const;
  // Local <-> UTC under this rule, read in the local year of the value. A local time
  // that occurs twice is taken as the first (daylight) reading; a local time skipped
  // by the change to daylight saving is read with the offset in force before it, as
  // VoLocalToUTC does with the machine's zone.
  TDateTime LocalToUTC(TDateTime local) const;
  TDateTime UTCToLocal(TDateTime utc) const;
};

// TZDEFINITION: a zone's key name and its rules in ascending order of start year.
struct TVoTimeZoneDefinition {
  WideString KeyName;
  std::vector<TVoTimeZoneRule> Rules;

  static TVoTimeZoneDefinition Decode(const TVoBytes& data);
  // Version 2.1, one TZRule of 66 bytes per rule; raises when there is no rule or more
  // than 1024, or a key name longer than 260 characters.
  TVoBytes Encode() const;

  // The rule flagged TZRULE_FLAG_EFFECTIVE_TZREG; null when none is.
  const TVoTimeZoneRule* EffectiveRule() const;
  // The rule with the latest start year not after year; for earlier years the rule
  // that starts first.
  const TVoTimeZoneRule& RuleForYear(int year) const;
};

// TZREG (NPR_TIMEZONESTRUCT): one rule with the years of its change dates.
struct TVoTimeZoneStruct {
  int32_t Bias = 0;
  int32_t StandardBias = 0;
  int32_t DaylightBias = 0;
  uint16_t StandardYear = 0;
  SYSTEMTIME StandardDate{};
  uint16_t DaylightYear = 0;
  SYSTEMTIME DaylightDate{};

  static TVoTimeZoneStruct Decode(const TVoBytes& data);  // exactly 48 bytes
  TVoBytes Encode() const;
  // The same rule as a TZRule applying from 1601 on, with the given flags.
  TVoTimeZoneRule ToRule(uint16_t flags = TZRULE_FLAG_RECUR_CURRENT_TZREG | TZRULE_FLAG_EFFECTIVE_TZREG) const;
  static TVoTimeZoneStruct FromRule(const TVoTimeZoneRule& rule);
};

// The zone a recurrence converts with: the rules of an item, or the machine's zone.
class TVoRecurrenceTimeZone {
 public:
  // The machine's zone (VoLocalToUTC / VoUTCToLocal).
  TVoRecurrenceTimeZone() = default;
  explicit TVoRecurrenceTimeZone(TVoTimeZoneDefinition definition);

  // The zone of an appointment from its properties (either may be absent): the rules
  // of NPR_APPOINTMENTTIMEZONEDEFINITIONRECUR when their effective rule agrees with
  // NPR_TIMEZONESTRUCT (or that is absent), else NPR_TIMEZONESTRUCT's rule, else the
  // machine's zone. A definition that cannot be decoded is passed over for the
  // TZREG; a TZREG that cannot be decoded raises.
  static TVoRecurrenceTimeZone FromProperties(const std::optional<TVoBytes>& definitionRecur,
                                              const std::optional<TVoBytes>& timeZoneStruct);
  // The machine's zone as a definition for the given year (rules found by
  // TVoTimeZones::Local; the key name is the zone's IANA name, VoGetTimeZone).
  static TVoTimeZoneDefinition MachineDefinition(int year);

  bool IsMachineZone() const { return !definition_; }
  // The item's rules; null for the machine's zone.
  const TVoTimeZoneDefinition* Definition() const { return definition_ ? &*definition_ : nullptr; }

  TDateTime LocalToUTC(TDateTime local) const;
  TDateTime UTCToLocal(TDateTime utc) const;

 private:
  std::optional<TVoTimeZoneDefinition> definition_;
};

}  // namespace orba
