// Test doubles: a library object with MAPI properties over an in-memory IMAPIProp that
// serves property streams.
#pragma once

#include <map>

#include "orba/VoMAPIExceptions.h"
#include "orba/VoMAPIPropItem.h"
#include "orba/common/olestream.h"

namespace orba::test {

// Answers OpenProperty from a map of tag to stream bytes (MAPI_E_NOT_FOUND otherwise);
// every other call is unsupported.
class TTestMAPIProp : public TVoComObject<TVoRefCounted, IMAPIProp> {
 public:
  std::map<ULONG, TVoBytes> Streams;
  std::vector<ULONG> OpenedTags;

  STDMETHOD(GetLastError)(HRESULT, ULONG, LPMAPIERROR*) override { return kNoSupport; }
  STDMETHOD(SaveChanges)(ULONG) override { return kNoSupport; }
  STDMETHOD(GetProps)(LPSPropTagArray, ULONG, ULONG*, LPSPropValue*) override { return kNoSupport; }
  STDMETHOD(GetPropList)(ULONG, LPSPropTagArray*) override { return kNoSupport; }
  STDMETHOD(OpenProperty)(ULONG tag, LPCIID iid, ULONG, ULONG, LPUNKNOWN* out) override {
    OpenedTags.push_back(tag);
    if (!iid || *iid != IID_IStream) return MakeHResult(0x80004002);
    auto found = Streams.find(tag);
    if (found == Streams.end()) return MakeHResult(0x8004010F);
    *out = VoCreateIStream(found->second).Detach();
    return S_OK;
  }
  STDMETHOD(SetProps)(ULONG, LPSPropValue, LPSPropProblemArray*) override { return kNoSupport; }
  STDMETHOD(DeleteProps)(LPSPropTagArray, LPSPropProblemArray*) override { return kNoSupport; }
  STDMETHOD(CopyTo)(ULONG, LPCIID, LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                    LPSPropProblemArray*) override {
    return kNoSupport;
  }
  STDMETHOD(CopyProps)(LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                       LPSPropProblemArray*) override {
    return kNoSupport;
  }
  STDMETHOD(GetNamesFromIDs)(LPSPropTagArray*, LPGUID, ULONG, ULONG*, LPMAPINAMEID**) override {
    return kNoSupport;
  }
  STDMETHOD(GetIDsFromNames)(ULONG, LPMAPINAMEID*, ULONG, LPSPropTagArray*) override {
    return kNoSupport;
  }

 private:
  static constexpr HRESULT kNoSupport = MakeHResult(0x80040102);
};

// A library object with properties: named properties map to identifiers from 0x8100 in
// the order they are first asked for; Active false makes CheckActive raise the wrapper's
// "not, or no longer, active" text.
class TTestPropObject : public TVoComObject<TVoAutoIntfObject, IUnknown>,
                        public TVoMAPIValueOwner,
                        public TVoMAPIPropOwner {
 public:
  bool Active = true;
  bool Unicode = true;
  ComPtr<TTestMAPIProp> MAPIProp = MakeComObject<TTestMAPIProp>();
  std::vector<const TVoMAPIPropInfo*> NamedMapped;
  std::vector<void*> Allocated;

  ~TTestPropObject() override {
    for (void* p : Allocated) ::operator delete(p);
  }

  TVoAutoIntfObject* GetOwnerObject() override { return this; }
  void CheckActive(std::u16string_view MethodName) override {
    if (!Active)
      std::rethrow_exception(CreateVoMAPIException(
          E_ACCESSDENIED, u"%s.%s failed.\r\nThe object is not, or no longer, active!",
          {ClassName(), MethodName}));
  }
  TVoMAPIValueOwner* GetParentOwner() override { return nullptr; }
  TVoMAPIPropOwner* GetPropOwner() override { return this; }

  TVoMAPIPropTag GetPropTag(const TVoMAPIPropInfo& PropInfo, bool) override {
    if (!PropInfo.Named) return orba::GetPropTag(PropInfo);
    size_t i = 0;
    while (i < NamedMapped.size() && !SameProp(*NamedMapped[i], PropInfo, false)) ++i;
    if (i == NamedMapped.size()) NamedMapped.push_back(&PropInfo);
    return PROP_TAG(PropInfo.PropType, ULONG(0x8100 + i));
  }
  bool GetUnicode() override { return Unicode; }
  IMAPIProp* GetMAPIProp() override { return MAPIProp.get(); }
  ComPtr<IVoMAPIProperty> PropByName(TVoMAPIPropDef) override { return nullptr; }
  void* AllocateBuffer(ULONG Size) override {
    Allocated.push_back(::operator new(Size));
    return Allocated.back();
  }
};

}  // namespace orba::test
