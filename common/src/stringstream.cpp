#include "orba/common/stringstream.h"

#include "orba/common/com.h"
#include "orba/common/encoding.h"
#include "orba/common/exceptions.h"
#include "orba/common/utf8.h"

namespace orba {

TVoStringStream::TVoStringStream(uint32_t codePage) : codePage_(codePage) { CheckCodePage(codePage); }

void TVoStringStream::CheckCodePage(uint32_t codePage) {
  if (!VoIsCodePageSupported(codePage))
    throw EVoException(u"Code page " + FromUtf8(std::to_string(codePage)) + u" is not supported by TVoStringStream",
                       E_INVALIDARG);
}

void TVoStringStream::SetCodePage(uint32_t codePage) {
  CheckCodePage(codePage);
  codePage_ = codePage;
}

void TVoStringStream::AddLine(std::u16string_view text) {
  text_.append(text);
  text_.append(u"\r\n");
}

TVoBytes TVoStringStream::GetAsBytes() const {
  if (codePage_ == cpUtf16LE) {
    TVoMemoryStream bytes;
    bytes.WriteWideChars(text_);
    return bytes.Bytes();
  }
  AnsiString encoded = TVoEncoding::ConvertA(text_, codePage_);
  return TVoBytes(encoded.begin(), encoded.end());
}

void TVoStringStream::SaveToStream(TVoStream& stream) const { stream.WriteBytes(GetAsBytes()); }

void TVoStringStream::SaveToFile(const std::filesystem::path& fileName) const {
  TVoFileStream file(fileName, fmCreate);
  SaveToStream(file);
}

}  // namespace orba
