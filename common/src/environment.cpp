#include "orba/common/environment.h"

#include <unistd.h>

#include <cstdlib>

#include "orba/common/casefold.h"
#include "orba/common/utf8.h"

namespace orba {

// Looks a variable up, exact spelling first, then ignoring case.
static bool FindVariable(const WideString& name, WideString& value) {
  if (name.empty()) return false;
  if (const char* exact = std::getenv(ToUtf8(name).c_str())) {
    value = FromUtf8(exact);
    return true;
  }
  for (char** entry = environ; entry && *entry; ++entry) {
    WideString line = FromUtf8(*entry);
    size_t eq = line.find(u'=');
    if (eq != WideString::npos && VoSameText(std::u16string_view(line).substr(0, eq), name)) {
      value = line.substr(eq + 1);
      return true;
    }
  }
  return false;
}

WideString VoGetEnvironmentVariable(const WideString& name) {
  WideString value;
  FindVariable(name, value);
  return value;
}

WideString VoExpandEnvironmentStrings(const WideString& text) {
  WideString result;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t open = text.find(u'%', pos);
    size_t close = open == WideString::npos ? open : text.find(u'%', open + 1);
    if (close == WideString::npos) break;
    WideString name = text.substr(open + 1, close - open - 1);
    result.append(text, pos, open - pos);
    WideString value;
    if (FindVariable(name, value)) {
      result += value;
      pos = close + 1;
    } else {
      // Not a variable: keep the first "%" and look for a name from the second one on.
      result += u'%';
      pos = open + 1;
    }
  }
  result.append(text, pos, WideString::npos);
  return result;
}

WideString VoExpandFileName(const WideString& fileName) { return VoExpandEnvironmentStrings(fileName); }

WideString VoOrbaHome() {
  if (const char* home = std::getenv("ORBA_HOME"); home && *home) return FromUtf8(home);
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return FromUtf8(data) + u"/orbamapi";
  const char* user = std::getenv("HOME");
  return FromUtf8(user ? user : "") + u"/.local/share/orbamapi";
}

}  // namespace orba
