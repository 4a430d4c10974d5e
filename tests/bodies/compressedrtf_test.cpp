// Compressed RTF: the published worked examples, the corpus against the independent
// reader's decompressed bodies, round trips, and damaged streams.
#include "orba/common/bodies/compressedrtf.h"

#include "bodiestesting.h"

namespace orba::test {
namespace {

struct WorkedExample {
  const char* name;
  std::string_view rtf;
  TVoBytes compressed;
};

// The two examples of the published format: one without dictionary references beyond
// the starting words, one whose reference reaches into the bytes it produces.
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
};

TEST(CompressedRTF, WorkedExamplesDecodeAndEncodeToThePublishedBytes) {
  for (const auto& e : kExamples) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(AsString(VoDecompressRTF(e.compressed.data(), e.compressed.size())), e.rtf);
    EXPECT_EQ(VoCompressRTF(e.rtf.data(), e.rtf.size()), e.compressed);
  }
}

TEST(CompressedRTF, CorpusDecompressesToTheOraclesBodies) {
  const auto bodies = CompressedBodies();
  ASSERT_GE(bodies.size(), 30u);
  size_t compared = 0;
  for (const auto& file : bodies) {
    SCOPED_TRACE(file.filename().string());
    const std::string stream = ReadFileBytes(file);
    const TVoBytes rtf = VoDecompressRTF(stream.data(), stream.size());
    EXPECT_TRUE(AsString(rtf).starts_with("{\\rtf1"));
    if (std::filesystem::exists(OracleFile(file, ".rtf"))) {
      EXPECT_EQ(AsString(rtf), ReadFileBytes(OracleFile(file, ".rtf")));
      ++compared;
    }
    // What decodes re-compresses to a stream that decodes the same.
    const TVoBytes again = VoCompressRTF(rtf.data(), rtf.size());
    EXPECT_EQ(VoDecompressRTF(again.data(), again.size()), rtf);
  }
  EXPECT_EQ(compared, 10u);
}

TVoBytes WithHeader(TVoBytes stream, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) stream[offset + size_t(i)] = uint8_t(value >> (8 * i));
  return stream;
}

TEST(CompressedRTF, DamagedStreamsAreRefusedWithWhatIsWrong) {
  const TVoBytes good = kExamples[0].compressed;
  TVoBytes flipped = good;
  flipped[30] ^= 0x01;
  TVoBytes cut = good;
  cut.resize(40);
  const TVoBytes mela = VoCompressRTF("{\\rtf1}", 7, false);
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
       u"The compressed RTF stream has a wrong CRC: 0xA7C7C5F1 where "
       u"its header says 0x00000000"},
      {"length past the end", WithHeader(good, 0, 0x2d + 100),
       u"The compressed RTF stream ends 100 bytes before its stated length"},
      {"cut short", cut, u"The compressed RTF stream ends 9 bytes before its stated length"},
      {"raw size too small", WithHeader(good, 4, 0x2b - 5),
       u"The compressed RTF stream holds more than its stated size of 38 bytes"},
      {"raw size too large", WithHeader(good, 4, 0x2b + 5),
       u"The compressed RTF stream holds 43 bytes of RTF instead of its stated 48"},
      {"uncompressed sizes disagree", WithHeader(mela, 4, 8),
       u"The uncompressed RTF stream states 8 bytes of RTF in 7 bytes of content"},
  };
  for (const auto& c : cases) {
    try {
      VoDecompressRTF(c.stream.data(), c.stream.size());
      ADD_FAILURE() << c.name;
    } catch (const EVoCompressedRTFError& e) {
      EXPECT_EQ(e.Message(), c.message) << c.name;
      EXPECT_EQ(e.Code(), int32_t(0x80004005));
    }
  }
}

TEST(CompressedRTF, UncompressedFormHoldsTheRTFItself) {
  const std::string rtf = "{\\rtf1 plain}";
  const TVoBytes stream = VoCompressRTF(rtf.data(), rtf.size(), false);
  ASSERT_EQ(stream.size(), 16 + rtf.size());
  EXPECT_EQ(TVoBytes(stream.begin(), stream.begin() + 16),
            (TVoBytes{25, 0, 0, 0, 13, 0, 0, 0, 'M', 'E', 'L', 'A', 0, 0, 0, 0}));
  EXPECT_EQ(AsString(VoDecompressRTF(stream.data(), stream.size())), rtf);
  for (bool compressed : {true, false}) {
    const TVoBytes empty = VoCompressRTF(nullptr, 0, compressed);
    EXPECT_TRUE(VoDecompressRTF(empty.data(), empty.size()).empty());
  }
}

// Random data and text of every length up to well past the dictionary's size, with
// long repeats, come back; bytes after a stream's end are not its own.
TEST(CompressedRTF, RandomDataRoundTrips) {
  std::mt19937 rng(7);
  for (int i = 0; i < 200; ++i) {
    TVoBytes data(rng() % (i < 100 ? 64 : 20000));
    const int alphabet = 1 + int(rng() % 256);
    for (auto& b : data) b = uint8_t(rng() % unsigned(alphabet));
    if (i % 4 == 0 && data.size() > 100) std::copy(data.begin(), data.begin() + 50, data.end() - 50);  // a far repeat
    for (bool compressed : {true, false}) {
      TVoBytes stream = VoCompressRTF(data.data(), data.size(), compressed);
      const size_t size = stream.size();
      stream.insert(stream.end(), {'j', 'u', 'n', 'k'});
      TVoRTFDecompressor decoder;
      TVoBytes back;
      EXPECT_EQ(decoder.Decode(stream.data(), stream.size(), back), size);
      EXPECT_TRUE(decoder.Complete());
      ASSERT_EQ(back, data) << i;
    }
  }
}

TEST(CompressedRTF, DecodesPieceByPiece) {
  const std::string stream = ReadFileBytes(CompressedBodies().front());
  const TVoBytes whole = VoDecompressRTF(stream.data(), stream.size());
  for (size_t piece : {1u, 2u, 3u, 17u, 4096u}) {
    TVoRTFDecompressor decoder;
    TVoBytes rtf;
    for (size_t at = 0; at < stream.size(); at += piece)
      decoder.Decode(stream.data() + at, std::min(piece, stream.size() - at), rtf);
    decoder.Finish();
    EXPECT_EQ(rtf, whole) << piece;
  }
  TVoRTFDecompressor early;
  TVoBytes rtf;
  early.Decode(stream.data(), stream.size() - 1, rtf);
  EXPECT_FALSE(early.Complete());
  EXPECT_THROW(early.Finish(), EVoCompressedRTFError);
}

TEST(CompressedRTF, ReaderStreamReadsSeeksAndChecks) {
  const std::string stream = ReadFileBytes(CompressedBodies().back());
  const TVoBytes whole = VoDecompressRTF(stream.data(), stream.size());
  auto source = std::make_shared<TVoMemoryStream>(AsBytes("prefix" + stream + "after"));
  source->SetPosition(6);
  TVoCompressedRTFReader reader(source);
  EXPECT_EQ(reader.Size(), int64_t(whole.size()));
  TVoBytes got(whole.size() + 10);
  size_t total = 0;
  for (size_t n; (n = reader.Read(got.data() + total, std::min<size_t>(1000, got.size() - total))) > 0;) total += n;
  got.resize(total);
  EXPECT_EQ(got, whole);
  EXPECT_EQ(source->Position(), int64_t(6 + stream.size()));  // left just past the stream
  reader.SetPosition(100);                                    // back: decodes again
  uint8_t byte;
  EXPECT_EQ(reader.Read(&byte, 1), 1u);
  EXPECT_EQ(byte, whole[100]);
  EXPECT_EQ(reader.Seek(0, soEnd), int64_t(whole.size()));
  EXPECT_THROW(reader.Write(&byte, 1), EVoException);

  auto damaged = std::make_shared<TVoMemoryStream>(AsBytes(stream.substr(0, stream.size() - 3)));
  TVoCompressedRTFReader bad(damaged);
  TVoBytes sink(whole.size());
  EXPECT_THROW(bad.ReadBuffer(sink.data(), sink.size()), EVoCompressedRTFError);
  EXPECT_THROW(TVoCompressedRTFReader(nullptr), EVoException);
}

TEST(CompressedRTF, WriterStreamWritesWhatTheWholeBufferGives) {
  const std::string rtf = ReadFileBytes(ORBA_TEST_DATA_DIR "/msg/test2.rtf");
  for (bool compressed : {true, false}) {
    auto target = std::make_shared<TVoMemoryStream>(AsBytes("keep"));
    target->SetPosition(4);
    TVoCompressedRTFWriter writer(target, compressed);
    for (size_t at = 0; at < rtf.size(); at += 1000)
      writer.WriteBuffer(rtf.data() + at, std::min<size_t>(1000, rtf.size() - at));
    EXPECT_EQ(writer.Size(), int64_t(rtf.size()));
    EXPECT_THROW(writer.Seek(0, soBeginning), EVoException);
    writer.Commit();
    EXPECT_THROW(writer.Write("x", 1), EVoException);
    EXPECT_EQ(target->Bytes(), AsBytes("keep" + AsString(VoCompressRTF(rtf.data(), rtf.size(), compressed))));
  }
}

}  // namespace
}  // namespace orba::test
