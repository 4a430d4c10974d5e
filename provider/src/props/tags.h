// The property tags Orba Store reads and writes: its one catalogue of them, with the
// values of the published MAPI headers (MAPITAGS.H, EDKMDB.H) and MS-OXPROPS. Names drop
// MAPI's "PR_" prefix so that they never collide with the library's property catalogue.
#pragma once

#include "mapi/mapitypes.h"

namespace orba::store::tags {

// PR_NULL: a column or value slot without a property.
inline constexpr ULONG kNull = PROP_TAG(PT_NULL, PROP_ID_NULL);

// Identity of objects and rows.
inline constexpr ULONG kEntryId = PROP_TAG(PT_BINARY, 0x0FFF);
inline constexpr ULONG kRecordKey = PROP_TAG(PT_BINARY, 0x0FF9);
inline constexpr ULONG kInstanceKey = PROP_TAG(PT_BINARY, 0x0FF6);  // the key of a table row
inline constexpr ULONG kObjectType = PROP_TAG(PT_LONG, 0x0FFE);
inline constexpr ULONG kRowId = PROP_TAG(PT_LONG, 0x3000);
inline constexpr ULONG kParentEntryId = PROP_TAG(PT_BINARY, 0x0E09);
inline constexpr ULONG kStoreEntryId = PROP_TAG(PT_BINARY, 0x0FFB);
inline constexpr ULONG kStoreRecordKey = PROP_TAG(PT_BINARY, 0x0FFA);
inline constexpr ULONG kSearchKey = PROP_TAG(PT_BINARY, 0x300B);
inline constexpr ULONG kAccess = PROP_TAG(PT_LONG, 0x0FF4);
inline constexpr ULONG kAccessLevel = PROP_TAG(PT_LONG, 0x0FF7);

// Synchronisation keys of folders and messages.
inline constexpr ULONG kSourceKey = PROP_TAG(PT_BINARY, 0x65E0);
inline constexpr ULONG kChangeKey = PROP_TAG(PT_BINARY, 0x65E2);
inline constexpr ULONG kPredecessorChangeList = PROP_TAG(PT_BINARY, 0x65E3);
inline constexpr ULONG kDisplayNameA = PROP_TAG(PT_STRING8, 0x3001);
inline constexpr ULONG kDisplayNameW = PROP_TAG(PT_UNICODE, 0x3001);
inline constexpr ULONG kKeywordA = PROP_TAG(PT_STRING8, 0x3008);

// Providers and resources.
inline constexpr ULONG kProviderDisplayA = PROP_TAG(PT_STRING8, 0x3006);
inline constexpr ULONG kProviderDisplayW = PROP_TAG(PT_UNICODE, 0x3006);
inline constexpr ULONG kResourceFlags = PROP_TAG(PT_LONG, 0x3009);
inline constexpr ULONG kProviderDllNameA = PROP_TAG(PT_STRING8, 0x300A);
inline constexpr ULONG kProviderDllNameW = PROP_TAG(PT_UNICODE, 0x300A);
inline constexpr ULONG kProviderUid = PROP_TAG(PT_BINARY, 0x300C);
inline constexpr ULONG kProviderOrdinal = PROP_TAG(PT_LONG, 0x300D);

// Message stores.
inline constexpr ULONG kDefaultStore = PROP_TAG(PT_BOOLEAN, 0x3400);
inline constexpr ULONG kMdbProvider = PROP_TAG(PT_BINARY, 0x3414);

// Profiles and message services.
inline constexpr ULONG kStoreProviders = PROP_TAG(PT_BINARY, 0x3D00);
inline constexpr ULONG kAbProviders = PROP_TAG(PT_BINARY, 0x3D01);
inline constexpr ULONG kTransportProviders = PROP_TAG(PT_BINARY, 0x3D02);
inline constexpr ULONG kDefaultProfile = PROP_TAG(PT_BOOLEAN, 0x3D04);
inline constexpr ULONG kServiceNameA = PROP_TAG(PT_STRING8, 0x3D09);
inline constexpr ULONG kServiceNameW = PROP_TAG(PT_UNICODE, 0x3D09);
inline constexpr ULONG kServiceDllNameA = PROP_TAG(PT_STRING8, 0x3D0A);
inline constexpr ULONG kServiceDllNameW = PROP_TAG(PT_UNICODE, 0x3D0A);
inline constexpr ULONG kServiceEntryNameA = PROP_TAG(PT_STRING8, 0x3D0B);
inline constexpr ULONG kServiceUid = PROP_TAG(PT_BINARY, 0x3D0C);
inline constexpr ULONG kProfileNameA = PROP_TAG(PT_STRING8, 0x3D12);
inline constexpr ULONG kProfileNameW = PROP_TAG(PT_UNICODE, 0x3D12);

// Status objects.
inline constexpr ULONG kIdentityDisplayA = PROP_TAG(PT_STRING8, 0x3E00);
inline constexpr ULONG kIdentityDisplayW = PROP_TAG(PT_UNICODE, 0x3E00);
inline constexpr ULONG kIdentityEntryId = PROP_TAG(PT_BINARY, 0x3E01);
inline constexpr ULONG kResourceMethods = PROP_TAG(PT_LONG, 0x3E02);
inline constexpr ULONG kResourceType = PROP_TAG(PT_LONG, 0x3E03);
inline constexpr ULONG kStatusCode = PROP_TAG(PT_LONG, 0x3E04);
inline constexpr ULONG kIdentitySearchKey = PROP_TAG(PT_BINARY, 0x3E05);
inline constexpr ULONG kStatusStringA = PROP_TAG(PT_STRING8, 0x3E08);
inline constexpr ULONG kStatusStringW = PROP_TAG(PT_UNICODE, 0x3E08);

// The Exchange service's profile properties (EDKMDB.H).
inline constexpr ULONG kProfileHomeServerA = PROP_TAG(PT_STRING8, 0x6602);
inline constexpr ULONG kProfileUserA = PROP_TAG(PT_STRING8, 0x6603);
inline constexpr ULONG kProfileConnectFlags = PROP_TAG(PT_LONG, 0x6604);
inline constexpr ULONG kProfileUiState = PROP_TAG(PT_LONG, 0x6606);
inline constexpr ULONG kProfileUnresolvedNameA = PROP_TAG(PT_STRING8, 0x6607);
inline constexpr ULONG kProfileUnresolvedNameW = PROP_TAG(PT_UNICODE, 0x6607);
inline constexpr ULONG kProfileUnresolvedServerA = PROP_TAG(PT_STRING8, 0x6608);
inline constexpr ULONG kProfileUnresolvedServerW = PROP_TAG(PT_UNICODE, 0x6608);
inline constexpr ULONG kProfileMailboxA = PROP_TAG(PT_STRING8, 0x660B);
inline constexpr ULONG kProfileServerA = PROP_TAG(PT_STRING8, 0x660C);

// Personal store files.
inline constexpr ULONG kPstPathA = PROP_TAG(PT_STRING8, 0x6700);
inline constexpr ULONG kPstPathW = PROP_TAG(PT_UNICODE, 0x6700);

// Messages.
inline constexpr ULONG kImportance = PROP_TAG(PT_LONG, 0x0017);
inline constexpr ULONG kMessageClassA = PROP_TAG(PT_STRING8, 0x001A);
inline constexpr ULONG kMessageClassW = PROP_TAG(PT_UNICODE, 0x001A);
inline constexpr ULONG kPriority = PROP_TAG(PT_LONG, 0x0026);
inline constexpr ULONG kReadReceiptRequested = PROP_TAG(PT_BOOLEAN, 0x0029);
inline constexpr ULONG kSubjectW = PROP_TAG(PT_UNICODE, 0x0037);
inline constexpr ULONG kClientSubmitTime = PROP_TAG(PT_SYSTIME, 0x0039);
inline constexpr ULONG kSenderNameW = PROP_TAG(PT_UNICODE, 0x0C1A);
inline constexpr ULONG kBodyW = PROP_TAG(PT_UNICODE, 0x1000);
inline constexpr ULONG kMessageDeliveryTime = PROP_TAG(PT_SYSTIME, 0x0E06);
inline constexpr ULONG kMessageFlags = PROP_TAG(PT_LONG, 0x0E07);
inline constexpr ULONG kMessageSize = PROP_TAG(PT_LONG, 0x0E08);
inline constexpr ULONG kMsgStatus = PROP_TAG(PT_LONG, 0x0E17);
inline constexpr ULONG kDisplayBccW = PROP_TAG(PT_UNICODE, 0x0E02);
inline constexpr ULONG kDisplayCcW = PROP_TAG(PT_UNICODE, 0x0E03);
inline constexpr ULONG kDisplayToW = PROP_TAG(PT_UNICODE, 0x0E04);
inline constexpr ULONG kNormalizedSubjectW = PROP_TAG(PT_UNICODE, 0x0E1D);
inline constexpr ULONG kHasAttach = PROP_TAG(PT_BOOLEAN, 0x0E1B);
inline constexpr ULONG kAttachNum = PROP_TAG(PT_LONG, 0x0E21);
inline constexpr ULONG kCreationTime = PROP_TAG(PT_SYSTIME, 0x3007);
inline constexpr ULONG kLastModificationTime = PROP_TAG(PT_SYSTIME, 0x3008);
inline constexpr ULONG kCommentW = PROP_TAG(PT_UNICODE, 0x3004);
// The sub-objects of a message (PT_OBJECT: opened, copied and named by sub-restrictions).
inline constexpr ULONG kMessageRecipients = PROP_TAG(PT_OBJECT, 0x0E12);
inline constexpr ULONG kMessageAttachments = PROP_TAG(PT_OBJECT, 0x0E13);

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
inline constexpr ULONG kAttachLongPathnameW = PROP_TAG(PT_UNICODE, 0x370D);
inline constexpr ULONG kAttachMimeTagW = PROP_TAG(PT_UNICODE, 0x370E);

// Submission: what a sent message carries about its sender and submission.
inline constexpr ULONG kDeleteAfterSubmit = PROP_TAG(PT_BOOLEAN, 0x0E01);
inline constexpr ULONG kSentMailEntryId = PROP_TAG(PT_BINARY, 0x0E0A);
inline constexpr ULONG kSubmitFlags = PROP_TAG(PT_LONG, 0x0E14);

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

// Delivery: what a delivered copy carries about its recipient.
inline constexpr ULONG kMessageToMe = PROP_TAG(PT_BOOLEAN, 0x0057);
inline constexpr ULONG kMessageCcMe = PROP_TAG(PT_BOOLEAN, 0x0058);
inline constexpr ULONG kMessageRecipMe = PROP_TAG(PT_BOOLEAN, 0x0059);

// Folders.
inline constexpr ULONG kDepth = PROP_TAG(PT_LONG, 0x3005);
inline constexpr ULONG kFolderType = PROP_TAG(PT_LONG, 0x3601);
inline constexpr ULONG kContentCount = PROP_TAG(PT_LONG, 0x3602);
inline constexpr ULONG kContentUnread = PROP_TAG(PT_LONG, 0x3603);
inline constexpr ULONG kSubfolders = PROP_TAG(PT_BOOLEAN, 0x360A);
inline constexpr ULONG kContainerClassW = PROP_TAG(PT_UNICODE, 0x3613);
inline constexpr ULONG kAssocContentCount = PROP_TAG(PT_LONG, 0x3617);

// Special folders of a store (on the store) and of Outlook (on the Inbox and root).
inline constexpr ULONG kStoreSupportMask = PROP_TAG(PT_LONG, 0x340D);
inline constexpr ULONG kIpmSubtreeEntryId = PROP_TAG(PT_BINARY, 0x35E0);
inline constexpr ULONG kIpmOutboxEntryId = PROP_TAG(PT_BINARY, 0x35E2);
inline constexpr ULONG kIpmWastebasketEntryId = PROP_TAG(PT_BINARY, 0x35E3);
inline constexpr ULONG kIpmSentMailEntryId = PROP_TAG(PT_BINARY, 0x35E4);
inline constexpr ULONG kViewsEntryId = PROP_TAG(PT_BINARY, 0x35E5);
inline constexpr ULONG kCommonViewsEntryId = PROP_TAG(PT_BINARY, 0x35E6);
inline constexpr ULONG kFinderEntryId = PROP_TAG(PT_BINARY, 0x35E7);
inline constexpr ULONG kIpmAppointmentEntryId = PROP_TAG(PT_BINARY, 0x36D0);
inline constexpr ULONG kIpmContactEntryId = PROP_TAG(PT_BINARY, 0x36D1);
inline constexpr ULONG kIpmJournalEntryId = PROP_TAG(PT_BINARY, 0x36D2);
inline constexpr ULONG kIpmNoteEntryId = PROP_TAG(PT_BINARY, 0x36D3);
inline constexpr ULONG kIpmTaskEntryId = PROP_TAG(PT_BINARY, 0x36D4);
inline constexpr ULONG kIpmDraftsEntryId = PROP_TAG(PT_BINARY, 0x36D7);
// Conflicts, Sync Issues, Local Failures, Server Failures, Junk E-mail, in this order.
inline constexpr ULONG kAdditionalRenEntryIds = PROP_TAG(PT_MV_BINARY, 0x36D8);

// Special folders of a public folders store (on the store).
inline constexpr ULONG kNonIpmSubtreeEntryId = PROP_TAG(PT_BINARY, 0x6620);
inline constexpr ULONG kEformsRegistryEntryId = PROP_TAG(PT_BINARY, 0x6621);
inline constexpr ULONG kIpmPublicFoldersEntryId = PROP_TAG(PT_BINARY, 0x6631);

}  // namespace orba::store::tags
