// The rules of IMessage::SetReadFlag and IMAPIFolder::SetReadFlags for a message's
// PR_MESSAGE_FLAGS: MSGFLAG_READ and the pending receipt flags MSGFLAG_RN_PENDING (a
// read report is owed) and MSGFLAG_NRN_PENDING (a non-read report is owed).
//
// This store generates no read or non-read reports (it has no transport to carry
// them): a report that would be sent now, or that a caller cancels, simply stops
// being pending.
#pragma once

#include "mapi/mapidefs.h"

namespace orba::store {

// The flags SetReadFlag and SetReadFlags accept for a message.
inline constexpr ULONG kReadFlagOptions = SUPPRESS_RECEIPT | CLEAR_READ_FLAG | MAPI_DEFERRED_ERRORS |
                                          GENERATE_RECEIPT_ONLY | CLEAR_RN_PENDING | CLEAR_NRN_PENDING;

// messageFlags after SetReadFlag(readFlags):
//   - no CLEAR_READ_FLAG, no GENERATE_RECEIPT_ONLY: an unread message becomes read; its
//     read report goes out (or, with SUPPRESS_RECEIPT, is cancelled) and a read
//     message owes no non-read report; a read message stays as it is;
//   - CLEAR_READ_FLAG: the message becomes unread and no read report goes out (one
//     still pending stays pending for a later reading);
//   - GENERATE_RECEIPT_ONLY: a pending read report goes out; MSGFLAG_READ is kept;
//   - CLEAR_RN_PENDING / CLEAR_NRN_PENDING: the pending report is dropped unsent.
ULONG FlagsAfterSetReadFlag(ULONG messageFlags, ULONG readFlags);

}  // namespace orba::store
