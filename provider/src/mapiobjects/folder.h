// IMAPIFolder over the store engine: a folder of an open store (store.h), its
// computed properties, subfolders, messages and tables.
#pragma once

#include <memory>

#include "mapiobjects/openstore.h"
#include "props/propobject.h"

namespace orba::store {

// Opens the folder id of store (TMapiError MAPI_E_NOT_FOUND when it does not exist);
// ReadWrite lets the caller change it.
ComPtr<IMAPIFolder> OpenFolderObject(std::shared_ptr<TOpenStore> store, int64_t id, TAccessMode access);

}  // namespace orba::store
