// The conversions between message body formats (unit uVoMAPIUtils): HTML encapsulated
// in RTF both ways, RTF and HTML to plain text, plain text to RTF, and the parts of a
// MIME multipart text. They are pure text transformations; the message object uses
// them to read and write bodies.
//
// RTF is 8-bit text. Failures raise the library's exceptions (EVoMAPIException and its
// EMAPI_... classes) with the function's name first: "ConvertHTMLToPlainText failed!".
#pragma once

#include <cstdint>

#include "orba/common/streams.h"
#include "orba/common/stringstream.h"
#include "orba/common/types.h"

namespace orba {

// RTF that encapsulates the HTML (\fromhtml1), in a string stream whose code page is
// the RTF's. codePage 0 means 1252; a code page RTF cannot be written in raises
// EMAPI_INVALID_PARAMETER. De-encapsulating the RTF gives the HTML back unchanged.
TVoStringStream CreateRTFEncodedHTMLStream(const WideString& html, uint32_t codePage);

// Reads RTF from rtfStream (from its position to its end) and, when the RTF
// encapsulates HTML, adds the HTML to htmlStream, sets htmlStream's code page to the
// RTF's (\ansicpg) and returns true. RTF that encapsulates no HTML gives false and
// leaves htmlStream as it was.
bool ConvertRTFStreamToHTMLStream(TVoStream& rtfStream, TVoStringStream& htmlStream);

// The text a rich-edit control shows for the RTF (paragraphs and line breaks as
// CR LF). Any bytes give a result.
WideString ConvertRTFToPlainText(const AnsiString& rtf);

// RTF of the text in the system code page (characters it lacks as Unicode escapes);
// ConvertRTFToPlainText gives the text back with its line ends as CR LF.
AnsiString ConvertPlainTextToRTF(const WideString& text);

// The text of the HTML as a browser shows it: blocks on lines of their own, list
// items marked, table cells separated by tabs, no scripts or style sheets, entities
// decoded. HTML of any size is converted in time and memory proportional to it.
WideString ConvertHTMLToPlainText(const WideString& html);

// The first text/plain and text/html parts of a MIME multipart text ("This is a
// multi-part message in MIME format.", parts between boundary lines starting with
// "--"); nested multipart parts are searched, attachments skipped, base64 and
// quoted-printable parts decoded through their charset. A text that is not multipart
// is all plain text.
void DecodeMimeMultiPartText(const WideString& text, WideString& plain, WideString& html);

}  // namespace orba
