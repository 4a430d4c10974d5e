// The hierarchy table source of a folder: see tables.h. Rows are the subfolders (the
// whole subtree with CONVENIENT_DEPTH, each row with its PR_DEPTH, 1 for a child) in
// name order under each parent.
//
// Changes are reported row by row: after each store change the source works out which
// folders it touches (the folder itself and, for a folder created, moved, copied,
// emptied or deleted, the rows below it; the old and new parents, whose
// PR_SUBFOLDERS may change; the folders whose messages changed, for their counts),
// reads those folders again and compares them with the rows the table holds: rows
// that appear are added, rows that stay are modified, rows that went are deleted.
#include <map>
#include <mutex>
#include <optional>
#include <set>

#include "base/maperror.h"
#include "mapiobjects/searchfolder.h"
#include "mapiobjects/tables.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "table/rowbuilder.h"

namespace orba::store {
namespace {

class THierarchySource final : public TTableRowSource, public std::enable_shared_from_this<THierarchySource> {
 public:
  THierarchySource(std::shared_ptr<TOpenStore> store, int64_t folderId, bool convenientDepth)
      : store_(std::move(store)), folderId_(folderId), deep_(convenientDepth) {
    store_->Engine().Folders().Get(folderId_);
    if (deep_) store_->Engine().Folders().CheckTree(folderId_);
  }
  ~THierarchySource() override {
    if (listening_) store_->StopListening(listening_);
  }

  void Start() {
    std::weak_ptr<THierarchySource> weak = weak_from_this();
    listening_ = store_->Listen([weak](const TStoreChange& change) {
      if (auto self = weak.lock()) self->OnChange(change);
    });
  }

  std::vector<ULONG> AllColumns() const override {
    return {tags::kEntryId,           tags::kInstanceKey,  tags::kRecordKey,    tags::kDisplayNameW,
            tags::kContainerClassW,   tags::kFolderType,   tags::kContentCount, tags::kContentUnread,
            tags::kAssocContentCount, tags::kSubfolders,   tags::kDepth,        tags::kObjectType,
            tags::kParentEntryId,     tags::kStoreEntryId, tags::kSourceKey,    tags::kChangeKey};
  }

  TRowListPtr Rows(const SRestriction*, const SSortOrderSet*) const override {
    auto rows = std::make_shared<TRowList>();
    TPlaced placed;
    Add(*rows, placed, folderId_, 1);
    std::lock_guard guard(shownLock_);
    shown_ = std::map<int64_t, int64_t>(placed.begin(), placed.end());
    return rows;
  }

 private:
  TRowPtr MakeRow(const TFolderRecord& folder, ULONG depth) const {
    TStoreEngine& engine = store_->Engine();
    TFolderCounts counts =
        folder.folderType == FOLDER_SEARCH ? SearchFolderCounts(store_, folder.id) : engine.Folders().Counts(folder.id);
    TRowBuilder row;
    Bytes entryId = store_->EntryId(TObjectKind::Folder, folder.id);
    row.Binary(tags::kEntryId, entryId);
    row.Binary(tags::kRecordKey, entryId);
    row.Id(tags::kInstanceKey, folder.id);
    row.Long(tags::kFolderType, folder.folderType);
    row.Long(tags::kContentCount, counts.contents);
    row.Long(tags::kContentUnread, counts.unread);
    row.Long(tags::kAssocContentCount, counts.associated);
    row.Bool(tags::kSubfolders, counts.subfolders > 0);
    row.Long(tags::kDepth, depth);
    row.Long(tags::kObjectType, MAPI_FOLDER);
    row.Binary(tags::kParentEntryId, store_->EntryId(TObjectKind::Folder, folder.parentId));
    row.Binary(tags::kStoreEntryId, store_->WrappedEntryId());
    row.Binary(tags::kSourceKey, folder.change.sourceKey);
    row.Binary(tags::kChangeKey, folder.change.changeKey);
    row.Time(tags::kCreationTime, folder.creationTime);
    row.Time(tags::kLastModificationTime, folder.modificationTime);
    row.Stored(tags::kDisplayNameW, Stored(TextValue(tags::kDisplayNameW, folder.name)).value);
    for (const TStoredProp& prop : engine.Folders().Props(folder.id)) row.Stored(prop.tag, prop.value);
    return row.Build();
  }

  // The folder id and parent id of each row, in the order of the rows.
  using TPlaced = std::vector<std::pair<int64_t, int64_t>>;

  // Appends the rows below parent (its children at depth, and their subtrees in a
  // deep table) and notes where each is in placed.
  void Add(TRowList& rows, TPlaced& placed, int64_t parent, ULONG depth) const {
    for (const TFolderRecord& folder : store_->Engine().Folders().Children(parent)) {
      rows.push_back(MakeRow(folder, depth));
      placed.emplace_back(folder.id, parent);
      if (deep_) Add(rows, placed, folder.id, depth + 1);
    }
  }

  // The depth of a folder's row when the table has one for it.
  std::optional<ULONG> DepthOf(int64_t id) const {
    ULONG depth = 1;
    for (int64_t at = id;; ++depth) {
      TFolderRecord folder;
      try {
        folder = store_->Engine().Folders().Get(at);
      } catch (const TMapiError&) {
        return std::nullopt;  // gone
      }
      if (folder.parentId == folderId_) return depth;
      if (!deep_ || folder.parentId == 0) return std::nullopt;
      at = folder.parentId;
    }
  }

  // Whether shown lists id at or below top.
  static bool Below(const std::map<int64_t, int64_t>& shown, int64_t id, int64_t top) {
    for (int64_t at = id;;) {
      if (at == top) return true;
      auto parent = shown.find(at);
      if (parent == shown.end()) return false;
      at = parent->second;
    }
  }

  // Reads the rows of id again (and of the folders below it, with subtree) and
  // reports how they changed against the rows the table holds.
  void Refresh(int64_t id, bool subtree) {
    if (id == 0) return;
    TRowList rows;
    TPlaced placed;
    if (id == folderId_) {
      if (subtree) Add(rows, placed, folderId_, 1);
    } else if (auto depth = DepthOf(id)) {
      TFolderRecord folder = store_->Engine().Folders().Get(id);
      rows.push_back(MakeRow(folder, *depth));
      placed.emplace_back(id, folder.parentId);
      if (subtree && deep_) Add(rows, placed, id, *depth + 1);
    }
    std::set<int64_t> present;
    for (const auto& entry : placed) present.insert(entry.first);
    std::vector<int64_t> gone;
    std::vector<bool> added;
    {
      std::lock_guard guard(shownLock_);
      for (const auto& entry : shown_)
        if (!present.count(entry.first) && (entry.first == id || (subtree && Below(shown_, entry.first, id))))
          gone.push_back(entry.first);
      for (int64_t folder : gone) shown_.erase(folder);
      for (const auto& [folder, parent] : placed) added.push_back(shown_.insert_or_assign(folder, parent).second);
    }
    // Sinks are called without the lock: a table may read the rows meanwhile.
    for (int64_t folder : gone) NotifyRowDeleted(IdInstanceKey(folder));
    for (size_t i = 0; i < rows.size(); ++i) {
      if (added[i])
        NotifyRowAdded(rows[i]);
      else
        NotifyRowModified(rows[i]);
    }
  }

  void OnChange(const TStoreChange& change) {
    try {
      if (change.kind == TObjectKind::Folder) {
        // Rows below a folder go or come with it (a folder emptied loses its subfolders).
        Refresh(change.id, true);
        Refresh(change.parentId, false);
        if (change.event == fnevObjectMoved) Refresh(change.oldParentId, false);
      } else if (change.kind == TObjectKind::Message) {
        Refresh(change.parentId, false);
        if (change.event == fnevObjectMoved) Refresh(change.oldParentId, false);
      }
    } catch (const TMapiError&) {
      // The store could not be read now: the table reads everything again.
      NotifyReloaded();
    }
  }

  std::shared_ptr<TOpenStore> store_;
  int64_t folderId_;
  bool deep_;
  ULONG_PTR listening_ = 0;
  // The rows the table holds: folder id -> parent id.
  mutable std::mutex shownLock_;
  mutable std::map<int64_t, int64_t> shown_;
};

}  // namespace

std::shared_ptr<TTableRowSource> CreateHierarchySource(std::shared_ptr<TOpenStore> store, int64_t folderId,
                                                       bool convenientDepth) {
  auto source = std::make_shared<THierarchySource>(std::move(store), folderId, convenientDepth);
  source->Start();
  return source;
}

}  // namespace orba::store
