// One Simple MAPI session: see session.h.
#include "simplemapi/session.h"

#include "base/filetime.h"
#include "base/maperror.h"
#include "mapi/mapiexports.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "session/logon.h"
#include "session/mapisession.h"
#include "simplemapi/mapicalls.h"
#include "simplemapi/simpleerror.h"
#include "simplemapi/storedmessage.h"

namespace orba::store {
namespace {

using namespace simplemapi;

constexpr ULONG kLogonFlags = MAPI_LOGON_UI | MAPI_NEW_SESSION | MAPI_PASSWORD_UI | MAPI_FORCE_DOWNLOAD;

std::string MessageIdOf(Bytes entryId) {
  std::string id(entryId.size() * 2 + 1, '\0');
  HexFromBin(entryId.data(), static_cast<int>(entryId.size()), id.data());
  id.pop_back();
  return id;
}

Bytes EntryIdOf(const std::string& id) {
  Bytes entryId(id.size() / 2);
  bool valid = !id.empty() && FBinFromHex(const_cast<char*>(id.c_str()), entryId.data());
  SimpleCheck(valid, MAPI_E_INVALID_MESSAGE, "The message identifier is not an identifier of this store.");
  return entryId;
}

LPENTRYID EntryIdArg(Bytes& entryId) { return reinterpret_cast<LPENTRYID>(entryId.data()); }

// Messages whose class is type or one below it ("type.*"), regardless of case.
struct TClassFilter {
  explicit TClassFilter(const std::u16string& type) : exact(type), below(type + u".") {
    values[0] = TextValue(tags::kMessageClassW, exact);
    values[1] = TextValue(tags::kMessageClassW, below);
    for (int i = 0; i < 2; ++i) {
      parts[i].rt = RES_CONTENT;
      parts[i].res.resContent = {(i ? FL_PREFIX : FL_FULLSTRING) | FL_IGNORECASE, tags::kMessageClassW, &values[i]};
    }
    either.rt = RES_OR;
    either.res.resOr = {2, parts};
  }
  TClassFilter(const TClassFilter&) = delete;  // the restriction points into itself
  TClassFilter& operator=(const TClassFilter&) = delete;
  std::u16string exact, below;
  SPropValue values[2];
  SRestriction parts[2], either;
};

}  // namespace

TSimpleSession::TSimpleSession(std::shared_ptr<TSessionState> state, bool joined)
    : state_(std::move(state)), joined_(joined), session_(MakeComObject<TMapiSession>(state_)) {}

std::shared_ptr<TSimpleSession> TSimpleSession::Logon(LPSTR profileName, FLAGS flags) {
  TProfileLogon logon;
  try {
    logon = LogonToProfile(profileName, flags & kLogonFlags);
  } catch (const TMapiError& e) {
    if (e.Code() == MAPI_E_LOGON_FAILED || e.Code() == MAPI_E_USER_CANCEL)
      throw TSimpleMapiError(MAPI_E_LOGIN_FAILURE, e.what());
    throw;
  }
  // A session that cannot open its store ends as it is released.
  std::shared_ptr<TSimpleSession> session(new TSimpleSession(logon.state, logon.joined));
  session->OpenDefaultStore();
  return session;
}

void TSimpleSession::OpenDefaultStore() {
  ComPtr<IMAPITable> stores;
  CheckResult(session_->GetMsgStoresTable(0, stores.Out()), "The stores table cannot be read.");
  TRowSet rows(stores.get(), {tags::kDefaultStore, tags::kEntryId});
  for (ULONG i = 0; i < rows.size() && !store_; ++i) {
    if (rows[i][0].ulPropTag != tags::kDefaultStore || !rows[i][0].Value.b) continue;
    Bytes storeId = BytesOf(rows[i][1], tags::kEntryId);
    CheckResult(session_->OpenMsgStore(0, static_cast<ULONG>(storeId.size()), EntryIdArg(storeId), nullptr,
                                       MDB_WRITE | MDB_NO_DIALOG, store_.Out()),
                "The default store cannot be opened.");
  }
  SimpleCheck(static_cast<bool>(store_), MAPI_E_LOGIN_FAILURE, "The profile has no default message store.");
  ULONG cb = 0;
  TMapiBuffer<ENTRYID> inboxId;
  CheckResult(store_->GetReceiveFolder(nullptr, 0, &cb, inboxId.Out(), nullptr), "The store has no Inbox.");
  inboxId_.assign(reinterpret_cast<BYTE*>(inboxId.get()), reinterpret_cast<BYTE*>(inboxId.get()) + cb);
  inbox_ = OpenFolder(inboxId_);
}

ComPtr<IMAPIFolder> TSimpleSession::OpenFolder(const Bytes& entryId) {
  Bytes id = entryId;
  ULONG type = 0;
  ComPtr<IMAPIFolder> folder;
  CheckResult(store_->OpenEntry(static_cast<ULONG>(id.size()), EntryIdArg(id), &IID_IMAPIFolder, MAPI_MODIFY, &type,
                                reinterpret_cast<LPUNKNOWN*>(folder.Out())),
              "A folder of the store cannot be opened.");
  return folder;
}

void TSimpleSession::Logoff() {
  // The objects stay until the last holder lets go: another thread's call may be using
  // them, and answers as the ended session's objects do.
  if (!joined_ && Active()) session_->Logoff(0, 0, 0);
}

TSimpleSession::~TSimpleSession() { Logoff(); }

bool TSimpleSession::Active() const { return !state_->Ended(); }

std::string TSimpleSession::FindNext(const std::u16string& type, const std::string& seed, bool unreadOnly) {
  ComPtr<IMAPITable> table;
  CheckResult(inbox_->GetContentsTable(0, table.Out()), "The Inbox cannot be read.");
  SizedSPropTagArray<1> columns{1, {tags::kEntryId}};
  CheckResult(table->SetColumns(columns.Ptr(), 0), "The Inbox cannot be read.");
  SizedSSortOrderSet<1> byDelivery{1, 0, 0, {{tags::kMessageDeliveryTime, TABLE_SORT_ASCEND}}};
  CheckResult(table->SortTable(byDelivery.Ptr(), 0), "The Inbox cannot be sorted.");

  BOOKMARK origin = BOOKMARK_BEGINNING;
  if (!seed.empty()) {
    // Only messages delivered with or after the seed can follow it: the table starts
    // there, and the seed is found among the ones delivered at its time.
    auto delivered = GetValues(OpenMessage(seed, false).get(), {tags::kMessageDeliveryTime});
    if (delivered->ulPropTag == tags::kMessageDeliveryTime) {
      SRestriction notBefore{RES_PROPERTY, {}};
      notBefore.res.resProperty = {RELOP_GE, tags::kMessageDeliveryTime, delivered.get()};
      CheckResult(table->Restrict(&notBefore, 0), "The Inbox cannot be read.");
    }
    Bytes seedId = EntryIdOf(seed);
    SPropValue seedValue = BinaryValue(tags::kEntryId, seedId);
    SRestriction isSeed{RES_PROPERTY, {}};
    isSeed.res.resProperty = {RELOP_EQ, tags::kEntryId, &seedValue};
    HRESULT hr = table->FindRow(&isSeed, BOOKMARK_BEGINNING, 0);
    SimpleCheck(hr != MAPI_E_NOT_FOUND, MAPI_E_INVALID_MESSAGE, "The seed message has left the Inbox.");
    CheckResult(hr, "The Inbox cannot be read.");
    CheckResult(table->SeekRow(BOOKMARK_CURRENT, 1, nullptr), "The Inbox cannot be read.");
    origin = BOOKMARK_CURRENT;
  }

  TClassFilter classes(type.empty() ? u"IPM" : type);
  SRestriction filter[2] = {classes.either, {RES_BITMASK, {}}};
  filter[1].res.resBitMask = {BMR_EQZ, tags::kMessageFlags, MSGFLAG_READ};
  SRestriction wanted{RES_AND, {}};
  wanted.res.resAnd = {unreadOnly ? 2u : 1u, filter};
  HRESULT hr = table->FindRow(&wanted, origin, 0);
  SimpleCheck(hr != MAPI_E_NOT_FOUND, MAPI_E_NO_MESSAGES, "No further message matches.");
  CheckResult(hr, "The Inbox cannot be read.");
  LPSRowSet found = nullptr;
  CheckResult(table->QueryRows(1, 0, &found), "The Inbox cannot be read.");
  std::unique_ptr<SRowSet, void (*)(LPSRowSet)> rows(found, FreeProws);
  Bytes entryId = rows->cRows ? BytesOf(rows->aRow[0].lpProps[0], tags::kEntryId) : Bytes();
  SimpleCheck(!entryId.empty(), MAPI_E_NO_MESSAGES, "No further message matches.");
  return MessageIdOf(std::move(entryId));
}

ComPtr<IMessage> TSimpleSession::OpenMessage(const std::string& id, bool modify) {
  Bytes entryId = EntryIdOf(id);
  ULONG type = 0;
  ComPtr<IMessage> message;
  HRESULT hr =
      store_->OpenEntry(static_cast<ULONG>(entryId.size()), EntryIdArg(entryId), &IID_IMessage,
                        modify ? MAPI_MODIFY : MAPI_BEST_ACCESS, &type, reinterpret_cast<LPUNKNOWN*>(message.Out()));
  SimpleCheck(SUCCEEDED(hr) && type == MAPI_MESSAGE, MAPI_E_INVALID_MESSAGE, "No message has this identifier.");
  Bytes parentId = BytesOf(*GetValues(message.get(), {tags::kParentEntryId}), tags::kParentEntryId);
  ULONG inInbox = 0;
  CheckResult(store_->CompareEntryIDs(static_cast<ULONG>(parentId.size()), EntryIdArg(parentId),
                                      static_cast<ULONG>(inboxId_.size()), EntryIdArg(inboxId_), 0, &inInbox),
              "The message's folder cannot be compared.");
  SimpleCheck(inInbox != 0, MAPI_E_INVALID_MESSAGE, "The message is not in the Inbox.");
  return message;
}

std::string TSimpleSession::SaveMessage(const TSimpleMessage& simple, const std::string& id) {
  ComPtr<IMessage> message;
  if (id.empty()) {
    CheckResult(inbox_->CreateMessage(nullptr, 0, message.Out()), "A message cannot be created in the Inbox.");
    // A new message's flags are the caller's to give; it arrives now unless dated.
    ULONG flags = (simple.flags & MAPI_UNREAD ? 0 : MSGFLAG_READ) | (simple.flags & MAPI_SENT ? 0 : MSGFLAG_UNSENT);
    SetValues(message.get(),
              {LongValue(tags::kMessageFlags, flags), TimeValue(tags::kMessageDeliveryTime, NowFileTime())});
  } else {
    message = OpenMessage(id, true);
    ClearMessage(message.get());
  }
  WriteMessage(message.get(), simple, TRecipientCheck::Keep);
  CheckResult(message->SaveChanges(KEEP_OPEN_READWRITE), "The message cannot be saved.");
  return id.empty() ? MessageIdOf(BytesOf(*GetValues(message.get(), {tags::kEntryId}), tags::kEntryId)) : id;
}

void TSimpleSession::DeleteMessage(const std::string& id) {
  OpenMessage(id, false);
  Bytes entryId = EntryIdOf(id);
  SBinary bin{static_cast<ULONG>(entryId.size()), entryId.data()};
  ENTRYLIST list{1, &bin};
  CheckResult(inbox_->DeleteMessages(&list, 0, nullptr, 0), "The message cannot be deleted.");
}

void TSimpleSession::SendMessage(const TSimpleMessage& simple) {
  SimpleCheck(!simple.recipients.empty(), MAPI_E_INVALID_RECIPS, "A message to send needs a recipient.");
  auto folders = GetValues(store_.get(), {tags::kIpmOutboxEntryId, tags::kIpmSentMailEntryId});
  Bytes outboxId = BytesOf(folders.get()[0], tags::kIpmOutboxEntryId);
  Bytes sentId = BytesOf(folders.get()[1], tags::kIpmSentMailEntryId);
  Check(!outboxId.empty(), MAPI_E_NOT_FOUND, "The store has no Outbox.");
  ComPtr<IMessage> message;
  CheckResult(OpenFolder(outboxId)->CreateMessage(nullptr, 0, message.Out()),
              "A message cannot be created in the Outbox.");
  // What a sent message arrives with is the transport's to say, not the sender's.
  TSimpleMessage outgoing = simple;
  outgoing.dateReceived.reset();
  WriteMessage(message.get(), outgoing, TRecipientCheck::Resolve);
  if (!sentId.empty()) SetValues(message.get(), {BinaryValue(tags::kSentMailEntryId, sentId)});
  CheckResult(message->SubmitMessage(0), "The message cannot be submitted.");
}

}  // namespace orba::store
