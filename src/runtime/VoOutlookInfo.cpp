// Outlook detection: which version is installed, how, and where its MAPI library is,
// read from the registry step by step in both registry views.
#include <mutex>
#include <optional>

#include "orba/VoMAPILib.h"
#include "orba/common/casefold.h"
#include "orba/common/elf.h"
#include "orba/common/oserror.h"
#include "orba/common/system.h"
#include "runtime/VoMAPILibInternal.h"

namespace orba {

namespace {

std::mutex gInfoLock;
std::optional<TVoOutlookInfo> gInfo;

const WideString kOutlookClient = u"Software\\Clients\\Mail\\Microsoft Outlook";

// One registry view: its access flag and bitness.
struct TView {
  uint32_t Flag;
  TVoBitness Bitness;
};

// Opens a key of the view read-only under the first of the roots that has it.
bool OpenFirst(TVoRegistry& registry, const WideString& key,
               std::initializer_list<TVoRegRoot> roots = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
  for (TVoRegRoot root : roots) {
    registry.SetRootKey(root);
    if (registry.OpenKeyReadOnly(key)) return true;
  }
  return false;
}

bool HasBitness(const WideString& fileName, TVoBitness bitness) {
  try {
    return FileExists(fileName) && VoFileBitness(fileName) == bitness;
  } catch (const EVoOSError&) {
    return false;
  }
}

// Step (a): the version text from "MSIApplicationLCID" and the library from "DllPathEx".
void DetectRegistered(const TView& view, TVoOutlookInfo& info) {
  auto lines = VoReadMultiLineReg(HKEY_CURRENT_USER, kOutlookClient, u"MSIApplicationLCID", view.Flag);
  if (lines.empty()) lines = VoReadMultiLineReg(HKEY_LOCAL_MACHINE, kOutlookClient, u"MSIApplicationLCID", view.Flag);
  if (!lines.empty() && lines.front().size() > 17) {
    WideString rest = lines.front().substr(17);
    info.VersionNumberEx = rest.substr(0, rest.find(u'\\'));
  }
  TVoRegistry registry(KEY_READ | view.Flag);
  for (TVoRegRoot root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    registry.SetRootKey(root);
    if (!registry.OpenKeyReadOnly(kOutlookClient)) continue;
    WideString path = registry.ReadExpandedString(u"DllPathEx");
    if (path.empty()) continue;
    if (HasBitness(path, view.Bitness)) info.MAPIDLL = path;
    break;
  }
}

// Step (b): a Click-to-Run installation of the version found, else of 16.0, 15.0, 14.0.
void DetectClickToRun(const TView& view, TVoOutlookInfo& info) {
  std::vector<WideString> versions;
  if (!info.VersionNumberEx.empty())
    versions.push_back(info.VersionNumberEx);
  else
    versions = {u"16.0", u"15.0", u"14.0"};
  TVoRegistry registry(KEY_READ | view.Flag);
  for (const WideString& v : versions) {
    const WideString office = u"\\Microsoft\\Office\\" + v + u"\\Outlook\\InstallRoot";
    const WideString keys[] = {
        u"SOFTWARE\\Microsoft\\Office\\" + v + u"\\ClickToRun\\REGISTRY\\MACHINE\\Software\\Wow6432Node" + office,
        u"SOFTWARE\\Microsoft\\Office\\" + v + u"\\ClickToRun\\REGISTRY\\MACHINE\\Software" + office,
        u"SOFTWARE\\Microsoft\\Office\\ClickToRun\\REGISTRY\\MACHINE\\Software\\Wow6432Node" + office,
        u"SOFTWARE\\Microsoft\\Office\\ClickToRun\\REGISTRY\\MACHINE\\Software" + office};
    for (const WideString& key : keys) {
      if (!OpenFirst(registry, key)) continue;
      info.InstallRoot = registry.ReadString(u"Path");
      info.VersionNumberEx = v;
      info.Mode = olmClickToRun;
      WideString candidate = detail::VoIncludeTrailingDelimiter(info.InstallRoot) + u"OLMAPI32.dll";
      for (const char16_t* client : {u"SOFTWARE\\Microsoft\\Office\\16."
                                     u"0\\ClickToRun\\REGISTRY\\MACHINE\\Software\\Clients\\Mail\\Microsoft Outlook",
                                     u"SOFTWARE\\Microsoft\\Office\\15."
                                     u"0\\ClickToRun\\REGISTRY\\MACHINE\\Software\\Clients\\Mail\\Microsoft Outlook",
                                     u"SOFTWARE\\Microsoft\\Office\\ClickToRun\\REGISTRY\\MACHINE\\Software\\Clients\\M"
                                     u"ail\\Microsoft Outlook"}) {
        if (!OpenFirst(registry, client)) continue;
        candidate = registry.ReadExpandedString(u"DllPathEx");
        break;
      }
      if (info.MAPIDLL.empty() && HasBitness(candidate, view.Bitness)) info.MAPIDLL = candidate;
      return;
    }
  }
}

// Step (c): a Windows Installer installation of Outlook 2007 to 2016.
void DetectInstalled(const TView& view, TVoOutlookInfo& info) {
  TVoRegistry registry(KEY_READ | view.Flag);
  for (const char16_t* version : {u"16.0", u"15.0", u"14.0", u"13.0", u"12.0"}) {
    WideString key = u"SOFTWARE\\Microsoft\\Office\\" + WideString(version) + u"\\Outlook\\InstallRoot";
    if (!OpenFirst(registry, key, {HKEY_LOCAL_MACHINE})) continue;
    info.InstallRoot = registry.ReadString(u"Path");
    WideString library = detail::VoIncludeTrailingDelimiter(info.InstallRoot) + u"OLMAPI32.dll";
    if (FileExists(library)) {
      info.VersionNumberEx = key.substr(26, 4);
      info.MAPIDLL = library;
    }
    return;
  }
}

// Step (d): Outlook installed from the store.
void DetectStoreApp(const TView& view, TVoOutlookInfo& info) {
  TVoRegistry registry(KEY_READ | view.Flag);
  if (!OpenFirst(registry, u"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\outlook.exe",
                 {HKEY_CURRENT_USER}))
    return;
  WideString folder = registry.ReadString(u"Path");
  WideString library = detail::VoIncludeTrailingDelimiter(folder) + u"OLMAPI32.dll";
  bool x86 = folder.find(u"_x86_") != WideString::npos;
  if (!folder.empty() && FileExists(library) && x86 == (view.Bitness == bt32)) {
    info.VersionNumberEx = u"16.0";
    info.InstallRoot = folder;
    info.MAPIDLL = library;
    info.Mode = olmWindowsStoreApp;
  }
}

TVoOutlookInfo DetectInView(const TView& view) {
  TVoOutlookInfo info;
  DetectRegistered(view, info);
  DetectClickToRun(view, info);
  if (info.VersionNumberEx.empty()) DetectInstalled(view, info);
  if (info.VersionNumberEx.empty()) DetectStoreApp(view, info);
  return info;
}

int32_t VersionNumberOf(WideString text) {
  if (text.find(u'.') == WideString::npos) text += u"0";
  WideString digits;
  for (char16_t c : text)
    if (c != u'.') digits += c;
  if (digits.empty() || digits.size() > 9) return 0;
  int32_t number = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return 0;
    number = number * 10 + (c - u'0');
  }
  return number;
}

TVoOutlookMajorVersion VersionOf(int32_t number) {
  switch (number) {
    case 80: return OL97;
    case 85: return OL98;
    case 90: return OL2000;
    case 100: return OL2002;
    case 110: return OL2003;
    case 120: return OL2007;
    case 140: return OL2010;
    case 150: return OL2013;
    case 160: return OL2016;
    case 170: return OL2019;
    default: return NoOutlookInstalled;
  }
}

TVoOutlookInfo Detect() {
  bool wide = IsCPU64() || IsWow64();
  TVoOutlookInfo info;
  if (wide) info = DetectInView({KEY_WOW64_64KEY, bt64});
  if (info.VersionNumberEx.empty()) info = DetectInView({KEY_WOW64_32KEY, bt32});
  if (!info.MAPIDLL.empty() && FileExists(info.MAPIDLL)) {
    try {
      info.Bitness = wide ? VoFileBitness(info.MAPIDLL) : bt32;
    } catch (const EVoOSError&) {
      info.Bitness = bt32;  // not a library: nothing to load either way
    }
  }
  info.VersionNumber = VersionNumberOf(info.VersionNumberEx);
  info.Version = VersionOf(info.VersionNumber);
  if (info.Version == OL2000) {
    TVoRegistry registry(KEY_READ);
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    bool cw = registry.OpenKeyReadOnly(u"SOFTWARE\\Microsoft\\Office\\9.0\\Outlook\\Setup") &&
              registry.GetDataType(u"MailSupport") == REG_DWORD && registry.ReadInteger(u"MailSupport") == 1;
    info.Mode = cw ? olmCW : olmIMO;
  }
  return info;
}

}  // namespace

namespace detail {
void VoResetOutlookInfo() {
  std::lock_guard<std::mutex> lock(gInfoLock);
  gInfo.reset();
}
}  // namespace detail

TVoOutlookInfo VoGetOutlookInfo() {
  std::lock_guard<std::mutex> lock(gInfoLock);
  if (!gInfo) gInfo = Detect();
  return *gInfo;
}

bool VoGetOutlookRunning() { return false; }

}  // namespace orba
