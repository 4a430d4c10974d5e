// The SQLite backend's folders: see storage/folders.h. Besides the interface, the steps
// other collaborators call, and the reading of folder rows.
#pragma once

#include <optional>
#include <string>

#include "storage/folders.h"
#include "storage/sqlite/sqlite.h"

namespace orba::store::sqlite {

class TStoreDatabase;

class TFolders final : public IStoreFolders {
 public:
  explicit TFolders(TStoreDatabase& store) : store_(store) {}

  int64_t SpecialFolderId(TSpecialFolder folder) override;
  TFolderRecord Get(int64_t id) override;
  TStoredProps Props(int64_t id) override;
  std::vector<TFolderRecord> Children(int64_t parentId) override;
  std::optional<int64_t> FindChild(int64_t parentId, const std::u16string& name) override;
  int64_t Create(int64_t parentId, const std::u16string& name, ULONG folderType, const TStoredProps& props,
                 bool openIfExists) override;
  void ChangeProps(int64_t id, const TStoredProps& set, const std::vector<ULONG>& deletedIds) override;
  void Move(int64_t id, int64_t newParentId, const std::optional<std::u16string>& newName) override;
  int64_t Copy(int64_t id, int64_t newParentId, const std::optional<std::u16string>& newName, bool subfolders) override;
  TFolderImage Export(int64_t id, bool subfolders) override;
  int64_t Import(int64_t parentId, const std::u16string& name, const TFolderImage& image) override;
  bool IsOfStandardSet(int64_t id) override;
  void Delete(int64_t id, bool withMessages, bool withFolders, std::optional<int64_t> unchangedSince) override;
  void Empty(int64_t id, bool associatedToo) override;
  TFolderCounts Counts(int64_t id) override;
  void CheckTree(int64_t id) override;
  TReceiveFolder GetReceiveFolder(const std::string& messageClass) override;
  void SetReceiveFolder(const std::string& messageClass, int64_t folderId) override;
  std::vector<TReceiveFolder> ReceiveFolders() override;

  // The columns of a folder row, and the record a statement selecting them reads.
  static const char* const kColumns;
  static TFolderRecord RecordFrom(const TSqlStatement& stmt);

  // Steps. REQUIRES: the store lock is held and a transaction is open (a write
  // transaction for those that write).
  // MAPI_E_NOT_FOUND for a missing folder.
  TFolderRecord Read(int64_t id);
  // A new folder (parentId 0: the root) with props and PR_DISPLAY_NAME name.
  int64_t Insert(int64_t parentId, const std::u16string& name, ULONG folderType, const TStoredProps& props);
  // The folders of a new store and the properties that point at them: a mailbox's or
  // personal file's standard set, or a public folders store's.
  void CreateStandardFolders(const std::u16string& displayName);
  void CreatePublicFolders(const std::u16string& displayName);

 private:
  void SetSpecialFolder(TSpecialFolder folder, int64_t id);
  void DeleteTree(const TFolderRecord& folder);
  int64_t CopyTree(int64_t sourceId, int64_t parentId, const std::u16string& name, bool subfolders);
  TFolderImage ExportTree(int64_t id, bool subfolders);
  int64_t ImportTree(int64_t parentId, const std::u16string& name, const TFolderImage& image);
  // Stamps a folder's change (its properties, name or place changed); returns the
  // change number.
  int64_t Stamp(const TFolderRecord& folder);
  // MAPI_E_NO_SUPPORT for a store without receive folders.
  void CheckReceivesMail() const;

  TStoreDatabase& store_;
};

}  // namespace orba::store::sqlite
