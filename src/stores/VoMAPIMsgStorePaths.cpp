// TVoMAPIMsgStore: folders found by display name and by path.
#include <array>

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIMsgStore.h"
#include "orba/common/casefold.h"
#include "orba/common/texttrim.h"

namespace orba {
namespace {

// The special folder names of paths.
struct TSpecialName {
  std::u16string_view Name;
  TVoMAPIFolderType FolderType;
};
constexpr TSpecialName kSpecialNames[] = {
    {u"Inbox", ftInbox},
    {u"Outbox", ftOutbox},
    {u"Deleted", ftDeleted},
    {u"SentItems", ftSentItems},
    {u"IPMRoot", ftIPMRoot},
    {u"Search", ftSearch},
    {u"Common", ftCommon},
    {u"Personal", ftPersonal},
    {u"Contact", ftContact},
    {u"Appointment", ftAppointment},
    {u"Journal", ftJournal},
    {u"StickyNote", ftStickyNote},
    {u"Task", ftTask},
    {u"Draft", ftDraft},
    {u"SearchFolder", ftSearch},
    {u"JunkFolder", ftJunkFolder},
    {u"SyncIssues", ftSyncIssues},
};

// A path taken apart: where the walk starts and the names below it ("/"-separated).
struct TFolderPath {
  TVoMAPIFolderType Start = ftIPMRoot;
  std::u16string_view Names;
};

TFolderPath ParsePath(const WideString& Path) {
  std::u16string_view rest = VoTrimmed(Path);
  if (rest.starts_with(u"//")) rest.remove_prefix(2);
  TFolderPath parsed;
  auto invalid = [&] { kit::Raise(E_INVALIDARG, u"The path %s is not a valid folder path!", {Path}); };
  if (rest.starts_with(u"[")) {
    const size_t close = rest.find(u']');
    if (close == rest.npos) invalid();
    const std::u16string_view name = rest.substr(1, close - 1);
    const auto* special = std::find_if(std::begin(kSpecialNames), std::end(kSpecialNames),
                                       [&](const TSpecialName& entry) { return VoSameText(entry.Name, name); });
    if (special == std::end(kSpecialNames)) kit::Raise(E_INVALIDARG, u"There is no special folder %s", {name});
    parsed.Start = special->FolderType;
    rest.remove_prefix(close + 1);
    // The bracketed name is the whole first part of the path.
    if (!rest.empty() && rest.front() != u'/') invalid();
    if (!rest.empty()) rest.remove_prefix(1);
  }
  parsed.Names = rest;
  return parsed;
}

}  // namespace

ComPtr<IVoMAPIFolder> TVoMAPIMsgStore::OpenFolderByName(const WideString& Name, bool16 Recursive,
                                                        TVoMAPIAccessLevel AccessLevel, bool16 NoCache) {
  CheckActive(u"OpenFolderByName");
  CheckAccessLevel(AccessLevel);
  const TVoMAPIEntryID found = OpenSpecialFolder(ftIPMRoot, alReadOnly, NoCache)->FindSubfolder(Name, Recursive);
  if (found.IsNull()) RaiseNoSuchFolder(u"OpenFolderByName");
  return OpenFolderEntry(found, AccessLevel, NoCache);
}

ComPtr<IVoMAPIFolder> TVoMAPIMsgStore::OpenFolderByPath(const WideString& Path, TVoMAPIAccessLevel AccessLevel,
                                                        bool16 NoCache) {
  CheckActive(u"OpenFolderByPath");
  CheckAccessLevel(AccessLevel);
  const TFolderPath path = ParsePath(Path);
  ComPtr<TVoMAPIFolder> folder = OpenSpecialFolder(path.Start, AccessLevel, NoCache);
  if (path.Names.empty()) return folder;
  for (size_t start = 0;;) {
    const size_t end = std::min(path.Names.find(u'/', start), path.Names.size());
    const TVoMAPIEntryID id = folder->FindSubfolder(path.Names.substr(start, end - start), false);
    if (id.IsNull()) kit::Raise(E_INVALIDARG, u"The given path %s does not exist!", {Path});
    folder = OpenFolderEntry(id, AccessLevel, NoCache);
    if (end == path.Names.size()) return folder;
    start = end + 1;
  }
}

}  // namespace orba
