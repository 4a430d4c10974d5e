// The wrapper kit: what every library method that calls MAPI uses besides its guard
// (CheckActive) and CheckMAPIResult. A method keeps one shape:
//
//   CheckActive(u"OpenEntry");                          // guard, with the method's name
//   kit::TEntryIDArg id(EntryID);                       // arguments as MAPI takes them
//   kit::MapiString name(Name, Unicode());              // text in the object's width
//   HRESULT hr = object->Call(id.Size(), id.get(), name, name.Flags(), out.Out());
//   kit::RaiseResultText(hr, kOpenEntryTexts, ClassName());  // the method's own texts
//   CheckMAPIResult(this, u"OpenEntry", hr);            // everything else
//
// What MAPI hands out is owned at once: TVoMAPIBuffer (MAPIFreeBuffer) and TVoMAPIRows
// (FreeProws) from orba/VoMAPIBuffer.h, ComPtr for interfaces, so that an exception
// never leaks it.
#pragma once

#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

#include "mapi/mapicode.h"
#include "mapi/mapidefs.h"
#include "orba/VoMAPIBuffer.h"
#include "orba/VoMAPIEntryID.h"
#include "orba/VoMAPIExceptions.h"
#include "orba/common/comptr.h"
#include "orba/common/format.h"
#include "orba/common/types.h"

namespace orba::kit {

// Errors ------------------------------------------------------------------------------

// Raises the exception of the class registered for Code (EVoMAPIException when none)
// with Text, or with Fmt applied to Args.
[[noreturn]] void Raise(HRESULT Code, const WideString& Text);
[[noreturn]] void Raise(HRESULT Code, std::u16string_view Fmt, std::initializer_list<TVarRec> Args);
// Raises exactly Class with Text and Code.
[[noreturn]] void Raise(EVoMAPIExceptionClass Class, const WideString& Text, HRESULT Code);
// The index error of the library's lists and registries: EVoException "List index out of
// bounds (%d)" with E_INVALIDARG.
[[noreturn]] void RaiseListIndex(int64_t Index);

// A method's own text for one MAPI result; "%s" in Text stands for the class name.
struct TResultText {
  HRESULT Result;
  std::u16string_view Text;
};
// Raises Result with its text when Texts has an entry for it; returns otherwise, so that
// CheckMAPIResult handles the rest.
void RaiseResultText(HRESULT Result, std::span<const TResultText> Texts, std::u16string_view ClassName);

// MAPIObject as the interface I a wrapper of the class ClassName needs (null stays
// null); an object without it raises E_NOINTERFACE "%s.SetMAPIOBJECT failed!\r\nThe
// object is not an %s." with InterfaceName.
template <class I>
ComPtr<I> MAPIObjectAs(const ComPtr<IUnknown>& MAPIObject, const IID& InterfaceID, std::u16string_view InterfaceName,
                       std::u16string_view ClassName) {
  if (!MAPIObject) return nullptr;
  ComPtr<I> object = MAPIObject.Query<I>(InterfaceID);
  if (!object)
    Raise(E_NOINTERFACE, u"%s.SetMAPIOBJECT failed!\r\nThe object is not an %s.", {ClassName, InterfaceName});
  return object;
}

// Text across the seam ----------------------------------------------------------------

// Text as a MAPI argument: UTF-16 when Unicode (the call then carries MAPI_UNICODE, see
// Flags), else 8-bit text of the system code page.
class MapiString {
 public:
  MapiString(std::u16string_view Text, bool Unicode);
  MapiString(const MapiString&) = delete;
  MapiString& operator=(const MapiString&) = delete;

  // The text, never null (an empty text is "").
  operator LPTSTR() { return Ptr(); }
  LPTSTR Ptr();
  // The text, or null when it is empty: for arguments where no text means none.
  LPTSTR OrNull() { return empty_ ? nullptr : Ptr(); }
  // MAPI_UNICODE for UTF-16 text, else 0.
  ULONG Flags() const { return unicode_ ? MAPI_UNICODE : 0; }
  bool Unicode() const { return unicode_; }

 private:
  bool unicode_;
  bool empty_;
  WideString wide_;
  AnsiString ansi_;
};

// Text MAPI handed out (a string member of a MAPI structure): UTF-16 when Unicode, else
// 8-bit text of the system code page; null gives the empty text.
WideString MapiText(const void* Text, bool Unicode);

// Calls call(Unicode) and, when MAPI answers MAPI_E_BAD_CHARWIDTH, once more with the
// other width; Unicode receives the width of the answer. call builds its MapiStrings
// from the width it is given.
template <class Call>
HRESULT CallWithCharWidth(bool& Unicode, Call&& call) {
  HRESULT hr = call(Unicode);
  if (hr != MAPI_E_BAD_CHARWIDTH) return hr;
  Unicode = !Unicode;
  return call(Unicode);
}

// The record of a MAPIERROR (its texts in the width it was asked for).
TVoMAPIError MapiErrorRecord(const MAPIERROR& Error, bool Unicode);

// The extended error Object (any MAPI interface with GetLastError) holds for Code,
// asked in the object's width first (see CallWithCharWidth). A failing GetLastError
// raises through CheckMAPIResult under ClassName.
template <class MAPIObject>
TVoMAPIError ReadLastError(MAPIObject* Object, HRESULT Code, bool Unicode, std::u16string_view ClassName) {
  TVoMAPIBuffer<MAPIERROR> error;
  HRESULT hr = CallWithCharWidth(
      Unicode, [&](bool unicode) { return Object->GetLastError(Code, unicode ? MAPI_UNICODE : 0, error.Out()); });
  CheckMAPIResult(ClassName, u"GetLastError", hr);
  return error.get() ? MapiErrorRecord(*error.get(), Unicode) : TVoMAPIError();
}

// Arguments and results ---------------------------------------------------------------

// A property tag array laid out as MAPI takes it, in memory of its own.
class TPropTagArray {
 public:
  TPropTagArray(std::initializer_list<ULONG> Tags) : TPropTagArray(std::vector<ULONG>(Tags)) {}
  explicit TPropTagArray(const std::vector<ULONG>& Tags);
  LPSPropTagArray get() { return reinterpret_cast<LPSPropTagArray>(words_.data()); }

 private:
  std::vector<ULONG> words_;
};

// The bytes of an entry ID argument of Owner's method MethodName: a value that is no
// entry ID (neither Null nor an array of bytes) raises MAPI_E_INVALID_ENTRYID through
// CheckMAPIResult.
std::vector<BYTE> EntryIDBytes(const TVoMAPIEntryID& EntryID, IVoMAPIWrapper* Owner, std::u16string_view MethodName);

// An entry ID as MAPI's arguments take it (size and pointer), in memory of its own.
class TEntryIDArg : public TVoMAPIBinary {
 public:
  explicit TEntryIDArg(const TVoMAPIEntryID& EntryID) : TVoMAPIBinary(EntryIDToArr(EntryID)) {}
  explicit TEntryIDArg(std::vector<BYTE> Bytes) : TVoMAPIBinary(std::move(Bytes)) {}
  bool Empty() const { return Bytes().empty(); }
  ULONG Size() const { return Bin().cb; }
  LPENTRYID get() const { return reinterpret_cast<LPENTRYID>(Bin().lpb); }
};

// Every row of Table with Columns (HrQueryAllRows); a failure raises through
// CheckMAPIResult as Owner's MethodName.
void QueryAllRows(IMAPITable* Table, std::initializer_list<ULONG> Columns, TVoMAPIRows& Rows, IVoMAPIWrapper* Owner,
                  std::u16string_view MethodName);
// The value of the column Tag in Row (its type included), or null.
const SPropValue* FindColumn(const SRow& Row, ULONG Tag);

}  // namespace orba::kit
