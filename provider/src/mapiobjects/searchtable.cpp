// The contents table source of a search folder, and its results: see searchfolder.h.
//
// A running search reads its rows from the searched folders (searchrows.h). When a
// message of a searched folder changes, only the folders the change touched are read
// again and compared with what the table shows, which gives the row events; a change
// of the folder tree or of the criteria reads everything again. A stopped search shows
// the messages it kept, re-read whenever one of them changes.
#include <algorithm>
#include <map>
#include <mutex>
#include <set>

#include "mapiobjects/searchfolder.h"
#include "mapiobjects/searchrows.h"
#include "mapiobjects/tables.h"
#include "props/tags.h"
#include "table/rowbuilder.h"

namespace orba::store {
namespace {

// The rows a search folder shows now, and the folders it searches (empty for a
// stopped search).
struct TSearchRows {
  TRowList rows;
  std::vector<int64_t> scope;
  bool running = false;
};

TSearchRows ReadSearch(const std::shared_ptr<TOpenStore>& store, int64_t folderId) {
  TSearchRows result;
  std::optional<TSearchCriteria> criteria = store->Engine().Search().Criteria(folderId);
  if (!criteria) return result;
  if (!criteria->running) {
    result.rows = MessageRows(store, store->Engine().Search().KeptResults(folderId));
    return result;
  }
  TSearchEvaluator evaluator(store, *criteria);
  result.rows = evaluator.Rows();
  result.scope = evaluator.Scope();
  result.running = true;
  return result;
}

class TSearchSource final : public TTableRowSource, public std::enable_shared_from_this<TSearchSource> {
 public:
  TSearchSource(std::shared_ptr<TOpenStore> store, int64_t folderId) : store_(std::move(store)), folderId_(folderId) {
    store_->Engine().Search().Criteria(folderId_);  // MAPI_E_NO_SUPPORT for other folders
  }
  ~TSearchSource() override {
    if (listening_) store_->StopListening(listening_);
  }

  void Start() {
    // The rows are contents rows of the searched folders: theirs are the columns.
    columns_ = CreateContentsSource(store_, folderId_, false)->AllColumns();
    std::weak_ptr<TSearchSource> weak = weak_from_this();
    listening_ = store_->Listen([weak](const TStoreChange& change) {
      if (auto self = weak.lock()) self->OnChange(change);
    });
  }

  std::vector<ULONG> AllColumns() const override { return columns_; }

  TRowListPtr Rows(const SRestriction*, const SSortOrderSet*) const override {
    TSearchRows read = ReadSearch(store_, folderId_);
    std::lock_guard guard(lock_);
    running_ = read.running;
    scope_ = std::set<int64_t>(read.scope.begin(), read.scope.end());
    shown_.clear();
    for (const TRowPtr& row : read.rows) shown_[std::string(row->InstanceKey())] = RowFolderId(*store_, row->Values());
    return std::make_shared<const TRowList>(std::move(read.rows));
  }

  bool HasSubObjects() const override { return true; }
  bool AnySubRow(TPropRow row, ULONG subObject, const std::function<bool(TPropRow)>& test) const override {
    return AnyMessageSubRow(store_->Engine(), RowMessageId(row), subObject, test);
  }

 private:
  void OnChange(const TStoreChange& change) {
    if (change.kind == TObjectKind::Folder) {
      if (FolderChangeMatters(change)) NotifyReloaded();
      return;
    }
    if (change.associated) return;
    std::string key = IdInstanceKey(change.id);
    std::vector<int64_t> touched;
    bool running = false;
    {
      std::lock_guard guard(lock_);
      running = running_;
      // A stopped search shows what it kept; only those messages' changes show.
      if (!running && !shown_.count(key)) return;
      for (int64_t folder : {change.parentId, change.oldParentId})
        if (folder && scope_.count(folder)) touched.push_back(folder);
    }
    if (!running)
      NotifyReloaded();
    else if (!touched.empty())
      Compare(touched, key);
  }

  // Folders added to or taken from the scope, and a change of the criteria (or of
  // the search folder), change everything.
  bool FolderChangeMatters(const TStoreChange& change) const {
    if (change.id == folderId_) return true;
    std::lock_guard guard(lock_);
    if (!running_) return false;
    if (change.event == fnevObjectModified) return scope_.count(change.id) != 0;  // emptied, for instance
    return true;
  }

  // Reads the touched folders again and reports what changed against the rows shown.
  void Compare(const std::vector<int64_t>& touched, const std::string& changedKey) {
    std::optional<TSearchCriteria> criteria = store_->Engine().Search().Criteria(folderId_);
    if (!criteria) return;
    TSearchEvaluator evaluator(store_, *criteria);
    std::map<std::string, std::pair<TRowPtr, int64_t>> now;
    for (int64_t folder : touched)
      for (const TRowPtr& row : evaluator.FolderRows(folder)) now[std::string(row->InstanceKey())] = {row, folder};
    std::vector<TRowPtr> added, modified;
    std::vector<std::string> deleted;
    {
      std::lock_guard guard(lock_);
      std::set<int64_t> folders(touched.begin(), touched.end());
      for (auto it = shown_.begin(); it != shown_.end();) {
        if (folders.count(it->second) && !now.count(it->first)) {
          deleted.push_back(it->first);
          it = shown_.erase(it);
        } else {
          ++it;
        }
      }
      for (const auto& [key, entry] : now) {
        auto shown = shown_.find(key);
        if (shown == shown_.end()) {
          added.push_back(entry.first);
        } else if (key == changedKey || shown->second != entry.second) {
          modified.push_back(entry.first);
        }
        shown_[key] = entry.second;
      }
    }
    // Outside the lock: a table may read the rows again while it hears of them.
    for (const std::string& key : deleted) NotifyRowDeleted(key);
    for (const TRowPtr& row : added) NotifyRowAdded(row);
    for (const TRowPtr& row : modified) NotifyRowModified(row);
  }

  std::shared_ptr<TOpenStore> store_;
  int64_t folderId_;
  std::vector<ULONG> columns_;
  ULONG_PTR listening_ = 0;
  mutable std::mutex lock_;
  mutable bool running_ = false;
  mutable std::set<int64_t> scope_;
  mutable std::map<std::string, int64_t> shown_;  // instance key -> folder of each row shown
};

}  // namespace

std::shared_ptr<TTableRowSource> CreateSearchSource(std::shared_ptr<TOpenStore> store, int64_t folderId) {
  auto source = std::make_shared<TSearchSource>(std::move(store), folderId);
  source->Start();
  return source;
}

std::vector<TSearchResult> SearchResults(const std::shared_ptr<TOpenStore>& store, int64_t folderId) {
  std::vector<TSearchResult> results;
  for (const TRowPtr& row : ReadSearch(store, folderId).rows) {
    TPropRow values = row->Values();
    const SPropValue* flags = FindProp(values, tags::kMessageFlags);
    results.push_back({RowMessageId(values), RowFolderId(*store, values), flags ? flags->Value.ul : 0});
  }
  return results;
}

TFolderCounts SearchFolderCounts(const std::shared_ptr<TOpenStore>& store, int64_t folderId) {
  TFolderCounts counts = store->Engine().Folders().Counts(folderId);
  std::vector<TSearchResult> results = SearchResults(store, folderId);
  counts.contents = static_cast<ULONG>(results.size());
  counts.unread = static_cast<ULONG>(
      std::count_if(results.begin(), results.end(), [](const TSearchResult& r) { return !(r.flags & MSGFLAG_READ); }));
  return counts;
}

}  // namespace orba::store
