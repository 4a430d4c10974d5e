#include "orba/common/timezone.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/temphome.h"
#include "orba/common/dates.h"

namespace {

using namespace orba;

// Sets TZ for one test and restores the previous setting afterwards.
class ZoneTest : public ::testing::Test {
 protected:
  void SetZone(const char* zone) { zone_.emplace(zone); }

 private:
  std::optional<test::MachineZone> zone_;
};

TDateTime At(int y, int m, int d, int h, int n) { return EncodeDateTime(y, m, d, h, n, 0, 0); }

TEST_F(ZoneTest, BerlinWinterSummerGapAndOverlap) {
  SetZone("Europe/Berlin");
  EXPECT_DOUBLE_EQ(VoLocalToUTC(At(2024, 1, 15, 12, 0)), At(2024, 1, 15, 11, 0));
  EXPECT_DOUBLE_EQ(VoLocalToUTC(At(2024, 7, 15, 12, 0)), At(2024, 7, 15, 10, 0));
  EXPECT_DOUBLE_EQ(VoUTCToLocal(At(2024, 12, 31, 23, 30)), At(2025, 1, 1, 0, 30));
  EXPECT_EQ(VoGetTimeZoneBias(At(2024, 7, 15, 0, 0)), -120);
  EXPECT_EQ(VoGetTimeZone(), u"Europe/Berlin");
  // 2024-03-31 02:00 CET the clocks jump to 03:00 CEST; 02:30 never occurs.
  EXPECT_DOUBLE_EQ(VoLocalToUTC(At(2024, 3, 31, 2, 30)), At(2024, 3, 31, 1, 30));
  EXPECT_DOUBLE_EQ(VoUTCToLocal(At(2024, 3, 31, 1, 30)), At(2024, 3, 31, 3, 30));
  // 2024-10-27 03:00 CEST the clocks go back to 02:00 CET; 02:30 occurs twice.
  EXPECT_DOUBLE_EQ(VoLocalToUTC(At(2024, 10, 27, 2, 30)), At(2024, 10, 27, 0, 30));
  EXPECT_DOUBLE_EQ(VoUTCToLocal(At(2024, 10, 27, 0, 30)), At(2024, 10, 27, 2, 30));
  EXPECT_DOUBLE_EQ(VoUTCToLocal(At(2024, 10, 27, 1, 30)), At(2024, 10, 27, 2, 30));
}

TEST_F(ZoneTest, KeepsMillisecondsAndNegativeDates) {
  SetZone("Europe/Berlin");
  const TDateTime t = EncodeDateTime(2024, 1, 15, 12, 0, 0, 123);
  EXPECT_DOUBLE_EQ(VoUTCToLocal(VoLocalToUTC(t)), t);
  SetZone("UTC");
  EXPECT_DOUBLE_EQ(VoLocalToUTC(-1.25), -1.25);
}

TEST_F(ZoneTest, BerlinRulesAsWindowsTimeZoneInformation) {
  SetZone("Europe/Berlin");
  const TVoTimeZoneInfo info = TVoTimeZones::Local(2024);
  EXPECT_EQ(info.Name, u"Europe/Berlin");
  EXPECT_EQ(info.Bias, -60);
  EXPECT_EQ(info.StandardName, u"CET");
  EXPECT_EQ(info.DaylightName, u"CEST");
  // Last Sunday of March at 02:00, last Sunday of October at 03:00.
  EXPECT_EQ(info.DaylightDate.wMonth, 3);
  EXPECT_EQ(info.DaylightDate.wDay, 5);
  EXPECT_EQ(info.DaylightDate.wHour, 2);
  EXPECT_EQ(info.StandardDate.wMonth, 10);
  EXPECT_EQ(info.StandardDate.wDay, 5);
  EXPECT_EQ(info.StandardDate.wHour, 3);
}

TEST_F(ZoneTest, NewYorkWeeksAndZonesWithoutDaylightSaving) {
  SetZone("America/New_York");
  TVoTimeZoneInfo info = TVoTimeZones::Local(2024);
  EXPECT_EQ(info.DaylightDate.wDay, 2);  // second Sunday of March
  EXPECT_EQ(info.StandardDate.wDay, 1);  // first Sunday of November
  SetZone("Asia/Tokyo");
  info = TVoTimeZones::Local(2024);
  EXPECT_EQ(info.Bias, -540);
  EXPECT_EQ(info.DaylightDate.wMonth, 0);
  EXPECT_EQ(info.StandardDate.wMonth, 0);
}

TEST_F(ZoneTest, ZoneNameWithoutColon) {
  SetZone(":America/New_York");
  EXPECT_EQ(VoGetTimeZone(), u"America/New_York");
}

}  // namespace
