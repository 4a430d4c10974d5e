// The compressed RTF bodies of the .msg corpus through every conversion, against what
// the independent reader gives: the decompressed RTF (NAME.rtf) and the plain body
// (NAME.json).
#include <nlohmann/json.hpp>

#include "bodiestesting.h"
#include "orba/common/bodies/compressedrtf.h"
#include "orba/common/bodies/htmltext.h"
#include "orba/common/bodies/rtfconvert.h"
#include "orba/common/utf8.h"

namespace orba::test {
namespace {

// What the independent reader gives for a body in ../msg/NAME.ext, when it gives it.
std::optional<std::string> Oracle(const std::filesystem::path& body, const char* extension) {
  const auto file = std::filesystem::path(ORBA_TEST_DATA_DIR "/msg") / (body.stem().string() + extension);
  return std::filesystem::exists(file) ? std::optional(ReadText(file.string())) : std::nullopt;
}

std::u16string_view Trimmed(std::u16string_view text, std::u16string_view blanks) {
  text.remove_prefix(std::min(text.find_first_not_of(blanks), text.size()));
  return text.substr(0, text.find_last_not_of(blanks) + 1);
}

// Outlook's plain bodies turn no-break spaces into spaces; a rich-edit control, and so
// the conversions here, keep them.
WideString WithPlainSpaces(WideString text) {
  std::replace(text.begin(), text.end(), u'\u00a0', u' ');
  return text;
}

TEST(Corpus, BodiesDecompressDecapsulateAndConvertAsTheOracleSays) {
  size_t oracles = 0, encapsulated = 0;
  const auto bodies = CompressedBodies();
  ASSERT_GE(bodies.size(), 30u);
  for (const auto& file : bodies) {
    SCOPED_TRACE(file.filename().string());
    const std::string stream = ReadText(file.string());
    const TVoBytes bytes = VoDecompressRTF(stream.data(), stream.size());
    const std::string rtf = AsString(bytes);
    // What decodes re-compresses to a stream that decodes the same.
    const TVoBytes again = VoCompressRTF(bytes.data(), bytes.size());
    EXPECT_EQ(VoDecompressRTF(again.data(), again.size()), bytes);

    const auto html = VoDecapsulateHTML(rtf);
    EXPECT_EQ(html.has_value(), rtf.find("\\fromhtml1") != std::string::npos);
    if (html) {
      ++encapsulated;
      EXPECT_EQ(html->CodePage, 932u);
      // Nothing of the RTF is left, and a document comes back whole (a fragment stays one).
      for (const char16_t* rtfOnly : {u"\\htmltag", u"\\htmlrtf", u"\\par", u"{\\*", u"\\'"})
        EXPECT_EQ(html->Html.find(rtfOnly), WideString::npos) << ToUtf8(rtfOnly);
      const std::u16string_view document = Trimmed(html->Html, u" \t\r\n");
      if (rtf.find("<html") != std::string::npos) {
        EXPECT_TRUE(document.starts_with(u"<html") || document.starts_with(u"<!DOCTYPE html>"));
        EXPECT_TRUE(document.ends_with(u"</html>"));
      } else {
        EXPECT_FALSE(document.empty());
      }
      const auto back = VoDecapsulateHTML(VoEncapsulateHTML(html->Html, html->CodePage));
      ASSERT_TRUE(back);
      EXPECT_EQ(back->Html, html->Html);
    }

    // The RTF as the oracle decompressed it; its text is the plain body whole, the HTML's
    // text the body without the line ends the RTF adds around it.
    const auto oracleRtf = Oracle(file, ".rtf");
    const auto json = Oracle(file, ".json");
    if (!oracleRtf || !json) continue;
    ++oracles;
    EXPECT_EQ(rtf, *oracleRtf);
    const WideString body = FromUtf8(nlohmann::json::parse(*json).value("body", std::string()));
    EXPECT_EQ(ToUtf8(WithPlainSpaces(VoRTFToPlainText(rtf))), ToUtf8(body));
    if (html) {
      EXPECT_EQ(ToUtf8(WithPlainSpaces(VoHTMLToPlainText(html->Html))), ToUtf8(Trimmed(body, u"\r\n")));
    }
  }
  EXPECT_EQ(oracles, 10u);
  EXPECT_GE(encapsulated, 15u);
}

}  // namespace
}  // namespace orba::test
