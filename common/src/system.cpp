#include "orba/common/system.h"

#include <fcntl.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "orba/common/casefold.h"
#include "orba/common/environment.h"
#include "orba/common/utf8.h"

namespace orba {

namespace {

std::string Machine() {
  utsname info{};
  return uname(&info) == 0 ? info.machine : "";
}

bool Is64BitMachine(const std::string& machine) {
  return machine == "x86_64" || machine == "aarch64" || machine == "arm64" || machine.find("64") != std::string::npos;
}

struct LocaleEntry {
  const char16_t* Name;  // language, or language_territory
  uint32_t Lcid;
};

// The common locales; a language alone stands for its main country.
constexpr LocaleEntry kLocales[] = {
    {u"en_US", 1033}, {u"en_GB", 2057},  {u"en_AU", 3081}, {u"en_CA", 4105}, {u"en_NZ", 5129},  {u"en_IE", 6153},
    {u"en_ZA", 7177}, {u"en_IN", 16393}, {u"en", 1033},    {u"de_DE", 1031}, {u"de_CH", 2055},  {u"de_AT", 3079},
    {u"de_LU", 4103}, {u"de", 1031},     {u"fr_FR", 1036}, {u"fr_BE", 2060}, {u"fr_CA", 3084},  {u"fr_CH", 4108},
    {u"fr_LU", 5132}, {u"fr", 1036},     {u"es_ES", 3082}, {u"es_MX", 2058}, {u"es_AR", 11274}, {u"es", 3082},
    {u"it_IT", 1040}, {u"it_CH", 2064},  {u"it", 1040},    {u"nl_NL", 1043}, {u"nl_BE", 2067},  {u"nl", 1043},
    {u"pt_BR", 1046}, {u"pt_PT", 2070},  {u"pt", 2070},    {u"sv_SE", 1053}, {u"sv", 1053},     {u"da_DK", 1030},
    {u"da", 1030},    {u"nb_NO", 1044},  {u"nb", 1044},    {u"nn_NO", 2068}, {u"no", 1044},     {u"fi_FI", 1035},
    {u"fi", 1035},    {u"pl_PL", 1045},  {u"pl", 1045},    {u"cs_CZ", 1029}, {u"cs", 1029},     {u"sk_SK", 1051},
    {u"sk", 1051},    {u"hu_HU", 1038},  {u"hu", 1038},    {u"ro_RO", 1048}, {u"ro", 1048},     {u"ru_RU", 1049},
    {u"ru", 1049},    {u"uk_UA", 1058},  {u"uk", 1058},    {u"el_GR", 1032}, {u"el", 1032},     {u"tr_TR", 1055},
    {u"tr", 1055},    {u"he_IL", 1037},  {u"he", 1037},    {u"ar_SA", 1025}, {u"ar", 1025},     {u"ja_JP", 1041},
    {u"ja", 1041},    {u"ko_KR", 1042},  {u"ko", 1042},    {u"zh_CN", 2052}, {u"zh_TW", 1028},  {u"zh_HK", 3076},
    {u"zh_SG", 4100}, {u"zh", 2052},     {u"th_TH", 1054}, {u"th", 1054},    {u"vi_VN", 1066},  {u"vi", 1066},
    {u"id_ID", 1057}, {u"id", 1057},     {u"hr_HR", 1050}, {u"hr", 1050},    {u"sl_SI", 1060},  {u"sl", 1060},
    {u"bg_BG", 1026}, {u"bg", 1026},     {u"et_EE", 1061}, {u"et", 1061},    {u"lv_LV", 1062},  {u"lv", 1062},
    {u"lt_LT", 1063}, {u"lt", 1063},     {u"ca_ES", 1027}, {u"ca", 1027},    {u"is_IS", 1039},  {u"is", 1039},
};

bool FindInPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "";
  size_t pos = 0;
  while (pos <= dirs.size()) {
    size_t end = dirs.find(':', pos);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = end > pos ? dirs.substr(pos, end - pos) : ".";
    if (access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    pos = end + 1;
  }
  return false;
}

}  // namespace

bool IsCPU64() { return Is64BitMachine(Machine()); }

bool IsOS64() { return Is64BitMachine(Machine()); }

bool IsWow64() { return VoProcessBitness() == bt32 && IsOS64(); }

TVoElevationLevel VoGetElevationLevel() { return geteuid() == 0 ? elFull : elDefault; }

TVoOSVersion VoGetOSVersion() {
  TVoOSVersion version;
  utsname info{};
  if (uname(&info) != 0) return version;
  version.Name = FromUtf8(info.sysname);
  version.Release = FromUtf8(info.release);
  int32_t* parts[] = {&version.Major, &version.Minor, &version.Build};
  const char* p = info.release;
  for (int32_t* part : parts) {
    if (*p < '0' || *p > '9') break;
    char* end;
    *part = static_cast<int32_t>(std::strtol(p, &end, 10));
    p = end;
    if (*p != '.') break;
    ++p;
  }
  return version;
}

uint32_t VoLocaleNameToLCID(const WideString& name) {
  // "de_DE.UTF-8@euro" and "de-DE" both become "de_DE".
  WideString locale = name.substr(0, name.find_first_of(u".@"));
  for (auto& c : locale)
    if (c == u'-') c = u'_';
  WideString language = locale.substr(0, locale.find(u'_'));
  for (const auto& entry : kLocales)
    if (VoSameText(entry.Name, locale)) return entry.Lcid;
  for (const auto& entry : kLocales)
    if (VoSameText(entry.Name, language)) return entry.Lcid;
  return 0;
}

uint32_t VoGetUserDefaultLCID() {
  for (const char16_t* variable : {u"LC_ALL", u"LANG"}) {
    WideString value = VoGetEnvironmentVariable(variable);
    if (value.empty()) continue;
    uint32_t lcid = VoLocaleNameToLCID(value);
    return lcid ? lcid : 1033;
  }
  return 1033;
}

bool VoShellExecOpenFile(const WideString& fileName) {
  if (fileName.empty() || !FindInPath("xdg-open")) return false;
  // A child that starts xdg-open and leaves at once, so nothing is left to wait for
  // and the caller is not blocked by the program that opens the file.
  std::string file = ToUtf8(fileName);
  pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    setsid();
    pid_t opener = fork();
    if (opener == 0) {
      char* argv[] = {const_cast<char*>("xdg-open"), file.data(), nullptr};
      execvp("xdg-open", argv);
      _exit(127);
    }
    _exit(opener > 0 ? 0 : 1);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace orba
