// Steering and counters shared by the test doubles of MAPI client libraries: the test
// binds FakeSet/FakeGet/FakeText/FakeReset with dlsym and steers results by name.
#pragma once

#include <map>
#include <string>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace fake {

inline std::map<std::string, long>& Values() {
  static std::map<std::string, long> values;
  return values;
}
inline std::map<std::string, std::string>& Texts() {
  static std::map<std::string, std::string> texts;
  return texts;
}
inline long Get(const std::string& name) {
  auto it = Values().find(name);
  return it == Values().end() ? 0 : it->second;
}
inline void Count(const std::string& name) { ++Values()["calls." + name]; }
// Text of a call argument: 8-bit as it is, UTF-16 narrowed (tests use ASCII), null as "<null>".
inline std::string Arg(const void* text, bool wide) {
  if (!text) return "<null>";
  std::string result;
  if (wide)
    for (const char16_t* p = static_cast<const char16_t*>(text); *p; ++p) result += static_cast<char>(*p);
  else
    result = static_cast<const char*>(text);
  return result;
}

}  // namespace fake

FAKE_EXPORT void FakeSet(const char* name, long value) { fake::Values()[name] = value; }
FAKE_EXPORT long FakeGet(const char* name) { return fake::Get(name); }
FAKE_EXPORT const char* FakeText(const char* name) { return fake::Texts()[name].c_str(); }
FAKE_EXPORT void FakeReset() {
  fake::Values().clear();
  fake::Texts().clear();
}
