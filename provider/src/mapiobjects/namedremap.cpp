// Named properties between stores: see namedremap.h.
#include "mapiobjects/namedremap.h"

#include <memory>

namespace orba::store {

void RemapNamedProps(StoredProps& props, const NameMap& from, NameMap& to) {
  std::erase_if(props, [&](StoredProp& prop) {
    ULONG id = PROP_ID(prop.tag);
    if (id < kFirstNamedId || id > kLastNamedId) return false;
    std::optional<PropName> name = from.GetName(id);
    if (!name) return true;
    prop.tag = PROP_TAG(PROP_TYPE(prop.tag), to.GetId(*name, true));
    return false;
  });
}

void RemapNamedProps(MessageImage& image, const NameMap& from, NameMap& to) {
  RemapNamedProps(image.props, from, to);
  for (RecipientImage& recipient : image.recipients) RemapNamedProps(recipient.props, from, to);
  for (AttachmentImage& attachment : image.attachments) {
    RemapNamedProps(attachment.props, from, to);
    if (attachment.embedded) {
      attachment.embedded = std::make_shared<MessageImage>(*attachment.embedded);
      RemapNamedProps(*attachment.embedded, from, to);
    }
  }
}

}  // namespace orba::store
