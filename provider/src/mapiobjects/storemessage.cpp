// The messages of an open store: see storemessage.h.
#include "mapiobjects/storemessage.h"

#include "base/maperror.h"
#include "mapiobjects/transport.h"

namespace orba::store {
namespace {

TMessageObjectOptions StoreOptions(const std::shared_ptr<TOpenStore>& store, TAccessMode access, bool associated) {
  TMessageObjectOptions options;
  options.access = access;
  options.storeEntryId = store->WrappedEntryId();
  // A weak reference: a message kept open after its store was released saves without
  // notifying anyone.
  std::weak_ptr<TOpenStore> weak = store;
  options.saved = [weak, associated](int64_t messageId, int64_t folderId, TMessageSaveKind kind) {
    auto open = weak.lock();
    if (!open) return;
    // A client's own new message is "created", not new mail: fnevNewMail is raised by
    // delivery only.
    ULONG event = kind == TMessageSaveKind::Created ? fnevObjectCreated : fnevObjectModified;
    open->Changed({event, TObjectKind::Message, messageId, folderId, 0, 0, associated});
  };
  options.submit = [weak](TMessageSubmission submission) {
    auto open = weak.lock();
    if (!open) throw TMapiError(MAPI_E_CALL_FAILED, "the message's store has been released");
    return SubmitMessage(open, std::move(submission));
  };
  return options;
}

}  // namespace

ComPtr<IMessage> CreateStoreMessage(const std::shared_ptr<TOpenStore>& store, int64_t folderId, bool associated) {
  return CreateMessageObject(store->EngineRef(), folderId, associated,
                             StoreOptions(store, TAccessMode::ReadWrite, associated));
}

ComPtr<IMessage> OpenStoreMessage(const std::shared_ptr<TOpenStore>& store, int64_t messageId, TAccessMode access) {
  TMessageRecord record = store->Engine().Messages().Get(messageId);
  return OpenMessageObject(store->EngineRef(), messageId, StoreOptions(store, access, record.associated));
}

}  // namespace orba::store
