// The message object behind message.h's factories: IMessage on the property object
// engine. It keeps the message's recipients and saved attachments in memory; its
// SaveChanges writes them with the properties in one engine transaction (or, for
// an embedded message, into the attachment it belongs to).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "mapiobjects/message.h"
#include "table/tablesource.h"

namespace orba::store {

class TAttach;

class TMessage final : public TPropObject<IMessage> {
 public:
  static ComPtr<TMessage> CreateInFolder(std::shared_ptr<TStoreEngine> engine, int64_t folderId, bool associated,
                                         TMessageObjectOptions options);
  static ComPtr<TMessage> OpenSaved(std::shared_ptr<TStoreEngine> engine, int64_t messageId,
                                    TMessageObjectOptions options);
  // The message of an embedded-message attachment: image is its saved content
  // (null for a new one); SaveChanges hands the content to host.
  static ComPtr<TMessage> OpenEmbedded(std::shared_ptr<TStoreEngine> engine, ComPtr<TAttach> host,
                                       const TMessageImage* image, TAccessMode access);
  ~TMessage() override;

  STDMETHOD(SaveChanges)(ULONG ulFlags) override;
  STDMETHOD(GetAttachmentTable)(ULONG ulFlags, LPMAPITABLE* lppTable) override;
  STDMETHOD(OpenAttach)(ULONG ulAttachmentNum, LPCIID lpInterface, ULONG ulFlags, LPATTACH* lppAttach) override;
  STDMETHOD(CreateAttach)(LPCIID lpInterface, ULONG ulFlags, ULONG* lpulAttachmentNum, LPATTACH* lppAttach) override;
  STDMETHOD(DeleteAttach)
  (ULONG ulAttachmentNum, ULONG_PTR ulUIParam, LPMAPIPROGRESS lpProgress, ULONG ulFlags) override;
  STDMETHOD(GetRecipientTable)(ULONG ulFlags, LPMAPITABLE* lppTable) override;
  STDMETHOD(ModifyRecipients)(ULONG ulFlags, LPADRLIST lpMods) override;
  STDMETHOD(SubmitMessage)(ULONG ulFlags) override;
  STDMETHOD(SetReadFlag)(ULONG ulFlags) override;

  // An attachment's SaveChanges: its content becomes part of the message (saved
  // with the message's next SaveChanges). MAPI_E_OBJECT_DELETED when the attachment
  // was deleted meanwhile.
  void StoreAttachment(TAttachmentImage attachment);
  const std::shared_ptr<TStoreEngine>& Engine() const { return engine_; }

 protected:
  void Persist(const TPropChanges& changes, ULONG flags) override;
  HRESULT OpenInterface(ULONG ulPropTag, REFIID iid, ULONG ulInterfaceOptions, ULONG ulFlags,
                        LPUNKNOWN* lppUnk) override;
  // PR_MESSAGE_RECIPIENTS and PR_MESSAGE_ATTACHMENTS: CopyTo and CopyProps hand them to
  // another message through its IMessage methods (message_copy.cpp).
  std::vector<ULONG> SubObjectTags() const override;
  void CopySubObjects(IMAPIProp* destination, const std::vector<ULONG>& tags, ULONG ciidExclude, LPCIID rgiidExclude,
                      ULONG ulFlags) override;

 private:
  TMessage(std::shared_ptr<TStoreEngine> engine, TMessageObjectOptions options);
  // Whether the recipients or attachments were handed on.
  bool CopyRecipientsTo(IMessage* destination, bool noReplace);
  bool CopyAttachmentsTo(IMessage* destination, bool noReplace);
  void AddComputedProps();
  void LoadContent(const TMessageImage& image);
  TMessageImage Content() const;
  ULONG CurrentFlags() const;
  ULONG SizeEstimate() const;
  // The rows of the recipient and attachment tables, and their refresh after a change.
  TRowList RecipientRows() const;
  TRowList AttachmentRows() const;
  void RefreshRecipientRows();
  void RefreshAttachmentRows();
  ComPtr<IMAPITable> NewTable(std::vector<ULONG> columns, TRowList rows,
                              std::vector<std::weak_ptr<TMemoryRowSource>>& sources);

  std::shared_ptr<TStoreEngine> engine_;
  TMessageObjectOptions options_;
  ComPtr<TAttach> host_;  // embedded messages: the attachment they belong to
  int64_t id_ = 0;        // 0 until a new message is saved, and for embedded ones
  int64_t folderId_ = 0;
  bool associated_ = false;
  TMessageRecord record_;   // the saved state (change number, keys, times, flags)
  ULONG newFlags_ = 0;      // the flags of a message not saved yet
  int64_t createdAt_ = 0;   // FILETIME the object was made (times of unsaved and embedded messages)
  int64_t modifiedAt_ = 0;  // FILETIME of an embedded message's last save
  bool everSaved_ = false;  // saved at least once: PR_MESSAGE_FLAGS is the store's from then on
  std::vector<TRecipientImage> recipients_;
  ULONG nextRowId_ = 0;
  std::map<ULONG, TAttachmentImage> attachments_;  // saved into the message, by number
  std::set<ULONG> openNew_;                        // created, not saved into the message yet
  ULONG nextAttachNum_ = 0;
  std::optional<TMessageSaveKind> saved_;  // what the last Persist did
  bool submitted_ = false;                 // handed to the transport: the object is no longer valid
  // The open recipient and attachment tables' sources.
  std::vector<std::weak_ptr<TMemoryRowSource>> recipientSources_;
  std::vector<std::weak_ptr<TMemoryRowSource>> attachmentSources_;
};

}  // namespace orba::store
