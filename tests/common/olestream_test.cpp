#include "orba/common/olestream.h"
#include "common/mapierror.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "orba/common/exceptions.h"
#include "orba/common/files.h"
#include "orba/common/utf8.h"

namespace {

using orba::ComPtr;
using orba::TVoBytes;
using orba::VoCreateIStream;

LARGE_INTEGER Move(LONGLONG value) {
  LARGE_INTEGER li;
  li.QuadPart = value;
  return li;
}

ULARGE_INTEGER Size(ULONGLONG value) {
  ULARGE_INTEGER li;
  li.QuadPart = value;
  return li;
}

ULONGLONG PositionOf(IStream* s) {
  ULARGE_INTEGER pos{};
  EXPECT_EQ(s->Seek(Move(0), STREAM_SEEK_CUR, &pos), S_OK);
  return pos.QuadPart;
}

ULONGLONG SizeOf(IStream* s) {
  STATSTG stat{};
  EXPECT_EQ(s->Stat(&stat, STATFLAG_NONAME), S_OK);
  return stat.cbSize.QuadPart;
}

std::string ReadAll(IStream* s) {
  EXPECT_EQ(s->Seek(Move(0), STREAM_SEEK_SET, nullptr), S_OK);
  char buffer[256];
  ULONG got = 0;
  EXPECT_EQ(s->Read(buffer, sizeof buffer, &got), S_OK);
  return std::string(buffer, got);
}

TEST(StreamAdapter, SeekBeyondTheEndAndBeforeTheStart) {
  ComPtr<IStream> s = VoCreateIStream(TVoBytes{1, 2});
  ULARGE_INTEGER pos{};
  EXPECT_EQ(s->Seek(Move(3), STREAM_SEEK_END, &pos), S_OK);
  uint8_t byte = 7;
  ULONG n = 9;
  EXPECT_EQ(s->Read(&byte, 1, &n), S_OK);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(s->Write(&byte, 1, nullptr), S_OK);
  EXPECT_EQ(SizeOf(s.get()), 6u);
  EXPECT_EQ(ReadAll(s.get()), std::string("\x01\x02\0\0\0\x07", 6));
  EXPECT_EQ(s->Seek(Move(-1), STREAM_SEEK_SET, &pos), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->Seek(Move(INT64_MAX), STREAM_SEEK_END, nullptr), STG_E_INVALIDFUNCTION);
}

TEST(StreamAdapter, SetSizeKeepsThePositionAndCopyToAnotherAdapter) {
  ComPtr<IStream> s = VoCreateIStream(TVoBytes{1, 2, 3, 4});
  EXPECT_EQ(s->Seek(Move(3), STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(s->SetSize(Size(1)), S_OK);
  EXPECT_EQ(PositionOf(s.get()), 3u);
  EXPECT_EQ(s->SetSize(Size(~0ull)), STG_E_MEDIUMFULL);
  ComPtr<IStream> source = VoCreateIStream(TVoBytes{'h', 'e', 'l', 'l', 'o'});
  ComPtr<IStream> target = VoCreateIStream(TVoBytes{'>', '>'});
  EXPECT_EQ(source->Seek(Move(1), STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(target->Seek(Move(0), STREAM_SEEK_END, nullptr), S_OK);
  ULARGE_INTEGER read{}, written{};
  EXPECT_EQ(source->CopyTo(target.get(), Size(3), &read, &written), S_OK);
  EXPECT_EQ(PositionOf(source.get()), 4u);
  // More than is left copies the rest.
  EXPECT_EQ(source->CopyTo(target.get(), Size(~0ull), &read, &written), S_OK);
  EXPECT_EQ(ReadAll(target.get()), ">>ello");
  EXPECT_EQ(source->CopyTo(nullptr, Size(1), &read, nullptr), STG_E_INVALIDPOINTER);
  EXPECT_EQ(read.QuadPart, 0u);
}

TEST(StreamAdapter, ClonesShareTheBufferWithTheirOwnPosition) {
  ComPtr<IStream> s = VoCreateIStream(TVoBytes{'a', 'b', 'c', 'd'});
  EXPECT_EQ(s->Seek(Move(1), STREAM_SEEK_SET, nullptr), S_OK);
  ComPtr<IStream> clone;
  EXPECT_EQ(s->Clone(clone.Out()), S_OK);
  EXPECT_EQ(clone->Seek(Move(3), STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(clone->Write("Z", 1, nullptr), S_OK);
  EXPECT_EQ(ReadAll(s.get()), "abcZ");
  s = nullptr;  // the clone keeps the buffer alive
  EXPECT_EQ(ReadAll(clone.get()), "abcZ");
  // Copying a stream into its own clone reads before it writes.
  EXPECT_EQ(clone->Seek(Move(0), STREAM_SEEK_SET, nullptr), S_OK);
  ComPtr<IStream> second;
  EXPECT_EQ(clone->Clone(second.Out()), S_OK);
  EXPECT_EQ(second->Seek(Move(0), STREAM_SEEK_END, nullptr), S_OK);
  EXPECT_EQ(clone->CopyTo(second.get(), Size(4), nullptr, nullptr), S_OK);
  EXPECT_EQ(ReadAll(second.get()), "abcZabcZ");
  EXPECT_EQ(clone->Clone(nullptr), STG_E_INVALIDPOINTER);
}

TEST(StreamAdapter, StatAndTheNonTransactedUnlockableRest) {
  ComPtr<IStream> named = VoCreateIStream(std::make_shared<orba::TVoMemoryStream>(TVoBytes{1, 2, 3}), u"Contents");
  STATSTG stat{};
  EXPECT_EQ(named->Stat(&stat, STATFLAG_DEFAULT), S_OK);
  ASSERT_NE(stat.pwcsName, nullptr);
  EXPECT_EQ(orba::WideString(stat.pwcsName), u"Contents");
  CoTaskMemFree(stat.pwcsName);
  EXPECT_EQ(stat.cbSize.QuadPart, 3u);
  EXPECT_EQ(named->Stat(nullptr, STATFLAG_DEFAULT), STG_E_INVALIDPOINTER);
  ComPtr<IStream> s = VoCreateIStream(TVoBytes{1});
  EXPECT_EQ(s->LockRegion(Size(0), Size(1), LOCK_WRITE), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->Read(nullptr, 1, nullptr), STG_E_INVALIDPOINTER);
  EXPECT_THROW(VoCreateIStream(std::shared_ptr<orba::TVoStream>()), orba::EVoException);
}

TEST(StreamAdapter, FailuresOfTheUnderlyingStreamBecomeResultCodes) {
  orba::TVoTempFolder folder;
  const std::filesystem::path dir = orba::ToUtf8(folder.Path());
  {
    orba::TVoFileStream(dir / "ro.bin", orba::fmCreate).WriteByte(5);
    ComPtr<IStream> s =
        VoCreateIStream(std::make_shared<orba::TVoFileStream>(dir / "ro.bin", orba::fmOpenRead), u"ro.bin");
    ULONG written = 9;
    EXPECT_EQ(s->Write("x", 1, &written), STG_E_ACCESSDENIED);
    EXPECT_EQ(SizeOf(s.get()), 1u);

    // ... and TVoOleStream turns them back into exceptions.
    orba::TVoOleStream ole(s);
    EXPECT_RAISES(ole.WriteByte(1), orba::EVoException, STG_E_ACCESSDENIED, u"IStream.Write failed (0x80030005)");
    EXPECT_EQ(ole.ReadByte(), 5);
  }
}

TEST(OleStream, WorksOverTheAdapter) {
  ComPtr<IStream> s = VoCreateIStream();
  orba::TVoOleStream ole(s);
  ole.WriteLongWord(0x01020304);
  ole.WriteWideChars(u"hi");
  ole.SetPosition(0);
  EXPECT_EQ(ole.ReadLongWord(), 0x01020304u);
  EXPECT_EQ(ole.ReadWideChars(2), u"hi");
  EXPECT_RAISES(ole.ReadByte(), orba::EVoException, STG_E_READFAULT, u"Stream read error");
  EXPECT_RAISES(ole.Seek(-1, orba::soBeginning), orba::EVoException, STG_E_INVALIDFUNCTION,
                u"IStream.Seek failed (0x80030001)");
  EXPECT_THROW(ole.SetSize(-1), orba::EVoException);
  EXPECT_THROW(orba::TVoOleStream(nullptr), orba::EVoException);
}

TEST(OleStream, LargeTransfersCrossChunkBoundaries) {
  ComPtr<IStream> s = VoCreateIStream();
  orba::TVoOleStream ole(s);
  TVoBytes big(200000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
  ole.WriteBytes(big);
  ole.SetPosition(0);
  EXPECT_EQ(ole.ReadBytes(big.size()), big);
}

}  // namespace
