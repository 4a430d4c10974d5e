// MAPI's flags and core object interfaces: properties, tables, containers, folders,
// message stores, messages, attachments, address book entries, status objects,
// profile sections and provider administration. Methods are in the published
// order of MAPIDEFS.H, so that the virtual tables match.
#pragma once

#include "orba/common/comobject.h"

#include "mapi/mapicode.h"
#include "mapi/mapiguid.h"
#include "mapi/mapitypes.h"

// Flags shared by many calls --------------------------------------------------------

inline constexpr ULONG MAPI_MODIFY = 0x00000001;
inline constexpr ULONG MAPI_CREATE = 0x00000002;
inline constexpr ULONG MAPI_DEFERRED_ERRORS = 0x00000008;
inline constexpr ULONG MAPI_BEST_ACCESS = 0x00000010;
inline constexpr ULONG MAPI_ASSOCIATED = 0x00000040;
inline constexpr ULONG MAPI_NO_CACHE = 0x00000200;    // OpenEntry: bypass the local cache
inline constexpr ULONG MAPI_CACHE_ONLY = 0x00004000;  // do not redirect to the server
inline constexpr ULONG MAPI_UNICODE = 0x80000000;

// Values of the access level of an object.
inline constexpr ULONG MAPI_ACCESS_MODIFY = 0x00000001;
inline constexpr ULONG MAPI_ACCESS_READ = 0x00000002;
inline constexpr ULONG MAPI_ACCESS_DELETE = 0x00000004;
inline constexpr ULONG MAPI_ACCESS_CREATE_HIERARCHY = 0x00000008;
inline constexpr ULONG MAPI_ACCESS_CREATE_CONTENTS = 0x00000010;
inline constexpr ULONG MAPI_ACCESS_CREATE_ASSOCIATED = 0x00000020;

// Recipient types.
inline constexpr ULONG MAPI_ORIG = 0;
inline constexpr ULONG MAPI_TO = 1;
inline constexpr ULONG MAPI_CC = 2;
inline constexpr ULONG MAPI_BCC = 3;
inline constexpr ULONG MAPI_P1 = 0x10000000;
inline constexpr ULONG MAPI_SUBMITTED = 0x80000000;

// Bits of ENTRYID::abFlags[0] and abFlags[1].
inline constexpr BYTE MAPI_SHORTTERM = 0x80;
inline constexpr BYTE MAPI_NOTRECIP = 0x40;
inline constexpr BYTE MAPI_THISSESSION = 0x20;
inline constexpr BYTE MAPI_NOW = 0x10;
inline constexpr BYTE MAPI_NOTRESERVED = 0x08;
inline constexpr BYTE MAPI_COMPOUND = 0x80;

// Object types.
inline constexpr ULONG MAPI_STORE = 0x00000001;
inline constexpr ULONG MAPI_ADDRBOOK = 0x00000002;
inline constexpr ULONG MAPI_FOLDER = 0x00000003;
inline constexpr ULONG MAPI_ABCONT = 0x00000004;
inline constexpr ULONG MAPI_MESSAGE = 0x00000005;
inline constexpr ULONG MAPI_MAILUSER = 0x00000006;
inline constexpr ULONG MAPI_ATTACH = 0x00000007;
inline constexpr ULONG MAPI_DISTLIST = 0x00000008;
inline constexpr ULONG MAPI_PROFSECT = 0x00000009;
inline constexpr ULONG MAPI_STATUS = 0x0000000A;
inline constexpr ULONG MAPI_SESSION = 0x0000000B;
inline constexpr ULONG MAPI_FORMINFO = 0x0000000C;

inline constexpr ULONG cchProfileNameMax = 64;
inline constexpr ULONG cchProfilePassMax = 64;

// Notification event types and table events -------------------------------------------

inline constexpr ULONG fnevCriticalError = 0x00000001;
inline constexpr ULONG fnevNewMail = 0x00000002;
inline constexpr ULONG fnevObjectCreated = 0x00000004;
inline constexpr ULONG fnevObjectDeleted = 0x00000008;
inline constexpr ULONG fnevObjectModified = 0x00000010;
inline constexpr ULONG fnevObjectMoved = 0x00000020;
inline constexpr ULONG fnevObjectCopied = 0x00000040;
inline constexpr ULONG fnevSearchComplete = 0x00000080;
inline constexpr ULONG fnevTableModified = 0x00000100;
inline constexpr ULONG fnevStatusObjectModified = 0x00000200;
inline constexpr ULONG fnevReservedForMapi = 0x40000000;
inline constexpr ULONG fnevExtended = 0x80000000;

inline constexpr ULONG TABLE_CHANGED = 1;
inline constexpr ULONG TABLE_ERROR = 2;
inline constexpr ULONG TABLE_ROW_ADDED = 3;
inline constexpr ULONG TABLE_ROW_DELETED = 4;
inline constexpr ULONG TABLE_ROW_MODIFIED = 5;
inline constexpr ULONG TABLE_SORT_DONE = 6;
inline constexpr ULONG TABLE_RESTRICT_DONE = 7;
inline constexpr ULONG TABLE_SETCOL_DONE = 8;
inline constexpr ULONG TABLE_RELOAD = 9;

// IMAPIProgress.
inline constexpr ULONG MAPI_TOP_LEVEL = 0x00000001;

// IMAPIProp ------------------------------------------------------------------------------

inline constexpr ULONG MAPI_ERROR_VERSION = 0;

// SaveChanges.
inline constexpr ULONG KEEP_OPEN_READONLY = 0x00000001;
inline constexpr ULONG KEEP_OPEN_READWRITE = 0x00000002;
inline constexpr ULONG FORCE_SAVE = 0x00000004;

// OpenProperty.
inline constexpr ULONG STREAM_APPEND = 0x00000004;

// CopyTo, CopyProps.
inline constexpr ULONG MAPI_MOVE = 0x00000001;
inline constexpr ULONG MAPI_NOREPLACE = 0x00000002;
inline constexpr ULONG MAPI_DECLINE_OK = 0x00000004;
inline constexpr ULONG MAPI_DIALOG = 0x00000008;
inline constexpr ULONG MAPI_USE_DEFAULT = 0x00000040;

// GetNamesFromIDs.
inline constexpr ULONG MAPI_NO_STRINGS = 0x00000001;
inline constexpr ULONG MAPI_NO_IDS = 0x00000002;

// IMAPITable -------------------------------------------------------------------------------

inline constexpr ULONG TBLSTAT_COMPLETE = 0;
inline constexpr ULONG TBLSTAT_QCHANGED = 7;
inline constexpr ULONG TBLSTAT_SORTING = 9;
inline constexpr ULONG TBLSTAT_SORT_ERROR = 10;
inline constexpr ULONG TBLSTAT_SETTING_COLS = 11;
inline constexpr ULONG TBLSTAT_SETCOL_ERROR = 13;
inline constexpr ULONG TBLSTAT_RESTRICTING = 14;
inline constexpr ULONG TBLSTAT_RESTRICT_ERROR = 15;

inline constexpr ULONG TBLTYPE_SNAPSHOT = 0;
inline constexpr ULONG TBLTYPE_KEYSET = 1;
inline constexpr ULONG TBLTYPE_DYNAMIC = 2;

inline constexpr ULONG TABLE_SORT_ASCEND = 0x00000000;
inline constexpr ULONG TABLE_SORT_DESCEND = 0x00000001;
inline constexpr ULONG TABLE_SORT_COMBINE = 0x00000002;
inline constexpr ULONG TABLE_SORT_CATEG_MAX = 0x00000004;
inline constexpr ULONG TABLE_SORT_CATEG_MIN = 0x00000008;

inline constexpr BOOKMARK BOOKMARK_BEGINNING = 0;  // before the first row
inline constexpr BOOKMARK BOOKMARK_CURRENT = 1;    // before the current row
inline constexpr BOOKMARK BOOKMARK_END = 2;        // after the last row

// Fuzzy levels of content restrictions.
inline constexpr ULONG FL_FULLSTRING = 0x00000000;
inline constexpr ULONG FL_SUBSTRING = 0x00000001;
inline constexpr ULONG FL_PREFIX = 0x00000002;
inline constexpr ULONG FL_IGNORECASE = 0x00010000;
inline constexpr ULONG FL_IGNORENONSPACE = 0x00020000;
inline constexpr ULONG FL_LOOSE = 0x00040000;

// Restriction types.
inline constexpr ULONG RES_AND = 0x00000000;
inline constexpr ULONG RES_OR = 0x00000001;
inline constexpr ULONG RES_NOT = 0x00000002;
inline constexpr ULONG RES_CONTENT = 0x00000003;
inline constexpr ULONG RES_PROPERTY = 0x00000004;
inline constexpr ULONG RES_COMPAREPROPS = 0x00000005;
inline constexpr ULONG RES_BITMASK = 0x00000006;
inline constexpr ULONG RES_SIZE = 0x00000007;
inline constexpr ULONG RES_EXIST = 0x00000008;
inline constexpr ULONG RES_SUBRESTRICTION = 0x00000009;
inline constexpr ULONG RES_COMMENT = 0x0000000A;
inline constexpr ULONG RES_COUNT = 0x0000000B;
inline constexpr ULONG RES_ANNOTATION = 0x0000000C;

// Relational operators.
inline constexpr ULONG RELOP_LT = 0;
inline constexpr ULONG RELOP_LE = 1;
inline constexpr ULONG RELOP_GT = 2;
inline constexpr ULONG RELOP_GE = 3;
inline constexpr ULONG RELOP_EQ = 4;
inline constexpr ULONG RELOP_NE = 5;
inline constexpr ULONG RELOP_RE = 6;

// Bitmask operators.
inline constexpr ULONG BMR_EQZ = 0;
inline constexpr ULONG BMR_NEZ = 1;

// QueryColumns.
inline constexpr ULONG TBL_ALL_COLUMNS = 0x00000001;

// Row types of categorised tables.
inline constexpr ULONG TBL_LEAF_ROW = 1;
inline constexpr ULONG TBL_EMPTY_CATEGORY = 2;
inline constexpr ULONG TBL_EXPANDED_CATEGORY = 3;
inline constexpr ULONG TBL_COLLAPSED_CATEGORY = 4;

inline constexpr ULONG TBL_NOWAIT = 0x00000001;
inline constexpr ULONG TBL_ASYNC = 0x00000001;
inline constexpr ULONG TBL_BATCH = 0x00000002;

// FindRow.
inline constexpr ULONG DIR_BACKWARD = 0x00000001;

// QueryRows.
inline constexpr ULONG TBL_NOADVANCE = 0x00000001;

// IMAPIStatus ------------------------------------------------------------------------------

// Resource types.
inline constexpr ULONG MAPI_STORE_PROVIDER = 33;
inline constexpr ULONG MAPI_AB = 34;
inline constexpr ULONG MAPI_AB_PROVIDER = 35;
inline constexpr ULONG MAPI_TRANSPORT_PROVIDER = 36;
inline constexpr ULONG MAPI_SPOOLER = 37;
inline constexpr ULONG MAPI_PROFILE_PROVIDER = 38;
inline constexpr ULONG MAPI_SUBSYSTEM = 39;
inline constexpr ULONG MAPI_HOOK_PROVIDER = 40;

// Supported methods.
inline constexpr ULONG STATUS_VALIDATE_STATE = 0x00000001;
inline constexpr ULONG STATUS_SETTINGS_DIALOG = 0x00000002;
inline constexpr ULONG STATUS_CHANGE_PASSWORD = 0x00000004;
inline constexpr ULONG STATUS_FLUSH_QUEUES = 0x00000008;

// Resource flags.
inline constexpr ULONG STATUS_DEFAULT_OUTBOUND = 0x00000001;
inline constexpr ULONG STATUS_DEFAULT_STORE = 0x00000002;
inline constexpr ULONG STATUS_PRIMARY_IDENTITY = 0x00000004;
inline constexpr ULONG STATUS_SIMPLE_STORE = 0x00000008;
inline constexpr ULONG STATUS_XP_PREFER_LAST = 0x00000010;
inline constexpr ULONG STATUS_NO_PRIMARY_IDENTITY = 0x00000020;
inline constexpr ULONG STATUS_NO_DEFAULT_STORE = 0x00000040;
inline constexpr ULONG STATUS_TEMP_SECTION = 0x00000080;
inline constexpr ULONG STATUS_OWN_STORE = 0x00000100;
inline constexpr ULONG STATUS_NEED_IPM_TREE = 0x00000800;
inline constexpr ULONG STATUS_PRIMARY_STORE = 0x00001000;
inline constexpr ULONG STATUS_SECONDARY_STORE = 0x00002000;

// Status codes.
inline constexpr ULONG STATUS_AVAILABLE = 0x00000001;
inline constexpr ULONG STATUS_OFFLINE = 0x00000002;
inline constexpr ULONG STATUS_FAILURE = 0x00000004;
inline constexpr ULONG STATUS_INBOUND_ENABLED = 0x00010000;
inline constexpr ULONG STATUS_INBOUND_ACTIVE = 0x00020000;
inline constexpr ULONG STATUS_INBOUND_FLUSH = 0x00040000;
inline constexpr ULONG STATUS_OUTBOUND_ENABLED = 0x00100000;
inline constexpr ULONG STATUS_OUTBOUND_ACTIVE = 0x00200000;
inline constexpr ULONG STATUS_OUTBOUND_FLUSH = 0x00400000;
inline constexpr ULONG STATUS_REMOTE_ACCESS = 0x00800000;

// ValidateState, SettingsDialog, FlushQueues.
inline constexpr ULONG SUPPRESS_UI = 0x00000001;
inline constexpr ULONG REFRESH_XP_HEADER_CACHE = 0x00010000;
inline constexpr ULONG PROCESS_XP_HEADER_CACHE = 0x00020000;
inline constexpr ULONG FORCE_XP_CONNECT = 0x00040000;
inline constexpr ULONG FORCE_XP_DISCONNECT = 0x00080000;
inline constexpr ULONG CONFIG_CHANGED = 0x00100000;
inline constexpr ULONG ABORT_XP_HEADER_OPERATION = 0x00200000;
inline constexpr ULONG SHOW_XP_SESSION_UI = 0x00400000;
inline constexpr ULONG UI_READONLY = 0x00000001;
inline constexpr ULONG FLUSH_UPLOAD = 0x00000002;
inline constexpr ULONG FLUSH_DOWNLOAD = 0x00000004;
inline constexpr ULONG FLUSH_FORCE = 0x00000008;
inline constexpr ULONG FLUSH_NO_UI = 0x00000010;
inline constexpr ULONG FLUSH_ASYNC_OK = 0x00000020;

// IMAPIContainer ------------------------------------------------------------------------------

inline constexpr ULONG CONVENIENT_DEPTH = 0x00000001;  // GetHierarchyTable

// GetSearchCriteria states.
inline constexpr ULONG SEARCH_RUNNING = 0x00000001;
inline constexpr ULONG SEARCH_REBUILD = 0x00000002;
inline constexpr ULONG SEARCH_RECURSIVE = 0x00000004;
inline constexpr ULONG SEARCH_FOREGROUND = 0x00000008;

// SetSearchCriteria flags.
inline constexpr ULONG STOP_SEARCH = 0x00000001;
inline constexpr ULONG RESTART_SEARCH = 0x00000002;
inline constexpr ULONG RECURSIVE_SEARCH = 0x00000004;
inline constexpr ULONG SHALLOW_SEARCH = 0x00000008;
inline constexpr ULONG FOREGROUND_SEARCH = 0x00000010;
inline constexpr ULONG BACKGROUND_SEARCH = 0x00000020;
inline constexpr ULONG NON_CONTENT_INDEXED_SEARCH = 0x00020000;

// IABContainer ------------------------------------------------------------------------------

// Container flags.
inline constexpr ULONG AB_RECIPIENTS = 0x00000001;
inline constexpr ULONG AB_SUBCONTAINERS = 0x00000002;
inline constexpr ULONG AB_MODIFIABLE = 0x00000004;
inline constexpr ULONG AB_UNMODIFIABLE = 0x00000008;
inline constexpr ULONG AB_FIND_ON_OPEN = 0x00000010;
inline constexpr ULONG AB_NOT_DEFAULT = 0x00000020;

// CreateEntry.
inline constexpr ULONG CREATE_CHECK_DUP_STRICT = 0x00000001;
inline constexpr ULONG CREATE_CHECK_DUP_LOOSE = 0x00000002;
inline constexpr ULONG CREATE_REPLACE = 0x00000004;

// ResolveNames results.
inline constexpr ULONG MAPI_UNRESOLVED = 0x00000000;
inline constexpr ULONG MAPI_AMBIGUOUS = 0x00000001;
inline constexpr ULONG MAPI_RESOLVED = 0x00000002;

// One-off entry IDs: the recipient does not get rich text.
inline constexpr ULONG MAPI_SEND_NO_RICH_INFO = 0x00010000;

// IMAPIFolder ---------------------------------------------------------------------------------

inline constexpr ULONG FOLDER_ROOT = 0x00000000;
inline constexpr ULONG FOLDER_GENERIC = 0x00000001;
inline constexpr ULONG FOLDER_SEARCH = 0x00000002;

// CopyMessages.
inline constexpr ULONG MESSAGE_MOVE = 0x00000001;
inline constexpr ULONG MESSAGE_DIALOG = 0x00000002;

// CreateFolder.
inline constexpr ULONG OPEN_IF_EXISTS = 0x00000001;

// DeleteFolder, EmptyFolder.
inline constexpr ULONG DEL_MESSAGES = 0x00000001;
inline constexpr ULONG FOLDER_DIALOG = 0x00000002;
inline constexpr ULONG DEL_FOLDERS = 0x00000004;
inline constexpr ULONG DEL_ASSOCIATED = 0x00000008;

// CopyFolder.
inline constexpr ULONG FOLDER_MOVE = 0x00000001;
inline constexpr ULONG COPY_SUBFOLDERS = 0x00000010;

// GetMessageStatus.
inline constexpr ULONG MSGSTATUS_HIGHLIGHTED = 0x00000001;
inline constexpr ULONG MSGSTATUS_TAGGED = 0x00000002;
inline constexpr ULONG MSGSTATUS_HIDDEN = 0x00000004;
inline constexpr ULONG MSGSTATUS_DELMARKED = 0x00000008;
inline constexpr ULONG MSGSTATUS_REMOTE_DOWNLOAD = 0x00001000;
inline constexpr ULONG MSGSTATUS_REMOTE_DELETE = 0x00002000;

// SaveContentsSort.
inline constexpr ULONG RECURSIVE_SORT = 0x00000002;

// Folder status.
inline constexpr ULONG FLDSTATUS_HIGHLIGHTED = 0x00000001;
inline constexpr ULONG FLDSTATUS_TAGGED = 0x00000002;
inline constexpr ULONG FLDSTATUS_HIDDEN = 0x00000004;
inline constexpr ULONG FLDSTATUS_DELMARKED = 0x00000008;

// IMsgStore ---------------------------------------------------------------------------------------

// Store support mask.
inline constexpr ULONG STORE_ENTRYID_UNIQUE = 0x00000001;
inline constexpr ULONG STORE_READONLY = 0x00000002;
inline constexpr ULONG STORE_SEARCH_OK = 0x00000004;
inline constexpr ULONG STORE_MODIFY_OK = 0x00000008;
inline constexpr ULONG STORE_CREATE_OK = 0x00000010;
inline constexpr ULONG STORE_ATTACH_OK = 0x00000020;
inline constexpr ULONG STORE_OLE_OK = 0x00000040;
inline constexpr ULONG STORE_SUBMIT_OK = 0x00000080;
inline constexpr ULONG STORE_NOTIFY_OK = 0x00000100;
inline constexpr ULONG STORE_MV_PROPS_OK = 0x00000200;
inline constexpr ULONG STORE_CATEGORIZE_OK = 0x00000400;
inline constexpr ULONG STORE_RTF_OK = 0x00000800;
inline constexpr ULONG STORE_RESTRICTION_OK = 0x00001000;
inline constexpr ULONG STORE_SORT_OK = 0x00002000;
inline constexpr ULONG STORE_PUBLIC_FOLDERS = 0x00004000;
inline constexpr ULONG STORE_UNCOMPRESSED_RTF = 0x00008000;
inline constexpr ULONG STORE_HTML_OK = 0x00010000;
inline constexpr ULONG STORE_ANSI_OK = 0x00020000;
inline constexpr ULONG STORE_UNICODE_OK = 0x00040000;
inline constexpr ULONG STORE_LOCALSTORE = 0x00080000;
inline constexpr ULONG STORE_ITEMPROC = 0x00200000;
inline constexpr ULONG STORE_PUSHER_OK = 0x00800000;
inline constexpr ULONG STORE_HAS_SEARCHES = 0x01000000;
inline constexpr ULONG STORE_FULLTEXT_QUERY_OK = 0x02000000;
inline constexpr ULONG STORE_FILTER_SEARCH_OK = 0x04000000;
inline constexpr ULONG STORE_RULES_OK = 0x10000000;

// StoreLogoff.
inline constexpr ULONG LOGOFF_NO_WAIT = 0x00000001;
inline constexpr ULONG LOGOFF_ORDERLY = 0x00000002;
inline constexpr ULONG LOGOFF_PURGE = 0x00000004;
inline constexpr ULONG LOGOFF_ABORT = 0x00000008;
inline constexpr ULONG LOGOFF_QUIET = 0x00000010;
inline constexpr ULONG LOGOFF_COMPLETE = 0x00010000;
inline constexpr ULONG LOGOFF_INBOUND = 0x00020000;
inline constexpr ULONG LOGOFF_OUTBOUND = 0x00040000;
inline constexpr ULONG LOGOFF_OUTBOUND_QUEUE = 0x00080000;

// SetLockState.
inline constexpr ULONG MSG_LOCKED = 0x00000001;
inline constexpr ULONG MSG_UNLOCKED = 0x00000000;

// Valid folder mask.
inline constexpr ULONG FOLDER_IPM_SUBTREE_VALID = 0x00000001;
inline constexpr ULONG FOLDER_IPM_INBOX_VALID = 0x00000002;
inline constexpr ULONG FOLDER_IPM_OUTBOX_VALID = 0x00000004;
inline constexpr ULONG FOLDER_IPM_WASTEBASKET_VALID = 0x00000008;
inline constexpr ULONG FOLDER_IPM_SENTMAIL_VALID = 0x00000010;
inline constexpr ULONG FOLDER_VIEWS_VALID = 0x00000020;
inline constexpr ULONG FOLDER_COMMON_VIEWS_VALID = 0x00000040;
inline constexpr ULONG FOLDER_FINDER_VALID = 0x00000080;

// IMessage -------------------------------------------------------------------------------------------

inline constexpr ULONG FORCE_SUBMIT = 0x00000001;

// Message flags.
inline constexpr ULONG MSGFLAG_READ = 0x00000001;
inline constexpr ULONG MSGFLAG_UNMODIFIED = 0x00000002;
inline constexpr ULONG MSGFLAG_SUBMIT = 0x00000004;
inline constexpr ULONG MSGFLAG_UNSENT = 0x00000008;
inline constexpr ULONG MSGFLAG_HASATTACH = 0x00000010;
inline constexpr ULONG MSGFLAG_FROMME = 0x00000020;
inline constexpr ULONG MSGFLAG_ASSOCIATED = 0x00000040;
inline constexpr ULONG MSGFLAG_RESEND = 0x00000080;
inline constexpr ULONG MSGFLAG_RN_PENDING = 0x00000100;
inline constexpr ULONG MSGFLAG_NRN_PENDING = 0x00000200;

// Submit flags.
inline constexpr ULONG SUBMITFLAG_LOCKED = 0x00000001;
inline constexpr ULONG SUBMITFLAG_PREPROCESS = 0x00000002;

// ModifyRecipients.
inline constexpr ULONG MODRECIP_ADD = 0x00000002;
inline constexpr ULONG MODRECIP_MODIFY = 0x00000004;
inline constexpr ULONG MODRECIP_REMOVE = 0x00000008;

// SetReadFlag, SetReadFlags.
inline constexpr ULONG SUPPRESS_RECEIPT = 0x00000001;
inline constexpr ULONG CLEAR_READ_FLAG = 0x00000004;
inline constexpr ULONG GENERATE_RECEIPT_ONLY = 0x00000010;
inline constexpr ULONG CLEAR_RN_PENDING = 0x00000020;
inline constexpr ULONG CLEAR_NRN_PENDING = 0x00000040;

// DeleteAttach.
inline constexpr ULONG ATTACH_DIALOG = 0x00000001;

// Security, priority, sensitivity and importance values.
inline constexpr ULONG SECURITY_SIGNED = 0x00000001;
inline constexpr ULONG SECURITY_ENCRYPTED = 0x00000002;
inline constexpr LONG PRIO_URGENT = 1;
inline constexpr LONG PRIO_NORMAL = 0;
inline constexpr LONG PRIO_NONURGENT = -1;
inline constexpr ULONG SENSITIVITY_NONE = 0x00000000;
inline constexpr ULONG SENSITIVITY_PERSONAL = 0x00000001;
inline constexpr ULONG SENSITIVITY_PRIVATE = 0x00000002;
inline constexpr ULONG SENSITIVITY_COMPANY_CONFIDENTIAL = 0x00000003;
inline constexpr LONG IMPORTANCE_LOW = 0;
inline constexpr LONG IMPORTANCE_NORMAL = 1;
inline constexpr LONG IMPORTANCE_HIGH = 2;

// IAttach: attachment methods.
inline constexpr ULONG NO_ATTACHMENT = 0x00000000;
inline constexpr ULONG ATTACH_BY_VALUE = 0x00000001;
inline constexpr ULONG ATTACH_BY_REFERENCE = 0x00000002;
inline constexpr ULONG ATTACH_BY_REF_RESOLVE = 0x00000003;
inline constexpr ULONG ATTACH_BY_REF_ONLY = 0x00000004;
inline constexpr ULONG ATTACH_EMBEDDED_MSG = 0x00000005;
inline constexpr ULONG ATTACH_OLE = 0x00000006;

// Address book dialog ------------------------------------------------------------------------------

inline constexpr ULONG ADRPARM_HELP_CTX = 0x00000000;
inline constexpr ULONG DIALOG_MODAL = 0x00000001;
inline constexpr ULONG DIALOG_SDI = 0x00000002;
inline constexpr ULONG DIALOG_OPTIONS = 0x00000004;
inline constexpr ULONG ADDRESS_ONE = 0x00000008;
inline constexpr ULONG AB_SELECTONLY = 0x00000010;
inline constexpr ULONG AB_RESOLVE = 0x00000020;

// Display types of address book and folder hierarchy rows.
inline constexpr ULONG DT_MAILUSER = 0x00000000;
inline constexpr ULONG DT_DISTLIST = 0x00000001;
inline constexpr ULONG DT_FORUM = 0x00000002;
inline constexpr ULONG DT_AGENT = 0x00000003;
inline constexpr ULONG DT_ORGANIZATION = 0x00000004;
inline constexpr ULONG DT_PRIVATE_DISTLIST = 0x00000005;
inline constexpr ULONG DT_REMOTE_MAILUSER = 0x00000006;
inline constexpr ULONG DT_MODIFIABLE = 0x00010000;
inline constexpr ULONG DT_GLOBAL = 0x00020000;
inline constexpr ULONG DT_LOCAL = 0x00030000;
inline constexpr ULONG DT_WAN = 0x00040000;
inline constexpr ULONG DT_NOT_SPECIFIC = 0x00050000;
inline constexpr ULONG DT_FOLDER = 0x01000000;
inline constexpr ULONG DT_FOLDER_LINK = 0x02000000;
inline constexpr ULONG DT_FOLDER_SPECIAL = 0x04000000;

using ACCELERATEABSDI = BOOL(ULONG_PTR ulUIParam, LPVOID lpvmsg);
using LPFNABSDI = ACCELERATEABSDI*;
using DISMISSMODELESS = void(ULONG_PTR ulUIParam, LPVOID lpvContext);
using LPFNDISMISS = DISMISSMODELESS*;
using LPFNBUTTON = SCODE (*)(ULONG_PTR ulUIParam, LPVOID lpvContext, ULONG cbEntryID, LPENTRYID lpSelection,
                             ULONG ulFlags);

struct ADRPARM {
  ULONG cbABContEntryID;
  LPENTRYID lpABContEntryID;
  ULONG ulFlags;
  LPVOID lpReserved;
  ULONG ulHelpContext;
  LPTSTR lpszHelpFileName;
  LPFNABSDI lpfnABSDI;
  LPFNDISMISS lpfnDismiss;
  LPVOID lpvDismissContext;
  LPTSTR lpszCaption;
  LPTSTR lpszNewEntryTitle;
  LPTSTR lpszDestWellsTitle;
  ULONG cDestFields;
  ULONG nDestFieldFocus;
  LPTSTR* lppszDestTitles;
  ULONG* lpulDestComps;
  LPSRestriction lpContRestriction;
  LPSRestriction lpHierRestriction;
};
using LPADRPARM = ADRPARM*;

// OpenMsgStore and OpenAddressBook -------------------------------------------------------------------

inline constexpr ULONG MDB_NO_DIALOG = 0x00000001;
inline constexpr ULONG MDB_WRITE = 0x00000004;
inline constexpr ULONG MDB_TEMPORARY = 0x00000020;
inline constexpr ULONG MDB_NO_MAIL = 0x00000080;
inline constexpr ULONG MDB_ONLINE = 0x00000100;  // bypass the cached copy of the store
inline constexpr ULONG AB_NO_DIALOG = 0x00000001;

// IProviderAdmin and message service configuration ------------------------------------------------

inline constexpr ULONG UI_SERVICE = 0x00000002;
inline constexpr ULONG SERVICE_UI_ALWAYS = 0x00000002;
inline constexpr ULONG SERVICE_UI_ALLOWED = 0x00000010;
inline constexpr ULONG UI_CURRENT_PROVIDER_FIRST = 0x00000004;
inline constexpr ULONG MSG_SERVICE_UI_READ_ONLY = 0x00000008;

// Interfaces -------------------------------------------------------------------------------------------

struct IMsgStore;
struct IMAPIFolder;
struct IMessage;
struct IAttach;
struct IAddrBook;
struct IABContainer;
struct IMailUser;
struct IDistList;
struct IMAPIStatus;
struct IMAPITable;
struct IProfSect;
struct IMAPIProp;
struct IMAPIContainer;
struct IMAPIAdviseSink;
struct IMAPIProgress;
struct IProviderAdmin;

using LPMDB = IMsgStore*;
using LPMAPIFOLDER = IMAPIFolder*;
using LPMESSAGE = IMessage*;
using LPATTACH = IAttach*;
using LPADRBOOK = IAddrBook*;
using LPABCONT = IABContainer*;
using LPMAILUSER = IMailUser*;
using LPDISTLIST = IDistList*;
using LPMAPISTATUS = IMAPIStatus*;
using LPMAPITABLE = IMAPITable*;
using LPPROFSECT = IProfSect*;
using LPMAPIPROP = IMAPIProp*;
using LPMAPICONTAINER = IMAPIContainer*;
using LPMAPIADVISESINK = IMAPIAdviseSink*;
using LPMAPIPROGRESS = IMAPIProgress*;
using LPPROVIDERADMIN = IProviderAdmin*;

// Receives notifications.
struct IMAPIAdviseSink : IUnknown {
  STDMETHOD_(ULONG, OnNotify)(ULONG cNotif, LPNOTIFICATION lpNotifications) PURE;
};

using NOTIFCALLBACK = LONG(LPVOID lpvContext, ULONG cNotification, LPNOTIFICATION lpNotifications);
using LPNOTIFCALLBACK = NOTIFCALLBACK*;

// Shows the progress of long operations.
struct IMAPIProgress : IUnknown {
  STDMETHOD(Progress)(ULONG ulValue, ULONG ulCount, ULONG ulTotal) PURE;
  STDMETHOD(GetFlags)(ULONG* lpulFlags) PURE;
  STDMETHOD(GetMax)(ULONG* lpulMax) PURE;
  STDMETHOD(GetMin)(ULONG* lpulMin) PURE;
  STDMETHOD(SetLimits)(LPULONG lpulMin, LPULONG lpulMax, LPULONG lpulFlags) PURE;
};

// Base of every object with properties.
struct IMAPIProp : IUnknown {
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) PURE;
  STDMETHOD(SaveChanges)(ULONG ulFlags) PURE;
  STDMETHOD(GetProps)(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG* lpcValues, LPSPropValue* lppPropArray) PURE;
  STDMETHOD(GetPropList)(ULONG ulFlags, LPSPropTagArray* lppPropTagArray) PURE;
  STDMETHOD(OpenProperty)
  (ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags, LPUNKNOWN* lppUnk) PURE;
  STDMETHOD(SetProps)(ULONG cValues, LPSPropValue lpPropArray, LPSPropProblemArray* lppProblems) PURE;
  STDMETHOD(DeleteProps)(LPSPropTagArray lpPropTagArray, LPSPropProblemArray* lppProblems) PURE;
  STDMETHOD(CopyTo)
  (ULONG ciidExclude, LPCIID rgiidExclude, LPSPropTagArray lpExcludeProps, ULONG_PTR ulUIParam,
   LPMAPIPROGRESS lpProgress, LPCIID lpInterface, LPVOID lpDestObj, ULONG ulFlags,
   LPSPropProblemArray* lppProblems) PURE;
  STDMETHOD(CopyProps)
  (LPSPropTagArray lpIncludeProps, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, LPCIID lpInterface, LPVOID lpDestObj,
   ULONG ulFlags, LPSPropProblemArray* lppProblems) PURE;
  STDMETHOD(GetNamesFromIDs)
  (LPSPropTagArray* lppPropTags, LPGUID lpPropSetGuid, ULONG ulFlags, ULONG* lpcPropNames,
   LPMAPINAMEID** lpppPropNames) PURE;
  STDMETHOD(GetIDsFromNames)
  (ULONG cPropNames, LPMAPINAMEID* lppPropNames, ULONG ulFlags, LPSPropTagArray* lppPropTags) PURE;
};

// A table: rows of property values with a cursor.
struct IMAPITable : IUnknown {
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) PURE;
  STDMETHOD(Advise)(ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink, ULONG_PTR* lpulConnection) PURE;
  STDMETHOD(Unadvise)(ULONG_PTR ulConnection) PURE;
  STDMETHOD(GetStatus)(ULONG* lpulTableStatus, ULONG* lpulTableType) PURE;
  STDMETHOD(SetColumns)(LPSPropTagArray lpPropTagArray, ULONG ulFlags) PURE;
  STDMETHOD(QueryColumns)(ULONG ulFlags, LPSPropTagArray* lpPropTagArray) PURE;
  STDMETHOD(GetRowCount)(ULONG ulFlags, ULONG* lpulCount) PURE;
  STDMETHOD(SeekRow)(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) PURE;
  STDMETHOD(SeekRowApprox)(ULONG ulNumerator, ULONG ulDenominator) PURE;
  STDMETHOD(QueryPosition)(ULONG* lpulRow, ULONG* lpulNumerator, ULONG* lpulDenominator) PURE;
  STDMETHOD(FindRow)(LPSRestriction lpRestriction, BOOKMARK bkOrigin, ULONG ulFlags) PURE;
  STDMETHOD(Restrict)(LPSRestriction lpRestriction, ULONG ulFlags) PURE;
  STDMETHOD(CreateBookmark)(BOOKMARK* lpbkPosition) PURE;
  STDMETHOD(FreeBookmark)(BOOKMARK bkPosition) PURE;
  STDMETHOD(SortTable)(LPSSortOrderSet lpSortCriteria, ULONG ulFlags) PURE;
  STDMETHOD(QuerySortOrder)(LPSSortOrderSet* lppSortCriteria) PURE;
  STDMETHOD(QueryRows)(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows) PURE;
  STDMETHOD(Abort)() PURE;
  STDMETHOD(ExpandRow)
  (ULONG cbInstanceKey, LPBYTE pbInstanceKey, ULONG ulRowCount, ULONG ulFlags, LPSRowSet* lppRows,
   ULONG* lpulMoreRows) PURE;
  STDMETHOD(CollapseRow)(ULONG cbInstanceKey, LPBYTE pbInstanceKey, ULONG ulFlags, ULONG* lpulRowCount) PURE;
  STDMETHOD(WaitForCompletion)(ULONG ulFlags, ULONG ulTimeout, ULONG* lpulTableStatus) PURE;
  STDMETHOD(GetCollapseState)
  (ULONG ulFlags, ULONG cbInstanceKey, LPBYTE lpbInstanceKey, ULONG* lpcbCollapseState, LPBYTE* lppbCollapseState) PURE;
  STDMETHOD(SetCollapseState)
  (ULONG ulFlags, ULONG cbCollapseState, LPBYTE pbCollapseState, BOOKMARK* lpbkLocation) PURE;
};

// A section of a profile; only properties.
struct IProfSect : IMAPIProp {};

// The status of a provider or of the subsystem.
struct IMAPIStatus : IMAPIProp {
  STDMETHOD(ValidateState)(ULONG_PTR ulUIParam, ULONG ulFlags) PURE;
  STDMETHOD(SettingsDialog)(ULONG_PTR ulUIParam, ULONG ulFlags) PURE;
  STDMETHOD(ChangePassword)(LPTSTR lpOldPass, LPTSTR lpNewPass, ULONG ulFlags) PURE;
  STDMETHOD(FlushQueues)(ULONG_PTR ulUIParam, ULONG cbTargetTransport, LPENTRYID lpTargetTransport, ULONG ulFlags) PURE;
};

// An object holding other objects: folders and address book containers.
struct IMAPIContainer : IMAPIProp {
  STDMETHOD(GetContentsTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
  STDMETHOD(GetHierarchyTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
  STDMETHOD(OpenEntry)
  (ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags, ULONG* lpulObjType, LPUNKNOWN* lppUnk) PURE;
  STDMETHOD(SetSearchCriteria)(LPSRestriction lpRestriction, LPENTRYLIST lpContainerList, ULONG ulSearchFlags) PURE;
  STDMETHOD(GetSearchCriteria)
  (ULONG ulFlags, LPSRestriction* lppRestriction, LPENTRYLIST* lppContainerList, ULONG* lpulSearchState) PURE;
};

// An address book container.
struct IABContainer : IMAPIContainer {
  STDMETHOD(CreateEntry)(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulCreateFlags, LPMAPIPROP* lppMAPIPropEntry) PURE;
  STDMETHOD(CopyEntries)(LPENTRYLIST lpEntries, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) PURE;
  STDMETHOD(DeleteEntries)(LPENTRYLIST lpEntries, ULONG ulFlags) PURE;
  STDMETHOD(ResolveNames)
  (LPSPropTagArray lpPropTagArray, ULONG ulFlags, LPADRLIST lpAdrList, LPFlagList lpFlagList) PURE;
};

// A messaging user of the address book; only properties.
struct IMailUser : IMAPIProp {};

// A distribution list.
struct IDistList : IMAPIContainer {
  STDMETHOD(CreateEntry)(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulCreateFlags, LPMAPIPROP* lppMAPIPropEntry) PURE;
  STDMETHOD(CopyEntries)(LPENTRYLIST lpEntries, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) PURE;
  STDMETHOD(DeleteEntries)(LPENTRYLIST lpEntries, ULONG ulFlags) PURE;
  STDMETHOD(ResolveNames)
  (LPSPropTagArray lpPropTagArray, ULONG ulFlags, LPADRLIST lpAdrList, LPFlagList lpFlagList) PURE;
};

// A folder of a message store.
struct IMAPIFolder : IMAPIContainer {
  STDMETHOD(CreateMessage)(LPCIID lpInterface, ULONG ulFlags, LPMESSAGE* lppMessage) PURE;
  STDMETHOD(CopyMessages)
  (LPENTRYLIST lpMsgList, LPCIID lpInterface, LPVOID lpDestFolder, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
   ULONG ulFlags) PURE;
  STDMETHOD(DeleteMessages)(LPENTRYLIST lpMsgList, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) PURE;
  STDMETHOD(CreateFolder)
  (ULONG ulFolderType, LPTSTR lpszFolderName, LPTSTR lpszFolderComment, LPCIID lpInterface, ULONG ulFlags,
   LPMAPIFOLDER* lppFolder) PURE;
  STDMETHOD(CopyFolder)
  (ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, LPVOID lpDestFolder, LPTSTR lpszNewFolderName,
   ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) PURE;
  STDMETHOD(DeleteFolder)
  (ULONG cbEntryID, LPENTRYID lpEntryID, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) PURE;
  STDMETHOD(SetReadFlags)(LPENTRYLIST lpMsgList, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) PURE;
  STDMETHOD(GetMessageStatus)(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulFlags, ULONG* lpulMessageStatus) PURE;
  STDMETHOD(SetMessageStatus)
  (ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulNewStatus, ULONG ulNewStatusMask, ULONG* lpulOldStatus) PURE;
  STDMETHOD(SaveContentsSort)(LPSSortOrderSet lpSortCriteria, ULONG ulFlags) PURE;
  STDMETHOD(EmptyFolder)(ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) PURE;
};

// A message store.
struct IMsgStore : IMAPIProp {
  STDMETHOD(Advise)
  (ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink,
   ULONG_PTR* lpulConnection) PURE;
  STDMETHOD(Unadvise)(ULONG_PTR ulConnection) PURE;
  STDMETHOD(CompareEntryIDs)
  (ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2, LPENTRYID lpEntryID2, ULONG ulFlags,
   ULONG* lpulResult) PURE;
  STDMETHOD(OpenEntry)
  (ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags, ULONG* lpulObjType, LPUNKNOWN* lppUnk) PURE;
  STDMETHOD(SetReceiveFolder)(LPTSTR lpszMessageClass, ULONG ulFlags, ULONG cbEntryID, LPENTRYID lpEntryID) PURE;
  STDMETHOD(GetReceiveFolder)
  (LPTSTR lpszMessageClass, ULONG ulFlags, ULONG* lpcbEntryID, LPENTRYID* lppEntryID, LPTSTR* lppszExplicitClass) PURE;
  STDMETHOD(GetReceiveFolderTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
  STDMETHOD(StoreLogoff)(ULONG* lpulFlags) PURE;
  STDMETHOD(AbortSubmit)(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulFlags) PURE;
  STDMETHOD(GetOutgoingQueue)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
  STDMETHOD(SetLockState)(LPMESSAGE lpMessage, ULONG ulLockState) PURE;
  STDMETHOD(FinishedMsg)(ULONG ulFlags, ULONG cbEntryID, LPENTRYID lpEntryID) PURE;
  STDMETHOD(NotifyNewMail)(LPNOTIFICATION lpNotification) PURE;
};

// A message.
struct IMessage : IMAPIProp {
  STDMETHOD(GetAttachmentTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
  STDMETHOD(OpenAttach)(ULONG ulAttachmentNum, LPCIID lpInterface, ULONG ulFlags, LPATTACH* lppAttach) PURE;
  STDMETHOD(CreateAttach)(LPCIID lpInterface, ULONG ulFlags, ULONG* lpulAttachmentNum, LPATTACH* lppAttach) PURE;
  STDMETHOD(DeleteAttach)(ULONG ulAttachmentNum, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) PURE;
  STDMETHOD(GetRecipientTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
  STDMETHOD(ModifyRecipients)(ULONG ulFlags, LPADRLIST lpMods) PURE;
  STDMETHOD(SubmitMessage)(ULONG ulFlags) PURE;
  STDMETHOD(SetReadFlag)(ULONG ulFlags) PURE;
};

// An attachment of a message; only properties.
struct IAttach : IMAPIProp {};

// Administers the providers of a message service.
struct IProviderAdmin : IUnknown {
  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) PURE;
  STDMETHOD(GetProviderTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
  STDMETHOD(CreateProvider)
  (LPTSTR lpszProvider, ULONG cValues, LPSPropValue lpProps, ULONG_PTR ulUIParam, ULONG ulFlags, MAPIUID* lpUID) PURE;
  STDMETHOD(DeleteProvider)(LPMAPIUID lpUID) PURE;
  STDMETHOD(OpenProfileSection)(LPMAPIUID lpUID, LPCIID lpInterface, ULONG ulFlags, LPPROFSECT* lppProfSect) PURE;
};

// Lets a client tell MAPI's providers that the process is about to end.
struct IMAPIClientShutdown : IUnknown {
  STDMETHOD(QueryFastShutdown)() PURE;
  STDMETHOD(NotifyProcessShutdown)() PURE;
  STDMETHOD(DoFastShutdown)() PURE;
};
using LPMAPICLIENTSHUTDOWN = IMAPIClientShutdown*;

ORBA_DECLARE_INTERFACE(IMAPIAdviseSink, IUnknown, IID_IMAPIAdviseSink);
ORBA_DECLARE_INTERFACE(IMAPIProgress, IUnknown, IID_IMAPIProgress);
ORBA_DECLARE_INTERFACE(IMAPIProp, IUnknown, IID_IMAPIProp);
ORBA_DECLARE_INTERFACE(IMAPITable, IUnknown, IID_IMAPITable);
ORBA_DECLARE_INTERFACE(IProfSect, IMAPIProp, IID_IProfSect);
ORBA_DECLARE_INTERFACE(IMAPIStatus, IMAPIProp, IID_IMAPIStatus);
ORBA_DECLARE_INTERFACE(IMAPIContainer, IMAPIProp, IID_IMAPIContainer);
ORBA_DECLARE_INTERFACE(IABContainer, IMAPIContainer, IID_IABContainer);
ORBA_DECLARE_INTERFACE(IMailUser, IMAPIProp, IID_IMailUser);
ORBA_DECLARE_INTERFACE(IDistList, IMAPIContainer, IID_IDistList);
ORBA_DECLARE_INTERFACE(IMAPIFolder, IMAPIContainer, IID_IMAPIFolder);
ORBA_DECLARE_INTERFACE(IMsgStore, IMAPIProp, IID_IMsgStore);
ORBA_DECLARE_INTERFACE(IMessage, IMAPIProp, IID_IMessage);
ORBA_DECLARE_INTERFACE(IAttach, IMAPIProp, IID_IAttachment);
ORBA_DECLARE_INTERFACE(IProviderAdmin, IUnknown, IID_IProviderAdmin);
ORBA_DECLARE_INTERFACE(IMAPIClientShutdown, IUnknown, IID_IMAPIClientShutdown);
