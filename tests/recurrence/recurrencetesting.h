// Helpers of the recurrence tests: fixtures, the corpus oracle, time-zone switching.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "orba/VoMAPIRecurrence.h"
#include "orba/common/dates.h"
#include "orba/common/utf8.h"
#include "recurrence/VoRecurrenceStream.h"

namespace orba::testing {

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

// The text of the EVoException the statement raises ("" when it raises none).
template <class F>
std::string ErrorOf(F&& statement) {
  try {
    statement();
  } catch (const EVoException& e) {
    return e.what();
  }
  return "";
}

// Runs the test body under the machine zone named (TZ), restoring the old one after.
class MachineZone {
 public:
  explicit MachineZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old, hadOld_ = true;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~MachineZone() {
    hadOld_ ? setenv("TZ", old_.c_str(), 1) : unsetenv("TZ");
    tzset();
  }

 private:
  std::string old_;
  bool hadOld_ = false;
};

inline TDateTime Date(int y, int m, int d, int h = 0, int n = 0) { return EncodeDateTime(y, m, d, h, n, 0, 0); }

}  // namespace orba::testing
