// A fresh ORBA_HOME for one test, and small file helpers.
#pragma once

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "orba/common/files.h"
#include "orba/common/utf8.h"

namespace orba::test {

class TempHome {
 public:
  TempHome() : folder_(u"orbahome") {
    const char* old = std::getenv("ORBA_HOME");
    hadOld_ = old != nullptr;
    if (old) old_ = old;
    setenv("ORBA_HOME", Home().c_str(), 1);
  }
  ~TempHome() {
    if (hadOld_)
      setenv("ORBA_HOME", old_.c_str(), 1);
    else
      unsetenv("ORBA_HOME");
  }
  std::string Home() const { return ToUtf8(folder_.Path()); }
  std::string RegistryFile() const { return Home() + "/registry.reg"; }

 private:
  TVoTempFolder folder_;
  bool hadOld_ = false;
  std::string old_;
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
