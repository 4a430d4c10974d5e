// The engine's values: see storetypes.h.
#include "storage/storetypes.h"

#include <algorithm>

#include "props/propvalues.h"

namespace orba::store {

uint64_t ImageSize(const TMessageImage& image) {
  uint64_t size = StoredSize(image.props);
  for (const auto& recipient : image.recipients) size += StoredSize(recipient.props);
  for (const auto& attachment : image.attachments)
    size += StoredSize(attachment.props) + (attachment.embedded ? ImageSize(*attachment.embedded) : 0);
  return size;
}

ULONG SizeValue(uint64_t size) { return static_cast<ULONG>(std::min<uint64_t>(size, 0x7FFFFFFF)); }

}  // namespace orba::store
