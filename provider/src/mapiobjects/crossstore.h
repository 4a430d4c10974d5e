// Copies and moves of messages and folders from one store into a folder of another
// store (both Orba Store stores opened in this process, e.g. a personal store file and
// a mailbox of one session).
//
// A copy carries everything the original holds (properties, recipients, attachments
// with embedded messages, read state, flags and status) and gets the destination's own
// identity (entry ID, source key, change key and change number). Named properties are
// carried by name: each id of the named range is looked up in the source's name map
// and mapped (created when missing) in the destination's; an id the source has no name
// for cannot be carried and is left out. A move deletes an original only after its
// copy is saved, so a failure leaves the originals in place. The destination raises
// fnevObjectCreated for each copy; a move raises fnevObjectDeleted in the source.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "mapiobjects/openstore.h"

namespace orba::store {

class TCrossStoreCopy {
 public:
  TCrossStoreCopy(std::shared_ptr<TOpenStore> source, std::shared_ptr<TOpenStore> destination);

  // Copies a message of the source into destFolder (moving it with move); returns the
  // copy's id in the destination.
  int64_t CopyMessage(const TMessageRecord& message, int64_t destFolder, bool move);
  // Copies a folder of the source under destParent, named newName or as the original,
  // with its subfolders when asked (a move always takes them along and then deletes the
  // original; folders of the standard set cannot be moved: MAPI_E_NO_ACCESS). The copy
  // is made in one transaction: all or nothing. A move whose original changed while it
  // was copied keeps the original (the copy lacks the change) and returns false.
  bool CopyFolder(const TFolderRecord& folder, int64_t destParent, const std::optional<std::u16string>& newName,
                  bool subfolders, bool move);

 private:
  // Named properties of the whole tree, from the source's ids to the destination's.
  void Remap(TFolderImage& image);

  std::shared_ptr<TOpenStore> source_;
  std::shared_ptr<TOpenStore> destination_;
};

}  // namespace orba::store
