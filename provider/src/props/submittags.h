// Property tags of submission and delivery: what a sent message carries about its
// sender and submission, and what a delivered copy carries about its recipient.
#pragma once

#include "mapi/mapidefs.h"

namespace orba::store::tags {

// The sender's side.
inline constexpr ULONG kDeleteAfterSubmit = PROP_TAG(PT_BOOLEAN, 0x0E01);
inline constexpr ULONG kSentMailEntryId = PROP_TAG(PT_BINARY, 0x0E0A);
inline constexpr ULONG kSubmitFlags = PROP_TAG(PT_LONG, 0x0E14);
inline constexpr ULONG kPriority = PROP_TAG(PT_LONG, 0x0026);

// One address's five properties: entry ID, display name, address type, e-mail
// address and search key.
struct TAddressTags {
  ULONG entryId, name, addrType, emailAddress, searchKey;
};
inline constexpr TAddressTags kSender = {PROP_TAG(PT_BINARY, 0x0C19), PROP_TAG(PT_UNICODE, 0x0C1A),
                                         PROP_TAG(PT_UNICODE, 0x0C1E), PROP_TAG(PT_UNICODE, 0x0C1F),
                                         PROP_TAG(PT_BINARY, 0x0C1D)};
inline constexpr TAddressTags kSentRepresenting = {PROP_TAG(PT_BINARY, 0x0041), PROP_TAG(PT_UNICODE, 0x0042),
                                                   PROP_TAG(PT_UNICODE, 0x0064), PROP_TAG(PT_UNICODE, 0x0065),
                                                   PROP_TAG(PT_BINARY, 0x003B)};
inline constexpr TAddressTags kReceivedBy = {PROP_TAG(PT_BINARY, 0x003F), PROP_TAG(PT_UNICODE, 0x0040),
                                             PROP_TAG(PT_UNICODE, 0x0075), PROP_TAG(PT_UNICODE, 0x0076),
                                             PROP_TAG(PT_BINARY, 0x0051)};
inline constexpr TAddressTags kRcvdRepresenting = {PROP_TAG(PT_BINARY, 0x0043), PROP_TAG(PT_UNICODE, 0x0044),
                                                   PROP_TAG(PT_UNICODE, 0x0077), PROP_TAG(PT_UNICODE, 0x0078),
                                                   PROP_TAG(PT_BINARY, 0x0052)};

// The recipient's side.
inline constexpr ULONG kMessageToMe = PROP_TAG(PT_BOOLEAN, 0x0057);
inline constexpr ULONG kMessageCcMe = PROP_TAG(PT_BOOLEAN, 0x0058);
inline constexpr ULONG kMessageRecipMe = PROP_TAG(PT_BOOLEAN, 0x0059);

}  // namespace orba::store::tags
