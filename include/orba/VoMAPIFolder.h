// The folder (unit uVoMAPIFolder): TVoMAPIFolder wraps a folder (IMAPIFolder) of a
// message store (orba/VoMAPIMsgStore.h). Beyond the container's tables it knows its
// folder type and default message class, creates messages and subfolders, copies,
// moves, empties and deletes, and reads and sets message status.
//
//   ComPtr<IVoMAPIFolder> inbox = store->OpenFolderByType(ftInbox, alReadWrite, false);
//   ComPtr<IVoMAPIFolder> sub = inbox->CreateFolder(u"IPF.Note", u"Customers", u"", true);
//   ComPtr<IVoMAPIMessage> message = sub->CreateMessage(u"");   // IPM.Note, from the folder
//
// Every operation runs the wrapper's guard with its own name; operations that change
// the folder need at least alReadWrite ("You don't have readwrite access!").
#pragma once

#include <string_view>

#include "orba/VoMAPIContainer.h"
#include "orba/VoMAPIMessage.h"

namespace orba {

struct IVoMAPIMsgStore;
class TVoMAPIMsgStore;

// A special folder of a store, one bit per folder; ftGeneric is a folder of no special
// type. The names in brackets are those of folder paths (OpenFolderByPath).
enum TVoMAPIFolderType : int32_t {
  ftGeneric = 1,
  ftInbox = 2,             // [Inbox]: the receive folder
  ftOutbox = 4,            // [Outbox]
  ftDeleted = 8,           // [Deleted]
  ftSentItems = 0x10,      // [SentItems]
  ftIPMRoot = 0x20,        // [IPMRoot]: the IPM subtree
  ftSearch = 0x40,         // [Search], [SearchFolder]: the search root
  ftCommon = 0x80,         // [Common]: the common views
  ftPersonal = 0x100,      // [Personal]: the personal views
  ftContact = 0x200,       // [Contact]
  ftAppointment = 0x400,   // [Appointment]
  ftJournal = 0x800,       // [Journal]
  ftStickyNote = 0x1000,   // [StickyNote]
  ftTask = 0x2000,         // [Task]
  ftDraft = 0x4000,        // [Draft]
  ftSyncIssues = 0x8000,   // [SyncIssues]
  ftJunkFolder = 0x10000,  // [JunkFolder]
};

inline constexpr IID IID_IVoMAPIFolder = {0xC584FA22, 0xA692, 0x4B04, {0x82, 0xDC, 0x1F, 0x36, 0x62, 0xE2, 0x59, 0x51}};

// A folder: the container's operations, then the folder's.
struct IVoMAPIFolder : IVoMAPIContainer {
  // A new message of MessageClass (its class decides the wrapper, orba/VoMAPIMessage.h).
  // An empty class comes from the folder type: Contact "IPM.Contact", Appointment
  // "IPM.Appointment", StickyNote "IPM.StickyNote", Task "IPM.Task"; Inbox, Outbox,
  // Deleted, SentItems, Draft and JunkFolder "IPM.Note"; a folder of no special type its
  // default message class ("IPM.Note" when it has no container class); any other type
  // raises E_ACCESSDENIED "It is not possible to create messages in the selected
  // folder!". Out-of-office templates and "IPM.Configuration.Velmora" messages are
  // created folder-associated.
  virtual ComPtr<IVoMAPIMessage> CreateMessage(const WideString& MessageClass) = 0;
  // A new subfolder AFolderName with the container class ContainerClass. An existing
  // name raises MAPI_E_COLLISION "%s.CreateFolder failed!\r\nA folder with the name
  // given in the AFolderName parameter already exists. Folder names must be unique."
  // unless OpenIfExists, which opens that folder (and gives it the class).
  virtual ComPtr<IVoMAPIFolder> CreateFolder(const WideString& ContainerClass, const WideString& AFolderName,
                                             const WideString& Comment, bool16 OpenIfExists) = 0;
  // CreateFolder with the class of FolderType: Contact "IPF.Contact", Appointment
  // "IPF.Appointment", Journal "IPF.Journal", StickyNote "IPF.StickyNote", Task
  // "IPF.Task", any other "IPF.Note".
  virtual ComPtr<IVoMAPIFolder> CreateFolderByType(TVoMAPIFolderType FolderType, const WideString& AFolderName,
                                                   const WideString& Comment, bool16 OpenIfExists) = 0;
  // Copies (Move: moves) the subfolder EntryID into DestFolder, renamed to NewName
  // unless that is empty, with its subfolders when CopySubFolders.
  virtual void CopyFolder(const TVoMAPIEntryID& EntryID, IVoMAPIFolder* DestFolder, const WideString& NewName,
                          bool16 CopySubFolders, bool16 ShowProgress, bool16 Move) = 0;
  // Deletes the subfolder EntryID; one with messages or subfolders only with
  // ADeleteMessages or ADeleteSubFolders.
  virtual void DeleteFolder(const TVoMAPIEntryID& EntryID, bool16 ADeleteMessages, bool16 ADeleteSubFolders,
                            bool16 ShowProgress) = 0;
  // Deletes every message and subfolder (the associated messages too when
  // DeleteAssociated).
  virtual void EmptyFolder(bool16 DeleteAssociated, bool16 ShowProgress) = 0;
  virtual void CopyMessage(const TVoMAPIEntryID& EntryID, IVoMAPIFolder* DestFolder, bool16 Move) = 0;
  virtual void DeleteMessage(const TVoMAPIEntryID& EntryID) = 0;
  // The MSGSTATUS_... bits of a message of the folder; setting replaces all 32.
  virtual uint32_t Get_MessageStatus(const TVoMAPIEntryID& EntryID) = 0;
  virtual void Set_MessageStatus(const TVoMAPIEntryID& EntryID, uint32_t Value) = 0;
  virtual ComPtr<IVoMAPITable> GetAssociatedContentsTable() = 0;
  // The folder's special type: from its container class (Contact, Appointment,
  // Journal, StickyNote, Task), else from its entry ID compared with the store's
  // special folders; ftGeneric when neither tells.
  virtual TVoMAPIFolderType Get_FolderType() = 0;
  // The container class with its first "IPF." (ignoring case) replaced by "IPM.".
  virtual WideString Get_DefaultMessageClass() = 0;
  // The message with the search key SearchKey in the folder or below it (depth first),
  // opened with AccessLevel; null when there is none.
  virtual ComPtr<IVoMAPIMessage> SearchMessage(const TVoMAPIByteArray& SearchKey, TVoMAPIAccessLevel AccessLevel,
                                               bool16 NoCache) = 0;

 protected:
  ~IVoMAPIFolder() = default;
};

}  // namespace orba

ORBA_DECLARE_INTERFACE(orba::IVoMAPIFolder, orba::IVoMAPIContainer, orba::IID_IVoMAPIFolder);

namespace orba {

class TVoMAPIFolder : public TVoComObject<TVoMAPIContainer, IVoMAPIFolder> {
 public:
  // Parent (the store, or the folder it was created or found through) opened the
  // folder and is kept alive by it; Store is the store the folder belongs to. Folder may
  // be null (an inactive folder).
  TVoMAPIFolder(TVoMAPIValueOwner* Parent, TVoMAPIMsgStore* Store, ComPtr<IMAPIFolder> Folder,
                TVoMAPIAccessLevel AccessLevel);
  ~TVoMAPIFolder() override;

  // IVoMAPIContainer (the container's own).
  ComPtr<IVoMAPITable> GetHierarchyTable(bool16 Flags) override { return TVoMAPIContainer::GetHierarchyTable(Flags); }
  ComPtr<IVoMAPITable> GetContentsTable() override { return TVoMAPIContainer::GetContentsTable(); }
  TVoMAPIContainerType Get_ContainerType() override { return TVoMAPIContainer::Get_ContainerType(); }
  WideString Get_ContainerClass() override { return TVoMAPIContainer::Get_ContainerClass(); }
  void Set_ContainerClass(const WideString& Value) override { TVoMAPIContainer::Set_ContainerClass(Value); }

  // IVoMAPIFolder.
  ComPtr<IVoMAPIMessage> CreateMessage(const WideString& MessageClass) override;
  ComPtr<IVoMAPIFolder> CreateFolder(const WideString& ContainerClass, const WideString& AFolderName,
                                     const WideString& Comment, bool16 OpenIfExists) override;
  ComPtr<IVoMAPIFolder> CreateFolderByType(TVoMAPIFolderType FolderType, const WideString& AFolderName,
                                           const WideString& Comment, bool16 OpenIfExists) override;
  void CopyFolder(const TVoMAPIEntryID& EntryID, IVoMAPIFolder* DestFolder, const WideString& NewName,
                  bool16 CopySubFolders, bool16 ShowProgress, bool16 Move) override;
  void DeleteFolder(const TVoMAPIEntryID& EntryID, bool16 ADeleteMessages, bool16 ADeleteSubFolders,
                    bool16 ShowProgress) override;
  void EmptyFolder(bool16 DeleteAssociated, bool16 ShowProgress) override;
  void CopyMessage(const TVoMAPIEntryID& EntryID, IVoMAPIFolder* DestFolder, bool16 Move) override;
  void DeleteMessage(const TVoMAPIEntryID& EntryID) override;
  uint32_t Get_MessageStatus(const TVoMAPIEntryID& EntryID) override;
  void Set_MessageStatus(const TVoMAPIEntryID& EntryID, uint32_t Value) override;
  ComPtr<IVoMAPITable> GetAssociatedContentsTable() override { return TVoMAPIContainer::GetAssociatedContentsTable(); }
  TVoMAPIFolderType Get_FolderType() override;
  WideString Get_DefaultMessageClass() override;
  ComPtr<IVoMAPIMessage> SearchMessage(const TVoMAPIByteArray& SearchKey, TVoMAPIAccessLevel AccessLevel,
                                       bool16 NoCache) override;

  // The entry ID of the first subfolder, in table order, whose display name is Name
  // (ignoring case); Recursive searches depth first, each subfolder's subtree before
  // its next sibling. Null when there is none.
  TVoMAPIEntryID FindSubfolder(std::u16string_view Name, bool Recursive);
  TVoMAPIMsgStore& Store() const { return *store_; }
  IMAPIFolder* MAPIFolder() const { return folder_.get(); }
  void SetMAPIOBJECT(ComPtr<IUnknown> MAPIObject) override;

 private:
  // The MAPI folder of a destination argument of MethodName.
  IMAPIFolder* DestinationOf(IVoMAPIFolder* DestFolder, std::u16string_view MethodName);

  ComPtr<IMAPIFolder> folder_;
  ComPtr<TVoMAPIMsgStore> store_;
  TVoMAPIFolderType folderType_ = ftGeneric;
};

}  // namespace orba
