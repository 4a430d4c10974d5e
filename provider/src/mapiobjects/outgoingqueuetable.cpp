// The outgoing queue table: see outgoingqueue.h.
#include "mapiobjects/outgoingqueuetable.h"

#include "mapiobjects/message.h"

#include "base/maperror.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "table/mapitable.h"
#include "table/rowbuilder.h"

namespace orba::store {
namespace {

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
    for (const TQueuedMessage& queued : engine.Submission().Queue()) {
      TMessageRecord record;
      TMessageImage image;
      try {
        record = engine.Messages().Get(queued.messageId);
        image = engine.Messages().Load(queued.messageId);
      } catch (const TMapiError&) {
        continue;  // deleted since the queue was read
      }
      TRowBuilder row;
      row.Binary(tags::kEntryId, store_->EntryId(TObjectKind::Message, queued.messageId));
      row.Id(tags::kInstanceKey, queued.messageId);
      row.Long(tags::kSubmitFlags, queued.submitFlags);
      row.Time(tags::kClientSubmitTime, queued.submitTime);
      for (auto [tag, type] : {std::pair{tags::kDisplayToW, MAPI_TO}, std::pair{tags::kDisplayCcW, MAPI_CC},
                               std::pair{tags::kDisplayBccW, MAPI_BCC}}) {
        TStoredProp text = Stored(TextValue(tag, RecipientDisplayList(image.recipients, type)));
        row.Stored(tag, text.value);
      }
      row.Long(tags::kMessageFlags, record.flags);
      row.Long(tags::kMessageSize, record.size);
      if (const TStoredProp* priority = FindStored(image.props, PROP_ID(tags::kPriority));
          priority && priority->tag == tags::kPriority)
        row.Stored(tags::kPriority, priority->value);
      for (ULONG tag : {tags::kSenderNameW, tags::kSubjectW})
        if (const TStoredProp* prop = FindStored(image.props, PROP_ID(tag)))
          if (auto text = StoredText(*prop)) row.Stored(tag, Stored(TextValue(tag, *text)).value);
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
