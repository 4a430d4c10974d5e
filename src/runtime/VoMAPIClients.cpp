// Finding mail clients and their MAPI libraries in the registry.
#include <algorithm>
#include <exception>

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIExceptions.h"
#include "orba/VoMAPILib.h"
#include "orba/common/casefold.h"
#include "orba/common/elf.h"
#include "orba/common/format.h"
#include "orba/common/oserror.h"
#include "orba/common/system.h"
#include "runtime/VoMAPILibInternal.h"

namespace orba {

namespace {

const WideString kOutlook = u"Microsoft Outlook";

bool IsOutlookOrEmpty(const WideString& clientName) { return clientName.empty() || VoSameText(clientName, kOutlook); }

// Whether a library can serve as Outlook's: the process's bitness and both Extended
// MAPI entry points exported.
bool Qualifies(const WideString& fileName) {
  try {
    if (!FileExists(fileName) || VoFileBitness(fileName) != VoProcessBitness()) return false;
    auto names = VoGetExportedFunctionNames(fileName);
    auto has = [&](const char16_t* name) { return std::find(names.begin(), names.end(), name) != names.end(); };
    return has(u"MAPIInitialize") && has(u"MAPILogonEx");
  } catch (const EVoOSError&) {
    return false;  // not a library of this machine
  }
}

// The fixed place of Outlook's MAPI library for an installation without registration.
WideString OutlookCandidate(const TVoOutlookInfo& info) {
  bool cpu64 = IsCPU64();
  if (info.Mode == olmClickToRun) {
    if (info.Version == OL2013)
      return cpu64 ? u"C:\\Program Files\\Microsoft Office "
                     u"15\\root\\vfs\\ProgramFilesCommonX64\\SYSTEM\\MSMAPI\\1033\\msmapi32.dll"
                   : u"C:\\Program Files (x86)\\Microsoft Office "
                     u"15\\root\\vfs\\ProgramFilesCommonX86\\SYSTEM\\MSMAPI\\1033\\msmapi32.dll";
    if (info.Version == OL2016 || info.Version == OL2019)
      return cpu64 ? u"C:\\Program Files\\Microsoft "
                     u"Office\\root\\VFS\\ProgramFilesCommonX64\\system\\msmapi\\1033\\msmapi32.dll"
                   : u"C:\\Program Files (x86)\\Microsoft "
                     u"Office\\root\\VFS\\ProgramFilesCommonX86\\system\\msmapi\\1033\\msmapi32.dll";
    return {};
  }
  return cpu64 ? u"C:\\Program Files\\Common Files\\System\\MSMAPI\\1033\\msmapi32.dll"
               : u"C:\\Program Files (x86)\\Common Files\\System\\MSMAPI\\1033\\msmapi32.dll";
}

WideString ExistingExpanded(const TVoRegistry& key, const WideString& name) {
  WideString path = key.ReadExpandedString(name);
  return !path.empty() && FileExists(path) ? path : WideString();
}

bool HasExtendedExports(const WideString& fileName) {
  try {
    auto names = VoGetExportedFunctionNames(fileName);
    return std::find(names.begin(), names.end(), u"MAPIInitialize") != names.end() &&
           std::find(names.begin(), names.end(), u"MAPILogonEx") != names.end();
  } catch (const EVoOSError&) {
    return false;
  }
}

[[noreturn]] void RaiseNoClientDll(const WideString& clientName) {
  kit::Raise(E_INVALIDARG,
             u"Failed to locate the MAPI dll for the client \"%0:s\"!\r\nCheck the value of the "
             u"\"\\Software\\Clients\\Mail\\%0:s\\DllPath\" or "
             u"\"\\Software\\Clients\\Mail\\%0:s\\DllPathEx\" registry key.",
             {clientName});
}

// The library a client's name stands for, as loading chooses it.
WideString ClientFileName(const WideString& clientName) {
  if (IsOutlookOrEmpty(clientName) && VoGetOutlookInfo().Version != NoOutlookInstalled) {
    WideString fileName = VoFindMAPIDll(kOutlook);
    return FileExists(fileName) ? fileName : WideString(u"MAPI32.dll");
  }
  WideString fileName = VoFindMAPIDll(clientName);
  if (!fileName.empty()) return fileName;
  if (clientName.empty()) return u"MAPI32.dll";
  RaiseNoClientDll(clientName);
}

}  // namespace

namespace detail {

WideString VoFindInOfficeTree(const WideString& path, const WideString& name) {
  WideString folded = VoFoldCase(path);
  size_t office = folded.find(u"office\\");
  if (office == WideString::npos) office = folded.find(u"office/");
  if (office == WideString::npos) return {};
  auto files = VoFindFiles(path.substr(0, office + 7), name, true);
  if (files.empty()) return {};
  WideString locale = Format(u"%u", {VoGetUserDefaultLCID()});
  for (const auto& file : files)
    if (file.find(locale) != WideString::npos) return file;
  return files.front();
}

WideString VoIncludeTrailingDelimiter(const WideString& folder) {
  if (folder.empty() || folder.back() == u'\\' || folder.back() == u'/') return folder;
  return folder + (folder.find(u'/') == WideString::npos ? u"\\" : u"/");
}

}  // namespace detail

WideString VoFindMAPIDll(TVoRegRoot RootKey, const WideString& ClientName) {
  WideString path;
  TVoRegistry registry(KEY_READ);
  registry.SetRootKey(RootKey);
  if (registry.OpenKeyReadOnly(u"\\Software\\Clients\\Mail\\" + ClientName)) {
    path = ExistingExpanded(registry, u"DLLPathEx");
    if (path.empty()) path = ExistingExpanded(registry, u"DLLPath");
  }
  if (VoSameText(ExtractFileName(path), u"olmapi32.dll")) {
    WideString msmapi = detail::VoFindInOfficeTree(path, u"msmapi32.dll");
    if (!msmapi.empty()) path = msmapi;
  }
  bool outlook = IsOutlookOrEmpty(ClientName);
  if (!path.empty() && outlook && !Qualifies(path)) path.clear();
  if (!path.empty() || !outlook) return path;
  TVoOutlookInfo info = VoGetOutlookInfo();
  WideString candidate = OutlookCandidate(info);
  if (!candidate.empty() && Qualifies(candidate)) return candidate;
  return info.MAPIDLL;
}

WideString VoFindMAPIDll(const WideString& ClientName) {
  WideString path = VoFindMAPIDll(HKEY_CURRENT_USER, ClientName);
  return path.empty() ? VoFindMAPIDll(HKEY_LOCAL_MACHINE, ClientName) : path;
}

void VoLoadMAPIClientDLL(const WideString& ClientName, WideString& FileName, bool& IsExtended, bool UnloadOnUninit) {
  std::lock_guard<std::recursive_mutex> lock(detail::VoMAPILibLock());
  FileName = ClientFileName(ClientName);
  if (detail::VoLockedMAPIModule()) {
    if (FileName != VoCurrentMAPIDllFileName())
      kit::Raise(E_FAIL, u"Failed to load (%s)! You must first unload %s.", {FileName, VoCurrentMAPIDllFileName()});
  }
  VoLoadMAPIDLL(FileName, IsExtended, UnloadOnUninit);
}

TVoBitness VoMAPIClientDLLBitness(const WideString& ClientName, WideString& FileName) {
  FileName = ClientFileName(ClientName);
  WideString file = HasFolderPart(FileName) ? FileName : VoResolveMAPIStub();
  if (file.empty() || !FileExists(file))
    kit::Raise(E_INVALIDARG, u"Failed to check the bitness of the given MAPI dll (%s)!\r\nThe file does not exist.",
               {FileName});
  return VoFileBitness(file);
}

TVoMAPIClients VoGetMAPIClients() {
  struct TView {
    TVoRegRoot Root;
    uint32_t Flag;
    TVoBitness Bitness;
  };
  std::vector<TView> views{{HKEY_CURRENT_USER, KEY_WOW64_32KEY, bt32}};
  if (IsCPU64()) views.push_back({HKEY_CURRENT_USER, KEY_WOW64_64KEY, bt64});
  views.push_back({HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, bt32});
  if (IsCPU64()) views.push_back({HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, bt64});

  WideString defaultName;
  TVoMAPIClients clients;
  for (const TView& view : views) {
    TVoRegistry registry(KEY_READ | view.Flag);
    registry.SetRootKey(view.Root);
    if (!registry.OpenKeyReadOnly(u"SOFTWARE\\Clients\\Mail")) continue;
    WideString name = registry.ReadString(u"");
    if (!name.empty() && !VoSameText(defaultName, kOutlook)) defaultName = name;
    for (const WideString& key : registry.GetKeyNames()) {
      if (VoSameText(key, u"Hotmail") || VoSameText(key, kOutlook)) continue;
      // Keys shared by the views (all of HKCU) would otherwise be listed twice.
      if (std::any_of(clients.begin(), clients.end(),
                      [&](const TVoMAPIClient& c) { return VoSameText(c.ClientName, key); }))
        continue;
      TVoMAPIClient client;
      client.ClientName = key;
      client.MAPIDLL = VoFindMAPIDll(view.Root, key);
      bool exchange = VoSameText(key, u"ExchangeMAPI");
      bool exists = !client.MAPIDLL.empty() && FileExists(client.MAPIDLL);
      client.MAPIInterface = exchange || (exists && HasExtendedExports(client.MAPIDLL)) ? ciExtendedMAPI : ciSimpleMAPI;
      client.Bitness = exchange ? bt32 : exists ? VoFileBitness(client.MAPIDLL) : view.Bitness;
      clients.push_back(std::move(client));
    }
  }
  for (TVoMAPIClient& client : clients) {
    client.IsDefault = VoSameText(client.ClientName, defaultName);
    client.InProc = client.Bitness == VoProcessBitness();
  }
  TVoOutlookInfo outlook = VoGetOutlookInfo();
  if (outlook.Version != NoOutlookInstalled) {
    TVoMAPIClient client;
    client.ClientName = kOutlook;
    client.MAPIDLL = outlook.MAPIDLL;
    client.MAPIInterface = ciExtendedMAPI;
    client.Bitness = outlook.Bitness;
    client.InProc = client.Bitness == VoProcessBitness();
    client.IsDefault =
        defaultName.empty() || VoSameText(defaultName, kOutlook) || VoSameText(defaultName, u"PackagedMail");
    clients.push_back(std::move(client));
  }
  return clients;
}

TVoMAPIInfoRec VoGetMAPIInfo() {
  TVoMAPIInfoRec info;
  info.Bitness = IsCPU64() && !IsWow64() ? bt64 : bt32;
  info.InProc = true;
  WideString names;
  for (const TVoMAPIClient& client : VoGetMAPIClients()) {
    if (client.MAPIInterface == ciExtendedMAPI) info.ExtendedMAPI = true;
    if (client.MAPIInterface == ciSimpleMAPI) info.SimpleMAPI = true;
    names += u",\"" + client.ClientName + u"\"";
    if (client.IsDefault) {
      info.DefaultClient = client.ClientName;
      info.Bitness = client.Bitness;
      info.InProc = client.InProc;
    }
  }
  info.Clients = names.empty() ? names : names.substr(1);
  info.Version = info.ExtendedMAPI ? u"1.0.0.1" : info.SimpleMAPI ? u"1.0.0.0" : u"";
  return info;
}

}  // namespace orba
