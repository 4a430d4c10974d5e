// IMessage's attachments: the attachment table, CreateAttach, OpenAttach and
// DeleteAttach. An attachment's SaveChanges puts it into the message; the
// message's SaveChanges makes it permanent.
#include "base/lasterror.h"
#include "base/maperror.h"
#include "mapiobjects/attach.h"
#include "props/propstrings.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "props/valuecopy.h"
#include "table/rowbuilder.h"

namespace orba::store {
namespace {

std::vector<ULONG> AttachmentColumns(bool unicode) {
  std::vector<ULONG> columns = {tags::kAttachNum,         tags::kInstanceKey,         tags::kAttachMethod,
                                tags::kAttachFilenameW,   tags::kAttachLongFilenameW, tags::kAttachSize,
                                tags::kRenderingPosition, tags::kDisplayNameW,        tags::kAttachExtensionW,
                                tags::kAttachMimeTagW,    tags::kRecordKey,           tags::kObjectType};
  for (ULONG& tag : columns) tag = CHANGE_PROP_TYPE(tag, WithStringWidth(PROP_TYPE(tag), unicode));
  return columns;
}

}  // namespace

TRowList TMessage::AttachmentRows() const {
  TRowList rows;
  for (const auto& [num, attachment] : attachments_) {
    // The row shows what an attachment object answers, without its (large) data.
    ComPtr<TAttach> view =
        TAttach::Make(ComPtr<TMessage>(const_cast<TMessage*>(this)), attachment, TAccessMode::ReadOnly);
    TStoredProps props;
    for (const auto& prop : attachment.props)
      if (PROP_ID(prop.tag) != PROP_ID(tags::kAttachDataBin) && prop.value.size() <= kDefaultLargeValueLimit)
        props.push_back(prop);
    auto values = DecodeStored(props, 4);
    size_t count = props.size();
    const ULONG computed[] = {tags::kAttachNum, tags::kAttachSize, tags::kRecordKey, tags::kObjectType};
    TMapiBuffer<SPropValue> computedValues;
    ULONG computedCount = 0;
    SPropTagArray* list = reinterpret_cast<SPropTagArray*>(AllocateMore(CbNewSPropTagArray(4), values.get()));
    list->cValues = 4;
    std::copy(std::begin(computed), std::end(computed), list->aulPropTag);
    if (FAILED(view->GetProps(list, 0, &computedCount, computedValues.Out())))
      throw TMapiError(MAPI_E_CALL_FAILED, "the attachment's properties cannot be read");
    CopyPropsInto(values.get(), computedCount, computedValues.get(), values.get() + count);
    count += computedCount;
    values.get()[count++] = BinaryValue(tags::kInstanceKey, NumberKey(num), values.get());
    rows.push_back(TMemoryRow::Create(TPropRow(values.get(), count)));
  }
  return rows;
}

HRESULT TMessage::GetAttachmentTable(ULONG ulFlags, LPMAPITABLE* lppTable) {
  if (ulFlags & ~(MAPI_UNICODE | MAPI_DEFERRED_ERRORS))
    return Fail(MAPI_E_UNKNOWN_FLAGS, "GetAttachmentTable: unknown flags");
  if (!lppTable) return Fail(MAPI_E_INVALID_PARAMETER, "GetAttachmentTable: invalid parameter");
  *lppTable = nullptr;
  return Guarded(LastError(), "GetAttachmentTable", [&] {
    auto lock = Lock();
    *lppTable = NewTable(AttachmentColumns(ulFlags & MAPI_UNICODE), AttachmentRows(), attachmentSources_).Detach();
    return S_OK;
  });
}

HRESULT TMessage::OpenAttach(ULONG ulAttachmentNum, LPCIID lpInterface, ULONG ulFlags, LPATTACH* lppAttach) {
  if (ulFlags & ~(MAPI_MODIFY | MAPI_BEST_ACCESS | MAPI_DEFERRED_ERRORS))
    return Fail(MAPI_E_UNKNOWN_FLAGS, "OpenAttach: unknown flags");
  if (!lppAttach) return Fail(MAPI_E_INVALID_PARAMETER, "OpenAttach: invalid parameter");
  *lppAttach = nullptr;
  if (lpInterface && *lpInterface != IID_IAttachment && *lpInterface != IID_IMAPIProp && *lpInterface != IID_IUnknown)
    return Fail(MAPI_E_INTERFACE_NOT_SUPPORTED, "OpenAttach: an attachment is an IAttach");
  return Guarded(LastError(), "OpenAttach", [&] {
    auto lock = Lock();
    auto it = attachments_.find(ulAttachmentNum);
    if (it == attachments_.end()) throw TMapiError(MAPI_E_NOT_FOUND, "there is no such attachment");
    bool writable = Access() == TAccessMode::ReadWrite;
    if ((ulFlags & MAPI_MODIFY) && !writable) throw TMapiError(MAPI_E_NO_ACCESS, "the message is not open for writing");
    bool modify = (ulFlags & MAPI_MODIFY) || ((ulFlags & MAPI_BEST_ACCESS) && writable);
    auto attach =
        TAttach::Make(ComPtr<TMessage>(this), it->second, modify ? TAccessMode::ReadWrite : TAccessMode::ReadOnly);
    *lppAttach = ComPtr<IAttach>(attach).Detach();
    return S_OK;
  });
}

HRESULT TMessage::CreateAttach(LPCIID lpInterface, ULONG ulFlags, ULONG* lpulAttachmentNum, LPATTACH* lppAttach) {
  if (ulFlags & ~MAPI_DEFERRED_ERRORS) return Fail(MAPI_E_UNKNOWN_FLAGS, "CreateAttach: unknown flags");
  if (!lpulAttachmentNum || !lppAttach) return Fail(MAPI_E_INVALID_PARAMETER, "CreateAttach: invalid parameter");
  *lppAttach = nullptr;
  if (lpInterface && *lpInterface != IID_IAttachment && *lpInterface != IID_IMAPIProp && *lpInterface != IID_IUnknown)
    return Fail(MAPI_E_INTERFACE_NOT_SUPPORTED, "CreateAttach: an attachment is an IAttach");
  return Guarded(LastError(), "CreateAttach", [&] {
    auto lock = Lock();
    if (Access() != TAccessMode::ReadWrite) throw TMapiError(MAPI_E_NO_ACCESS, "the message is not open for writing");
    TAttachmentImage image;
    image.num = nextAttachNum_;
    auto attach = TAttach::Make(ComPtr<TMessage>(this), image, TAccessMode::ReadWrite);
    openNew_.insert(nextAttachNum_++);
    *lpulAttachmentNum = image.num;
    *lppAttach = ComPtr<IAttach>(attach).Detach();
    return S_OK;
  });
}

HRESULT TMessage::DeleteAttach(ULONG ulAttachmentNum, ULONG_PTR, LPMAPIPROGRESS, ULONG ulFlags) {
  if (ulFlags & ~ATTACH_DIALOG) return Fail(MAPI_E_UNKNOWN_FLAGS, "DeleteAttach: unknown flags");
  return Guarded(LastError(), "DeleteAttach", [&] {
    auto lock = Lock();
    if (Access() != TAccessMode::ReadWrite) throw TMapiError(MAPI_E_NO_ACCESS, "the message is not open for writing");
    bool known = attachments_.erase(ulAttachmentNum) + openNew_.erase(ulAttachmentNum) > 0;
    if (!known) throw TMapiError(MAPI_E_NOT_FOUND, "there is no such attachment");
    RefreshAttachmentRows();
    return S_OK;
  });
}

void TMessage::StoreAttachment(TAttachmentImage attachment) {
  auto lock = Lock();
  if (!attachments_.count(attachment.num) && !openNew_.count(attachment.num))
    throw TMapiError(MAPI_E_OBJECT_DELETED, "the attachment has been deleted");
  if (Access() != TAccessMode::ReadWrite) throw TMapiError(MAPI_E_NO_ACCESS, "the message is not open for writing");
  openNew_.erase(attachment.num);
  ULONG num = attachment.num;
  attachments_[num] = std::move(attachment);
  RefreshAttachmentRows();
}

}  // namespace orba::store
