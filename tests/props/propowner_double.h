// Test doubles: an in-memory IMAPIProp (property streams, and property values kept in a
// map, answered in MAPI memory of the loaded client library), steerable to answer with
// given result codes, and a library object with MAPI properties over it.
#pragma once

#include <cstring>
#include <deque>
#include <map>

#include "orba/VoMAPIEntryPoints.h"

#include "orba/VoMAPIExceptions.h"
#include "orba/VoMAPIPropItem.h"
#include "orba/common/olestream.h"

namespace orba::test {

// Streams answer OpenProperty (MAPI_E_NOT_FOUND otherwise). Values (PT_LONG, PT_BINARY,
// PT_UNICODE, PT_STRING8) answer GetProps, SetProps, DeleteProps and GetPropList; a
// missing property comes back as PT_ERROR with MAPI_E_NOT_FOUND. Named properties get
// identifiers from 0x8100 on in the order GetIDsFromNames first sees them. The *Result
// members steer the answers; LastError is what GetLastError reports.
class TTestMAPIProp : public TVoComObject<TVoRefCounted, IMAPIProp> {
 public:
  struct TValue {
    ULONG Tag = 0;
    LONG Long = 0;
    std::vector<BYTE> Bytes;  // PT_BINARY, or the text's bytes with its terminator
  };
  std::map<ULONG, TVoBytes> Streams;
  std::vector<ULONG> OpenedTags;
  std::map<uint16_t, TValue> Values;               // by property identifier
  std::vector<std::pair<GUID, WideString>> Names;  // named properties by position
  HRESULT MultiGetPropsResult = S_OK;              // GetProps with more than one tag
  HRESULT SaveChangesResult = S_OK;
  std::deque<HRESULT> OpenPropertyResults;  // consumed one per call
  std::deque<HRESULT> LastErrorResults;     // consumed one per call, then S_OK
  HRESULT NamesResult = S_OK;               // GetIDsFromNames / GetNamesFromIDs
  WideString ErrorText, ErrorComponent;
  std::vector<ULONG> LastErrorFlags, OpenFlags, SaveFlags;
  int GetPropsCalls = 0;

  void SetLong(ULONG tag, LONG value) { Values[PROP_ID(tag)] = TValue{tag, value, {}}; }
  void SetBinary(ULONG tag, std::vector<BYTE> bytes) { Values[PROP_ID(tag)] = TValue{tag, 0, std::move(bytes)}; }
  void SetText(ULONG tag, const WideString& text) {
    TValue value{tag, 0, {}};
    const BYTE* p = reinterpret_cast<const BYTE*>(text.c_str());
    value.Bytes.assign(p, p + (text.size() + 1) * sizeof(char16_t));
    Values[PROP_ID(tag)] = value;
  }

  STDMETHOD(GetLastError)(HRESULT, ULONG flags, LPMAPIERROR* error) override {
    LastErrorFlags.push_back(flags);
    if (!LastErrorResults.empty()) {
      HRESULT result = LastErrorResults.front();
      LastErrorResults.pop_front();
      if (result != S_OK) return result;
    }
    const bool wide = (flags & MAPI_UNICODE) != 0;
    const size_t unit = wide ? 2 : 1;
    const size_t size = sizeof(MAPIERROR) + (ErrorText.size() + ErrorComponent.size() + 2) * unit;
    orba::MAPIAllocateBuffer(ULONG(size), reinterpret_cast<void**>(error));
    BYTE* text = reinterpret_cast<BYTE*>(*error + 1);
    (*error)->lpszError = reinterpret_cast<LPTSTR>(text);
    (*error)->lpszComponent = reinterpret_cast<LPTSTR>(text + (ErrorText.size() + 1) * unit);
    Put(ErrorText, text, wide);
    Put(ErrorComponent, text + (ErrorText.size() + 1) * unit, wide);
    (*error)->ulLowLevelError = 42;
    (*error)->ulContext = 7;
    return S_OK;
  }
  STDMETHOD(SaveChanges)(ULONG flags) override {
    SaveFlags.push_back(flags);
    return SaveChangesResult;
  }
  STDMETHOD(GetProps)(LPSPropTagArray tags, ULONG, ULONG* count, LPSPropValue* values) override {
    ++GetPropsCalls;
    std::vector<ULONG> wanted;
    if (tags) {
      wanted.assign(tags->aulPropTag, tags->aulPropTag + tags->cValues);
      if (wanted.size() > 1 && MultiGetPropsResult != S_OK) return MultiGetPropsResult;
    } else {
      for (const auto& [id, value] : Values) wanted.push_back(value.Tag);
    }
    size_t size = wanted.size() * sizeof(SPropValue);
    for (ULONG tag : wanted)
      if (const TValue* v = Find(tag)) size += v->Bytes.size();
    orba::MAPIAllocateBuffer(ULONG(size), reinterpret_cast<void**>(values));
    BYTE* data = reinterpret_cast<BYTE*>(*values + wanted.size());
    bool errors = false;
    for (size_t i = 0; i < wanted.size(); ++i) {
      SPropValue& out = (*values)[i];
      const TValue* v = Find(wanted[i]);
      if (!v) {
        out.ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(wanted[i]));
        out.Value.err = MakeHResult(0x8004010F);
        errors = true;
        continue;
      }
      out.ulPropTag = v->Tag;
      if (PROP_TYPE(v->Tag) == PT_LONG) {
        out.Value.l = v->Long;
      } else {
        std::memcpy(data, v->Bytes.data(), v->Bytes.size());
        if (PROP_TYPE(v->Tag) == PT_BINARY) {
          out.Value.bin.cb = ULONG(v->Bytes.size());
          out.Value.bin.lpb = data;
        } else {
          out.Value.lpszW = reinterpret_cast<LPWSTR>(data);
        }
        data += v->Bytes.size();
      }
    }
    *count = ULONG(wanted.size());
    return errors ? MakeHResult(0x00040380) : S_OK;
  }
  STDMETHOD(GetPropList)(ULONG, LPSPropTagArray* tags) override {
    orba::MAPIAllocateBuffer(ULONG(CbNewSPropTagArray(Values.size())), reinterpret_cast<void**>(tags));
    (*tags)->cValues = 0;
    for (const auto& [id, value] : Values) (*tags)->aulPropTag[(*tags)->cValues++] = value.Tag;
    return S_OK;
  }
  STDMETHOD(OpenProperty)(ULONG tag, LPCIID iid, ULONG, ULONG flags, LPUNKNOWN* out) override {
    OpenedTags.push_back(tag);
    OpenFlags.push_back(flags);
    if (!OpenPropertyResults.empty()) {
      HRESULT result = OpenPropertyResults.front();
      OpenPropertyResults.pop_front();
      if (result != S_OK) return result;
    }
    if (!iid || *iid != IID_IStream) return MakeHResult(0x80004002);
    auto found = Streams.find(tag);
    if (found == Streams.end()) return MakeHResult(0x8004010F);
    *out = VoCreateIStream(found->second).Detach();
    return S_OK;
  }
  STDMETHOD(SetProps)(ULONG count, LPSPropValue values, LPSPropProblemArray* problems) override {
    for (ULONG i = 0; i < count; ++i) {
      const SPropValue& v = values[i];
      switch (PROP_TYPE(v.ulPropTag)) {
        case PT_LONG: SetLong(v.ulPropTag, v.Value.l); break;
        case PT_BINARY:
          SetBinary(v.ulPropTag, std::vector<BYTE>(v.Value.bin.lpb, v.Value.bin.lpb + v.Value.bin.cb));
          break;
        case PT_UNICODE: SetText(v.ulPropTag, reinterpret_cast<const char16_t*>(v.Value.lpszW)); break;
        default: return MakeHResult(0x80040302);
      }
    }
    if (problems) *problems = nullptr;
    return S_OK;
  }
  STDMETHOD(DeleteProps)(LPSPropTagArray tags, LPSPropProblemArray* problems) override {
    for (ULONG i = 0; i < tags->cValues; ++i) Values.erase(PROP_ID(tags->aulPropTag[i]));
    if (problems) *problems = nullptr;
    return S_OK;
  }
  STDMETHOD(CopyTo)
  (ULONG, LPCIID, LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG, LPSPropProblemArray*) override {
    return kNoSupport;
  }
  STDMETHOD(CopyProps)
  (LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG, LPSPropProblemArray*) override {
    return kNoSupport;
  }
  STDMETHOD(GetNamesFromIDs)(LPSPropTagArray* tags, LPGUID, ULONG, ULONG* count, LPMAPINAMEID** names) override {
    if (NamesResult != S_OK) return NamesResult;
    const ULONG n = (*tags)->cValues;
    orba::MAPIAllocateBuffer(ULONG(n * (sizeof(LPMAPINAMEID) + sizeof(MAPINAMEID))), reinterpret_cast<void**>(names));
    MAPINAMEID* entries = reinterpret_cast<MAPINAMEID*>(*names + n);
    for (ULONG i = 0; i < n; ++i) {
      const size_t index = PROP_ID((*tags)->aulPropTag[i]) - 0x8100;
      (*names)[i] = nullptr;
      if (index >= Names.size()) continue;
      entries[i].lpguid = &Names[index].first;
      entries[i].ulKind = MNID_STRING;
      entries[i].Kind.lpwstrName = Names[index].second.data();
      (*names)[i] = &entries[i];
    }
    *count = n;
    return S_OK;
  }
  STDMETHOD(GetIDsFromNames)(ULONG count, LPMAPINAMEID* names, ULONG flags, LPSPropTagArray* tags) override {
    if (NamesResult != S_OK) return NamesResult;
    orba::MAPIAllocateBuffer(ULONG(CbNewSPropTagArray(count)), reinterpret_cast<void**>(tags));
    (*tags)->cValues = count;
    for (ULONG i = 0; i < count; ++i) {
      WideString key = u"#";  // a number as "#" and one character (no operator+: a GCC 12 -O3 false warning)
      if (names[i]->ulKind == MNID_STRING)
        key = names[i]->Kind.lpwstrName;
      else
        key += char16_t(names[i]->Kind.lID);
      size_t index = 0;
      while (index < Names.size() && !(Names[index].first == *names[i]->lpguid && Names[index].second == key)) ++index;
      if (index == Names.size()) {
        if (!(flags & MAPI_CREATE)) return MakeHResult(0x00040380);
        Names.emplace_back(*names[i]->lpguid, key);
      }
      (*tags)->aulPropTag[i] = PROP_TAG(PT_UNSPECIFIED, ULONG(0x8100 + index));
    }
    ++IDsFromNamesCalls;
    return S_OK;
  }
  int IDsFromNamesCalls = 0;

 private:
  static constexpr HRESULT kNoSupport = MakeHResult(0x80040102);
  const TValue* Find(ULONG tag) const {
    auto found = Values.find(PROP_ID(tag));
    return found != Values.end() && PROP_TYPE(found->second.Tag) == PROP_TYPE(tag) ? &found->second : nullptr;
  }
  static void Put(const WideString& text, BYTE* out, bool wide) {
    if (wide) {
      std::memcpy(out, text.c_str(), (text.size() + 1) * 2);
    } else {
      for (char16_t c : text) *out++ = BYTE(c);
      *out = 0;
    }
  }
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
          E_ACCESSDENIED, u"%s.%s failed.\r\nThe object is not, or no longer, active!", {ClassName(), MethodName}));
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
