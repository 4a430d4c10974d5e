// Compressed RTF: the published worked examples, damaged streams, round trips, and the
// reader and writer streams.
#include "orba/common/bodies/compressedrtf.h"

#include "bodiestesting.h"
#include "common/mapierror.h"
#include "orba/common/com.h"

namespace orba::test {
namespace {

struct WorkedExample {
  const char* name;
  std::string_view rtf;
  TVoBytes compressed;
  bool isCompressed = true;
};

// The two examples of the published format: one without dictionary references beyond
// the starting words, one whose reference reaches into the bytes it produces; and the
// uncompressed form, which holds the RTF itself.
const WorkedExample kExamples[] = {
    {"simple",
     "{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n",
     {0x2d, 0x00, 0x00, 0x00, 0x2b, 0x00, 0x00, 0x00, 0x4c, 0x5a, 0x46, 0x75, 0xf1, 0xc5, 0xc7, 0xa7, 0x03,
      0x00, 0x0a, 0x00, 0x72, 0x63, 0x70, 0x67, 0x31, 0x32, 0x35, 0x42, 0x32, 0x0a, 0xf3, 0x20, 0x68, 0x65,
      0x6c, 0x09, 0x00, 0x20, 0x62, 0x77, 0x05, 0xb0, 0x6c, 0x64, 0x7d, 0x0a, 0x80, 0x0f, 0xa0}},
    {"crossing the write position",
     "{\\rtf1 WXYZWXYZWXYZWXYZWXYZ}",
     {0x1a, 0x00, 0x00, 0x00, 0x1c, 0x00, 0x00, 0x00, 0x4c, 0x5a, 0x46, 0x75, 0xe2, 0xd4, 0x4b,
      0x51, 0x41, 0x00, 0x04, 0x20, 0x57, 0x58, 0x59, 0x5a, 0x0d, 0x6e, 0x7d, 0x01, 0x0e, 0xb0}},
    {"uncompressed", "{\\rtf1 plain}", AsBytes(std::string_view("\x19\0\0\0\x0d\0\0\0MELA\0\0\0\0{\\rtf1 plain}", 29)),
     false},
};

TEST(CompressedRTF, WorkedExamplesDecodeAndEncodeToThePublishedBytes) {
  for (const auto& e : kExamples) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(AsString(VoDecompressRTF(e.compressed.data(), e.compressed.size())), e.rtf);
    EXPECT_EQ(VoCompressRTF(e.rtf.data(), e.rtf.size(), e.isCompressed), e.compressed);
  }
}

TVoBytes WithHeader(TVoBytes stream, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) stream.at(offset + size_t(i)) = uint8_t(value >> (8 * i));
  return stream;
}

TEST(CompressedRTF, DamagedStreamsAreRefusedWithWhatIsWrong) {
  const TVoBytes good = kExamples[0].compressed;
  TVoBytes flipped = good;
  flipped[30] ^= 0x01;
  const struct {
    const char* name;
    TVoBytes stream;
    const char16_t* message;
  } cases[] = {
      {"empty", {}, u"The compressed RTF stream ends inside its header (0 of 16 bytes)"},
      {"short header", TVoBytes(good.begin(), good.begin() + 10),
       u"The compressed RTF stream ends inside its header (10 of 16 bytes)"},
      {"unknown type", WithHeader(good, 8, 0x12345678), u"The compressed RTF stream has the unknown type 0x12345678"},
      {"size below the header", WithHeader(good, 0, 11),
       u"The compressed RTF stream states a size of 11 bytes, less than its header"},
      {"wrong CRC", flipped, u"The compressed RTF stream has a wrong CRC: 0x702545A9 where its header says 0xA7C7C5F1"},
      {"CRC of the header", WithHeader(good, 12, 0),
       u"The compressed RTF stream has a wrong CRC: 0xA7C7C5F1 where its header says 0x00000000"},
      {"length past the end", WithHeader(good, 0, 0x2d + 100),
       u"The compressed RTF stream ends 100 bytes before its stated length"},
      {"cut short", TVoBytes(good.begin(), good.begin() + 40),
       u"The compressed RTF stream ends 9 bytes before its stated length"},
      {"raw size too small", WithHeader(good, 4, 0x2b - 5),
       u"The compressed RTF stream holds more than its stated size of 38 bytes"},
      {"raw size too large", WithHeader(good, 4, 0x2b + 5),
       u"The compressed RTF stream holds 43 bytes of RTF instead of its stated 48"},
      {"uncompressed sizes disagree", WithHeader(kExamples[2].compressed, 4, 14),
       u"The uncompressed RTF stream states 14 bytes of RTF in 13 bytes of content"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_RAISES(VoDecompressRTF(c.stream.data(), c.stream.size()), EVoCompressedRTFError, E_FAIL, c.message);
  }
}

// Random data of every length up to well past the dictionary's size, with long repeats,
// comes back whole and decoded in pieces of any size, empty data too; bytes after a
// stream's end are not its own.
TEST(CompressedRTF, RandomDataRoundTrips) {
  std::mt19937 rng(7);
  for (int i = 0; i < 200; ++i) {
    TVoBytes data(i == 0 ? 0 : rng() % (i < 100 ? 64 : 20000));
    const int alphabet = 1 + int(rng() % 256);
    for (auto& b : data) b = uint8_t(rng() % unsigned(alphabet));
    if (i % 4 == 0 && data.size() > 100) std::copy(data.begin(), data.begin() + 50, data.end() - 50);  // a far repeat
    for (bool compressed : {true, false}) {
      TVoBytes stream = VoCompressRTF(data.data(), data.size(), compressed);
      const size_t size = stream.size(), piece = 1 + size_t(i) % 40;
      stream.insert(stream.end(), {'j', 'u', 'n', 'k'});
      TVoRTFDecompressor decoder;
      TVoBytes back;
      size_t used = 0;
      for (size_t at = 0; at < stream.size(); at += piece)
        used += decoder.Decode(stream.data() + at, std::min(piece, stream.size() - at), back);
      EXPECT_EQ(used, size);
      EXPECT_TRUE(decoder.Complete());
      ASSERT_EQ(back, data) << i;
    }
  }
}

// The writer stream writes what the whole buffer gives; the reader stream reads it back
// in pieces, seeks, and leaves its source just past the stream.
TEST(CompressedRTF, WriterAndReaderStreams) {
  const std::string rtf = ReadText(ORBA_TEST_DATA_DIR "/msg/test2.rtf");
  for (bool compressed : {true, false}) {
    auto target = std::make_shared<TVoMemoryStream>(AsBytes("keep"));
    target->SetPosition(4);
    TVoCompressedRTFWriter writer(target, compressed);
    for (size_t at = 0; at < rtf.size(); at += 1000)
      writer.WriteBuffer(rtf.data() + at, std::min<size_t>(1000, rtf.size() - at));
    writer.Commit();
    EXPECT_THROW(writer.Write("x", 1), EVoException);
    const TVoBytes stream = VoCompressRTF(rtf.data(), rtf.size(), compressed);
    EXPECT_EQ(target->Bytes(), AsBytes("keep" + AsString(stream)));

    target->WriteBuffer("after", 5);
    target->SetPosition(4);
    TVoCompressedRTFReader reader(target);
    std::string got;
    char chunk[1000];
    for (size_t n; (n = reader.Read(chunk, sizeof chunk)) > 0;) got.append(chunk, n);
    EXPECT_EQ(got, rtf);
    EXPECT_EQ(target->Position(), int64_t(4 + stream.size()));
    reader.SetPosition(100);  // back: decodes again
    EXPECT_EQ(reader.Read(chunk, 1), 1u);
    EXPECT_EQ(chunk[0], rtf[100]);
  }
  // A stream cut short fails the read that reaches the cut.
  const TVoBytes stream = VoCompressRTF(rtf.data(), rtf.size());
  TVoCompressedRTFReader cut(std::make_shared<TVoMemoryStream>(TVoBytes(stream.begin(), stream.end() - 3)));
  std::string sink(rtf.size(), '\0');
  EXPECT_THROW(cut.ReadBuffer(sink.data(), sink.size()), EVoCompressedRTFError);
  EXPECT_THROW(TVoCompressedRTFReader(nullptr), EVoException);
}

}  // namespace
}  // namespace orba::test
