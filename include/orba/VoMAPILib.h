// The MAPI client library loader: finds the mail client's MAPI library, loads it once
// per process, initialises MAPI per thread, logs on and off, lists the installed mail
// clients and detects Outlook.
//
// Loading, unloading and initialisation are serialised by one library lock; the
// initialisation state and the session count are per thread, so every thread that uses
// MAPI initialises it itself. Failures raise the EVoMAPIException family.
#pragma once

#include <cstdint>
#include <vector>

#include "mapi/mapix.h"
#include "orba/common/bitness.h"
#include "orba/common/comptr.h"
#include "orba/common/dynlib.h"
#include "orba/common/registry.h"
#include "orba/common/types.h"

namespace orba {

// Outlook ----------------------------------------------------------------------------

enum TVoOutlookMajorVersion : int32_t {
  NoOutlookInstalled,
  OL97,
  OL98,
  OL2000,
  OL2002,
  OL2003,
  OL2007,
  OL2010,
  OL2013,
  OL2016,
  OL2019
};

enum TVoOutlookMode : int32_t { olmNA, olmIMO, olmCW, olmClickToRun, olmWindowsStoreApp };

// The installed Outlook as the registry describes it.
struct TVoOutlookInfo {
  TVoOutlookMajorVersion Version = NoOutlookInstalled;
  int32_t VersionNumber = 0;   // major and minor digits run together: 160 for "16.0"
  WideString VersionNumberEx;  // the version text as found, such as "16.0"
  TVoBitness Bitness = bt32;
  TVoOutlookMode Mode = olmNA;
  WideString InstallRoot;  // Outlook's installation folder
  WideString MAPIDLL;      // full path of Outlook's MAPI library
};

// The Outlook information, detected on the first call and cached for the process.
TVoOutlookInfo VoGetOutlookInfo();
// Whether an "Outlook.Application" object is registered as running; there are no
// automation objects on this platform, so it is always false.
bool VoGetOutlookRunning();

// Mail clients -----------------------------------------------------------------------

enum TVoMAPIClientAPI : int32_t { ciSimpleMAPI = 0, ciExtendedMAPI = 1 };

// One installed mail client.
struct TVoMAPIClient {
  WideString ClientName;
  WideString MAPIDLL;
  TVoMAPIClientAPI MAPIInterface = ciSimpleMAPI;
  TVoBitness Bitness = bt32;
  bool InProc = false;  // same bitness as the calling process
  bool IsDefault = false;
};
using TVoMAPIClients = std::vector<TVoMAPIClient>;

// A summary of the installed MAPI clients.
struct TVoMAPIInfoRec {
  bool ExtendedMAPI = false;
  bool SimpleMAPI = false;
  WideString Version;  // "1.0.0.1" with Extended MAPI, "1.0.0.0" with Simple MAPI only
  WideString Clients;  // the client names, each in double quotation marks, comma-separated
  WideString DefaultClient;
  TVoBitness Bitness = bt32;
  bool InProc = true;
};

// The clients registered under "SOFTWARE\Clients\Mail" in every registry view, plus
// "Microsoft Outlook" when it is installed.
TVoMAPIClients VoGetMAPIClients();
TVoMAPIInfoRec VoGetMAPIInfo();

// The library of a client from the registry (current user, then local machine); empty
// if none.
WideString VoFindMAPIDll(const WideString& ClientName);
// The library of a client from one root of the registry; empty if none.
WideString VoFindMAPIDll(TVoRegRoot RootKey, const WideString& ClientName);

// Loading ----------------------------------------------------------------------------

// Loads a client library. An empty FileName loads Outlook's library, else the default
// mail client's ("MAPI32.dll"); FileName receives the name used. Loading the file that
// is loaded already does nothing. IsExtended tells whether the library is an Extended
// MAPI one. With UnloadOnUninit the library is unloaded when the last thread
// uninitialises MAPI.
void VoLoadMAPIDLL(WideString& FileName, bool& IsExtended, bool UnloadOnUninit = false);
// Finds and loads the library of a named client (empty: Outlook or the default client).
void VoLoadMAPIClientDLL(const WideString& ClientName, WideString& FileName, bool& IsExtended,
                         bool UnloadOnUninit = false);
// The bitness of a client's library without loading it; FileName receives its name.
TVoBitness VoMAPIClientDLLBitness(const WideString& ClientName, WideString& FileName);
// Unloads the client library; refused while any thread is initialised.
void VoUnloadDLL();
// The loaded library's handle, or nullptr.
TVoLibHandle VoMAPIModule();
// The file name the loaded library came from; empty when none is loaded.
WideString VoCurrentMAPIDllFileName();

// Initialisation ---------------------------------------------------------------------

// Whether MAPI is initialised on the calling thread.
bool VoMAPIInitialized();
// Initialises MAPI on the calling thread, loading the default client library first
// when none is loaded.
void VoMAPIInitialize(bool MultithreadNotifications = false, bool NTService = false, bool UseExtendedMAPI = true,
                      bool NoCoInit = false);
// Uninitialises MAPI on the calling thread; refused while the thread has open sessions.
// With ForceUnload the library is unloaded when no thread is initialised any more.
void VoMAPIUninitialize(bool ForceUnload = false);
// Main thread only: keeps the next uninitialisation from calling MAPIUninitialize.
void VoDisableMAPIUnitialize();

// Logon ------------------------------------------------------------------------------

// Logs on with Extended MAPI (Session) or, when the thread initialised Simple MAPI,
// with Simple MAPI (SimpleSession).
void VoMAPILogon(ULONG_PTR ParentWindow, const WideString& ProfileName, const WideString& Password, ULONG Flags,
                 ComPtr<IMAPISession>& Session, LHANDLE& SimpleSession);
// Logs off what VoMAPILogon opened and clears it.
void VoMAPILogoff(ULONG_PTR ParentWindow, ULONG Flags, ComPtr<IMAPISession>& Session, LHANDLE& SimpleSession);

// Clean-up callbacks -----------------------------------------------------------------

// Called, in registration order, before the library is unloaded.
using TVoMAPIOnUnload = void (*)();
// Called, in registration order, before a thread uninitialises MAPI.
using TVoMAPIOnUninit = void (*)();

// Registering a callback twice is a no-op.
void VoRegisterOnUnload(TVoMAPIOnUnload Callback);
void VoUnRegisterOnUnload(TVoMAPIOnUnload Callback);
void VoRegisterOnUninit(TVoMAPIOnUninit Callback);
void VoUnRegisterOnUninit(TVoMAPIOnUninit Callback);

// Click-to-Run repair ----------------------------------------------------------------

// The registry script that registers the MAPI interfaces and classes of a Click-to-Run
// Outlook (2013 to 2019); empty for other Outlook versions. Raises when Outlook's
// OLMAPI32.dll or OUTLMIME.dll cannot be found.
AnsiString GetOutlookRegistryFix(const TVoOutlookInfo& Info);
// Writes that script to "FixOutlookRegKeys.reg" in the temporary folder, applies it to
// the registry and marks the repair as done. Unless forced it does nothing once done.
// Returns whether the script was applied.
bool FixClickToRunRegKeys(bool Force = false);

}  // namespace orba
