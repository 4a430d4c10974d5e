// The public interface set (unit uVoMAPIInterfaces): the enumerations and flag sets of
// the public interfaces, and the session's interfaces: IVoMAPISession with its event
// interface, the logon and logoff settings, the MAPI and session information, and the
// folder dialog of the user-interface add-on. The interfaces of later areas (stores,
// folders, messages, tables, address book ...) live in their units' headers.
//
// Methods follow the safecall mapping: a method returns its last out-value and raises
// the EVoMAPIException family on failure.
#pragma once

#include <cstdint>

#include "orba/VoMAPIEntryID.h"
#include "orba/VoMAPILists.h"
#include "orba/VoMAPIProp.h"
#include "orba/VoMAPIProps.h"
#include "orba/VoMAPIRecipientType.h"
#include "orba/common/comobject.h"
#include "orba/common/types.h"

namespace orba {

struct IVoMAPITable;

// Enumerations (ordinal values from 0, in this order) ----------------------------------

enum TVoMAPIObjectType : int32_t {
  otUnknown,
  otMessageStore,
  otAddressBook,
  otFolder,
  otAddressbookContainer,
  otMessage,
  otRecipient,
  otAttachment,
  otDistributionList,
  otProfileSection,
  otStatus,
  otSession,
  otFormInfo
};
enum TVoMAPIContainerType : int32_t { ctUnknown, ctFolder, ctABContainer, ctDistList };
enum TVoMAPIMsgSecurity : int32_t { msNoSecurity, msSigned, msEncrypted };
enum TVoMAPIAttachmentType : int32_t {
  atUnknown,
  atByValue,
  atByReference,
  atByRefResolve,
  atByRefOnly,
  atEmbeddedMsg,
  atOLE
};
enum TVoMAPIImportance : int32_t { impLow, impNormal, impHigh };
enum TVoMAPISensitivity : int32_t { sstNone, sstPersonal, sstPrivate, sstCompayConfidential };
enum TVoMapiSecurityFlag : int32_t { sfNone, sfEncrypted, sfSigned };
enum TVoMAPIBodyFormat : int32_t { fmtUnspecified, fmtPlainText, fmtHTML, fmtRichText };
enum TVoMAPICursorType : int32_t { ctOpenForwardOnly, ctDynamic };
enum TVoMapiTableBookmark : int32_t { tbkBeginning, tbkCurrentRelative, tbkEnd };
enum TVoMAPIAfterSubmitType : int32_t { astLeaveInOutbox, astMoveToSentItems, astDelete };
enum TVoMAPIRestrictionType : int32_t {
  rtAnd,
  rtOr,
  rtNot,
  rtContent,
  rtProperty,
  rtCompareProps,
  rtBitmask,
  rtSize,
  rtExists,
  rtSub
};
enum TVoMAPIOperator : int32_t {
  oSmallerThan,
  oSmallerOrEqual,
  oGreaterThan,
  oGreaterOrEqual,
  oEqual,
  oNotEqual,
  oLike
};
enum TVoMAPIBitmaskOperator : int32_t { bmoEqualsZero, bmoNotZero };
enum TVoMAPIStringMatchType : int32_t { smtFullString, smtSubString, smtPrefix };
enum TVoMAPIRestrictionSubObjectType : int32_t { rsotRecipients, rsotAttachments };
enum TVoMAPIDistListType : int32_t {
  dltUnknown,
  dltRecipient,
  dltDistributionList,
  dltEMailAddress1,
  dltEMailAddress2,
  dltEMailAddress3,
  dltBusinessFax,
  dltHomeFax,
  dltOtherFax
};
enum TVoMapiFormManagerSiteOption : int32_t { fmstoDefault, fmstoUseMAPI, fmstoUseOutlook };
enum TVoMAPIFormManagerSaveOption : int32_t { fmsoSaveIfDirty, fmsoNoSave, fmsoPrompt };
enum TVoMimeEncodingType : int32_t {
  metBINARY,
  metBASE64,
  metUUENCODE,
  metQP,
  met7BIT,
  met8BIT,
  metINETCSET,
  metUNICODE,
  metRFC1522,
  metENCODED,
  metCURRENT,
  metUNKNOWN,
  metBINHEX40
};
enum TVoMimeSaveType : int32_t { mstRFC822, mstRFC1521 };
enum TVoOlkCategory : int32_t { OlkMail, OlkAddressBook, OlkStore };
enum TVoOlkTpe : int32_t { OlkPOP3Account, OlkIMAP4Account, OlkMAPIAccount, OlkHotmailAccount, OlkDAPAccount };
enum TVoMAPIExternalOOFState : int32_t { eosDisabled, eosSendToContacts, eosSendToAll };

// Flag sets: 32-bit integers holding bit sets; their members belong to the units that
// use them (FlushQueues takes MAPI's FLUSH_... flags).
using TVoMAPIFolderTypes = int32_t;
using TVoMAPIMsgFlags = int32_t;
using TVoMAPIContainerFlags = int32_t;
using TVoMAPIStatusCodes = int32_t;
using TVoMAPIFlushFlags = int32_t;
using TVoMAPIRecurrenceDays = int32_t;
using TVoMAPIICSSyncFlags = int32_t;

// A rectangle in screen coordinates.
struct TVoMAPIRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
};

// Interface identifiers ---------------------------------------------------------------

inline constexpr GUID CLASS_Session = {0x3A8BCD7F, 0x8D32, 0x469A, {0x99, 0xE2, 0xAA, 0xE6, 0x74, 0x35, 0xF7, 0x36}};
inline constexpr IID IID_IVoMAPISession = {
    0x50C64682, 0x00CC, 0x4C32, {0xA5, 0x65, 0x83, 0x54, 0x40, 0x59, 0xE5, 0x06}};
inline constexpr IID IID_IVoMAPISessionDEvents = {
    0x8F4C10A8, 0x8A75, 0x4596, {0x86, 0x1F, 0xB0, 0xA5, 0xC3, 0x84, 0x2A, 0xAC}};
inline constexpr IID IID_IVoMAPISessionInfo = {
    0x2F7D3EC2, 0x8DEA, 0x4BEC, {0xB5, 0xB3, 0x89, 0xC9, 0x65, 0xB5, 0x9E, 0x3F}};
inline constexpr IID IID_IVoMAPIInfo = {0xEED17F4C, 0x0B66, 0x4064, {0x89, 0x6D, 0xC4, 0xF9, 0x77, 0x00, 0x17, 0x87}};
inline constexpr IID IID_IVoMAPILogonInfo = {
    0xBD89521D, 0x3423, 0x4B5F, {0x85, 0xAF, 0x96, 0xB6, 0x98, 0x8D, 0x51, 0xCA}};
inline constexpr IID IID_IVoMAPILogoffInfo = {
    0xA7580891, 0xB94E, 0x4CA5, {0x86, 0x7E, 0x6F, 0xDF, 0x1E, 0x39, 0x9E, 0x80}};
inline constexpr IID IID_IVoMAPIFolderDialog = {
    0x0F9062E5, 0x918C, 0x4F48, {0xBA, 0x72, 0x16, 0xF7, 0xC3, 0x95, 0xD9, 0x64}};

// Session interfaces ------------------------------------------------------------------

// The logon settings: MAPI's logon flags, the profile and its password. Setting
// NTService clears Shared and the three dialog settings and sets NoMail; ShowLogonDialog
// and ShowPasswordDialog exclude each other.
struct IVoMAPILogonInfo : IUnknown {
  virtual bool16 Get_Shared() = 0;  // MAPI_ALLOW_OTHERS
  virtual void Set_Shared(bool16 Value) = 0;
  virtual bool16 Get_ProfileRequired() = 0;  // MAPI_EXPLICIT_PROFILE, else MAPI_USE_DEFAULT
  virtual void Set_ProfileRequired(bool16 Value) = 0;
  virtual bool16 Get_UseExtendedMAPI() = 0;  // MAPI_EXTENDED; false selects Simple MAPI
  virtual void Set_UseExtendedMAPI(bool16 Value) = 0;
  virtual bool16 Get_ForceDownload() = 0;  // MAPI_FORCE_DOWNLOAD
  virtual void Set_ForceDownload(bool16 Value) = 0;
  virtual bool16 Get_ShowLogonDialog() = 0;  // MAPI_LOGON_UI
  virtual void Set_ShowLogonDialog(bool16 Value) = 0;
  virtual bool16 Get_NewSession() = 0;  // MAPI_NEW_SESSION
  virtual void Set_NewSession(bool16 Value) = 0;
  virtual bool16 Get_NoMail() = 0;  // MAPI_NO_MAIL
  virtual void Set_NoMail(bool16 Value) = 0;
  virtual bool16 Get_NTService() = 0;  // MAPI_NT_SERVICE
  virtual void Set_NTService(bool16 Value) = 0;
  virtual bool16 Get_ShowPasswordDialog() = 0;  // MAPI_PASSWORD_UI
  virtual void Set_ShowPasswordDialog(bool16 Value) = 0;
  virtual bool16 Get_ShowServiceDialog() = 0;  // MAPI_SERVICE_UI
  virtual void Set_ShowServiceDialog(bool16 Value) = 0;
  virtual bool16 Get_ShortTimeOut() = 0;  // MAPI_TIMEOUT_SHORT
  virtual void Set_ShortTimeOut(bool16 Value) = 0;
  // Passed to MAPI's initialisation (MAPI_MULTITHREAD_NOTIFICATIONS).
  virtual bool16 Get_MultiThreadedNotifications() = 0;
  virtual void Set_MultiThreadedNotifications(bool16 Value) = 0;
  virtual WideString Get_ProfileName() = 0;
  virtual void Set_ProfileName(const WideString& Value) = 0;
  virtual WideString Get_Password() = 0;
  virtual void Set_Password(const WideString& Value) = 0;

 protected:
  ~IVoMAPILogonInfo() = default;
};

// The logoff settings.
struct IVoMAPILogoffInfo : IUnknown {
  virtual bool16 Get_Shared() = 0;  // MAPI_LOGOFF_SHARED
  virtual void Set_Shared(bool16 Value) = 0;
  virtual bool16 Get_ShowLogoffDialog() = 0;  // MAPI_LOGOFF_UI
  virtual void Set_ShowLogoffDialog(bool16 Value) = 0;

 protected:
  ~IVoMAPILogoffInfo() = default;
};

// The installed MAPI clients, as the loader reports them (VoGetMAPIInfo).
struct IVoMAPIInfo : IUnknown {
  virtual bool16 Get_ExtendedMAPI() = 0;
  virtual bool16 Get_SimpleMAPI() = 0;
  virtual WideString Get_Version() = 0;
  // The client names, each in double quotation marks, comma-separated.
  virtual WideString Get_Clients() = 0;
  virtual WideString Get_DefaultClient() = 0;
  // The default client is a 32-bit library.
  virtual bool16 Get_X86() = 0;
  virtual bool16 Get_InProc() = 0;

 protected:
  ~IVoMAPIInfo() = default;
};

// What a logged-on session works with.
struct IVoMAPISessionInfo : IUnknown {
  virtual bool16 Get_ExtendedMAPI() = 0;
  virtual WideString Get_ProfileName() = 0;
  // The profile has an Exchange mailbox service ("MSEMS"), or the client is Exchange's.
  virtual bool16 Get_ConnectedToExchange() = 0;
  // The mailbox is kept in a local cache (CONFIG_OST_CACHE_PRIVATE of the service).
  virtual bool16 Get_CachedExchangeMode() = 0;
  // The mailbox server; without Exchange raises E_FAIL "The ServerName can only be used
  // when connected to an Exchange Server!".
  virtual WideString Get_ServerName() = 0;

 protected:
  ~IVoMAPISessionInfo() = default;
};

// The events of a session, raised around logon and logoff.
struct IVoMAPISessionDEvents : IUnknown {
  virtual void BeforeLogon() = 0;
  virtual void AfterLogon() = 0;
  virtual void BeforeLogoff() = 0;
  virtual void AfterLogoff() = 0;

 protected:
  ~IVoMAPISessionDEvents() = default;
};

// A dialog in which the user picks a folder; the user-interface add-on provides it
// (SetCreateFolderDialogProc).
struct IVoMAPIFolderDialog : IUnknown {
  // Shows the dialog; true when the user picked a folder.
  virtual bool16 Execute() = 0;
  // The picked folder and its store (Null before a folder was picked).
  virtual TVoMAPIEntryID Get_FolderEntryID() = 0;
  virtual TVoMAPIEntryID Get_StoreEntryID() = 0;

 protected:
  ~IVoMAPIFolderDialog() = default;
};

// The session: logon settings, MAPI's loading and initialisation, logon and logoff,
// and the session's stores, entries and services. Every operation but the state,
// settings and MAPI runtime ones first checks that the session is logged on (E_FAIL
// "You must logon before you can execute %s!"); those that need Extended MAPI raise
// 0x80040102 "The %s can only be used in combination with Extended MAPI!" on a Simple
// MAPI session.
struct IVoMAPISession : IUnknown {
  // State. Setting Active logs on or off; logging on twice, or off twice, does nothing.
  virtual bool16 Get_Active() = 0;
  virtual void Set_Active(bool16 Value) = 0;
  virtual void Logon() = 0;
  virtual void Logoff() = 0;
  // The window MAPI dialogs belong to, and the application handle; 0 for none.
  virtual ULONG_PTR Get_ParentWindow() = 0;
  virtual void Set_ParentWindow(ULONG_PTR Value) = 0;
  virtual ULONG_PTR Get_AppHandle() = 0;
  virtual void Set_AppHandle(ULONG_PTR Value) = 0;
  // The library's file version: "2.5.0.0 64-bit".
  virtual WideString Get_Version() = 0;
  // The mail client to use, empty for the default. Setting it loads the client's library
  // and is refused while logged on or for a client that is not installed.
  virtual WideString Get_MAPIClient() = 0;
  virtual void Set_MAPIClient(const WideString& Value) = 0;

  // Settings and information.
  virtual ComPtr<IVoMAPILogonInfo> Get_LogonInfo() = 0;
  virtual ComPtr<IVoMAPILogoffInfo> Get_LogoffInfo() = 0;
  virtual ComPtr<IVoMAPIInfo> Get_MAPIInfo() = 0;
  virtual ComPtr<IVoMAPISessionInfo> GetSessionInfo() = 0;

  // MAPI runtime: the loader's operations (VoLoadMAPIDLL, VoMAPIInitialize ...) with the
  // session's settings. MAPILoad answers whether a library is loaded afterwards.
  virtual bool16 MAPILoad(WideString& FileName, bool16& IsExtended) = 0;
  virtual bool16 MAPILoaded() = 0;
  virtual void MAPIInitialize() = 0;
  virtual bool16 MAPIInitialized() = 0;
  virtual void MAPIUnitialize() = 0;
  virtual void MAPIUnload() = 0;

  // Stores. The default store's entry ID (E_FAIL "Failed to determine the default
  // messagestore!" when the profile has none) and the public folders' (E_FAIL "Failed
  // to determine the public folders messagestore!").
  virtual TVoMAPIEntryID GetDefaultMsgStoreID() = 0;
  virtual TVoMAPIEntryID GetPublicFoldersMsgStoreID() = 0;
  // The profile's stores as a table (orba/VoMAPITable.h), one row per store.
  virtual ComPtr<IVoMAPITable> GetMsgStoresTable() = 0;

  // Entries. OpenEntryEx opens any entry as InterfaceID (null: the object's own) with
  // MAPI's Flags (MAPI_MODIFY, MAPI_BEST_ACCESS ...) and answers MAPI's object type in
  // ObjectType; FindEntryEx answers null (ObjectType 0) for an entry that does not
  // exist. An empty entry ID raises E_INVALIDARG "An invalid (empty) EntryID was
  // specified!".
  virtual ComPtr<IUnknown> OpenEntryEx(const TVoMAPIEntryID& EntryID, const IID* InterfaceID, ULONG Flags,
                                       ULONG& ObjectType) = 0;
  virtual ComPtr<IUnknown> FindEntryEx(const TVoMAPIEntryID& EntryID, const IID* InterfaceID, ULONG Flags,
                                       ULONG& ObjectType) = 0;
  // Whether two entry IDs name the same object.
  virtual bool16 CompareEntryIDs(const TVoMAPIEntryID& A, const TVoMAPIEntryID& B) = 0;
  // A profile section of the session's profile by its 16-byte UID (anything else raises
  // E_INVALIDARG "An invalid ProfileUID was provided!"); alBestAccess opens it for
  // writing where allowed, else read-only.
  virtual ComPtr<IVoMAPIProp> OpenProfileSection(const TVoMAPIEntryID& UID, TVoMAPIAccessLevel AccessLevel) = 0;

  // Services. CreateFolderDialog asks the registered dialog factory
  // (SetCreateFolderDialogProc); FlushQueues asks the MAPI spooler to send and receive
  // (MAPI's FLUSH_... flags).
  virtual ComPtr<IVoMAPIFolderDialog> CreateFolderDialog() = 0;
  virtual void FlushQueues(TVoMAPIFlushFlags Flags) = 0;

  // List factories.
  virtual ComPtr<IVoMAPIEntryIDList> CreateEntryIDList() = 0;
  virtual ComPtr<IVoMAPIPropList> CreatePropList() = 0;
  virtual ComPtr<IVoMAPIValueList> CreateValueList() = 0;
  virtual ComPtr<IVoMAPIPropValueList> CreatePropValueList() = 0;

  // Registers a property (the registered one when it exists) and answers its handle's
  // ID: a standard property by its 16-bit number, a named one of PropSet by number or
  // by name.
  virtual TVoMAPIPropDefID RegisterProp(const WideString& Name, const TVoVariant& IDOrName, uint32_t PropType,
                                        bool16 Named, const GUID& PropSet) = 0;

 protected:
  ~IVoMAPISession() = default;
};

}  // namespace orba

ORBA_DECLARE_INTERFACE(orba::IVoMAPILogonInfo, IUnknown, orba::IID_IVoMAPILogonInfo);
ORBA_DECLARE_INTERFACE(orba::IVoMAPILogoffInfo, IUnknown, orba::IID_IVoMAPILogoffInfo);
ORBA_DECLARE_INTERFACE(orba::IVoMAPIInfo, IUnknown, orba::IID_IVoMAPIInfo);
ORBA_DECLARE_INTERFACE(orba::IVoMAPISessionInfo, IUnknown, orba::IID_IVoMAPISessionInfo);
ORBA_DECLARE_INTERFACE(orba::IVoMAPISessionDEvents, IUnknown, orba::IID_IVoMAPISessionDEvents);
ORBA_DECLARE_INTERFACE(orba::IVoMAPIFolderDialog, IUnknown, orba::IID_IVoMAPIFolderDialog);
ORBA_DECLARE_INTERFACE(orba::IVoMAPISession, IUnknown, orba::IID_IVoMAPISession);
