// The loader's state machine: the process-wide module under the library lock and the
// per-thread MAPI initialisation with its session count.
#include "orba/VoMAPILib.h"

#include <unistd.h>

#include <algorithm>
#include <exception>

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIEntryPoints.h"
#include "orba/VoMAPIExceptions.h"
#include "orba/common/casefold.h"
#include "orba/common/elf.h"
#include "orba/common/files.h"
#include "orba/common/format.h"
#include "orba/common/oserror.h"
#include "orba/common/system.h"
#include "orba/common/texttrim.h"
#include "runtime/VoMAPILibInternal.h"

namespace orba {

namespace {

constexpr HRESULT kWindowsAppCode = static_cast<HRESULT>(0x80040102);

struct TLibState {
  TVoLibHandle Module = nullptr;
  WideString LoadedFileName;
  bool IsExtendedDLL = false;
  bool UnloadOnUninit = false;
  bool ExtendedInUse = false;
  int32_t InitializedThreads = 0;
  int32_t TotalSessions = 0;
  std::vector<TVoMAPIOnUnload> OnUnload;
  std::vector<TVoMAPIOnUninit> OnUninit;
};

struct TThreadState {
  bool Initialized = false;
  bool MultithreadNotifications = false;
  bool NTService = false;
  bool NoCoInit = false;
  int32_t Sessions = 0;
  bool CallUninitialize = false;
};

TLibState gState;
thread_local TThreadState tThread;

using TLock = std::lock_guard<std::recursive_mutex>;

const char16_t* const kNotLoaded = u"MAPI hasn't been loaded yet!\r\nYou must first load the MAPI dll.";

[[noreturn]] void RaiseOtherLoaded(const WideString& fileName) {
  kit::Raise(E_FAIL, Format(u"Failed to load (%s)! You must first unload %s.", {fileName, gState.LoadedFileName}));
}

// Loads the file; a 64-bit msmapi32.dll that fails is replaced by olmapi32.dll of the
// same Office tree, as Click-to-Run installations need. The library stays mapped when it
// is unloaded: a program may still hold MAPI objects of it (a table, a store) and
// release them later, and their code must then still be there.
TVoLibHandle LoadClientLibrary(const WideString& fileName) {
  try {
    return VoLoadLibrary(fileName, true);
  } catch (const EVoOSError&) {
    if (!IsCPU64() || !VoSameText(ExtractFileName(fileName), u"msmapi32.dll")) throw;
    WideString alternative = detail::VoFindInOfficeTree(fileName, u"olmapi32.dll");
    if (alternative.empty()) throw;
    return VoLoadLibrary(alternative, true);
  }
}

bool ExportsExtendedMAPI(TVoLibHandle module) {
  return VoGetProcAddress(module, "MAPIInitialize") && VoGetProcAddress(module, "MAPILogonEx");
}

void LoadLocked(const WideString& fileName, bool unloadOnUninit) {
  if (HasFolderPart(fileName) && !FileExists(fileName))
    kit::Raise(E_INVALIDARG,
               Format(u"Failed to load the given MAPI dll (%s)!\r\nThe file does not exist.", {fileName}));
  TVoLibHandle module;
  try {
    module = LoadClientLibrary(fileName);
  } catch (const EVoOSError& e) {
    if (e.Code() == ERROR_ACCESS_DENIED) throw;  // judged by the caller (Windows-App Outlook)
    kit::Raise(E_FAIL, Format(u"Failed to load the MAPI DLL (%s)!\r\nCheck if the the Microsoft Visual C++ "
                              u"Redistributable is installed (VC_redist.x64.exe/VC_redist.x86.exe), install "
                              u"the latest version if this is not the case.\r\nIn some cases it may be "
                              u"necessary to repair the Outlook installation.",
                              {fileName}));
  }
  WideString resolved = HasFolderPart(fileName) ? fileName : VoResolveMAPIStub();
  bool sameBitness = resolved.empty() || !FileExists(resolved) || VoFileBitness(resolved) == VoProcessBitness();
  gState.Module = module;
  gState.IsExtendedDLL = sameBitness && ExportsExtendedMAPI(module);
  gState.LoadedFileName = fileName;
  gState.UnloadOnUninit = unloadOnUninit;
}

void UnloadLocked() {
  if (gState.InitializedThreads > 0)
    kit::Raise(E_FAIL, u"MAPI is still initialized!\r\nYou must first unitialize MAPI on all threads!");
  for (auto callback : std::vector<TVoMAPIOnUnload>(gState.OnUnload)) callback();
  if (gState.Module) {
    detail::VoClearEntryPoints();
    TVoLibHandle module = gState.Module;
    gState.Module = nullptr;
    gState.LoadedFileName.clear();
    gState.IsExtendedDLL = false;
    VoFreeLibrary(module);
  }
}

// MAPIInitialize's failures, each raised with its own code.
[[noreturn]] void RaiseInitializeFailure(HRESULT result) {
  const char16_t* text = nullptr;
  switch (static_cast<uint32_t>(result)) {
    case 0x80070057:
    case 0x80040106: text = u"VoLoadMAPI failed!\r\nThe Caller passed an invalid parameter or flag."; break;
    case 0x80040117:
      text =
          u"VoLoadMAPI failed!\r\n(Windows NT only) The calling process is an NT service and "
          u"registry keys required by MAPI could not be initialized.\r\nAdditional information "
          u"may be available in the application event log.";
      break;
    case 0x80040110:
      text =
          u"VoLoadMAPI failed!\r\nThe version of OLE installed on the workstation is not "
          u"compatible with this version of MAPI.";
      break;
    case 0x80040112:
      text =
          u"VoLoadMAPI failed!\r\nMAPI sets up context specific to the current process.\r\n"
          u"Failures may occur on Win16 if the number of processes exceeds a certain number, or "
          u"on any system if available memory is exhausted.";
      break;
    case 0x8004010E:
      text =
          u"VoLoadMAPI failed!\r\nNot enough system resources were available to complete the "
          u"operation.";
      break;
    case 0x80040108: text = u"VoLoadMAPI failed!\r\nCheck if system resources are exhausted."; break;
    case 0x80040605: text = u"VoLoadMAPI failed!\r\nThe profile provider has encountered an error."; break;
    case 0x80004005:
      kit::Raise(result,
                 u"There is no MAPI Client Library (like MS Outlook) installed, or it is not the "
                 u"default MAPI client!\r\nThe loaded dll is: " +
                     gState.LoadedFileName);
    default:
      CheckMAPIResult(u"uVoMAPILib", u"VoInitializeMAPI", result);
      kit::Raise(result, u"VoLoadMAPI failed!");  // CheckMAPIResult raises for every failure
  }
  kit::Raise(result, text);
}

// Uninitialises the calling thread (caller holds the lock).
void UninitializeThread() {
  if (tThread.Initialized) {
    if (tThread.Sessions > 0)
      kit::Raise(E_FAIL,
                 u"There are still active MAPI sessions in this thread. You must close these "
                 u"sessions first!");
    for (auto callback : std::vector<TVoMAPIOnUninit>(gState.OnUninit)) callback();
    if (tThread.CallUninitialize && gState.ExtendedInUse) MAPIUninitialize();
    tThread.CallUninitialize = false;
    --gState.InitializedThreads;
  }
  tThread.Initialized = false;
  gState.ExtendedInUse = false;
}

template <class T>
void AddOnce(std::vector<T>& list, T callback) {
  if (callback && std::find(list.begin(), list.end(), callback) == list.end()) list.push_back(callback);
}

template <class T>
void Remove(std::vector<T>& list, T callback) {
  list.erase(std::remove(list.begin(), list.end(), callback), list.end());
}

}  // namespace

namespace detail {
std::recursive_mutex& VoMAPILibLock() {
  static std::recursive_mutex lock;
  return lock;
}
TVoLibHandle VoLockedMAPIModule() { return gState.Module; }
}  // namespace detail

void VoLoadMAPIDLL(WideString& FileName, bool& IsExtended, bool UnloadOnUninit) {
  TLock lock(detail::VoMAPILibLock());
  FileName = WideString(VoTrimmed(FileName));
  if (FileName.empty()) {
    FileName = VoFindMAPIDll(u"Microsoft Outlook");
    if (!FileExists(FileName)) FileName = u"MAPI32.dll";
  }
  if (gState.Module) {
    if (FileName != gState.LoadedFileName) RaiseOtherLoaded(FileName);
    IsExtended = gState.IsExtendedDLL;
    return;
  }
  try {
    LoadLocked(FileName, UnloadOnUninit);
  } catch (const EVoOSError& e) {
    if (e.Code() == ERROR_ACCESS_DENIED && VoSameText(ExtractFileName(FileName), u"OLMAPI32.dll") &&
        VoGetOutlookInfo().Mode == olmWindowsStoreApp)
      kit::Raise(kWindowsAppCode,
                 u"The Windows-App version of Outlook does not support MAPI!\r\nYou must install "
                 u"Outlook (or Office) using the regular installer to use the MAPI functionality.");
    throw;
  }
  IsExtended = gState.IsExtendedDLL;
}

void VoUnloadDLL() {
  TLock lock(detail::VoMAPILibLock());
  UnloadLocked();
}

TVoLibHandle VoMAPIModule() {
  TLock lock(detail::VoMAPILibLock());
  return gState.Module;
}

WideString VoCurrentMAPIDllFileName() {
  TLock lock(detail::VoMAPILibLock());
  return gState.LoadedFileName;
}

bool VoMAPIInitialized() { return tThread.Initialized; }

void VoMAPIInitialize(bool MultithreadNotifications, bool NTService, bool UseExtendedMAPI, bool NoCoInit) {
  TLock lock(detail::VoMAPILibLock());
  if (!gState.Module) {
    WideString fileName;
    bool extended = false;
    VoLoadMAPIDLL(fileName, extended);
    if (UseExtendedMAPI && !extended) UnloadLocked();
  }
  if (!gState.Module) kit::Raise(E_FAIL, kNotLoaded);
  if (tThread.Initialized) {
    if (tThread.MultithreadNotifications == MultithreadNotifications && tThread.NTService == NTService &&
        tThread.NoCoInit == NoCoInit)
      return;
    UninitializeThread();  // keeps the library loaded even with UnloadOnUninit
  }
  if (UseExtendedMAPI) {
    ULONG flags = MultithreadNotifications ? MAPI_MULTITHREAD_NOTIFICATIONS
                  : NTService              ? MAPI_NT_SERVICE
                  : NoCoInit               ? MAPI_NO_COINIT
                                           : 0;
    MAPIINIT_0 init{MAPI_INIT_VERSION, flags};
    HRESULT result = MAPIInitialize(flags ? &init : nullptr);
    if (result != S_OK) RaiseInitializeFailure(result);
  }
  tThread = TThreadState{true, MultithreadNotifications, NTService, NoCoInit, 0, true};
  ++gState.InitializedThreads;
  gState.ExtendedInUse = UseExtendedMAPI;
}

void VoMAPIUninitialize(bool ForceUnload) {
  TLock lock(detail::VoMAPILibLock());
  UninitializeThread();
  if ((gState.UnloadOnUninit || ForceUnload) && gState.InitializedThreads == 0) UnloadLocked();
}

void VoDisableMAPIUnitialize() {
  if (gettid() != getpid()) kit::Raise(E_FAIL, u"VoDisableMAPIUnitialize may only be called on the main thread!");
  tThread.CallUninitialize = false;
}

void VoMAPILogon(ULONG_PTR ParentWindow, const WideString& ProfileName, const WideString& Password, ULONG Flags,
                 ComPtr<IMAPISession>& Session, LHANDLE& SimpleSession) {
  Session = nullptr;
  SimpleSession = 0;
  bool extended;
  {
    TLock lock(detail::VoMAPILibLock());
    if (!gState.Module) kit::Raise(E_FAIL, kNotLoaded);
    extended = gState.ExtendedInUse;
  }
  if (!tThread.Initialized)
    kit::Raise(E_FAIL,
               u"MAPI hasn't been initialized yet!\r\nYou must initialize MAPI before calling any "
               u"MAPI functions.");
  const bool unicode = extended && (Flags & MAPI_UNICODE);
  kit::MapiString profile(WideString(VoTrimmed(ProfileName)), unicode),
      password(WideString(VoTrimmed(Password)), unicode);
  if (extended) {
    HRESULT result = MAPILogonEx(ParentWindow, profile.OrNull(), password.OrNull(), Flags, Session.Out());
    if (result != S_OK) CheckMAPIResult(u"uVoMAPILib", u"VoMAPILogon", result);
  } else {
    MAPILogon(ParentWindow, profile.OrNull(), password.OrNull(), Flags, 0, &SimpleSession);
  }
  TLock lock(detail::VoMAPILibLock());
  ++tThread.Sessions;
  ++gState.TotalSessions;
}

void VoMAPILogoff(ULONG_PTR ParentWindow, ULONG Flags, ComPtr<IMAPISession>& Session, LHANDLE& SimpleSession) {
  bool extended;
  {
    TLock lock(detail::VoMAPILibLock());
    extended = gState.ExtendedInUse;
  }
  if (extended) {
    if (!Session) return;
    Session->Logoff(ParentWindow, Flags, 0);
    Session = nullptr;
  } else {
    if (SimpleSession == 0) return;
    if (SimpleSession > 1) MAPILogoff(SimpleSession, ParentWindow, 0, 0);
    SimpleSession = 0;
  }
  TLock lock(detail::VoMAPILibLock());
  --tThread.Sessions;
  --gState.TotalSessions;
}

void VoRegisterOnUnload(TVoMAPIOnUnload Callback) {
  TLock lock(detail::VoMAPILibLock());
  AddOnce(gState.OnUnload, Callback);
}

void VoUnRegisterOnUnload(TVoMAPIOnUnload Callback) {
  TLock lock(detail::VoMAPILibLock());
  Remove(gState.OnUnload, Callback);
}

void VoRegisterOnUninit(TVoMAPIOnUninit Callback) {
  TLock lock(detail::VoMAPILibLock());
  AddOnce(gState.OnUninit, Callback);
}

void VoUnRegisterOnUninit(TVoMAPIOnUninit Callback) {
  TLock lock(detail::VoMAPILibLock());
  Remove(gState.OnUninit, Callback);
}

}  // namespace orba
