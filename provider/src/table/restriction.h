// Evaluation of MAPI restrictions against rows held in memory: the table engine's
// Restrict and FindRow, and any engine (search folders, the store's fallback) that
// must decide whether an object's properties satisfy a restriction.
//
// Semantics:
// - A restriction on a property the row lacks (or holds as an error value) is false;
//   RES_NOT of it is therefore true, and RES_EXIST is the way to test presence.
// - A multi-valued property compared with a single value of its base type (RES_PROPERTY,
//   RES_CONTENT) matches when any of its values matches; compared with a multi-valued
//   constant, the arrays compare element by element.
// - Strings compare case-insensitively (RES_PROPERTY, RES_COMPAREPROPS); a string of
//   the other width is converted through the system code page before comparing.
// - RELOP_RE is a POSIX extended regular expression (regcomp with REG_EXTENDED |
//   REG_ICASE, on UTF-8 text), searched anywhere in the value; anchor it with ^ and $
//   to match the whole value. It applies to strings only.
// - FL_LOOSE implies FL_IGNORECASE and FL_IGNORENONSPACE; content restrictions on
//   binaries compare bytes exactly.
// - RES_SIZE measures the value as MAPI counts bytes: strings with their terminator,
//   binaries by cb, multi-valued properties as the sum of their values.
// - RES_COMMENT and RES_ANNOTATION evaluate their restriction (true without one);
//   RES_COUNT is true for the first ulCount rows that satisfy its restriction within
//   one pass (ResetCounts starts a new pass).
// Malformed restrictions are refused when compiled: null pointers or a count without
// its array give MAPI_E_INVALID_PARAMETER; unknown restriction types, operators or
// fuzzy levels, types that cannot be compared, mismatched types, nesting deeper than
// kMaxRestrictionDepth and sub-restrictions without a sub-object supplier give
// MAPI_E_TOO_COMPLEX.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "props/valuecopy.h"
#include "table/proprow.h"

namespace orba::store {

// Answers RES_SUBRESTRICTION: calls test with each sub-row (recipient or attachment
// row, by subObject) of row until test returns true, and returns whether it did.
using TSubRowsFn = std::function<bool(TPropRow row, ULONG subObject, const std::function<bool(TPropRow)>& test)>;

// A restriction checked and prepared for repeated evaluation. It refers to the
// SRestriction it was built from, which must outlive it and stay unchanged.
class TRestriction {
 public:
  // Throws TMapiError (MAPI_E_INVALID_PARAMETER, MAPI_E_TOO_COMPLEX) for a malformed
  // restriction. subRows may be empty when the rows have no sub-objects.
  TRestriction(const SRestriction& restriction, TSubRowsFn subRows);
  ~TRestriction();
  TRestriction(const TRestriction&) = delete;
  TRestriction& operator=(const TRestriction&) = delete;

  // Whether the row satisfies the restriction.
  bool Matches(TPropRow row) const;
  // Starts a new pass for RES_COUNT.
  void ResetCounts();

  struct TNode;

 private:
  std::unique_ptr<TNode> root_;
  TSubRowsFn subRows_;
};

// The bytes of a value as RES_SIZE measures it (see above); 0 for types without data.
size_t ValueSize(const SPropValue& value);
// Whether value relop constant holds as RES_PROPERTY compares a row's value with its
// constant (multi-valued values and string widths as above). RELOP_RE and unknown
// operators never hold.
bool ValuesSatisfy(const SPropValue& value, ULONG relop, const SPropValue& constant);
// Whether value (a string or binary, single or multi-valued) contains sought (a single
// value of value's base type) as RES_CONTENT with fuzzyLevel finds it.
bool ValueContains(const SPropValue& value, const SPropValue& sought, ULONG fuzzyLevel);

// Checks a restriction without keeping anything (TMapiError as TRestriction's
// constructor throws); subObjects says whether sub-restrictions can be answered.
void ValidateRestriction(const SRestriction& restriction, bool subObjects);

}  // namespace orba::store
