// A tiny object implementing IMessage answers QueryInterface for every interface of
// its chain and refuses the others.
#include <gtest/gtest.h>

#include "mapi/mapix.h"

namespace {

class TinyMessage : public orba::TVoComObject<orba::TVoRefCounted, IMessage> {
 public:
  HRESULT GetLastError(HRESULT, ULONG, LPMAPIERROR*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT SaveChanges(ULONG) override { return S_OK; }
  HRESULT GetProps(LPSPropTagArray, ULONG, ULONG*, LPSPropValue*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT GetPropList(ULONG, LPSPropTagArray*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT OpenProperty(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT SetProps(ULONG, LPSPropValue, LPSPropProblemArray*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT DeleteProps(LPSPropTagArray, LPSPropProblemArray*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT CopyTo(ULONG, LPCIID, LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                 LPSPropProblemArray*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT CopyProps(LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG, LPSPropProblemArray*) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT GetNamesFromIDs(LPSPropTagArray*, LPGUID, ULONG, ULONG*, LPMAPINAMEID**) override {
    return MAPI_E_NO_SUPPORT;
  }
  HRESULT GetIDsFromNames(ULONG, LPMAPINAMEID*, ULONG, LPSPropTagArray*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT GetAttachmentTable(ULONG, LPMAPITABLE*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT OpenAttach(ULONG, LPCIID, ULONG, LPATTACH*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT CreateAttach(LPCIID, ULONG, ULONG*, LPATTACH*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT DeleteAttach(ULONG, ULONG_PTR, LPMAPIPROGRESS, ULONG) override { return MAPI_E_NO_SUPPORT; }
  HRESULT GetRecipientTable(ULONG, LPMAPITABLE*) override { return MAPI_E_NO_SUPPORT; }
  HRESULT ModifyRecipients(ULONG, LPADRLIST) override { return MAPI_E_NO_SUPPORT; }
  HRESULT SubmitMessage(ULONG) override { return MAPI_E_NO_SUPPORT; }
  HRESULT SetReadFlag(ULONG) override { return MAPI_E_NO_SUPPORT; }
};

TEST(MapiQueryInterface, AnswersAlongTheMessageChainOnly) {
  auto message = orba::MakeComObject<TinyMessage>();
  IMessage* asMessage = message.get();
  for (const IID* iid : {&IID_IUnknown, &IID_IMAPIProp, &IID_IMessage}) {
    void* out = nullptr;
    ASSERT_EQ(asMessage->QueryInterface(*iid, &out), S_OK);
    EXPECT_EQ(out, static_cast<void*>(asMessage));
    static_cast<IUnknown*>(out)->Release();
  }
  EXPECT_EQ(message->RefCount(), 1u);
  auto other = orba::MakeComObject<TinyMessage>();
  for (const IID* iid : {&IID_IMAPIFolder, &IID_IAttachment, &IID_IMAPIContainer, &IID_IMAPITable}) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(other->QueryInterface(*iid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
  }
  EXPECT_EQ(other->RefCount(), 1u);
}

TEST(MapiQueryInterface, TraitsFollowThePublishedParents) {
  EXPECT_TRUE(orba::InterfaceChainHas<IMAPIFolder>(IID_IMAPIContainer));
  EXPECT_TRUE(orba::InterfaceChainHas<IMAPIFolder>(IID_IMAPIProp));
  EXPECT_TRUE(orba::InterfaceChainHas<IDistList>(IID_IMAPIContainer));
  EXPECT_FALSE(orba::InterfaceChainHas<IMsgStore>(IID_IMAPIContainer));
  EXPECT_TRUE(orba::InterfaceChainHas<IAddrBook>(IID_IMAPIProp));
  EXPECT_EQ(orba::IidOf<IAttach>(), IID_IAttachment);
}

}  // namespace
