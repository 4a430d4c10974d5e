// IMAPIFolder over the store engine.
//
// A folder persists every property change at once (no SaveChanges needed); a new
// PR_DISPLAY_NAME is a rename, checked for collisions by the engine. Counts, keys and
// identity are computed from the engine on every read. Every change raises the store's
// change events (store.h), which reach advise sinks and open tables.
//
// A search folder (searchfolder.h) shows the messages of other folders: its contents
// table, counts and message operations are about those messages, and it takes no
// messages (except folder-associated ones) and no subfolders of its own.
//
// Copies and moves into a folder of another Orba Store store go through
// TCrossStoreCopy (crossstore.h); a destination folder of another provider answers
// MAPI_E_NO_SUPPORT (its client can copy message by message with CopyTo).
//
// Not offered here: saved contents sort orders (SaveContentsSort): MAPI_E_NO_SUPPORT.
#include "mapiobjects/folder.h"
#include "mapiobjects/msgstore.h"
#include "props/propstrings.h"

#include "base/lasterror.h"
#include "mapiobjects/crossstore.h"
#include "mapiobjects/searchfolder.h"
#include "mapiobjects/storemessage.h"
#include "mapiobjects/tables.h"
#include "orba/common/utf8.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "session/storeentryid.h"
#include "storage/readflags.h"
#include "table/mapitable.h"

#include <mapi/edkmdb.h>

#include <algorithm>
#include <optional>

namespace orba::store {
namespace {

class TMapiFolder final : public TPropObject<IMAPIFolder> {
 public:
  TMapiFolder(std::shared_ptr<TOpenStore> store, int64_t id, TAccessMode access)
      : TPropObject<IMAPIFolder>(TPropObjectOptions{access, false, store->Engine().Names()}),
        store_(std::move(store)),
        id_(id) {
    TStoreEngine& engine = store_->Engine();
    TFolderRecord record = engine.Folders().Get(id_);
    LoadStored(engine.Folders().Props(id_));
    if (!Bag().Find(PROP_ID(tags::kDisplayNameW))) Load(TextValue(tags::kDisplayNameW, record.name));
    auto shared = store_;
    int64_t self = id_;
    auto binary = [this](ULONG tag, std::function<Bytes()> make) {
      AddComputed(tag, [tag, make](SPropValue& out, void* parent) { out = BinaryValue(tag, make(), parent); });
    };
    auto entryId = [shared, self] { return shared->EntryId(TObjectKind::Folder, self); };
    binary(tags::kEntryId, entryId);
    binary(tags::kRecordKey, entryId);
    binary(tags::kParentEntryId, [shared, self] {
      // The root folder is its own parent, as MAPI stores answer.
      TFolderRecord folder = shared->Engine().Folders().Get(self);
      return shared->EntryId(TObjectKind::Folder, folder.parentId ? folder.parentId : self);
    });
    binary(tags::kStoreEntryId, [shared] { return shared->WrappedEntryId(); });
    binary(tags::kStoreRecordKey, [shared] {
      const GUID& guid = shared->Engine().StoreGuid();
      return Bytes(reinterpret_cast<const BYTE*>(&guid), reinterpret_cast<const BYTE*>(&guid) + sizeof(guid));
    });
    binary(tags::kSourceKey, [shared, self] { return shared->Engine().Folders().Get(self).change.sourceKey; });
    binary(tags::kChangeKey, [shared, self] { return shared->Engine().Folders().Get(self).change.changeKey; });
    binary(tags::kPredecessorChangeList,
           [shared, self] { return shared->Engine().Folders().Get(self).change.predecessors; });
    AddComputed(tags::kObjectType, [](SPropValue& out, void*) { out = LongValue(tags::kObjectType, MAPI_FOLDER); });
    AddComputed(tags::kFolderType, [shared, self](SPropValue& out, void*) {
      out = LongValue(tags::kFolderType, shared->Engine().Folders().Get(self).folderType);
    });
    AddComputed(tags::kContentCount,
                [this](SPropValue& out, void*) { out = LongValue(tags::kContentCount, Counts().contents); });
    AddComputed(tags::kContentUnread,
                [this](SPropValue& out, void*) { out = LongValue(tags::kContentUnread, Counts().unread); });
    AddComputed(tags::kAssocContentCount, [shared, self](SPropValue& out, void*) {
      out = LongValue(tags::kAssocContentCount, shared->Engine().Folders().Counts(self).associated);
    });
    AddComputed(tags::kSubfolders, [shared, self](SPropValue& out, void*) {
      out = BoolValue(tags::kSubfolders, shared->Engine().Folders().Counts(self).subfolders > 0);
    });
    SetExpectedType(PROP_ID(tags::kDisplayNameW), PT_UNICODE);
    SetExpectedType(PROP_ID(tags::kContainerClassW), PT_UNICODE);
  }

  // --- IMAPIContainer ---
  STDMETHOD(GetContentsTable)(ULONG ulFlags, LPMAPITABLE* lppTable) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      Check(lppTable != nullptr, MAPI_E_INVALID_PARAMETER, "The table pointer is null.");
      CheckFlags(ulFlags, MAPI_ASSOCIATED | MAPI_DEFERRED_ERRORS | MAPI_UNICODE);
      bool associated = (ulFlags & MAPI_ASSOCIATED) != 0;
      auto source =
          IsSearch() && !associated ? CreateSearchSource(store_, id_) : CreateContentsSource(store_, id_, associated);
      *lppTable = CreateMapiTable(source).Detach();
      return S_OK;
    });
  }

  STDMETHOD(GetHierarchyTable)(ULONG ulFlags, LPMAPITABLE* lppTable) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      Check(lppTable != nullptr, MAPI_E_INVALID_PARAMETER, "The table pointer is null.");
      CheckFlags(ulFlags, CONVENIENT_DEPTH | MAPI_DEFERRED_ERRORS | MAPI_UNICODE);
      *lppTable = CreateMapiTable(CreateHierarchySource(store_, id_, (ulFlags & CONVENIENT_DEPTH) != 0)).Detach();
      return S_OK;
    });
  }

  STDMETHOD(OpenEntry)
  (ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags, ULONG* lpulObjType,
   LPUNKNOWN* lppUnk) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      Check(lpulObjType && lppUnk, MAPI_E_INVALID_PARAMETER, "An output pointer is null.");
      *lppUnk = nullptr;
      std::span<const BYTE> bytes;
      if (cbEntryID || lpEntryID) bytes = EntryIdBytes(cbEntryID, lpEntryID);
      *lppUnk = OpenStoreEntry(store_, Writable(), bytes, lpInterface, ulFlags, *lpulObjType).Detach();
      return S_OK;
    });
  }

  STDMETHOD(SetSearchCriteria)
  (LPSRestriction lpRestriction, LPENTRYLIST lpContainerList, ULONG ulSearchFlags) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      CheckWrite();
      store::SetSearchCriteria(store_, id_, lpRestriction, lpContainerList, ulSearchFlags);
      return S_OK;
    });
  }
  STDMETHOD(GetSearchCriteria)
  (ULONG ulFlags, LPSRestriction* lppRestriction, LPENTRYLIST* lppContainerList, ULONG* lpulSearchState) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      store::GetSearchCriteria(store_, id_, ulFlags, lppRestriction, lppContainerList, lpulSearchState);
      return S_OK;
    });
  }

  // --- IMAPIFolder ---
  STDMETHOD(CreateMessage)(LPCIID lpInterface, ULONG ulFlags, LPMESSAGE* lppMessage) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      Check(lppMessage != nullptr, MAPI_E_INVALID_PARAMETER, "The message pointer is null.");
      *lppMessage = nullptr;
      CheckFlags(ulFlags, MAPI_ASSOCIATED | MAPI_DEFERRED_ERRORS);
      CheckWrite();
      Check(!IsSearch() || (ulFlags & MAPI_ASSOCIATED), MAPI_E_NO_SUPPORT,
            "A search folder shows messages of other folders; it holds none of its own.");
      auto message = CreateStoreMessage(store_, id_, (ulFlags & MAPI_ASSOCIATED) != 0);
      void* answer = nullptr;
      Check(SUCCEEDED(message->QueryInterface(lpInterface ? *lpInterface : IID_IMessage, &answer)),
            MAPI_E_INTERFACE_NOT_SUPPORTED, "The message does not offer the interface asked for.");
      *lppMessage = static_cast<LPMESSAGE>(answer);
      return S_OK;
    });
  }

  STDMETHOD(CopyMessages)
  (LPENTRYLIST lpMsgList, LPCIID lpInterface, LPVOID lpDestFolder, ULONG_PTR, LPMAPIPROGRESS, ULONG ulFlags) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      Check(lpMsgList && lpDestFolder, MAPI_E_INVALID_PARAMETER, "The message list or the destination is null.");
      CheckFlags(ulFlags, MESSAGE_MOVE | MESSAGE_DIALOG | MAPI_DECLINE_OK);
      bool move = (ulFlags & MESSAGE_MOVE) != 0;
      if (move) CheckWrite();
      // No structured binding: the lambdas below use the folder, and clang 14 cannot capture bindings.
      const auto destination = DestinationFolder(lpInterface, lpDestFolder);
      const std::shared_ptr<TOpenStore>& destStore = destination.first;
      const int64_t dest = destination.second;
      Check(destStore->Engine().Folders().Get(dest).folderType != FOLDER_SEARCH, MAPI_E_NO_SUPPORT,
            "Messages cannot be copied or moved into a search folder.");
      bool partial = false;
      if (destStore != store_) {
        TCrossStoreCopy copier(store_, destStore);
        ForEachMessage(lpMsgList, partial, [&](const TMessageRecord& message) {
          // One message failing leaves its original and does not stop the others.
          try {
            copier.CopyMessage(message, dest, move);
          } catch (const TMapiError&) {
            partial = true;
          }
        });
        return partial ? MAPI_W_PARTIAL_COMPLETION : S_OK;
      }
      ForEachMessage(lpMsgList, partial, [&](const TMessageRecord& message) {
        if (move) {
          // A move into the folder the message is in already changes nothing: no
          // change is stamped and nobody is told of a move.
          if (dest == id_) return;
          store_->Engine().Messages().Move(message.id, dest);
          store_->Changed({fnevObjectMoved, TObjectKind::Message, message.id, dest, message.id, message.folderId,
                           message.associated});
        } else {
          int64_t copy = store_->Engine().Messages().Copy(message.id, dest);
          store_->Changed(
              {fnevObjectCopied, TObjectKind::Message, copy, dest, message.id, message.folderId, message.associated});
        }
      });
      return partial ? MAPI_W_PARTIAL_COMPLETION : S_OK;
    });
  }

  STDMETHOD(DeleteMessages)(LPENTRYLIST lpMsgList, ULONG_PTR, LPMAPIPROGRESS, ULONG ulFlags) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      Check(lpMsgList != nullptr, MAPI_E_INVALID_PARAMETER, "The message list is null.");
      CheckFlags(ulFlags, MESSAGE_DIALOG | DELETE_HARD_DELETE);
      CheckWrite();
      bool partial = false;
      ForEachMessage(lpMsgList, partial, [&](const TMessageRecord& message) {
        // Without DELETE_HARD_DELETE a message stays recoverable (soft-deleted).
        store_->Engine().Messages().Delete(message.id, !(ulFlags & DELETE_HARD_DELETE));
        store_->Changed(
            {fnevObjectDeleted, TObjectKind::Message, message.id, message.folderId, 0, 0, message.associated});
      });
      return partial ? MAPI_W_PARTIAL_COMPLETION : S_OK;
    });
  }

  STDMETHOD(CreateFolder)
  (ULONG ulFolderType, LPTSTR lpszFolderName, LPTSTR lpszFolderComment, LPCIID lpInterface, ULONG ulFlags,
   LPMAPIFOLDER* lppFolder) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      Check(lppFolder && lpszFolderName, MAPI_E_INVALID_PARAMETER, "The folder name or the result pointer is null.");
      *lppFolder = nullptr;
      CheckFlags(ulFlags, MAPI_UNICODE | OPEN_IF_EXISTS | MAPI_DEFERRED_ERRORS);
      Check(ulFolderType == FOLDER_GENERIC || ulFolderType == FOLDER_SEARCH, MAPI_E_INVALID_PARAMETER,
            "The folder type is not FOLDER_GENERIC or FOLDER_SEARCH.");
      CheckWrite();
      std::u16string name = FromUtf8(ArgText(lpszFolderName, ulFlags));
      TStoredProps props;
      if (lpszFolderComment) {
        props.push_back(Stored(TextValue(tags::kCommentW, FromUtf8(ArgText(lpszFolderComment, ulFlags)))));
      }
      TStoreEngine& engine = store_->Engine();
      bool existed = engine.Folders().FindChild(id_, name).has_value();
      int64_t created = engine.Folders().Create(id_, name, ulFolderType, props, (ulFlags & OPEN_IF_EXISTS) != 0);
      if (!existed) store_->Changed({fnevObjectCreated, TObjectKind::Folder, created, id_});
      auto folder = OpenFolderObject(store_, created, TAccessMode::ReadWrite);
      void* answer = nullptr;
      Check(SUCCEEDED(folder->QueryInterface(lpInterface ? *lpInterface : IID_IMAPIFolder, &answer)),
            MAPI_E_INTERFACE_NOT_SUPPORTED, "The folder does not offer the interface asked for.");
      *lppFolder = static_cast<LPMAPIFOLDER>(answer);
      return S_OK;
    });
  }

  STDMETHOD(CopyFolder)
  (ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, LPVOID lpDestFolder, LPTSTR lpszNewFolderName, ULONG_PTR,
   LPMAPIPROGRESS, ULONG ulFlags) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      Check(lpDestFolder != nullptr, MAPI_E_INVALID_PARAMETER, "The destination folder is null.");
      CheckFlags(ulFlags, FOLDER_MOVE | COPY_SUBFOLDERS | MAPI_UNICODE | FOLDER_DIALOG | MAPI_DECLINE_OK);
      bool move = (ulFlags & FOLDER_MOVE) != 0;
      if (move) CheckWrite();
      TFolderRecord folder = Subfolder(cbEntryID, lpEntryID);
      auto [destStore, dest] = DestinationFolder(lpInterface, lpDestFolder);
      std::optional<std::u16string> newName;
      if (lpszNewFolderName) newName = FromUtf8(ArgText(lpszNewFolderName, ulFlags));
      TStoreEngine& engine = store_->Engine();
      if (destStore != store_) {
        if (!TCrossStoreCopy(store_, destStore)
                 .CopyFolder(folder, dest, newName, (ulFlags & COPY_SUBFOLDERS) != 0, move))
          return MAPI_W_PARTIAL_COMPLETION;
      } else if (move) {
        engine.Folders().Move(folder.id, dest, newName);
        store_->Changed({fnevObjectMoved, TObjectKind::Folder, folder.id, dest, folder.id, id_});
      } else {
        int64_t copy = engine.Folders().Copy(folder.id, dest, newName, (ulFlags & COPY_SUBFOLDERS) != 0);
        store_->Changed({fnevObjectCopied, TObjectKind::Folder, copy, dest, folder.id, id_});
      }
      return S_OK;
    });
  }

  STDMETHOD(DeleteFolder)(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG_PTR, LPMAPIPROGRESS, ULONG ulFlags) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      CheckFlags(ulFlags, DEL_MESSAGES | DEL_FOLDERS | FOLDER_DIALOG | DELETE_HARD_DELETE);
      CheckWrite();
      TFolderRecord folder = Subfolder(cbEntryID, lpEntryID);
      store_->Engine().Folders().Delete(folder.id, (ulFlags & DEL_MESSAGES) != 0, (ulFlags & DEL_FOLDERS) != 0);
      store_->Changed({fnevObjectDeleted, TObjectKind::Folder, folder.id, id_});
      return S_OK;
    });
  }

  STDMETHOD(SetReadFlags)(LPENTRYLIST lpMsgList, ULONG_PTR, LPMAPIPROGRESS, ULONG ulFlags) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      CheckFlags(ulFlags, kReadFlagOptions | MESSAGE_DIALOG);
      Check(!((ulFlags & GENERATE_RECEIPT_ONLY) && (ulFlags & (CLEAR_READ_FLAG | SUPPRESS_RECEIPT))),
            MAPI_E_INVALID_PARAMETER,
            "GENERATE_RECEIPT_ONLY cannot be combined with CLEAR_READ_FLAG or "
            "SUPPRESS_RECEIPT.");
      // The read state and pending receipt flags follow readflags.h's rules.
      bool partial = false;
      auto mark = [&](const TMessageRecord& message) {
        if (store_->Engine().Messages().ApplyReadFlags(message.id, ulFlags).Changed())
          store_->Changed(
              {fnevObjectModified, TObjectKind::Message, message.id, message.folderId, 0, 0, message.associated});
      };
      if (lpMsgList) {
        ForEachMessage(lpMsgList, partial, mark);
      } else {
        for (int64_t id : MessageIdsHere()) mark(store_->Engine().Messages().Get(id));
      }
      return partial ? MAPI_W_PARTIAL_COMPLETION : S_OK;
    });
  }

  STDMETHOD(GetMessageStatus)(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulFlags, ULONG* lpulMessageStatus) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      Check(lpulMessageStatus != nullptr, MAPI_E_INVALID_PARAMETER, "The status pointer is null.");
      CheckFlags(ulFlags, 0);
      *lpulMessageStatus = MessageHere(EntryIdBytes(cbEntryID, lpEntryID)).status;
      return S_OK;
    });
  }

  STDMETHOD(SetMessageStatus)
  (ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulNewStatus, ULONG ulNewStatusMask, ULONG* lpulOldStatus) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      TMessageRecord message = MessageHere(EntryIdBytes(cbEntryID, lpEntryID));
      ULONG old = store_->Engine().Messages().SetStatus(message.id, ulNewStatus, ulNewStatusMask);
      if (lpulOldStatus) *lpulOldStatus = old;
      store_->Changed(
          {fnevObjectModified, TObjectKind::Message, message.id, message.folderId, 0, 0, message.associated});
      return S_OK;
    });
  }

  STDMETHOD(SaveContentsSort)(LPSSortOrderSet, ULONG) override {
    return Fail(MAPI_E_NO_SUPPORT, "Contents sort orders are not kept.");
  }

  STDMETHOD(EmptyFolder)(ULONG_PTR, LPMAPIPROGRESS, ULONG ulFlags) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      CheckFlags(ulFlags, DEL_ASSOCIATED | FOLDER_DIALOG | DELETE_HARD_DELETE);
      CheckWrite();
      store_->Engine().Folders().Empty(id_, (ulFlags & DEL_ASSOCIATED) != 0);
      store_->Changed({fnevObjectModified, TObjectKind::Folder, id_, store_->Engine().Folders().Get(id_).parentId});
      return S_OK;
    });
  }

 protected:
  void Persist(const TPropChanges& changes, ULONG) override {
    store_->Engine().Folders().ChangeProps(id_, StoredChanges(changes), changes.DeletedIds());
    store_->Changed({fnevObjectModified, TObjectKind::Folder, id_, store_->Engine().Folders().Get(id_).parentId});
  }

 private:
  bool Writable() const { return Access() == TAccessMode::ReadWrite; }
  bool IsSearch() const { return store_->Engine().Folders().Get(id_).folderType == FOLDER_SEARCH; }

  // The counts of the messages the folder shows: a search folder's results.
  TFolderCounts Counts() const {
    return IsSearch() ? SearchFolderCounts(store_, id_) : store_->Engine().Folders().Counts(id_);
  }

  // The normal messages the folder shows.
  std::vector<int64_t> MessageIdsHere() const {
    if (!IsSearch()) return store_->Engine().Messages().Ids(id_, false);
    std::vector<int64_t> ids;
    for (const TSearchResult& result : SearchResults(store_, id_)) ids.push_back(result.id);
    return ids;
  }
  void CheckWrite() const { Check(Writable(), MAPI_E_NO_ACCESS, "The folder was opened read-only."); }

  // The store and folder id of a destination folder object, which must be an Orba Store
  // folder opened for writing.
  std::pair<std::shared_ptr<TOpenStore>, int64_t> DestinationFolder(LPCIID iid, LPVOID destination) {
    Check(
        !iid || *iid == IID_IMAPIFolder || *iid == IID_IMAPIContainer || *iid == IID_IUnknown || *iid == IID_IMAPIProp,
        MAPI_E_INTERFACE_NOT_SUPPORTED, "The destination must be a folder.");
    ComPtr<IMAPIFolder> folder;
    Check(SUCCEEDED(static_cast<IUnknown*>(destination)->QueryInterface(IID_IMAPIFolder, folder.OutVoid())),
          MAPI_E_INVALID_PARAMETER, "The destination is not a folder.");
    auto* ours = dynamic_cast<TMapiFolder*>(folder.get());
    Check(ours != nullptr, MAPI_E_NO_SUPPORT, "Copies to folders of other providers are not supported.");
    // Copies and moves write into the destination, which needs it opened for writing.
    Check(ours->Writable(), MAPI_E_NO_ACCESS, "The destination folder was opened read-only.");
    ours->store_->Engine().Folders().Get(ours->id_);
    return {ours->store_, ours->id_};
  }

  // A direct subfolder named by an entry ID (MAPI_E_NOT_FOUND when it is not one).
  TFolderRecord Subfolder(ULONG cb, LPENTRYID entryId) {
    auto bytes = EntryIdBytes(cb, entryId);
    TParsedEntryId parsed = store_->Engine().ParseEntryId(bytes.data(), bytes.size());
    Check(parsed.kind == TObjectKind::Folder, MAPI_E_INVALID_ENTRYID, "The entry ID is not a folder's.");
    TFolderRecord folder = store_->Engine().Folders().Get(parsed.id);
    Check(folder.parentId == id_, MAPI_E_NOT_FOUND, "The folder is not a subfolder of this folder.");
    return folder;
  }

  // A message of this folder named by an entry ID; for a search folder, one of the
  // messages it shows (results, when given, are the folder's results).
  TMessageRecord MessageHere(std::span<const BYTE> bytes, const std::vector<int64_t>* results = nullptr) {
    TParsedEntryId parsed = store_->Engine().ParseEntryId(bytes.data(), bytes.size());
    Check(parsed.kind == TObjectKind::Message, MAPI_E_INVALID_ENTRYID, "The entry ID is not a message's.");
    TMessageRecord message = store_->Engine().Messages().Get(parsed.id);
    bool here = message.folderId == id_;
    if (IsSearch() && !message.associated) {
      std::vector<int64_t> shown = results ? std::vector<int64_t>() : MessageIdsHere();
      const std::vector<int64_t>& ids = results ? *results : shown;
      here = std::find(ids.begin(), ids.end(), message.id) != ids.end();
    }
    Check(here && !message.deleted, MAPI_E_NOT_FOUND, "The message is not in this folder.");
    return message;
  }

  // Runs action for each message of the list that is in this folder; entries that are
  // not (malformed, foreign, missing, elsewhere) are skipped and set partial.
  template <class Action>
  void ForEachMessage(LPENTRYLIST list, bool& partial, Action&& action) {
    Check(!list->cValues || list->lpbin, MAPI_E_INVALID_PARAMETER, "The entry list has no entries.");
    // A search folder's results are read once for the whole list.
    std::optional<std::vector<int64_t>> results;
    if (IsSearch()) results = MessageIdsHere();
    for (ULONG i = 0; i < list->cValues; ++i) {
      TMessageRecord message;
      try {
        message = MessageHere(EntryIdBytes(list->lpbin[i].cb, reinterpret_cast<LPENTRYID>(list->lpbin[i].lpb)),
                              results ? &*results : nullptr);
      } catch (const TMapiError&) {
        partial = true;
        continue;
      }
      action(message);
    }
  }

  std::shared_ptr<TOpenStore> store_;
  int64_t id_;
};

}  // namespace

ComPtr<IMAPIFolder> OpenFolderObject(std::shared_ptr<TOpenStore> store, int64_t id, TAccessMode access) {
  return ComPtr<IMAPIFolder>(MakeComObject<TMapiFolder>(std::move(store), id, access).get());
}

}  // namespace orba::store
