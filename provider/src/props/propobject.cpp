// The property object engine: properties, saving and extended errors. Copying,
// named properties and OpenProperty live in the propobject_*.cpp files.
#include "props/propobject.h"
#include "base/lasterror.h"

#include <algorithm>
#include <cstring>

#include "base/maperror.h"
#include "orba/common/encoding.h"
#include "props/propproblems.h"
#include "props/propstrings.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "props/valuecopy.h"

namespace orba::store {

namespace {

constexpr ULONG SPAMFILTER_ONSAVE = 0x00000080;
constexpr ULONG NON_EMS_XP_SAVE = 0x00001000;

bool IsSecure(ULONG propId) { return propId >= PROP_ID_SECURE_MIN && propId <= PROP_ID_SECURE_MAX; }

// Same type, or the same type in the other string width.
bool SameKind(ULONG a, ULONG b) { return WithStringWidth(a, true) == WithStringWidth(b, true); }

}  // namespace

TPropObjectBase::TPropObjectBase(TPropObjectOptions options)
    : access_(options.access), transacted_(options.transacted), names_(std::move(options.names)) {}

void TPropObjectBase::Load(const SPropValue& value) {
  std::lock_guard lock(mutex_);
  StoreValue(value);
  pending_.changed.erase(PROP_ID(value.ulPropTag));
}

void TPropObjectBase::LoadStored(const TStoredProps& props) {
  auto values = DecodeStored(props);
  for (size_t i = 0; i < props.size(); ++i) Load(values.get()[i]);
}

TStoredProps TPropObjectBase::StoredValues() const {
  std::lock_guard lock(mutex_);
  TStoredProps props;
  for (ULONG tag : bag_.Tags()) props.push_back(Stored(*bag_.Find(PROP_ID(tag))));
  return props;
}

TStoredProps TPropObjectBase::StoredChanges(const TPropChanges& changes) const {
  std::lock_guard lock(mutex_);
  TStoredProps props;
  for (ULONG id : changes.changed)
    if (const SPropValue* value = bag_.Find(id)) props.push_back(Stored(*value));
  return props;
}

void TPropObjectBase::AddComputed(ULONG tag, TComputedGetter getter) {
  std::lock_guard lock(mutex_);
  computed_.emplace_back(tag, std::move(getter));
}

void TPropObjectBase::AddComputed(ULONG tag, TComputedGetter getter, TComputedSetter setter) {
  std::lock_guard lock(mutex_);
  computed_.emplace_back(tag, std::move(getter));
  computedSetters_.emplace_back(tag, std::move(setter));
}

void TPropObjectBase::SetExpectedType(ULONG propId, ULONG type) {
  std::lock_guard lock(mutex_);
  expectedTypes_.emplace_back(propId, type);
}

void TPropObjectBase::CheckWritable(const char* method) const {
  if (access_ != TAccessMode::ReadWrite)
    throw TMapiError(MAPI_E_NO_ACCESS, std::string(method) + ": the object is not open for writing");
}

void TPropObjectBase::Changed(ULONG propId, bool deleted) {
  (deleted ? pending_.deleted : pending_.changed).insert(propId);
  (deleted ? pending_.changed : pending_.deleted).erase(propId);
}

const TPropObjectBase::TComputedGetter* TPropObjectBase::FindComputed(ULONG propId) const {
  for (const auto& [tag, getter] : computed_)
    if (PROP_ID(tag) == propId) return &getter;
  return nullptr;
}

bool TPropObjectBase::IsComputed(ULONG propId) const { return FindComputed(propId) != nullptr; }

void TPropObjectBase::StoreValue(const SPropValue& value) {
  ULONG type = PROP_TYPE(value.ulPropTag);
  if (type == PT_STRING8 || type == PT_MV_STRING8) {
    // Strings are kept wide, so that either width can be answered.
    auto wide = TMapiBuffer<SPropValue>::Allocate();
    CopyWithStringWidth(value, WithStringWidth(type, true), *wide, wide.get(), CodePage());
    bag_.Set(*wide);
  } else {
    bag_.Set(value);
  }
  Changed(PROP_ID(value.ulPropTag), false);
}

void TPropObjectBase::Persist(const TPropChanges&, ULONG) {}

void TPropObjectBase::CopySubObjects(IMAPIProp*, const std::vector<ULONG>&, ULONG, LPCIID, ULONG) {}

HRESULT TPropObjectBase::OpenInterface(ULONG, REFIID, ULONG, ULONG, LPUNKNOWN*) {
  return MAPI_E_INTERFACE_NOT_SUPPORTED;
}

// --- GetLastError -------------------------------------------------------------------

HRESULT TPropObjectBase::DoGetLastError(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) {
  return lastError_.Get(hResult, ulFlags, lppMAPIError);
}

// --- GetProps and GetPropList -----------------------------------------------------------

std::vector<ULONG> TPropObjectBase::AllTags(bool unicode) const {
  std::vector<ULONG> tags;
  for (ULONG tag : bag_.Tags())
    if (!IsComputed(PROP_ID(tag))) tags.push_back(CHANGE_PROP_TYPE(tag, WithStringWidth(PROP_TYPE(tag), unicode)));
  for (const auto& [tag, getter] : computed_)
    tags.push_back(CHANGE_PROP_TYPE(tag, WithStringWidth(PROP_TYPE(tag), unicode)));
  return tags;
}

void TPropObjectBase::GetOneProp(ULONG tag, bool unicode, bool listed, SPropValue& out, void* parent) const {
  ULONG propId = PROP_ID(tag);
  ULONG type = PROP_TYPE(tag);
  auto error = [&](SCODE code) {
    out = {};
    out.ulPropTag = PROP_TAG(PT_ERROR, propId);
    out.Value.err = code;
  };
  if (type != PT_UNSPECIFIED && (!IsKnownPropType(type) || type == PT_ERROR || type == PT_NULL))
    return error(MAPI_E_INVALID_TYPE);

  SPropValue computed = {};
  const SPropValue* source = nullptr;
  if (const TComputedGetter* getter = FindComputed(propId)) {
    (*getter)(computed, parent);
    source = &computed;
  } else {
    source = bag_.Find(propId);
  }
  if (!source) return error(MAPI_E_NOT_FOUND);
  ULONG storedType = PROP_TYPE(source->ulPropTag);
  ULONG target = type == PT_UNSPECIFIED ? WithStringWidth(storedType, unicode) : type;
  if (!SameKind(target, storedType)) return error(MAPI_E_NOT_FOUND);
  if (listed && source != &computed && PropValueDataSize(*source) > largeValueLimit_)
    return error(MAPI_E_NOT_ENOUGH_MEMORY);
  try {
    CopyWithStringWidth(*source, target, out, parent, CodePage());
  } catch (const TMapiError& e) {
    error(e.Code());
  }
}

HRESULT TPropObjectBase::DoGetProps(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG* lpcValues,
                                    LPSPropValue* lppPropArray) {
  if (ulFlags & ~MAPI_UNICODE) return Fail(MAPI_E_UNKNOWN_FLAGS, "GetProps: unknown flags");
  if (!lpcValues || !lppPropArray || (lpPropTagArray && lpPropTagArray->cValues == 0))
    return Fail(MAPI_E_INVALID_PARAMETER, "GetProps: invalid parameter");
  *lpcValues = 0;
  *lppPropArray = nullptr;
  return Guarded(lastError_, "GetProps", [&]() -> HRESULT {
    std::lock_guard lock(mutex_);
    bool unicode = (ulFlags & MAPI_UNICODE) != 0;
    std::vector<ULONG> tags;
    if (lpPropTagArray) {
      tags.assign(lpPropTagArray->aulPropTag, lpPropTagArray->aulPropTag + lpPropTagArray->cValues);
    } else {
      for (ULONG tag : AllTags(unicode))
        if (!IsSecure(PROP_ID(tag))) tags.push_back(tag);
      if (tags.empty()) return S_OK;
    }
    auto values = TMapiBuffer<SPropValue>::Allocate(sizeof(SPropValue) * tags.size());
    bool errors = false;
    for (size_t i = 0; i < tags.size(); ++i) {
      GetOneProp(tags[i], unicode, true, values.get()[i], values.get());
      errors |= PROP_TYPE(values.get()[i].ulPropTag) == PT_ERROR;
    }
    *lpcValues = static_cast<ULONG>(tags.size());
    *lppPropArray = values.Release();
    return errors ? MAPI_W_ERRORS_RETURNED : S_OK;
  });
}

HRESULT TPropObjectBase::DoGetPropList(ULONG ulFlags, LPSPropTagArray* lppPropTagArray) {
  if (ulFlags & ~MAPI_UNICODE) return Fail(MAPI_E_UNKNOWN_FLAGS, "GetPropList: unknown flags");
  if (!lppPropTagArray) return Fail(MAPI_E_INVALID_PARAMETER, "GetPropList: invalid parameter");
  *lppPropTagArray = nullptr;
  return Guarded(lastError_, "GetPropList", [&] {
    std::lock_guard lock(mutex_);
    std::vector<ULONG> tags = AllTags((ulFlags & MAPI_UNICODE) != 0);
    auto list = TMapiBuffer<SPropTagArray>::Allocate(CbNewSPropTagArray(tags.size()));
    list->cValues = static_cast<ULONG>(tags.size());
    std::copy(tags.begin(), tags.end(), list->aulPropTag);
    *lppPropTagArray = list.Release();
    return S_OK;
  });
}

// --- SetProps and DeleteProps ----------------------------------------------------------------

HRESULT TPropObjectBase::CheckSetValue(const SPropValue& value) const {
  ULONG propId = PROP_ID(value.ulPropTag);
  ULONG type = PROP_TYPE(value.ulPropTag);
  if (propId == PROP_ID_NULL || propId == PROP_ID_INVALID) return MAPI_E_INVALID_PARAMETER;
  if (!IsKnownPropType(type) || type == PT_UNSPECIFIED || type == PT_NULL) return MAPI_E_INVALID_TYPE;
  if (IsComputed(propId)) return MAPI_E_COMPUTED;
  // Without a name map no identifier of the named range can ever have a meaning.
  if (propId >= kFirstNamedId && !names_) return MAPI_E_UNEXPECTED_ID;
  for (const auto& [id, expected] : expectedTypes_)
    if (id == propId && !SameKind(expected, type)) return MAPI_E_UNEXPECTED_TYPE;
  return S_OK;
}

HRESULT TPropObjectBase::SetComputed(const SPropValue& value) {
  for (const auto& [tag, setter] : computedSetters_) {
    if (PROP_ID(tag) != PROP_ID(value.ulPropTag)) continue;
    if (PROP_TYPE(tag) != PROP_TYPE(value.ulPropTag)) return MAPI_E_UNEXPECTED_TYPE;
    try {
      return setter(value);
    } catch (const TMapiError& e) {
      return e.Code();
    }
  }
  return MAPI_E_COMPUTED;
}

HRESULT TPropObjectBase::DoSetProps(ULONG cValues, LPSPropValue lpPropArray, LPSPropProblemArray* lppProblems) {
  if (!lpPropArray || cValues == 0) return Fail(MAPI_E_INVALID_PARAMETER, "SetProps: invalid parameter");
  if (lppProblems) *lppProblems = nullptr;
  return Guarded(lastError_, "SetProps", [&]() -> HRESULT {
    std::lock_guard lock(mutex_);
    CheckWritable("SetProps");
    for (ULONG i = 0; i < cValues; ++i) {
      ULONG type = PROP_TYPE(lpPropArray[i].ulPropTag);
      // Objects are opened with OpenProperty, and a multi-valued property has values.
      if (type == PT_OBJECT || ((type & MV_FLAG) && IsKnownPropType(type) && lpPropArray[i].Value.MVl.cValues == 0))
        return Fail(MAPI_E_INVALID_PARAMETER, "SetProps: a PT_OBJECT or empty multi-valued property");
    }
    TProblemList problems;
    bool changed = false;
    for (ULONG i = 0; i < cValues; ++i) {
      const SPropValue& value = lpPropArray[i];
      if (value.ulPropTag == tags::kNull || PROP_TYPE(value.ulPropTag) == PT_ERROR) continue;
      HRESULT code = CheckSetValue(value);
      if (code == S_OK) code = PropertyWriteAccess(PROP_ID(value.ulPropTag));
      if (code == MAPI_E_COMPUTED) {
        code = SetComputed(value);
      } else if (code == S_OK) {
        try {
          StoreValue(value);
          changed = true;
        } catch (const TMapiError& e) {
          code = e.Code() == MAPI_E_INVALID_PARAMETER ? MAPI_E_BAD_VALUE : e.Code();
        }
      }
      if (code != S_OK) problems.Add(i, value.ulPropTag, code);
    }
    if (changed && !transacted_) {
      Persist(pending_, 0);
      pending_ = {};
    }
    problems.HandTo(lppProblems);
    return S_OK;
  });
}

HRESULT TPropObjectBase::DoDeleteProps(LPSPropTagArray lpPropTagArray, LPSPropProblemArray* lppProblems) {
  if (!lpPropTagArray) return Fail(MAPI_E_INVALID_PARAMETER, "DeleteProps: invalid parameter");
  if (lppProblems) *lppProblems = nullptr;
  return Guarded(lastError_, "DeleteProps", [&] {
    std::lock_guard lock(mutex_);
    CheckWritable("DeleteProps");
    TProblemList problems;
    bool changed = false;
    for (ULONG i = 0; i < lpPropTagArray->cValues; ++i) {
      ULONG tag = lpPropTagArray->aulPropTag[i];
      HRESULT access = PropertyWriteAccess(PROP_ID(tag));
      if (IsComputed(PROP_ID(tag))) {
        problems.Add(i, tag, MAPI_E_COMPUTED);
      } else if (access != S_OK) {
        problems.Add(i, tag, access);
      } else if (bag_.Erase(PROP_ID(tag))) {
        Changed(PROP_ID(tag), true);
        changed = true;
      } else {
        problems.Add(i, tag, MAPI_E_NOT_FOUND);
      }
    }
    if (changed && !transacted_) {
      Persist(pending_, 0);
      pending_ = {};
    }
    problems.HandTo(lppProblems);
    return S_OK;
  });
}

// --- SaveChanges ---------------------------------------------------------------------------------

HRESULT TPropObjectBase::DoSaveChanges(ULONG ulFlags) {
  constexpr ULONG known = KEEP_OPEN_READONLY | KEEP_OPEN_READWRITE | FORCE_SAVE | MAPI_DEFERRED_ERRORS |
                          SPAMFILTER_ONSAVE | NON_EMS_XP_SAVE;
  if (ulFlags & ~known) return Fail(MAPI_E_UNKNOWN_FLAGS, "SaveChanges: unknown flags");
  if ((ulFlags & KEEP_OPEN_READONLY) && (ulFlags & KEEP_OPEN_READWRITE))
    return Fail(MAPI_E_INVALID_PARAMETER, "SaveChanges: KEEP_OPEN_READONLY and KEEP_OPEN_READWRITE together");
  return Guarded(lastError_, "SaveChanges", [&] {
    std::lock_guard lock(mutex_);
    CheckWritable("SaveChanges");
    // A non-transacted object stored every change already.
    if (!transacted_) return S_OK;
    Persist(pending_, ulFlags);
    pending_ = {};
    // Without KEEP_OPEN_READWRITE the object stays readable but takes no more changes.
    if (!(ulFlags & KEEP_OPEN_READWRITE)) access_ = TAccessMode::ReadOnly;
    return S_OK;
  });
}

// --- Streams' values ---------------------------------------------------------------------------

std::vector<BYTE> TPropObjectBase::ReadStreamValue(ULONG tag) const {
  std::lock_guard lock(mutex_);
  SPropValue computed = {};
  TMapiBuffer<BYTE> scratch;
  const SPropValue* value = nullptr;
  if (const TComputedGetter* getter = FindComputed(PROP_ID(tag))) {
    scratch = TMapiBuffer<BYTE>::Allocate(0);
    (*getter)(computed, scratch.get());
    value = &computed;
  } else {
    value = bag_.Find(PROP_ID(tag));
  }
  if (!value) throw TMapiError(MAPI_E_NOT_FOUND, "OpenProperty: the property does not exist");
  ULONG type = PROP_TYPE(value->ulPropTag);
  switch (PROP_TYPE(tag)) {
    case PT_BINARY:
      if (type != PT_BINARY) break;
      return {value->Value.bin.lpb, value->Value.bin.lpb + value->Value.bin.cb};
    case PT_UNICODE:
    case PT_STRING8: {
      if (type != PT_UNICODE && type != PT_STRING8) break;
      auto converted = TMapiBuffer<SPropValue>::Allocate();
      CopyWithStringWidth(*value, PROP_TYPE(tag), *converted, converted.get(), CodePage());
      if (PROP_TYPE(tag) == PT_STRING8) {
        const char* text = converted->Value.lpszA;
        return {reinterpret_cast<const BYTE*>(text), reinterpret_cast<const BYTE*>(text + std::strlen(text))};
      }
      const WCHAR* text = converted->Value.lpszW;
      size_t length = std::char_traits<char16_t>::length(text);
      std::vector<BYTE> bytes;
      bytes.reserve(length * 2);
      for (size_t i = 0; i < length; ++i) {
        bytes.push_back(static_cast<BYTE>(text[i]));
        bytes.push_back(static_cast<BYTE>(text[i] >> 8));
      }
      return bytes;
    }
  }
  throw TMapiError(MAPI_E_NOT_FOUND, "OpenProperty: the property has another type");
}

void TPropObjectBase::StoreStreamValue(ULONG tag, const std::vector<BYTE>& bytes) {
  std::lock_guard lock(mutex_);
  CheckWritable("IStream::Commit");
  SPropValue value = {};
  value.ulPropTag = tag;
  // Text streams may carry a terminator; the property value has its own.
  size_t used = bytes.size();
  std::u16string wide;
  std::string ansi;
  switch (PROP_TYPE(tag)) {
    case PT_UNICODE:
      if (used % 2) throw TMapiError(MAPI_E_BAD_VALUE, "IStream::Commit: a UTF-16 text of an odd length");
      for (size_t i = 0; i < used; i += 2) wide.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
      while (!wide.empty() && wide.back() == 0) wide.pop_back();
      value.Value.lpszW = wide.data();
      break;
    case PT_STRING8:
      ansi.assign(bytes.begin(), bytes.end());
      while (!ansi.empty() && ansi.back() == 0) ansi.pop_back();
      value.Value.lpszA = ansi.data();
      break;
    default: value.Value.bin = {static_cast<ULONG>(used), const_cast<BYTE*>(bytes.data())}; break;
  }
  StoreValue(value);
  if (!transacted_) {
    Persist(pending_, 0);
    pending_ = {};
  }
}

}  // namespace orba::store
