#include "orba/common/exceptions.h"

#include "orba/common/utf8.h"

namespace orba {

EVoException::EVoException(WideString message, int32_t code)
    : message_(std::move(message)), utf8_(ToUtf8(message_)), code_(code) {}

}  // namespace orba
