// Orba Store's transport: see transport.h.
#include "mapiobjects/transport.h"
#include "base/filetime.h"

#include <cctype>
#include <filesystem>
#include <map>

#include "base/maperror.h"
#include "mapiobjects/namedremap.h"
#include "mapiobjects/storeproviders.h"
#include "orba/common/utf8.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "storage/directory.h"

namespace orba::store {
namespace {

// The Exchange address book provider's UID, which its permanent entry IDs carry.
constexpr BYTE kExchangeAbUid[16] = {0xDC, 0xA7, 0x40, 0xC8, 0xC0, 0x42, 0x10, 0x1A,
                                     0xB4, 0xB9, 0x08, 0x00, 0x2B, 0x2F, 0xE1, 0x82};

// One notification to raise once the work is done.
struct TNotice {
  std::shared_ptr<TOpenStore> store;
  TStoreChange change;
};
using TNotices = std::vector<TNotice>;

std::function<void()> Raiser(TNotices notices) {
  return [notices = std::move(notices)] {
    for (const TNotice& notice : notices) notice.store->Changed(notice.change);
  };
}

// An address as the five properties of one side of a message carry it.
struct TAddress {
  std::u16string name, addrType, email;
  Bytes entryId, searchKey;
};

TAddress MailboxAddress(const TDirectoryMailbox& mailbox) {
  TAddress address{FromUtf8(mailbox.displayName), u"EX", FromUtf8(mailbox.legacyDn), {}, {}};
  // A permanent address book entry ID: flags, provider UID, version 1, type 0 (a mail
  // user), the DN with its terminating zero.
  address.entryId.assign(4, 0);
  address.entryId.insert(address.entryId.end(), std::begin(kExchangeAbUid), std::end(kExchangeAbUid));
  const BYTE versionAndType[8] = {1, 0, 0, 0, 0, 0, 0, 0};
  address.entryId.insert(address.entryId.end(), std::begin(versionAndType), std::end(versionAndType));
  address.entryId.insert(address.entryId.end(), mailbox.legacyDn.begin(), mailbox.legacyDn.end());
  address.entryId.push_back(0);
  // A search key is "TYPE:ADDRESS" in upper case with a terminating zero.
  std::string key = "EX:" + mailbox.legacyDn;
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  address.searchKey.assign(key.begin(), key.end());
  address.searchKey.push_back(0);
  return address;
}

void Put(TStoredProps& props, TStoredProp prop) {
  std::erase_if(props, [&](const TStoredProp& p) { return PROP_ID(p.tag) == PROP_ID(prop.tag); });
  props.push_back(std::move(prop));
}

void Remove(TStoredProps& props, ULONG tag) {
  std::erase_if(props, [&](const TStoredProp& p) { return PROP_ID(p.tag) == PROP_ID(tag); });
}

void PutAddress(TStoredProps& props, const tags::TAddressTags& tags, const TAddress& address) {
  Put(props, Stored(BinaryValue(tags.entryId, address.entryId)));
  Put(props, Stored(TextValue(tags.name, address.name)));
  Put(props, Stored(TextValue(tags.addrType, address.addrType)));
  Put(props, Stored(TextValue(tags.emailAddress, address.email)));
  Put(props, Stored(BinaryValue(tags.searchKey, address.searchKey)));
}

std::u16string TextOf(const TStoredProps& props, ULONG propId) {
  const TStoredProp* prop = FindStored(props, propId);
  return prop ? StoredText(*prop).value_or(u"") : u"";
}

// The mailbox that owns store, if it is one of the organisation's.
std::optional<TDirectoryMailbox> OwnerOf(const TOpenStore& store) {
  if (store.Engine().Kind() != TStoreKind::Mailbox) return std::nullopt;
  return TServerDirectory::FindByStorePath(store.FilePath());
}

// The sender's side of a submitted message: submit time and flags, and the sender
// (the represented sender too, unless the client named one).
void StampSubmission(TStoredProps& props, const TOpenStore& store, int64_t now) {
  Put(props, Stored(TimeValue(tags::kClientSubmitTime, now)));
  Put(props, Stored(LongValue(tags::kSubmitFlags, 0)));
  auto owner = OwnerOf(store);
  if (!owner) return;
  TAddress sender = MailboxAddress(*owner);
  PutAddress(props, tags::kSender, sender);
  if (!FindStored(props, PROP_ID(tags::kSentRepresenting.entryId)) &&
      !FindStored(props, PROP_ID(tags::kSentRepresenting.name)))
    PutAddress(props, tags::kSentRepresenting, sender);
}

ULONG RecipientTypeOf(const TRecipientImage& recipient) {
  const TStoredProp* type = FindStored(recipient.props, PROP_ID(tags::kRecipientType));
  ULONG value = type ? static_cast<ULONG>(StoredNumber(*type).value_or(MAPI_TO)) : MAPI_TO;
  return value & ~(MAPI_SUBMITTED | MAPI_P1);
}

// One mailbox of the organisation among the recipients, and how it is addressed.
struct TLocalRecipient {
  TDirectoryMailbox mailbox;
  bool to = false, cc = false;
};

// The organisation's mailbox a recipient names, if any.
std::optional<TDirectoryMailbox> Resolve(const TRecipientImage& recipient) {
  std::u16string type = TextOf(recipient.props, PROP_ID(tags::kAddrTypeW));
  std::u16string email = TextOf(recipient.props, PROP_ID(tags::kEmailAddressW));
  if (type.empty() || email.empty()) return std::nullopt;
  return TServerDirectory::FindByAddress(ToUtf8(type), ToUtf8(email));
}

// The store engine of a mailbox: the one a session of this process has open, else
// its file opened (or created, as its first logon would) for this delivery.
std::shared_ptr<TStoreEngine> MailboxEngine(const TDirectoryMailbox& mailbox,
                                            const std::vector<std::shared_ptr<TOpenStore>>& open) {
  if (!open.empty()) return open.front()->EngineRef();
  if (std::filesystem::exists(mailbox.storePath)) return TStoreEngine::Open(mailbox.storePath);
  return TStoreEngine::Create(mailbox.storePath, TStoreKind::Mailbox, u"Mailbox - " + FromUtf8(mailbox.displayName));
}

// The copy a mailbox receives: unread, BCC recipients left out, the sender store's
// own properties left out, the recipient's delivery properties added.
void Deliver(const TStoreEngine& sender, const TMessageImage& image, const TLocalRecipient& local, int64_t now,
             TNotices& notices) {
  auto open = TOpenStore::OpenAt(local.mailbox.storePath);
  std::shared_ptr<TStoreEngine> engine = MailboxEngine(local.mailbox, open);
  TMessageImage copy = image;
  RemapNamedProps(copy, *sender.Names(), *engine->Names());
  std::erase_if(copy.recipients, [](const TRecipientImage& r) { return RecipientTypeOf(r) == MAPI_BCC; });
  for (ULONG tag : {tags::kSentMailEntryId, tags::kDeleteAfterSubmit, tags::kSubmitFlags}) Remove(copy.props, tag);
  Put(copy.props, Stored(LongValue(tags::kMessageFlags, 0)));
  Put(copy.props, Stored(TimeValue(tags::kMessageDeliveryTime, now)));
  TAddress me = MailboxAddress(local.mailbox);
  PutAddress(copy.props, tags::kReceivedBy, me);
  PutAddress(copy.props, tags::kRcvdRepresenting, me);
  Put(copy.props, Stored(BoolValue(tags::kMessageToMe, local.to)));
  Put(copy.props, Stored(BoolValue(tags::kMessageCcMe, local.cc)));
  Put(copy.props, Stored(BoolValue(tags::kMessageRecipMe, true)));
  std::string messageClass = ToUtf8(TextOf(copy.props, PROP_ID(tags::kMessageClassA)));
  int64_t folder = engine->Folders().GetReceiveFolder(messageClass).folderId;
  int64_t id = engine->Messages().Create(folder, false, copy);
  for (const auto& store : open) {
    notices.push_back({store, {fnevObjectCreated, TObjectKind::Message, id, folder}});
    notices.push_back({store, {fnevNewMail, TObjectKind::Message, id, folder}});
  }
}

// The sender's store's notifications for what became of its message.
void NoteOutcome(const std::shared_ptr<TOpenStore>& store, const TSubmitOutcome& outcome, TNotices& notices) {
  auto note = [&](ULONG event, int64_t parent, int64_t oldParent) {
    notices.push_back({store,
                       {event, TObjectKind::Message, outcome.messageId, parent, oldParent ? outcome.messageId : 0,
                        oldParent, outcome.associated}});
  };
  switch (outcome.fate) {
    case TSubmitFate::Moved: note(fnevObjectMoved, outcome.sentFolderId, outcome.folderId); break;
    case TSubmitFate::Deleted: note(fnevObjectDeleted, outcome.folderId, 0); break;
    case TSubmitFate::Queued:
    case TSubmitFate::Kept:
      if (!outcome.created) note(fnevObjectModified, outcome.folderId, 0);
      break;
  }
}

// A message that left the queue unsent changed its flags where it is.
void NoteUnqueued(const std::shared_ptr<TOpenStore>& store, int64_t messageId) {
  TMessageRecord record = store->Engine().Messages().Get(messageId);
  store->Changed({fnevObjectModified, TObjectKind::Message, messageId, record.folderId, 0, 0, record.associated});
}

}  // namespace

std::function<void()> SubmitMessage(const std::shared_ptr<TOpenStore>& store, TMessageSubmission submission) {
  TStoreEngine& engine = store->Engine();
  // Everything that can refuse the submission is checked before anyone receives it.
  engine.Submission().SentMailFolder(submission.image.props);
  if (submission.messageId) {
    TMessageRecord current;
    try {
      current = engine.Messages().Get(submission.messageId);
    } catch (const TMapiError&) {
      throw TMapiError(MAPI_E_OBJECT_DELETED, "The message has been deleted.");
    }
    if (submission.expectedChangeNumber && *submission.expectedChangeNumber != current.change.changeNumber)
      throw TMapiError(MAPI_E_OBJECT_CHANGED, "The message has been changed since it was opened.");
  } else {
    engine.Folders().Get(submission.folderId);
  }

  int64_t now = NowFileTime();
  TMessageImage& image = submission.image;
  StampSubmission(image.props, *store, now);

  std::map<std::string, TLocalRecipient> local;  // by mailbox name, in lower case
  std::vector<ULONG> queued;
  for (const TRecipientImage& recipient : image.recipients) {
    auto mailbox = Resolve(recipient);
    if (!mailbox) {
      queued.push_back(recipient.rowId);
      continue;
    }
    std::string key = mailbox->name;
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    TLocalRecipient& entry = local.try_emplace(key, TLocalRecipient{*mailbox}).first->second;
    ULONG type = RecipientTypeOf(recipient);
    entry.to |= type == MAPI_TO;
    entry.cc |= type == MAPI_CC;
  }

  TNotices notices;
  for (const auto& [name, recipient] : local) Deliver(engine, image, recipient, now, notices);

  TSubmitRequest request{
      submission.messageId, submission.folderId, std::move(image), submission.expectedChangeNumber, now, 0,
      std::move(queued)};
  TSubmitOutcome outcome = engine.Submission().Submit(request);
  if (outcome.created)
    notices.push_back({store, {fnevObjectCreated, TObjectKind::Message, outcome.messageId, outcome.folderId}});
  NoteOutcome(store, outcome, notices);
  return Raiser(std::move(notices));
}

void MarkQueuedMessageSent(const std::shared_ptr<TOpenStore>& store, int64_t messageId) {
  TNotices notices;
  NoteOutcome(store, store->Engine().Submission().MarkSent(messageId), notices);
  Raiser(std::move(notices))();
}

void MarkQueuedMessageFailed(const std::shared_ptr<TOpenStore>& store, int64_t messageId) {
  store->Engine().Submission().MarkFailed(messageId);
  NoteUnqueued(store, messageId);
}

void AbortSubmittedMessage(const std::shared_ptr<TOpenStore>& store, int64_t messageId) {
  store->Engine().Submission().AbortSubmit(messageId);
  NoteUnqueued(store, messageId);
}

}  // namespace orba::store
