// OpenProperty: IStream over binary and string properties; other interfaces
// through the object's OpenInterface hook.
#include "base/lasterror.h"
#include "base/maperror.h"
#include "props/propertystream.h"
#include "props/propobject.h"

namespace orba::store {

HRESULT TPropObjectBase::DoOpenProperty(ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags,
                                        LPUNKNOWN* lppUnk) {
  if (ulFlags & ~(MAPI_CREATE | MAPI_MODIFY | MAPI_DEFERRED_ERRORS | STREAM_APPEND | MAPI_BEST_ACCESS))
    return Fail(MAPI_E_UNKNOWN_FLAGS, "OpenProperty: unknown flags");
  if (!lpiid || !lppUnk) return Fail(MAPI_E_INVALID_PARAMETER, "OpenProperty: invalid parameter");
  *lppUnk = nullptr;
  return Guarded(lastError_, "OpenProperty", [&]() -> HRESULT {
    std::lock_guard lock(mutex_);
    if (*lpiid != IID_IStream) return OpenInterface(ulPropTag, *lpiid, ulInterfaceOptions, ulFlags, lppUnk);
    ULONG type = PROP_TYPE(ulPropTag);
    if (type != PT_BINARY && type != PT_STRING8 && type != PT_UNICODE && type != PT_OBJECT)
      return Fail(MAPI_E_INTERFACE_NOT_SUPPORTED, "OpenProperty: only binary and string properties are streams");
    // A PT_OBJECT tag with IStream reads the binary value of the same identifier.
    ULONG tag = type == PT_OBJECT ? CHANGE_PROP_TYPE(ulPropTag, PT_BINARY) : ulPropTag;
    bool create = (ulFlags & MAPI_CREATE) != 0;
    // MAPI_BEST_ACCESS asks for writing where the object allows it.
    bool writable = create || (ulFlags & MAPI_MODIFY) ||
                    ((ulFlags & MAPI_BEST_ACCESS) && access_ == TAccessMode::ReadWrite && !IsComputed(PROP_ID(tag)));
    if (writable) {
      CheckWritable("OpenProperty");
      if (IsComputed(PROP_ID(tag)))
        return Fail(MAPI_E_NO_ACCESS, "OpenProperty: a computed property cannot be written");
    }
    std::vector<BYTE> data;
    if (!create) {
      data = ReadStreamValue(tag);
    } else if (!bag_.Find(PROP_ID(tag))) {
      // MAPI_CREATE on a missing property: it exists (empty) as soon as it is opened.
      StoreStreamValue(tag, {});
    }
    size_t position = (ulFlags & STREAM_APPEND) ? data.size() : 0;
    // MAPI_CREATE discards the current value: the stream starts empty and
    // writes it back even when nothing is written.
    auto stream = MakeComObject<TPropertyStream>(this, tag, std::move(data), writable, create);
    LARGE_INTEGER move{};
    move.QuadPart = static_cast<LONGLONG>(position);
    stream->Seek(move, STREAM_SEEK_SET, nullptr);
    *lppUnk = static_cast<IStream*>(stream.Detach());
    return S_OK;
  });
}

}  // namespace orba::store
