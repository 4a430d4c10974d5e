// IMAPISession over a session state (sessionstate.h).
//
// Decisions where MAPI leaves room or would show a user interface:
// - Logoff ends the session for every client sharing it: session sinks advised for
//   fnevExtended get the shutdown event, store sinks are unadvised and the stores are
//   logged off; every later call answers MAPI_E_END_OF_SESSION (Release and
//   GetLastError still work).
// - OpenEntry and CompareEntryIDs route by the provider UID in bytes 4..19 of the entry
//   ID: MAPI's store wrapper UID means a store entry ID (OpenEntry opens the store);
//   otherwise the opened store whose entry IDs carry that UID answers, and an entry ID
//   no opened store owns is MAPI_E_UNKNOWN_ENTRYID. Entry IDs shorter than 20 bytes are
//   MAPI_E_INVALID_ENTRYID.
// - OpenProfileSection: see profsect.h (a missing section is MAPI_E_NOT_FOUND unless
//   MAPI_MODIFY creates it).
// - QueryIdentity returns PR_IDENTITY_ENTRYID of the primary identity's provider
//   section; when the primary identity has none, the first provider that has one and
//   MAPI_W_NO_SERVICE; MAPI_E_NOT_FOUND when no provider published an identity.
// - SetDefaultStore: MAPI_DEFAULT_STORE, MAPI_PRIMARY_STORE, MAPI_SECONDARY_STORE and
//   MAPI_SIMPLE_STORE_PERMANENT are stored in the profile (the stores table tells its
//   sinks); MAPI_SIMPLE_STORE_TEMPORARY (a Simple MAPI session store) is
//   MAPI_E_NO_SUPPORT.
// - No user interface and no forms: OpenStatus is not part of IMAPISession's offer here
//   (status objects cannot be opened), MessageOptions, ShowForm and PrepareForm answer
//   MAPI_E_NO_SUPPORT. QueryDefaultMessageOpt answers no options (no transport has
//   per-message options). OpenAddressBook answers MAPI_E_NO_SUPPORT until an address
//   book is registered (addressbook.h).
#pragma once

#include <memory>

#include "base/lasterror.h"
#include "mapi/mapix.h"
#include "orba/common/comobject.h"
#include "session/sessionstate.h"

namespace orba::store {

class TMapiSession final : public TVoComObject<TVoRefCounted, IMAPISession> {
 public:
  explicit TMapiSession(std::shared_ptr<TSessionState> state) : state_(std::move(state)) {}

  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) override;
  STDMETHOD(GetMsgStoresTable)(ULONG ulFlags, LPMAPITABLE* lppTable) override;
  STDMETHOD(OpenMsgStore)
  (ULONG_PTR ulUIParam, ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
   LPMDB* lppMDB) override;
  STDMETHOD(OpenAddressBook)(ULONG_PTR ulUIParam, LPCIID lpInterface, ULONG ulFlags, LPADRBOOK* lppAdrBook) override;
  STDMETHOD(OpenProfileSection)(LPMAPIUID lpUID, LPCIID lpInterface, ULONG ulFlags, LPPROFSECT* lppProfSect) override;
  STDMETHOD(GetStatusTable)(ULONG ulFlags, LPMAPITABLE* lppTable) override;
  STDMETHOD(OpenEntry)
  (ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags, ULONG* lpulObjType,
   LPUNKNOWN* lppUnk) override;
  STDMETHOD(CompareEntryIDs)
  (ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2, LPENTRYID lpEntryID2, ULONG ulFlags,
   ULONG* lpulResult) override;
  STDMETHOD(Advise)
  (ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink,
   ULONG_PTR* lpulConnection) override;
  STDMETHOD(Unadvise)(ULONG_PTR ulConnection) override;
  STDMETHOD(MessageOptions)(ULONG_PTR ulUIParam, ULONG ulFlags, LPTSTR lpszAdrType, LPMESSAGE lpMessage) override;
  STDMETHOD(QueryDefaultMessageOpt)
  (LPTSTR lpszAdrType, ULONG ulFlags, ULONG* lpcValues, LPSPropValue* lppOptions) override;
  STDMETHOD(EnumAdrTypes)(ULONG ulFlags, ULONG* lpcAdrTypes, LPTSTR** lpppszAdrTypes) override;
  STDMETHOD(QueryIdentity)(ULONG* lpcbEntryID, LPENTRYID* lppEntryID) override;
  STDMETHOD(Logoff)(ULONG_PTR ulUIParam, ULONG ulFlags, ULONG ulReserved) override;
  STDMETHOD(SetDefaultStore)(ULONG ulFlags, ULONG cbEntryID, LPENTRYID lpEntryID) override;
  STDMETHOD(AdminServices)(ULONG ulFlags, LPSERVICEADMIN* lppServiceAdmin) override;
  STDMETHOD(ShowForm)
  (ULONG_PTR ulUIParam, LPMDB lpMsgStore, LPMAPIFOLDER lpParentFolder, LPCIID lpInterface, ULONG ulMessageToken,
   LPMESSAGE lpMessageSent, ULONG ulFlags, ULONG ulMessageStatus, ULONG ulMessageFlags, ULONG ulAccess,
   LPSTR lpszMessageClass) override;
  STDMETHOD(PrepareForm)(LPCIID lpInterface, LPMESSAGE lpMessage, ULONG* lpulMessageToken) override;

 private:
  // The opened store that owns an entry ID (MAPI_E_UNKNOWN_ENTRYID when none does).
  ComPtr<IMsgStore> RouteEntryId(std::span<const BYTE> entryId);

  std::shared_ptr<TSessionState> state_;
  TLastError error_;
};

}  // namespace orba::store
