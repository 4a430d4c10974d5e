#include "table/restriction.h"

#include <locale.h>
#include <regex.h>

#include <algorithm>
#include <cstring>

#include "base/maperror.h"
#include "orba/common/utf8.h"
#include "props/tags.h"
#include "table/propcompare.h"

namespace orba::store {

namespace {

constexpr ULONG kFuzzyOptions = FL_IGNORECASE | FL_IGNORENONSPACE | FL_LOOSE;

[[noreturn]] void Refuse(HRESULT code, const char* why) { throw TMapiError(code, why); }

void Require(bool condition, HRESULT code, const char* why) {
  if (!condition) Refuse(code, why);
}

// Switches the calling thread to a UTF-8 character type while it lives, so that the
// regular expression functions see characters, not bytes (the process's locale stays
// untouched). Without a UTF-8 locale on the system, bytes it is.
class TUtf8Scope {
 public:
  TUtf8Scope() {
    static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    if (utf8) previous_ = uselocale(utf8);
  }
  ~TUtf8Scope() {
    if (previous_) uselocale(previous_);
  }
  TUtf8Scope(const TUtf8Scope&) = delete;
  TUtf8Scope& operator=(const TUtf8Scope&) = delete;

 private:
  locale_t previous_ = nullptr;
};

// A compiled POSIX regular expression over UTF-8 text.
class TRegex {
 public:
  explicit TRegex(const std::string& pattern) {
    TUtf8Scope utf8;
    if (regcomp(&regex_, pattern.c_str(), REG_EXTENDED | REG_ICASE | REG_NOSUB) != 0)
      Refuse(MAPI_E_INVALID_PARAMETER, "invalid regular expression");
  }
  ~TRegex() { regfree(&regex_); }
  TRegex(const TRegex&) = delete;
  TRegex& operator=(const TRegex&) = delete;
  bool Search(const std::string& text) const {
    TUtf8Scope utf8;
    return regexec(&regex_, text.c_str(), 0, nullptr, 0) == 0;
  }

 private:
  regex_t regex_;
};

bool RelopHolds(ULONG relop, int order) {
  switch (relop) {
    case RELOP_LT: return order < 0;
    case RELOP_LE: return order <= 0;
    case RELOP_GT: return order > 0;
    case RELOP_GE: return order >= 0;
    case RELOP_EQ: return order == 0;
    case RELOP_NE: return order != 0;
    default: return false;
  }
}

// Compares a row's single value with a constant of the same base type or of the
// other string width.
int CompareMixed(ULONG typeA, const __UPV& a, ULONG typeB, const __UPV& b) {
  if (typeA == typeB) return CompareValues(typeA, a, b);
  return CompareTextNoCase(WideText(typeA, a), WideText(typeB, b));
}

size_t SingleSize(ULONG type, const __UPV& v) {
  switch (type) {
    case PT_I2: return sizeof(int16_t);
    case PT_LONG:
    case PT_R4:
    case PT_ERROR: return sizeof(LONG);
    case PT_BOOLEAN: return sizeof(uint16_t);
    case PT_DOUBLE:
    case PT_APPTIME:
    case PT_CURRENCY:
    case PT_I8:
    case PT_SYSTIME: return 8;
    case PT_CLSID: return sizeof(GUID);
    case PT_BINARY: return v.bin.cb;
    case PT_STRING8: return (v.lpszA ? std::strlen(v.lpszA) : 0) + 1;
    case PT_UNICODE: return ((v.lpszW ? std::char_traits<char16_t>::length(v.lpszW) : 0) + 1) * sizeof(WCHAR);
    default: return 0;
  }
}

bool IsValidRelop(ULONG relop) { return relop <= RELOP_NE; }

// The text folding of a fuzzy level's options: FL_LOOSE implies both of the others.
TTextFolding FoldingOf(ULONG fuzzyLevel) {
  bool loose = (fuzzyLevel & FL_LOOSE) != 0;
  return {loose || (fuzzyLevel & FL_IGNORECASE) != 0, loose || (fuzzyLevel & FL_IGNORENONSPACE) != 0};
}

}  // namespace

size_t ValueSize(const SPropValue& value) {
  size_t size = 0;
  for (ULONG i = 0; i < ValueCount(value); ++i) size += SingleSize(BaseType(value.ulPropTag), ValueAt(value, i));
  return size;
}

bool ValuesSatisfy(const SPropValue& rowValue, ULONG relop, const SPropValue& constant) {
  ULONG rowType = BaseType(rowValue.ulPropTag), constType = BaseType(constant.ulPropTag);
  if (IsMultiValued(rowValue.ulPropTag) && !IsMultiValued(constant.ulPropTag)) {
    for (ULONG i = 0; i < ValueCount(rowValue); ++i)
      if (RelopHolds(relop, CompareMixed(rowType, ValueAt(rowValue, i), constType, constant.Value))) return true;
    return false;
  }
  if (IsMultiValued(rowValue.ulPropTag) != IsMultiValued(constant.ulPropTag)) return false;
  if (!IsMultiValued(rowValue.ulPropTag))
    return RelopHolds(relop, CompareMixed(rowType, rowValue.Value, constType, constant.Value));
  ULONG countA = ValueCount(rowValue), countB = ValueCount(constant);
  int order = 0;
  for (ULONG i = 0; i < std::min(countA, countB) && order == 0; ++i)
    order = CompareMixed(rowType, ValueAt(rowValue, i), constType, ValueAt(constant, i));
  if (order == 0) order = countA < countB ? -1 : (countA > countB ? 1 : 0);
  return RelopHolds(relop, order);
}

struct TRestriction::TNode {
  const SRestriction* source = nullptr;
  std::vector<TNode> children;
  WideString pattern;             // RES_CONTENT on strings: the folded text sought
  TTextFolding folding;           // RES_CONTENT on strings
  std::unique_ptr<TRegex> regex;  // RES_PROPERTY with RELOP_RE
  mutable ULONG matched = 0;      // RES_COUNT: matches in this pass
};

namespace {

using TNode = TRestriction::TNode;

void CheckPropertyTypes(ULONG tag, const SPropValue* constant) {
  Require(constant != nullptr, MAPI_E_INVALID_PARAMETER, "restriction without its value");
  ULONG type = PROP_TYPE(tag) & ~MV_INSTANCE, constType = PROP_TYPE(constant->ulPropTag) & ~MV_INSTANCE;
  Require(IsComparableType(BaseType(type)), MAPI_E_TOO_COMPLEX, "property type cannot be compared");
  // The constant has the tag's type, or its base type when the tag is multi-valued.
  Require(constType == type || (IsMultiValued(type) && constType == BaseType(type)), MAPI_E_TOO_COMPLEX,
          "value type differs from the property type");
}

void CompileContent(TNode& node, const SContentRestriction& content) {
  Require(content.lpProp != nullptr, MAPI_E_INVALID_PARAMETER, "content restriction without its value");
  ULONG type = BaseType(content.ulPropTag);
  Require(type == PT_STRING8 || type == PT_UNICODE || type == PT_BINARY, MAPI_E_TOO_COMPLEX,
          "content restriction on a type other than string or binary");
  Require(PROP_TYPE(content.lpProp->ulPropTag) == type, MAPI_E_TOO_COMPLEX,
          "value type differs from the property type");
  ULONG level = content.ulFuzzyLevel & 0xFFFF, options = content.ulFuzzyLevel & 0xFFFF0000u;
  Require(level <= FL_PREFIX && (options & ~kFuzzyOptions) == 0, MAPI_E_TOO_COMPLEX, "unknown fuzzy level");
  if (type == PT_BINARY) {
    Require(content.lpProp->Value.bin.cb == 0 || content.lpProp->Value.bin.lpb, MAPI_E_INVALID_PARAMETER,
            "binary value without its bytes");
    return;
  }
  node.folding = FoldingOf(content.ulFuzzyLevel);
  node.pattern = FoldText(WideText(type, content.lpProp->Value), node.folding);
}

void Compile(TNode& node, const SRestriction& r, bool subObjects, size_t depth) {
  Require(depth < kMaxRestrictionDepth, MAPI_E_TOO_COMPLEX, "restriction nested too deeply");
  node.source = &r;
  auto child = [&](const SRestriction* sub) {
    Require(sub != nullptr, MAPI_E_INVALID_PARAMETER, "restriction without its sub-restriction");
    Compile(node.children.emplace_back(), *sub, subObjects, depth + 1);
  };
  auto list = [&](ULONG count, const SRestriction* items) {
    Require(count == 0 || items, MAPI_E_INVALID_PARAMETER, "restriction count without its array");
    node.children.reserve(count);
    for (ULONG i = 0; i < count; ++i) child(&items[i]);
  };
  auto comment = [&](ULONG count, const SPropValue* values, const SRestriction* sub) {
    Require(count == 0 || values, MAPI_E_INVALID_PARAMETER, "comment count without its values");
    if (sub) child(sub);
  };
  switch (r.rt) {
    case RES_AND: list(r.res.resAnd.cRes, r.res.resAnd.lpRes); break;
    case RES_OR: list(r.res.resOr.cRes, r.res.resOr.lpRes); break;
    case RES_NOT: child(r.res.resNot.lpRes); break;
    case RES_COUNT: child(r.res.resCount.lpRes); break;
    case RES_COMMENT: comment(r.res.resComment.cValues, r.res.resComment.lpProp, r.res.resComment.lpRes); break;
    case RES_ANNOTATION:
      comment(r.res.resAnnotation.cValues, r.res.resAnnotation.lpProp, r.res.resAnnotation.lpRes);
      break;
    case RES_SUBRESTRICTION:
      Require(
          r.res.resSub.ulSubObject == tags::kMessageRecipients || r.res.resSub.ulSubObject == tags::kMessageAttachments,
          MAPI_E_TOO_COMPLEX, "unknown sub-object");
      Require(subObjects, MAPI_E_TOO_COMPLEX, "rows without sub-objects");
      child(r.res.resSub.lpRes);
      break;
    case RES_CONTENT: CompileContent(node, r.res.resContent); break;
    case RES_PROPERTY: {
      const SPropertyRestriction& prop = r.res.resProperty;
      Require(prop.relop <= RELOP_RE, MAPI_E_TOO_COMPLEX, "unknown relational operator");
      CheckPropertyTypes(prop.ulPropTag, prop.lpProp);
      if (prop.relop == RELOP_RE) {
        ULONG type = PROP_TYPE(prop.lpProp->ulPropTag);
        Require(IsStringType(type), MAPI_E_TOO_COMPLEX, "regular expression on a type other than string");
        node.regex = std::make_unique<TRegex>(ToUtf8(WideText(type, prop.lpProp->Value)));
      }
      break;
    }
    case RES_COMPAREPROPS: {
      const SComparePropsRestriction& cmp = r.res.resCompareProps;
      Require(IsValidRelop(cmp.relop), MAPI_E_TOO_COMPLEX, "unknown relational operator");
      ULONG type1 = PROP_TYPE(cmp.ulPropTag1) & ~MV_INSTANCE, type2 = PROP_TYPE(cmp.ulPropTag2) & ~MV_INSTANCE;
      Require(type1 == type2 && IsComparableType(BaseType(type1)), MAPI_E_TOO_COMPLEX,
              "compared properties differ in type");
      break;
    }
    case RES_BITMASK: {
      const SBitMaskRestriction& mask = r.res.resBitMask;
      Require(mask.relBMR == BMR_EQZ || mask.relBMR == BMR_NEZ, MAPI_E_TOO_COMPLEX, "unknown bitmask operator");
      ULONG type = PROP_TYPE(mask.ulPropTag);
      Require(type == PT_LONG || type == PT_I2 || type == PT_I8 || type == PT_BOOLEAN, MAPI_E_TOO_COMPLEX,
              "bitmask on a type other than integer");
      break;
    }
    case RES_SIZE: Require(IsValidRelop(r.res.resSize.relop), MAPI_E_TOO_COMPLEX, "unknown relational operator"); break;
    case RES_EXIST: break;
    default: Refuse(MAPI_E_TOO_COMPLEX, "unknown restriction type");
  }
}

// Whether value holds the folded pattern (strings) or the bytes sought (binaries) as the
// fuzzy level (FL_FULLSTRING, FL_PREFIX, FL_SUBSTRING) asks.
bool Contains(const SPropValue& value, ULONG level, const TTextFolding& folding, std::u16string_view pattern,
              const SBinary& sought) {
  auto matchesText = [&](std::u16string_view text) {
    switch (level) {
      case FL_FULLSTRING: return text == pattern;
      case FL_PREFIX: return text.substr(0, pattern.size()) == pattern;
      default: return text.find(pattern) != std::u16string_view::npos;
    }
  };
  auto matchesBytes = [&](const SBinary& bin) {
    std::string_view bytes(reinterpret_cast<const char*>(bin.lpb), bin.lpb ? bin.cb : 0);
    std::string_view soughtBytes(reinterpret_cast<const char*>(sought.lpb), sought.lpb ? sought.cb : 0);
    switch (level) {
      case FL_FULLSTRING: return bytes == soughtBytes;
      case FL_PREFIX: return bytes.substr(0, soughtBytes.size()) == soughtBytes;
      default: return bytes.find(soughtBytes) != std::string_view::npos;
    }
  };
  ULONG type = BaseType(value.ulPropTag);
  for (ULONG i = 0; i < ValueCount(value); ++i) {
    __UPV single = ValueAt(value, i);
    bool hit = type == PT_BINARY ? matchesBytes(single.bin) : matchesText(FoldText(WideText(type, single), folding));
    if (hit) return true;
  }
  return false;
}

bool ContentMatches(const TNode& node, const SContentRestriction& content, const SPropValue& value) {
  return Contains(value, content.ulFuzzyLevel & 0xFFFF, node.folding, node.pattern, content.lpProp->Value.bin);
}

bool RegexMatches(const TRegex& regex, const SPropValue& value) {
  ULONG type = BaseType(value.ulPropTag);
  for (ULONG i = 0; i < ValueCount(value); ++i)
    if (regex.Search(ToUtf8(WideText(type, ValueAt(value, i))))) return true;
  return false;
}

bool BitmaskMatches(const SBitMaskRestriction& mask, const SPropValue& value) {
  uint64_t bits = 0;
  switch (PROP_TYPE(value.ulPropTag)) {
    case PT_I2: bits = static_cast<uint16_t>(value.Value.i); break;
    case PT_LONG: bits = value.Value.ul; break;
    case PT_I8: bits = static_cast<uint64_t>(value.Value.li.QuadPart); break;
    case PT_BOOLEAN: bits = value.Value.b; break;
    default: return false;
  }
  bool zero = (bits & mask.ulMask) == 0;
  return mask.relBMR == BMR_EQZ ? zero : !zero;
}

bool Evaluate(const TNode& node, TPropRow row, const TSubRowsFn& subRows) {
  const SRestriction& r = *node.source;
  switch (r.rt) {
    case RES_AND:
      return std::all_of(node.children.begin(), node.children.end(),
                         [&](const TNode& c) { return Evaluate(c, row, subRows); });
    case RES_OR:
      return std::any_of(node.children.begin(), node.children.end(),
                         [&](const TNode& c) { return Evaluate(c, row, subRows); });
    case RES_NOT: return !Evaluate(node.children[0], row, subRows);
    case RES_COMMENT:
    case RES_ANNOTATION: return node.children.empty() || Evaluate(node.children[0], row, subRows);
    case RES_COUNT: {
      if (node.matched >= r.res.resCount.ulCount || !Evaluate(node.children[0], row, subRows)) return false;
      ++node.matched;
      return true;
    }
    case RES_SUBRESTRICTION:
      return subRows(row, r.res.resSub.ulSubObject,
                     [&](TPropRow sub) { return Evaluate(node.children[0], sub, subRows); });
    case RES_CONTENT: {
      const SPropValue* value = FindProp(row, r.res.resContent.ulPropTag);
      return value && ContentMatches(node, r.res.resContent, *value);
    }
    case RES_PROPERTY: {
      const SPropertyRestriction& prop = r.res.resProperty;
      const SPropValue* value = FindProp(row, prop.ulPropTag);
      if (!value) return false;
      if (prop.relop == RELOP_RE) return RegexMatches(*node.regex, *value);
      return ValuesSatisfy(*value, prop.relop, *prop.lpProp);
    }
    case RES_COMPAREPROPS: {
      const SComparePropsRestriction& cmp = r.res.resCompareProps;
      const SPropValue* a = FindProp(row, cmp.ulPropTag1);
      const SPropValue* b = FindProp(row, cmp.ulPropTag2);
      return a && b && ValuesSatisfy(*a, cmp.relop, *b);
    }
    case RES_BITMASK: {
      const SPropValue* value = FindProp(row, r.res.resBitMask.ulPropTag);
      return value && BitmaskMatches(r.res.resBitMask, *value);
    }
    case RES_SIZE: {
      const SPropValue* value = FindProp(row, r.res.resSize.ulPropTag);
      if (!value) return false;
      size_t size = ValueSize(*value), limit = r.res.resSize.cb;
      return RelopHolds(r.res.resSize.relop, size < limit ? -1 : (size > limit ? 1 : 0));
    }
    case RES_EXIST: return FindProp(row, r.res.resExist.ulPropTag) != nullptr;
    default: return false;
  }
}

void ResetNode(TNode& node) {
  node.matched = 0;
  for (TNode& child : node.children) ResetNode(child);
}

}  // namespace

TRestriction::TRestriction(const SRestriction& restriction, TSubRowsFn subRows)
    : root_(std::make_unique<TNode>()), subRows_(std::move(subRows)) {
  Compile(*root_, restriction, static_cast<bool>(subRows_), 0);
}

TRestriction::~TRestriction() = default;

bool TRestriction::Matches(TPropRow row) const { return Evaluate(*root_, row, subRows_); }

void TRestriction::ResetCounts() { ResetNode(*root_); }

bool ValueContains(const SPropValue& value, const SPropValue& sought, ULONG fuzzyLevel) {
  TTextFolding folding = FoldingOf(fuzzyLevel);
  ULONG type = BaseType(sought.ulPropTag);
  WideString pattern = type == PT_BINARY ? WideString() : FoldText(WideText(type, sought.Value), folding);
  return Contains(value, fuzzyLevel & 0xFFFF, folding, pattern, sought.Value.bin);
}

void ValidateRestriction(const SRestriction& restriction, bool subObjects) {
  TNode root;
  Compile(root, restriction, subObjects, 0);
}

}  // namespace orba::store
