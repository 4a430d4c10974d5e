// Evaluating a search folder's criteria: which messages of the searched folders
// satisfy the restriction, as rows of their folders' contents tables.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "mapiobjects/openstore.h"
#include "memory/mapimemory.h"
#include "table/restriction.h"
#include "table/tablesource.h"

namespace orba::store {

class TSearchEvaluator {
 public:
  // Criteria checked when they were set; a stored restriction that no longer decodes
  // raises TMapiError(MAPI_E_CORRUPT_DATA).
  TSearchEvaluator(std::shared_ptr<TOpenStore> store, const TSearchCriteria& criteria);
  ~TSearchEvaluator();

  // The folders searched.
  const std::vector<int64_t>& Scope() const { return scope_; }
  // The matching messages of one folder (of the scope or not), in id order.
  TRowList FolderRows(int64_t folderId) const;
  // The matching messages of every folder of the scope.
  TRowList Rows() const;

 private:
  bool Matches(const TTableRow& row) const;

  std::shared_ptr<TOpenStore> store_;
  std::vector<int64_t> scope_;
  TMapiBuffer<SRestriction> restriction_;
  std::unique_ptr<TRestriction> exact_;
  bool inSql_ = false;
  std::vector<ULONG> tags_;  // the properties the restriction reads from a message
};

// The rows of the messages ids (those still in a folder), in id order.
TRowList MessageRows(const std::shared_ptr<TOpenStore>& store, const std::vector<int64_t>& ids);

// The message and the folder of a contents table row.
int64_t RowMessageId(TPropRow row);
int64_t RowFolderId(const TOpenStore& store, TPropRow row);

// Answers a sub-restriction on a message's recipients or attachments (TSubRowsFn).
bool AnyMessageSubRow(TStoreEngine& engine, int64_t messageId, ULONG subObject,
                      const std::function<bool(TPropRow)>& test);

}  // namespace orba::store
