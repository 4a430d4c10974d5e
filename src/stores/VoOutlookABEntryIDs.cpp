// Entry IDs of the Outlook address book: containers over contact folders, and their
// contacts and distribution lists, each carrying the store entry ID of what it shows.
#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIMsgStore.h"

namespace orba {
namespace {

// Every header is 28 bytes: 56 hexadecimal characters.
constexpr size_t kHeaderLength = 56;
// An entry carries 8 bytes before the message's entry ID and 3 after it.
constexpr size_t kEntryPrefixLength = 16;
constexpr size_t kEntrySuffixLength = 6;

}  // namespace

TVoOutlookABEntryKind VoOutlookABEntryKind(const TVoMAPIEntryID& EntryID) {
  const WideString text = EntryIDToStr(EntryID);
  if (text.starts_with(kOutlookABContainerHeader)) return oabContainer;
  if (text.starts_with(kOutlookABContactHeader)) return oabContact;
  if (text.starts_with(kOutlookABDistListHeader)) return oabDistList;
  return oabNone;
}

TVoMAPIEntryID VoOutlookABFolderID(const TVoMAPIEntryID& ContainerID) {
  const WideString text = EntryIDToStr(ContainerID);
  // The folder's entry ID begins with its four zero flag bytes.
  size_t start = text.find(u"00000000", kHeaderLength);
  while (start != WideString::npos && start % 2) start = text.find(u"00000000", start + 1);
  if (!text.starts_with(kOutlookABContainerHeader) || start == WideString::npos)
    kit::Raise(E_INVALIDARG, u"The provided ABContainer contains an unexpected EntryID!");
  return StrToEntryID(text.substr(start));
}

TVoMAPIEntryID VoOutlookABMessageID(const TVoMAPIEntryID& EntryID) {
  const WideString text = EntryIDToStr(EntryID);
  const TVoOutlookABEntryKind kind = VoOutlookABEntryKind(EntryID);
  const size_t start = kHeaderLength + kEntryPrefixLength;
  if ((kind != oabContact && kind != oabDistList) || text.size() <= start + kEntrySuffixLength)
    kit::Raise(E_INVALIDARG, u"The EntryID is not an entry of the Outlook address book!");
  return StrToEntryID(text.substr(start, text.size() - start - kEntrySuffixLength));
}

}  // namespace orba
