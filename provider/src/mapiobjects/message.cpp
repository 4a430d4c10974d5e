// IMessage: the message object's state, computed properties, saving and read flag,
// and the factories of message.h. Recipients and attachments live in
// recipients.cpp and message_attachments.cpp.
#include <cstring>

#include "base/filetime.h"
#include "base/lasterror.h"
#include "base/maperror.h"
#include "mapiobjects/attach.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "storage/readflags.h"
#include "table/mapitable.h"
#include "table/rowbuilder.h"

namespace orba::store {
namespace {

// The flags a client may give a message before its first save (importers keep a
// message's read, sent and receipt state); the others are the store's.
constexpr ULONG kInitialClientFlags = MSGFLAG_READ | MSGFLAG_UNMODIFIED | MSGFLAG_UNSENT | MSGFLAG_FROMME |
                                      MSGFLAG_RESEND | MSGFLAG_RN_PENDING | MSGFLAG_NRN_PENDING;

}  // namespace

TMessage::TMessage(std::shared_ptr<TStoreEngine> engine, TMessageObjectOptions options)
    : TPropObject<IMessage>(TPropObjectOptions{options.access, true, engine->Names()}),
      engine_(std::move(engine)),
      options_(std::move(options)),
      createdAt_(NowFileTime()),
      modifiedAt_(createdAt_) {
  if (options_.storeEntryId.empty()) options_.storeEntryId = engine_->EntryId(TObjectKind::Store, 0);
  AddComputedProps();
}

TMessage::~TMessage() = default;

ComPtr<TMessage> TMessage::CreateInFolder(std::shared_ptr<TStoreEngine> engine, int64_t folderId, bool associated,
                                          TMessageObjectOptions options) {
  if (!engine) throw TMapiError(MAPI_E_INVALID_PARAMETER, "There is no store.");
  engine->Folders().Get(folderId);  // MAPI_E_NOT_FOUND for a folder that is not there
  ComPtr<TMessage> message(new TMessage(std::move(engine), std::move(options)));
  message->folderId_ = folderId;
  message->associated_ = associated;
  // A message a client creates is its own, read and not sent yet.
  message->newFlags_ = MSGFLAG_UNSENT | MSGFLAG_READ;
  return message;
}

ComPtr<TMessage> TMessage::OpenSaved(std::shared_ptr<TStoreEngine> engine, int64_t messageId,
                                     TMessageObjectOptions options) {
  if (!engine) throw TMapiError(MAPI_E_INVALID_PARAMETER, "There is no store.");
  // The record first: a change between the two reads then shows as a conflict at
  // SaveChanges instead of going unnoticed.
  TMessageRecord record = engine->Messages().Get(messageId);
  TMessageImage image = engine->Messages().Load(messageId);
  ComPtr<TMessage> message(new TMessage(std::move(engine), std::move(options)));
  message->id_ = messageId;
  message->folderId_ = record.folderId;
  message->associated_ = record.associated;
  message->record_ = std::move(record);
  message->LoadContent(image);
  return message;
}

ComPtr<TMessage> TMessage::OpenEmbedded(std::shared_ptr<TStoreEngine> engine, ComPtr<TAttach> host,
                                        const TMessageImage* image, TAccessMode access) {
  TMessageObjectOptions options;
  options.access = access;
  ComPtr<TMessage> message(new TMessage(std::move(engine), std::move(options)));
  message->host_ = std::move(host);
  message->newFlags_ = MSGFLAG_UNSENT | MSGFLAG_READ;
  if (image) message->LoadContent(*image);
  return message;
}

void TMessage::LoadContent(const TMessageImage& image) {
  TStoredProps props;
  for (const auto& prop : image.props) {
    ULONG propId = PROP_ID(prop.tag);
    if (propId != PROP_ID(tags::kMessageFlags) && propId != PROP_ID(tags::kCreationTime) &&
        propId != PROP_ID(tags::kLastModificationTime)) {
      props.push_back(prop);
      continue;
    }
    // An embedded message keeps its flags and times among its properties; a message
    // of a folder has them in its record.
    if (id_) continue;
    if (prop.tag == tags::kMessageFlags)
      newFlags_ = static_cast<ULONG>(StoredNumber(prop).value_or(0));
    else if (prop.tag == tags::kCreationTime)
      createdAt_ = StoredNumber(prop).value_or(createdAt_);
    else if (prop.tag == tags::kLastModificationTime)
      modifiedAt_ = StoredNumber(prop).value_or(modifiedAt_);
  }
  LoadStored(props);
  recipients_ = image.recipients;
  for (const auto& recipient : recipients_) nextRowId_ = std::max(nextRowId_, recipient.rowId + 1);
  for (const auto& attachment : image.attachments) {
    attachments_[attachment.num] = attachment;
    nextAttachNum_ = std::max(nextAttachNum_, attachment.num + 1);
  }
  everSaved_ = true;
}

TMessageImage TMessage::Content() const {
  TMessageImage image;
  image.props = StoredValues();
  image.props.push_back(Stored(LongValue(tags::kMessageFlags, CurrentFlags())));
  if (host_) {
    // An embedded message's times are saved with it, so that they read the same later.
    image.props.push_back(Stored(TimeValue(tags::kCreationTime, createdAt_)));
    image.props.push_back(Stored(TimeValue(tags::kLastModificationTime, modifiedAt_)));
  }
  image.recipients = recipients_;
  for (const auto& [num, attachment] : attachments_) image.attachments.push_back(attachment);
  return image;
}

ULONG TMessage::CurrentFlags() const {
  ULONG flags = id_ ? record_.flags : newFlags_;
  if (associated_) flags |= MSGFLAG_ASSOCIATED;
  flags &= ~MSGFLAG_HASATTACH;
  if (!attachments_.empty()) flags |= MSGFLAG_HASATTACH;
  return flags;
}

ULONG TMessage::SizeEstimate() const {
  // Counted as the store counts a saved message.
  return SizeValue(ImageSize(Content()));
}

std::u16string RecipientDisplayList(const std::vector<TRecipientImage>& recipients, ULONG recipientType) {
  std::u16string list;
  for (const TRecipientImage& recipient : recipients) {
    const TStoredProp* type = FindStored(recipient.props, PROP_ID(tags::kRecipientType));
    const TStoredProp* name = FindStored(recipient.props, PROP_ID(tags::kDisplayNameW));
    if (!type || !name) continue;
    // A transport marks the recipients it handled; they stay in the lists.
    if ((static_cast<ULONG>(StoredNumber(*type).value_or(0)) & ~(MAPI_SUBMITTED | MAPI_P1)) != recipientType) continue;
    if (!list.empty()) list += u"; ";
    list += StoredText(*name).value_or(u"");
  }
  return list;
}

void TMessage::AddComputedProps() {
  // Identity exists once the message is saved; an embedded message has none.
  auto identity = [this](ULONG tag, std::function<Bytes()> make) {
    AddComputed(tag, [this, tag, make](SPropValue& out, void* parent) {
      out = id_ ? BinaryValue(tag, make(), parent) : ErrorValue(tag, MAPI_E_NOT_FOUND);
    });
  };
  identity(tags::kEntryId, [this] { return engine_->EntryId(TObjectKind::Message, id_); });
  identity(tags::kRecordKey, [this] { return engine_->EntryId(TObjectKind::Message, id_); });
  identity(tags::kInstanceKey, [this] {
    std::string key = IdInstanceKey(id_);
    return Bytes(key.begin(), key.end());
  });
  identity(tags::kSearchKey, [this] { return record_.searchKey; });
  identity(tags::kSourceKey, [this] { return record_.change.sourceKey; });
  identity(tags::kChangeKey, [this] { return record_.change.changeKey; });
  identity(tags::kPredecessorChangeList, [this] { return record_.change.predecessors; });
  AddComputed(tags::kParentEntryId, [this](SPropValue& out, void* parent) {
    out = folderId_ ? BinaryValue(tags::kParentEntryId, engine_->EntryId(TObjectKind::Folder, folderId_), parent)
                    : ErrorValue(tags::kParentEntryId, MAPI_E_NOT_FOUND);
  });
  AddComputed(tags::kStoreEntryId, [this](SPropValue& out, void* parent) {
    out = BinaryValue(tags::kStoreEntryId, options_.storeEntryId, parent);
  });
  AddComputed(tags::kStoreRecordKey, [this](SPropValue& out, void* parent) {
    const MAPIUID& uid = engine_->ProviderUid();
    out = BinaryValue(tags::kStoreRecordKey, uid.ab, parent);
  });
  AddComputed(
      tags::kMessageFlags, [this](SPropValue& out, void*) { out = LongValue(tags::kMessageFlags, CurrentFlags()); },
      [this](const SPropValue& value) -> HRESULT {
        // The client's flags until the first save; from then on they are the store's.
        if (everSaved_) return MAPI_E_COMPUTED;
        newFlags_ = value.Value.ul & kInitialClientFlags;
        return S_OK;
      });
  AddComputed(tags::kMessageSize,
              [this](SPropValue& out, void*) { out = LongValue(tags::kMessageSize, SizeEstimate()); });
  AddComputed(tags::kHasAttach,
              [this](SPropValue& out, void*) { out = BoolValue(tags::kHasAttach, !attachments_.empty()); });
  const std::pair<ULONG, ULONG> lists[] = {
      {tags::kDisplayToW, MAPI_TO}, {tags::kDisplayCcW, MAPI_CC}, {tags::kDisplayBccW, MAPI_BCC}};
  for (const auto& list : lists)
    AddComputed(list.first, [this, tag = list.first, type = list.second](SPropValue& out, void* parent) {
      out = TextValue(tag, RecipientDisplayList(recipients_, type), parent);
    });
  AddComputed(tags::kCreationTime, [this](SPropValue& out, void*) {
    out = TimeValue(tags::kCreationTime, id_ ? record_.creationTime : createdAt_);
  });
  AddComputed(tags::kLastModificationTime, [this](SPropValue& out, void*) {
    out = TimeValue(tags::kLastModificationTime, id_ ? record_.modificationTime : modifiedAt_);
  });
  AddComputed(tags::kObjectType, [](SPropValue& out, void*) { out = LongValue(tags::kObjectType, MAPI_MESSAGE); });
  AddComputed(tags::kAccess, [this](SPropValue& out, void*) {
    bool writable = Access() == TAccessMode::ReadWrite;
    out = LongValue(tags::kAccess, MAPI_ACCESS_READ | (writable ? MAPI_ACCESS_MODIFY | MAPI_ACCESS_DELETE : 0));
  });
  AddComputed(tags::kAccessLevel, [this](SPropValue& out, void*) {
    out = LongValue(tags::kAccessLevel, Access() == TAccessMode::ReadWrite ? MAPI_MODIFY : 0);
  });
}

void TMessage::Persist(const TPropChanges&, ULONG flags) {
  if (host_) {
    // Saved once already: a change since the first save is a modification.
    ULONG previousFlags = newFlags_;
    int64_t previousTime = modifiedAt_;
    if (everSaved_) newFlags_ &= ~MSGFLAG_UNMODIFIED;
    modifiedAt_ = NowFileTime();
    try {
      host_->StoreEmbedded(Content());
    } catch (...) {
      newFlags_ = previousFlags;
      modifiedAt_ = previousTime;
      throw;
    }
    everSaved_ = true;
    return;
  }
  TMessageImage image = Content();
  // The record comes from the saving transaction itself: read back afterwards, it could
  // already hold another session's change, which the next save would then overwrite.
  if (!id_) {
    TMessageRecord created;
    id_ = engine_->Messages().Create(folderId_, associated_, image, &created);
    record_ = std::move(created);
    everSaved_ = true;
    saved_ = TMessageSaveKind::Created;
    return;
  }
  // FORCE_SAVE overwrites whatever another session saved meanwhile.
  std::optional<int64_t> expected;
  if (!(flags & FORCE_SAVE)) expected = record_.change.changeNumber;
  record_ = engine_->Messages().Save(id_, image, expected);
  saved_ = TMessageSaveKind::Modified;
}

HRESULT TMessage::SaveChanges(ULONG ulFlags) {
  {
    auto lock = Lock();
    if (submitted_) return Fail(MAPI_E_INVALID_OBJECT, "SaveChanges: the message has been submitted");
  }
  HRESULT hr = DoSaveChanges(ulFlags);
  std::optional<TMessageSaveKind> saved;
  int64_t id = 0;
  int64_t folderId = 0;
  {
    auto lock = Lock();
    saved = std::exchange(saved_, std::nullopt);
    id = id_;
    folderId = folderId_;
  }
  // The store hears of the save outside the message's lock: its notifications may
  // call back into the message.
  if (SUCCEEDED(hr) && saved && options_.saved) {
    try {
      options_.saved(id, folderId, *saved);
    } catch (...) {
      // The message is saved; a failed notification does not undo that.
    }
  }
  return hr;
}

HRESULT TMessage::SetReadFlag(ULONG ulFlags) {
  if (ulFlags & ~kReadFlagOptions) return Fail(MAPI_E_UNKNOWN_FLAGS, "SetReadFlag: unknown flags");
  if ((ulFlags & CLEAR_READ_FLAG) && (ulFlags & (SUPPRESS_RECEIPT | GENERATE_RECEIPT_ONLY)))
    return Fail(MAPI_E_INVALID_PARAMETER, "SetReadFlag: CLEAR_READ_FLAG cannot be combined with receipt flags");
  bool changed = false;
  int64_t id = 0, folderId = 0;
  HRESULT hr = Guarded(LastError(), "SetReadFlag", [&] {
    auto lock = Lock();
    if (!id_) {
      newFlags_ = FlagsAfterSetReadFlag(newFlags_, ulFlags);
      return S_OK;
    }
    // The read state of a saved message changes in the store at once, without SaveChanges.
    auto change = engine_->Messages().ApplyReadFlags(id_, ulFlags);
    record_.flags = change.after;
    changed = change.Changed();
    id = id_;
    folderId = folderId_;
    return S_OK;
  });
  // Tables and sinks hear of the new read state as of a save, outside the message's lock.
  if (SUCCEEDED(hr) && changed && options_.saved) {
    try {
      options_.saved(id, folderId, TMessageSaveKind::Modified);
    } catch (...) {
      // The read state is stored; a failed notification does not undo that.
    }
  }
  return hr;
}

HRESULT TMessage::SubmitMessage(ULONG ulFlags) {
  if (ulFlags & ~FORCE_SUBMIT) return Fail(MAPI_E_UNKNOWN_FLAGS, "SubmitMessage: unknown flags");
  std::function<void()> notify;
  HRESULT hr = Guarded(LastError(), "SubmitMessage", [&] {
    auto lock = Lock();
    if (submitted_) throw TMapiError(MAPI_E_INVALID_OBJECT, "the message has been submitted");
    if (Access() != TAccessMode::ReadWrite) throw TMapiError(MAPI_E_NO_ACCESS, "the message is not open for writing");
    if (host_ || associated_ || !options_.submit)
      throw TMapiError(MAPI_E_NO_SUPPORT, "only normal messages of a folder can be sent");
    if (recipients_.empty()) throw TMapiError(MAPI_E_NO_RECIPIENTS, "the message has no recipients");
    std::optional<int64_t> expected;
    if (id_) expected = record_.change.changeNumber;
    notify = options_.submit({id_, folderId_, expected, Content()});
    // The message now belongs to the transport: this object takes no more changes.
    submitted_ = true;
    SetAccess(TAccessMode::ReadOnly);
    return S_OK;
  });
  // The store's notifications run outside the message's lock, as after SaveChanges.
  if (SUCCEEDED(hr) && notify) {
    try {
      notify();
    } catch (...) {
      // The message is submitted; a failed notification does not undo that.
    }
  }
  return hr;
}

HRESULT TMessage::OpenInterface(ULONG ulPropTag, REFIID iid, ULONG ulInterfaceOptions, ULONG, LPUNKNOWN* lppUnk) {
  if (ulPropTag != tags::kMessageRecipients && ulPropTag != tags::kMessageAttachments)
    return Fail(MAPI_E_INTERFACE_NOT_SUPPORTED, "OpenProperty: the property has no such interface");
  if (iid != IID_IMAPITable) return Fail(MAPI_E_INTERFACE_NOT_SUPPORTED, "OpenProperty: only IMAPITable");
  LPMAPITABLE table = nullptr;
  ULONG flags = ulInterfaceOptions & MAPI_UNICODE;
  HRESULT hr =
      ulPropTag == tags::kMessageRecipients ? GetRecipientTable(flags, &table) : GetAttachmentTable(flags, &table);
  *lppUnk = table;
  return hr;
}

ComPtr<IMessage> CreateMessageObject(std::shared_ptr<TStoreEngine> engine, int64_t folderId, bool associated,
                                     TMessageObjectOptions options) {
  return TMessage::CreateInFolder(std::move(engine), folderId, associated, std::move(options));
}

ComPtr<IMessage> OpenMessageObject(std::shared_ptr<TStoreEngine> engine, int64_t messageId,
                                   TMessageObjectOptions options) {
  return TMessage::OpenSaved(std::move(engine), messageId, std::move(options));
}

}  // namespace orba::store
