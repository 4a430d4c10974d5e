#include "orba/common/encoding.h"

#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "orba/common/com.h"
#include "orba/common/exceptions.h"
#include "orba/common/utf8.h"

namespace orba {
namespace {

struct CodePageInfo {
  uint32_t codePage;
  const char* iconvName;
  const char* charset;                         // preferred MIME name, may be empty
  std::initializer_list<const char*> aliases;  // further MIME names
};

const CodePageInfo kCodePages[] = {
    {437, "CP437", "ibm437", {"cp437", "437"}},
    {737, "CP737", "ibm737", {"cp737"}},
    {775, "CP775", "ibm775", {"cp775"}},
    {850, "CP850", "ibm850", {"cp850", "850"}},
    {852, "CP852", "ibm852", {"cp852"}},
    {855, "CP855", "ibm855", {"cp855"}},
    {857, "CP857", "ibm857", {"cp857"}},
    {860, "CP860", "ibm860", {"cp860"}},
    {861, "CP861", "ibm861", {"cp861"}},
    {862, "CP862", "dos-862", {"cp862", "ibm862"}},
    {863, "CP863", "ibm863", {"cp863"}},
    {864, "CP864", "ibm864", {"cp864"}},
    {865, "CP865", "ibm865", {"cp865"}},
    {866, "CP866", "cp866", {"ibm866"}},
    {869, "CP869", "ibm869", {"cp869"}},
    {874, "CP874", "windows-874", {"cp874", "tis-620"}},
    {932, "CP932", "shift_jis", {"shift-jis", "sjis", "x-sjis", "ms_kanji", "csshiftjis", "windows-31j", "cp932"}},
    {936, "CP936", "gb2312", {"gbk", "cp936", "x-gbk", "csgb2312", "gb_2312-80"}},
    {949, "CP949", "ks_c_5601-1987", {"ks_c_5601", "ks_c_5601-1989", "cp949", "uhc"}},
    {950, "CP950", "big5", {"cp950", "csbig5", "x-x-big5"}},
    {1200, "UTF-16LE", "utf-16", {"utf-16le", "unicode", "ucs-2"}},
    {1201, "UTF-16BE", "utf-16be", {"unicodefffe"}},
    {1250, "CP1250", "windows-1250", {"cp1250", "x-cp1250"}},
    {1251, "CP1251", "windows-1251", {"cp1251", "x-cp1251"}},
    {1252, "CP1252", "windows-1252", {"cp1252", "x-ansi"}},
    {1253, "CP1253", "windows-1253", {"cp1253"}},
    {1254, "CP1254", "windows-1254", {"cp1254"}},
    {1255, "CP1255", "windows-1255", {"cp1255"}},
    {1256, "CP1256", "windows-1256", {"cp1256"}},
    {1257, "CP1257", "windows-1257", {"cp1257"}},
    {1258, "CP1258", "windows-1258", {"cp1258"}},
    {1361, "CP1361", "johab", {"cp1361"}},
    {10000, "MACINTOSH", "macintosh", {"mac", "x-mac-roman"}},
    {20127, "ASCII", "us-ascii", {"ascii", "us", "ansi_x3.4-1968", "iso646-us", "csascii"}},
    {20866, "KOI8-R", "koi8-r", {"koi8", "cskoi8r"}},
    {21866, "KOI8-U", "koi8-u", {"koi8-ru"}},
    {28591, "ISO-8859-1", "iso-8859-1", {"iso8859-1", "latin1", "l1", "iso_8859-1", "cp819"}},
    {28592, "ISO-8859-2", "iso-8859-2", {"iso8859-2", "latin2", "l2", "iso_8859-2"}},
    {28593, "ISO-8859-3", "iso-8859-3", {"iso8859-3", "latin3", "l3"}},
    {28594, "ISO-8859-4", "iso-8859-4", {"iso8859-4", "latin4", "l4"}},
    {28595, "ISO-8859-5", "iso-8859-5", {"iso8859-5", "cyrillic"}},
    {28596, "ISO-8859-6", "iso-8859-6", {"iso8859-6", "arabic"}},
    {28597, "ISO-8859-7", "iso-8859-7", {"iso8859-7", "greek"}},
    {28598, "ISO-8859-8", "iso-8859-8", {"iso8859-8", "hebrew"}},
    {28599, "ISO-8859-9", "iso-8859-9", {"iso8859-9", "latin5", "l5"}},
    {28603, "ISO-8859-13", "iso-8859-13", {"iso8859-13"}},
    {28605, "ISO-8859-15", "iso-8859-15", {"iso8859-15", "latin-9", "latin9", "l9"}},
    {38598, "ISO-8859-8", "iso-8859-8-i", {}},
    {50220, "ISO-2022-JP", "iso-2022-jp", {"csiso2022jp"}},
    {50225, "ISO-2022-KR", "iso-2022-kr", {"csiso2022kr"}},
    {51932, "EUC-JP", "euc-jp", {"x-euc-jp", "cseucpkdfmtjapanese"}},
    {51936, "EUC-CN", "euc-cn", {"x-euc-cn"}},
    {51949, "EUC-KR", "euc-kr", {"cseuckr"}},
    {54936, "GB18030", "gb18030", {}},
    {65000, "UTF-7", "utf-7", {"unicode-1-1-utf-7"}},
    {65001, "UTF-8", "utf-8", {"utf8", "unicode-1-1-utf-8"}},
};

const CodePageInfo* FindCodePage(uint32_t codePage) {
  for (const CodePageInfo& info : kCodePages)
    if (info.codePage == codePage) return &info;
  return nullptr;
}

bool SameName(std::string_view a, const char* b) {
  return a.size() == std::strlen(b) && strncasecmp(a.data(), b, a.size()) == 0;
}

constexpr uint32_t kDefaultCodePage = 1252;
std::atomic<uint32_t> gCodePage{0};

uint32_t CodePageFromEnvironment() {
  const char* text = std::getenv("ORBA_ACP");
  if (!text || !*text) return kDefaultCodePage;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 10);
  return *end == '\0' && value != 0 && FindCodePage(static_cast<uint32_t>(value)) ? static_cast<uint32_t>(value)
                                                                                  : kDefaultCodePage;
}

[[noreturn]] void UnsupportedCodePage(uint32_t codePage) {
  throw EVoException(u"The code page " + FromUtf8(std::to_string(codePage)) + u" is not supported", E_INVALIDARG);
}

const CodePageInfo& ResolveCodePage(uint32_t codePage) {
  const CodePageInfo* info = FindCodePage(codePage == CP_ACP ? VoCodePage() : codePage);
  if (!info) UnsupportedCodePage(codePage);
  return *info;
}

// UTF-16 in the machine's byte order, the layout of char16_t strings.
const char* NativeUtf16() { return std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE"; }

// One iconv conversion with growable output. Errors in the input are left to the
// caller's handler, which writes a replacement and says how many input bytes to skip.
class Transcoder {
 public:
  Transcoder(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1))
      throw EVoException(u"The conversion from " + FromUtf8(from) + u" to " + FromUtf8(to) + u" is not available",
                         E_INVALIDARG);
  }
  ~Transcoder() { iconv_close(cd_); }
  Transcoder(const Transcoder&) = delete;
  Transcoder& operator=(const Transcoder&) = delete;

  // Converts input; on an invalid or unconvertible sequence calls
  // onError(*this, remaining input), which returns the number of bytes to skip.
  template <class OnError>
  std::string Run(std::string_view input, OnError onError) {
    output_.assign(input.size() * 2 + 16, '\0');
    used_ = 0;
    while (!input.empty()) {
      const int error = Convert(&input);
      if (error == 0) break;
      if (error == E2BIG) continue;
      input.remove_prefix(std::min(onError(*this, input), input.size()));
    }
    // Return a stateful encoding (ISO-2022-JP) to its initial shift state.
    while (Convert(nullptr) == E2BIG) {
    }
    output_.resize(used_);
    return std::move(output_);
  }

  // Converts a replacement text in the current shift state; a target that cannot show
  // it gets nothing.
  void Replace(std::string_view replacement) {
    while (!replacement.empty() && Convert(&replacement) == E2BIG) {
    }
  }
  void AppendRaw(std::string_view bytes) {
    if (output_.size() - used_ < bytes.size()) output_.resize(output_.size() * 2 + bytes.size());
    std::memcpy(output_.data() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
  }

 private:
  // One iconv call over *input (nullptr flushes the shift state), consuming what was
  // converted. Returns 0 or the errno of the failure; E2BIG has grown the output.
  int Convert(std::string_view* input) {
    char* in = input ? const_cast<char*>(input->data()) : nullptr;
    size_t inLeft = input ? input->size() : 0;
    char* out = output_.data() + used_;
    size_t outLeft = output_.size() - used_;
    const size_t result = iconv(cd_, input ? &in : nullptr, input ? &inLeft : nullptr, &out, &outLeft);
    const int error = result == static_cast<size_t>(-1) ? errno : 0;
    used_ = output_.size() - outLeft;
    if (input) input->remove_prefix(input->size() - inLeft);
    if (error == E2BIG) output_.resize(output_.size() * 2 + 16);
    return error;
  }

  iconv_t cd_;
  std::string output_;
  size_t used_ = 0;
};

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

std::string_view AsBytes(std::u16string_view text) {
  return {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)};
}

}  // namespace

uint32_t VoCodePage() {
  uint32_t codePage = gCodePage.load();
  if (codePage == 0) {
    uint32_t expected = 0;
    gCodePage.compare_exchange_strong(expected, CodePageFromEnvironment());
    codePage = gCodePage.load();
  }
  return codePage;
}

void VoSetCodePage(uint32_t codePage) {
  if (codePage == CP_ACP || !FindCodePage(codePage)) UnsupportedCodePage(codePage);
  gCodePage.store(codePage);
}

bool VoIsCodePageSupported(uint32_t codePage) { return codePage == CP_ACP || FindCodePage(codePage) != nullptr; }

AnsiString TVoEncoding::ConvertA(std::u16string_view text, uint32_t codePage) {
  const CodePageInfo& info = ResolveCodePage(codePage);
  if (text.empty()) return AnsiString();
  if (info.codePage == CP_UTF16LE && std::endian::native == std::endian::little) return AnsiString(AsBytes(text));
  Transcoder converter(info.iconvName, NativeUtf16());
  const std::string_view question = AsBytes(u"?");
  return converter.Run(AsBytes(text), [&](Transcoder& t, std::string_view rest) -> size_t {
    // Skip one character: a surrogate pair counts as one.
    const char16_t* units = reinterpret_cast<const char16_t*>(rest.data());
    const size_t count = rest.size() / sizeof(char16_t);
    t.Replace(question);
    if (count >= 2 && IsHighSurrogate(units[0]) && IsLowSurrogate(units[1])) return 4;
    return sizeof(char16_t);
  });
}

WideString TVoEncoding::ConvertW(std::string_view text, uint32_t codePage) {
  const CodePageInfo& info = ResolveCodePage(codePage);
  if (text.empty()) return WideString();
  WideString result;
  if (info.codePage == CP_UTF16LE) {
    // Kept unit for unit (unpaired surrogates too); a trailing odd byte is invalid.
    result.reserve(text.size() / 2 + 1);
    for (size_t i = 0; i + 1 < text.size(); i += 2)
      result.push_back(static_cast<char16_t>(uint8_t(text[i]) | (uint8_t(text[i + 1]) << 8)));
    if (text.size() % 2) result.push_back(u'\uFFFD');
    return result;
  }
  Transcoder converter(NativeUtf16(), info.iconvName);
  const std::string_view replacement = AsBytes(u"\uFFFD");
  const std::string bytes = converter.Run(text, [&](Transcoder& t, std::string_view) -> size_t {
    t.AppendRaw(replacement);
    return 1;
  });
  result.resize(bytes.size() / sizeof(char16_t));
  std::memcpy(result.data(), bytes.data(), result.size() * sizeof(char16_t));
  return result;
}

uint32_t CodePageFromCharset(std::string_view charset) {
  while (!charset.empty() && (charset.front() == ' ' || charset.front() == '"')) charset.remove_prefix(1);
  while (!charset.empty() && (charset.back() == ' ' || charset.back() == '"')) charset.remove_suffix(1);
  for (const CodePageInfo& info : kCodePages) {
    if (SameName(charset, info.charset)) return info.codePage;
    for (const char* alias : info.aliases)
      if (SameName(charset, alias)) return info.codePage;
  }
  return 0;
}

AnsiString CharsetFromCodePage(uint32_t codePage) {
  const CodePageInfo* info = FindCodePage(codePage);
  return info ? info->charset : "";
}

}  // namespace orba
