// CopyTo and CopyProps: the values go to the destination through its IMAPIProp
// interface (SetProps), so any provider object can receive them. No progress is
// shown: there is no user interface, so MAPI_DIALOG and the progress object are
// accepted and not used.
#include <algorithm>

#include "base/lasterror.h"
#include "base/maperror.h"
#include "props/propobject.h"
#include "props/propproblems.h"

namespace orba::store {

namespace {

constexpr ULONG kCopyFlags = MAPI_MOVE | MAPI_NOREPLACE | MAPI_DIALOG | MAPI_DECLINE_OK;

bool Excludes(ULONG count, LPCIID iids, REFIID iid) {
  for (ULONG i = 0; i < count; ++i)
    if (iids[i] == iid) return true;
  return false;
}

}  // namespace

bool TPropObjectBase::IsSubObject(ULONG tag) const {
  // A sub-object's identifier may also name a value (PR_ATTACH_DATA_OBJ and _BIN).
  for (ULONG subObject : SubObjectTags())
    if (subObject == tag) return true;
  return false;
}

std::vector<ULONG> TPropObjectBase::DestinationTags(IMAPIProp* destination, const std::vector<ULONG>& tags) {
  std::vector<ULONG> result = tags;
  auto* same = dynamic_cast<TPropObjectBase*>(destination);
  if (!names_ || (same && same->names_ == names_)) return result;
  std::vector<size_t> named;
  std::vector<TPropName> names;
  for (size_t i = 0; i < tags.size(); ++i) {
    if (PROP_ID(tags[i]) < kFirstNamedId) continue;
    std::optional<TPropName> name = names_->GetName(PROP_ID(tags[i]));
    result[i] = 0;
    if (!name) continue;
    named.push_back(i);
    names.push_back(std::move(*name));
  }
  if (named.empty()) return result;
  std::vector<MAPINAMEID> ids(names.size());
  std::vector<LPMAPINAMEID> pointers(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    ids[i].lpguid = &names[i].guid;
    ids[i].ulKind = names[i].kind;
    if (names[i].kind == MNID_ID)
      ids[i].Kind.lID = names[i].id;
    else
      ids[i].Kind.lpwstrName = reinterpret_cast<LPWSTR>(names[i].name.data());
    pointers[i] = &ids[i];
  }
  TMapiBuffer<SPropTagArray> mapped;
  HRESULT hr =
      destination->GetIDsFromNames(static_cast<ULONG>(pointers.size()), pointers.data(), MAPI_CREATE, mapped.Out());
  if (FAILED(hr) || !mapped || mapped->cValues != named.size()) return result;
  for (size_t i = 0; i < named.size(); ++i) {
    ULONG tag = mapped->aulPropTag[i];
    if (PROP_TYPE(tag) != PT_ERROR) result[named[i]] = CHANGE_PROP_TYPE(tag, PROP_TYPE(tags[named[i]]));
  }
  return result;
}

HRESULT TPropObjectBase::CopyPropsTo(const std::vector<ULONG>& tags, bool reportMissing, LPCIID lpInterface,
                                     LPVOID lpDestObj, ULONG ulFlags, LPSPropProblemArray* lppProblems,
                                     const std::function<void(IMAPIProp*)>& more) {
  // lpDestObj is a pointer to the interface lpInterface names, so an IUnknown.
  auto* unknown = static_cast<IUnknown*>(lpDestObj);
  ComPtr<IUnknown> asked;
  ComPtr<IMAPIProp> dest;
  if (FAILED(unknown->QueryInterface(*lpInterface, asked.OutVoid())) ||
      FAILED(unknown->QueryInterface(IID_IMAPIProp, dest.OutVoid())))
    return Fail(MAPI_E_INTERFACE_NOT_SUPPORTED, "the destination does not support the interface given");
  if (dynamic_cast<TPropObjectBase*>(dest.get()) == this)
    return Fail(MAPI_E_NO_ACCESS, "an object cannot be copied onto itself");
  bool move = (ulFlags & MAPI_MOVE) != 0;
  if (move) CheckWritable("CopyTo");

  // Full values (no size limit), wide strings where the tag does not ask otherwise.
  auto values = TMapiBuffer<SPropValue>::Allocate(sizeof(SPropValue) * std::max<size_t>(tags.size(), 1));
  std::vector<ULONG> sourceIndex;
  TProblemList problems;
  ULONG count = 0;
  for (size_t i = 0; i < tags.size(); ++i) {
    if (IsSubObject(tags[i])) continue;  // copied by CopySubObjects
    SPropValue& value = values.get()[count];
    GetOneProp(tags[i], true, false, value, values.get());
    if (PROP_TYPE(value.ulPropTag) == PT_ERROR) {
      if (reportMissing) problems.Add(static_cast<ULONG>(i), tags[i], value.Value.err);
      continue;
    }
    sourceIndex.push_back(static_cast<ULONG>(i));
    ++count;
  }

  // Named properties travel by name: the destination's identifiers for them.
  std::vector<ULONG> sourceTags(count);
  for (ULONG i = 0; i < count; ++i) sourceTags[i] = values.get()[i].ulPropTag;
  std::vector<ULONG> destTags = DestinationTags(dest.get(), sourceTags);
  ULONG mappedCount = 0;
  for (ULONG i = 0; i < count; ++i) {
    if (!destTags[i]) {
      problems.Add(sourceIndex[i], tags[sourceIndex[i]], MAPI_E_UNEXPECTED_ID);
      continue;
    }
    values.get()[mappedCount] = values.get()[i];
    values.get()[mappedCount].ulPropTag = destTags[i];
    sourceTags[mappedCount] = sourceTags[i];
    sourceIndex[mappedCount++] = sourceIndex[i];
  }
  count = mappedCount;
  sourceIndex.resize(count);
  sourceTags.resize(count);

  if (ulFlags & MAPI_NOREPLACE && count) {
    // Keep the destination's own values: drop what it has already.
    auto asking = TMapiBuffer<SPropTagArray>::Allocate(CbNewSPropTagArray(count));
    asking->cValues = count;
    for (ULONG i = 0; i < count; ++i)
      asking->aulPropTag[i] = CHANGE_PROP_TYPE(values.get()[i].ulPropTag, PT_UNSPECIFIED);
    ULONG existingCount = 0;
    TMapiBuffer<SPropValue> existing;
    HRESULT hr = dest->GetProps(asking.get(), MAPI_UNICODE, &existingCount, existing.Out());
    if (FAILED(hr)) return hr;
    ULONG kept = 0;
    for (ULONG i = 0; i < count; ++i) {
      if (i < existingCount && PROP_TYPE(existing.get()[i].ulPropTag) != PT_ERROR) continue;
      values.get()[kept] = values.get()[i];
      sourceTags[kept] = sourceTags[i];
      sourceIndex[kept++] = sourceIndex[i];
    }
    count = kept;
    sourceIndex.resize(count);
    sourceTags.resize(count);
  }

  std::vector<bool> failed(count, false);
  if (count) {
    TMapiBuffer<SPropProblemArray> destProblems;
    HRESULT hr = dest->SetProps(count, values.get(), destProblems.Out());
    if (FAILED(hr)) return hr;
    for (ULONG i = 0; destProblems && i < destProblems->cProblem; ++i) {
      SPropProblem problem = destProblems->aProblem[i];
      if (problem.ulIndex < count) {
        failed[problem.ulIndex] = true;
        problem.ulPropTag = sourceTags[problem.ulIndex];
        problem.ulIndex = sourceIndex[problem.ulIndex];
      }
      problems.Add(problem.ulIndex, problem.ulPropTag, problem.scode);
    }
  }
  if (more) more(dest.get());

  if (move) {
    bool changed = false;
    for (ULONG i = 0; i < count; ++i)
      if (!failed[i] && bag_.Erase(PROP_ID(sourceTags[i]))) {
        Changed(PROP_ID(sourceTags[i]), true);
        changed = true;
      }
    if (changed && !transacted_) {
      Persist(pending_, 0);
      pending_ = {};
    }
  }
  problems.HandTo(lppProblems);
  return S_OK;
}

HRESULT TPropObjectBase::DoCopyTo(ULONG ciidExclude, LPCIID rgiidExclude, LPSPropTagArray lpExcludeProps,
                                  ULONG_PTR /*ulUIParam*/, LPMAPIPROGRESS /*lpProgress*/, LPCIID lpInterface,
                                  LPVOID lpDestObj, ULONG ulFlags, LPSPropProblemArray* lppProblems) {
  if (ulFlags & ~kCopyFlags) return Fail(MAPI_E_UNKNOWN_FLAGS, "CopyTo: unknown flags");
  if (!lpInterface || !lpDestObj || (ciidExclude && !rgiidExclude))
    return Fail(MAPI_E_INVALID_PARAMETER, "CopyTo: invalid parameter");
  if (lppProblems) *lppProblems = nullptr;
  return Guarded(lastError_, "CopyTo", [&] {
    std::lock_guard lock(mutex_);
    auto excluded = [lpExcludeProps](ULONG propId) {
      for (ULONG i = 0; lpExcludeProps && i < lpExcludeProps->cValues; ++i)
        if (PROP_ID(lpExcludeProps->aulPropTag[i]) == propId) return true;
      return false;
    };
    std::vector<ULONG> tags;
    // Excluding IMAPIProp excludes every property.
    if (!Excludes(ciidExclude, rgiidExclude, IID_IMAPIProp)) {
      for (ULONG tag : bag_.Tags()) {
        // The destination computes its own computed properties.
        if (!IsComputed(PROP_ID(tag)) && !excluded(PROP_ID(tag))) tags.push_back(CHANGE_PROP_TYPE(tag, PT_UNSPECIFIED));
      }
      // Computed properties a client may write (a new message's flags) go too.
      for (const auto& [tag, setter] : computedSetters_)
        if (!excluded(PROP_ID(tag))) tags.push_back(tag);
    }
    std::vector<ULONG> subObjects;
    for (ULONG tag : SubObjectTags())
      if (!excluded(PROP_ID(tag))) subObjects.push_back(tag);
    return CopyPropsTo(tags, false, lpInterface, lpDestObj, ulFlags, lppProblems, [&](IMAPIProp* dest) {
      if (!subObjects.empty()) CopySubObjects(dest, subObjects, ciidExclude, rgiidExclude, ulFlags);
    });
  });
}

HRESULT TPropObjectBase::DoCopyProps(LPSPropTagArray lpIncludeProps, ULONG_PTR /*ulUIParam*/,
                                     LPMAPIPROGRESS /*lpProgress*/, LPCIID lpInterface, LPVOID lpDestObj, ULONG ulFlags,
                                     LPSPropProblemArray* lppProblems) {
  if (ulFlags & ~kCopyFlags) return Fail(MAPI_E_UNKNOWN_FLAGS, "CopyProps: unknown flags");
  if (!lpIncludeProps || !lpInterface || !lpDestObj)
    return Fail(MAPI_E_INVALID_PARAMETER, "CopyProps: invalid parameter");
  if (lppProblems) *lppProblems = nullptr;
  return Guarded(lastError_, "CopyProps", [&] {
    std::lock_guard lock(mutex_);
    std::vector<ULONG> tags(lpIncludeProps->aulPropTag, lpIncludeProps->aulPropTag + lpIncludeProps->cValues);
    // Sub-objects go only when asked for by their properties.
    std::vector<ULONG> subObjects;
    for (ULONG tag : SubObjectTags())
      if (std::find(tags.begin(), tags.end(), tag) != tags.end()) subObjects.push_back(tag);
    return CopyPropsTo(tags, true, lpInterface, lpDestObj, ulFlags, lppProblems, [&](IMAPIProp* dest) {
      if (!subObjects.empty()) CopySubObjects(dest, subObjects, 0, nullptr, ulFlags);
    });
  });
}

}  // namespace orba::store
