// SQL for contents table restrictions and sort orders: see contentsql.h.
#include "storage/sqlite/contentsql.h"
#include "base/filetime.h"

#include "props/tags.h"
#include "storage/sqlite/proptables.h"

namespace orba::store::sqlite {
namespace {

// How a column's SQL value relates to the property value the engine compares.
enum class TColumnKind {
  Text,      // the folded key of the text (storeutil's FoldKey)
  Time,      // a FILETIME as a signed 64-bit number: compared through FlipSign
  Long,      // a signed PT_LONG
  Unsigned,  // a ULONG record field, which the engine compares as a signed PT_LONG
  Boolean,   // 0 or 1
};

struct TColumn {
  ULONG tag;
  const char* sql;
  TColumnKind kind;
};

constexpr TColumn kColumns[] = {
    {tags::kMessageClassW, "m.message_class", TColumnKind::Text},
    {tags::kSubjectW, "m.subject", TColumnKind::Text},
    {tags::kNormalizedSubjectW, "m.normalized_subject", TColumnKind::Text},
    {tags::kSenderNameW, "m.sender_name", TColumnKind::Text},
    {tags::kMessageDeliveryTime, "m.delivery_time", TColumnKind::Time},
    {tags::kClientSubmitTime, "m.submit_time", TColumnKind::Time},
    {tags::kCreationTime, "m.creation_time", TColumnKind::Time},
    {tags::kLastModificationTime, "m.last_modification_time", TColumnKind::Time},
    {tags::kImportance, "m.importance", TColumnKind::Long},
    {tags::kMessageFlags, "m.flags", TColumnKind::Unsigned},
    {tags::kMessageSize, "m.size", TColumnKind::Unsigned},
    {tags::kMsgStatus, "m.status", TColumnKind::Unsigned},
    {tags::kHasAttach, "m.has_attach", TColumnKind::Boolean},
};

// The column of a property tag of exactly the column's type (sorts also take the
// 8-bit form of a text: the rows hold texts wide, which either form finds).
const TColumn* FindColumn(ULONG tag, bool eitherWidth) {
  for (const TColumn& column : kColumns) {
    if (PROP_ID(column.tag) != PROP_ID(tag)) continue;
    if (column.tag == tag) return &column;
    if (eitherWidth && column.kind == TColumnKind::Text && PROP_TYPE(tag) == PT_STRING8) return &column;
  }
  return nullptr;
}

// Flipping the sign bit maps unsigned 64-bit order onto SQLite's signed order
// (written with bit operations only: SQLite turns overflowing integers into reals).
std::string FlipSign(const std::string& sql) { return "((" + sql + " | (1 << 63)) & ~(" + sql + " & (1 << 63)))"; }

// The expression compared and sorted on for a column.
std::string Expression(const TColumn& column) {
  switch (column.kind) {
    case TColumnKind::Time: return FlipSign(column.sql);
    case TColumnKind::Unsigned: return std::string("(") + column.sql + " - ((" + column.sql + " & 2147483648) * 2))";
    default: return column.sql;
  }
}

// The constant of a comparison in the form of Expression.
TSqlParam Constant(const TColumn& column, const SPropValue& value) {
  switch (column.kind) {
    case TColumnKind::Text: return FoldKey(reinterpret_cast<const char16_t*>(value.Value.lpszW));
    case TColumnKind::Time: {
      uint64_t time = FileTimeBits(value.Value.ft);
      return static_cast<int64_t>(time ^ (uint64_t{1} << 63));
    }
    case TColumnKind::Boolean: return int64_t{value.Value.b != 0};
    default: return int64_t{value.Value.l};
  }
}

const char* Operator(ULONG relop) {
  switch (relop) {
    case RELOP_LT: return "<";
    case RELOP_LE: return "<=";
    case RELOP_GT: return ">";
    case RELOP_GE: return ">=";
    case RELOP_EQ: return "=";
    case RELOP_NE: return "<>";
    default: return nullptr;
  }
}

// Translates restriction into out (nullptr: only checks that it can be). negated says
// whether it lies under an odd number of RES_NOTs, where a superset is not allowed.
bool Translate(const SRestriction& restriction, bool negated, TSqlCondition* out, int& param) {
  auto add = [&](const std::string& sql, TSqlParam value, const char* close = ")") {
    if (!out) return;
    out->sql += sql + "?" + std::to_string(param++) + close;
    out->params.push_back(std::move(value));
  };
  switch (restriction.rt) {
    case RES_AND:
    case RES_OR: {
      const auto& list = restriction.res.resAnd;
      if (list.cRes && !list.lpRes) return false;
      const char* join = restriction.rt == RES_AND ? " AND " : " OR ";
      if (out) out->sql += list.cRes ? "(" : (restriction.rt == RES_AND ? "(1" : "(0");
      for (ULONG i = 0; i < list.cRes; ++i) {
        if (out && i) out->sql += join;
        if (!Translate(list.lpRes[i], negated, out, param)) return false;
      }
      if (out) out->sql += ")";
      return true;
    }
    case RES_NOT: {
      if (!restriction.res.resNot.lpRes) return false;
      if (out) out->sql += "(NOT ";
      if (!Translate(*restriction.res.resNot.lpRes, !negated, out, param)) return false;
      if (out) out->sql += ")";
      return true;
    }
    case RES_PROPERTY: {
      const SPropertyRestriction& p = restriction.res.resProperty;
      const TColumn* column = FindColumn(p.ulPropTag, false);
      const char* op = Operator(p.relop);
      if (!column || !op || !p.lpProp || p.lpProp->ulPropTag != column->tag) return false;
      if (column->kind == TColumnKind::Text && !p.lpProp->Value.lpszW) return false;
      std::string expr = Expression(*column);
      add("(" + expr + " IS NOT NULL AND " + expr + " " + op + " ", Constant(*column, *p.lpProp));
      return true;
    }
    case RES_CONTENT: {
      const SContentRestriction& c = restriction.res.resContent;
      const TColumn* column = FindColumn(c.ulPropTag, false);
      if (!column || column->kind != TColumnKind::Text || !c.lpProp || c.lpProp->ulPropTag != column->tag ||
          !c.lpProp->Value.lpszW)
        return false;
      // Case-insensitive only: the columns do not keep case, nor the accents FL_IGNORENONSPACE drops.
      if ((c.ulFuzzyLevel & 0xFFFF0000) != FL_IGNORECASE) return false;
      ULONG match = c.ulFuzzyLevel & 0xFFFF;
      Bytes key = FoldKey(reinterpret_cast<const char16_t*>(c.lpProp->Value.lpszW));
      std::string sql = std::string("(") + column->sql + " IS NOT NULL AND ";
      if (match == FL_FULLSTRING) {
        add(sql + column->sql + " = ", std::move(key));
      } else if (match == FL_PREFIX) {
        // substr of an empty blob is NULL, not an empty blob: an empty text has the empty prefix.
        std::string prefix =
            sql + "coalesce(substr(" + column->sql + ", 1, " + std::to_string(key.size()) + "), x'') = ";
        add(prefix, std::move(key));
      } else if (match == FL_SUBSTRING && !negated) {
        add(sql + "0 < instr(" + column->sql + ", ", std::move(key), "))");
        if (out) out->exact = false;
      } else {
        return false;
      }
      return true;
    }
    default: return false;
  }
}

}  // namespace

bool CanRestrictInSql(const SRestriction& restriction) {
  int param = 0;
  return Translate(restriction, false, nullptr, param);
}

TSqlCondition RestrictionSql(const SRestriction& restriction, int firstParam) {
  TSqlCondition condition;
  Translate(restriction, false, &condition, firstParam);
  return condition;
}

bool CanSortInSql(const SSortOrderSet& sort) {
  if (sort.cCategories || sort.cExpanded) return false;
  for (ULONG i = 0; i < sort.cSorts; ++i) {
    const SSortOrder& key = sort.aSort[i];
    if ((key.ulOrder != TABLE_SORT_ASCEND && key.ulOrder != TABLE_SORT_DESCEND) || !FindColumn(key.ulPropTag, true))
      return false;
  }
  return true;
}

std::vector<std::string> SortTimeColumns(const SSortOrderSet& sort) {
  std::vector<std::string> columns;
  for (ULONG i = 0; i < sort.cSorts; ++i) {
    const TColumn& column = *FindColumn(sort.aSort[i].ulPropTag, true);
    if (column.kind == TColumnKind::Time) columns.emplace_back(column.sql);
  }
  return columns;
}

std::string SortSql(const SSortOrderSet& sort, bool bigTimes) {
  std::string sql;
  for (ULONG i = 0; i < sort.cSorts; ++i) {
    const SSortOrder& key = sort.aSort[i];
    const TColumn& column = *FindColumn(key.ulPropTag, true);
    sql += column.kind == TColumnKind::Time && !bigTimes ? column.sql : Expression(column);
    sql += key.ulOrder == TABLE_SORT_DESCEND ? " DESC, " : ", ";
  }
  return sql;
}

}  // namespace orba::store::sqlite
