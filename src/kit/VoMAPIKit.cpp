#include "kit/VoMAPIKit.h"

#include <algorithm>

#include "orba/VoMAPIWrapperIntf.h"
#include "orba/common/encoding.h"
#include "orba/common/exceptions.h"

namespace orba::kit {

void Raise(HRESULT Code, const WideString& Text) { std::rethrow_exception(CreateVoMAPIException(Code, Text)); }

void Raise(HRESULT Code, std::u16string_view Fmt, std::initializer_list<TVarRec> Args) {
  std::rethrow_exception(CreateVoMAPIException(Code, Fmt, Args));
}

void Raise(EVoMAPIExceptionClass Class, const WideString& Text, HRESULT Code) {
  std::rethrow_exception(Class->Create(Text, Code));
}

void RaiseListIndex(int64_t Index) {
  throw EVoException(Format(u"List index out of bounds (%d)", {Index}), E_INVALIDARG);
}

void RaiseResultText(HRESULT Result, std::span<const TResultText> Texts, std::u16string_view ClassName) {
  auto found = std::find_if(Texts.begin(), Texts.end(), [&](const TResultText& t) { return t.Result == Result; });
  if (found != Texts.end()) Raise(Result, found->Text, {ClassName});
}

MapiString::MapiString(std::u16string_view Text, bool Unicode)
    : unicode_(Unicode), empty_(Text.empty()), wide_(Unicode ? WideString(Text) : WideString()) {
  if (!Unicode) ansi_ = TVoEncoding::ConvertA(Text);
}

LPTSTR MapiString::Ptr() {
  // MAPI takes the UTF-16 form cast to the 8-bit argument type.
  return unicode_ ? reinterpret_cast<LPTSTR>(wide_.data()) : ansi_.data();
}

WideString MapiText(const void* Text, bool Unicode) {
  if (!Text) return {};
  if (Unicode) return WideString(static_cast<const char16_t*>(Text));
  return TVoEncoding::ConvertW(static_cast<const char*>(Text));
}

TVoMAPIError MapiErrorRecord(const MAPIERROR& Error, bool Unicode) {
  return TVoMAPIError{MapiText(Error.lpszError, Unicode), MapiText(Error.lpszComponent, Unicode), Error.ulLowLevelError,
                      Error.ulContext};
}

TPropTagArray::TPropTagArray(const std::vector<ULONG>& Tags) : words_(1 + Tags.size()) {
  words_[0] = ULONG(Tags.size());
  std::copy(Tags.begin(), Tags.end(), words_.begin() + 1);
}

std::vector<BYTE> EntryIDBytes(const TVoMAPIEntryID& EntryID, IVoMAPIWrapper* Owner, std::u16string_view MethodName) {
  try {
    return EntryIDToArr(EntryID);
  } catch (const EVoException&) {
    CheckMAPIResult(Owner, MethodName, MAPI_E_INVALID_ENTRYID);
    throw;  // not reached: CheckMAPIResult raises for every failure
  }
}

void QueryAllRows(IMAPITable* Table, std::initializer_list<ULONG> Columns, TVoMAPIRows& Rows, IVoMAPIWrapper* Owner,
                  std::u16string_view MethodName) {
  TPropTagArray columns(Columns);
  CheckMAPIResult(Owner, MethodName, HrQueryAllRows(Table, columns.get(), nullptr, nullptr, 0, Rows.Out()));
}

const SPropValue* FindColumn(const SRow& Row, ULONG Tag) {
  for (ULONG i = 0; i < Row.cValues; ++i)
    if (Row.lpProps[i].ulPropTag == Tag) return &Row.lpProps[i];
  return nullptr;
}

}  // namespace orba::kit
