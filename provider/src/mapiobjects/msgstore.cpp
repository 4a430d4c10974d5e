// IMsgStore over the store engine.
//
// The store's own properties are kept by the engine (special folder entry IDs, display
// name, anything a client sets: a store persists every change at once); identity,
// PR_MDB_PROVIDER and PR_STORE_SUPPORT_MASK are computed. Submitted messages go to the
// store's transport (transport.h); GetOutgoingQueue shows what waits for it. The other
// methods MAPI reserves for the spooler (SetLockState, FinishedMsg, NotifyNewMail)
// answer MAPI_E_NO_SUPPORT: Orba Store has no spooler process.
#include "mapiobjects/msgstore.h"

#include <cstring>

#include "base/lasterror.h"
#include "mapiobjects/folder.h"
#include "mapiobjects/openstore.h"
#include "mapiobjects/outgoingqueuetable.h"
#include "mapiobjects/storemessage.h"
#include "mapiobjects/transport.h"
#include "orba/common/utf8.h"
#include "profiles/services.h"
#include "props/propstrings.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "session/storeentryid.h"
#include "table/mapitable.h"
#include "table/rowbuilder.h"

namespace orba::store {
namespace {

constexpr ULONG kAdviseEvents = fnevCriticalError | fnevNewMail | fnevObjectCreated | fnevObjectDeleted |
                                fnevObjectModified | fnevObjectMoved | fnevObjectCopied | fnevSearchComplete |
                                fnevExtended;

// Text handed to the caller in a MAPI buffer of its own, UTF-16 or 8-bit as flags ask.
TMapiBuffer<BYTE> TextOut(const std::string& utf8, ULONG flags) {
  std::u16string wide = FromUtf8(utf8);
  SPropValue value{};
  value.ulPropTag = PROP_TAG(PT_UNICODE, 1);
  value.Value.lpszW = reinterpret_cast<LPWSTR>(wide.data());
  auto holder = TMapiBuffer<BYTE>::Allocate(1);
  SPropValue converted{};
  CopyWithStringWidth(value, (flags & MAPI_UNICODE) ? PT_UNICODE : PT_STRING8, converted, holder.get(), 0);
  const void* text = (flags & MAPI_UNICODE) ? static_cast<const void*>(converted.Value.lpszW) : converted.Value.lpszA;
  size_t bytes =
      (flags & MAPI_UNICODE)
          ? (std::char_traits<char16_t>::length(reinterpret_cast<const char16_t*>(converted.Value.lpszW)) + 1) * 2
          : std::strlen(converted.Value.lpszA) + 1;
  auto out = TMapiBuffer<BYTE>::Allocate(bytes);
  std::memcpy(out.get(), text, bytes);
  return out;
}

// PR_MDB_PROVIDER: the Exchange private or public store identifier, or Orba Store's
// own for personal files.
MAPIUID MdbProvider(TStoreKind kind) {
  switch (kind) {
    case TStoreKind::Mailbox: return kExchangeMdbProvider;
    case TStoreKind::PublicFolders: return kExchangePublicMdbProvider;
    default: return kPstMdbProvider;
  }
}

// PR_STORE_SUPPORT_MASK: what a store of kind does. Change events are raised by the
// store objects, so notifications are supported; mailboxes and personal files send mail
// through the store's transport.
ULONG SupportMask(TStoreKind kind) {
  ULONG mask = STORE_ENTRYID_UNIQUE | STORE_MODIFY_OK | STORE_CREATE_OK | STORE_ATTACH_OK | STORE_MV_PROPS_OK |
               STORE_RTF_OK | STORE_HTML_OK | STORE_ANSI_OK | STORE_UNICODE_OK | STORE_RESTRICTION_OK | STORE_SORT_OK |
               STORE_SEARCH_OK | STORE_NOTIFY_OK;
  return mask | (kind == TStoreKind::PublicFolders ? STORE_PUBLIC_FOLDERS : STORE_SUBMIT_OK);
}

class TMsgStore final : public TPropObject<IMsgStore> {
 public:
  TMsgStore(std::shared_ptr<TOpenStore> store, bool writable)
      : TPropObject<IMsgStore>(TPropObjectOptions{writable ? TAccessMode::ReadWrite : TAccessMode::ReadOnly, false,
                                                  store->Engine().Names()}),
        store_(std::move(store)),
        writable_(writable) {
    TStoreEngine& engine = store_->Engine();
    LoadStored(engine.Props().Read());
    auto shared = store_;
    AddComputed(tags::kEntryId, [shared](SPropValue& out, void* parent) {
      out = BinaryValue(tags::kEntryId, shared->WrappedEntryId(), parent);
    });
    AddComputed(tags::kStoreEntryId, [shared](SPropValue& out, void* parent) {
      out = BinaryValue(tags::kStoreEntryId, shared->WrappedEntryId(), parent);
    });
    for (ULONG tag : {tags::kRecordKey, tags::kStoreRecordKey})
      AddComputed(tag, [shared, tag](SPropValue& out, void* parent) {
        const GUID& guid = shared->Engine().StoreGuid();
        out = BinaryValue(tag, {reinterpret_cast<const BYTE*>(&guid), sizeof(guid)}, parent);
      });
    AddComputed(tags::kMdbProvider, [shared](SPropValue& out, void* parent) {
      MAPIUID uid = MdbProvider(shared->Engine().Kind());
      out = BinaryValue(tags::kMdbProvider, {uid.ab, sizeof(uid.ab)}, parent);
    });
    AddComputed(tags::kObjectType, [](SPropValue& out, void*) { out = LongValue(tags::kObjectType, MAPI_STORE); });
    AddComputed(tags::kStoreSupportMask, [shared](SPropValue& out, void*) {
      out = LongValue(tags::kStoreSupportMask, SupportMask(shared->Engine().Kind()));
    });
  }

  STDMETHOD(Advise)
  (ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink,
   ULONG_PTR* lpulConnection) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      Check(lpAdviseSink && lpulConnection, MAPI_E_INVALID_PARAMETER, "The sink or the connection pointer is null.");
      Check(ulEventMask != 0, MAPI_E_INVALID_PARAMETER, "The event mask is empty.");
      // An event this store does not raise is an unknown flag, so that a caller can ask
      // again without it.
      CheckFlags(ulEventMask, kAdviseEvents);
      Bytes entryId;
      if (cbEntryID || lpEntryID) {
        auto bytes = EntryIdBytes(cbEntryID, lpEntryID);
        if (!store_->IsStoreEntryId(bytes.data(), bytes.size())) {
          TParsedEntryId parsed = store_->Engine().ParseEntryId(bytes.data(), bytes.size());
          if (parsed.kind == TObjectKind::Folder) store_->Engine().Folders().Get(parsed.id);
          if (parsed.kind == TObjectKind::Message) store_->Engine().Messages().Get(parsed.id);
          if (parsed.kind != TObjectKind::Store) entryId = store_->EntryId(parsed.kind, parsed.id);
        }
      }
      *lpulConnection = store_->Advise(std::move(entryId), ulEventMask, ComPtr<IMAPIAdviseSink>(lpAdviseSink));
      return S_OK;
    });
  }

  STDMETHOD(Unadvise)(ULONG_PTR ulConnection) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      store_->Unadvise(ulConnection);
      return S_OK;
    });
  }

  STDMETHOD(CompareEntryIDs)
  (ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2, LPENTRYID lpEntryID2, ULONG ulFlags,
   ULONG* lpulResult) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      Check(lpulResult != nullptr, MAPI_E_INVALID_PARAMETER, "The result pointer is null.");
      CheckFlags(ulFlags, 0);
      auto a = EntryIdBytes(cbEntryID1, lpEntryID1);
      auto b = EntryIdBytes(cbEntryID2, lpEntryID2);
      TParsedEntryId first = Identify(a), second = Identify(b);
      *lpulResult = first.kind == second.kind && first.id == second.id;
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
      if (!bytes.empty() && Identify(bytes).kind == TObjectKind::Store) {
        // The store itself: this object, not another one.
        CheckFlags(ulFlags, kOpenEntryFlags);
        void* answer = nullptr;
        Check(SUCCEEDED(QueryInterface(lpInterface ? *lpInterface : IID_IUnknown, &answer)),
              MAPI_E_INTERFACE_NOT_SUPPORTED, "The store does not offer the interface asked for.");
        *lppUnk = static_cast<IUnknown*>(answer);
        *lpulObjType = MAPI_STORE;
        return S_OK;
      }
      *lppUnk = OpenStoreEntry(store_, writable_, bytes, lpInterface, ulFlags, *lpulObjType).Detach();
      return S_OK;
    });
  }

  STDMETHOD(SetReceiveFolder)(LPTSTR lpszMessageClass, ULONG ulFlags, ULONG cbEntryID, LPENTRYID lpEntryID) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      CheckFlags(ulFlags, MAPI_UNICODE);
      CheckWrite();
      std::string messageClass = ArgText(lpszMessageClass, ulFlags);
      int64_t folderId = 0;
      if (cbEntryID || lpEntryID) {
        TParsedEntryId target = Identify(EntryIdBytes(cbEntryID, lpEntryID));
        Check(target.kind == TObjectKind::Folder, MAPI_E_INVALID_ENTRYID, "The entry ID is not a folder's.");
        folderId = target.id;
      }
      store_->Engine().Folders().SetReceiveFolder(messageClass, folderId);
      return S_OK;
    });
  }

  STDMETHOD(GetReceiveFolder)
  (LPTSTR lpszMessageClass, ULONG ulFlags, ULONG* lpcbEntryID, LPENTRYID* lppEntryID,
   LPTSTR* lppszExplicitClass) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      Check(lpcbEntryID && lppEntryID, MAPI_E_INVALID_PARAMETER, "An output pointer is null.");
      CheckFlags(ulFlags, MAPI_UNICODE);
      auto found = store_->Engine().Folders().GetReceiveFolder(ArgText(lpszMessageClass, ulFlags));
      Bytes entryId = store_->EntryId(TObjectKind::Folder, found.folderId);
      auto buffer = TMapiBuffer<BYTE>::Allocate(entryId.size());
      std::memcpy(buffer.get(), entryId.data(), entryId.size());
      TMapiBuffer<BYTE> explicitClass;
      if (lppszExplicitClass) explicitClass = TextOut(found.messageClass, ulFlags);
      *lpcbEntryID = static_cast<ULONG>(entryId.size());
      *lppEntryID = reinterpret_cast<LPENTRYID>(buffer.Release());
      if (lppszExplicitClass) *lppszExplicitClass = reinterpret_cast<LPTSTR>(explicitClass.Release());
      return S_OK;
    });
  }

  STDMETHOD(GetReceiveFolderTable)(ULONG ulFlags, LPMAPITABLE* lppTable) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      Check(lppTable != nullptr, MAPI_E_INVALID_PARAMETER, "The table pointer is null.");
      CheckFlags(ulFlags, MAPI_UNICODE | MAPI_DEFERRED_ERRORS);
      // PR_MESSAGE_CLASS in the width the caller asked for.
      bool unicode = (ulFlags & MAPI_UNICODE) != 0;
      ULONG classTag = unicode ? tags::kMessageClassW : tags::kMessageClassA;
      auto rows = std::make_shared<TMemoryRowSource>(
          std::vector<ULONG>{tags::kEntryId, tags::kRecordKey, classTag, tags::kInstanceKey, tags::kRowId});
      ULONG rowId = 0;
      for (const auto& entry : store_->Engine().Folders().ReceiveFolders()) {
        Bytes entryId = store_->EntryId(TObjectKind::Folder, entry.folderId);
        Bytes key = NumberKey(rowId);
        std::string messageClass = entry.messageClass;
        std::u16string wideClass = FromUtf8(entry.messageClass);
        SPropValue values[5] = {BinaryValue(tags::kEntryId, entryId), BinaryValue(tags::kRecordKey, entryId),
                                TextValue(tags::kMessageClassW, wideClass), BinaryValue(tags::kInstanceKey, key),
                                LongValue(tags::kRowId, rowId++)};
        if (!unicode) {
          values[2].ulPropTag = classTag;
          values[2].Value.lpszA = messageClass.data();
        }
        rows->Put(TPropRow(values, 5));
      }
      *lppTable = CreateMapiTable(rows).Detach();
      return S_OK;
    });
  }

  STDMETHOD(StoreLogoff)(ULONG* lpulFlags) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      Check(lpulFlags != nullptr, MAPI_E_INVALID_PARAMETER, "The flags pointer is null.");
      CheckFlags(*lpulFlags, LOGOFF_NO_WAIT | LOGOFF_ORDERLY | LOGOFF_PURGE | LOGOFF_ABORT | LOGOFF_QUIET);
      // Every change is already stored and nothing is in transit: nothing to wait for.
      *lpulFlags = 0;
      return S_OK;
    });
  }

  STDMETHOD(AbortSubmit)(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulFlags) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      CheckFlags(ulFlags, 0);
      TParsedEntryId target = Identify(EntryIdBytes(cbEntryID, lpEntryID));
      Check(target.kind == TObjectKind::Message, MAPI_E_INVALID_ENTRYID, "The entry ID is not a message's.");
      CheckWrite();
      AbortSubmittedMessage(store_, target.id);
      return S_OK;
    });
  }

  STDMETHOD(GetOutgoingQueue)(ULONG ulFlags, LPMAPITABLE* lppTable) override {
    return Guarded(LastError(), [&]() -> HRESULT {
      Check(lppTable != nullptr, MAPI_E_INVALID_PARAMETER, "The table pointer is null.");
      CheckFlags(ulFlags, 0);
      *lppTable = CreateOutgoingQueueTable(store_).Detach();
      return S_OK;
    });
  }
  STDMETHOD(SetLockState)(LPMESSAGE, ULONG) override { return SpoolerOnly(); }
  STDMETHOD(FinishedMsg)(ULONG, ULONG, LPENTRYID) override { return SpoolerOnly(); }
  STDMETHOD(NotifyNewMail)(LPNOTIFICATION) override { return SpoolerOnly(); }

 protected:
  void Persist(const TPropChanges& changes, ULONG) override {
    store_->Engine().Props().Change(StoredChanges(changes), changes.DeletedIds());
  }

 private:
  HRESULT SpoolerOnly() { return Fail(MAPI_E_NO_SUPPORT, "Only the MAPI spooler calls this method."); }

  void CheckWrite() const { Check(writable_, MAPI_E_NO_ACCESS, "The store was opened read-only."); }

  // What an entry ID of this store names (TMapiError for a malformed or foreign one).
  TParsedEntryId Identify(std::span<const BYTE> bytes) const {
    if (store_->IsStoreEntryId(bytes.data(), bytes.size())) return {TObjectKind::Store, 0};
    return store_->Engine().ParseEntryId(bytes.data(), bytes.size());
  }

  std::shared_ptr<TOpenStore> store_;
  bool writable_;
};

}  // namespace

ComPtr<IUnknown> OpenStoreEntry(const std::shared_ptr<TOpenStore>& store, bool writable, std::span<const BYTE> entryId,
                                const IID* iid, ULONG flags, ULONG& objectType) {
  CheckFlags(flags, kOpenEntryFlags);
  Check(!(flags & MAPI_MODIFY) || writable, MAPI_E_NO_ACCESS,
        "The store was opened read-only: its objects cannot be opened for change.");
  TAccessMode access =
      (flags & (MAPI_MODIFY | MAPI_BEST_ACCESS)) && writable ? TAccessMode::ReadWrite : TAccessMode::ReadOnly;
  TParsedEntryId target{TObjectKind::Folder, 0};
  if (entryId.empty())
    target.id = store->Engine().Folders().SpecialFolderId(TSpecialFolder::Root);
  else if (store->IsStoreEntryId(entryId.data(), entryId.size()))
    target.kind = TObjectKind::Store;
  else
    target = store->Engine().ParseEntryId(entryId.data(), entryId.size());
  ComPtr<IUnknown> object;
  switch (target.kind) {
    case TObjectKind::Store:
      object = ComPtr<IUnknown>(CreateMsgStore(store, writable).get());
      objectType = MAPI_STORE;
      break;
    case TObjectKind::Folder:
      object = ComPtr<IUnknown>(OpenFolderObject(store, target.id, access).get());
      objectType = MAPI_FOLDER;
      break;
    case TObjectKind::Message:
      object = ComPtr<IUnknown>(OpenStoreMessage(store, target.id, access).get());
      objectType = MAPI_MESSAGE;
      break;
  }
  void* answer = nullptr;
  Check(SUCCEEDED(object->QueryInterface(iid ? *iid : IID_IUnknown, &answer)), MAPI_E_INTERFACE_NOT_SUPPORTED,
        "The object does not offer the interface asked for.");
  return ComPtr<IUnknown>::Attach(static_cast<IUnknown*>(answer));
}

ComPtr<IMsgStore> CreateMsgStore(std::shared_ptr<TOpenStore> store, bool writable) {
  return ComPtr<IMsgStore>(MakeComObject<TMsgStore>(std::move(store), writable).get());
}

}  // namespace orba::store
