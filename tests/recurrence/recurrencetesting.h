// Helpers of the recurrence tests: fixtures, the corpus oracle, time-zone switching.
#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/mapierror.h"
#include "common/temphome.h"
#include "orba/VoMAPIRecurrence.h"
#include "orba/common/dates.h"
#include "orba/common/utf8.h"
#include "recurrence/VoRecurrenceStream.h"

namespace orba::testing {

using test::MachineZone;
using test::MessageOf;

inline TVoBytes ReadFixture(const std::string& name) {
  std::ifstream in(std::string(ORBA_TEST_DATA_DIR) + "/recurrence/" + name, std::ios::binary);
  EXPECT_TRUE(in) << name;
  return TVoBytes(std::istreambuf_iterator<char>(in), {});
}

inline nlohmann::json ReadOracle(const std::string& msgName) {
  std::ifstream in(std::string(ORBA_TEST_DATA_DIR) + "/msg/" + msgName + ".json");
  EXPECT_TRUE(in) << msgName;
  return nlohmann::json::parse(in);
}

// "Fri, 06 Jan 2023 03:00:00 GMT" as a date-time value.
inline TDateTime ParseHttpDate(const std::string& text) {
  tm parts{};
  EXPECT_TRUE(strptime(text.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &parts)) << text;
  return EncodeDateTime(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, 0, 0);
}

inline int64_t Minutes(TDateTime value) { return VoDateTimeToMinutes(value); }

inline ComPtr<TVoRecurrencePattern> Decode(const TVoBytes& data, bool isTask = false) {
  auto pattern = MakeComObject<TVoRecurrencePattern>(isTask);
  pattern->Set_Data(data);
  return pattern;
}

inline TDateTime Date(int y, int m, int d, int h = 0, int n = 0) { return EncodeDateTime(y, m, d, h, n, 0, 0); }

}  // namespace orba::testing
