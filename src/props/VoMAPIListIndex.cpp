#include "props/VoMAPIListIndex.h"

#include "orba/common/com.h"
#include "orba/common/exceptions.h"
#include "orba/common/format.h"

namespace orba {

void VoListIndexError(int64_t Index) {
  throw EVoException(Format(u"List index out of bounds (%d)", {Index}), E_INVALIDARG);
}

}  // namespace orba
