// TVoMAPIMsgStoreParser (unit uVoMAPIMsgStoreParser): walks a message store's folder
// tree depth first and reports what it meets, so that a caller can list or export a
// whole store without writing the recursion:
//
//   TVoMAPIMsgStoreParser parser;
//   parser.OnParseSubFolder = [](auto*, IVoMAPIMsgStore*, IVoMAPIFolder*, IVoMAPIFolder* sub, bool& Continue) {
//     Continue = sub->Get_ContainerClass() != u"IPF.Contact";   // skips a subtree
//   };
//   parser.OnParseMessage = [](auto*, IVoMAPIMsgStore*, IVoMAPIFolder*, const TVoMAPIEntryID& id,
//                              const WideString& subject) { Print(subject); };
//   parser.Start(store.get(), nullptr);                          // from the IPM subtree
//
// Each folder reports its subfolders first, each subfolder's subtree before the next
// subfolder, then its own messages; subfolders and messages come in table order.
#pragma once

#include <functional>

#include "orba/VoMAPIMsgStore.h"

namespace orba {

class TVoMAPIMsgStoreParser;

using TVoOnParseStart =
    std::function<void(TVoMAPIMsgStoreParser* Sender, IVoMAPIMsgStore* Store, IVoMAPIFolder* Folder)>;
// Clearing Continue skips SubFolder's subtree; the walk goes on with its siblings.
using TVoOnParseSubFolder = std::function<void(TVoMAPIMsgStoreParser* Sender, IVoMAPIMsgStore* Store,
                                               IVoMAPIFolder* ParentFolder, IVoMAPIFolder* SubFolder, bool& Continue)>;
using TVoOnParseMessage =
    std::function<void(TVoMAPIMsgStoreParser* Sender, IVoMAPIMsgStore* Store, IVoMAPIFolder* Folder,
                       const TVoMAPIEntryID& EntryID, const WideString& Subject)>;
using TVoOnParseEnd = std::function<void(TVoMAPIMsgStoreParser* Sender)>;

class TVoMAPIMsgStoreParser {
 public:
  // Walks Store from Folder (null: the IPM subtree, opened with the store's access
  // level): OnParseStart, the walk, OnParseEnd. A null store raises E_INVALIDARG "No
  // messagestore specified!".
  void Start(IVoMAPIMsgStore* Store, IVoMAPIFolder* Folder);

  TVoOnParseStart OnParseStart;
  TVoOnParseSubFolder OnParseSubFolder;
  // Messages are read only when this is assigned.
  TVoOnParseMessage OnParseMessage;
  TVoOnParseEnd OnParseEnd;

 private:
  // Walks Folder's subtree (subfolders are opened with the store's access level).
  void Parse(IVoMAPIMsgStore* Store, IVoMAPIFolder* Folder);

  TVoMAPIAccessLevel accessLevel_ = alReadOnly;
};

}  // namespace orba
