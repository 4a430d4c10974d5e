// Entry IDs and change keys come from clients and from stored properties: the store's
// own entry IDs, the session's wrapped store entry IDs and predecessor change lists
// must either parse (and then round-trip) or raise TMapiError.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "base/maperror.h"
#include "session/storeentryid.h"
#include "storage/storekeys.h"

using namespace orba::store;

namespace {

constexpr MAPIUID kSomeStore = {
    {0x5A, 0x11, 0x02, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0x0F}};

void Check(bool condition) {
  if (!condition) std::abort();
}

// The store's entry ID, once for a foreign store and once for the UID it carries.
void StoreEntryId(std::span<const uint8_t> input) {
  try {
    ParseEntryId(kSomeStore, input.data(), input.size());
  } catch (const TMapiError&) {
  }
  if (input.size() < 20) return;
  MAPIUID uid;
  std::memcpy(uid.ab, input.data() + 4, sizeof(uid.ab));
  try {
    TParsedEntryId parsed = ParseEntryId(uid, input.data(), input.size());
    Bytes again = MakeEntryId(uid, parsed.kind, parsed.id);
    Check(again.size() == input.size() && std::memcmp(again.data(), input.data(), input.size()) == 0);
  } catch (const TMapiError&) {
  }
}

// A wrapped store entry ID must unwrap to parts that wrap and unwrap to the same parts.
void WrappedEntryId(std::span<const uint8_t> input) {
  try {
    auto bytes = EntryIdBytes(static_cast<ULONG>(input.size()), reinterpret_cast<const ENTRYID*>(input.data()));
    MAPIUID uid = EntryIdProviderUid(bytes);
    if (std::memcmp(uid.ab, kStoreWrapUid.ab, sizeof(uid.ab)) != 0) return;
    TWrappedStoreId parts = UnwrapStoreEntryId(bytes);
    Bytes wrapped = WrapStoreEntryId(parts.dllName, parts.storeEntryId);
    TWrappedStoreId again = UnwrapStoreEntryId(wrapped);
    Check(again.dllName == parts.dllName && again.storeEntryId.size() == parts.storeEntryId.size() &&
          std::memcmp(again.storeEntryId.data(), parts.storeEntryId.data(), parts.storeEntryId.size()) == 0);
  } catch (const TMapiError&) {
  }
}

// The first byte splits the input into a predecessor list and a change key; a merge
// that succeeds gives a list that takes the same key again without change.
void Predecessors(std::span<const uint8_t> input) {
  if (input.empty()) return;
  size_t keySize = std::min<size_t>(input[0], input.size() - 1);
  auto key = input.subspan(1, keySize);
  auto list = input.subspan(1 + keySize);
  try {
    Bytes merged = MergePredecessors(list, key);
    Bytes again = MergePredecessors(merged, key);
    Check(again == merged);
  } catch (const TMapiError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> input(data, size);
  StoreEntryId(input);
  WrappedEntryId(input);
  Predecessors(input);
  return 0;
}
