// Exchange's store extensions (EDKMDB.H, EDKGUID.H): store management, incremental
// change synchronisation, modifiable tables for rules and permissions, and the rule
// action structures. Methods are in the published order.
#pragma once

#include "mapi/mapidefs.h"

// Store management --------------------------------------------------------------------

// Flags of CreateStoreEntryID and of the profile's open flags.
inline constexpr ULONG OPENSTORE_USE_ADMIN_PRIVILEGE = 0x00000001;
inline constexpr ULONG OPENSTORE_PUBLIC = 0x00000002;
inline constexpr ULONG OPENSTORE_HOME_LOGON = 0x00000004;
inline constexpr ULONG OPENSTORE_TAKE_OWNERSHIP = 0x00000008;
inline constexpr ULONG OPENSTORE_OVERRIDE_HOME_MDB = 0x00000010;
inline constexpr ULONG OPENSTORE_TRANSPORT = 0x00000020;
inline constexpr ULONG OPENSTORE_REMOTE_TRANSPORT = 0x00000040;
inline constexpr ULONG OPENSTORE_INTERNET_ANONYMOUS = 0x00000080;
inline constexpr ULONG OPENSTORE_ALTERNATE_SERVER = 0x00000100;
inline constexpr ULONG OPENSTORE_IGNORE_HOME_MDB = 0x00000200;
inline constexpr ULONG OPENSTORE_NO_MAIL = 0x00000400;
inline constexpr ULONG OPENSTORE_OVERRIDE_LAST_MODIFIER = 0x00000800;
inline constexpr ULONG OPENSTORE_CALLBACK_LOGON = 0x00001000;
inline constexpr ULONG OPENSTORE_LOCAL = 0x00002000;
inline constexpr ULONG OPENSTORE_FAIL_IF_NO_MAILBOX = 0x00004000;
inline constexpr ULONG OPENSTORE_CACHE_EXCHANGE = 0x00008000;
inline constexpr ULONG OPENSTORE_CLI_WITH_NAMEDPROP_FIX = 0x00010000;
inline constexpr ULONG OPENSTORE_ENABLE_LAZY_LOGGING = 0x00020000;
inline constexpr ULONG OPENSTORE_CLI_WITH_REPLID_GUID_MAPPING_FIX = 0x00040000;
inline constexpr ULONG OPENSTORE_NO_LOCALIZATION = 0x00080000;
inline constexpr ULONG OPENSTORE_RESTORE_DATABASE = 0x00100000;
inline constexpr ULONG OPENSTORE_XFOREST_MOVE = 0x00200000;

// GetPublicFolderTable flags and the folder flags of its rows.
inline constexpr ULONG MDB_FOLDER_IPM = 0x1;
inline constexpr ULONG MDB_FOLDER_SEARCH = 0x2;
inline constexpr ULONG MDB_FOLDER_NORMAL = 0x4;
inline constexpr ULONG MDB_FOLDER_RULES = 0x8;
inline constexpr ULONG MDB_NON_IPM = 0x10;
inline constexpr ULONG MDB_IPM = 0x20;

// Storage limit information of the mailbox table.
inline constexpr ULONG MDB_LIMIT_BELOW = 0x1;
inline constexpr ULONG MDB_LIMIT_ISSUE_WARNING = 0x2;
inline constexpr ULONG MDB_LIMIT_PROHIBIT_SEND = 0x4;
inline constexpr ULONG MDB_LIMIT_NO_CHECK = 0x8;
inline constexpr ULONG MDB_LIMIT_DISABLED = 0x10;
inline constexpr ULONG MDB_QUOTA_NOQUOTA = 0xFFFFFFFF;

// Extra flags of GetContentsTable, GetHierarchyTable, OpenEntry, SaveChanges, DeleteFolder.
inline constexpr ULONG SHOW_SOFT_DELETES = 0x00000002;
inline constexpr ULONG SHOW_SUBFOLDERS = 0x00000004;
inline constexpr ULONG MDB_OPEN_MSG_NO_BLOCK = 0x00000020;
inline constexpr ULONG MDB_SAVE_MSG_UNLOCK = 0x00000040;
inline constexpr ULONG DELETE_HARD_DELETE = 0x00000010;

struct IExchangeManageStore : IUnknown {
  STDMETHOD(CreateStoreEntryID)
  (LPSTR lpszMsgStoreDN, LPSTR lpszMailboxDN, ULONG ulFlags, ULONG* lpcbEntryID, LPENTRYID* lppEntryID) PURE;
  STDMETHOD(EntryIDFromSourceKey)
  (ULONG cFolderKeySize, BYTE* lpFolderSourceKey, ULONG cMessageKeySize, BYTE* lpMessageSourceKey, ULONG* lpcbEntryID,
   LPENTRYID* lppEntryID) PURE;
  STDMETHOD(GetRights)
  (ULONG cbUserEntryID, LPENTRYID lpUserEntryID, ULONG cbEntryID, LPENTRYID lpEntryID, ULONG* lpulRights) PURE;
  STDMETHOD(GetMailboxTable)(LPSTR lpszServerName, LPMAPITABLE* lppTable, ULONG ulFlags) PURE;
  STDMETHOD(GetPublicFolderTable)(LPSTR lpszServerName, LPMAPITABLE* lppTable, ULONG ulFlags) PURE;
};

struct IExchangeManageStore2 : IExchangeManageStore {
  STDMETHOD(CreateNewsgroupNameEntryID)(LPSTR lpszNewsgroupName, ULONG* lpcbEntryID, LPENTRYID* lppEntryID) PURE;
};

struct IExchangeManageStore3 : IExchangeManageStore2 {
  STDMETHOD(GetMailboxTableOffset)(LPSTR lpszServerName, LPMAPITABLE* lppTable, ULONG ulFlags, UINT uOffset) PURE;
};

struct IExchangeManageStore4 : IExchangeManageStore3 {
  STDMETHOD(GetPublicFolderTableOffset)(LPSTR lpszServerName, LPMAPITABLE* lppTable, ULONG ulFlags, UINT uOffset) PURE;
};

struct IExchangeManageStore5 : IExchangeManageStore4 {
  STDMETHOD(GetMailboxTableEx)
  (LPSTR lpszServerName, LPGUID lpguidMdb, LPMAPITABLE* lppTable, ULONG ulFlags, UINT uOffset) PURE;
  STDMETHOD(GetPublicFolderTableEx)
  (LPSTR lpszServerName, LPGUID lpguidMdb, LPMAPITABLE* lppTable, ULONG ulFlags, UINT uOffset) PURE;
};

// Creates store entry IDs from a property array (server, mailbox, SMTP address ...).
struct IExchangeManageStoreEx : IExchangeManageStore {
  STDMETHOD(CreateStoreEntryID2)
  (ULONG cValues, LPSPropValue lpPropArray, ULONG ulFlags, ULONG* lpcbEntryID, LPENTRYID* lppEntryID) PURE;
};

using LPEXCHANGEMANAGESTORE = IExchangeManageStore*;
using LPEXCHANGEMANAGESTORE2 = IExchangeManageStore2*;
using LPEXCHANGEMANAGESTORE3 = IExchangeManageStore3*;
using LPEXCHANGEMANAGESTORE4 = IExchangeManageStore4*;
using LPEXCHANGEMANAGESTORE5 = IExchangeManageStore5*;
using LPEXCHANGEMANAGESTOREEX = IExchangeManageStoreEx*;

// Incremental change synchronisation ----------------------------------------------------

inline constexpr HRESULT MAKE_SYNC_E(ULONG err) { return MAKE_MAPI_E(err); }
inline constexpr HRESULT MAKE_SYNC_W(ULONG warn) { return MAKE_MAPI_S(warn); }

inline constexpr HRESULT SYNC_E_UNKNOWN_FLAGS = MAPI_E_UNKNOWN_FLAGS;
inline constexpr HRESULT SYNC_E_INVALID_PARAMETER = E_INVALIDARG;
inline constexpr HRESULT SYNC_E_ERROR = E_FAIL;
inline constexpr HRESULT SYNC_E_OBJECT_DELETED = MAKE_SYNC_E(0x800);
inline constexpr HRESULT SYNC_E_IGNORE = MAKE_SYNC_E(0x801);
inline constexpr HRESULT SYNC_E_CONFLICT = MAKE_SYNC_E(0x802);
inline constexpr HRESULT SYNC_E_NO_PARENT = MAKE_SYNC_E(0x803);
inline constexpr HRESULT SYNC_E_CYCLE = MAKE_SYNC_E(0x804);
inline constexpr HRESULT SYNC_E_UNSYNCHRONIZED = MAKE_SYNC_E(0x805);
inline constexpr HRESULT SYNC_W_PROGRESS = MAKE_SYNC_W(0x820);
inline constexpr HRESULT SYNC_W_CLIENT_CHANGE_NEWER = MAKE_SYNC_W(0x821);

// Config flags.
inline constexpr ULONG SYNC_UNICODE = 0x01;
inline constexpr ULONG SYNC_NO_DELETIONS = 0x02;
inline constexpr ULONG SYNC_NO_SOFT_DELETIONS = 0x04;
inline constexpr ULONG SYNC_READ_STATE = 0x08;
inline constexpr ULONG SYNC_ASSOCIATED = 0x10;
inline constexpr ULONG SYNC_NORMAL = 0x20;
inline constexpr ULONG SYNC_NO_CONFLICTS = 0x40;
inline constexpr ULONG SYNC_ONLY_SPECIFIED_PROPS = 0x80;
inline constexpr ULONG SYNC_NO_FOREIGN_KEYS = 0x100;
inline constexpr ULONG SYNC_LIMITED_IMESSAGE = 0x200;
inline constexpr ULONG SYNC_CATCHUP = 0x400;
inline constexpr ULONG SYNC_NEW_MESSAGE = 0x800;  // ImportMessageChange only
inline constexpr ULONG SYNC_MSG_SELECTIVE = 0x1000;
inline constexpr ULONG SYNC_BEST_BODY = 0x2000;
inline constexpr ULONG SYNC_IGNORE_SPECIFIED_ON_ASSOCIATED = 0x4000;
inline constexpr ULONG SYNC_PROGRESS_MODE = 0x8000;
inline constexpr ULONG SYNC_FXRECOVERMODE = 0x10000;
inline constexpr ULONG SYNC_DEFER_CONFIG = 0x20000;
inline constexpr ULONG SYNC_FORCE_UNICODE = 0x40000;

// ImportMessageDeletion, ImportFolderDeletion.
inline constexpr ULONG SYNC_SOFT_DELETE = 0x01;
inline constexpr ULONG SYNC_EXPIRY = 0x02;

// ImportPerUserReadStateChange.
inline constexpr ULONG SYNC_READ = 0x01;

// Extra flags of CopyMessages and GetHierarchyTable.
inline constexpr ULONG MESSAGE_BEST_BODY = 0x10;
inline constexpr ULONG MESSAGE_SEND_ENTRYID = 0x20;
inline constexpr ULONG SUPRESS_NOTIFICATIONS_ON_MY_ACTIONS = 0x01000;

// Exports the changes of a folder since the state held in a stream.
struct IExchangeExportChanges : IUnknown {
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) PURE;
  STDMETHOD(Config)
  (LPSTREAM lpStream, ULONG ulFlags, LPUNKNOWN lpUnk, LPSRestriction lpRestriction, LPSPropTagArray lpIncludeProps,
   LPSPropTagArray lpExcludeProps, ULONG ulBufferSize) PURE;
  STDMETHOD(Synchronize)(ULONG* lpulSteps, ULONG* lpulProgress) PURE;
  STDMETHOD(UpdateState)(LPSTREAM lpStream) PURE;
};

struct IExchangeExportChanges2 : IExchangeExportChanges {
  STDMETHOD(ConfigForConversionStream)
  (LPSTREAM lpStream, ULONG ulFlags, LPUNKNOWN lpUnk, LPSRestriction lpRestriction, ULONG cValuesConversion,
   LPSPropValue lpPropArrayConversion, ULONG ulBufferSize) PURE;
};

struct IExchangeExportChanges3 : IExchangeExportChanges2 {
  STDMETHOD(ConfigForSelectiveSync)
  (LPSTREAM lpStream, ULONG ulFlags, LPUNKNOWN lpUnk, LPENTRYLIST lpMsgList, LPSRestriction lpRestriction,
   LPSPropTagArray lpIncludeProps, LPSPropTagArray lpExcludeProps, ULONG ulBufferSize) PURE;
};

// Receives the message changes of a contents synchronisation.
struct IExchangeImportContentsChanges : IUnknown {
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) PURE;
  STDMETHOD(Config)(LPSTREAM lpStream, ULONG ulFlags) PURE;
  STDMETHOD(UpdateState)(LPSTREAM lpStream) PURE;
  STDMETHOD(ImportMessageChange)
  (ULONG cpvalChanges, LPSPropValue ppvalChanges, ULONG ulFlags, LPMESSAGE* lppmessage) PURE;
  STDMETHOD(ImportMessageDeletion)(ULONG ulFlags, LPENTRYLIST lpSrcEntryList) PURE;
  STDMETHOD(ImportPerUserReadStateChange)(ULONG cElements, LPREADSTATE lpReadState) PURE;
  STDMETHOD(ImportMessageMove)
  (ULONG cbSourceKeySrcFolder, BYTE* pbSourceKeySrcFolder, ULONG cbSourceKeySrcMessage, BYTE* pbSourceKeySrcMessage,
   ULONG cbPCLMessage, BYTE* pbPCLMessage, ULONG cbSourceKeyDestMessage, BYTE* pbSourceKeyDestMessage,
   ULONG cbChangeNumDestMessage, BYTE* pbChangeNumDestMessage) PURE;
};

struct IExchangeImportContentsChanges2 : IExchangeImportContentsChanges {
  STDMETHOD(ConfigForConversionStream)
  (LPSTREAM lpStream, ULONG ulFlags, ULONG cValuesConversion, LPSPropValue lpPropArrayConversion) PURE;
  STDMETHOD(ImportMessageChangeAsAStream)
  (ULONG cpvalChanges, LPSPropValue ppvalChanges, ULONG ulFlags, LPSTREAM* lppstream) PURE;
};

// Receives the folder changes of a hierarchy synchronisation.
struct IExchangeImportHierarchyChanges : IUnknown {
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) PURE;
  STDMETHOD(Config)(LPSTREAM lpStream, ULONG ulFlags) PURE;
  STDMETHOD(UpdateState)(LPSTREAM lpStream) PURE;
  STDMETHOD(ImportFolderChange)(ULONG cpvalChanges, LPSPropValue ppvalChanges) PURE;
  STDMETHOD(ImportFolderDeletion)(ULONG ulFlags, LPENTRYLIST lpSrcEntryList) PURE;
};

using LPEXCHANGEEXPORTCHANGES = IExchangeExportChanges*;
using LPEXCHANGEEXPORTCHANGES2 = IExchangeExportChanges2*;
using LPEXCHANGEEXPORTCHANGES3 = IExchangeExportChanges3*;
using LPEXCHANGEIMPORTCONTENTSCHANGES = IExchangeImportContentsChanges*;
using LPEXCHANGEIMPORTCONTENTSCHANGES2 = IExchangeImportContentsChanges2*;
using LPEXCHANGEIMPORTHIERARCHYCHANGES = IExchangeImportHierarchyChanges*;

// Modifiable tables (rules, permissions) ----------------------------------------------------

inline constexpr ULONG ROWLIST_REPLACE = 1;
inline constexpr ULONG ROW_ADD = 1;
inline constexpr ULONG ROW_MODIFY = 2;
inline constexpr ULONG ROW_REMOVE = 4;
inline constexpr ULONG ROW_EMPTY = ROW_ADD | ROW_REMOVE;

struct ROWENTRY {
  ULONG ulRowFlags;  // ROW_...
  ULONG cValues;
  LPSPropValue rgPropVals;
};
using LPROWENTRY = ROWENTRY*;

struct ROWLIST {
  ULONG cEntries;
  ROWENTRY aEntries[1];
};
using LPROWLIST = ROWLIST*;

inline constexpr size_t CbNewROWLIST(size_t count) { return offsetof(ROWLIST, aEntries) + count * sizeof(ROWENTRY); }

struct IExchangeModifyTable : IUnknown {
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) PURE;
  STDMETHOD(GetTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
  STDMETHOD(ModifyTable)(ULONG ulFlags, LPROWLIST lpMods) PURE;
};
using LPEXCHANGEMODIFYTABLE = IExchangeModifyTable*;

// Folder permissions.
using RIGHTS = DWORD;
inline constexpr RIGHTS frightsReadAny = 0x0000001;
inline constexpr RIGHTS frightsCreate = 0x0000002;
inline constexpr RIGHTS frightsEditOwned = 0x0000008;
inline constexpr RIGHTS frightsDeleteOwned = 0x0000010;
inline constexpr RIGHTS frightsEditAny = 0x0000020;
inline constexpr RIGHTS frightsDeleteAny = 0x0000040;
inline constexpr RIGHTS frightsCreateSubfolder = 0x0000080;
inline constexpr RIGHTS frightsOwner = 0x0000100;
inline constexpr RIGHTS frightsContact = 0x0000200;
inline constexpr RIGHTS frightsVisible = 0x0000400;
inline constexpr RIGHTS rightsNone = 0x00000000;
inline constexpr RIGHTS rightsReadOnly = frightsReadAny;
inline constexpr RIGHTS rightsReadWrite = frightsReadAny | frightsEditAny;
inline constexpr RIGHTS rightsAll = 0x00005FB;

// Rules --------------------------------------------------------------------------------------

// Rule states.
inline constexpr ULONG ST_DISABLED = 0x0000;
inline constexpr ULONG ST_ENABLED = 0x0001;
inline constexpr ULONG ST_ERROR = 0x0002;
inline constexpr ULONG ST_ONLY_WHEN_OOF = 0x0004;
inline constexpr ULONG ST_KEEP_OOF_HIST = 0x0008;
inline constexpr ULONG ST_EXIT_LEVEL = 0x0010;
inline constexpr ULONG ST_SKIP_IF_SCL_IS_SAFE = 0x0020;
inline constexpr ULONG ST_RULE_PARSE_ERROR = 0x0040;
inline constexpr ULONG ST_CLEAR_OOF_HIST = 0x80000000;

inline constexpr ULONG NULL_RESTRICTION = 0xFF;
inline constexpr ULONG RELOP_MEMBER_OF_DL = 100;

enum ACTTYPE : int {
  OP_MOVE = 1,
  OP_COPY,
  OP_REPLY,
  OP_OOF_REPLY,
  OP_DEFER_ACTION,
  OP_BOUNCE,
  OP_FORWARD,
  OP_DELEGATE,
  OP_TAG,
  OP_DELETE,
  OP_MARK_AS_READ,
};

// Action flavours.
inline constexpr ULONG DO_NOT_SEND_TO_ORIGINATOR = 1;  // OP_REPLY
inline constexpr ULONG STOCK_REPLY_TEMPLATE = 2;
inline constexpr ULONG FWD_PRESERVE_SENDER = 1;  // OP_FORWARD
inline constexpr ULONG FWD_DO_NOT_MUNGE_MSG = 2;
inline constexpr ULONG FWD_AS_ATTACHMENT = 4;

// Bounce codes (MAPI diagnostic codes).
inline constexpr SCODE BOUNCE_MESSAGE_SIZE_TOO_LARGE = 13;
inline constexpr SCODE BOUNCE_FORMS_MISMATCH = 31;
inline constexpr SCODE BOUNCE_ACCESS_DENIED = 38;

struct ACTION {
  ACTTYPE acttype;
  ULONG ulActionFlavor;
  LPSRestriction lpRes;            // unused, null
  LPSPropTagArray lpPropTagArray;  // unused, null
  ULONG ulFlags;
  ULONG dwAlignPad;
  union {
    struct {
      ULONG cbStoreEntryId;
      LPENTRYID lpStoreEntryId;
      ULONG cbFldEntryId;
      LPENTRYID lpFldEntryId;
    } actMoveCopy;  // OP_MOVE, OP_COPY
    struct {
      ULONG cbEntryId;
      LPENTRYID lpEntryId;
      GUID guidReplyTemplate;
    } actReply;  // OP_REPLY, OP_OOF_REPLY
    struct {
      ULONG cbData;
      BYTE* pbData;
    } actDeferAction;     // OP_DEFER_ACTION
    SCODE scBounceCode;   // OP_BOUNCE
    LPADRLIST lpadrlist;  // OP_FORWARD, OP_DELEGATE
    SPropValue propTag;   // OP_TAG
  };
};
using LPACTION = ACTION*;

inline constexpr ULONG EDK_RULES_VERSION = 1;

struct ACTIONS {
  ULONG ulVersion;  // EDK_RULES_VERSION
  UINT cActions;
  LPACTION lpAction;
};

// Interface identifiers -----------------------------------------------------------------------

inline constexpr IID IID_IExchangeManageStore = {
    0x559D10B0, 0xA772, 0x11CD, {0x9B, 0xC8, 0x00, 0xAA, 0x00, 0x2F, 0xC4, 0x5A}};
inline constexpr IID IID_IExchangeManageStore2 = {
    0xB6DCA470, 0x0FF3, 0x11D0, {0xA4, 0x09, 0x00, 0xC0, 0x4F, 0xD7, 0xBD, 0x87}};
inline constexpr IID IID_IExchangeManageStore3 = {
    0x166D9BC2, 0xDB75, 0x44A9, {0x8A, 0x93, 0x9F, 0x3F, 0xFC, 0x99, 0x4D, 0x76}};
inline constexpr IID IID_IExchangeManageStore4 = {
    0x2590FF87, 0xC431, 0x4F9C, {0xB1, 0xA8, 0xCD, 0x69, 0xD7, 0x60, 0xCD, 0x10}};
inline constexpr IID IID_IExchangeManageStore5 = {
    0x7907DD18, 0xF141, 0x4676, {0xB1, 0x02, 0x37, 0xC9, 0xD9, 0x36, 0x34, 0x30}};
inline constexpr IID IID_IExchangeManageStoreEx = {
    0x7FE3C629, 0x4D9A, 0x4510, {0xA4, 0x79, 0x56, 0x96, 0x2B, 0x24, 0x6D, 0xC6}};
inline constexpr IID IID_IExchangeModifyTable = {
    0x2D734CB0, 0x53FD, 0x101B, {0xB1, 0x9D, 0x08, 0x00, 0x2B, 0x30, 0x56, 0xE3}};
inline constexpr IID IID_IExchangeExportChanges = {
    0xA3EA9CC0, 0xD1B2, 0x11CD, {0x80, 0xFC, 0x00, 0xAA, 0x00, 0x4B, 0xBA, 0x0B}};
inline constexpr IID IID_IExchangeExportChanges2 = {
    0x387CEBE0, 0xF53F, 0x11CF, {0xA4, 0x8F, 0x00, 0xC0, 0x4F, 0xD6, 0x55, 0x95}};
inline constexpr IID IID_IExchangeExportChanges3 = {
    0x702E7F86, 0x50A6, 0x11D1, {0xAB, 0xD6, 0x00, 0xA0, 0xC9, 0x05, 0x66, 0x0A}};
inline constexpr IID IID_IExchangeImportHierarchyChanges = {
    0x85A66CF0, 0xD0E0, 0x11CD, {0x80, 0xFC, 0x00, 0xAA, 0x00, 0x4B, 0xBA, 0x0B}};
inline constexpr IID IID_IExchangeImportContentsChanges = {
    0xF75ABFA0, 0xD0E0, 0x11CD, {0x80, 0xFC, 0x00, 0xAA, 0x00, 0x4B, 0xBA, 0x0B}};
inline constexpr IID IID_IExchangeImportContentsChanges2 = {
    0x7DFDD720, 0xF53F, 0x11CF, {0xA4, 0x8F, 0x00, 0xC0, 0x4F, 0xD6, 0x55, 0x95}};

ORBA_DECLARE_INTERFACE(IExchangeManageStore, IUnknown, IID_IExchangeManageStore);
ORBA_DECLARE_INTERFACE(IExchangeManageStore2, IExchangeManageStore, IID_IExchangeManageStore2);
ORBA_DECLARE_INTERFACE(IExchangeManageStore3, IExchangeManageStore2, IID_IExchangeManageStore3);
ORBA_DECLARE_INTERFACE(IExchangeManageStore4, IExchangeManageStore3, IID_IExchangeManageStore4);
ORBA_DECLARE_INTERFACE(IExchangeManageStore5, IExchangeManageStore4, IID_IExchangeManageStore5);
ORBA_DECLARE_INTERFACE(IExchangeManageStoreEx, IExchangeManageStore, IID_IExchangeManageStoreEx);
ORBA_DECLARE_INTERFACE(IExchangeExportChanges, IUnknown, IID_IExchangeExportChanges);
ORBA_DECLARE_INTERFACE(IExchangeExportChanges2, IExchangeExportChanges, IID_IExchangeExportChanges2);
ORBA_DECLARE_INTERFACE(IExchangeExportChanges3, IExchangeExportChanges2, IID_IExchangeExportChanges3);
ORBA_DECLARE_INTERFACE(IExchangeImportContentsChanges, IUnknown, IID_IExchangeImportContentsChanges);
ORBA_DECLARE_INTERFACE(IExchangeImportContentsChanges2, IExchangeImportContentsChanges,
                       IID_IExchangeImportContentsChanges2);
ORBA_DECLARE_INTERFACE(IExchangeImportHierarchyChanges, IUnknown, IID_IExchangeImportHierarchyChanges);
ORBA_DECLARE_INTERFACE(IExchangeModifyTable, IUnknown, IID_IExchangeModifyTable);
