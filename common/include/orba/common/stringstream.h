// TVoStringStream: a text builder that collects UTF-16 text and hands it out as text or
// as bytes in its code page.
#pragma once

#include <cstdint>
#include <filesystem>

#include "orba/common/streams.h"
#include "orba/common/types.h"

namespace orba {

class TVoStringStream {
 public:
  // The code pages the builder can encode to.
  static constexpr uint32_t cpUtf16LE = 1200;
  static constexpr uint32_t cpUtf8 = 65001;

  // codePage: cpUtf16LE (the default) or any code page the support layer converts
  // to; an unsupported one raises E_INVALIDARG.
  explicit TVoStringStream(uint32_t codePage = cpUtf16LE);

  uint32_t CodePage() const { return codePage_; }
  // Changes the encoding of the bytes handed out; the text collected so far stays.
  void SetCodePage(uint32_t codePage);

  void Add(std::u16string_view text) { text_.append(text); }
  void AddChar(char16_t c) { text_.push_back(c); }
  // text followed by CR LF.
  void AddLine(std::u16string_view text = {});
  void Clear() { text_.clear(); }
  size_t Length() const { return text_.size(); }

  const WideString& GetAsString() const { return text_; }
  // The text in the code page, without byte-order mark; characters the code page
  // lacks become '?'.
  TVoBytes GetAsBytes() const;
  void SaveToStream(TVoStream& stream) const;
  // Creates (or replaces) the file with GetAsBytes().
  void SaveToFile(const std::filesystem::path& fileName) const;

 private:
  static void CheckCodePage(uint32_t codePage);

  WideString text_;
  uint32_t codePage_;
};

}  // namespace orba
