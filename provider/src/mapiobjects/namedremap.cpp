// Named properties between stores: see namedremap.h.
#include "mapiobjects/namedremap.h"

#include <memory>

namespace orba::store {

void RemapNamedProps(TStoredProps& props, const INameMap& from, INameMap& to) {
  std::erase_if(props, [&](TStoredProp& prop) {
    ULONG id = PROP_ID(prop.tag);
    if (id < kFirstNamedId || id > kLastNamedId) return false;
    std::optional<TPropName> name = from.GetName(id);
    if (!name) return true;
    prop.tag = PROP_TAG(PROP_TYPE(prop.tag), to.GetId(*name, true));
    return false;
  });
}

void RemapNamedProps(TMessageImage& image, const INameMap& from, INameMap& to) {
  RemapNamedProps(image.props, from, to);
  for (TRecipientImage& recipient : image.recipients) RemapNamedProps(recipient.props, from, to);
  for (TAttachmentImage& attachment : image.attachments) {
    RemapNamedProps(attachment.props, from, to);
    if (attachment.embedded) {
      attachment.embedded = std::make_shared<TMessageImage>(*attachment.embedded);
      RemapNamedProps(*attachment.embedded, from, to);
    }
  }
}

}  // namespace orba::store
