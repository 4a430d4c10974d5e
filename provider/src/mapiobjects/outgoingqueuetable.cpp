// The outgoing queue table: see outgoingqueue.h.
#include "mapiobjects/outgoingqueuetable.h"

#include "base/maperror.h"
#include "props/tags.h"
#include "storage/sqlite/storeinternal.h"
#include "table/mapitable.h"
#include "table/rowbuilder.h"

namespace orba::store {
namespace {

// The display list (PR_DISPLAY_TO, _CC, _BCC) of the recipients of one type.
std::u16string DisplayList(const TMessageImage& image, ULONG recipientType) {
  std::u16string list;
  for (const TRecipientImage& recipient : image.recipients) {
    const TStoredProp* type = detail::FindProp(recipient.props, PROP_ID(tags::kRecipientType));
    const TStoredProp* name = detail::FindProp(recipient.props, PROP_ID(tags::kDisplayNameW));
    if (!type || !name) continue;
    if ((static_cast<ULONG>(detail::IntValue(*type).value_or(0)) & ~(MAPI_SUBMITTED | MAPI_P1)) != recipientType)
      continue;
    if (!list.empty()) list += u"; ";
    list += detail::TextValue(*name).value_or(u"");
  }
  return list;
}

class TOutgoingQueueSource final : public TMemoryRowSource, public std::enable_shared_from_this<TOutgoingQueueSource> {
 public:
  explicit TOutgoingQueueSource(std::shared_ptr<TOpenStore> store)
      : TMemoryRowSource({tags::kEntryId, tags::kInstanceKey, tags::kSubmitFlags, tags::kClientSubmitTime,
                          tags::kDisplayToW, tags::kDisplayCcW, tags::kDisplayBccW, tags::kMessageFlags,
                          tags::kMessageSize, tags::kPriority, tags::kSenderNameW, tags::kSubjectW}),
        store_(std::move(store)) {}
  ~TOutgoingQueueSource() override {
    if (listening_) store_->StopListening(listening_);
  }

  void Start() {
    Reset(QueueRows());
    std::weak_ptr<TOutgoingQueueSource> weak = weak_from_this();
    listening_ = store_->Listen([weak](const TStoreChange& change) {
      if (change.kind != TObjectKind::Message) return;
      if (auto self = weak.lock()) self->Reset(self->QueueRows());
    });
  }

 private:
  TRowList QueueRows() const {
    TStoreEngine& engine = store_->Engine();
    TRowList rows;
    for (const TQueuedMessage& queued : engine.OutgoingQueue()) {
      TMessageRecord record;
      TMessageImage image;
      try {
        record = engine.Message(queued.messageId);
        image = engine.LoadMessage(queued.messageId);
      } catch (const TMapiError&) {
        continue;  // deleted since the queue was read
      }
      com::TRowBuilder row;
      row.Binary(tags::kEntryId, store_->EntryId(TObjectKind::Message, queued.messageId));
      row.Id(tags::kInstanceKey, queued.messageId);
      row.Long(tags::kSubmitFlags, queued.submitFlags);
      row.Time(tags::kClientSubmitTime, queued.submitTime);
      for (auto [tag, type] : {std::pair{tags::kDisplayToW, MAPI_TO}, std::pair{tags::kDisplayCcW, MAPI_CC},
                               std::pair{tags::kDisplayBccW, MAPI_BCC}}) {
        TStoredProp text = detail::TextProp(tag, DisplayList(image, type));
        row.Stored(tag, text.value);
      }
      row.Long(tags::kMessageFlags, record.flags);
      row.Long(tags::kMessageSize, record.size);
      if (const TStoredProp* priority = detail::FindProp(image.props, PROP_ID(tags::kPriority));
          priority && priority->tag == tags::kPriority)
        row.Stored(tags::kPriority, priority->value);
      for (ULONG tag : {tags::kSenderNameW, tags::kSubjectW})
        if (const TStoredProp* prop = detail::FindProp(image.props, PROP_ID(tag)))
          if (auto text = detail::TextValue(*prop)) row.Stored(tag, detail::TextProp(tag, *text).value);
      rows.push_back(row.Build());
    }
    return rows;
  }

  std::shared_ptr<TOpenStore> store_;
  ULONG_PTR listening_ = 0;
};

}  // namespace

ComPtr<IMAPITable> CreateOutgoingQueueTable(const std::shared_ptr<TOpenStore>& store) {
  auto source = std::make_shared<TOutgoingQueueSource>(store);
  source->Start();
  return CreateMapiTable(source);
}

}  // namespace orba::store
