// Recipients without an address book: SMTP addresses become one-off recipients (their
// entry IDs in the published one-off format), and a Simple MAPI recipient is resolved
// from its one-off entry ID, its "TYPE:address" text or its name, in that order.
// Names are not looked up anywhere until the profile has an address book: a name that
// is not an SMTP address is unknown (MAPI_E_UNKNOWN_RECIPIENT), never ambiguous.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "props/propcodec.h"
#include "simplemapi/simplemessage.h"

namespace orba::store {

struct TRecipientAddress {
  std::u16string name, addrType, email;
};

// text as an SMTP address ("SMTP:" prefix optional, any case): one "@" between a
// non-empty local part and domain, no blanks, controls or separators. The name is the
// address itself.
std::optional<TRecipientAddress> SmtpAddress(std::u16string_view text);

// The one-off entry ID of an address (UTF-16 texts, no rich text), and back: null for
// bytes that are not a well-formed one-off entry ID (never read past their end).
Bytes OneOffEntryId(const TRecipientAddress& address);
std::optional<TRecipientAddress> ParseOneOffEntryId(std::span<const BYTE> entryId);

// The address a recipient names (TSimpleMapiError MAPI_E_UNKNOWN_RECIPIENT when it
// names none that can be reached); the display name is the recipient's, else the
// address.
TRecipientAddress ResolveRecipient(const TSimpleRecipient& recipient);

// A resolved recipient as Simple MAPI answers it: "TYPE:address" and the one-off entry ID.
TSimpleRecipient SimpleRecipientOf(const TRecipientAddress& address, ULONG recipClass);

}  // namespace orba::store
