// CopyTo and CopyProps of messages and attachments: recipients, attachments and
// embedded messages go to the destination through its own IMessage and IAttach
// methods, so that a message of another store (with its own name map) receives them
// as well as one of this store. Named properties travel by name.
#include <algorithm>

#include "base/maperror.h"
#include "mapi/mapiexports.h"
#include "mapiobjects/attach.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "table/proprow.h"

namespace orba::store {
namespace {

bool Excludes(ULONG count, LPCIID iids, REFIID iid) {
  for (ULONG i = 0; iids && i < count; ++i)
    if (iids[i] == iid) return true;
  return false;
}

// The attachment numbers of a message.
std::vector<ULONG> AttachmentNumbers(IMessage* message) {
  ComPtr<IMAPITable> table;
  CheckResult(message->GetAttachmentTable(0, table.Out()), "the destination's attachments cannot be read");
  SizedSPropTagArray<1> columns{1, {tags::kAttachNum}};
  CheckResult(table->SetColumns(columns.Ptr(), 0), "the destination's attachments cannot be read");
  std::vector<ULONG> numbers;
  for (;;) {
    LPSRowSet rows = nullptr;
    CheckResult(table->QueryRows(100, 0, &rows), "the destination's attachments cannot be read");
    ULONG count = rows->cRows;
    for (ULONG i = 0; i < count; ++i)
      if (rows->aRow[i].lpProps[0].ulPropTag == tags::kAttachNum) numbers.push_back(rows->aRow[i].lpProps[0].Value.ul);
    FreeProws(rows);
    if (!count) return numbers;
  }
}

ULONG RecipientCount(IMessage* message) {
  ComPtr<IMAPITable> table;
  CheckResult(message->GetRecipientTable(0, table.Out()), "the destination's recipients cannot be read");
  ULONG count = 0;
  CheckResult(table->GetRowCount(0, &count), "the destination's recipients cannot be read");
  return count;
}

}  // namespace

std::vector<ULONG> TMessage::SubObjectTags() const { return {tags::kMessageRecipients, tags::kMessageAttachments}; }

void TMessage::CopySubObjects(IMAPIProp* destination, const std::vector<ULONG>& tags, ULONG ciidExclude,
                              LPCIID rgiidExclude, ULONG ulFlags) {
  ComPtr<IMessage> target;
  // Only a message takes recipients and attachments.
  if (FAILED(destination->QueryInterface(IID_IMessage, target.OutVoid()))) return;
  bool noReplace = (ulFlags & MAPI_NOREPLACE) != 0;
  bool recipientsGone = false;
  bool attachmentsGone = false;
  for (ULONG tag : tags) {
    if (PROP_ID(tag) == PROP_ID(tags::kMessageRecipients))
      recipientsGone = CopyRecipientsTo(target.get(), noReplace);
    else if (PROP_ID(tag) == PROP_ID(tags::kMessageAttachments) &&
             !Excludes(ciidExclude, rgiidExclude, IID_IAttachment))
      attachmentsGone = CopyAttachmentsTo(target.get(), noReplace);
  }
  if (!(ulFlags & MAPI_MOVE)) return;
  // A move leaves the source without what it handed on (until its SaveChanges, as
  // every change of a message).
  if (recipientsGone) {
    recipients_.clear();
    RefreshRecipientRows();
  }
  if (attachmentsGone) {
    attachments_.clear();
    RefreshAttachmentRows();
  }
}

bool TMessage::CopyRecipientsTo(IMessage* destination, bool noReplace) {
  if (recipients_.empty() || (noReplace && RecipientCount(destination) > 0)) return false;
  std::vector<ULONG> sourceTags;
  for (const auto& recipient : recipients_)
    for (const auto& prop : recipient.props)
      if (std::find(sourceTags.begin(), sourceTags.end(), prop.tag) == sourceTags.end()) sourceTags.push_back(prop.tag);
  std::vector<ULONG> destTags = DestinationTags(destination, sourceTags);
  auto tagFor = [&](ULONG tag) {
    return destTags[std::find(sourceTags.begin(), sourceTags.end(), tag) - sourceTags.begin()];
  };

  std::vector<TMapiBuffer<SPropValue>> decoded;
  std::vector<std::vector<SPropValue>> entries(recipients_.size());
  auto list = TMapiBuffer<ADRLIST>::Allocate(CbNewADRLIST(recipients_.size()));
  list->cEntries = static_cast<ULONG>(recipients_.size());
  for (size_t i = 0; i < recipients_.size(); ++i) {
    const TStoredProps& props = recipients_[i].props;
    decoded.push_back(DecodeStored(props));
    for (size_t j = 0; j < props.size(); ++j) {
      ULONG tag = tagFor(props[j].tag);
      if (!tag) continue;  // a name the destination has no identifier for
      SPropValue value = decoded.back().get()[j];
      value.ulPropTag = tag;
      entries[i].push_back(value);
    }
    list->aEntries[i].cValues = static_cast<ULONG>(entries[i].size());
    list->aEntries[i].rgPropVals = entries[i].data();
  }
  // Without MAPI_NOREPLACE the source's recipients replace the destination's.
  CheckResult(destination->ModifyRecipients(0, list.get()), "the recipients cannot be copied");
  return true;
}

bool TMessage::CopyAttachmentsTo(IMessage* destination, bool noReplace) {
  if (attachments_.empty()) return false;
  std::vector<ULONG> existing = AttachmentNumbers(destination);
  if (!existing.empty()) {
    if (noReplace) return false;
    for (ULONG num : existing)
      CheckResult(destination->DeleteAttach(num, 0, nullptr, 0), "an attachment cannot be replaced");
  }
  for (const auto& [num, attachment] : attachments_) {
    ComPtr<IAttach> target;
    ULONG targetNum = 0;
    CheckResult(destination->CreateAttach(nullptr, 0, &targetNum, target.Out()), "an attachment cannot be created");
    ComPtr<TAttach> source = TAttach::Make(ComPtr<TMessage>(this), attachment, TAccessMode::ReadOnly);
    CheckResult(source->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IAttachment, static_cast<IAttach*>(target.get()),
                               0, nullptr),
                "an attachment cannot be copied");
    CheckResult(target->SaveChanges(0), "a copied attachment cannot be saved");
  }
  return true;
}

std::vector<ULONG> TAttach::SubObjectTags() const { return {tags::kAttachDataObj}; }

void TAttach::CopySubObjects(IMAPIProp* destination, const std::vector<ULONG>&, ULONG, LPCIID, ULONG ulFlags) {
  if (!embedded_) return;
  ComPtr<IAttach> target;
  if (FAILED(destination->QueryInterface(IID_IAttachment, target.OutVoid()))) return;
  if (ulFlags & MAPI_NOREPLACE) {
    ComPtr<IMessage> present;
    if (SUCCEEDED(target->OpenProperty(tags::kAttachDataObj, &IID_IMessage, 0, 0,
                                       reinterpret_cast<LPUNKNOWN*>(present.Out()))))
      return;
  }
  ComPtr<IMessage> copy;
  CheckResult(target->OpenProperty(tags::kAttachDataObj, &IID_IMessage, 0, MAPI_CREATE | MAPI_MODIFY,
                                   reinterpret_cast<LPUNKNOWN*>(copy.Out())),
              "the embedded message cannot be created");
  ComPtr<TMessage> source =
      TMessage::OpenEmbedded(message_->Engine(), ComPtr<TAttach>(this), embedded_.get(), TAccessMode::ReadOnly);
  CheckResult(
      source->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMessage, static_cast<IMessage*>(copy.get()), 0, nullptr),
      "the embedded message cannot be copied");
  CheckResult(copy->SaveChanges(0), "the embedded message cannot be saved");
  if (ulFlags & MAPI_MOVE) embedded_.reset();
}

}  // namespace orba::store
