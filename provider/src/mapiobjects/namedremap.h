// Named properties carried from one store into another. Each store has its own name
// map, so an identifier of the named range (0x8000-0xFFFE) means one name in the source
// and possibly another, or nothing, in the destination: each is looked up by name in
// the source and mapped (created when missing) in the destination. An identifier the
// source has no name for cannot be carried and is left out.
#pragma once

#include "props/namemap.h"
#include "storage/storeengine.h"

namespace orba::store {

void RemapNamedProps(TStoredProps& props, const INameMap& from, INameMap& to);
// The message's, its recipients', its attachments' and its embedded messages'
// properties (embedded images are replaced by remapped copies: they may be shared).
void RemapNamedProps(TMessageImage& image, const INameMap& from, INameMap& to);

}  // namespace orba::store
