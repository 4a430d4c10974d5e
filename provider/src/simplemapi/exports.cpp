// Simple MAPI's entry points, with their published signatures and result codes, over
// the sessions of sessiontable.h.
//
// - Null result pointers and null message or recipient structures are MAPI_E_FAILURE
//   (Simple MAPI has no code of its own for them); a null or unknown message identifier
//   is MAPI_E_INVALID_MESSAGE.
// - Handle 0 makes MAPISendMail, MAPISendMailW, MAPISaveMail (of a new message),
//   MAPIResolveName, MAPIAddress and MAPIDetails log on for the duration of the call, as
//   published; MAPISendDocuments always does. The other functions need a live handle.
// - No user interface: where a function would show a dialog, it answers as a client
//   whose dialog could not be completed. The send dialogs (MAPISendMail and
//   MAPISendMailW with MAPI_DIALOG or MAPI_DIALOG_MODELESS, and MAPISendDocuments, whose
//   cover note is a dialog) are MAPI_E_USER_ABORT: that is the published answer for a
//   send whose dialog was not completed, and nothing is sent. MAPIAddress and MAPIDetails
//   exist only as dialogs: MAPI_E_NOT_SUPPORTED, the published answer for an operation
//   the messaging system does not support, after their arguments are checked.
//   MAPIResolveName with MAPI_DIALOG needs none, as no name is ever ambiguous.
// - MAPIFreeBuffer is Extended MAPI's (memory/mapimemory.h): every structure returned
//   here is one buffer.
#include <cstring>

#include "base/export.h"
#include "base/maperror.h"
#include "mapi/mapiexports.h"
#include "orba/common/encoding.h"
#include "simplemapi/recipients.h"
#include "simplemapi/sessiontable.h"
#include "simplemapi/simpleerror.h"
#include "simplemapi/storedmessage.h"

namespace orba::store {
namespace {

using namespace simplemapi;

std::string IdText(LPSTR id) { return id ? std::string(id) : std::string(); }

// Writes a message identifier into the caller's buffer: 64 characters with the
// terminating zero, or 512 with MAPI_LONG_MSGID.
void CopyMessageId(const std::string& id, LPSTR out, FLAGS flags) {
  size_t limit = flags & MAPI_LONG_MSGID ? 512 : 64;
  SimpleCheck(id.size() < limit, MAPI_E_FAILURE, "The message identifier does not fit the caller's buffer.");
  std::memcpy(out, id.c_str(), id.size() + 1);
}

template <class Message>
ULONG Send(LHANDLE lhSession, Message* lpMessage, FLAGS flFlags) {
  return SimpleGuarded([&] {
    SimpleCheck(lpMessage != nullptr, MAPI_E_FAILURE, "No message was given.");
    auto session = SessionForCall(lhSession, flFlags);
    TSimpleMessage message = FromMapiMessage(*lpMessage);
    SimpleCheck(!(flFlags & MAPI_DIALOG), MAPI_E_USER_ABORT, "The send dialog cannot be shown.");
    session->SendMessage(message);
    return simplemapi::SUCCESS_SUCCESS;
  });
}

}  // namespace
}  // namespace orba::store

using namespace orba::store;

ORBASTORE_EXPORT ULONG MAPILogon(ULONG_PTR, LPSTR lpszProfileName, LPSTR, FLAGS flFlags, ULONG, LPLHANDLE lplhSession) {
  return SimpleGuarded([&] {
    SimpleCheck(lplhSession != nullptr, MAPI_E_FAILURE, "No session handle variable was given.");
    *lplhSession = 0;
    *lplhSession = AddSession(TSimpleSession::Logon(lpszProfileName, flFlags));
    return simplemapi::SUCCESS_SUCCESS;
  });
}

ORBASTORE_EXPORT ULONG MAPILogoff(LHANDLE lhSession, ULONG_PTR, FLAGS, ULONG) {
  return SimpleGuarded([&] {
    auto session = RemoveSession(lhSession);
    SimpleCheck(session->Active(), MAPI_E_INVALID_SESSION, "The session has ended.");
    session->Logoff();
    return simplemapi::SUCCESS_SUCCESS;
  });
}

ORBASTORE_EXPORT ULONG MAPIFindNext(LHANDLE lhSession, ULONG_PTR, LPSTR lpszMessageType, LPSTR lpszSeedMessageID,
                                    FLAGS flFlags, ULONG, LPSTR lpszMessageID) {
  return SimpleGuarded([&] {
    SimpleCheck(lpszMessageID != nullptr, MAPI_E_FAILURE, "No buffer for the message identifier was given.");
    std::u16string type = lpszMessageType ? orba::TVoEncoding::ConvertW(lpszMessageType) : std::u16string();
    std::string id =
        FindSession(lhSession)->FindNext(type, IdText(lpszSeedMessageID), (flFlags & MAPI_UNREAD_ONLY) != 0);
    CopyMessageId(id, lpszMessageID, flFlags);
    return simplemapi::SUCCESS_SUCCESS;
  });
}

ORBASTORE_EXPORT ULONG MAPIReadMail(LHANDLE lhSession, ULONG_PTR, LPSTR lpszMessageID, FLAGS flFlags, ULONG,
                                    lpMapiMessage* lppMessage) {
  return SimpleGuarded([&] {
    SimpleCheck(lppMessage != nullptr, MAPI_E_FAILURE, "No message variable was given.");
    *lppMessage = nullptr;
    auto session = FindSession(lhSession);
    orba::ComPtr<IMessage> message = session->OpenMessage(IdText(lpszMessageID), false);
    TMapiBuffer<MapiMessage> result(ToMapiMessage(ReadMessage(message.get(), flFlags)));
    // Read only once everything was read: a failed read leaves the message unread.
    if (!(flFlags & MAPI_PEEK)) CheckResult(message->SetReadFlag(0), "The message cannot be marked read.");
    *lppMessage = result.Release();
    return simplemapi::SUCCESS_SUCCESS;
  });
}

ORBASTORE_EXPORT ULONG MAPISaveMail(LHANDLE lhSession, ULONG_PTR, lpMapiMessage lpMessage, FLAGS flFlags, ULONG,
                                    LPSTR lpszMessageID) {
  return SimpleGuarded([&] {
    SimpleCheck(lpMessage != nullptr && lpszMessageID != nullptr, MAPI_E_FAILURE,
                "A message and a buffer for its identifier are needed.");
    std::string id = lpszMessageID;
    SimpleCheck(lhSession != 0 || id.empty(), MAPI_E_INVALID_SESSION,
                "A message is replaced only in the session that found it.");
    auto session = SessionForCall(lhSession, flFlags);
    CopyMessageId(session->SaveMessage(FromMapiMessage(*lpMessage), id), lpszMessageID, flFlags);
    return simplemapi::SUCCESS_SUCCESS;
  });
}

ORBASTORE_EXPORT ULONG MAPIDeleteMail(LHANDLE lhSession, ULONG_PTR, LPSTR lpszMessageID, FLAGS, ULONG) {
  return SimpleGuarded([&] {
    FindSession(lhSession)->DeleteMessage(IdText(lpszMessageID));
    return simplemapi::SUCCESS_SUCCESS;
  });
}

ORBASTORE_EXPORT ULONG MAPISendMail(LHANDLE lhSession, ULONG_PTR, lpMapiMessage lpMessage, FLAGS flFlags, ULONG) {
  return Send(lhSession, lpMessage, flFlags);
}

ORBASTORE_EXPORT ULONG MAPISendMailW(LHANDLE lhSession, ULONG_PTR, lpMapiMessageW lpMessage, FLAGS flFlags, ULONG) {
  return Send(lhSession, lpMessage, flFlags);
}

ORBASTORE_EXPORT ULONG MAPISendDocuments(ULONG_PTR, LPSTR lpszDelimChar, LPSTR, LPSTR, ULONG) {
  return SimpleGuarded([&]() -> ULONG {
    SimpleCheck(lpszDelimChar != nullptr && *lpszDelimChar, MAPI_E_FAILURE, "No delimiter was given.");
    SessionForCall(0, MAPI_LOGON_UI);
    throw TSimpleMapiError(MAPI_E_USER_ABORT, "The cover note dialog cannot be shown.");
  });
}

ORBASTORE_EXPORT ULONG MAPIResolveName(LHANDLE lhSession, ULONG_PTR, LPSTR lpszName, FLAGS flFlags, ULONG,
                                       lpMapiRecipDesc* lppRecip) {
  return SimpleGuarded([&] {
    SimpleCheck(lppRecip != nullptr, MAPI_E_FAILURE, "No recipient variable was given.");
    *lppRecip = nullptr;
    SessionForCall(lhSession, flFlags);
    auto address = SmtpAddress(lpszName ? orba::TVoEncoding::ConvertW(lpszName) : std::u16string());
    SimpleCheck(address.has_value(), MAPI_E_UNKNOWN_RECIPIENT, "Only SMTP addresses resolve without an address book.");
    *lppRecip = ToMapiRecip(SimpleRecipientOf(*address, MAPI_TO));
    return simplemapi::SUCCESS_SUCCESS;
  });
}

ORBASTORE_EXPORT ULONG MAPIAddress(LHANDLE lhSession, ULONG_PTR, LPSTR, ULONG nEditFields, LPSTR, ULONG nRecips,
                                   lpMapiRecipDesc lpRecips, FLAGS flFlags, ULONG, LPULONG lpnNewRecips,
                                   lpMapiRecipDesc* lppNewRecips) {
  return SimpleGuarded([&]() -> ULONG {
    SimpleCheck(lpnNewRecips != nullptr && lppNewRecips != nullptr, MAPI_E_FAILURE, "No result variables were given.");
    *lpnNewRecips = 0;
    *lppNewRecips = nullptr;
    SimpleCheck(nEditFields <= 4, MAPI_E_INVALID_EDITFIELDS, "At most four edit fields exist.");
    SimpleCheck(nRecips == 0 || lpRecips != nullptr, MAPI_E_INVALID_RECIPS, "A recipient count without recipients.");
    SessionForCall(lhSession, flFlags);
    throw TSimpleMapiError(MAPI_E_NOT_SUPPORTED, "The address book dialog cannot be shown.");
  });
}

ORBASTORE_EXPORT ULONG MAPIDetails(LHANDLE lhSession, ULONG_PTR, lpMapiRecipDesc lpRecip, FLAGS flFlags, ULONG) {
  return SimpleGuarded([&]() -> ULONG {
    SimpleCheck(lpRecip != nullptr, MAPI_E_FAILURE, "No recipient was given.");
    SessionForCall(lhSession, flFlags);
    try {
      ResolveRecipient(FromMapiRecip(*lpRecip));
    } catch (const TSimpleMapiError&) {
      throw TSimpleMapiError(MAPI_E_INVALID_RECIPS, "The recipient is not known.");
    }
    throw TSimpleMapiError(MAPI_E_NOT_SUPPORTED, "The details dialog cannot be shown.");
  });
}
