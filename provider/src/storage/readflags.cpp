// SetReadFlag's rules for PR_MESSAGE_FLAGS: see readflags.h.
#include "storage/readflags.h"

namespace orba::store {

ULONG FlagsAfterSetReadFlag(ULONG messageFlags, ULONG readFlags) {
  ULONG flags = messageFlags;
  if (readFlags & GENERATE_RECEIPT_ONLY) {
    flags &= ~MSGFLAG_RN_PENDING;
  } else if (readFlags & CLEAR_READ_FLAG) {
    flags &= ~MSGFLAG_READ;
  } else if (!(flags & MSGFLAG_READ)) {
    flags = (flags | MSGFLAG_READ) & ~(MSGFLAG_RN_PENDING | MSGFLAG_NRN_PENDING);
  }
  if (readFlags & CLEAR_RN_PENDING) flags &= ~MSGFLAG_RN_PENDING;
  if (readFlags & CLEAR_NRN_PENDING) flags &= ~MSGFLAG_NRN_PENDING;
  return flags;
}

}  // namespace orba::store
