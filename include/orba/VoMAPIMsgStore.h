// The message store (unit uVoMAPIMsgStore): TVoMAPIMsgStore wraps one opened MAPI
// message store (IMsgStore). It turns entry IDs into objects: it opens folders by
// entry ID, by special folder type, by display name and by path, opens and finds
// messages, compares entry IDs, works out the entry IDs of the special folders, and
// tells its event sinks (IVoMAPIMsgStoreDEvents, see orba/VoMAPIMsgStoreEvents.h) what
// changes in the store.
//
//   ComPtr<IVoMAPIMsgStore> store = session->OpenDefaultMsgStore(alBestAccess, false);
//   ComPtr<IVoMAPIFolder> folder = store->OpenFolderByPath(u"//[Inbox]/Customers/2024", alReadWrite, false);
//
// Folder paths: an optional leading "//", then optionally a special folder name in
// brackets ("[Inbox]", "[Outbox]", "[Deleted]", "[SentItems]", "[IPMRoot]", "[Search]",
// "[SearchFolder]", "[Common]", "[Personal]", "[Contact]", "[Appointment]",
// "[Journal]", "[StickyNote]", "[Task]", "[Draft]", "[JunkFolder]", "[SyncIssues]",
// ignoring case) where the walk starts (else the IPM subtree), then display names of
// subfolders separated by "/" (ignoring case, the first match in table order).
//
// Objects the store opens keep it alive. Every operation runs the wrapper's guard with
// its own name; those that take an access level refuse more than the store was opened
// with ("You don't have readwrite access!").
#pragma once

#include <string_view>

#include "orba/VoMAPIFolder.h"
#include "orba/VoMAPIMessage.h"

namespace orba {

// What kind of store Get_ExchangeStoreType finds (by PR_MDB_PROVIDER).
enum TVoMAPIExchangeType : int32_t {
  etNotExchange = 1,  // not an Exchange store (or a Simple MAPI session)
  etPrivate = 2,      // the primary user's mailbox
  etDelegate = 3,     // another user's mailbox
  etPublic = 4,       // the public folders
  etTransport = 5,    // the transport
};

inline constexpr IID IID_IVoMAPIMsgStore = {
    0x84598B7B, 0x0F10, 0x4A63, {0xB4, 0x09, 0x03, 0x98, 0xBB, 0x79, 0x41, 0x6B}};
inline constexpr IID IID_IVoMAPIMsgStoreDEvents = {
    0x88AB1E61, 0x4249, 0x448E, {0x9C, 0x02, 0x7F, 0x4A, 0x9B, 0x81, 0xE8, 0xDA}};

struct IVoMAPIMsgStore : IUnknown {
  // The entry ID of a special folder, Null when the store has none of that type: the
  // receive folder (Inbox), the store's properties (Outbox ... Personal), the Inbox's
  // properties (Contact ... Draft, which are otherwise found as the first subfolder
  // of the IPM subtree with their container class) and the Inbox's
  // PR_ADDITIONAL_REN_ENTRYIDS (SyncIssues: element 1, JunkFolder: element 4).
  virtual TVoMAPIEntryID Get_FolderID(TVoMAPIFolderType FolderType) = 0;
  virtual TVoMAPIExchangeType Get_ExchangeStoreType() = 0;
  // Opens a folder. An empty entry ID fails the assertion "Empty EntryID values are not
  // allowed!"; a message's raises E_INVALIDARG "%s.OpenContainer failed, because the
  // object that was opened is not a container.".
  virtual ComPtr<IVoMAPIFolder> OpenFolder(const TVoMAPIEntryID& EntryID, TVoMAPIAccessLevel AccessLevel,
                                           bool16 NoCache) = 0;
  // The first folder below the IPM subtree whose display name is Name (ignoring case),
  // searched depth first through every level when Recursive, else among the subtree's
  // own subfolders. None raises E_FAIL "%s.OpenFolderByName failed, because the
  // message store does not have a folder of the type you requested!".
  virtual ComPtr<IVoMAPIFolder> OpenFolderByName(const WideString& Name, bool16 Recursive,
                                                 TVoMAPIAccessLevel AccessLevel, bool16 NoCache) = 0;
  // Opens the folder of a path (see the unit's comment). An unknown special name raises
  // E_INVALIDARG "There is no special folder %s", a missing part E_INVALIDARG "The
  // given path %s does not exist!", a bracket that is not closed or not followed by "/"
  // E_INVALIDARG "The path %s is not a valid folder path!".
  virtual ComPtr<IVoMAPIFolder> OpenFolderByPath(const WideString& Path, TVoMAPIAccessLevel AccessLevel,
                                                 bool16 NoCache) = 0;
  // Opens a special folder. A value that is not one of the sixteen special types
  // raises E_INVALIDARG "You have specified an invalid FolderType"; a store without
  // that folder E_FAIL "%s.OpenFolderByType failed, because the message store does not
  // have a folder of the type you requested!".
  virtual ComPtr<IVoMAPIFolder> OpenFolderByType(TVoMAPIFolderType FolderType, TVoMAPIAccessLevel AccessLevel,
                                                 bool16 NoCache) = 0;
  // Opens a message in the wrapper class of its message class.
  virtual ComPtr<IVoMAPIMessage> OpenMessage(const TVoMAPIEntryID& EntryID, TVoMAPIAccessLevel AccessLevel,
                                             bool16 NoCache) = 0;
  virtual ComPtr<IVoMAPIMessage> OpenRawMessage(const TVoMAPIEntryID& EntryID, TVoMAPIAccessLevel AccessLevel) = 0;
  // A new message of MessageClass in the special folder FolderType (see
  // IVoMAPIFolder::CreateMessage).
  virtual ComPtr<IVoMAPIMessage> CreateMessage(TVoMAPIFolderType FolderType, const WideString& MessageClass) = 0;
  // OpenMessage, but an entry ID that names nothing (MAPI_E_INVALID_ENTRYID,
  // MAPI_E_INVALID_OBJECT, MAPI_E_NOT_FOUND) answers null.
  virtual ComPtr<IVoMAPIMessage> FindMessage(const TVoMAPIEntryID& EntryID, TVoMAPIAccessLevel AccessLevel,
                                             bool16 NoCache) = 0;
  // The message whose PR_SEARCH_KEY is SearchKey anywhere below the IPM subtree; null
  // when there is none.
  virtual ComPtr<IVoMAPIMessage> SearchMessage(const TVoMAPIByteArray& SearchKey, TVoMAPIAccessLevel AccessLevel,
                                               bool16 NoCache) = 0;
  // True for byte-identical entry IDs (without asking MAPI), else MAPI's answer when
  // both are non-empty.
  virtual bool16 CompareEntryIDs(const TVoMAPIEntryID& EntryID1, const TVoMAPIEntryID& EntryID2) = 0;
  // The retention policy configuration (PR_ROAMING_XMLSTREAM of the Inbox's associated
  // "IPM.Configuration.MRM" message) as text; "" when the store has none.
  virtual WideString GetMRMConfig() = 0;
  // Starts the store's notifications to the connected IVoMAPIMsgStoreDEvents sinks.
  // Raises E_FAIL "The messagestore notification system has already been activated!"
  // when started, and code 26 "This messagestore does not support notifications!" or
  // "The public folders messagestore does not support notifications!". UnAdvise stops
  // them (nothing when not started).
  virtual void Advise() = 0;
  virtual void UnAdvise() = 0;

 protected:
  ~IVoMAPIMsgStore() = default;
};

// The events of a store, each with the store first. Entry IDs the notification does not
// carry are Null.
struct IVoMAPIMsgStoreDEvents : IUnknown {
  virtual void OnNewMessage(IVoMAPIMsgStore* Store, const TVoMAPIEntryID& EntryID, const TVoMAPIEntryID& ParentID,
                            const WideString& MessageClass) = 0;
  virtual void OnObjectCreated(IVoMAPIMsgStore* Store, const TVoMAPIEntryID& EntryID, TVoMAPIObjectType ObjectType,
                               const TVoMAPIEntryID& ParentID, const TVoMAPIEntryID& OldID,
                               const TVoMAPIEntryID& OldParentID, IVoMAPIPropList* PropList) = 0;
  virtual void OnObjectDeleted(IVoMAPIMsgStore* Store, const TVoMAPIEntryID& EntryID, TVoMAPIObjectType ObjectType,
                               const TVoMAPIEntryID& ParentID, const TVoMAPIEntryID& OldID,
                               const TVoMAPIEntryID& OldParentID, IVoMAPIPropList* PropList) = 0;
  virtual void OnObjectModified(IVoMAPIMsgStore* Store, const TVoMAPIEntryID& EntryID, TVoMAPIObjectType ObjectType,
                                const TVoMAPIEntryID& ParentID, const TVoMAPIEntryID& OldID,
                                const TVoMAPIEntryID& OldParentID, IVoMAPIPropList* PropList) = 0;
  virtual void OnObjectMoved(IVoMAPIMsgStore* Store, const TVoMAPIEntryID& EntryID, TVoMAPIObjectType ObjectType,
                             const TVoMAPIEntryID& ParentID, const TVoMAPIEntryID& OldID,
                             const TVoMAPIEntryID& OldParentID, IVoMAPIPropList* PropList) = 0;
  virtual void OnObjectCopied(IVoMAPIMsgStore* Store, const TVoMAPIEntryID& EntryID, TVoMAPIObjectType ObjectType,
                              const TVoMAPIEntryID& ParentID, const TVoMAPIEntryID& OldID,
                              const TVoMAPIEntryID& OldParentID, IVoMAPIPropList* PropList) = 0;
  // The session logged off: the store is no longer active.
  virtual void OnSessionLogoff(IVoMAPIMsgStore* Store) = 0;

 protected:
  ~IVoMAPIMsgStoreDEvents() = default;
};

}  // namespace orba

ORBA_DECLARE_INTERFACE(orba::IVoMAPIMsgStore, IUnknown, orba::IID_IVoMAPIMsgStore);
ORBA_DECLARE_INTERFACE(orba::IVoMAPIMsgStoreDEvents, IUnknown, orba::IID_IVoMAPIMsgStoreDEvents);

namespace orba {

template <class Owner>
class TVoMAPIAdviseSink;

class TVoMAPIMsgStore : public TVoComObject<TVoMAPIProp, IVoMAPIMsgStore> {
 public:
  // Store may be null (an inactive store); AccessLevel is what it was opened with.
  TVoMAPIMsgStore(TVoMAPISessionBase* Session, ComPtr<IMsgStore> Store, TVoMAPIAccessLevel AccessLevel);
  ~TVoMAPIMsgStore() override;

  // IVoMAPIMsgStore.
  TVoMAPIEntryID Get_FolderID(TVoMAPIFolderType FolderType) override;
  TVoMAPIExchangeType Get_ExchangeStoreType() override;
  ComPtr<IVoMAPIFolder> OpenFolder(const TVoMAPIEntryID& EntryID, TVoMAPIAccessLevel AccessLevel,
                                   bool16 NoCache) override;
  ComPtr<IVoMAPIFolder> OpenFolderByName(const WideString& Name, bool16 Recursive, TVoMAPIAccessLevel AccessLevel,
                                         bool16 NoCache) override;
  ComPtr<IVoMAPIFolder> OpenFolderByPath(const WideString& Path, TVoMAPIAccessLevel AccessLevel,
                                         bool16 NoCache) override;
  ComPtr<IVoMAPIFolder> OpenFolderByType(TVoMAPIFolderType FolderType, TVoMAPIAccessLevel AccessLevel,
                                         bool16 NoCache) override;
  ComPtr<IVoMAPIMessage> OpenMessage(const TVoMAPIEntryID& EntryID, TVoMAPIAccessLevel AccessLevel,
                                     bool16 NoCache) override;
  ComPtr<IVoMAPIMessage> OpenRawMessage(const TVoMAPIEntryID& EntryID, TVoMAPIAccessLevel AccessLevel) override;
  ComPtr<IVoMAPIMessage> CreateMessage(TVoMAPIFolderType FolderType, const WideString& MessageClass) override;
  ComPtr<IVoMAPIMessage> FindMessage(const TVoMAPIEntryID& EntryID, TVoMAPIAccessLevel AccessLevel,
                                     bool16 NoCache) override;
  ComPtr<IVoMAPIMessage> SearchMessage(const TVoMAPIByteArray& SearchKey, TVoMAPIAccessLevel AccessLevel,
                                       bool16 NoCache) override;
  bool16 CompareEntryIDs(const TVoMAPIEntryID& EntryID1, const TVoMAPIEntryID& EntryID2) override;
  WideString GetMRMConfig() override;
  void Advise() override;
  void UnAdvise() override;

  // MAPI's access flags for AccessLevel: MAPI_BEST_ACCESS, MAPI_MODIFY or 0, with
  // MAPI_NO_CACHE for NoCache on Outlook 2003 and later.
  static ULONG AccessFlags(TVoMAPIAccessLevel AccessLevel, bool NoCache);
  // IMsgStore::OpenEntry (no entry ID: the root folder). MAPI_E_NOT_FOUND is asked once
  // more with MAPI_NO_CACHE; MAPI_E_INVALID_OBJECT, MAPI_E_NO_ACCESS and
  // MAPI_E_SUBMITTED raise the texts of OpenEntry. ObjectType receives the object type.
  ComPtr<IUnknown> OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, const IID* InterfaceID, ULONG Flags,
                             ULONG& ObjectType);
  // Opens a folder by entry ID (MAPI_NO_CACHE only on Exchange) and wraps it; anything
  // else raises. No entry ID raises E_INVALIDARG "%s.OpenContainer failed!\r\nThere is
  // no PtrEntryID!".
  ComPtr<TVoMAPIFolder> OpenContainer(LPENTRYID lpEntryID, ULONG cbEntryID, ULONG& ObjectType,
                                      TVoMAPIAccessLevel AccessLevel, bool NoCache);
  // OpenFolder without the guards, for the store's own folders and its walkers.
  ComPtr<TVoMAPIFolder> OpenFolderEntry(const TVoMAPIEntryID& EntryID, TVoMAPIAccessLevel AccessLevel, bool NoCache);
  // The receive folder's entry ID; Null when MAPI has none.
  TVoMAPIEntryID GetReceiveFolder();
  // Wraps a message of this store in the class of its message class.
  ComPtr<TVoMAPIMessage> WrapMessageIntf(ComPtr<IUnknown> Message, TVoMAPIAccessLevel AccessLevel);

  void SetMAPIOBJECT(ComPtr<IUnknown> MAPIObject) override;
  // The session logged off: notifications stop and the sinks hear OnSessionLogoff.
  void SessionLogoff() override;

 protected:
  // A store that goes away stops its notifications.
  void BeforeDestruction() override;

 private:
  // Fails the assertion "You have specified an invalid FolderType" for a value that is
  // not one of the sixteen special types.
  static void CheckFolderType(TVoMAPIFolderType FolderType);
  // A binary property of Prop as an entry ID, Null when Prop does not have it.
  static TVoMAPIEntryID EntryIDProp(TVoMAPIProp& Prop, TVoMAPIPropDef PropDef);
  // Get_FolderID without the guard.
  TVoMAPIEntryID GetFolderID(TVoMAPIFolderType FolderType);
  // An entry ID the Inbox names: Prop, or its element Element (>= 0) when multi-valued.
  TVoMAPIEntryID InboxFolderID(TVoMAPIPropDef Prop, int Element);
  // The first subfolder of the IPM subtree whose container class is ContainerClass.
  TVoMAPIEntryID FindFolderByClass(std::u16string_view ContainerClass);
  // Opens a special folder; a store without one raises the text of OpenFolderByType.
  ComPtr<TVoMAPIFolder> OpenSpecialFolder(TVoMAPIFolderType FolderType, TVoMAPIAccessLevel AccessLevel, bool NoCache);
  // Raises E_FAIL "%s.%s failed, because the message store does not have a folder of the
  // type you requested!" for MethodName.
  [[noreturn]] void RaiseNoSuchFolder(std::u16string_view MethodName);
  // IMsgStore::OpenEntry with the retry of OpenEntry; answers MAPI's result.
  HRESULT TryOpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, const IID* InterfaceID, ULONG Flags, ULONG& ObjectType,
                       ComPtr<IUnknown>& Object);
  // Raises the texts of OpenEntry (Flags: those asked with) for a failed Result.
  void CheckOpenEntryResult(HRESULT Result, ULONG Flags);
  // The message operations: guards, OpenEntry, the wrapper; an entry ID that names
  // nothing answers null when MissingIsNull.
  ComPtr<TVoMAPIMessage> OpenMessageObject(const TVoMAPIEntryID& EntryID, TVoMAPIAccessLevel AccessLevel, ULONG Flags,
                                           std::u16string_view MethodName, bool MissingIsNull);

  // Notifications.
  void OnNotify(ULONG Count, const NOTIFICATION* Notifications);
  // The properties of a notification's tag array (named ones by their names here).
  ComPtr<IVoMAPIPropList> PropListOf(const SPropTagArray* Tags);
  void FireEvent(const std::function<void(IVoMAPIMsgStoreDEvents& Sink)>& Call);
  // Unadvises and forgets the connection; answers Unadvise's result.
  HRESULT StopNotifications();

  ComPtr<IMsgStore> store_;
  ULONG_PTR connection_ = 0;
  ComPtr<TVoMAPIAdviseSink<TVoMAPIMsgStore>> sink_;
};

// Outlook address book entry IDs ----------------------------------------------------------

// What an entry ID of the Outlook address book ("CONTAB") names, by its 28-byte header.
enum TVoOutlookABEntryKind : int32_t { oabNone, oabContainer, oabContact, oabDistList };

// The header texts of the three kinds.
inline constexpr std::u16string_view kOutlookABContainerHeader =
    u"00000000FE42AA0A18C71A10E8850B651C2400000300000003000000";
inline constexpr std::u16string_view kOutlookABContactHeader =
    u"00000000FE42AA0A18C71A10E8850B651C2400000300000004000000";
inline constexpr std::u16string_view kOutlookABDistListHeader =
    u"00000000FE42AA0A18C71A10E8850B651C2400000300000005000000";

TVoOutlookABEntryKind VoOutlookABEntryKind(const TVoMAPIEntryID& EntryID);
// The contact folder behind an Outlook address book container's entry ID: the text
// after the header from its first "00000000" on (at a byte boundary). Another entry ID
// raises E_INVALIDARG "The provided ABContainer contains an unexpected EntryID!".
TVoMAPIEntryID VoOutlookABFolderID(const TVoMAPIEntryID& ContainerID);
// The store entry ID of the contact or distribution list behind an Outlook address book
// entry: the text without the header, the 8 bytes after it and the last 3. Another
// entry ID raises E_INVALIDARG "The EntryID is not an entry of the Outlook address
// book!".
TVoMAPIEntryID VoOutlookABMessageID(const TVoMAPIEntryID& EntryID);

}  // namespace orba
