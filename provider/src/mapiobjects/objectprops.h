// Helpers shared by the store's COM objects: moving properties between the engine's
// stored form and a property object, and making computed values.
#pragma once

#include <span>

#include "base/maperror.h"
#include "props/propobject.h"
#include "storage/storeengine.h"

namespace orba::store::com {

// Loads stored properties into the object's bag (no checks, no pending changes).
void LoadStored(TPropObjectBase& object, const TStoredProps& props);
// The object's pending changes in stored form: the values set, and the identifiers
// deleted.
TStoredProps ChangedValues(const TPropObjectBase& object, const TPropChanges& changes);
std::vector<ULONG> DeletedIds(const TPropChanges& changes);

// Computed values: fill out with tag and the value, allocating on parent.
void BinaryValue(SPropValue& out, ULONG tag, std::span<const BYTE> bytes, void* parent);
void LongValue(SPropValue& out, ULONG tag, ULONG value);
void BoolValue(SPropValue& out, ULONG tag, bool value);

// The bytes of an entry ID argument for a store method (TMapiError
// MAPI_E_INVALID_PARAMETER for a null pointer with a size, MAPI_E_INVALID_ENTRYID for
// an empty one).
std::span<const BYTE> EntryIdArg(ULONG cb, const ENTRYID* entryId);

}  // namespace orba::store::com
