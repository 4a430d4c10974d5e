// The recipient types of the public interfaces (MAPI_ORIG, MAPI_TO, MAPI_CC, MAPI_BCC).
#pragma once

namespace orba {

enum TVoMAPIRecipientType { rtOrig, rtTo, rtCC, rtBCC };

}  // namespace orba
