// Copies and moves between stores: see crossstore.h.
#include "mapiobjects/crossstore.h"

#include "base/maperror.h"
#include "mapiobjects/namedremap.h"

namespace orba::store {

TCrossStoreCopy::TCrossStoreCopy(std::shared_ptr<TOpenStore> source, std::shared_ptr<TOpenStore> destination)
    : source_(std::move(source)), destination_(std::move(destination)) {}

void TCrossStoreCopy::Remap(TFolderImage& image) {
  INameMap& from = *source_->Engine().Names();
  INameMap& to = *destination_->Engine().Names();
  RemapNamedProps(image.props, from, to);
  for (auto& message : image.messages) RemapNamedProps(message.second, from, to);
  for (TFolderImage& child : image.subfolders) Remap(child);
}

int64_t TCrossStoreCopy::CopyMessage(const TMessageRecord& message, int64_t destFolder, bool move) {
  TStoreEngine& source = source_->Engine();
  TMessageImage image = source.Messages().Load(message.id);
  RemapNamedProps(image, *source.Names(), *destination_->Engine().Names());
  int64_t copy = destination_->Engine().Messages().Import(destFolder, message, image);
  destination_->Changed({fnevObjectCreated, TObjectKind::Message, copy, destFolder, 0, 0, message.associated});
  if (move) {
    source.Messages().Delete(message.id, false);
    source_->Changed({fnevObjectDeleted, TObjectKind::Message, message.id, message.folderId, 0, 0, message.associated});
  }
  return copy;
}

bool TCrossStoreCopy::CopyFolder(const TFolderRecord& folder, int64_t destParent,
                                 const std::optional<std::u16string>& newName, bool subfolders, bool move) {
  TStoreEngine& source = source_->Engine();
  if (move && source.Folders().IsOfStandardSet(folder.id))
    throw TMapiError(MAPI_E_NO_ACCESS, "A folder of the standard set cannot be moved.");
  TFolderImage image = source.Folders().Export(folder.id, subfolders || move);
  Remap(image);
  int64_t copy = destination_->Engine().Folders().Import(destParent, newName.value_or(folder.name), image);
  destination_->Changed({fnevObjectCreated, TObjectKind::Folder, copy, destParent});
  if (move) {
    try {
      source.Folders().Delete(folder.id, true, true, image.changeNumber);
    } catch (const TMapiError& e) {
      // Changed while it was copied: what changed is not in the copy, so the original stays.
      if (e.Code() != MAPI_E_OBJECT_CHANGED) throw;
      return false;
    }
    source_->Changed({fnevObjectDeleted, TObjectKind::Folder, folder.id, folder.parentId});
  }
  return true;
}

}  // namespace orba::store
