// Helpers shared by the store's COM objects: see comprops.h.
#include "mapiobjects/objectprops.h"

#include <cstring>

#include "base/maperror.h"
#include "props/propcodec.h"
#include "storage/sqlite/storeinternal.h"

namespace orba::store::com {

void LoadStored(TPropObjectBase& object, const TStoredProps& props) {
  for (const TStoredProp& prop : props) {
    TMapiBuffer<SPropValue> holder;
    object.Load(detail::Decode(prop, holder));
  }
}

TStoredProps ChangedValues(const TPropObjectBase& object, const TPropChanges& changes) {
  TStoredProps set;
  for (ULONG id : changes.changed)
    if (const SPropValue* value = object.Bag().Find(id)) set.push_back({value->ulPropTag, EncodePropValue(*value)});
  return set;
}

std::vector<ULONG> DeletedIds(const TPropChanges& changes) { return {changes.deleted.begin(), changes.deleted.end()}; }

void BinaryValue(SPropValue& out, ULONG tag, std::span<const BYTE> bytes, void* parent) {
  out.ulPropTag = tag;
  out.Value.bin.cb = static_cast<ULONG>(bytes.size());
  out.Value.bin.lpb = static_cast<LPBYTE>(AllocateMore(bytes.empty() ? 1 : bytes.size(), parent));
  if (!bytes.empty()) std::memcpy(out.Value.bin.lpb, bytes.data(), bytes.size());
}

void LongValue(SPropValue& out, ULONG tag, ULONG value) {
  out.ulPropTag = tag;
  out.Value.ul = value;
}

void BoolValue(SPropValue& out, ULONG tag, bool value) {
  out.ulPropTag = tag;
  out.Value.b = value ? 1 : 0;
}

std::span<const BYTE> EntryIdArg(ULONG cb, const ENTRYID* entryId) {
  if (cb && !entryId) throw TMapiError(MAPI_E_INVALID_PARAMETER, "The entry ID pointer is null.");
  if (!cb) throw TMapiError(MAPI_E_INVALID_ENTRYID, "The entry ID is empty.");
  return {reinterpret_cast<const BYTE*>(entryId), cb};
}

}  // namespace orba::store::com
