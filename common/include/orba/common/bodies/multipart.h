// The text and HTML parts of a MIME multipart text, such as a message body that holds
// "This is a multi-part message in MIME format." followed by its parts.
#pragma once

#include <string_view>

#include "orba/common/types.h"

namespace orba {

struct TVoMultipartText {
  WideString Plain;  // the first text/plain part
  WideString Html;   // the first text/html part
};

// Splits the text into its parts. The boundary is the one a Content-Type header in
// front of the parts names, else the first line starting with "--" gives it. Nested
// multipart parts are searched too; parts marked as attachments are not taken. A part
// without a Content-Type is text/plain. Base64 and quoted-printable parts are decoded
// through their charset (the system code page when it has none the support layer
// knows); other parts are taken as they stand. A text without a boundary line is
// returned whole as the plain part.
TVoMultipartText VoDecodeMimeMultipartText(std::u16string_view text);

}  // namespace orba
