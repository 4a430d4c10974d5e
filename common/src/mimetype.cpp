#include "orba/common/mimetype.h"

#include <magic.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

#include "orba/common/casefold.h"
#include "orba/common/com.h"
#include "orba/common/files.h"
#include "orba/common/oserror.h"
#include "orba/common/utf8.h"

namespace orba {

namespace {

struct MimeEntry {
  const char16_t* Extension;  // upper case, without the dot
  const char16_t* Type;
};

constexpr MimeEntry kMimeTypes[] = {
    {u"TXT", u"text/plain"},
    {u"LOG", u"text/plain"},
    {u"INI", u"text/plain"},
    {u"HTM", u"text/html"},
    {u"HTML", u"text/html"},
    {u"CSS", u"text/css"},
    {u"JS", u"text/javascript"},
    {u"RTF", u"application/rtf"},
    {u"PDF", u"application/pdf"},
    {u"PNG", u"image/png"},
    {u"JPG", u"image/jpeg"},
    {u"JPEG", u"image/jpeg"},
    {u"JPE", u"image/jpeg"},
    {u"GIF", u"image/gif"},
    {u"BMP", u"image/bmp"},
    {u"TIF", u"image/tiff"},
    {u"TIFF", u"image/tiff"},
    {u"ICO", u"image/x-icon"},
    {u"SVG", u"image/svg+xml"},
    {u"WEBP", u"image/webp"},
    {u"ZIP", u"application/zip"},
    {u"GZ", u"application/gzip"},
    {u"TGZ", u"application/gzip"},
    {u"TAR", u"application/x-tar"},
    {u"7Z", u"application/x-7z-compressed"},
    {u"RAR", u"application/vnd.rar"},
    {u"DOC", u"application/msword"},
    {u"DOCX", u"application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
    {u"DOT", u"application/msword"},
    {u"XLS", u"application/vnd.ms-excel"},
    {u"XLSX", u"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
    {u"PPT", u"application/vnd.ms-powerpoint"},
    {u"PPTX", u"application/vnd.openxmlformats-officedocument.presentationml.presentation"},
    {u"ODT", u"application/vnd.oasis.opendocument.text"},
    {u"ODS", u"application/vnd.oasis.opendocument.spreadsheet"},
    {u"MSG", u"application/vnd.ms-outlook"},
    {u"EML", u"message/rfc822"},
    {u"ICS", u"text/calendar"},
    {u"VCS", u"text/x-vcalendar"},
    {u"VCF", u"text/vcard"},
    {u"XML", u"application/xml"},
    {u"JSON", u"application/json"},
    {u"CSV", u"text/csv"},
    {u"MP3", u"audio/mpeg"},
    {u"WAV", u"audio/wav"},
    {u"OGG", u"audio/ogg"},
    {u"MID", u"audio/midi"},
    {u"MIDI", u"audio/midi"},
    {u"MP4", u"video/mp4"},
    {u"AVI", u"video/x-msvideo"},
    {u"MOV", u"video/quicktime"},
    {u"MPG", u"video/mpeg"},
    {u"MPEG", u"video/mpeg"},
    {u"WMV", u"video/x-ms-wmv"},
    {u"WMA", u"audio/x-ms-wma"},
    {u"EXE", u"application/x-msdownload"},
    {u"DLL", u"application/x-msdownload"},
    {u"P7S", u"application/pkcs7-signature"},
    {u"P7M", u"application/pkcs7-mime"},
    {u"CER", u"application/pkix-cert"},
    {u"TTF", u"font/ttf"},
    {u"WOFF", u"font/woff"},
};

// libmagic's cookie is not thread-safe: one cookie, used under a lock.
class MagicCookie {
 public:
  ~MagicCookie() {
    if (cookie_) magic_close(cookie_);
  }

  WideString TypeOf(std::span<const uint8_t> data) {
    std::lock_guard guard(mutex_);
    if (!cookie_) Open();
    const char* type = magic_buffer(cookie_, data.data(), data.size());
    if (!type) {
      const char* error = magic_error(cookie_);
      throw EVoException(
          FromUtf8(std::string("Failed to determine the MIME type: ") + (error ? error : "unknown error")), E_FAIL);
    }
    return FromUtf8(type);
  }

 private:
  void Open() {
    magic_t cookie = magic_open(MAGIC_MIME_TYPE);
    if (!cookie) throw EVoException(u"Failed to initialise the MIME type database", E_FAIL);
    if (magic_load(cookie, nullptr) != 0) {
      std::string error = magic_error(cookie) ? magic_error(cookie) : "unknown error";
      magic_close(cookie);
      throw EVoException(FromUtf8("Failed to load the MIME type database: " + error), E_FAIL);
    }
    cookie_ = cookie;
  }

  std::mutex mutex_;
  magic_t cookie_ = nullptr;
};

}  // namespace

WideString VoGetMimeTypeFromFileName(const WideString& fileName) {
  WideString ext = ExtractFileExt(fileName);
  if (ext.size() > 1) {
    WideString key = VoFoldCase(ext.substr(1));
    for (const auto& entry : kMimeTypes)
      if (key == entry.Extension) return entry.Type;
  }
  return u"application/octet-stream";
}

WideString VoGetMimeTypeFromContent(std::span<const uint8_t> data) {
  static MagicCookie cookie;
  return cookie.TypeOf(data);
}

WideString VoGetMimeTypeOfFile(const WideString& fileName) {
  std::ifstream in(ToUtf8(fileName), std::ios::binary);
  if (!in) {
    int err = errno;
    throw EVoOSError(u"Failed to open " + fileName + u": " + FromUtf8(std::strerror(err)), VoErrnoToOSError(err));
  }
  // The type database looks at the start of a file only.
  std::vector<uint8_t> head(1 << 20);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  return VoGetMimeTypeFromContent(head);
}

}  // namespace orba
