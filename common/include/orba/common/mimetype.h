// MIME types of files: by the file name's extension, or by the content (libmagic).
#pragma once

#include <cstdint>
#include <span>

#include "orba/common/types.h"

namespace orba {

// The MIME type for a file name's extension ("report.PDF" gives "application/pdf");
// "application/octet-stream" for an unknown or missing extension.
WideString VoGetMimeTypeFromFileName(const WideString& fileName);
// The MIME type that the content shows ("image/png", "text/plain", ...). Safe to call
// from any thread. Raises EVoException when the type database cannot be loaded.
WideString VoGetMimeTypeFromContent(std::span<const uint8_t> data);
// The MIME type of a file's content; a missing file raises EVoOSError.
WideString VoGetMimeTypeOfFile(const WideString& fileName);

}  // namespace orba
