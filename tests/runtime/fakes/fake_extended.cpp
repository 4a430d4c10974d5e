// A test double of an Extended MAPI client library with steerable results and counters.
#include <cstdlib>
#include <stdexcept>

#include "fakecontrol.h"
#include "mapi/mapicode.h"
#include "mapi/mapix.h"

namespace {

#define FAKE_NO_SUPPORT \
  { return MAPI_E_NO_SUPPORT; }

// A session that counts its logoffs and releases.
class FakeSession final : public IMAPISession {
 public:
  STDMETHOD(QueryInterface)(REFIID, void**) override FAKE_NO_SUPPORT STDMETHOD_(ULONG, AddRef)() override {
    return ++refs_;
  }
  STDMETHOD_(ULONG, Release)() override {
    ULONG left = --refs_;
    if (left == 0) {
      fake::Count("Release");
      delete this;
    }
    return left;
  }
  STDMETHOD(GetLastError)
  (HRESULT, ULONG, LPMAPIERROR*) override FAKE_NO_SUPPORT
      STDMETHOD(GetMsgStoresTable)(ULONG, LPMAPITABLE*) override FAKE_NO_SUPPORT
      STDMETHOD(OpenMsgStore)(ULONG_PTR, ULONG, LPENTRYID, LPCIID, ULONG, LPMDB*) override FAKE_NO_SUPPORT
      STDMETHOD(OpenAddressBook)(ULONG_PTR, LPCIID, ULONG, LPADRBOOK*) override FAKE_NO_SUPPORT
      STDMETHOD(OpenProfileSection)(LPMAPIUID, LPCIID, ULONG, LPPROFSECT*) override FAKE_NO_SUPPORT
      STDMETHOD(GetStatusTable)(ULONG, LPMAPITABLE*) override FAKE_NO_SUPPORT
      STDMETHOD(OpenEntry)(ULONG, LPENTRYID, LPCIID, ULONG, ULONG*, LPUNKNOWN*) override FAKE_NO_SUPPORT
      STDMETHOD(CompareEntryIDs)(ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG, ULONG*) override FAKE_NO_SUPPORT
      STDMETHOD(Advise)(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG_PTR*) override FAKE_NO_SUPPORT
      STDMETHOD(Unadvise)(ULONG_PTR) override FAKE_NO_SUPPORT
      STDMETHOD(MessageOptions)(ULONG_PTR, ULONG, LPTSTR, LPMESSAGE) override FAKE_NO_SUPPORT
      STDMETHOD(QueryDefaultMessageOpt)(LPTSTR, ULONG, ULONG*, LPSPropValue*) override FAKE_NO_SUPPORT
      STDMETHOD(EnumAdrTypes)(ULONG, ULONG*, LPTSTR**) override FAKE_NO_SUPPORT
      STDMETHOD(QueryIdentity)(ULONG*, LPENTRYID*) override FAKE_NO_SUPPORT
      STDMETHOD(Logoff)(ULONG_PTR, ULONG flags, ULONG) override {
    fake::Count("Logoff");
    fake::Values()["logoff.flags"] = static_cast<long>(flags);
    return MAPI_E_CALL_FAILED;  // the loader does not check it
  }
  STDMETHOD(SetDefaultStore)
  (ULONG, ULONG, LPENTRYID) override FAKE_NO_SUPPORT
      STDMETHOD(AdminServices)(ULONG, LPSERVICEADMIN*) override FAKE_NO_SUPPORT
      STDMETHOD(ShowForm)(ULONG_PTR, LPMDB, LPMAPIFOLDER, LPCIID, ULONG, LPMESSAGE, ULONG, ULONG, ULONG, ULONG,
                          LPSTR) override FAKE_NO_SUPPORT
      STDMETHOD(PrepareForm)(LPCIID, LPMESSAGE, ULONG*) override FAKE_NO_SUPPORT

      private : ULONG refs_ = 1;
};

}  // namespace

FAKE_EXPORT HRESULT MAPIInitialize(LPVOID init) {
  fake::Count("MAPIInitialize");
  fake::Values()["init.flags"] = init ? static_cast<long>(static_cast<MAPIINIT_0*>(init)->ulFlags) : -1;
  if (fake::Get("init.throw")) throw std::runtime_error("the client library failed");
  return static_cast<HRESULT>(fake::Get("init.result"));
}

FAKE_EXPORT void MAPIUninitialize() { fake::Count("MAPIUninitialize"); }

FAKE_EXPORT HRESULT MAPILogonEx(ULONG_PTR, LPTSTR profile, LPTSTR password, ULONG flags, LPMAPISESSION* session) {
  fake::Count("MAPILogonEx");
  bool wide = (flags & MAPI_UNICODE) != 0;
  fake::Texts()["logon.profile"] = fake::Arg(profile, wide);
  fake::Texts()["logon.password"] = fake::Arg(password, wide);
  fake::Values()["logon.flags"] = static_cast<long>(flags);
  if (HRESULT result = static_cast<HRESULT>(fake::Get("logon.result"))) return result;
  *session = new FakeSession;
  return S_OK;
}

FAKE_EXPORT SCODE MAPIAllocateBuffer(ULONG size, LPVOID* buffer) {
  fake::Count("MAPIAllocateBuffer");
  if (SCODE result = static_cast<SCODE>(fake::Get("alloc.result"))) return result;
  *buffer = std::malloc(size);
  return S_OK;
}

FAKE_EXPORT SCODE MAPIAllocateMore(ULONG size, LPVOID, LPVOID* buffer) {
  fake::Count("MAPIAllocateMore");
  if (SCODE result = static_cast<SCODE>(fake::Get("more.result"))) return result;
  *buffer = std::malloc(size);
  return S_OK;
}

FAKE_EXPORT ULONG MAPIFreeBuffer(LPVOID buffer) {
  fake::Count("MAPIFreeBuffer");
  if (ULONG result = static_cast<ULONG>(fake::Get("free.result"))) return result;
  std::free(buffer);
  return S_OK;
}
