// Shared set-up of the session tests: a temporary ORBA_HOME, MAPI initialised, a
// profile with services, and a small message store implementation registered for the
// personal store's PR_MDB_PROVIDER to prove the session's routing.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/maperror.h"
#include "mapi/mapiexports.h"
#include "profiles/services.h"
#include "props/propobject.h"
#include "props/tags.h"
#include "session/storeentryid.h"
#include "session/storeprovider.h"
#include "tempstorehome.h"

namespace orba::store::testing {

inline LPTSTR A(const char* text) { return const_cast<LPTSTR>(text); }
inline LPTSTR W(const char16_t* text) { return reinterpret_cast<LPTSTR>(const_cast<char16_t*>(text)); }

// An object of the test store: its entry ID as a property.
class TTestItem final : public TPropObject<IMessage> {
 public:
  explicit TTestItem(const Bytes& entryId) {
    SPropValue value{};
    value.ulPropTag = tags::kEntryId;
    value.Value.bin = {static_cast<ULONG>(entryId.size()), const_cast<BYTE*>(entryId.data())};
    Load(value);
  }
  STDMETHOD(GetAttachmentTable)(ULONG, LPMAPITABLE*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(OpenAttach)(ULONG, LPCIID, ULONG, LPATTACH*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(CreateAttach)(LPCIID, ULONG, ULONG*, LPATTACH*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(DeleteAttach)(ULONG, ULONG_PTR, LPMAPIPROGRESS, ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(GetRecipientTable)(ULONG, LPMAPITABLE*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(ModifyRecipients)(ULONG, LPADRLIST) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(SubmitMessage)(ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(SetReadFlag)(ULONG) override { return MAPI_E_NO_SUPPORT; }
};

// A store whose entry IDs are four flag bytes, its provider UID and a 32-bit number;
// numbers below 100 exist.
class TTestStore final : public TPropObject<IMsgStore> {
 public:
  explicit TTestStore(const MAPIUID& uid) : uid_(uid) {}
  Bytes EntryId(uint32_t number) const {
    Bytes bytes = ProviderEntryId(uid_);
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<BYTE>(number >> shift));
    return bytes;
  }
  int loggedOff = 0;
  int advised = 0;

  STDMETHOD(Advise)(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG_PTR* connection) override {
    *connection = static_cast<ULONG_PTR>(++advised);
    return S_OK;
  }
  STDMETHOD(Unadvise)(ULONG_PTR) override {
    --advised;
    return S_OK;
  }
  STDMETHOD(CompareEntryIDs)(ULONG cb1, LPENTRYID id1, ULONG cb2, LPENTRYID id2, ULONG, ULONG* result) override {
    *result = cb1 == cb2 && std::memcmp(id1->ab, id2->ab, cb1 - 4) == 0;
    return S_OK;
  }
  STDMETHOD(OpenEntry)(ULONG cb, LPENTRYID id, LPCIID, ULONG, ULONG* type, LPUNKNOWN* unk) override {
    if (cb != 24) return MAPI_E_INVALID_ENTRYID;
    uint32_t number;
    std::memcpy(&number, id->ab + 16, 4);
    if (number >= 100) return MAPI_E_NOT_FOUND;
    *type = MAPI_MESSAGE;
    *unk = static_cast<IMessage*>(MakeComObject<TTestItem>(EntryId(number)).Detach());
    return S_OK;
  }
  STDMETHOD(SetReceiveFolder)(LPTSTR, ULONG, ULONG, LPENTRYID) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(GetReceiveFolder)(LPTSTR, ULONG, ULONG*, LPENTRYID*, LPTSTR*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(GetReceiveFolderTable)(ULONG, LPMAPITABLE*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(StoreLogoff)(ULONG*) override {
    ++loggedOff;
    return S_OK;
  }
  STDMETHOD(AbortSubmit)(ULONG, LPENTRYID, ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(GetOutgoingQueue)(ULONG, LPMAPITABLE*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(SetLockState)(LPMESSAGE, ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(FinishedMsg)(ULONG, ULONG, LPENTRYID) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(NotifyNewMail)(LPNOTIFICATION) override { return MAPI_E_NO_SUPPORT; }

 private:
  MAPIUID uid_;
};

// Serves personal store files: a store's own entry ID and routing UID are its
// provider UID; logon needs PR_PST_PATH in the section.
class TTestStoreProvider final : public IStoreProvider {
 public:
  MAPIUID MdbProvider() const override { return kPstMdbProvider; }
  Bytes StoreEntryId(const TStoreContext& context) const override { return ProviderEntryId(context.provider); }
  TStoreLogon Logon(const TStoreContext& context, ULONG flags) override {
    bool configured = false;
    for (const TStoredProp& prop : context.db->ReadSection(context.profile, context.provider))
      configured |= PROP_ID(prop.tag) == PROP_ID(tags::kPstPathA);
    if (!configured) throw TMapiError((flags & MDB_NO_DIALOG) ? MAPI_E_LOGON_FAILED : MAPI_E_USER_CANCEL, "No file.");
    ++logons;
    auto store = MakeComObject<TTestStore>(context.provider);
    stores.push_back(store);
    return {ComPtr<IMsgStore>(store.get()), {context.provider}};
  }
  int logons = 0;
  std::vector<ComPtr<TTestStore>> stores;
};

// Collects notifications.
class TTestSink final : public TVoComObject<TVoRefCounted, IMAPIAdviseSink> {
 public:
  STDMETHOD_(ULONG, OnNotify)(ULONG count, LPNOTIFICATION notifications) override {
    for (ULONG i = 0; i < count; ++i) events.push_back(notifications[i].ulEventType);
    return 0;
  }
  std::vector<ULONG> events;
};

}  // namespace orba::store::testing
