// Conversions between RTF and plain text, and between HTML and the RTF that
// encapsulates it (\fromhtml1: the HTML's markup in {\*\htmltagN ...} groups, its text
// between them, RTF meant only for RTF readers between \htmlrtf and \htmlrtf0).
//
// RTF is 8-bit text here; the RTF these functions write is 7-bit: every other
// character is a \'hh escape in the document's code page or, when that code page
// lacks it, a \uN escape.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "orba/common/types.h"

namespace orba {

// The text a rich-edit control shows for the RTF: the document's text with paragraph
// and line marks as CR LF, \tab (and \cell) as a tab, escapes decoded through the code
// pages of the document and its fonts, field results without their instructions, and
// nothing of the tables, pictures, document information and other destinations. Any
// bytes give a result.
WideString VoRTFToPlainText(std::string_view rtf);

// RTF showing the text in one font: line ends (CR LF, LF or CR) become paragraph
// marks, tabs \tab. codePage 0 means the system code page; one the support layer
// cannot convert raises EVoException with E_INVALIDARG. VoRTFToPlainText gives the text
// back with its line ends as CR LF.
AnsiString VoPlainTextToRTF(std::u16string_view text, uint32_t codePage = 0);

// The HTML encapsulated in the RTF, or nothing when the RTF does not encapsulate HTML
// (see VoRTFIsHTMLEncapsulated). Text of htmltag groups is taken whole; other text
// only outside \htmlrtf. \par gives CR LF and \tab a tab.
struct TVoDecapsulatedHTML {
  WideString Html;
  uint32_t CodePage;  // the RTF's code page (\ansicpg)
};
std::optional<TVoDecapsulatedHTML> VoDecapsulateHTML(std::string_view rtf);

// RTF encapsulating the HTML, which VoDecapsulateHTML gives back unchanged. codePage 0
// means 1252; one the support layer cannot convert raises EVoException with
// E_INVALIDARG.
AnsiString VoEncapsulateHTML(std::u16string_view html, uint32_t codePage = 0);

}  // namespace orba
