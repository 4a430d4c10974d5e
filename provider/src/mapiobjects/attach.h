// IAttach on the property object engine: an attachment of a TMessage. It is
// transacted into its message: SaveChanges hands the attachment's properties (and
// embedded message) to the message, whose own SaveChanges makes them permanent.
// PR_ATTACH_DATA_BIN is read and written through OpenProperty's streams;
// PR_ATTACH_DATA_OBJ opens (MAPI_CREATE: creates) the embedded IMessage.
#pragma once

#include <memory>

#include "mapiobjects/messageobject.h"

namespace orba::store {

class TAttach final : public TPropObject<IAttach> {
 public:
  // An attachment of message: image is its saved content, or a new one with only a number.
  static ComPtr<TAttach> Make(ComPtr<TMessage> message, const TAttachmentImage& image, TAccessMode access);

  // The embedded message's SaveChanges: its content becomes the attachment's
  // (saved with the attachment's next SaveChanges).
  void StoreEmbedded(TMessageImage image);

 protected:
  void Persist(const TPropChanges& changes, ULONG flags) override;
  HRESULT OpenInterface(ULONG ulPropTag, REFIID iid, ULONG ulInterfaceOptions, ULONG ulFlags,
                        LPUNKNOWN* lppUnk) override;
  // PR_ATTACH_DATA_OBJ: CopyTo copies the embedded message into the destination
  // attachment's own (message_copy.cpp).
  std::vector<ULONG> SubObjectTags() const override;
  void CopySubObjects(IMAPIProp* destination, const std::vector<ULONG>& tags, ULONG ciidExclude, LPCIID rgiidExclude,
                      ULONG ulFlags) override;

 private:
  TAttach(ComPtr<TMessage> message, ULONG num, TAccessMode access);
  ULONG Size() const;

  ComPtr<TMessage> message_;
  ULONG num_;
  std::shared_ptr<TMessageImage> embedded_;
};

}  // namespace orba::store
