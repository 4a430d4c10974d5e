#include "orba/common/stringstream.h"

#include "orba/common/com.h"
#include "orba/common/exceptions.h"
#include "orba/common/utf8.h"

namespace orba {

TVoStringStream::TVoStringStream(uint32_t codePage) : codePage_(codePage) {
  CheckCodePage(codePage);
}

void TVoStringStream::CheckCodePage(uint32_t codePage) {
  if (codePage != cpUtf16LE && codePage != cpUtf8)
    throw EVoException(u"Code page " + FromUtf8(std::to_string(codePage)) +
                           u" is not supported by TVoStringStream",
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
  if (codePage_ == cpUtf8) {
    std::string utf8 = ToUtf8(text_);
    return TVoBytes(utf8.begin(), utf8.end());
  }
  TVoMemoryStream bytes;
  bytes.WriteWideChars(text_);
  return bytes.Bytes();
}

void TVoStringStream::SaveToStream(TVoStream& stream) const { stream.WriteBytes(GetAsBytes()); }

void TVoStringStream::SaveToFile(const std::filesystem::path& fileName) const {
  TVoFileStream file(fileName, fmCreate);
  SaveToStream(file);
}

}  // namespace orba
