// The text of HTML, as a browser shows it when the text is copied: through libxml2's
// HTML parser, which reads any HTML (fragments, unclosed or misnested tags, unknown
// entities) as browsers do.
#pragma once

#include <string_view>

#include "orba/common/types.h"

namespace orba {

// The text of the HTML: runs of white space collapse to one blank except in <pre>;
// blocks (<div>, <li>, <tr>, ...) start on a new line, paragraphs and headings are set
// apart by an empty line, <br> breaks the line; list items start with "• " or their
// number, table cells are separated by tabs; the head, scripts and style sheets give
// nothing; entities are decoded; links give their text. Lines end in CR LF; the text
// has no empty lines before or after it. The work and memory grow in proportion to the
// HTML; HTML of more than 2 GB as UTF-8 raises EVoException with E_INVALIDARG.
WideString VoHTMLToPlainText(std::u16string_view html);

}  // namespace orba
