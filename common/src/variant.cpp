#include "orba/common/variant.h"

#include <cmath>
#include <type_traits>

#include "orba/common/exceptions.h"

namespace orba {
namespace {

[[noreturn]] void NotAnArray(uint16_t type) {
  throw EVoException(u"Could not convert variant of type (" + VarTypeAsText(type) + u") into type (" +
                         VarTypeAsText(varArray | varVariant) + u")",
                     DISP_E_TYPEMISMATCH);
}

// Integers of any width and signedness by their mathematical value.
template <class A, class B>
bool SameInteger(const A& a, const B& b) {
  if constexpr (std::is_same_v<A, B>)
    return a == b;
  else if constexpr (std::is_same_v<A, int64_t>)
    return a >= 0 && uint64_t(a) == b;
  else
    return SameInteger(b, a);
}

}  // namespace

TVoVariant TVoVariant::Null() { return TVoVariant(varNull, int64_t(0)); }

TVoVariant TVoVariant::FromDate(TDateTime value) { return TVoVariant(varDate, value); }

TVoVariant TVoVariant::FromError(int32_t code) { return TVoVariant(varError, int64_t(code)); }

TVoVariant TVoVariant::FromCurrency(double amount) { return VarAsType(TVoVariant(amount), varCurrency); }

size_t TVoVariant::ArrayLength() const {
  if (type_ == (varArray | varByte)) return Bytes().size();
  return Items().size();
}

TVoVariant TVoVariant::ArrayItem(size_t index) const {
  if (index >= ArrayLength()) throw EVoException(u"Variant or safe array index out of bounds", DISP_E_BADINDEX);
  if (type_ == (varArray | varByte)) return TVoVariant(Bytes()[index]);
  return Items()[index];
}

const TVoVariant::ByteArray& TVoVariant::Bytes() const {
  if (const ByteArray* bytes = std::get_if<ByteArray>(&value_)) return *bytes;
  throw EVoException(u"Could not convert variant of type (" + VarTypeAsText(type_) + u") into type (" +
                         VarTypeAsText(varArray | varByte) + u")",
                     DISP_E_TYPEMISMATCH);
}

const TVoVariant::VariantArray& TVoVariant::Items() const {
  if (const VariantArray* items = std::get_if<VariantArray>(&value_)) return *items;
  NotAnArray(type_);
}

ComPtr<IUnknown> TVoVariant::Interface() const {
  if (const ComPtr<IUnknown>* unknown = std::get_if<ComPtr<IUnknown>>(&value_)) return *unknown;
  if (type_ == varEmpty || type_ == varNull) return nullptr;
  throw EVoException(u"Could not convert variant of type (" + VarTypeAsText(type_) + u") into type (Unknown)",
                     DISP_E_TYPEMISMATCH);
}

int32_t TVoVariant::ErrorCode() const {
  if (type_ != varError)
    throw EVoException(u"Could not convert variant of type (" + VarTypeAsText(type_) + u") into type (Error)",
                       DISP_E_TYPEMISMATCH);
  return static_cast<int32_t>(std::get<int64_t>(value_));
}

TVoCurrency TVoVariant::Currency() const {
  return TVoCurrency{std::get<int64_t>(VarAsType(*this, varCurrency).value_)};
}

bool operator==(const TVoVariant& a, const TVoVariant& b) { return a.type_ == b.type_ && a.value_ == b.value_; }

bool VarSameValue(const TVoVariant& a, const TVoVariant& b) {
  const TVoVarKind kind = TVoTypes::VarMainTypeKind(a);
  if (kind != TVoTypes::VarMainTypeKind(b)) return false;
  switch (kind) {
    case TVoVarKind::Array:
      if (a.type_ == b.type_ && a.type_ == (varArray | varByte)) return a.Bytes() == b.Bytes();
      if (a.ArrayLength() != b.ArrayLength()) return false;
      for (size_t i = 0; i < a.ArrayLength(); ++i)
        if (!VarSameValue(a.ArrayItem(i), b.ArrayItem(i))) return false;
      return true;
    case TVoVarKind::Integer:
      return std::visit(
          [](const auto& x, const auto& y) {
            using X = std::decay_t<decltype(x)>;
            using Y = std::decay_t<decltype(y)>;
            if constexpr (std::is_integral_v<X> && std::is_integral_v<Y>)
              return SameInteger(x, y);
            else
              return false;
          },
          a.value_, b.value_);
    case TVoVarKind::Float: return VoVarToFloat(a) == VoVarToFloat(b);
    default: return a.value_ == b.value_;
  }
}

bool VarIsEmpty(const TVoVariant& value) { return value.IsEmpty(); }
bool VarIsNull(const TVoVariant& value) { return value.IsNull(); }
bool VarIsArray(const TVoVariant& value) { return value.IsArray(); }

WideString VarTypeAsText(uint16_t varType) {
  static const char16_t* const kNames[] = {u"Empty",    u"Null",     u"Smallint", u"Integer",  u"Single",   u"Double",
                                           u"Currency", u"Date",     u"OleStr",   u"Dispatch", u"Error",    u"Boolean",
                                           u"Variant",  u"Unknown",  u"Decimal",  u"0x000F",   u"ShortInt", u"Byte",
                                           u"Word",     u"LongWord", u"Int64",    u"UInt64"};
  const uint16_t base = varType & varTypeMask;
  WideString name = base < std::size(kNames) ? kNames[base] : u"Unknown type";
  return (varType & varArray) ? u"Array " + name : name;
}

TVoVarKind TVoTypes::VarMainTypeKind(uint16_t varType) {
  if (varType & varArray) return TVoVarKind::Array;
  switch (varType & varTypeMask) {
    case varEmpty: return TVoVarKind::Empty;
    case varNull: return TVoVarKind::Null;
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
    case varUInt64: return TVoVarKind::Integer;
    case varSingle:
    case varDouble:
    case varCurrency: return TVoVarKind::Float;
    case varDate: return TVoVarKind::Date;
    case varOleStr: return TVoVarKind::String;
    case varBoolean: return TVoVarKind::Boolean;
    case varError: return TVoVarKind::Error;
    case varDispatch:
    case varUnknown: return TVoVarKind::Interface;
    default: return TVoVarKind::Other;
  }
}

TVoVarKind TVoTypes::VarMainTypeKind(const TVoVariant& value) { return VarMainTypeKind(value.VarType()); }

}  // namespace orba
