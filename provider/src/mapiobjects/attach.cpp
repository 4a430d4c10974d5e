// IAttach: an attachment's properties, its computed ones, its embedded message and
// its saving into the message.
#include "mapiobjects/attach.h"

#include "base/maperror.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "table/rowbuilder.h"

namespace orba::store {
namespace {

bool IsComputedAttachProp(ULONG propId) {
  return propId == PROP_ID(tags::kAttachNum) || propId == PROP_ID(tags::kAttachSize) ||
         propId == PROP_ID(tags::kObjectType) || propId == PROP_ID(tags::kRecordKey);
}

}  // namespace

TAttach::TAttach(ComPtr<TMessage> message, ULONG num, TAccessMode access)
    : TPropObject<IAttach>(TPropObjectOptions{access, true, message->Engine()->Names()}),
      message_(std::move(message)),
      num_(num) {
  AddComputed(tags::kAttachNum, [this](SPropValue& out, void*) { out = LongValue(tags::kAttachNum, num_); });
  AddComputed(tags::kAttachSize, [this](SPropValue& out, void*) { out = LongValue(tags::kAttachSize, Size()); });
  AddComputed(tags::kObjectType, [](SPropValue& out, void*) { out = LongValue(tags::kObjectType, MAPI_ATTACH); });
  AddComputed(tags::kRecordKey, [this](SPropValue& out, void* parent) {
    // Unique within the message: the attachment number.
    out = BinaryValue(tags::kRecordKey, NumberKey(num_), parent);
  });
}

ComPtr<TAttach> TAttach::Make(ComPtr<TMessage> message, const TAttachmentImage& image, TAccessMode access) {
  ComPtr<TAttach> attach(new TAttach(std::move(message), image.num, access));
  TStoredProps props;
  for (const auto& prop : image.props)
    if (!IsComputedAttachProp(PROP_ID(prop.tag))) props.push_back(prop);
  attach->LoadStored(props);
  attach->embedded_ = image.embedded;
  return attach;
}

ULONG TAttach::Size() const { return SizeValue(StoredSize(StoredValues()) + (embedded_ ? ImageSize(*embedded_) : 0)); }

void TAttach::StoreEmbedded(TMessageImage image) {
  auto lock = Lock();
  if (Access() != TAccessMode::ReadWrite) throw TMapiError(MAPI_E_NO_ACCESS, "the attachment is not open for writing");
  embedded_ = std::make_shared<TMessageImage>(std::move(image));
}

void TAttach::Persist(const TPropChanges&, ULONG) {
  TAttachmentImage image;
  image.num = num_;
  image.props = StoredValues();
  image.embedded = embedded_;
  message_->StoreAttachment(std::move(image));
}

HRESULT TAttach::OpenInterface(ULONG ulPropTag, REFIID iid, ULONG, ULONG ulFlags, LPUNKNOWN* lppUnk) {
  if (ulPropTag != tags::kAttachDataObj)
    return Fail(MAPI_E_INTERFACE_NOT_SUPPORTED, "OpenProperty: the property has no such interface");
  if (iid != IID_IMessage)
    return Fail(MAPI_E_INTERFACE_NOT_SUPPORTED, "OpenProperty: an embedded message opens as IMessage");
  bool writable = Access() == TAccessMode::ReadWrite;
  bool create = (ulFlags & MAPI_CREATE) != 0;
  if ((create || (ulFlags & MAPI_MODIFY)) && !writable)
    return Fail(MAPI_E_NO_ACCESS, "OpenProperty: the attachment is not open for writing");
  if (!create && !embedded_) return Fail(MAPI_E_NOT_FOUND, "OpenProperty: the attachment has no embedded message");
  bool modify = create || (ulFlags & MAPI_MODIFY) || ((ulFlags & MAPI_BEST_ACCESS) && writable);
  auto message = TMessage::OpenEmbedded(message_->Engine(), ComPtr<TAttach>(this), create ? nullptr : embedded_.get(),
                                        modify ? TAccessMode::ReadWrite : TAccessMode::ReadOnly);
  *lppUnk = static_cast<IMessage*>(message.Detach());
  return S_OK;
}

}  // namespace orba::store
