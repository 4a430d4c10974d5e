// Copies and moves between stores: see crossstore.h.
#include "mapiobjects/crossstore.h"

#include "base/maperror.h"
#include "mapiobjects/namedremap.h"

namespace orba::store {

TCrossStoreCopy::TCrossStoreCopy(std::shared_ptr<TOpenStore> source, std::shared_ptr<TOpenStore> destination)
    : source_(std::move(source)), destination_(std::move(destination)) {}

void TCrossStoreCopy::Remap(FolderImage& image) {
  NameMap& from = *source_->Engine().Names();
  NameMap& to = *destination_->Engine().Names();
  RemapNamedProps(image.props, from, to);
  for (auto& message : image.messages) RemapNamedProps(message.second, from, to);
  for (FolderImage& child : image.subfolders) Remap(child);
}

int64_t TCrossStoreCopy::CopyMessage(const MessageRecord& message, int64_t destFolder, bool move) {
  TStoreEngine& source = source_->Engine();
  MessageImage image = source.LoadMessage(message.id);
  RemapNamedProps(image, *source.Names(), *destination_->Engine().Names());
  int64_t copy = destination_->Engine().ImportMessage(destFolder, message, image);
  destination_->Changed({fnevObjectCreated, ObjectKind::Message, copy, destFolder, 0, 0, message.associated});
  if (move) {
    source.DeleteMessage(message.id, false);
    source_->Changed({fnevObjectDeleted, ObjectKind::Message, message.id, message.folderId, 0, 0, message.associated});
  }
  return copy;
}

bool TCrossStoreCopy::CopyFolder(const FolderRecord& folder, int64_t destParent,
                                 const std::optional<std::u16string>& newName, bool subfolders, bool move) {
  TStoreEngine& source = source_->Engine();
  if (move && source.IsOfStandardSet(folder.id))
    throw MapiError(MAPI_E_NO_ACCESS, "A folder of the standard set cannot be moved.");
  FolderImage image = source.ExportFolder(folder.id, subfolders || move);
  Remap(image);
  int64_t copy = destination_->Engine().ImportFolder(destParent, newName.value_or(folder.name), image);
  destination_->Changed({fnevObjectCreated, ObjectKind::Folder, copy, destParent});
  if (move) {
    try {
      source.DeleteFolder(folder.id, true, true, image.changeNumber);
    } catch (const MapiError& e) {
      // Changed while it was copied: what changed is not in the copy, so the original stays.
      if (e.Code() != MAPI_E_OBJECT_CHANGED) throw;
      return false;
    }
    source_->Changed({fnevObjectDeleted, ObjectKind::Folder, folder.id, folder.parentId});
  }
  return true;
}

}  // namespace orba::store
