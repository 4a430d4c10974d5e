// Reading RTF: a tokenizer that splits RTF into its tokens, and a reader on top of it
// that follows the state of each group (destinations, the font and with it the code
// page, \uc, \htmlrtf) and hands the decoded text of the document to a subclass.
//
// Both take any bytes: unbalanced groups, a \bin longer than what follows, control
// words with huge parameters and nesting of any depth are read without recursion and
// without reading past the end; what cannot be made sense of is skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "orba/common/types.h"

namespace orba {

class TVoRTFCodePage;

enum class TVoRTFTokenType {
  End,            // the end of the input
  GroupStart,     // {
  GroupEnd,       // }
  ControlWord,    // \word or \wordN: Word holds the letters
  ControlSymbol,  // \ followed by one other character: Word holds it
  Text,           // a run of text bytes: Data (line breaks of the RTF are not part of it)
  HexByte,        // \'hh: Byte
  Binary,         // the data of \binN: Data (cut short when the input ends first)
};

struct TVoRTFToken {
  TVoRTFTokenType Type = TVoRTFTokenType::End;
  std::string_view Word;
  bool HasParameter = false;
  int32_t Parameter = 0;  // limited to the 32-bit range
  std::string_view Data;
  uint8_t Byte = 0;
};

class TVoRTFTokenizer {
 public:
  // The text must outlive the tokenizer and its tokens.
  explicit TVoRTFTokenizer(std::string_view rtf) : rtf_(rtf) {}
  // The next token; End from the end of the input on.
  TVoRTFToken Next();
  // Bytes read so far.
  size_t Position() const { return pos_; }

 private:
  TVoRTFToken ReadControl();

  std::string_view rtf_;
  size_t pos_ = 0;
};

// Where the text of a group goes.
enum class TVoRTFDestination : uint8_t {
  Text,       // the document's text
  HtmlTag,    // \*\htmltag: encapsulated HTML
  FontTable,  // \fonttbl: read for the fonts' code pages
  Skip,       // any other destination: not text
};

// The state a group inherits from its parent and may change.
struct TVoRTFGroupState {
  TVoRTFDestination Destination = TVoRTFDestination::Text;
  bool HtmlRtf = false;         // \htmlrtf: RTF only, not part of encapsulated HTML
  bool Ignorable = false;       // after \*: the group is a destination to skip unless known
  uint8_t UnicodeSkip = 1;      // \ucN: characters that stand in for each \uN
  int32_t Font = kDefaultFont;  // \fN
  static constexpr int32_t kDefaultFont = -1;
};

// Reads a whole document and passes its decoded text on. Text is decoded through the
// code page of the current font (\fN with \fcharsetN or \cpgN in the font table), or
// of the document (\ansicpgN, \ansi, \mac, \pc, \pca; 1252 when none is given); text of
// an htmltag destination through the document's code page. \uN gives its UTF-16 unit
// and the \ucN characters after it are skipped. Paragraph, line, tab, cell and row
// marks and the special characters (\emdash, \lquote, \~, ...) become their text.
// Destinations not meant as text (font, colour and style tables, document
// information, pictures, field instructions, headers and footers, \* groups other
// than htmltag, ...) give none, and so do groups nested more than 4096 levels deep.
class TVoRTFReader {
 public:
  explicit TVoRTFReader(std::string_view rtf);
  virtual ~TVoRTFReader();
  TVoRTFReader(const TVoRTFReader&) = delete;
  TVoRTFReader& operator=(const TVoRTFReader&) = delete;

  // Reads the document to its end (once).
  void Read();
  // The document's code page (from \ansicpg and its kin).
  uint32_t DocumentCodePage() const { return documentCodePage_; }

 protected:
  // Decoded text of a Text or HtmlTag destination, with the state of its group.
  virtual void Characters(std::u16string_view text, const TVoRTFGroupState& state) = 0;

 private:
  void ControlWord(const TVoRTFToken& token);
  void ControlSymbol(char symbol);
  void AddBytes(std::string_view bytes);
  void AddText(std::u16string_view text);
  void Flush();
  bool SkipFallback();
  uint32_t CodePage() const;

  TVoRTFTokenizer tokenizer_;
  std::vector<TVoRTFGroupState> groups_;
  TVoRTFGroupState state_;
  size_t skipDepth_ = 0;     // > 0: inside a group that gives no text
  size_t fallbackLeft_ = 0;  // characters still to skip after \uN
  uint32_t documentCodePage_ = 1252;
  bool explicitCodePage_ = false;
  int32_t defaultFont_ = 0;
  int32_t fontDefined_ = TVoRTFGroupState::kDefaultFont;  // the font the table describes now
  std::map<int32_t, uint32_t> fontCodePages_;
  std::string bytes_;  // text bytes waiting to be decoded together
  uint32_t bytesCodePage_ = 0;
  std::map<uint32_t, std::unique_ptr<TVoRTFCodePage>> codePages_;
};

// Whether the RTF carries encapsulated HTML: \fromhtml1 among the control words of the
// document's header, that is before its first text and its first htmltag group.
bool VoRTFIsHTMLEncapsulated(std::string_view rtf);

// Whether RTF text can be in the code page: one the support layer converts, of 8-bit
// text in which ASCII stands for itself.
bool VoRTFIsUsableCodePage(int64_t codePage);

// The code page of an RTF character set (\fcharsetN); 0 for the document's own.
uint32_t VoRTFCharsetCodePage(int32_t charset);
// The RTF character set of a code page; -1 when it has none.
int32_t VoRTFCodePageCharset(uint32_t codePage);

}  // namespace orba
