// The property object engine: the one implementation of IMAPIProp that every
// provider object (profile sections, stores, folders, messages, attachments, mail
// users) builds on.
//
// TPropObjectBase holds the object's TPropertyBag and answers IMAPIProp's methods as
// MAPI documents them (the Do... methods: they validate, never throw, and remember
// the text of their last failure for GetLastError). What differs between objects
// comes in through:
//   - computed properties (AddComputed): values made on demand, listed by GetPropList,
//     refused with MAPI_E_COMPUTED on writes unless a setter takes them;
//   - fixed types (SetExpectedType): a tag of another type is MAPI_E_UNEXPECTED_TYPE;
//   - the access mode (read-only objects refuse writes with MAPI_E_NO_ACCESS);
//   - the store's INameMap (none: the name calls answer MAPI_E_NO_SUPPORT);
//   - virtual hooks: Persist (SaveChanges, or every change of a non-transacted
//     object), OpenInterface (OpenProperty beyond IStream), SubObjectTags and
//     CopySubObjects (CopyTo's and CopyProps' sub-objects), CodePage (8-bit text),
//     PropertyWriteAccess (read-only properties).
//
// TPropObject<Interfaces...> is the COM class: it implements IUnknown and forwards
// IMAPIProp's methods to the engine. A provider object derives from it:
//   class TMessage : public TPropObject<IMessage> { ... IMessage's own methods ... };
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "base/lasterror.h"
#include "mapi/mapidefs.h"
#include "orba/common/comobject.h"
#include "props/namemap.h"
#include "props/propbag.h"
#include "props/propcodec.h"

namespace orba::store {

enum class TAccessMode { ReadOnly, ReadWrite };

// Values larger than this (their variable part, in bytes) are answered by GetProps
// with MAPI_E_NOT_ENOUGH_MEMORY in a PT_ERROR value; OpenProperty reads them.
inline constexpr size_t kDefaultLargeValueLimit = 32 * 1024;

// The changes SaveChanges hands to Persist: identifiers set and deleted since the
// last successful save (the bag holds the values).
struct TPropChanges {
  std::set<ULONG> changed;
  std::set<ULONG> deleted;
  bool Empty() const { return changed.empty() && deleted.empty(); }
  std::vector<ULONG> DeletedIds() const { return {deleted.begin(), deleted.end()}; }
};

struct TPropObjectOptions {
  TAccessMode access = TAccessMode::ReadWrite;
  // Transacted objects (messages, attachments) keep changes until SaveChanges;
  // the others (folders, stores, profile sections) persist every change at once.
  bool transacted = true;
  std::shared_ptr<INameMap> names;
};

class TPropObjectBase : public TVoRefCounted {
 public:
  // Makes the value of a computed property: fill out (tag included), allocating
  // any blocks on parent.
  using TComputedGetter = std::function<void(SPropValue& out, void* parent)>;

  explicit TPropObjectBase(TPropObjectOptions options = {});

  // --- engine API for provider objects (not synchronised with the Do... methods
  // of other threads: call them while setting the object up, or under Lock()) ---
  TPropertyBag& Bag() { return bag_; }
  const TPropertyBag& Bag() const { return bag_; }
  // Stores a value as SetProps would, without the checks (loading from storage).
  void Load(const SPropValue& value);
  // Load for kept values (propcodec.h); and the object's values in that form: all of
  // them, or those changes set.
  void LoadStored(const TStoredProps& props);
  TStoredProps StoredValues() const;
  TStoredProps StoredChanges(const TPropChanges& changes) const;
  void AddComputed(ULONG tag, TComputedGetter getter);
  // Takes a value SetProps gives a computed property: S_OK when taken, else the
  // problem to report (MAPI_E_COMPUTED while the property is read-only). Throw
  // TMapiError for a value it cannot take.
  using TComputedSetter = std::function<HRESULT(const SPropValue& value)>;
  // A computed property that SetProps may also write (of tag's type), as setter decides.
  void AddComputed(ULONG tag, TComputedGetter getter, TComputedSetter setter);
  void SetExpectedType(ULONG propId, ULONG type);
  TAccessMode Access() const { return access_; }
  void SetAccess(TAccessMode access) { access_ = access; }
  void SetLargeValueLimit(size_t bytes) { largeValueLimit_ = bytes; }
  bool IsModified() const { return !pending_.Empty(); }
  const TPropChanges& PendingChanges() const { return pending_; }
  INameMap* Names() const { return names_.get(); }
  std::unique_lock<std::recursive_mutex> Lock() const { return std::unique_lock(mutex_); }
  // Remembers a failure for GetLastError and returns hr.
  HRESULT Fail(HRESULT hr, const std::string& text) { return lastError_.Set(hr, text); }
  // What GetLastError describes: interface methods of derived objects run under
  // Guarded(LastError(), ...) (lasterror.h).
  TLastError& LastError() { return lastError_; }

  // --- IMAPIProp, as MAPI documents it ---
  HRESULT DoGetLastError(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError);
  HRESULT DoSaveChanges(ULONG ulFlags);
  HRESULT DoGetProps(LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG* lpcValues, LPSPropValue* lppPropArray);
  HRESULT DoGetPropList(ULONG ulFlags, LPSPropTagArray* lppPropTagArray);
  HRESULT DoOpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags, LPUNKNOWN* lppUnk);
  HRESULT DoSetProps(ULONG cValues, LPSPropValue lpPropArray, LPSPropProblemArray* lppProblems);
  HRESULT DoDeleteProps(LPSPropTagArray lpPropTagArray, LPSPropProblemArray* lppProblems);
  HRESULT DoCopyTo(ULONG ciidExclude, LPCIID rgiidExclude, LPSPropTagArray lpExcludeProps, ULONG_PTR ulUIParam,
                   LPMAPIPROGRESS lpProgress, LPCIID lpInterface, LPVOID lpDestObj, ULONG ulFlags,
                   LPSPropProblemArray* lppProblems);
  HRESULT DoCopyProps(LPSPropTagArray lpIncludeProps, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress,
                      LPCIID lpInterface, LPVOID lpDestObj, ULONG ulFlags, LPSPropProblemArray* lppProblems);
  HRESULT DoGetNamesFromIDs(LPSPropTagArray* lppPropTags, LPGUID lpPropSetGuid, ULONG ulFlags, ULONG* lpcPropNames,
                            LPMAPINAMEID** lpppPropNames);
  HRESULT DoGetIDsFromNames(ULONG cPropNames, LPMAPINAMEID* lppPropNames, ULONG ulFlags, LPSPropTagArray* lppPropTags);

  // The bytes a stream over property tag shows (UTF-16LE or 8-bit text without a
  // terminator, or the binary), and the way back when a stream is committed. Used
  // by the streams OpenProperty hands out; they throw TMapiError.
  std::vector<BYTE> ReadStreamValue(ULONG tag) const;
  void StoreStreamValue(ULONG tag, const std::vector<BYTE>& bytes);

 protected:
  // Makes the changes permanent (one transaction). Throw TMapiError on failure
  // (e.g. MAPI_E_OBJECT_CHANGED); the changes then stay pending. flags are
  // SaveChanges' (FORCE_SAVE ...); 0 for a non-transacted object's change.
  virtual void Persist(const TPropChanges& changes, ULONG flags);
  // OpenProperty for interfaces other than IStream (IMessage for an embedded
  // message, IMAPITable for a contents table...). Default: not supported.
  virtual HRESULT OpenInterface(ULONG ulPropTag, REFIID iid, ULONG ulInterfaceOptions, ULONG ulFlags,
                                LPUNKNOWN* lppUnk);
  // The properties of the object's sub-objects (PT_OBJECT tags such as
  // PR_MESSAGE_RECIPIENTS): CopyTo copies them unless excluded, CopyProps when
  // included. Default: the object has none.
  virtual std::vector<ULONG> SubObjectTags() const { return {}; }
  // Copies the sub-objects of tags (some of SubObjectTags) to destination; rgiidExclude
  // are interfaces CopyTo's caller excluded, ulFlags CopyTo's (MAPI_NOREPLACE,
  // MAPI_MOVE...). Throw TMapiError on failure.
  virtual void CopySubObjects(IMAPIProp* destination, const std::vector<ULONG>& tags, ULONG ciidExclude,
                              LPCIID rgiidExclude, ULONG ulFlags);
  // The tags destination knows tags by: named identifiers go by their names, so a
  // destination with another name map (another store) gets its own identifiers for
  // them (created as needed); 0 where it has none.
  std::vector<ULONG> DestinationTags(IMAPIProp* destination, const std::vector<ULONG>& tags);
  // The code page of the object's 8-bit strings (0: the system code page).
  virtual uint32_t CodePage() const { return 0; }
  // Whether SetProps and DeleteProps may change the property propId: S_OK, or the
  // problem to report for it (MAPI_E_NO_ACCESS). Default: every property may change.
  virtual HRESULT PropertyWriteAccess(ULONG /*propId*/) const { return S_OK; }

 private:
  void CheckWritable(const char* method) const;
  void Changed(ULONG propId, bool deleted);
  bool IsComputed(ULONG propId) const;
  bool IsSubObject(ULONG tag) const;
  const TComputedGetter* FindComputed(ULONG propId) const;
  HRESULT CheckSetValue(const SPropValue& value) const;
  HRESULT SetComputed(const SPropValue& value);
  void StoreValue(const SPropValue& value);
  void GetOneProp(ULONG tag, bool unicode, bool listed, SPropValue& out, void* parent) const;
  std::vector<ULONG> AllTags(bool unicode) const;
  HRESULT CopyPropsTo(const std::vector<ULONG>& tags, bool reportMissing, LPCIID lpInterface, LPVOID lpDestObj,
                      ULONG ulFlags, LPSPropProblemArray* lppProblems, const std::function<void(IMAPIProp*)>& more);

  mutable std::recursive_mutex mutex_;
  TPropertyBag bag_;
  std::vector<std::pair<ULONG, TComputedGetter>> computed_;
  std::vector<std::pair<ULONG, TComputedSetter>> computedSetters_;
  std::vector<std::pair<ULONG, ULONG>> expectedTypes_;
  TAccessMode access_;
  bool transacted_;
  std::shared_ptr<INameMap> names_;
  size_t largeValueLimit_ = kDefaultLargeValueLimit;
  TPropChanges pending_;
  TLastError lastError_;
};

// The COM class of a provider object implementing Interfaces... (each derived from
// IMAPIProp, or other interfaces the object answers too).
template <class... Interfaces>
class TPropObject : public TVoComObject<TPropObjectBase, Interfaces...> {
 public:
  using TVoComObject<TPropObjectBase, Interfaces...>::TVoComObject;

  STDMETHOD(GetLastError)(HRESULT hResult, ULONG ulFlags, LPMAPIERROR* lppMAPIError) override {
    return this->DoGetLastError(hResult, ulFlags, lppMAPIError);
  }
  STDMETHOD(SaveChanges)(ULONG ulFlags) override { return this->DoSaveChanges(ulFlags); }
  STDMETHOD(GetProps)
  (LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG* lpcValues, LPSPropValue* lppPropArray) override {
    return this->DoGetProps(lpPropTagArray, ulFlags, lpcValues, lppPropArray);
  }
  STDMETHOD(GetPropList)(ULONG ulFlags, LPSPropTagArray* lppPropTagArray) override {
    return this->DoGetPropList(ulFlags, lppPropTagArray);
  }
  STDMETHOD(OpenProperty)
  (ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags, LPUNKNOWN* lppUnk) override {
    return this->DoOpenProperty(ulPropTag, lpiid, ulInterfaceOptions, ulFlags, lppUnk);
  }
  STDMETHOD(SetProps)(ULONG cValues, LPSPropValue lpPropArray, LPSPropProblemArray* lppProblems) override {
    return this->DoSetProps(cValues, lpPropArray, lppProblems);
  }
  STDMETHOD(DeleteProps)(LPSPropTagArray lpPropTagArray, LPSPropProblemArray* lppProblems) override {
    return this->DoDeleteProps(lpPropTagArray, lppProblems);
  }
  STDMETHOD(CopyTo)
  (ULONG ciidExclude, LPCIID rgiidExclude, LPSPropTagArray lpExcludeProps, ULONG_PTR ulUIParam,
   LPMAPIPROGRESS lpProgress, LPCIID lpInterface, LPVOID lpDestObj, ULONG ulFlags,
   LPSPropProblemArray* lppProblems) override {
    return this->DoCopyTo(ciidExclude, rgiidExclude, lpExcludeProps, ulUIParam, lpProgress, lpInterface, lpDestObj,
                          ulFlags, lppProblems);
  }
  STDMETHOD(CopyProps)
  (LPSPropTagArray lpIncludeProps, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, LPCIID lpInterface, LPVOID lpDestObj,
   ULONG ulFlags, LPSPropProblemArray* lppProblems) override {
    return this->DoCopyProps(lpIncludeProps, ulUIParam, lpProgress, lpInterface, lpDestObj, ulFlags, lppProblems);
  }
  STDMETHOD(GetNamesFromIDs)
  (LPSPropTagArray* lppPropTags, LPGUID lpPropSetGuid, ULONG ulFlags, ULONG* lpcPropNames,
   LPMAPINAMEID** lpppPropNames) override {
    return this->DoGetNamesFromIDs(lppPropTags, lpPropSetGuid, ulFlags, lpcPropNames, lpppPropNames);
  }
  STDMETHOD(GetIDsFromNames)
  (ULONG cPropNames, LPMAPINAMEID* lppPropNames, ULONG ulFlags, LPSPropTagArray* lppPropTags) override {
    return this->DoGetIDsFromNames(cPropNames, lppPropNames, ulFlags, lppPropTags);
  }
};

}  // namespace orba::store
