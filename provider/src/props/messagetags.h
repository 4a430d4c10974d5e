// Property tags of messages, recipients and attachments, with the values of the
// published MAPI headers (MAPITAGS.H) and MS-OXPROPS.
#pragma once

#include "mapi/mapitypes.h"

namespace orba::store::tags {

inline constexpr ULONG kAccess = PROP_TAG(PT_LONG, 0x0FF4);
inline constexpr ULONG kAccessLevel = PROP_TAG(PT_LONG, 0x0FF7);
inline constexpr ULONG kParentEntryId = PROP_TAG(PT_BINARY, 0x0E09);
inline constexpr ULONG kStoreEntryId = PROP_TAG(PT_BINARY, 0x0FFB);
inline constexpr ULONG kStoreRecordKey = PROP_TAG(PT_BINARY, 0x0FFA);
inline constexpr ULONG kSearchKey = PROP_TAG(PT_BINARY, 0x300B);
inline constexpr ULONG kSourceKey = PROP_TAG(PT_BINARY, 0x65E0);
inline constexpr ULONG kChangeKey = PROP_TAG(PT_BINARY, 0x65E2);
inline constexpr ULONG kPredecessorChangeList = PROP_TAG(PT_BINARY, 0x65E3);
inline constexpr ULONG kDisplayBccW = PROP_TAG(PT_UNICODE, 0x0E02);
inline constexpr ULONG kDisplayCcW = PROP_TAG(PT_UNICODE, 0x0E03);
inline constexpr ULONG kDisplayToW = PROP_TAG(PT_UNICODE, 0x0E04);

// Recipients.
inline constexpr ULONG kRecipientType = PROP_TAG(PT_LONG, 0x0C15);
inline constexpr ULONG kAddrTypeW = PROP_TAG(PT_UNICODE, 0x3002);
inline constexpr ULONG kEmailAddressW = PROP_TAG(PT_UNICODE, 0x3003);
inline constexpr ULONG kDisplayType = PROP_TAG(PT_LONG, 0x3900);

// Attachments.
inline constexpr ULONG kAttachSize = PROP_TAG(PT_LONG, 0x0E20);
inline constexpr ULONG kAttachDataBin = PROP_TAG(PT_BINARY, 0x3701);
inline constexpr ULONG kAttachDataObj = PROP_TAG(PT_OBJECT, 0x3701);
inline constexpr ULONG kAttachExtensionW = PROP_TAG(PT_UNICODE, 0x3703);
inline constexpr ULONG kAttachFilenameW = PROP_TAG(PT_UNICODE, 0x3704);
inline constexpr ULONG kAttachMethod = PROP_TAG(PT_LONG, 0x3705);
inline constexpr ULONG kAttachLongFilenameW = PROP_TAG(PT_UNICODE, 0x3707);
inline constexpr ULONG kRenderingPosition = PROP_TAG(PT_LONG, 0x370B);
inline constexpr ULONG kAttachMimeTagW = PROP_TAG(PT_UNICODE, 0x370E);

}  // namespace orba::store::tags
