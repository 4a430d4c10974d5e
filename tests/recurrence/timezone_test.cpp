// The time-zone structures of appointments: the corpus and the published definition
// decode to their oracles and encode back; conversions follow the rules of the year
// with the machine zone's handling of skipped and repeated hours; the zone a pattern
// uses is chosen as the properties say.
#include "recurrencetesting.h"

namespace orba::testing {
namespace {

void ExpectSystemTime(const nlohmann::json& expected, const SYSTEMTIME& actual) {
  EXPECT_EQ(expected["year"], actual.wYear);
  EXPECT_EQ(expected["month"], actual.wMonth);
  EXPECT_EQ(expected["dayOfWeek"], actual.wDayOfWeek);
  EXPECT_EQ(expected["day"], actual.wDay);
  EXPECT_EQ(expected["hour"], actual.wHour);
  EXPECT_EQ(expected["minute"], actual.wMinute);
}

TEST(RecurrenceTimeZone, CorpusStructuresDecodeToTheOracleAndEncodeBack) {
  for (const auto& [message, fixture] : {std::pair{"Friday Lunch", "Friday_Lunch"},
                                         {"A daily 1", "A_daily_1"},
                                         {"7 days  everyday", "7_days_everyday"}}) {
    const nlohmann::json oracle = ReadOracle(message);
    for (const auto& [kind, field] :
         {std::pair{".tzdefrecur.bin", "apptTZDefRecur"}, {".tzdefstart.bin", "apptTZDefStartDisplay"}}) {
      const TVoBytes blob = ReadFixture(std::string(fixture) + kind);
      const TVoTimeZoneDefinition definition = TVoTimeZoneDefinition::Decode(blob);
      const nlohmann::json& expected = oracle[field];
      EXPECT_EQ(expected["keyName"], ToUtf8(definition.KeyName));
      ASSERT_EQ(expected["rules"].size(), definition.Rules.size());
      for (size_t i = 0; i < definition.Rules.size(); ++i) {
        const nlohmann::json& rule = expected["rules"][i];
        const TVoTimeZoneRule& actual = definition.Rules[i];
        EXPECT_EQ(rule["flags"], actual.Flags);
        EXPECT_EQ(Minutes(ParseHttpDate(rule["start"])), Minutes(SystemTimeToDateTime(actual.Start)));
        EXPECT_EQ(rule["bias"], actual.Bias);
        EXPECT_EQ(rule["standardBias"], actual.StandardBias);
        EXPECT_EQ(rule["daylightBias"], actual.DaylightBias);
        ExpectSystemTime(rule["standardDate"], actual.StandardDate);
        ExpectSystemTime(rule["daylightDate"], actual.DaylightDate);
      }
      EXPECT_EQ(blob, definition.Encode());
    }
    const TVoBytes blob = ReadFixture(std::string(fixture) + ".tzstruct.bin");
    const TVoTimeZoneStruct zone = TVoTimeZoneStruct::Decode(blob);
    const nlohmann::json& expected = oracle["timeZoneStruct"];
    EXPECT_EQ(expected["bias"], zone.Bias);
    EXPECT_EQ(expected["standardBias"], zone.StandardBias);
    EXPECT_EQ(expected["daylightBias"], zone.DaylightBias);
    EXPECT_EQ(expected["standardYear"], zone.StandardYear);
    EXPECT_EQ(expected["daylightYear"], zone.DaylightYear);
    ExpectSystemTime(expected["standardDate"], zone.StandardDate);
    ExpectSystemTime(expected["daylightDate"], zone.DaylightDate);
    EXPECT_EQ(blob, zone.Encode());
  }
}

TEST(RecurrenceTimeZone, PublishedDefinitionDecodesToItsTableAndConvertsByYear) {
  const TVoBytes blob = ReadFixture("oxocal-4.1.4.tzdefrecur.bin");
  const TVoTimeZoneDefinition pacific = TVoTimeZoneDefinition::Decode(blob);
  EXPECT_EQ(u"Pacific Standard Time", pacific.KeyName);
  ASSERT_EQ(2u, pacific.Rules.size());
  const TVoTimeZoneRule& current = pacific.Rules[1];
  EXPECT_EQ(&current, pacific.EffectiveRule());
  EXPECT_EQ(blob, pacific.Encode());

  const TVoRecurrenceTimeZone zone(pacific);
  const struct {
    TDateTime Local, UTC;
  } cases[] = {
      {Date(2006, 3, 12, 10), Date(2006, 3, 12, 18)},          // 2006: still standard time in March
      {Date(2006, 4, 2, 2, 30), Date(2006, 4, 2, 10, 30)},     // skipped: read with the offset before
      {Date(2006, 10, 29, 1, 30), Date(2006, 10, 29, 8, 30)},  // repeated: the first
      {Date(2007, 3, 12, 10), Date(2007, 3, 12, 17)},          // 2007: daylight saving from March 11
      {Date(2007, 3, 11, 2, 30), Date(2007, 3, 11, 10, 30)},
      {Date(2007, 11, 4, 2, 0), Date(2007, 11, 4, 10, 0)},
      {Date(1990, 7, 1), Date(1990, 7, 1, 7)},  // before the first rule: the first rule
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Minutes(c.UTC), Minutes(zone.LocalToUTC(c.Local))) << Minutes(c.Local);
    if (c.Local != Date(2006, 4, 2, 2, 30) && c.Local != Date(2007, 3, 11, 2, 30)) {
      EXPECT_EQ(Minutes(c.Local), Minutes(zone.UTCToLocal(c.UTC))) << Minutes(c.Local);
    }
  }
}

TEST(RecurrenceTimeZone, ChoosesTheDefinitionTheStructOrTheMachine) {
  const TVoBytes definition = ReadFixture("Friday_Lunch.tzdefrecur.bin");
  const TVoBytes tokyo = ReadFixture("Friday_Lunch.tzstruct.bin");
  TVoBytes other = tokyo;
  other[0] = 0x88;  // bias -632: no longer the definition's effective rule

  EXPECT_EQ(u"Tokyo Standard Time", TVoRecurrenceTimeZone::FromProperties(definition, tokyo).Definition()->KeyName);
  EXPECT_EQ(u"Tokyo Standard Time",
            TVoRecurrenceTimeZone::FromProperties(definition, std::nullopt).Definition()->KeyName);
  const TVoRecurrenceTimeZone byStruct = TVoRecurrenceTimeZone::FromProperties(definition, other);
  EXPECT_EQ(u"", byStruct.Definition()->KeyName);
  EXPECT_EQ(Date(2024, 12, 31, 13, 28), byStruct.LocalToUTC(Date(2025, 1, 1)));
  EXPECT_EQ(u"", TVoRecurrenceTimeZone::FromProperties(TVoBytes{1, 2, 3}, tokyo).Definition()->KeyName);
  EXPECT_TRUE(TVoRecurrenceTimeZone::FromProperties(std::nullopt, std::nullopt).IsMachineZone());
  EXPECT_EQ("Unexpected EOF", MessageOf([&] { TVoRecurrenceTimeZone::FromProperties(definition, TVoBytes(40)); }));
}

TEST(RecurrenceTimeZone, RefusesBadDefinitions) {
  const TVoBytes good = ReadFixture("oxocal-4.1.4.tzdefrecur.bin");
  const std::string prefix = "Failed to decode the time zone data.\r\n";
  const struct {
    void (*Change)(TVoBytes&);
    std::string Text;
  } cases[] = {
      {[](TVoBytes& b) { b[0] = 3; }, prefix + "Invalid version."},
      {[](TVoBytes& b) { b[6] = 0xFF; }, prefix + "Invalid header."},
      {[](TVoBytes& b) { b[50] = 0, b[51] = 0; }, prefix + "Invalid rule count."},
      {[](TVoBytes& b) { b[52] = 1; }, prefix + "Invalid rule version."},
      {[](TVoBytes& b) { b[88] = 13; }, prefix + "Invalid change date."},
      {[](TVoBytes& b) { b.resize(120); }, "Unexpected EOF"},
  };
  for (const auto& c : cases) {
    TVoBytes blob = good;
    c.Change(blob);
    EXPECT_EQ(c.Text, MessageOf([&] { TVoTimeZoneDefinition::Decode(blob); })) << c.Text;
  }
}

}  // namespace
}  // namespace orba::testing
