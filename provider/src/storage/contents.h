// The contents of a folder as its contents table reads them: one row per message with
// the record's columns and its stored properties (those of up to 1024 bytes, and the
// texts the store sorts and filters on, whatever their size), selected by a restriction,
// in a sort order, a page at a time. A backend evaluates the restrictions and sort orders
// it accepts itself; the table engine evaluates the others on the rows.
//
// Thread-safe: every query reads one snapshot of the store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

#include "storage/storetypes.h"

namespace orba::store {

// One message of a contents query.
struct TContentsRow {
  int64_t id = 0;
  int64_t folderId = 0;
  ULONG flags = 0;
  ULONG size = 0;
  ULONG status = 0;
  int64_t creationTime = 0;
  int64_t modificationTime = 0;
  Bytes searchKey, sourceKey, changeKey;
  bool hasAttach = false;
  TStoredProps props;  // in property identifier order
};

struct TContentsQuery {
  int64_t folderId = 0;
  bool associated = false;
  const SRestriction* restriction = nullptr;  // one AcceptsRestriction took; null: every message
  const SSortOrderSet* sort = nullptr;        // one AcceptsSort took; null: by id
  // A page of the rows, only with a restriction IsExact answers true for.
  size_t offset = 0;
  size_t limit = std::numeric_limits<size_t>::max();
};

// Receives the rows of a query one at a time, while the store is read: it must not
// change the store.
using TContentsRowSink = std::function<void(const TContentsRow&)>;

class IFolderContents {
 public:
  virtual ~IFolderContents() = default;

  // Whether queries take this restriction or sort order.
  virtual bool AcceptsRestriction(const SRestriction& restriction) const = 0;
  virtual bool AcceptsSort(const SSortOrderSet& sort) const = 0;
  // Whether the backend selects exactly the rows of an accepted restriction (and can
  // then hand them out a page at a time).
  virtual bool IsExact(const SRestriction& restriction) const = 0;

  // Gives each row the query selects to each, in the sort order (rows of equal sort
  // keys in id order). Answers false when the rows are a superset of
  // those the restriction selects (the caller checks them again). MAPI_E_NO_SUPPORT for a
  // page of an inexact restriction.
  virtual bool Query(const TContentsQuery& query, const TContentsRowSink& each) = 0;
  // The row of one message of a folder, if it is there.
  virtual std::optional<TContentsRow> Row(int64_t folderId, bool associated, int64_t messageId) = 0;
  // The rows of the listed messages that are in a folder (normal messages only), in id
  // order: the results a stopped search keeps.
  virtual std::vector<TContentsRow> Rows(const std::vector<int64_t>& messageIds) = 0;
};

}  // namespace orba::store
