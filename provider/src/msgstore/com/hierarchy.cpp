// The hierarchy table source of a folder: see tables.h. Rows are the subfolders (the
// whole subtree with CONVENIENT_DEPTH, each row with its PR_DEPTH, 1 for a child) in
// name order under each parent; any change of a folder below reads the rows again.
#include "comprops.h"
#include "orba/store/msgstore/com/searchfolder.h"
#include "orba/store/msgstore/com/tables.h"
#include "orba/store/tags.h"
#include "rowbuilder.h"

namespace orba::store {
namespace {

constexpr ULONG kDepth = PROP_TAG(PT_LONG, 0x3005);
constexpr ULONG kParentEntryId = PROP_TAG(PT_BINARY, 0x0E09);
constexpr ULONG kStoreEntryId = PROP_TAG(PT_BINARY, 0x0FFB);
constexpr ULONG kSourceKey = PROP_TAG(PT_BINARY, 0x65E0);
constexpr ULONG kChangeKey = PROP_TAG(PT_BINARY, 0x65E2);
constexpr ULONG kContentCount = PROP_TAG(PT_LONG, 0x3602);
constexpr ULONG kContentUnread = PROP_TAG(PT_LONG, 0x3603);
constexpr ULONG kSubfolders = PROP_TAG(PT_BOOLEAN, 0x360A);
constexpr ULONG kAssocContentCount = PROP_TAG(PT_LONG, 0x3617);

class THierarchySource final : public TTableRowSource, public std::enable_shared_from_this<THierarchySource> {
 public:
  THierarchySource(std::shared_ptr<TOpenStore> store, int64_t folderId, bool convenientDepth)
      : store_(std::move(store)), folderId_(folderId), deep_(convenientDepth) {
    store_->Engine().Folder(folderId_);
  }
  ~THierarchySource() override {
    if (listening_) store_->StopListening(listening_);
  }

  void Start() {
    std::weak_ptr<THierarchySource> weak = weak_from_this();
    listening_ = store_->Listen([weak](const TStoreChange& change) {
      if (auto self = weak.lock())
        if (change.kind == ObjectKind::Folder || change.event != fnevObjectModified) self->NotifyReloaded();
    });
  }

  std::vector<ULONG> AllColumns() const override {
    return {tags::kEntryId,      tags::kInstanceKey,  tags::kRecordKey, tags::kDisplayNameW,
            tags::kContainerClassW, tags::kFolderType, kContentCount,   kContentUnread,
            kAssocContentCount,  kSubfolders,         kDepth,           tags::kObjectType,
            kParentEntryId,      kStoreEntryId,       kSourceKey,       kChangeKey};
  }

  TRowListPtr Rows(const SRestriction*, const SSortOrderSet*) const override {
    auto rows = std::make_shared<TRowList>();
    Add(*rows, folderId_, 1);
    return rows;
  }

 private:
  void Add(TRowList& rows, int64_t parent, ULONG depth) const {
    TStoreEngine& engine = store_->Engine();
    for (const FolderRecord& folder : engine.ChildFolders(parent)) {
      FolderCounts counts =
          folder.folderType == FOLDER_SEARCH ? SearchFolderCounts(store_, folder.id) : engine.Counts(folder.id);
      com::TRowBuilder row;
      Bytes entryId = store_->EntryId(ObjectKind::Folder, folder.id);
      row.Binary(tags::kEntryId, entryId);
      row.Binary(tags::kRecordKey, entryId);
      row.Id(tags::kInstanceKey, folder.id);
      row.Long(tags::kFolderType, folder.folderType);
      row.Long(kContentCount, counts.contents);
      row.Long(kContentUnread, counts.unread);
      row.Long(kAssocContentCount, counts.associated);
      row.Bool(kSubfolders, counts.subfolders > 0);
      row.Long(kDepth, depth);
      row.Long(tags::kObjectType, MAPI_FOLDER);
      row.Binary(kParentEntryId, store_->EntryId(ObjectKind::Folder, parent));
      row.Binary(kStoreEntryId, store_->WrappedEntryId());
      row.Binary(kSourceKey, folder.change.sourceKey);
      row.Binary(kChangeKey, folder.change.changeKey);
      row.Time(tags::kCreationTime, folder.creationTime);
      row.Time(tags::kLastModificationTime, folder.modificationTime);
      std::u16string name = folder.name;
      SPropValue value{};
      value.ulPropTag = tags::kDisplayNameW;
      value.Value.lpszW = reinterpret_cast<LPWSTR>(name.data());
      row.Stored(tags::kDisplayNameW, EncodePropValue(value));
      for (const StoredProp& prop : engine.FolderProps(folder.id)) row.Stored(prop.tag, prop.value);
      rows.push_back(row.Build());
      if (deep_) Add(rows, folder.id, depth + 1);
    }
  }

  std::shared_ptr<TOpenStore> store_;
  int64_t folderId_;
  bool deep_;
  ULONG_PTR listening_ = 0;
};

}  // namespace

std::shared_ptr<TTableRowSource> CreateHierarchySource(std::shared_ptr<TOpenStore> store, int64_t folderId,
                                                       bool convenientDepth) {
  auto source = std::make_shared<THierarchySource>(std::move(store), folderId, convenientDepth);
  source->Start();
  return source;
}

}  // namespace orba::store
