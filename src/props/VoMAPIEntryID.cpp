#include "orba/VoMAPIEntryID.h"

#include <cstring>

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIExceptions.h"
#include "orba/VoMAPISessionBase.h"
#include "orba/common/encoding.h"
#include "orba/common/guidtext.h"
#include "orba/common/netencoding.h"
#include "orba/common/texttrim.h"

namespace orba {
namespace {

[[noreturn]] void NotAnArray(const TVoVariant& value) {
  throw EVoException(u"Could not convert variant of type (" + VarTypeAsText(value.VarType()) + u") into type (" +
                         VarTypeAsText(varArray | varByte) + u")",
                     DISP_E_TYPEMISMATCH);
}

}  // namespace

TVoMAPIBinary::TVoMAPIBinary(std::vector<BYTE> Bytes) : bytes_(std::move(Bytes)) {
  bin_.cb = ULONG(bytes_.size());
  bin_.lpb = bytes_.empty() ? nullptr : bytes_.data();
}

TVoMAPIEntryID BinToEntryID(LONG Size, const void* Data) {
  if (Size <= 0 || !Data) return TVoVariant::Null();
  const BYTE* bytes = static_cast<const BYTE*>(Data);
  return TVoVariant(TVoVariant::ByteArray(bytes, bytes + Size));
}

WideString EntryIDToStr(const TVoMAPIEntryID& EntryID) { return TVoNetEncoding::GetHexEncoding(EntryIDToArr(EntryID)); }

AnsiString EntryIDToStrA(const TVoMAPIEntryID& EntryID) {
  // Hexadecimal digits are ASCII: the same text in every code page.
  const WideString text = EntryIDToStr(EntryID);
  return AnsiString(text.begin(), text.end());
}

WideString EntryIDToStrW(const TVoMAPIEntryID& EntryID) { return EntryIDToStr(EntryID); }

TVoMAPIEntryID StrToEntryID(const AnsiString& Text) { return StrToEntryID(TVoEncoding::ConvertW(Text)); }

TVoMAPIEntryID StrToEntryID(const WideString& Text) {
  const std::u16string_view hex = VoTrimmed(Text);
  try {
    return ArrToEntryID(TVoNetEncoding::GetHexDecoding(hex));
  } catch (const EVoException&) {
    kit::Raise(E_INVALIDARG, u"The text \"%s\" is not a valid hexadecimal EntryID!", {Text});
  }
}

std::vector<BYTE> EntryIDToArr(const TVoMAPIEntryID& EntryID) {
  if (EntryID.IsEmpty() || EntryID.IsNull()) return {};
  if (EntryID.VarType() == (varArray | varByte)) return EntryID.Bytes();
  if (!EntryID.IsArray()) NotAnArray(EntryID);
  std::vector<BYTE> bytes;
  bytes.reserve(EntryID.ArrayLength());
  for (const TVoVariant& item : EntryID.Items()) bytes.push_back(BYTE(VoVarToInt(VarAsType(item, varByte))));
  return bytes;
}

TVoMAPIEntryID ArrToEntryID(const std::vector<BYTE>& Bytes) { return TVoVariant(Bytes); }

TVoMAPIBinary EntryIDToBin(const TVoMAPIEntryID& EntryID) { return TVoMAPIBinary(EntryIDToArr(EntryID)); }

MAPIUID EntryIDToUID(const TVoMAPIEntryID& EntryID) {
  const std::vector<BYTE> bytes = EntryIDToArr(EntryID);
  MAPIUID uid{};
  if (bytes.size() != sizeof(uid.ab))
    kit::Raise(E_INVALIDARG, u"The size of the specified EntryID does not match the size of a TMAPIUID!");
  std::memcpy(uid.ab, bytes.data(), sizeof(uid.ab));
  return uid;
}

LPENTRYID _GetMAPIEntryID(TVoMAPISessionBase* Session, const TVoMAPIEntryID& EntryID, ULONG& Size) {
  Size = 0;
  if (!Session || !EntryID.IsArray() || EntryID.ArrayLength() == 0)
    throw EVoException(u"Empty EntryID values are not allowed!", E_UNEXPECTED);
  const std::vector<BYTE> bytes = EntryIDToArr(EntryID);
  void* buffer = Session->AllocateBuffer(ULONG(bytes.size()));
  std::memcpy(buffer, bytes.data(), bytes.size());
  Size = ULONG(bytes.size());
  return static_cast<LPENTRYID>(buffer);
}

TVoMAPIByteArray PolicyGuidToTag(const WideString& Text) {
  GUID guid;
  try {
    guid = StringToGUID(VoTrimmed(Text));
  } catch (const EVoException&) {
    kit::Raise(E_INVALIDARG, u"The text \"%s\" is not a valid policy GUID!", {Text});
  }
  // The GUID's binary layout: the first three fields little-endian, then Data4.
  std::vector<BYTE> bytes;
  for (int i = 0; i < 4; ++i) bytes.push_back(BYTE(guid.Data1 >> (8 * i)));
  for (int i = 0; i < 2; ++i) bytes.push_back(BYTE(guid.Data2 >> (8 * i)));
  for (int i = 0; i < 2; ++i) bytes.push_back(BYTE(guid.Data3 >> (8 * i)));
  bytes.insert(bytes.end(), guid.Data4, guid.Data4 + 8);
  return ArrToEntryID(bytes);
}

}  // namespace orba
