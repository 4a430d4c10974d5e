// The contents table source of a folder: see tables.h.
//
// The rows come from the engine's contents queries (storage/contents.h): the message
// record's columns and its stored properties except large ones (bodies and other large
// values are read from the message itself, as MAPI tables leave them out). The engine
// evaluates the restrictions and sort orders it accepts, the table engine the others;
// where the engine's answer is exact, the source also hands out pages of the table, so
// that a table reads only what its caller asks for.
#include <string>

#include "mapiobjects/tables.h"
#include "props/tags.h"
#include "table/restriction.h"
#include "table/rowbuilder.h"

namespace orba::store {
namespace {

class TContentsSource final : public TTableRowSource, public std::enable_shared_from_this<TContentsSource> {
 public:
  TContentsSource(std::shared_ptr<TOpenStore> store, int64_t folderId, bool associated)
      : store_(std::move(store)), folderId_(folderId), associated_(associated) {
    store_->Engine().Folders().Get(folderId_);
  }
  ~TContentsSource() override {
    if (listening_) store_->StopListening(listening_);
  }

  void Start() {
    std::weak_ptr<TContentsSource> weak = weak_from_this();
    listening_ = store_->Listen([weak](const TStoreChange& change) {
      if (auto self = weak.lock()) self->OnChange(change);
    });
  }

  std::vector<ULONG> AllColumns() const override {
    return {tags::kEntryId,
            tags::kInstanceKey,
            tags::kRecordKey,
            tags::kParentEntryId,
            tags::kStoreEntryId,
            tags::kObjectType,
            tags::kMessageFlags,
            tags::kMessageSize,
            tags::kMsgStatus,
            tags::kCreationTime,
            tags::kLastModificationTime,
            tags::kSearchKey,
            tags::kSourceKey,
            tags::kChangeKey,
            tags::kHasAttach,
            tags::kMessageClassW,
            tags::kSubjectW,
            tags::kNormalizedSubjectW,
            tags::kSenderNameW,
            tags::kMessageDeliveryTime,
            tags::kClientSubmitTime,
            tags::kImportance};
  }

  bool AcceptsRestriction(const SRestriction& restriction) const override {
    return Contents().AcceptsRestriction(restriction);
  }
  bool AcceptsSort(const SSortOrderSet& sort) const override { return Contents().AcceptsSort(sort); }

  TRowListPtr Rows(const SRestriction* restriction, const SSortOrderSet* sort) const override {
    TRowList rows;
    bool exact = Read({folderId_, associated_, restriction, sort}, rows);
    if (!exact) {
      TRestriction check(*restriction, {});
      std::erase_if(rows, [&](const TRowPtr& row) { return !check.Matches(row->Values()); });
    }
    return std::make_shared<const TRowList>(std::move(rows));
  }

  bool CanPage(const SRestriction* restriction, const SSortOrderSet*) const override {
    return !restriction || Contents().IsExact(*restriction);
  }

  TRowListPtr RowsPage(const SRestriction* restriction, const SSortOrderSet* sort, size_t offset,
                       size_t limit) const override {
    TRowList rows;
    Read({folderId_, associated_, restriction, sort, offset, limit}, rows);
    return std::make_shared<const TRowList>(std::move(rows));
  }

 private:
  IFolderContents& Contents() const { return store_->Engine().Contents(); }

  // Builds the rows of a query into rows as the engine reads them; answers whether they
  // are exact.
  bool Read(const TContentsQuery& query, TRowList& rows) const {
    Bytes parent = ParentEntryId();
    return Contents().Query(query,
                            [&](const TContentsRow& row) { rows.push_back(ContentsTableRow(*store_, row, parent)); });
  }
  Bytes ParentEntryId() const { return store_->EntryId(TObjectKind::Folder, folderId_); }

  void OnChange(const TStoreChange& change) {
    if (change.kind == TObjectKind::Folder) {
      // A folder emptied, or this one changed as a whole: read the rows again.
      if (change.id == folderId_) NotifyReloaded();
      return;
    }
    if (change.associated != associated_) return;
    bool here = change.parentId == folderId_;
    bool left = change.oldParentId == folderId_ && change.event == fnevObjectMoved && !here;
    std::string key = IdInstanceKey(change.id);
    if ((change.event == fnevObjectDeleted && here) || left) {
      NotifyRowDeleted(key);
    } else if (here) {
      auto row = Contents().Row(folderId_, associated_, change.id);
      if (!row) {
        NotifyRowDeleted(key);
      } else if (change.event == fnevObjectModified) {
        NotifyRowModified(ContentsTableRow(*store_, *row, ParentEntryId()));
      } else {
        NotifyRowAdded(ContentsTableRow(*store_, *row, ParentEntryId()));
      }
    }
  }

  std::shared_ptr<TOpenStore> store_;
  int64_t folderId_;
  bool associated_;
  ULONG_PTR listening_ = 0;
};

}  // namespace

TRowPtr ContentsTableRow(const TOpenStore& store, const TContentsRow& message, const Bytes& parentEntryId) {
  TRowBuilder row;
  Bytes entryId = store.EntryId(TObjectKind::Message, message.id);
  row.Binary(tags::kEntryId, entryId);
  row.Binary(tags::kRecordKey, entryId);
  row.Id(tags::kInstanceKey, message.id);
  row.Binary(tags::kParentEntryId, parentEntryId);
  row.Binary(tags::kStoreEntryId, store.WrappedEntryId());
  row.Long(tags::kObjectType, MAPI_MESSAGE);
  row.Long(tags::kMessageFlags, message.flags);
  row.Long(tags::kMessageSize, message.size);
  row.Long(tags::kMsgStatus, message.status);
  row.Time(tags::kCreationTime, message.creationTime);
  row.Time(tags::kLastModificationTime, message.modificationTime);
  row.Binary(tags::kSearchKey, message.searchKey);
  row.Binary(tags::kSourceKey, message.sourceKey);
  row.Binary(tags::kChangeKey, message.changeKey);
  row.Bool(tags::kHasAttach, message.hasAttach);
  for (const TStoredProp& prop : message.props) row.Stored(prop.tag, prop.value);
  return row.Build();
}

std::shared_ptr<TTableRowSource> CreateContentsSource(std::shared_ptr<TOpenStore> store, int64_t folderId,
                                                      bool associated) {
  auto source = std::make_shared<TContentsSource>(std::move(store), folderId, associated);
  source->Start();
  return source;
}

}  // namespace orba::store
