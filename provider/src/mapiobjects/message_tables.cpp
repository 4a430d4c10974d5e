// The recipient and attachment tables of a message: each open table reads its own
// row source, and every source of the message is refreshed when its rows change.
#include <algorithm>

#include "mapiobjects/messageobject.h"
#include "table/mapitable.h"

namespace orba::store {

ComPtr<IMAPITable> TMessage::NewTable(std::vector<ULONG> columns, TRowList rows,
                                      std::vector<std::weak_ptr<TMemoryRowSource>>& sources) {
  auto source = std::make_shared<TMemoryRowSource>(std::move(columns));
  source->Reset(rows);
  std::erase_if(sources, [](const auto& weak) { return weak.expired(); });
  sources.push_back(source);
  return CreateMapiTable(source);
}

namespace {

void ResetAll(std::vector<std::weak_ptr<TMemoryRowSource>>& sources, const TRowList& rows) {
  std::erase_if(sources, [](const auto& weak) { return weak.expired(); });
  for (const auto& weak : sources)
    if (auto source = weak.lock()) source->Reset(rows);
}

}  // namespace

void TMessage::RefreshRecipientRows() {
  if (!recipientSources_.empty()) ResetAll(recipientSources_, RecipientRows());
}

void TMessage::RefreshAttachmentRows() {
  if (!attachmentSources_.empty()) ResetAll(attachmentSources_, AttachmentRows());
}

}  // namespace orba::store
