#include "orba/VoMAPIPropConvert.h"

#include <utility>

#include "kit/VoMAPIKit.h"
#include "orba/VoMAPIEntryID.h"
#include "orba/VoMAPIExceptions.h"
#include "orba/common/dates.h"
#include "orba/common/encoding.h"
#include "orba/common/exceptions.h"
#include "orba/common/guidtext.h"

namespace orba {
namespace {

constexpr double kCurrencyScale = 10000.0;

[[noreturn]] void NotAnArray(const TVoVariant& value, uint16_t target) {
  throw EVoException(u"Could not convert variant of type (" + VarTypeAsText(value.VarType()) + u") into type (" +
                         VarTypeAsText(target) + u")",
                     DISP_E_TYPEMISMATCH);
}

// The elements of an array variant; anything else raises a type mismatch.
std::vector<TVoVariant> Elements(const TVoVariant& value) {
  if (!value.IsArray()) NotAnArray(value, varArray | varVariant);
  std::vector<TVoVariant> items;
  items.reserve(value.ArrayLength());
  for (size_t i = 0; i < value.ArrayLength(); ++i) items.push_back(value.ArrayItem(i));
  return items;
}

bool IsBlank(const WideString& text) {
  for (char16_t c : text)
    if (c > u' ') return false;
  return true;
}

int16_t ToI2(const TVoVariant& v) { return int16_t(VoVarToInt(VarAsType(v, varSmallint))); }
LONG ToLong(const TVoVariant& v) { return VoVarToInt(VarAsType(v, varInteger)); }
float ToSingle(const TVoVariant& v) { return float(VoVarToFloat(VarAsType(v, varSingle))); }
double ToDouble(const TVoVariant& v) { return VoVarToFloat(VarAsType(v, varDouble)); }
int64_t ToI8(const TVoVariant& v) { return VoVarToInt64(VarAsType(v, varInt64)); }
// The amount times 10,000, rounded half to even.
CURRENCY ToCurrency(const TVoVariant& v) {
  CURRENCY cur;
  cur.int64 = VarAsType(TVoVariant(ToDouble(v)), varCurrency).Currency().Scaled;
  return cur;
}
LARGE_INTEGER ToLargeInt(const TVoVariant& v) {
  LARGE_INTEGER li;
  li.QuadPart = ToI8(v);
  return li;
}
GUID ToGUID(const TVoVariant& v) { return StringToGUID(VoVarToStr(VarAsType(v, varOleStr))); }

FILETIME ToFileTime(const TVoVariant& v) {
  const uint16_t type = v.VarType();
  if (type == varDate || type == varDouble) return DateTimeToFILETIME(VoVarToDateTime(v));
  const uint64_t value = uint64_t(ToI8(v));
  return FILETIME{DWORD(value), DWORD(value >> 32)};
}

// Builds a buffer of T from every element of an array variant.
template <class T, class Convert>
std::unique_ptr<TVoMAPIArrBuffer<T>> ArrayOf(const TVoVariant& value, Convert convert) {
  std::vector<T> items;
  for (const TVoVariant& item : Elements(value)) items.push_back(convert(item));
  return std::make_unique<TVoMAPIArrBuffer<T>>(std::move(items));
}

// The texts of a multi-valued text property: an array's elements, or one text split.
std::vector<WideString> TextsOf(const TVoVariant& value) {
  if (!value.IsArray()) return VoMAPISplitMultiText(VoVarToStr(value));
  std::vector<WideString> texts;
  for (const TVoVariant& item : Elements(value)) texts.push_back(VoVarToStr(item));
  return texts;
}

// Points a multi-valued member (count and array) at the buffer's data.
template <class Array, class T, class Buffer>
void SetMulti(Array& array, T* Array::*items, Buffer& buffer) {
  array.cValues = buffer.Count();
  array.*items = buffer.Data();
}

// Stores the buffer in holder and returns it typed.
template <class B>
B& Keep(std::unique_ptr<TVoMAPIValueBuffer>& holder, std::unique_ptr<B> buffer) {
  B& ref = *buffer;
  holder = std::move(buffer);
  return ref;
}

}  // namespace

std::vector<WideString> VoMAPISplitMultiText(const WideString& Text) {
  std::vector<WideString> parts;
  if (Text.empty()) return parts;
  const bool lines = Text.find(u"\r\n") != WideString::npos;
  const std::u16string_view separator = lines ? u"\r\n" : u";";
  size_t start = 0;
  for (;;) {
    const size_t end = Text.find(separator, start);
    if (end == WideString::npos) {
      if (!lines || start < Text.size()) parts.push_back(Text.substr(start));
      return parts;
    }
    parts.push_back(Text.substr(start, end - start));
    start = end + separator.size();
  }
}

SPropValue VoMAPIVariantToPropValue(const TVoVariant& Value, ULONG Tag, std::unique_ptr<TVoMAPIValueBuffer>& Buffer) {
  Buffer.reset();
  SPropValue result{};
  result.ulPropTag = Tag;
  __UPV& v = result.Value;
  const ULONG type = PROP_TYPE(Tag);
  switch (type) {
    case PT_I2: v.i = ToI2(Value); break;
    case PT_LONG: v.l = ToLong(Value); break;
    case PT_R4: v.flt = ToSingle(Value); break;
    case PT_DOUBLE: v.dbl = ToDouble(Value); break;
    case PT_APPTIME: v.at = ToDouble(Value); break;
    case PT_CURRENCY: v.cur = ToCurrency(Value); break;
    // MAPI's TRUE is 1.
    case PT_BOOLEAN: v.b = VoVarToBool(VarAsType(Value, varBoolean)) ? 1 : 0; break;
    case PT_I8: v.li = ToLargeInt(Value); break;
    case PT_SYSTIME: v.ft = ToFileTime(Value); break;
    case PT_CLSID:
      v.lpguid = Keep(Buffer, std::make_unique<TVoMAPIGUIDBuffer>(std::vector{ToGUID(Value)})).Data();
      break;
    case PT_STRING8:
    case PT_UNICODE: {
      const WideString text = VoVarToStr(Value);
      if (IsBlank(text)) break;  // the pointer stays null
      if (type == PT_UNICODE)
        v.lpszW = Keep(Buffer, std::make_unique<TVoMAPIWideStringBuffer>(text)).Data();
      else
        v.lpszA = Keep(Buffer, std::make_unique<TVoMAPIAnsiStringBuffer>(TVoEncoding::ConvertA(text))).Data();
      break;
    }
    case PT_BINARY: {
      auto& bin = Keep(Buffer, std::make_unique<TVoMAPIBinBuffer>(EntryIDToArr(Value)));
      v.bin = SBinary{bin.Count(), bin.Data()};
      break;
    }
    case PT_MV_I2: SetMulti(v.MVi, &SShortArray::lpi, Keep(Buffer, ArrayOf<int16_t>(Value, ToI2))); break;
    case PT_MV_LONG: SetMulti(v.MVl, &SLongArray::lpl, Keep(Buffer, ArrayOf<LONG>(Value, ToLong))); break;
    case PT_MV_R4: SetMulti(v.MVflt, &SRealArray::lpflt, Keep(Buffer, ArrayOf<float>(Value, ToSingle))); break;
    case PT_MV_DOUBLE: SetMulti(v.MVdbl, &SDoubleArray::lpdbl, Keep(Buffer, ArrayOf<double>(Value, ToDouble))); break;
    case PT_MV_CURRENCY:
      SetMulti(v.MVcur, &SCurrencyArray::lpcur, Keep(Buffer, ArrayOf<CURRENCY>(Value, ToCurrency)));
      break;
    case PT_MV_I8:
      SetMulti(v.MVli, &SLargeIntegerArray::lpli, Keep(Buffer, ArrayOf<LARGE_INTEGER>(Value, ToLargeInt)));
      break;
    case PT_MV_CLSID: SetMulti(v.MVguid, &SGuidArray::lpguid, Keep(Buffer, ArrayOf<GUID>(Value, ToGUID))); break;
    case PT_MV_BINARY: {
      std::vector<std::vector<BYTE>> values;
      for (const TVoVariant& item : Elements(Value)) values.push_back(EntryIDToArr(item));
      SetMulti(v.MVbin, &SBinaryArray::lpbin, Keep(Buffer, std::make_unique<TVoMAPIBinArrBuffer>(std::move(values))));
      break;
    }
    case PT_MV_STRING8: {
      std::vector<AnsiString> texts;
      for (const WideString& text : TextsOf(Value)) texts.push_back(TVoEncoding::ConvertA(text));
      SetMulti(v.MVszA, &SLPSTRArray::lppszA,
               Keep(Buffer, std::make_unique<TVoMAPIAnsiStringArrBuffer>(std::move(texts))));
      break;
    }
    case PT_MV_UNICODE:
      SetMulti(v.MVszW, &SWStringArray::lppszW,
               Keep(Buffer, std::make_unique<TVoMAPIWideStringArrBuffer>(TextsOf(Value))));
      break;
    default: kit::Raise(E_INVALIDARG, u"The PropList does not support data of type %d!", {int32_t(type)});
  }
  return result;
}

namespace {

// An array variant of the count values at items, each made a variant by convert.
template <class T, class Convert>
TVoVariant VariantArrayOf(ULONG count, const T* items, Convert convert) {
  TVoVariant::VariantArray result;
  if (items) {
    result.reserve(count);
    for (ULONG i = 0; i < count; ++i) result.push_back(convert(items[i]));
  }
  return TVoVariant(std::move(result));
}

TVoVariant ByteArrayOf(const SBinary& bin) {
  if (!bin.lpb) return TVoVariant(TVoVariant::ByteArray());
  return TVoVariant(TVoVariant::ByteArray(bin.lpb, bin.lpb + bin.cb));
}
TVoVariant AnsiText(const char* text) { return TVoVariant(text ? TVoEncoding::ConvertW(text) : WideString()); }
TVoVariant WideText(const char16_t* text) { return TVoVariant(text ? WideString(text) : WideString()); }
TVoVariant GUIDText(const GUID& guid) { return TVoVariant(GUIDToString(guid)); }
TVoVariant Amount(const CURRENCY& cur) { return TVoVariant(double(cur.int64) / kCurrencyScale); }

}  // namespace

TVoVariant VoMAPIPropVarValue(const SPropValue& Value, const TVoVariant& Default) {
  const __UPV& v = Value.Value;
  switch (PROP_TYPE(Value.ulPropTag)) {
    case PT_I2: return TVoVariant(v.i);
    case PT_LONG: return TVoVariant(int32_t(v.l));
    case PT_R4: return TVoVariant(v.flt);
    case PT_DOUBLE: return TVoVariant(v.dbl);
    case PT_APPTIME: return TVoVariant(v.at);
    case PT_CURRENCY: return Amount(v.cur);
    case PT_BOOLEAN: return TVoVariant(v.b != 0);
    case PT_I8: return TVoVariant(int64_t(v.li.QuadPart));
    case PT_SYSTIME: return TVoVariant::FromDate(FileTimeToDateTime(v.ft));
    case PT_CLSID: return v.lpguid ? GUIDText(*v.lpguid) : Default;
    case PT_STRING8: return AnsiText(v.lpszA);
    case PT_UNICODE: return WideText(v.lpszW);
    case PT_OBJECT: return TVoVariant(u"<object>");
    case PT_BINARY: return ByteArrayOf(v.bin);
    case PT_MV_I2: return VariantArrayOf(v.MVi.cValues, v.MVi.lpi, [](int16_t x) { return TVoVariant(x); });
    case PT_MV_LONG: return VariantArrayOf(v.MVl.cValues, v.MVl.lpl, [](LONG x) { return TVoVariant(int32_t(x)); });
    case PT_MV_I8:
      return VariantArrayOf(v.MVli.cValues, v.MVli.lpli,
                            [](const LARGE_INTEGER& x) { return TVoVariant(int64_t(x.QuadPart)); });
    case PT_MV_R4: return VariantArrayOf(v.MVflt.cValues, v.MVflt.lpflt, [](float x) { return TVoVariant(x); });
    case PT_MV_DOUBLE: return VariantArrayOf(v.MVdbl.cValues, v.MVdbl.lpdbl, [](double x) { return TVoVariant(x); });
    case PT_MV_CURRENCY: return VariantArrayOf(v.MVcur.cValues, v.MVcur.lpcur, Amount);
    case PT_MV_STRING8: return VariantArrayOf(v.MVszA.cValues, v.MVszA.lppszA, AnsiText);
    case PT_MV_UNICODE: return VariantArrayOf(v.MVszW.cValues, v.MVszW.lppszW, WideText);
    case PT_MV_CLSID: return VariantArrayOf(v.MVguid.cValues, v.MVguid.lpguid, GUIDText);
    case PT_MV_BINARY: return VariantArrayOf(v.MVbin.cValues, v.MVbin.lpbin, ByteArrayOf);
    default: return Default;  // PT_ERROR and the types without a variant form
  }
}

}  // namespace orba
