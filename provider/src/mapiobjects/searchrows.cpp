// Evaluating search criteria: see searchrows.h.
//
// The rows are those of the searched folders' contents tables, so a search folder's
// contents table has exactly their columns. A restriction the store engine's contents
// queries take is handed to them; any other is evaluated here by the table engine's
// restriction, with the values a row leaves out (large ones) read from the message and
// sub-restrictions answered from its recipients and attachments.
#include "mapiobjects/searchrows.h"

#include <algorithm>

#include "base/maperror.h"
#include "mapiobjects/tables.h"
#include "props/propvalues.h"
#include "props/restrictioncodec.h"
#include "props/tags.h"

namespace orba::store {
namespace {

// The properties a restriction reads from the object it tests (not those of the
// sub-objects a sub-restriction tests).
void CollectTags(const SRestriction& r, std::vector<ULONG>& tags) {
  auto add = [&](ULONG tag) {
    if (std::find(tags.begin(), tags.end(), tag) == tags.end()) tags.push_back(tag);
  };
  switch (r.rt) {
    case RES_AND:
    case RES_OR:
      for (ULONG i = 0; i < r.res.resAnd.cRes; ++i) CollectTags(r.res.resAnd.lpRes[i], tags);
      break;
    case RES_NOT: CollectTags(*r.res.resNot.lpRes, tags); break;
    case RES_CONTENT: add(r.res.resContent.ulPropTag); break;
    case RES_PROPERTY: add(r.res.resProperty.ulPropTag); break;
    case RES_COMPAREPROPS:
      add(r.res.resCompareProps.ulPropTag1);
      add(r.res.resCompareProps.ulPropTag2);
      break;
    case RES_BITMASK: add(r.res.resBitMask.ulPropTag); break;
    case RES_SIZE: add(r.res.resSize.ulPropTag); break;
    case RES_EXIST: add(r.res.resExist.ulPropTag); break;
    case RES_COMMENT:
    case RES_ANNOTATION:
      if (r.res.resComment.lpRes) CollectTags(*r.res.resComment.lpRes, tags);
      break;
    case RES_COUNT: CollectTags(*r.res.resCount.lpRes, tags); break;
    default: break;
  }
}

}  // namespace

TSearchEvaluator::TSearchEvaluator(std::shared_ptr<TOpenStore> store, const TSearchCriteria& criteria)
    : store_(std::move(store)), scope_(store_->Engine().Search().Scope(criteria)) {
  restriction_ = TMapiBuffer<SRestriction>::Allocate();
  DecodeRestriction(criteria.restriction, *restriction_, restriction_.get());
  inSql_ = store_->Engine().Contents().AcceptsRestriction(*restriction_);
  TStoreEngine& engine = store_->Engine();
  exact_ = std::make_unique<TRestriction>(
      *restriction_, [&engine](TPropRow row, ULONG subObject, const std::function<bool(TPropRow)>& test) {
        return AnyMessageSubRow(engine, RowMessageId(row), subObject, test);
      });
  CollectTags(*restriction_, tags_);
}

TSearchEvaluator::~TSearchEvaluator() = default;

TRowList TSearchEvaluator::FolderRows(int64_t folderId) const {
  auto source = CreateContentsSource(store_, folderId, false);
  TRowListPtr rows = source->Rows(inSql_ ? restriction_.get() : nullptr, nullptr);
  if (inSql_) return *rows;
  TRowList matching;
  for (const TRowPtr& row : *rows)
    if (Matches(*row)) matching.push_back(row);
  return matching;
}

TRowList TSearchEvaluator::Rows() const {
  exact_->ResetCounts();
  TRowList rows;
  for (int64_t folder : scope_) {
    TRowList part = FolderRows(folder);
    rows.insert(rows.end(), part.begin(), part.end());
  }
  return rows;
}

bool TSearchEvaluator::Matches(const TTableRow& row) const {
  TPropRow values = row.Values();
  std::vector<ULONG> missing;
  for (ULONG tag : tags_)
    if (!FindProp(values, tag)) missing.push_back(PROP_ID(tag));
  if (missing.empty()) return exact_->Matches(values);
  // Rows leave large values out; the restriction sees the message's own.
  TStoredProps stored = store_->Engine().Messages().Values(RowMessageId(values), missing);
  if (stored.empty()) return exact_->Matches(values);
  TMapiBuffer<SPropValue> decoded = DecodeStored(stored);
  std::vector<SPropValue> all(values.begin(), values.end());
  all.insert(all.end(), decoded.get(), decoded.get() + stored.size());
  return exact_->Matches(TPropRow(all.data(), all.size()));
}

TRowList MessageRows(const std::shared_ptr<TOpenStore>& store, const std::vector<int64_t>& ids) {
  TRowList rows;
  for (const TContentsRow& message : store->Engine().Contents().Rows(ids))
    rows.push_back(ContentsTableRow(*store, message, store->EntryId(TObjectKind::Folder, message.folderId)));
  return rows;
}

int64_t RowMessageId(TPropRow row) {
  const SPropValue* key = FindProp(row, tags::kInstanceKey);
  if (!key || key->Value.bin.cb != 8) throw TMapiError(MAPI_E_CALL_FAILED, "A contents row has no message key.");
  uint64_t id = 0;
  for (int i = 7; i >= 0; --i) id = (id << 8) | key->Value.bin.lpb[i];
  return static_cast<int64_t>(id);
}

int64_t RowFolderId(const TOpenStore& store, TPropRow row) {
  const SPropValue* parent = FindProp(row, tags::kParentEntryId);
  if (!parent) throw TMapiError(MAPI_E_CALL_FAILED, "A contents row has no parent entry ID.");
  return store.Engine().ParseEntryId(parent->Value.bin.lpb, parent->Value.bin.cb).id;
}

bool AnyMessageSubRow(TStoreEngine& engine, int64_t messageId, ULONG subObject,
                      const std::function<bool(TPropRow)>& test) {
  TMessageImage image = engine.Messages().Load(messageId);
  auto any = [&](const TStoredProps& props) {
    TMapiBuffer<SPropValue> values = DecodeStored(props);
    return test(TPropRow(values.get(), props.size()));
  };
  if (subObject == tags::kMessageRecipients)
    return std::any_of(image.recipients.begin(), image.recipients.end(),
                       [&](const TRecipientImage& recipient) { return any(recipient.props); });
  if (subObject == tags::kMessageAttachments)
    return std::any_of(image.attachments.begin(), image.attachments.end(),
                       [&](const TAttachmentImage& attachment) { return any(attachment.props); });
  return false;
}

}  // namespace orba::store
