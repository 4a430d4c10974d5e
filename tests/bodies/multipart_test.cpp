// The text and HTML parts of MIME multipart texts.
#include "orba/common/bodies/multipart.h"

#include "bodiestesting.h"
#include "orba/common/utf8.h"

namespace orba::test {
namespace {

// As Outlook writes it: headers folded, a quoted-printable and a base64 part.
constexpr const char* kOutlook =
    "This is a multi-part message in MIME format.\r\n\r\n"
    "------=_NextPart_000_0001_01D9\r\nContent-Type: text/plain;\r\n\tcharset=\"iso-8859-1\"\r\n"
    "Content-Transfer-Encoding: quoted-printable\r\n\r\nCaf=E9 au lait, a long line that=\r\n goes on =3D done\r\n\r\n"
    "------=_NextPart_000_0001_01D9\r\nContent-Type: text/html;\r\n\tcharset=\"utf-8\"\r\n"
    "Content-Transfer-Encoding: base64\r\n\r\nPGh0bWw+PGJvZHk+Q2Fmw6k8L2JvZHk+\r\nPC9odG1sPg==\r\n\r\n"
    "------=_NextPart_000_0001_01D9--\r\n";

TEST(MultipartText, SplitsTheTextAndHTMLParts) {
  std::string deep;  // nesting stops at 32 levels
  for (int i = 0; i < 100; ++i)
    deep += "--b" + std::to_string(i) + "\nContent-Type: multipart/mixed; boundary=b" + std::to_string(i + 1) + "\n\n";
  deep += "--b100\n\ndeep\n";
  const struct {
    const char* name;
    std::string text;
    const char* plain;
    const char* html;
  } cases[] = {
      {"encoded parts", kOutlook, "Café au lait, a long line that goes on = done\r\n",
       "<html><body>Café</body></html>"},
      {"boundary from the header",
       "Content-Type: multipart/alternative; boundary=\"b1\"\r\n\r\npreamble\r\n--b1\r\n\r\nno headers: "
       "plain\r\n--b1\r\nContent-Type: text/html\r\n\r\n<p>é</p>\r\n--b1--\r\nepilogue",
       "no headers: plain", "<p>é</p>"},
      {"nested parts, attachments skipped",
       "--outer\nContent-Type: multipart/related; boundary=inner\n\n--inner\nContent-Type: text/html\n\n<b>x</b>\n"
       "--inner\nContent-Type: image/png\n\nPNG\n--inner--\n--outer\nContent-Type: text/plain\nContent-Disposition: "
       "attachment; filename=a.txt\n\nattached\n--outer\nContent-Type: text/plain\n\nbody\n--outer--\n",
       "body", "<b>x</b>"},
      {"missing closing boundary", "--b\r\nContent-Type: text/plain\r\n\r\nlast part\r\n", "last part\r\n", ""},
      {"unknown charset",
       "--b\nContent-Type: text/plain; charset=x-none\nContent-Transfer-Encoding: base64\n\nw6k=\n--b--", "Ã©", ""},
      {"broken encodings",
       "--b\nContent-Type: text/plain\nContent-Transfer-Encoding: quoted-printable\n\n=4=zz=\n--b\nContent-Type: "
       "text/html\nContent-Transfer-Encoding: base64\n\n!!PGI+==garbage\n--b--",
       "=4=zz", "<b>"},
      {"deep nesting", deep, "", ""},
  };
  for (const auto& c : cases) {
    const TVoMultipartText parts = VoDecodeMimeMultipartText(FromUtf8(c.text));
    EXPECT_EQ(ToUtf8(parts.Plain), c.plain) << c.name;
    EXPECT_EQ(ToUtf8(parts.Html), c.html) << c.name;
  }
}

}  // namespace
}  // namespace orba::test
