// IMAPISession: see mapisession.h.
#include "session/mapisession.h"
#include "base/lasterror.h"

#include <cstring>

#include "admin/profadmin.h"
#include "mapiobjects/msgstore.h"
#include "orba/common/encoding.h"
#include "profiles/profsect.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "session/addressbook.h"
#include "session/statusrows.h"
#include "session/storeentryid.h"
#include "table/mapitable.h"

namespace orba::store {
namespace {

constexpr ULONG kOpenMsgStoreFlags =
    MAPI_BEST_ACCESS | MAPI_DEFERRED_ERRORS | MDB_NO_DIALOG | MDB_WRITE | MDB_TEMPORARY | MDB_NO_MAIL | MDB_ONLINE;
constexpr ULONG kEventMask = fnevCriticalError | fnevNewMail | fnevObjectCreated | fnevObjectDeleted |
                             fnevObjectModified | fnevObjectMoved | fnevObjectCopied | fnevSearchComplete |
                             fnevTableModified | fnevStatusObjectModified | fnevExtended;

bool IsStoreEntryId(std::span<const BYTE> entryId) {
  MAPIUID uid = EntryIdProviderUid(entryId);
  return IsEqualMAPIUID(&uid, &kStoreWrapUid);
}

}  // namespace

HRESULT TMapiSession::GetLastError(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) {
  return error_.Get(hResult, ulFlags, lppMAPIError);
}

HRESULT TMapiSession::GetMsgStoresTable(ULONG ulFlags, LPMAPITABLE* lppTable) {
  return Guarded(error_, [&] {
    state_->CheckActive();
    Check(lppTable != nullptr, MAPI_E_INVALID_PARAMETER, "No table pointer was given.");
    *lppTable = nullptr;
    CheckFlags(ulFlags, MAPI_UNICODE);
    *lppTable = CreateMapiTable(state_->StoresTableRows()).Detach();
    return S_OK;
  });
}

HRESULT TMapiSession::OpenMsgStore(ULONG_PTR, ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                                   LPMDB* lppMDB) {
  return Guarded(error_, [&] {
    state_->CheckActive();
    Check(lppMDB != nullptr, MAPI_E_INVALID_PARAMETER, "No result pointer was given.");
    *lppMDB = nullptr;
    CheckFlags(ulFlags, kOpenMsgStoreFlags);
    Check(
        !lpInterface || *lpInterface == IID_IMsgStore || *lpInterface == IID_IMAPIProp || *lpInterface == IID_IUnknown,
        MAPI_E_INTERFACE_NOT_SUPPORTED, "A message store offers IMsgStore.");
    TProfileStore store = state_->FindStore(EntryIdBytes(cbEntryID, lpEntryID));
    *lppMDB = state_->OpenStore(store, ulFlags).Detach();
    return S_OK;
  });
}

HRESULT TMapiSession::OpenAddressBook(ULONG_PTR, LPCIID lpInterface, ULONG ulFlags, LPADRBOOK* lppAdrBook) {
  return Guarded(error_, [&] {
    state_->CheckActive();
    Check(lppAdrBook != nullptr, MAPI_E_INVALID_PARAMETER, "No result pointer was given.");
    *lppAdrBook = nullptr;
    CheckFlags(ulFlags, AB_NO_DIALOG | MAPI_UNICODE);
    Check(!lpInterface || *lpInterface == IID_IAddrBook, MAPI_E_INTERFACE_NOT_SUPPORTED,
          "The address book offers IAddrBook.");
    TAddressBookFactory factory = AddressBookFactory();
    Check(static_cast<bool>(factory), MAPI_E_NO_SUPPORT, "No address book is available in this session.");
    *lppAdrBook = factory(state_->Database(), state_->Profile(), ulFlags).Detach();
    return S_OK;
  });
}

HRESULT TMapiSession::OpenProfileSection(LPMAPIUID lpUID, LPCIID lpInterface, ULONG ulFlags, LPPROFSECT* lppProfSect) {
  return Guarded(error_, [&] {
    state_->CheckActive();
    Check(lppProfSect != nullptr && lpUID != nullptr, MAPI_E_INVALID_PARAMETER,
          "A section UID and a result pointer are needed.");
    *lppProfSect = nullptr;
    *lppProfSect =
        orba::store::OpenProfileSection(state_->Database(), state_->Profile(), *lpUID, lpInterface, ulFlags).Detach();
    return S_OK;
  });
}

HRESULT TMapiSession::GetStatusTable(ULONG ulFlags, LPMAPITABLE* lppTable) {
  return Guarded(error_, [&] {
    state_->CheckActive();
    Check(lppTable != nullptr, MAPI_E_INVALID_PARAMETER, "No table pointer was given.");
    *lppTable = nullptr;
    CheckFlags(ulFlags, MAPI_UNICODE);
    *lppTable = CreateMapiTable(StatusRows(*state_)).Detach();
    return S_OK;
  });
}

ComPtr<IMsgStore> TMapiSession::RouteEntryId(std::span<const BYTE> entryId) {
  ComPtr<IMsgStore> store = state_->StoreForUid(EntryIdProviderUid(entryId));
  Check(static_cast<bool>(store), MAPI_E_UNKNOWN_ENTRYID, "No opened message store owns the entry ID.");
  return store;
}

HRESULT TMapiSession::OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                                ULONG* lpulObjType, LPUNKNOWN* lppUnk) {
  return Guarded(error_, [&]() -> HRESULT {
    state_->CheckActive();
    Check(lpulObjType != nullptr && lppUnk != nullptr, MAPI_E_INVALID_PARAMETER, "No result pointers were given.");
    *lppUnk = nullptr;
    CheckFlags(ulFlags, kOpenEntryFlags);
    std::span<const BYTE> entryId = EntryIdBytes(cbEntryID, lpEntryID);
    if (IsStoreEntryId(entryId)) {
      Check(!lpInterface || *lpInterface == IID_IMsgStore || *lpInterface == IID_IMAPIProp ||
                *lpInterface == IID_IUnknown,
            MAPI_E_INTERFACE_NOT_SUPPORTED, "A message store offers IMsgStore.");
      ULONG storeFlags =
          (ulFlags & MAPI_MODIFY ? MDB_WRITE : 0) | (ulFlags & (MAPI_BEST_ACCESS | MAPI_DEFERRED_ERRORS));
      *lppUnk = state_->OpenStore(state_->FindStore(entryId), storeFlags | MDB_NO_DIALOG).Detach();
      *lpulObjType = MAPI_STORE;
      return S_OK;
    }
    return RouteEntryId(entryId)->OpenEntry(cbEntryID, lpEntryID, lpInterface, ulFlags, lpulObjType, lppUnk);
  });
}

HRESULT TMapiSession::CompareEntryIDs(ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2, LPENTRYID lpEntryID2,
                                      ULONG ulFlags, ULONG* lpulResult) {
  return Guarded(error_, [&]() -> HRESULT {
    state_->CheckActive();
    Check(lpulResult != nullptr, MAPI_E_INVALID_PARAMETER, "No result pointer was given.");
    CheckFlags(ulFlags, 0);
    std::span<const BYTE> first = EntryIdBytes(cbEntryID1, lpEntryID1);
    std::span<const BYTE> second = EntryIdBytes(cbEntryID2, lpEntryID2);
    if (IsStoreEntryId(first) || IsStoreEntryId(second)) {
      // Store entry IDs name the same store when they resolve to the same provider.
      bool same = IsStoreEntryId(first) && IsStoreEntryId(second);
      if (same) {
        TProfileStore a = state_->FindStore(first), b = state_->FindStore(second);
        same = IsEqualMAPIUID(&a.provider, &b.provider);
      }
      *lpulResult = same ? 1 : 0;
      return S_OK;
    }
    ComPtr<IMsgStore> store = RouteEntryId(first);
    // Objects of different stores are never the same.
    if (store != state_->StoreForUid(EntryIdProviderUid(second))) {
      RouteEntryId(second);
      *lpulResult = 0;
      return S_OK;
    }
    return store->CompareEntryIDs(cbEntryID1, lpEntryID1, cbEntryID2, lpEntryID2, ulFlags, lpulResult);
  });
}

HRESULT TMapiSession::Advise(ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink,
                             ULONG_PTR* lpulConnection) {
  return Guarded(error_, [&] {
    state_->CheckActive();
    Check(lpAdviseSink != nullptr && lpulConnection != nullptr, MAPI_E_INVALID_PARAMETER,
          "A sink and a result pointer are needed.");
    Check(ulEventMask != 0, MAPI_E_INVALID_PARAMETER, "No events were asked for.");
    CheckFlags(ulEventMask, kEventMask);
    if (!lpEntryID) {
      Check(cbEntryID == 0, MAPI_E_INVALID_PARAMETER, "An entry ID size without an entry ID.");
      // Session sinks hear of critical errors and of the session's end only.
      *lpulConnection =
          state_->AddSink(ulEventMask | fnevCriticalError, ComPtr<IMAPIAdviseSink>(lpAdviseSink), nullptr, 0);
      return S_OK;
    }
    std::span<const BYTE> entryId = EntryIdBytes(cbEntryID, lpEntryID);
    ComPtr<IMsgStore> store =
        IsStoreEntryId(entryId) ? state_->OpenStore(state_->FindStore(entryId), MDB_NO_DIALOG) : RouteEntryId(entryId);
    // A store entry ID advises on the whole store.
    ULONG_PTR storeConnection = 0;
    HRESULT hr = IsStoreEntryId(entryId)
                     ? store->Advise(0, nullptr, ulEventMask, lpAdviseSink, &storeConnection)
                     : store->Advise(cbEntryID, lpEntryID, ulEventMask, lpAdviseSink, &storeConnection);
    if (FAILED(hr)) return hr;
    *lpulConnection = state_->AddSink(ulEventMask, ComPtr<IMAPIAdviseSink>(lpAdviseSink), store, storeConnection);
    return S_OK;
  });
}

HRESULT TMapiSession::Unadvise(ULONG_PTR ulConnection) {
  return Guarded(error_, [&] {
    state_->CheckActive();
    state_->RemoveSink(ulConnection);
    return S_OK;
  });
}

HRESULT TMapiSession::MessageOptions(ULONG_PTR, ULONG, LPTSTR, LPMESSAGE) {
  return Guarded(error_, [&]() -> HRESULT {
    state_->CheckActive();
    throw TMapiError(MAPI_E_NO_SUPPORT, "Message options need a dialog: there is no user interface.");
  });
}

HRESULT TMapiSession::QueryDefaultMessageOpt(LPTSTR lpszAdrType, ULONG ulFlags, ULONG* lpcValues,
                                             LPSPropValue* lppOptions) {
  return Guarded(error_, [&] {
    state_->CheckActive();
    Check(lpszAdrType != nullptr && lpcValues != nullptr && lppOptions != nullptr, MAPI_E_INVALID_PARAMETER,
          "An address type and result pointers are needed.");
    CheckFlags(ulFlags, MAPI_UNICODE);
    *lpcValues = 0;
    *lppOptions = nullptr;
    return S_OK;
  });
}

HRESULT TMapiSession::EnumAdrTypes(ULONG ulFlags, ULONG* lpcAdrTypes, LPTSTR** lpppszAdrTypes) {
  return Guarded(error_, [&] {
    state_->CheckActive();
    Check(lpcAdrTypes != nullptr && lpppszAdrTypes != nullptr, MAPI_E_INVALID_PARAMETER,
          "No result pointers were given.");
    CheckFlags(ulFlags, MAPI_UNICODE);
    static constexpr const char* kTypes[] = {"SMTP", "EX"};
    constexpr size_t count = std::size(kTypes);
    auto list = TMapiBuffer<LPTSTR>::Allocate(sizeof(LPTSTR) * count);
    for (size_t i = 0; i < count; ++i) {
      size_t length = std::strlen(kTypes[i]);
      if (ulFlags & MAPI_UNICODE) {
        auto* text = AllocateMoreOf<char16_t>(length + 1, list.get());
        std::copy(kTypes[i], kTypes[i] + length + 1, text);
        list.get()[i] = reinterpret_cast<LPTSTR>(text);
      } else {
        auto* text = AllocateMoreOf<char>(length + 1, list.get());
        std::memcpy(text, kTypes[i], length + 1);
        list.get()[i] = text;
      }
    }
    *lpcAdrTypes = count;
    *lpppszAdrTypes = list.Release();
    return S_OK;
  });
}

HRESULT TMapiSession::QueryIdentity(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) {
  return Guarded(error_, [&] {
    state_->CheckActive();
    Check(lpcbEntryID != nullptr && lppEntryID != nullptr, MAPI_E_INVALID_PARAMETER, "No result pointers were given.");
    *lppEntryID = nullptr;
    TProfileDatabase& db = *state_->Database();
    std::optional<Bytes> primary, first;
    for (const TProviderInfo& provider : db.Providers(state_->Profile())) {
      TStoredProps section = db.ReadSection(state_->Profile(), provider.uid);
      auto values = DecodeStored(section);
      std::optional<Bytes> identity;
      bool isPrimary = false;
      for (size_t i = 0; i < section.size(); ++i) {
        const SPropValue& value = values.get()[i];
        if (value.ulPropTag == tags::kIdentityEntryId && value.Value.bin.cb)
          identity = Bytes(value.Value.bin.lpb, value.Value.bin.lpb + value.Value.bin.cb);
        if (value.ulPropTag == tags::kResourceFlags) isPrimary = (value.Value.ul & STATUS_PRIMARY_IDENTITY) != 0;
      }
      if (identity && isPrimary && !primary) primary = identity;
      if (identity && !first) first = identity;
    }
    const std::optional<Bytes>& chosen = primary ? primary : first;
    Check(chosen.has_value(), MAPI_E_NOT_FOUND, "No provider of the profile supplies an identity.");
    auto entryId = TMapiBuffer<BYTE>::Allocate(chosen->size());
    std::memcpy(entryId.get(), chosen->data(), chosen->size());
    *lpcbEntryID = static_cast<ULONG>(chosen->size());
    *lppEntryID = reinterpret_cast<LPENTRYID>(entryId.Release());
    return primary ? S_OK : MAPI_W_NO_SERVICE;
  });
}

HRESULT TMapiSession::Logoff(ULONG_PTR, ULONG ulFlags, ULONG ulReserved) {
  return Guarded(error_, [&] {
    state_->CheckActive();
    CheckFlags(ulFlags, MAPI_LOGOFF_SHARED | MAPI_LOGOFF_UI);
    Check(ulReserved == 0, MAPI_E_INVALID_PARAMETER, "The reserved argument must be 0.");
    state_->End();
    return S_OK;
  });
}

HRESULT TMapiSession::SetDefaultStore(ULONG ulFlags, ULONG cbEntryID, LPENTRYID lpEntryID) {
  return Guarded(error_, [&] {
    state_->CheckActive();
    Check(ulFlags >= MAPI_DEFAULT_STORE && ulFlags <= MAPI_SECONDARY_STORE, MAPI_E_UNKNOWN_FLAGS,
          "Unknown flags were given.");
    Check(ulFlags != MAPI_SIMPLE_STORE_TEMPORARY, MAPI_E_NO_SUPPORT, "There are no Simple MAPI session stores.");
    TProfileStore store = state_->FindStore(EntryIdBytes(cbEntryID, lpEntryID));
    TProfileDatabase& db = *state_->Database();
    switch (ulFlags) {
      case MAPI_DEFAULT_STORE: db.SetDefaultStore(state_->Profile(), store.provider); break;
      case MAPI_SIMPLE_STORE_PERMANENT: db.SetStoreFlag(state_->Profile(), store.provider, STATUS_SIMPLE_STORE); break;
      case MAPI_PRIMARY_STORE: db.SetStoreFlag(state_->Profile(), store.provider, STATUS_PRIMARY_STORE); break;
      default: db.SetStoreFlag(state_->Profile(), store.provider, STATUS_SECONDARY_STORE); break;
    }
    state_->StoresTableRows();  // tells the open stores tables
    return S_OK;
  });
}

HRESULT TMapiSession::AdminServices(ULONG ulFlags, LPSERVICEADMIN* lppServiceAdmin) {
  return Guarded(error_, [&] {
    state_->CheckActive();
    Check(lppServiceAdmin != nullptr, MAPI_E_INVALID_PARAMETER, "No result pointer was given.");
    *lppServiceAdmin = nullptr;
    CheckFlags(ulFlags, 0);
    *lppServiceAdmin = MakeComObject<TMsgServiceAdmin>(state_->Database(), state_->Profile()).Detach();
    return S_OK;
  });
}

HRESULT TMapiSession::ShowForm(ULONG_PTR, LPMDB, LPMAPIFOLDER, LPCIID, ULONG, LPMESSAGE, ULONG, ULONG, ULONG, ULONG,
                               LPSTR) {
  return Guarded(error_, [&]() -> HRESULT {
    state_->CheckActive();
    throw TMapiError(MAPI_E_NO_SUPPORT, "Forms cannot be shown: there is no user interface.");
  });
}

HRESULT TMapiSession::PrepareForm(LPCIID, LPMESSAGE, ULONG*) {
  return Guarded(error_, [&]() -> HRESULT {
    state_->CheckActive();
    throw TMapiError(MAPI_E_NO_SUPPORT, "Forms cannot be shown: there is no user interface.");
  });
}

}  // namespace orba::store
