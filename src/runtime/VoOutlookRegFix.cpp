// The Click-to-Run repair: Click-to-Run Outlook keeps its COM registration in a virtual
// registry, so programs outside it cannot marshal MAPI's interfaces or create Outlook's
// MAPI classes. The repair registers them for the user.
#include <fstream>

#include "mapi/acctmgmt.h"
#include "mapi/mapiguid.h"
#include "mapi/mimeole.h"
#include "orba/VoMAPILib.h"
#include "orba/common/casefold.h"
#include "orba/common/exceptions.h"
#include "orba/common/files.h"
#include "orba/common/format.h"
#include "orba/common/utf8.h"
#include "runtime/VoMAPILibInternal.h"

namespace orba {

namespace {

const WideString kMarkerKey = u"Software\\Velmora\\OrbaMAPI\\RegFix";
constexpr int32_t kFixVersion = 3;
const WideString kProxyStub = u"{4D2F086C-6EA3-101B-A18A-00AA00446E07}";

struct TNamedIID {
  const char16_t* Name;
  IID Iid;
};

// The MAPI interfaces that are marshalled through MAPI's proxy/stub factory.
const TNamedIID kInterfaces[] = {{u"IMAPISession", IID_IMAPISession},
                                 {u"IMAPITable", IID_IMAPITable},
                                 {u"IMAPIAdviseSink", IID_IMAPIAdviseSink},
                                 {u"IMAPIProp", IID_IMAPIProp},
                                 {u"IProfSect", IID_IProfSect},
                                 {u"IMAPIStatus", IID_IMAPIStatus},
                                 {u"IMAPIMsgStore", IID_IMsgStore},
                                 {u"Imessage", IID_IMessage},
                                 {u"Iattachment", IID_IAttachment},
                                 {u"IAddrBook", IID_IAddrBook},
                                 {u"IMailUser", IID_IMailUser},
                                 {u"IMAPIContainer", IID_IMAPIContainer},
                                 {u"IMAPIFolder", IID_IMAPIFolder},
                                 {u"IABContainer", IID_IABContainer},
                                 {u"IDistList", IID_IDistList},
                                 {u"IMAPIControl", IID_IMAPIControl},
                                 {u"IProfAdmin", IID_IProfAdmin},
                                 {u"IMsgServiceAdmin", IID_IMsgServiceAdmin},
                                 {u"IMAPISpoolerService", IID_IMAPISpoolerService},
                                 {u"IMAPIProgress", IID_IMAPIProgress},
                                 {u"IMAPIViewContext", IID_IMAPIViewContext},
                                 {u"IMAPIFormMgr", IID_IMAPIFormMgr},
                                 {u"IMAPIFormInfo", IID_IMAPIFormInfo},
                                 {u"IMAPIForm", IID_IMAPIForm},
                                 {u"IPersistMessage", IID_IPersistMessage},
                                 {u"IMAPIViewAdviseSink", IID_IMAPIViewAdviseSink},
                                 {u"IMAPIFormContainer", IID_IMAPIFormContainer},
                                 {u"IMAPIFormAdviseSink", IID_IMAPIFormAdviseSink},
                                 {u"IMAPIFormFactory", IID_IMAPIFormFactory},
                                 {u"IMAPIMessageSite", IID_IMAPIMessageSite}};

WideString GuidText(const GUID& g) {
  return Format(
      u"{%.8x-%.4x-%.4x-%.2x%.2x-%.2x%.2x%.2x%.2x%.2x%.2x}",
      {g.Data1, uint32_t(g.Data2), uint32_t(g.Data3), uint32_t(g.Data4[0]), uint32_t(g.Data4[1]), uint32_t(g.Data4[2]),
       uint32_t(g.Data4[3]), uint32_t(g.Data4[4]), uint32_t(g.Data4[5]), uint32_t(g.Data4[6]), uint32_t(g.Data4[7])});
}

// A text as a quoted registry script string.
WideString Quoted(const WideString& text) {
  WideString result = u"\"";
  for (char16_t c : text) {
    if (c == u'"' || c == u'\\') result += u'\\';
    result += c;
  }
  return result + u"\"";
}

// One "[key]" section with its default value and named string values.
void AddKey(WideString& script, const WideString& key, const WideString& value,
            std::initializer_list<std::pair<const char16_t*, WideString>> named = {}) {
  script += u"\r\n[HKEY_CURRENT_USER\\Software\\Classes\\" + key + u"]\r\n@=" + Quoted(value) + u"\r\n";
  for (const auto& [name, text] : named) script += Quoted(name) + u"=" + Quoted(text) + u"\r\n";
}

// An Outlook library: in Outlook's folders, else in the fixed Click-to-Run folder.
WideString FindOutlookLibrary(const TVoOutlookInfo& info, const WideString& name) {
  WideString major = info.VersionNumberEx.substr(0, info.VersionNumberEx.find(u'.'));
  const WideString folders[] = {info.InstallRoot, ExtractFilePath(info.MAPIDLL),
                                u"C:\\Program Files\\Microsoft Office " + major + u"\\Root\\Office" + major};
  for (const WideString& folder : folders) {
    if (folder.empty()) continue;
    auto found = VoFindFiles(detail::VoIncludeTrailingDelimiter(folder), name, false);
    if (!found.empty()) return found.front();
  }
  throw EVoException(u"Failed to determine the location of the " + name);
}

bool RepairDone() {
  TVoRegistry registry(KEY_READ);
  registry.SetRootKey(HKEY_CURRENT_USER);
  return registry.OpenKeyReadOnly(kMarkerKey) && registry.GetDataType(u"Version") == REG_DWORD &&
         registry.ReadInteger(u"Version") >= kFixVersion;
}

}  // namespace

AnsiString GetOutlookRegistryFix(const TVoOutlookInfo& Info) {
  if (Info.Version != OL2013 && Info.Version != OL2016 && Info.Version != OL2019) return {};
  WideString mime = FindOutlookLibrary(Info, u"OUTLMIME.dll");
  WideString olmapi = FindOutlookLibrary(Info, u"OLMAPI32.dll");
  WideString script = u"Windows Registry Editor Version 5.00\r\n";
  for (const TNamedIID& entry : kInterfaces) {
    WideString key = u"Interface\\" + GuidText(entry.Iid);
    AddKey(script, key, entry.Name);
    AddKey(script, key + u"\\ProxyStubClsid", kProxyStub);
    AddKey(script, key + u"\\ProxyStubClsid32", kProxyStub);
  }
  const WideString classes = u"CLSID\\";
  AddKey(script, classes + kProxyStub, u"MAPIPSFactory");
  AddKey(script, classes + kProxyStub + u"\\InprocServer32", u"mapi32.dll");
  WideString converter = classes + GuidText(CLSID_IConverterSession);
  AddKey(script, converter, u"CLSID_IConverterSession");
  AddKey(script, converter + u"\\InprocServer32", mime, {{u"ThreadingModel", u"Both"}});
  WideString accounts = classes + GuidText(CLSID_OlkAccountManager);
  AddKey(script, accounts, u"Outlook 10 Account Manager");
  AddKey(script, accounts + u"\\InprocServer32", olmapi, {{u"ThreadingModel", u"Both"}});
  return ToUtf8(script);
}

bool FixClickToRunRegKeys(bool Force) {
  if (!Force && RepairDone()) return false;
  AnsiString script = GetOutlookRegistryFix(VoGetOutlookInfo());
  if (script.empty()) return false;
  WideString fileName = VoGetTempDir() + u"FixOutlookRegKeys.reg";
  {
    std::ofstream file(ToUtf8(fileName), std::ios::binary | std::ios::trunc);
    file << script;
    if (!file.flush()) throw EVoException(u"Failed to write the registry script " + fileName);
  }
  VoApplyRegistryScriptFile(fileName);
  TVoRegistry registry(KEY_ALL_ACCESS);
  registry.SetRootKey(HKEY_CURRENT_USER);
  registry.OpenKey(kMarkerKey, true);
  registry.WriteInteger(u"Version", kFixVersion);
  return true;
}

}  // namespace orba
