#include "orba/common/streams.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>

#include "common/mapierror.h"
#include "orba/common/com.h"
#include "orba/common/exceptions.h"
#include "orba/common/files.h"
#include "orba/common/stringstream.h"
#include "orba/common/utf8.h"

namespace {

using orba::EVoException;
using orba::TVoBytes;
using orba::TVoFileStream;
using orba::TVoMemoryStream;

// A fresh temporary folder, removed afterwards.
struct TempDir : orba::TVoTempFolder {
  std::filesystem::path operator/(const std::string& name) const {
    return std::filesystem::path(orba::ToUtf8(Path())) / name;
  }
};

TEST(MemoryStream, WritesLittleEndian) {
  TVoMemoryStream s;
  s.WriteByte(0xAB);
  s.WriteWord(0x1234);
  s.WriteLongWord(0x89ABCDEF);
  s.WriteLongInt(-2);
  s.WriteInt64(0x0102030405060708);
  EXPECT_EQ(s.Bytes(), (TVoBytes{0xAB, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0x89, 0xFE, 0xFF, 0xFF, 0xFF, 0x08, 0x07, 0x06,
                                 0x05, 0x04, 0x03, 0x02, 0x01}));
}

TEST(MemoryStream, ReadingPastTheEndRaisesStreamReadError) {
  TVoMemoryStream s(TVoBytes{1, 2, 3});
  s.SetPosition(2);
  EXPECT_RAISES(s.ReadWord(), EVoException, STG_E_READFAULT, u"Stream read error");
  s.SetPosition(0);
  // A corrupt count fails before anything is allocated.
  EXPECT_RAISES(s.ReadBytes(std::numeric_limits<size_t>::max()), EVoException, STG_E_READFAULT, u"Stream read error");
}

TEST(MemoryStream, SeekingWritingPastTheEndAndCopying) {
  TVoMemoryStream s(TVoBytes{1, 2, 3, 4});
  EXPECT_EQ(s.Seek(-3, orba::soEnd), 1);
  EXPECT_RAISES(s.Seek(-2, orba::soCurrent), EVoException, STG_E_INVALIDFUNCTION, u"Stream seek error");
  // Beyond the end: reads give nothing, a write fills the gap with zeros.
  s.SetPosition(6);
  uint8_t byte = 0;
  EXPECT_EQ(s.Read(&byte, 1), 0u);
  s.WriteByte(9);
  EXPECT_EQ(s.Bytes(), (TVoBytes{1, 2, 3, 4, 0, 0, 9}));
  TVoMemoryStream source(TVoBytes{1, 2, 3, 4, 5}), target;
  source.SetPosition(1);
  target.CopyFrom(source, 3);
  EXPECT_EQ(target.Bytes(), (TVoBytes{2, 3, 4}));
  EXPECT_THROW(target.CopyFrom(source, 2), EVoException);
}

TEST(FileStream, WritesReadsAndNamesTheFileInErrors) {
  TempDir dir;
  {
    TVoFileStream f(dir / "data.bin", orba::fmCreate);
    f.WriteLongWord(0xCAFEBABE);
    f.WriteWideChars(u"x\u00E9");
  }
  TVoFileStream f(dir / "data.bin", orba::fmOpenRead);
  EXPECT_EQ(f.ReadLongWord(), 0xCAFEBABEu);
  EXPECT_EQ(f.ReadWideChars(2), u"x\u00E9");
  EXPECT_RAISES(f.ReadByte(), EVoException, STG_E_READFAULT, u"Stream read error");
  {
    TVoFileStream rw(dir / "data.bin", orba::fmOpenReadWrite);
    rw.SetSize(2);
    rw.Seek(0, orba::soEnd);
    rw.WriteByte(7);
  }
  EXPECT_EQ(std::filesystem::file_size(dir / "data.bin"), 3u);
  auto cannot = [&](const char16_t* action, const std::filesystem::path& file, const char* reason) {
    return u"Cannot " + orba::WideString(action) + u" file \"" + orba::WideString(file.u16string()) + u"\". " +
           orba::FromUtf8(reason);
  };
  EXPECT_RAISES(TVoFileStream(dir / "missing.bin", orba::fmOpenRead), EVoException, STG_E_FILENOTFOUND,
                cannot(u"open", dir / "missing.bin", "No such file or directory"));
  EXPECT_RAISES(TVoFileStream(dir / "no" / "dir.bin", orba::fmCreate), EVoException, STG_E_FILENOTFOUND,
                cannot(u"create", dir / "no" / "dir.bin", "No such file or directory"));
  { TVoFileStream f(dir / "ro.bin", orba::fmCreate); }
  TVoFileStream ro(dir / "ro.bin", orba::fmOpenRead);
  EXPECT_RAISES(ro.WriteByte(1), EVoException, STG_E_ACCESSDENIED,
                cannot(u"write", dir / "ro.bin", std::strerror(EBADF)));
}

TEST(StringStream, CollectsEncodesAndSavesText) {
  orba::TVoStringStream s;
  s.Add(u"a\u00E9");
  s.AddChar(u'!');
  s.AddLine(u" end");
  s.AddLine();
  EXPECT_EQ(s.GetAsString(), u"a\u00E9! end\r\n\r\n");
  s.Clear();
  s.Add(u"\u00E9");
  s.SetCodePage(1252);
  s.Add(u"\u20AC\u4E2D");
  EXPECT_EQ(s.GetAsBytes(), (TVoBytes{0xE9, 0x80, '?'}));
  EXPECT_RAISES(s.SetCodePage(4711), EVoException, E_INVALIDARG, u"Code page 4711 is not supported by TVoStringStream");
  TempDir dir;
  orba::TVoStringStream utf8(orba::TVoStringStream::cpUtf8);
  utf8.AddLine(u"line \u20AC");
  utf8.SaveToFile(dir / "text.txt");
  TVoFileStream f(dir / "text.txt", orba::fmOpenRead);
  EXPECT_EQ(f.ReadAnsiChars(static_cast<size_t>(f.Size())), "line \xE2\x82\xAC\r\n");
}

}  // namespace
