// Environment settings for one test: variables set or unset for a scope, the machine
// time zone, a fresh ORBA_HOME; and small file helpers.
#pragma once

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "orba/common/files.h"
#include "orba/common/utf8.h"

namespace orba::test {

// Sets (or, with nullptr, unsets) an environment variable until the end of the scope;
// changed runs after every change, such as tzset for TZ.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value, void (*changed)() = nullptr) : name_(name), changed_(changed) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(value);
  }
  ~ScopedEnv() { Set(old_ ? old_->c_str() : nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  void Set(const char* value) {
    value ? setenv(name_.c_str(), value, 1) : unsetenv(name_.c_str());
    if (changed_) changed_();
  }

 private:
  std::string name_;
  void (*changed_)();
  std::optional<std::string> old_;
};

// The machine time zone (TZ) for one scope.
struct MachineZone : ScopedEnv {
  explicit MachineZone(const char* zone) : ScopedEnv("TZ", zone, tzset) {}
};

class TempHome {
 public:
  TempHome() : folder_(u"orbahome"), home_("ORBA_HOME", Home().c_str()) {}
  std::string Home() const { return ToUtf8(folder_.Path()); }
  std::string RegistryFile() const { return Home() + "/registry.reg"; }

 private:
  TVoTempFolder folder_;
  ScopedEnv home_;
};

inline std::string ReadText(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteText(const std::string& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

// Writes the header of a 32-bit ELF shared object for the i386: enough to tell its bitness.
inline void WriteElf32(const std::string& file) {
  std::string header(52, '\0');
  header.replace(0, 7,
                 "\x7f"
                 "ELF\x01\x01\x01",
                 7);  // 32-bit, little-endian, version 1
  header[16] = 3;     // ET_DYN
  header[18] = 3;     // EM_386
  header[20] = 1;     // EV_CURRENT
  header[40] = 52;    // e_ehsize
  WriteText(file, header);
}

}  // namespace orba::test
