// SQL for the restrictions and sort orders a contents query takes into the messages
// table's query (the SQLite backend's side of contents.h).
//
// Only the properties the store keeps as columns of its messages table are
// translated (message class, subjects, sender name, times, importance, flags, size,
// status, attachment flag), and only where SQL gives exactly the table engine's
// answer (restriction.h, propcompare.h): texts compare as the engine folds them (the
// columns hold that folded form), FILETIMEs as unsigned and PT_LONG values as signed
// 32-bit numbers, a missing value satisfies no comparison (also under RES_NOT).
// Everything else is declined, so that the engine evaluates it.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "mapi/mapidefs.h"
#include "props/propcodec.h"

namespace orba::store::sqlite {

// A value bound to one parameter of the query.
using TSqlParam = std::variant<int64_t, Bytes>;

// A condition on the messages table "m".
struct TSqlCondition {
  std::string sql;
  std::vector<TSqlParam> params;  // for parameters ?firstParam, ?firstParam+1, ...
  // false: the condition selects a superset (substring searches on the folded
  // columns may match across character boundaries); check the rows again.
  bool exact = true;
};

bool CanRestrictInSql(const SRestriction& restriction);
// The condition of an accepted restriction, its parameters numbered from firstParam.
TSqlCondition RestrictionSql(const SRestriction& restriction, int firstParam);

bool CanSortInSql(const SSortOrderSet& sort);
// The time columns an accepted sort order uses.
std::vector<std::string> SortTimeColumns(const SSortOrderSet& sort);
// The ORDER BY terms of an accepted sort order, each followed by ", ". bigTimes: a
// time column of the sort holds a FILETIME beyond the signed 64-bit range, so that
// the times must be compared through an expression (without them the columns'
// own order is the engine's, and SQLite can read it from an index).
std::string SortSql(const SSortOrderSet& sort, bool bigTimes);

}  // namespace orba::store::sqlite
