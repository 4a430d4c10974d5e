// The recurrence blob: the corpus and the published examples decode to their oracles
// and encode back to their bytes; every rejection has its text; the tolerated quirks
// decode.
#include <algorithm>

#include "recurrencetesting.h"

namespace orba::testing {
namespace {

struct CorpusItem {
  const char* Message;   // the .msg / .json name in tests/data/msg
  const char* Fixture;   // the prefix of its blobs in tests/data/recurrence
  size_t TrailingBytes;  // bytes after the blob's end that Get_Data does not write
};

const CorpusItem kCorpus[] = {
    {"7 days  everyday", "7_days_everyday", 4},
    {"A daily 1", "A_daily_1", 0},
    {"A monthly 1", "A_monthly_1", 0},
    {"A weekly 1", "A_weekly_1", 0},
    {"Friday Lunch", "Friday_Lunch", 0},
    {"Lanch time  every friday  in 2023 chgs1", "Lanch_time_every_friday_in_2023_chgs1", 0},
    {"Lanch time  every friday  in 2023 org", "Lanch_time_every_friday_in_2023_org", 0},
};

class CorpusTest : public ::testing::TestWithParam<CorpusItem> {};

uint32_t PeriodOf(TVoRecurrencePattern& p) {
  switch (p.Get_RecurrenceType()) {
    case 0: return p.Get_Interval() * 1440;
    case 1: return 1;
    case 8:
    case 9: return p.Get_Interval() * 12;
    default: return p.Get_Interval();
  }
}

TEST_P(CorpusTest, DecodesToTheOracleAndEncodesItsBytes) {
  const CorpusItem& item = GetParam();
  const TVoBytes blob = ReadFixture(std::string(item.Fixture) + ".recur.bin");
  const nlohmann::json recur = ReadOracle(item.Message)["apptRecur"];
  const nlohmann::json& rp = recur["recurrencePattern"];
  auto p = Decode(blob);

  EXPECT_EQ(rp["recurFrequency"], p->RecurrenceFrequency());
  EXPECT_EQ(rp["patternType"], p->RecurrencePatternType());
  EXPECT_EQ(rp["calendarType"], p->CalendarType());
  EXPECT_EQ(rp["firstDateTime"], p->FirstDateTime());
  EXPECT_EQ(rp["period"], PeriodOf(*p));
  EXPECT_EQ(rp["slidingFlag"], 0);
  EXPECT_EQ(rp["endType"], 0x2023u - p->Get_RecurrenceEndType());
  EXPECT_EQ(rp["occurrenceCount"], p->Get_OccurrenceCount());
  EXPECT_EQ(rp["firstDOW"], p->Get_FirstDOW());
  EXPECT_EQ(rp["startDate"], Minutes(p->Get_StartDate()));
  EXPECT_EQ(rp["endDate"], Minutes(p->Get_EndDate()));
  if (rp.contains("patternTypeWeek")) {
    EXPECT_EQ(rp["patternTypeWeek"]["dayOfWeekBits"], p->Get_WeekDays() >> 3);
  }
  if (rp.contains("patternTypeMonth")) {
    EXPECT_EQ(rp["patternTypeMonth"]["day"], p->Get_DayOfMonth());
  }
  EXPECT_EQ(recur["startTimeOffset"], std::lround(p->Get_StartTime() * 1440));
  EXPECT_EQ(recur["endTimeOffset"], std::lround(p->Get_EndTime() * 1440));

  std::vector<int64_t> deleted, modified;
  std::vector<const TVoRecurrenceExceptionData*> changed;
  for (int32_t i = 0; i < p->Exceptions().Get_Count(); ++i) {
    const TVoRecurrenceExceptionData& e = p->Exceptions().At(i).Data();
    deleted.push_back(Minutes(DateOf(e.OriginalStartDate)));
    if (e.Deleted) continue;
    modified.push_back(Minutes(e.StartDate));
    changed.push_back(&e);
  }
  EXPECT_EQ(rp["deletedInstanceDates"].get<std::vector<int64_t>>(), deleted);
  EXPECT_EQ(rp["modifiedInstanceDates"].get<std::vector<int64_t>>(), modified);
  ASSERT_EQ(recur["exceptionInfo"].size(), changed.size());
  for (size_t i = 0; i < changed.size(); ++i) {
    const nlohmann::json& info = recur["exceptionInfo"][i];
    const TVoRecurrenceExceptionData& e = *changed[i];
    EXPECT_EQ(info["startDateTime"], Minutes(VoJoinDateTime(e.StartDate, e.StartTime)));
    EXPECT_EQ(info["endDateTime"], Minutes(VoJoinDateTime(e.EndDate, e.EndTime)));
    EXPECT_EQ(info["originalStartTime"], Minutes(e.OriginalStartDate));
    EXPECT_EQ(info["overrideFlags"], e.Modifications);
    EXPECT_EQ(info["changeHighlight"], e.ChangeHighlight);
    EXPECT_EQ(info.value("subject", ""), ToUtf8(e.Description));
    if (info.contains("busyStatus")) {
      EXPECT_EQ(info["busyStatus"], e.BusyStatus);
    }
  }

  EXPECT_EQ(TVoBytes(blob.begin(), blob.end() - ptrdiff_t(item.TrailingBytes)), p->Get_Data());
}

TEST_P(CorpusTest, SeriesTimesAreTheItemsWhateverTheMachineZone) {
  const CorpusItem& item = GetParam();
  const nlohmann::json oracle = ReadOracle(item.Message);
  for (const char* machine : {"Asia/Tokyo", "Europe/Berlin"}) {
    MachineZone zone(machine);
    auto p = Decode(ReadFixture(std::string(item.Fixture) + ".recur.bin"));
    p->SetTimeZone(TVoRecurrenceTimeZone::FromProperties(ReadFixture(std::string(item.Fixture) + ".tzdefrecur.bin"),
                                                         ReadFixture(std::string(item.Fixture) + ".tzstruct.bin")));
    const TVoRecurrenceSeriesTimes times = p->GetSeriesTimes();
    EXPECT_EQ(Minutes(ParseHttpDate(oracle["apptStartWhole"])), Minutes(times.StartWhole)) << machine;
    EXPECT_EQ(Minutes(ParseHttpDate(oracle["apptEndWhole"])), Minutes(times.EndWhole)) << machine;
    EXPECT_EQ(Minutes(ParseHttpDate(oracle["clipStart"])), Minutes(times.ClipStart)) << machine;
    EXPECT_EQ(Minutes(ParseHttpDate(oracle["clipEnd"])), Minutes(times.ClipEnd)) << machine;
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusTest, ::testing::ValuesIn(kCorpus));

TEST(RecurrenceCodec, FridayLunchExceptionAgreesWithItsEmbeddedMessage) {
  const nlohmann::json oracle = ReadOracle("Friday Lunch");
  auto p = Decode(ReadFixture("Friday_Lunch.recur.bin"));
  p->SetTimeZone(TVoRecurrenceTimeZone::FromProperties(ReadFixture("Friday_Lunch.tzdefrecur.bin"), std::nullopt));
  const TVoRecurrenceExceptionData& moved = p->Exceptions().At(1).Data();  // Jan 13, moved to Jan 9 12:00
  const nlohmann::json& embedded = oracle["attachments"][0]["innerMsgContentFields"];
  EXPECT_EQ(ToUtf8(moved.Description), embedded["subject"]);
  EXPECT_EQ(Minutes(ParseHttpDate(embedded["apptStartWhole"])),
            Minutes(p->TimeZone().LocalToUTC(VoJoinDateTime(moved.StartDate, moved.StartTime))));
}

TEST(RecurrenceCodec, PublishedWeeklyExamplesAreByteExactBothWays) {
  const TVoBytes plain = ReadFixture("oxocal-4.1.1.1.recur.bin");
  auto p = Decode(plain);
  EXPECT_EQ(Date(2007, 4, 20), p->Get_EndDate());
  EXPECT_EQ(u"Occurs every monday and thursday and friday effective 2007-03-26 until 2007-04-20 from 10:00 to 10:30",
            p->Get_RecurrencePattern());
  EXPECT_EQ(plain, p->Get_Data());

  const TVoBytes changed = ReadFixture("oxocal-4.1.1.2.recur.bin");
  p = Decode(changed);
  ASSERT_EQ(1, p->Exceptions().Get_Count());
  const TVoRecurrenceExceptionData& e = p->Exceptions().At(0).Data();
  EXPECT_EQ(u"Simple Recurrence with exceptions", e.Description);
  EXPECT_EQ(Date(2007, 4, 16, 10), e.OriginalStartDate);
  EXPECT_EQ(Date(2007, 4, 16, 11, 30), VoJoinDateTime(e.EndDate, e.EndTime));
  EXPECT_EQ(changed, p->Get_Data());
}

TEST(RecurrenceCodec, PublishedDailyExampleWithDeletionsAndItsCalendarType) {
  TVoBytes blob = ReadFixture("oxocal-4.1.1.3.recur.bin");
  auto p = Decode(blob);
  EXPECT_EQ(2, p->Exceptions().Get_Count());
  EXPECT_TRUE(p->Exceptions().At(1).Data().Deleted);
  EXPECT_EQ(blob, p->Get_Data());

  // Another calendar (8, Hebrew lunar) keeps its type and FirstDateTime; what needs the
  // Gregorian calendar is refused.
  blob[8] = 8;
  blob[10] = 0x39, blob[11] = 0x30;
  p = Decode(blob);
  EXPECT_EQ(8u, p->CalendarType());
  EXPECT_EQ(blob, p->Get_Data());
  EXPECT_THROW(p->GetFirstOccurrence(), EMAPI_NO_SUPPORT);
}

void Put16(TVoBytes& b, size_t at, uint16_t v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); }
void Put32(TVoBytes& b, size_t at, uint32_t v) { Put16(b, at, uint16_t(v)), Put16(b, at + 2, uint16_t(v >> 16)); }

TEST(RecurrenceCodec, RejectionsHaveTheirTexts) {
  const std::string prefix = "Failed to decode the recurrence data.\r\n";
  const TVoBytes weekly = ReadFixture("oxocal-4.1.1.1.recur.bin"), changed = ReadFixture("oxocal-4.1.1.2.recur.bin");
  const TVoBytes weekday = ReadFixture("A_daily_1.recur.bin");
  const struct {
    const TVoBytes* Blob;
    void (*Change)(TVoBytes&);
    std::string Text;
  } cases[] = {
      {&weekly, [](TVoBytes& b) { Put16(b, 0, 0x3005); }, prefix + "Invalid RecurFrequency."},
      {&weekly, [](TVoBytes& b) { Put16(b, 6, 5); }, prefix + "Invalid PatternType."},
      {&weekly, [](TVoBytes& b) { Put16(b, 8, 24); }, prefix + "Invalid CalendarType."},
      {&weekday, [](TVoBytes& b) { Put32(b, 22, 0x3F); }, prefix + "Invalid WeekDay."},
      {&weekly, [](TVoBytes& b) { Put16(b, 6, 2); }, prefix + "An unsupported Recurrency Type was detected!."},
      {&weekly, [](TVoBytes& b) { Put32(b, 14, 0); }, prefix + "Invalid Period."},
      {&weekly, [](TVoBytes& b) { b[26] = 0x24; }, prefix + "Invalid EndType."},
      {&weekly, [](TVoBytes& b) { b[27] = 0x21; }, prefix + "Invalid Data (23+OffSet)."},
      {&weekly, [](TVoBytes& b) { b[28] = 1; }, prefix + "Invalid Data (24+OffSet)."},
      {&weekly, [](TVoBytes& b) { b[29] = 1; }, prefix + "Invalid Data (25+OffSet)."},
      {&weekly, [](TVoBytes& b) { Put32(b, 34, 7); }, prefix + "Invalid FirstDOW."},
      {&weekly, [](TVoBytes& b) { Put32(b, 22, 0); }, prefix + "Invalid recurrence (WeekDays)"},
      {&weekly, [](TVoBytes& b) { Put32(b, 54, 0x3007); }, prefix + "Invalid Data (50+OffSet)."},
      {&weekly, [](TVoBytes& b) { Put32(b, 62, 1440); }, prefix + "Invalid StartTime."},
      {&weekly, [](TVoBytes& b) { Put32(b, 66, 500); }, prefix + "Invalid EndTime."},
      {&weekly, [](TVoBytes& b) { Put32(b, 38, 0xFFFFFFFF); }, "Unexpected EOF"},
      {&changed, [](TVoBytes& b) { Put16(b, 78, 2); }, prefix + "The ExceptionCounts do not match."},
      {&changed, [](TVoBytes& b) { Put32(b, 142, 1); }, prefix + "Invalid ReservedBlock1 value"},
      {&changed, [](TVoBytes& b) { Put16(b, 96, 0xFFFE); }, "Unexpected EOF"},
      {&changed, [](TVoBytes& b) { Put16(b, 96, 0xFFFF); }, prefix + "Invalid text length."},
  };
  for (const auto& c : cases) {
    TVoBytes blob = *c.Blob;
    c.Change(blob);
    EXPECT_EQ(c.Text, MessageOf([&] { Decode(blob); })) << c.Text;
  }
}

TEST(RecurrenceCodec, ToleratedQuirksDecode) {
  const TVoBytes weekly = ReadFixture("oxocal-4.1.1.1.recur.bin"), changed = ReadFixture("oxocal-4.1.1.2.recur.bin");
  TVoBytes trailing = weekly;
  trailing.insert(trailing.end(), {0xDE, 0xAD, 0xBE, 0xEF, 1, 2});
  EXPECT_EQ(weekly, Decode(trailing)->Get_Data());
  EXPECT_EQ(weekly, Decode(TVoBytes(weekly.begin(), weekly.begin() + 70))->Get_Data());  // ends after EndTime

  TVoBytes timed = changed;  // a deleted date with a time of day: the day counts
  Put32(timed, 42, 0x0CBC96A0 + 600);
  EXPECT_EQ(changed, Decode(timed)->Get_Data());

  TVoBytes oldNoEnd = weekly;
  Put32(oldNoEnd, 26, 0xFFFFFFFF);
  auto p = Decode(oldNoEnd);
  EXPECT_EQ(0u, p->Get_RecurrenceEndType());
  const TVoBytes rewritten = p->Get_Data();
  EXPECT_EQ((TVoBytes{0x23, 0x20, 0, 0, 10, 0, 0, 0}), TVoBytes(rewritten.begin() + 26, rewritten.begin() + 34));
  EXPECT_EQ((TVoBytes{0xDF, 0x80, 0xE9, 0x5A}), TVoBytes(rewritten.begin() + 50, rewritten.begin() + 54));

  // An Outlook 2002 blob: no ReservedBlock1 and no extended records; the 8-bit texts count.
  TVoBytes older(changed.begin(), changed.begin() + 142);
  Put32(older, 66, 0x3007);
  EXPECT_EQ(u"34/4141", Decode(older)->Exceptions().At(0).Data().Location);

  // A stray empty ReservedBlockEE2 between the extended records of two exceptions.
  p = Decode(weekly);
  for (TDateTime day : {Date(2007, 3, 29, 10), Date(2007, 4, 2, 10)}) p->Exceptions().Add(day)->Set_BusyStatus(1);
  const TVoBytes two = p->Get_Data();
  TVoBytes stray = two;
  stray.insert(stray.end() - 16, {0, 0, 0, 0});
  EXPECT_EQ(two, Decode(stray)->Get_Data());
}

TEST(RecurrenceCodec, WritesWhatItReadsAndRefusesWhatItCannotHold) {
  auto p = MakeComObject<TVoRecurrencePattern>();
  p->Set_RecurrenceType(0);
  p->Set_Interval(2);
  p->Set_StartDate(Date(2025, 1, 6));
  p->Set_StartTime(Date(1899, 12, 30, 23));
  p->Set_Duration(120);  // crosses midnight
  p->Set_RecurrenceEndType(1);
  p->Set_OccurrenceCount(3);
  auto e = p->Exceptions().Add(Date(2025, 1, 8, 23));
  e->Set_Description(u"abc");
  TVoBytes blob = p->Get_Data();
  EXPECT_EQ(2880u, blob[14] | blob[15] << 8);
  EXPECT_EQ(Minutes(Date(2025, 1, 6)) % 2880, blob[10] | blob[11] << 8 | blob[12] << 16);
  const uint8_t abc[] = {0x04, 0x00, 0x03, 0x00, 0x61, 0x62, 0x63};
  EXPECT_NE(std::search(blob.begin(), blob.end(), std::begin(abc), std::end(abc)), blob.end());
  auto back = Decode(blob);
  EXPECT_EQ(Date(2025, 1, 10), back->Get_EndDate());
  EXPECT_EQ(blob, back->Get_Data());

  // Wide texts survive where the 8-bit copy cannot hold them.
  e->Set_Description(u"\u65e5\u672c\u8a9e");
  EXPECT_EQ(u"\u65e5\u672c\u8a9e", Decode(p->Get_Data())->Exceptions().At(0).Data().Description);

  // An all-day exception ends on its last day; the blob holds the midnight after it,
  // and saving again does not move it.
  e->Set_AllDay(true);
  e->Set_EndDate(Date(2025, 1, 8));
  blob = p->Get_Data();
  auto allDay = Decode(blob);
  EXPECT_EQ(Date(2025, 1, 8), allDay->Exceptions().At(0).Data().EndDate);
  EXPECT_EQ(blob, allDay->Get_Data());

  // A two-yearly series on the Xth weekday keeps its interval.
  p->Set_RecurrenceType(9);
  p->Set_Interval(2), p->Set_Xth(5), p->Set_WeekDay(16), p->Set_Month(1);
  blob = p->Get_Data();
  EXPECT_EQ(24u, blob[14]);
  EXPECT_EQ(2, Decode(blob)->Get_Interval());

  const std::string prefix = "Failed to encode the recurrence data.\r\n";
  p->Set_Interval(0);
  EXPECT_EQ(prefix + "Invalid Interval.", MessageOf([&] { p->Get_Data(); }));
  p->Set_Interval(1);
  p->Set_RecurrenceEndType(2);
  p->Set_EndDate(Date(9900, 1, 1));
  EXPECT_EQ(prefix + "The date 9900-01-01T00:00:00 cannot be stored.", MessageOf([&] { p->Get_Data(); }));
}

TEST(RecurrenceCodec, TaskBlobsEndAfterEndDate) {
  auto task = MakeComObject<TVoRecurrencePattern>(true);
  task->Set_RecurrenceType(7);
  task->Set_Interval(2);
  task->Set_StartDate(Date(2025, 5, 1));
  TVoBytes blob = task->Get_Data();
  EXPECT_EQ(54u, blob.size());  // 22 + one u32 + 28
  blob.insert(blob.end(), {6, 0x30, 0, 0, 9, 0x30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  auto back = Decode(blob, true);
  EXPECT_EQ(7u, back->Get_RecurrenceType());
  EXPECT_EQ(TVoBytes(blob.begin(), blob.begin() + 54), back->Get_Data());
  EXPECT_EQ(5u, Decode(blob)->Get_RecurrenceType());  // the same blob read as an appointment's
}

}  // namespace
}  // namespace orba::testing
