// The entry IDs of the Outlook address book: their kinds and the store entry IDs they
// carry, and entry IDs that are none of them.
#include <gtest/gtest.h>

#include "common/mapierror.h"
#include "orba/VoMAPIMsgStore.h"
#include "orba/common/utf8.h"

namespace {

using namespace orba;

TVoMAPIEntryID Hex(const std::u16string& Text) { return StrToEntryID(WideString(Text)); }

const std::u16string kContainer(kOutlookABContainerHeader);
const std::u16string kContact(kOutlookABContactHeader);
const std::u16string kDistList(kOutlookABDistListHeader);
// A store entry ID as it follows the headers.
const std::u16string kFolder = u"00000000AABBCCDD0102";

TEST(OutlookABEntryIDs, TellTheirKind) {
  EXPECT_EQ(VoOutlookABEntryKind(Hex(kContainer + u"01" + kFolder)), oabContainer);
  EXPECT_EQ(VoOutlookABEntryKind(Hex(kContact + u"00")), oabContact);
  EXPECT_EQ(VoOutlookABEntryKind(Hex(kDistList)), oabDistList);
  EXPECT_EQ(VoOutlookABEntryKind(Hex(kDistList.substr(0, 54))), oabNone);
  EXPECT_EQ(VoOutlookABEntryKind(TVoVariant::Null()), oabNone);
}

TEST(OutlookABEntryIDs, ContainersLeadToTheirFolder) {
  const char* unexpected = "The provided ABContainer contains an unexpected EntryID!";
  EXPECT_EQ(EntryIDToStr(VoOutlookABFolderID(Hex(kContainer + u"0102" + kFolder))), kFolder);
  // Zeros across a byte boundary are no start: the folder begins at a whole byte.
  EXPECT_EQ(EntryIDToStr(VoOutlookABFolderID(Hex(kContainer + u"A0000000" + u"0B" + kFolder))), kFolder);
  EXPECT_MAPI_ERROR(VoOutlookABFolderID(Hex(kContainer + u"0102")), E_INVALIDARG, unexpected);
  EXPECT_MAPI_ERROR(VoOutlookABFolderID(Hex(kContact + kFolder)), E_INVALIDARG, unexpected);
  EXPECT_MAPI_ERROR(VoOutlookABFolderID(TVoVariant::Null()), E_INVALIDARG, unexpected);
}

TEST(OutlookABEntryIDs, EntriesLeadToTheirMessage) {
  const std::u16string message = u"0000000011223344";
  for (const std::u16string& header : {kContact, kDistList})
    EXPECT_EQ(EntryIDToStr(VoOutlookABMessageID(Hex(header + u"0102030405060708" + message + u"0A0B0C"))), message);
  const char* notAnEntry = "The EntryID is not an entry of the Outlook address book!";
  EXPECT_MAPI_ERROR(VoOutlookABMessageID(Hex(kContact + u"0102030405060708" + u"0A0B0C")), E_INVALIDARG, notAnEntry);
  EXPECT_MAPI_ERROR(VoOutlookABMessageID(Hex(kContainer + u"0102030405060708" + message + u"0A0B0C")), E_INVALIDARG,
                    notAnEntry);
}

}  // namespace
