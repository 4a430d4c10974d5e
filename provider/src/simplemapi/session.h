// One Simple MAPI session: a logon to a profile, its default message store and the
// store's Inbox, and what Simple MAPI does there, all through the MAPI objects of the
// session (IMAPISession, IMsgStore, IMAPIFolder, IMessage).
//
// - Logon: the named profile, or the default one for none; without MAPI_NEW_SESSION the
//   process's shared session (an Extended MAPI logon with MAPI_ALLOW_OTHERS) when there
//   is one. No dialog is ever shown: a logon only a dialog could complete (no name and
//   no default profile, an unknown profile) is MAPI_E_LOGIN_FAILURE with or without
//   MAPI_LOGON_UI, as MAPILogon answers when the user could not log on; so is a profile
//   without a default store.
// - Message identifiers are the entry IDs of the Inbox's messages as upper-case hex
//   text (60 characters for Orba Store's entry IDs, within the 64 characters, with the
//   terminating zero, that callers without MAPI_LONG_MSGID provide). A text that is
//   not the identifier of a message in the Inbox is MAPI_E_INVALID_MESSAGE.
// - Finding walks the Inbox in delivery order (the oldest first), so MAPI_GUARANTEE_FIFO
//   is always kept; a type selects its message class and the classes below it
//   ("IPC.Orba" finds "IPC.Orba" and "IPC.Orba.Status"), no type the interpersonal
//   messages ("IPM" and "IPM.*").
// - Saving puts a new message into the Inbox (read unless MAPI_UNREAD, a draft unless
//   MAPI_SENT, delivered now unless a date is given) or replaces the contents of one.
// - Sending creates the message in the Outbox and submits it with the store's own
//   transport; the sender's copy goes to Sent Items.
#pragma once

#include <memory>
#include <string>

#include "mapi/mapix.h"
#include "orba/common/comptr.h"
#include "props/propcodec.h"
#include "session/sessionstate.h"
#include "simplemapi/simplemessage.h"

namespace orba::store {

class TSimpleSession {
 public:
  // flags: MAPI_LOGON_UI, MAPI_NEW_SESSION, MAPI_PASSWORD_UI, MAPI_FORCE_DOWNLOAD (other
  // bits are ignored). Throws TSimpleMapiError.
  static std::shared_ptr<TSimpleSession> Logon(LPSTR profileName, FLAGS flags);

  // Ends the MAPI session, unless this one joined the shared session, which goes on.
  // Idempotent; the last holder's release logs off too. Thread-safe.
  void Logoff();
  ~TSimpleSession();
  // False once the session ended (logged off, or MAPI uninitialised under it).
  bool Active() const;

  // The identifier of the first message after seed (empty: the first of all) whose class
  // is of type (empty: interpersonal), unread ones only when asked; MAPI_E_NO_MESSAGES
  // when there is none.
  std::string FindNext(const std::u16string& type, const std::string& seed, bool unreadOnly);
  ComPtr<IMessage> OpenMessage(const std::string& id, bool modify);
  // Saves into a new message (id empty) or over message id; answers the identifier.
  std::string SaveMessage(const TSimpleMessage& message, const std::string& id);
  void DeleteMessage(const std::string& id);
  void SendMessage(const TSimpleMessage& message);

 private:
  TSimpleSession(std::shared_ptr<TSessionState> state, bool joined);
  void OpenDefaultStore();
  ComPtr<IMAPIFolder> OpenFolder(const Bytes& entryId);

  std::shared_ptr<TSessionState> state_;
  bool joined_;
  ComPtr<IMAPISession> session_;
  ComPtr<IMsgStore> store_;
  Bytes inboxId_;
  ComPtr<IMAPIFolder> inbox_;
};

}  // namespace orba::store
