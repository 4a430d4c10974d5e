// Simple MAPI (MAPI.H): message, recipient and file descriptors, flags, result codes
// and the entry points a client binds by name. The logon flags and recipient classes
// are shared with Extended MAPI and come from its headers.
//
// Simple MAPI's result codes reuse names of Extended MAPI's (MAPI_E_FAILURE beside
// MAPI_E_CALL_FAILED, small integers beside HRESULTs), so they live in the namespace
// `simplemapi`: simplemapi::MAPI_E_NO_MESSAGES.
#pragma once

#include "mapi/mapix.h"

inline constexpr LHANDLE lhSessionNull = 0;

struct MapiFileDesc {
  ULONG ulReserved;
  ULONG flFlags;    // MAPI_OLE, MAPI_OLE_STATIC
  ULONG nPosition;  // character of the text the attachment replaces
  LPSTR lpszPathName;
  LPSTR lpszFileName;
  LPVOID lpFileType;  // a MapiFileTagExt, or null
};
using lpMapiFileDesc = MapiFileDesc*;

struct MapiFileDescW {
  ULONG ulReserved;
  ULONG flFlags;
  ULONG nPosition;
  LPWSTR lpszPathName;
  LPWSTR lpszFileName;
  LPVOID lpFileType;
};
using lpMapiFileDescW = MapiFileDescW*;

inline constexpr ULONG MAPI_OLE = 0x00000001;
inline constexpr ULONG MAPI_OLE_STATIC = 0x00000002;

struct MapiFileTagExt {
  ULONG ulReserved;
  ULONG cbTag;
  LPBYTE lpTag;  // X.400 identifier of the attachment type
  ULONG cbEncoding;
  LPBYTE lpEncoding;  // X.400 identifier of its encoding
};
using lpMapiFileTagExt = MapiFileTagExt*;

struct MapiRecipDesc {
  ULONG ulReserved;
  ULONG ulRecipClass;  // MAPI_ORIG, MAPI_TO, MAPI_CC, MAPI_BCC
  LPSTR lpszName;
  LPSTR lpszAddress;
  ULONG ulEIDSize;
  LPVOID lpEntryID;
};
using lpMapiRecipDesc = MapiRecipDesc*;

struct MapiRecipDescW {
  ULONG ulReserved;
  ULONG ulRecipClass;
  LPWSTR lpszName;
  LPWSTR lpszAddress;
  ULONG ulEIDSize;
  LPVOID lpEntryID;
};
using lpMapiRecipDescW = MapiRecipDescW*;

struct MapiMessage {
  ULONG ulReserved;
  LPSTR lpszSubject;
  LPSTR lpszNoteText;
  LPSTR lpszMessageType;
  LPSTR lpszDateReceived;  // "YYYY/MM/DD HH:MM"
  LPSTR lpszConversationID;
  FLAGS flFlags;  // MAPI_UNREAD, MAPI_RECEIPT_REQUESTED, MAPI_SENT
  lpMapiRecipDesc lpOriginator;
  ULONG nRecipCount;
  lpMapiRecipDesc lpRecips;
  ULONG nFileCount;
  lpMapiFileDesc lpFiles;
};
using lpMapiMessage = MapiMessage*;

struct MapiMessageW {
  ULONG ulReserved;
  LPWSTR lpszSubject;
  LPWSTR lpszNoteText;
  LPWSTR lpszMessageType;
  LPWSTR lpszDateReceived;
  LPWSTR lpszConversationID;
  FLAGS flFlags;
  lpMapiRecipDescW lpOriginator;
  ULONG nRecipCount;
  lpMapiRecipDescW lpRecips;
  ULONG nFileCount;
  lpMapiFileDescW lpFiles;
};
using lpMapiMessageW = MapiMessageW*;

// Message flags.
inline constexpr ULONG MAPI_UNREAD = 0x00000001;
inline constexpr ULONG MAPI_RECEIPT_REQUESTED = 0x00000002;
inline constexpr ULONG MAPI_SENT = 0x00000004;

// Flags of the entry points beyond the shared logon flags.
inline constexpr ULONG MAPI_DIALOG_MODELESS = 0x00000004 | MAPI_DIALOG;  // MAPISendMailW
inline constexpr ULONG MAPI_FORCE_UNICODE = 0x00040000;                  // MAPISendMailW
inline constexpr ULONG MAPI_UNREAD_ONLY = 0x00000020;                    // MAPIFindNext
inline constexpr ULONG MAPI_GUARANTEE_FIFO = 0x00000100;
inline constexpr ULONG MAPI_LONG_MSGID = 0x00004000;
inline constexpr ULONG MAPI_PEEK = 0x00000080;  // MAPIReadMail
inline constexpr ULONG MAPI_SUPPRESS_ATTACH = 0x00000800;
inline constexpr ULONG MAPI_ENVELOPE_ONLY = 0x00000040;
inline constexpr ULONG MAPI_BODY_AS_FILE = 0x00000200;
inline constexpr ULONG MAPI_AB_NOMODIFY = 0x00000400;  // MAPIDetails, MAPIResolveName

namespace simplemapi {

inline constexpr ULONG SUCCESS_SUCCESS = 0;
inline constexpr ULONG MAPI_USER_ABORT = 1;
inline constexpr ULONG MAPI_E_USER_ABORT = MAPI_USER_ABORT;
inline constexpr ULONG MAPI_E_FAILURE = 2;
inline constexpr ULONG MAPI_E_LOGON_FAILURE = 3;
inline constexpr ULONG MAPI_E_LOGIN_FAILURE = MAPI_E_LOGON_FAILURE;
inline constexpr ULONG MAPI_E_DISK_FULL = 4;
inline constexpr ULONG MAPI_E_INSUFFICIENT_MEMORY = 5;
inline constexpr ULONG MAPI_E_ACCESS_DENIED = 6;
inline constexpr ULONG MAPI_E_TOO_MANY_SESSIONS = 8;
inline constexpr ULONG MAPI_E_TOO_MANY_FILES = 9;
inline constexpr ULONG MAPI_E_TOO_MANY_RECIPIENTS = 10;
inline constexpr ULONG MAPI_E_ATTACHMENT_NOT_FOUND = 11;
inline constexpr ULONG MAPI_E_ATTACHMENT_OPEN_FAILURE = 12;
inline constexpr ULONG MAPI_E_ATTACHMENT_WRITE_FAILURE = 13;
inline constexpr ULONG MAPI_E_UNKNOWN_RECIPIENT = 14;
inline constexpr ULONG MAPI_E_BAD_RECIPTYPE = 15;
inline constexpr ULONG MAPI_E_NO_MESSAGES = 16;
inline constexpr ULONG MAPI_E_INVALID_MESSAGE = 17;
inline constexpr ULONG MAPI_E_TEXT_TOO_LARGE = 18;
inline constexpr ULONG MAPI_E_INVALID_SESSION = 19;
inline constexpr ULONG MAPI_E_TYPE_NOT_SUPPORTED = 20;
inline constexpr ULONG MAPI_E_AMBIGUOUS_RECIPIENT = 21;
inline constexpr ULONG MAPI_E_AMBIG_RECIP = MAPI_E_AMBIGUOUS_RECIPIENT;
inline constexpr ULONG MAPI_E_MESSAGE_IN_USE = 22;
inline constexpr ULONG MAPI_E_NETWORK_FAILURE = 23;
inline constexpr ULONG MAPI_E_INVALID_EDITFIELDS = 24;
inline constexpr ULONG MAPI_E_INVALID_RECIPS = 25;
inline constexpr ULONG MAPI_E_NOT_SUPPORTED = 26;
inline constexpr ULONG MAPI_E_UNICODE_NOT_SUPPORTED = 27;
inline constexpr ULONG MAPI_E_ATTACHMENT_TOO_LARGE = 28;

}  // namespace simplemapi

// Entry points; each returns one of the simplemapi codes. MAPIFreeBuffer is shared
// with Extended MAPI (LPMAPIFREEBUFFER).
using MAPILOGON = ULONG(ULONG_PTR ulUIParam, LPSTR lpszProfileName, LPSTR lpszPassword, FLAGS flFlags, ULONG ulReserved,
                        LPLHANDLE lplhSession);
using LPMAPILOGON = MAPILOGON*;

using MAPILOGOFF = ULONG(LHANDLE lhSession, ULONG_PTR ulUIParam, FLAGS flFlags, ULONG ulReserved);
using LPMAPILOGOFF = MAPILOGOFF*;

using MAPISENDMAIL = ULONG(LHANDLE lhSession, ULONG_PTR ulUIParam, lpMapiMessage lpMessage, FLAGS flFlags,
                           ULONG ulReserved);
using LPMAPISENDMAIL = MAPISENDMAIL*;

using MAPISENDMAILW = ULONG(LHANDLE lhSession, ULONG_PTR ulUIParam, lpMapiMessageW lpMessage, FLAGS flFlags,
                            ULONG ulReserved);
using LPMAPISENDMAILW = MAPISENDMAILW*;

using MAPISENDDOCUMENTS = ULONG(ULONG_PTR ulUIParam, LPSTR lpszDelimChar, LPSTR lpszFilePaths, LPSTR lpszFileNames,
                                ULONG ulReserved);
using LPMAPISENDDOCUMENTS = MAPISENDDOCUMENTS*;

using MAPIFINDNEXT = ULONG(LHANDLE lhSession, ULONG_PTR ulUIParam, LPSTR lpszMessageType, LPSTR lpszSeedMessageID,
                           FLAGS flFlags, ULONG ulReserved, LPSTR lpszMessageID);
using LPMAPIFINDNEXT = MAPIFINDNEXT*;

using MAPIREADMAIL = ULONG(LHANDLE lhSession, ULONG_PTR ulUIParam, LPSTR lpszMessageID, FLAGS flFlags, ULONG ulReserved,
                           lpMapiMessage* lppMessage);
using LPMAPIREADMAIL = MAPIREADMAIL*;

using MAPISAVEMAIL = ULONG(LHANDLE lhSession, ULONG_PTR ulUIParam, lpMapiMessage lpMessage, FLAGS flFlags,
                           ULONG ulReserved, LPSTR lpszMessageID);
using LPMAPISAVEMAIL = MAPISAVEMAIL*;

using MAPIDELETEMAIL = ULONG(LHANDLE lhSession, ULONG_PTR ulUIParam, LPSTR lpszMessageID, FLAGS flFlags,
                             ULONG ulReserved);
using LPMAPIDELETEMAIL = MAPIDELETEMAIL*;

using MAPIADDRESS = ULONG(LHANDLE lhSession, ULONG_PTR ulUIParam, LPSTR lpszCaption, ULONG nEditFields,
                          LPSTR lpszLabels, ULONG nRecips, lpMapiRecipDesc lpRecips, FLAGS flFlags, ULONG ulReserved,
                          LPULONG lpnNewRecips, lpMapiRecipDesc* lppNewRecips);
using LPMAPIADDRESS = MAPIADDRESS*;

using MAPIDETAILS = ULONG(LHANDLE lhSession, ULONG_PTR ulUIParam, lpMapiRecipDesc lpRecip, FLAGS flFlags,
                          ULONG ulReserved);
using LPMAPIDETAILS = MAPIDETAILS*;

using MAPIRESOLVENAME = ULONG(LHANDLE lhSession, ULONG_PTR ulUIParam, LPSTR lpszName, FLAGS flFlags, ULONG ulReserved,
                              lpMapiRecipDesc* lppRecip);
using LPMAPIRESOLVENAME = MAPIRESOLVENAME*;
