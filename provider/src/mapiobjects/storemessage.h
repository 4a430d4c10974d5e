// The messages of an open store (store.h) as IMessage objects: they answer the
// store's entry ID as PR_STORE_ENTRYID and report every save of theirs to the store,
// which raises fnevObjectCreated / fnevObjectModified for advise sinks and updates the
// contents tables that show them.
#pragma once

#include <memory>

#include "mapiobjects/message.h"
#include "mapiobjects/openstore.h"

namespace orba::store {

// IMAPIFolder::CreateMessage: a new, unsaved message of folderId (TMapiError
// MAPI_E_NOT_FOUND when the folder does not exist).
ComPtr<IMessage> CreateStoreMessage(const std::shared_ptr<TOpenStore>& store, int64_t folderId, bool associated);

// OpenEntry of a message: the saved message messageId (TMapiError MAPI_E_NOT_FOUND when
// it was deleted).
ComPtr<IMessage> OpenStoreMessage(const std::shared_ptr<TOpenStore>& store, int64_t messageId, TAccessMode access);

}  // namespace orba::store
