// How a store's database keeps property values: property tables (columns owner,
// prop_id, tag, value; one row per property identifier), property lists in one blob
// (recipient rows), and the folded keys of the texts the store sorts and filters on.
// Internal to the SQLite backend.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "props/propcodec.h"
#include "storage/sqlite/sqlite.h"

namespace orba::store::sqlite {

// A property table's values of one owner, in identifier order.
TStoredProps ReadProps(TSqlDatabase& db, std::string_view table, std::string_view owner, int64_t id);
// Sets and deletes (deletedIds are property identifiers) values of one owner.
void WriteProps(TSqlDatabase& db, std::string_view table, std::string_view owner, int64_t id, const TStoredProps& set,
                const std::vector<ULONG>& deletedIds = {});

// A property list in one blob, and back (TMapiError(MAPI_E_CORRUPT_DATA) for a damaged one).
Bytes EncodePropList(const TStoredProps& props);
TStoredProps DecodePropList(std::span<const uint8_t> bytes);

// Checks that every value can be kept and decodes under its tag (MAPI_E_INVALID_TYPE for
// a type that cannot be stored, MAPI_E_CORRUPT_DATA for bytes that do not fit it).
void CheckProps(const TStoredProps& props);

// The sort key of a text: upper-case folded UTF-16 code units, big-endian, so that
// SQLite's BLOB order is the table engine's text order.
Bytes FoldKey(std::u16string_view text);

}  // namespace orba::store::sqlite
