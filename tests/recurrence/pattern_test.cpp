// The pattern: its occurrence walk over the calendar's awkward days, the checks and
// their texts, the setters' rules and the description.
#include "recurrencetesting.h"

#include "orba/common/iso8601.h"

namespace orba::testing {
namespace {

struct PatternSpec {
  uint32_t Kind;
  int32_t Interval;
  TDateTime Start;
  int32_t Count;
  uint32_t WeekDays = 0;
  uint32_t WeekDay = 0;
  uint32_t Xth = 0;
  int32_t DayOfMonth = 0;
  int32_t Month = 0;
  int32_t FirstDOW = 0;
};

ComPtr<TVoRecurrencePattern> Make(const PatternSpec& s) {
  auto p = MakeComObject<TVoRecurrencePattern>();
  p->Set_RecurrenceType(s.Kind);
  p->Set_Interval(s.Interval);
  p->Set_StartDate(s.Start);
  p->Set_StartTime(Date(1899, 12, 30, 9));
  p->Set_Duration(60);
  p->Set_RecurrenceEndType(1);
  p->Set_OccurrenceCount(s.Count);
  p->Set_WeekDays(s.WeekDays), p->Set_WeekDay(s.WeekDay), p->Set_Xth(s.Xth);
  p->Set_DayOfMonth(s.DayOfMonth), p->Set_Month(s.Month), p->Set_FirstDOW(s.FirstDOW);
  return p;
}

// Every occurrence's original day, walking as callers do; "!" marks the last.
std::vector<std::string> Walk(TVoRecurrencePattern& p) {
  std::vector<std::string> days;
  TVoMAPIApptOccurrence occ = p.GetFirstOccurrence();
  for (int guard = 0; guard < 100; ++guard) {
    days.push_back(ToUtf8(occ.OriginalStartDate) + (occ.IsLast ? "!" : ""));
    if (occ.IsLast) break;
    occ = p.GetNextOccurrence(occ.OriginalStartDate);
  }
  return days;
}

using Days = std::vector<std::string>;

TEST(RecurrencePattern, WalksTheCalendarsAwkwardDays) {
  const uint32_t sunday = 8, monday = 16, weekday = 2, weekendDay = 4;
  const struct {
    const char* Name;
    PatternSpec Spec;
    Days Expected;
  } cases[] = {
      {"yearly Feb 29",
       {8, 1, Date(2024, 2, 29), 5, 0, 0, 0, 29, 2},
       {"2024-02-29", "2025-02-28", "2026-02-28", "2027-02-28", "2028-02-29!"}},
      {"monthly on the 31st",
       {5, 1, Date(2025, 1, 31), 4, 0, 0, 0, 31},
       {"2025-01-31", "2025-02-28", "2025-03-31", "2025-04-30!"}},
      {"every 2 months on the 29th", {5, 2, Date(2024, 12, 29), 2, 0, 0, 0, 29}, {"2024-12-29", "2025-02-28!"}},
      {"last weekday, months ending Sat and Sun",
       {6, 3, Date(2025, 5, 1), 2, 0, weekday, 5},
       {"2025-05-30", "2025-08-29!"}},
      {"last weekend day", {6, 3, Date(2025, 5, 1), 3, 0, weekendDay, 5}, {"2025-05-31", "2025-08-31", "2025-11-30!"}},
      {"second Monday, yearly in March",
       {9, 1, Date(2025, 1, 1), 2, 0, monday, 2, 0, 3},
       {"2025-03-10", "2026-03-09!"}},
      {"Sunday and Monday every 2 weeks, weeks from Monday",
       {3, 2, Date(2025, 1, 6), 6, sunday | monday, 0, 0, 0, 0, 1},
       {"2025-01-06", "2025-01-12", "2025-01-20", "2025-01-26", "2025-02-03", "2025-02-09!"}},
      {"Sunday and Monday every 2 weeks, weeks from Sunday",
       {3, 2, Date(2025, 1, 6), 4, sunday | monday},
       {"2025-01-06", "2025-01-19", "2025-01-20", "2025-02-02!"}},
      {"every weekday over a weekend", {1, 7, Date(2025, 1, 9), 3}, {"2025-01-09", "2025-01-10", "2025-01-13!"}},
      {"every 3 days", {0, 3, Date(2025, 12, 30), 3}, {"2025-12-30", "2026-01-02", "2026-01-05!"}},
  };
  for (const auto& c : cases) {
    auto p = Make(c.Spec);
    EXPECT_EQ(c.Expected, Walk(*p)) << c.Name;
    p->CheckRecurrence();
    EXPECT_EQ(ToUtf8(VoDateToISO8601(p->Get_EndDate())) + "!", c.Expected.back()) << c.Name;
  }
}

TEST(RecurrencePattern, EndsByDateAndRefusesToGoPastTheEnd) {
  auto p = Make({1, 7, Date(2025, 1, 6), 0});
  p->Set_RecurrenceEndType(2);
  p->Set_EndDate(Date(2025, 1, 12));  // a Sunday: the last weekday is the Friday
  EXPECT_EQ((Days{"2025-01-06", "2025-01-07", "2025-01-08", "2025-01-09", "2025-01-10!"}), Walk(*p));
  EXPECT_THROW(p->GetNextOccurrence(u"2025-01-10"), EMAPI_INVALID_PARAMETER);
  EXPECT_EQ("The given datetime value is greater then the enddate of the recurrence!",
            MessageOf([&] { p->GetNextOccurrence(TVoVariant::FromDate(Date(2025, 2, 1))); }));
  p->CheckRecurrence();
  EXPECT_EQ(5, p->Get_OccurrenceCount());

  auto corpus = Decode(ReadFixture("Friday_Lunch.recur.bin"));
  corpus->CheckRecurrence();
  EXPECT_EQ(52, corpus->Get_OccurrenceCount());
}

TEST(RecurrencePattern, ExceptionsOverrideTheirOccurrences) {
  auto p = Make({0, 1, Date(2025, 3, 1), 3});
  p->Exceptions().Add(Date(2025, 3, 1, 9))->Set_Deleted(true);
  p->Exceptions().Add(Date(2025, 3, 3, 9))->Set_Deleted(true);
  auto moved = p->Exceptions().Add(Date(2025, 3, 2, 9));
  moved->Set_StartDate(Date(2025, 3, 2, 23, 30));
  moved->Set_EndDate(Date(2025, 3, 3, 0, 30));
  TVoMAPIApptOccurrence first = p->GetFirstOccurrence();
  EXPECT_TRUE(first.IsException && first.IsDeleted && !first.IsLast);
  TVoMAPIApptOccurrence second = p->GetNextOccurrence(first.OriginalStartDate);
  EXPECT_TRUE(second.IsException && !second.IsDeleted);
  EXPECT_EQ(u"23:30:00", second.StartTime);
  EXPECT_EQ(u"2025-03-03", second.EndDate);
  TVoMAPIApptOccurrence last = p->GetNextOccurrence(second.OriginalStartDate);
  EXPECT_TRUE(last.IsDeleted && last.IsLast);
  EXPECT_EQ("The OriginalStartDate cannot be modified!",
            MessageOf([&] { p->Exceptions().At(0).Set_OriginalStartDate(0); }));
  // Moved past its neighbour: still decodes, encodes and walks the same.
  moved->Set_StartDate(Date(2025, 3, 4, 9));
  moved->Set_EndDate(Date(2025, 3, 4, 10));
  EXPECT_EQ(Walk(*p), Walk(*Decode(p->Get_Data())));
  p->Exceptions().Delete(moved.get());
  EXPECT_FALSE(p->GetNextOccurrence(first.OriginalStartDate).IsException);
}

TEST(RecurrencePattern, CheckRecurrenceRefusesWithTheTexts) {
  const struct {
    PatternSpec Spec;
    std::string Text;
  } cases[] = {
      {{0, 0, Date(2025, 1, 1), 3}, "Invalid recurrence (Interval)"},
      {{3, 1, Date(2025, 1, 1), 3, 1}, "Invalid recurrence (WeekDays)"},
      {{5, 1, Date(2025, 1, 1), 3, 0, 0, 0, 32}, "Invalid recurrence (DayOfMonth)"},
      {{6, 1, Date(2025, 1, 1), 3, 0, 2, 6}, "Invalid recurrence (Xth)"},
      {{6, 1, Date(2025, 1, 1), 3, 0, 3, 1}, "Invalid recurrence (WeekDay)"},
      {{8, 1, Date(2025, 1, 1), 3, 0, 0, 0, 1, 13}, "Invalid recurrence (Month)"},
      {{8, 1, Date(2025, 1, 1), 3, 0, 0, 0, 0, 1}, "Invalid recurrence (FDayOfMonth)"},
      {{0, 1, Date(2025, 1, 1), 0}, "Invalid recurrence (OccurrenceCount)"},
      {{3, 1, Date(2025, 1, 1), 3, 16, 0, 0, 0, 0, 7}, "Invalid recurrence (FirstDOW)"},
      {{11, 1, Date(2025, 1, 1), 3}, "Invalid recurrence (RecurrenceType)"},
      {{0, 1, Date(9999, 12, 1), 400}, "Invalid recurrence (OccurrenceCount)"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.Text, MessageOf([&] { Make(c.Spec)->CheckRecurrence(); })) << c.Text;

  auto regenerating = MakeComObject<TVoRecurrencePattern>(true);
  regenerating->Set_RecurrenceType(4);
  regenerating->Set_RecurrenceEndType(2);
  EXPECT_EQ("\"End by date\" is not allowed for regenerating tasks.",
            MessageOf([&] { regenerating->CheckRecurrence(); }));
  regenerating->Set_RecurrenceEndType(0);
  EXPECT_EQ("This method does not support regenerating tasks!",
            MessageOf([&] { regenerating->GetNextOccurrence(regenerating->Get_StartDate() + 1); }));
}

TEST(RecurrencePattern, SettersFollowTheirRules) {
  auto p = MakeComObject<TVoRecurrencePattern>();
  p->Set_RecurrenceType(1);
  EXPECT_EQ(7, p->Get_Interval());
  p->Set_Interval(0);
  p->Set_RecurrenceType(3);
  EXPECT_EQ(1, p->Get_Interval());
  p->Set_StartTime(Date(2025, 1, 1, 22, 15));
  p->Set_Duration(150);
  EXPECT_EQ(Date(1899, 12, 31, 0, 45) - 1, p->Get_EndTime());
  EXPECT_EQ("Do not set the endtime, set the duration instead!", MessageOf([&] { p->Set_EndTime(0.5); }));

  auto e = p->Exceptions().Add(Date(2025, 1, 1));
  e->Set_Location(u"x");
  EXPECT_TRUE(e->Get_LocationChanged());
  e->Set_LocationChanged(false);
  EXPECT_EQ(0u, e->Get_Modifications());
}

TEST(RecurrencePattern, DescribesItself) {
  auto p = Make({3, 2, Date(2025, 1, 6), 4, 16 | 64});
  p->Set_StartTime(Date(1899, 12, 30, 9, 30));
  p->Set_Duration(30);
  p->Set_RecurrenceEndType(0);
  EXPECT_EQ(u"Occurs every 2 weeks on monday and wednesDay effective 2025-01-06 from 09:30 to 10:00",
            p->Get_RecurrencePattern());
  p = Make({6, 1, Date(2025, 1, 1), 3, 0, 4, 5});
  p->Set_Duration(2880);
  p->Set_RecurrenceEndType(0);
  EXPECT_EQ(u"Occurs the last weekendday of every 1 month(s) effective 2025-01-01 from 09:00 for 2.00 day(s)",
            p->Get_RecurrencePattern());
  p = Make({8, 1, Date(2024, 2, 29), 1, 0, 0, 0, 29, 2});
  p->CheckRecurrence();
  EXPECT_EQ(u"Occurs every febrary 29 effective 2024-02-29 until 2024-02-29 from 09:00 to 10:00",
            p->Get_RecurrencePattern());
  auto task = MakeComObject<TVoRecurrencePattern>(true);
  task->Set_RecurrenceType(7);
  task->Set_Interval(3);
  task->Set_StartDate(Date(2025, 1, 6));
  EXPECT_EQ(u"Due 3 months after this task is completed effective 2025-01-06", task->Get_RecurrencePattern());
  task->Set_RecurrenceType(3);
  EXPECT_EQ("Invalid recurrence", MessageOf([&] { task->Get_RecurrencePattern(); }));
}

// The local start of an occurrence in UTC, by the pattern's zone.
TDateTime StartUTC(TVoRecurrencePattern& p, const TVoMAPIApptOccurrence& occ) {
  return p.TimeZone().LocalToUTC(VoISO8601ToDateTime(occ.StartDate + u"T" + occ.StartTime));
}

TEST(RecurrencePattern, KeepsWallClockTimesAcrossDaylightSavingChanges) {
  MachineZone berlin("Europe/Berlin");
  for (bool itemZone : {false, true}) {
    auto weekly = Make({3, 1, Date(2025, 3, 24), 2, 16});
    auto october = Make({3, 1, Date(2025, 10, 20), 2, 16});
    auto nights = Make({0, 210, Date(2025, 3, 30), 2});  // Mar 30 and Oct 26, 02:30
    nights->Set_StartTime(Date(1899, 12, 30, 2, 30));
    if (itemZone)
      for (auto* p : {weekly.get(), october.get(), nights.get()})
        p->SetTimeZone(TVoRecurrenceTimeZone(TVoRecurrenceTimeZone::MachineDefinition(2025)));
    TVoMAPIApptOccurrence occ = weekly->GetFirstOccurrence();
    EXPECT_EQ(Date(2025, 3, 24, 8), StartUTC(*weekly, occ));
    EXPECT_EQ(Date(2025, 3, 31, 7), StartUTC(*weekly, weekly->GetNextOccurrence(occ.OriginalStartDate)));
    occ = october->GetFirstOccurrence();
    EXPECT_EQ(Date(2025, 10, 20, 7), StartUTC(*october, occ));
    EXPECT_EQ(Date(2025, 10, 27, 8), StartUTC(*october, october->GetNextOccurrence(occ.OriginalStartDate)));
    occ = nights->GetFirstOccurrence();
    EXPECT_EQ(Date(2025, 3, 30, 1, 30), StartUTC(*nights, occ));  // skipped hour: read as 03:30
    EXPECT_EQ(Date(2025, 10, 26, 0, 30), StartUTC(*nights, nights->GetNextOccurrence(occ.OriginalStartDate)));

    // The end is the local end converted, not the UTC start plus the duration.
    auto late = Make({0, 1, Date(2025, 3, 29), 1});
    late->Set_StartTime(Date(1899, 12, 30, 23));
    late->Set_Duration(240);
    auto allDay = Make({0, 1, Date(2025, 3, 30), 1});
    allDay->Set_StartTime(0);
    allDay->Set_Duration(1440);
    if (itemZone) late->SetTimeZone(weekly->TimeZone()), allDay->SetTimeZone(weekly->TimeZone());
    EXPECT_EQ(Date(2025, 3, 30, 1), late->GetSeriesTimes().EndWhole);
    const TVoRecurrenceSeriesTimes day = allDay->GetSeriesTimes();
    EXPECT_EQ(Date(2025, 3, 29, 23), day.StartWhole);
    EXPECT_EQ(Date(2025, 3, 30, 22), day.EndWhole);
    EXPECT_EQ(Date(2025, 3, 29, 23), day.ClipEnd);
  }
}

}  // namespace
}  // namespace orba::testing
