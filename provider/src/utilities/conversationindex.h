// Conversation indexes (PR_CONVERSATION_INDEX) in their published format: a 22-byte
// header block (0x01, the 40 high bits of a FILETIME big-endian, a GUID with Data1 to
// Data3 big-endian) followed by one 5-byte child block per reply or forward.
#pragma once

#include <cstdint>
#include <vector>

#include "mapi/mapitypes.h"

namespace orba::store {

inline constexpr size_t kConversationHeaderSize = 22;
inline constexpr size_t kConversationChildSize = 5;

// A new index: header only.
std::vector<BYTE> NewConversationIndex(uint64_t nowFileTime, const GUID& thread);
// parent (a valid index) with one child block appended for a reply at nowFileTime;
// random supplies the child's last byte (4 random bits and a 4-bit sequence count).
// Throws TMapiError(MAPI_E_INVALID_PARAMETER) for a malformed parent.
std::vector<BYTE> ChildConversationIndex(const BYTE* parent, size_t cbParent, uint64_t nowFileTime, BYTE random);
// The time of an index's header block as a FILETIME value (the 24 low bits zero).
uint64_t ConversationIndexTime(const BYTE* index);

}  // namespace orba::store
