#include "utilities/conversationindex.h"
#include "base/filetime.h"
#include "base/lasterror.h"

#include <random>

#include "base/export.h"
#include "base/maperror.h"
#include "mapi/mapiexports.h"
#include "memory/mapimemory.h"

namespace orba::store {

namespace {

void PutBigEndian(std::vector<BYTE>& out, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<BYTE>(value >> (8 * i)));
}

// A random (version 4) GUID for a new conversation thread.
GUID NewThreadGuid() {
  std::random_device device;
  GUID guid;
  guid.Data1 = device();
  uint32_t word = device();
  guid.Data2 = static_cast<uint16_t>(word);
  guid.Data3 = static_cast<uint16_t>(((word >> 16) & 0x0FFF) | 0x4000);
  for (int i = 0; i < 8; i += 4) {
    uint32_t bits = device();
    for (int j = 0; j < 4; ++j) guid.Data4[i + j] = static_cast<BYTE>(bits >> (8 * j));
  }
  guid.Data4[0] = static_cast<BYTE>((guid.Data4[0] & 0x3F) | 0x80);
  return guid;
}

}  // namespace

std::vector<BYTE> NewConversationIndex(uint64_t nowFileTime, const GUID& thread) {
  std::vector<BYTE> index;
  index.reserve(kConversationHeaderSize);
  index.push_back(0x01);
  PutBigEndian(index, nowFileTime >> 24, 5);
  PutBigEndian(index, thread.Data1, 4);
  PutBigEndian(index, thread.Data2, 2);
  PutBigEndian(index, thread.Data3, 2);
  index.insert(index.end(), thread.Data4, thread.Data4 + 8);
  return index;
}

uint64_t ConversationIndexTime(const BYTE* index) {
  uint64_t time = 0;
  for (int i = 1; i <= 5; ++i) time = (time << 8) | index[i];
  return time << 24;
}

std::vector<BYTE> ChildConversationIndex(const BYTE* parent, size_t cbParent, uint64_t nowFileTime, BYTE random) {
  if (!parent || cbParent < kConversationHeaderSize || cbParent > UINT32_MAX - kConversationChildSize ||
      (cbParent - kConversationHeaderSize) % kConversationChildSize != 0)
    throw TMapiError(MAPI_E_INVALID_PARAMETER, "malformed conversation index");
  std::vector<BYTE> index(parent, parent + cbParent);
  uint64_t headerTime = ConversationIndexTime(parent);
  // A clock behind the header's time gives a zero delta rather than a huge one.
  uint64_t delta = nowFileTime > headerTime ? nowFileTime - headerTime : 0;
  // Deltas under about 1.7 years keep 31 bits from bit 18 up (delta code 0);
  // longer ones keep 31 bits from bit 23 up (delta code 1).
  uint32_t block = (delta & 0x00FE000000000000ull) == 0
                       ? static_cast<uint32_t>((delta >> 18) & 0x7FFFFFFF)
                       : 0x80000000u | static_cast<uint32_t>((delta >> 23) & 0x7FFFFFFF);
  PutBigEndian(index, block, 4);
  index.push_back(random);
  return index;
}

}  // namespace orba::store

using namespace orba::store;

ORBASTORE_EXPORT SCODE ScCreateConversationIndex(ULONG cbParent, LPBYTE lpbParent, ULONG* lpcbConvIndex,
                                                 LPBYTE* lppbConvIndex) {
  if (!lpcbConvIndex || !lppbConvIndex || (cbParent && !lpbParent)) return MAPI_E_INVALID_PARAMETER;
  *lpcbConvIndex = 0;
  *lppbConvIndex = nullptr;
  return Guarded([&] {
    std::vector<BYTE> index;
    if (cbParent == 0) {
      index = NewConversationIndex(static_cast<uint64_t>(NowFileTime()), NewThreadGuid());
    } else {
      std::random_device device;
      index = ChildConversationIndex(lpbParent, cbParent, static_cast<uint64_t>(NowFileTime()),
                                     static_cast<BYTE>(device()));
    }
    auto out = TMapiBuffer<BYTE>::Allocate(index.size());
    std::copy(index.begin(), index.end(), out.get());
    *lpcbConvIndex = static_cast<ULONG>(index.size());
    *lppbConvIndex = out.Release();
    return S_OK;
  });
}
