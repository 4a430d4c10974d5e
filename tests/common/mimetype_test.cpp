#include "orba/common/mimetype.h"

#include <gtest/gtest.h>

#include <string_view>
#include <thread>
#include <vector>

#include "orba/common/oserror.h"
#include "temphome.h"

namespace orba {
namespace {

std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

TEST(MimeType, ByFileNameAndByContent) {
  EXPECT_EQ(VoGetMimeTypeFromFileName(u"report.PDF"), u"application/pdf");
  EXPECT_EQ(VoGetMimeTypeFromFileName(u"C:\\mail\\item.msg"), u"application/vnd.ms-outlook");
  EXPECT_EQ(VoGetMimeTypeFromFileName(u"photo.JpEg"), u"image/jpeg");
  EXPECT_EQ(VoGetMimeTypeFromFileName(u"noext"), u"application/octet-stream");
  EXPECT_EQ(VoGetMimeTypeFromFileName(u"dir.d/noext"), u"application/octet-stream");
  EXPECT_EQ(VoGetMimeTypeFromFileName(u"trailing."), u"application/octet-stream");
  EXPECT_EQ(VoGetMimeTypeFromContent(
                Bytes(std::string_view("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x02\0\0\0", 33))),
            u"image/png");
  EXPECT_EQ(VoGetMimeTypeFromContent(Bytes("Just a line of plain text.\n")), u"text/plain");
  EXPECT_EQ(VoGetMimeTypeFromContent(Bytes("")), u"application/x-empty");
}

TEST(MimeType, ByContentFromManyThreads) {
  std::vector<std::thread> threads;
  std::vector<WideString> results(4);
  for (size_t i = 0; i < results.size(); ++i)
    threads.emplace_back([&, i] {
      for (int n = 0; n < 20; ++n) results[i] = VoGetMimeTypeFromContent(Bytes("GIF89a\x01\0\x01\0\0\0\0"));
    });
  for (auto& t : threads) t.join();
  for (const auto& r : results) EXPECT_EQ(r, u"image/gif");
}

TEST(MimeType, OfAFile) {
  TVoTempFolder folder;
  std::string file = ToUtf8(folder.Path()) + "/doc.bin";
  test::WriteText(file, "{\\rtf1\\ansi Hello}");
  EXPECT_EQ(VoGetMimeTypeOfFile(FromUtf8(file)), u"text/rtf");
  EXPECT_THROW(VoGetMimeTypeOfFile(FromUtf8(file + ".missing")), EVoOSError);
}

}  // namespace
}  // namespace orba
