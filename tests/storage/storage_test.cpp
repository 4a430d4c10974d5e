// Compound files through IStorage and IStream: round trips of every operation in
// versions 3 and 4, transactions, and the file functions.
#include <filesystem>
#include <fstream>

#include "orba/common/files.h"
#include "orba/common/olestream.h"
#include "storagetest.h"

namespace orba::test {
namespace {

constexpr CLSID kClass = {0x00020D0B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// Stream sizes around the mini sector, the sector and the mini-stream cutoff.
const size_t kSizes[] = {0, 1, 63, 64, 65, 511, 512, 4095, 4096, 4097, 70000};

// An element name: a prefix and a number. Built by appending, since GCC 12 at -O3 misreads
// a literal prepended to a temporary string as an overlapping copy (-Wrestrict).
WideString Numbered(const char16_t* prefix, size_t n) {
  WideString name = prefix;
  name += FromUtf8(std::to_string(n));
  return name;
}

class StorageRoundTrip : public ::testing::TestWithParam<ULONG> {};

TEST_P(StorageRoundTrip, EveryElementSurvivesReopening) {
  auto memory = std::make_shared<TVoMemoryStream>();
  {
    auto root = NewStorage(memory, kRW, GetParam());
    ASSERT_TRUE(root);
    for (size_t i = 0; i < std::size(kSizes); ++i)
      PutStream(root.get(), Numbered(u"s", kSizes[i]).c_str(), Pattern(kSizes[i], uint32_t(i)));
    ComPtr<IStorage> a, b;
    ASSERT_EQ(root->CreateStorage(u"__attach_version1.0_#00000000", kRW, 0, 0, a.Out()), S_OK);
    ASSERT_EQ(a->CreateStorage(u"nested", kRW, 0, 0, b.Out()), S_OK);
    PutStream(b.get(), u"deep", Pattern(5000, 9));
    ASSERT_EQ(WriteClassStg(b.get(), kClass), S_OK);
    ASSERT_EQ(b->SetStateBits(0xF0F0, 0xFF00), S_OK);
    FILETIME when{0x12345678, 0x01D00000};
    ASSERT_EQ(a->SetElementTimes(u"nested", &when, nullptr, &when), S_OK);
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  }
  auto root = OpenBytes(memory->Bytes(), kRO);
  ASSERT_TRUE(root);
  for (size_t i = 0; i < std::size(kSizes); ++i)
    EXPECT_EQ(GetStream(root.get(), Numbered(u"s", kSizes[i]).c_str()), Pattern(kSizes[i], uint32_t(i)));
  ComPtr<IStorage> a, b;
  ASSERT_EQ(root->OpenStorage(u"__ATTACH_version1.0_#00000000", nullptr, kRO, nullptr, 0, a.Out()), S_OK);
  ASSERT_EQ(a->OpenStorage(u"nested", nullptr, kRO, nullptr, 0, b.Out()), S_OK);
  EXPECT_EQ(GetStream(b.get(), u"deep"), Pattern(5000, 9));
  CLSID clsid{};
  EXPECT_EQ(ReadClassStg(b.get(), &clsid), S_OK);
  EXPECT_EQ(clsid, kClass);
  STATSTG stat{};
  ASSERT_EQ(b->Stat(&stat, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(stat.grfStateBits, 0xF000u);
  EXPECT_EQ(stat.ctime.dwLowDateTime, 0x12345678u);
  // Elements come in directory order: shorter names first, then by upper-case letters.
  std::vector<std::u16string> names;
  for (STATSTG& e : Elements(root.get())) {
    names.emplace_back(e.pwcsName);
    CoTaskMemFree(e.pwcsName);
  }
  ASSERT_EQ(names.size(), std::size(kSizes) + 1);
  EXPECT_EQ(names.front(), u"s0");
  EXPECT_EQ(names.back(), u"__attach_version1.0_#00000000");
}

TEST_P(StorageRoundTrip, StreamsGrowAndShrinkAcrossTheCutoff) {
  auto memory = std::make_shared<TVoMemoryStream>();
  auto root = NewStorage(memory, kRW, GetParam());
  ComPtr<IStream> stream;
  ASSERT_EQ(root->CreateStream(u"body", kRW, 0, 0, stream.Out()), S_OK);
  TVoBytes all = Pattern(20000, 3);
  // Small writes carry the stream from the mini stream into regular sectors.
  for (size_t at = 0; at < all.size(); at += 1000) ASSERT_EQ(stream->Write(&all[at], 1000, nullptr), S_OK);
  PutStream(root.get(), u"other", Pattern(3000, 4));  // mini sectors after the first stream's
  LARGE_INTEGER zero{};
  ASSERT_EQ(stream->Seek(zero, STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(ReadAll(stream.get()), all);
  ULARGE_INTEGER size;
  size.QuadPart = 100;
  ASSERT_EQ(stream->SetSize(size), S_OK);
  size.QuadPart = 5000;  // grown again: the new part reads as zeros
  ASSERT_EQ(stream->SetSize(size), S_OK);
  TVoBytes expected(all.begin(), all.begin() + 100);
  expected.resize(5000);
  ASSERT_EQ(root->Commit(0), S_OK);
  stream = nullptr;
  root = nullptr;
  auto reopened = OpenBytes(memory->Bytes(), kRO);
  EXPECT_EQ(GetStream(reopened.get(), u"body"), expected);
  EXPECT_EQ(GetStream(reopened.get(), u"other"), Pattern(3000, 4));
}

TEST_P(StorageRoundTrip, WritesAtAnyPositionAndSeeksPastTheEnd) {
  auto memory = std::make_shared<TVoMemoryStream>();
  auto root = NewStorage(memory, kRW, GetParam());
  ComPtr<IStream> stream;
  ASSERT_EQ(root->CreateStream(u"data", kRW, 0, 0, stream.Out()), S_OK);
  TVoBytes expected = Pattern(9000, 5);
  ASSERT_EQ(stream->Write(expected.data(), 9000, nullptr), S_OK);
  LARGE_INTEGER at;
  at.QuadPart = 4000;
  ASSERT_EQ(stream->Seek(at, STREAM_SEEK_SET, nullptr), S_OK);
  TVoBytes patch = Pattern(1500, 6);
  ASSERT_EQ(stream->Write(patch.data(), ULONG(patch.size()), nullptr), S_OK);
  std::copy(patch.begin(), patch.end(), expected.begin() + 4000);
  at.QuadPart = 1000;  // 1000 bytes past the end
  ULARGE_INTEGER position{};
  ASSERT_EQ(stream->Seek(at, STREAM_SEEK_END, &position), S_OK);
  EXPECT_EQ(position.QuadPart, 10000u);
  ASSERT_EQ(stream->Write("xy", 2, nullptr), S_OK);
  expected.resize(10000);
  expected.insert(expected.end(), {'x', 'y'});
  at.QuadPart = 0;
  ASSERT_EQ(stream->Seek(at, STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(ReadAll(stream.get()), expected);
  stream = nullptr;
  root = nullptr;  // direct mode: the release writes the tables
  EXPECT_EQ(GetStream(OpenBytes(memory->Bytes(), kRO).get(), u"data"), expected);
}

TEST_P(StorageRoundTrip, ReadByOlefile) {
  TVoTempFolder folder;
  std::string file = ToUtf8(folder.Path()) + "/written.msg";
  auto fileStream = std::make_shared<TVoFileStream>(file, fmCreate);
  std::vector<std::string> ours;
  {
    ComPtr<IStorage> root;
    ASSERT_EQ(VoStgCreateDocfileOnILockBytes(VoCreateLockBytes(fileStream).get(), kRW, GetParam(), root.Out()), S_OK);
    for (size_t i = 0; i < std::size(kSizes); ++i)
      PutStream(root.get(), (u"__substg1.0_" + FromUtf8(std::to_string(i))).c_str(), Pattern(kSizes[i], uint32_t(i)));
    ComPtr<IStorage> recipient;
    ASSERT_EQ(root->CreateStorage(u"__recip_version1.0_#00000000", kRW, 0, 0, recipient.Out()), S_OK);
    PutStream(recipient.get(), u"__properties_version1.0", Pattern(300, 7));
    // Enough siblings for a tree several levels deep.
    for (int i = 0; i < 40; ++i) PutStream(root.get(), Numbered(u"n", i * 7919 % 1000).c_str(), {});
    ASSERT_EQ(root->Commit(0), S_OK);
    ours = Listing(root.get());
  }
  auto theirs = OlefileListings({file});
  EXPECT_EQ(theirs[0], ours);
  EXPECT_EQ(ours.size(), std::size(kSizes) + 2 + 40);
}

INSTANTIATE_TEST_SUITE_P(Versions, StorageRoundTrip, ::testing::Values(512u, 4096u),
                         [](const auto& info) { return info.param == 512 ? "V3" : "V4"; });

// A file whose FAT needs more sectors than the header lists (109) is described by DIFAT
// sectors; 8 MB in 512-byte sectors takes 16,384 sectors and 128 FAT sectors.
TEST(Storage, LargeFilesUseDifatSectors) {
  TVoTempFolder folder;
  std::string file = ToUtf8(folder.Path()) + "/large.msg";
  TVoBytes big = Pattern(8 << 20, 11);
  {
    ComPtr<IStorage> root;
    ASSERT_EQ(StgCreateDocfile(FromUtf8(file).c_str(), kRW | STGM_CREATE, 0, root.Out()), S_OK);
    PutStream(root.get(), u"big", big);
    PutStream(root.get(), u"small", Pattern(100, 12));
  }
  std::ifstream in(file, std::ios::binary);
  char header[76];
  in.read(header, sizeof header);
  EXPECT_GT(uint32_t(uint8_t(header[72])), 0u) << "no DIFAT sector";
  ComPtr<IStorage> root;
  ASSERT_EQ(StgOpenStorage(FromUtf8(file).c_str(), nullptr, kRO, nullptr, 0, root.Out()), S_OK);
  EXPECT_EQ(GetStream(root.get(), u"big"), big);
  EXPECT_EQ(OlefileListings({file})[0], Listing(root.get()));
}

TEST(Storage, TransactionsCommitAndRevert) {
  auto memory = std::make_shared<TVoMemoryStream>();
  auto root = NewStorage(memory, kRW | STGM_TRANSACTED);
  PutStream(root.get(), u"kept", Pattern(6000, 1));
  PutStream(root.get(), u"mini", Pattern(200, 2));
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  TVoBytes committed = memory->Bytes();

  // Changes of every kind, then Revert: the committed state returns and old handles go stale.
  ComPtr<IStream> kept;
  ASSERT_EQ(root->OpenStream(u"kept", nullptr, kRW, 0, kept.Out()), S_OK);
  ASSERT_EQ(kept->Write("changed", 7, nullptr), S_OK);
  PutStream(root.get(), u"mini", Pattern(100, 3));
  PutStream(root.get(), u"added", Pattern(9000, 4));
  ASSERT_EQ(root->DestroyElement(u"kept"), S_OK);
  EXPECT_EQ(GetStream(OpenBytes(memory->Bytes(), kRO).get(), u"kept"), Pattern(6000, 1)) << "visible before commit";
  ASSERT_EQ(root->Revert(), S_OK);
  EXPECT_EQ(kept->Write("x", 1, nullptr), STG_E_REVERTED);
  EXPECT_EQ(GetStream(root.get(), u"kept"), Pattern(6000, 1));
  ComPtr<IStream> gone;
  EXPECT_EQ(root->OpenStream(u"added", nullptr, kRO, 0, gone.Out()), STG_E_FILENOTFOUND);
  EXPECT_EQ(Listing(OpenBytes(memory->Bytes(), kRO).get()), Listing(OpenBytes(committed, kRO).get()));

  // Committed changes reach the file; a release without Commit leaves it as it was.
  PutStream(root.get(), u"added", Pattern(9000, 4));
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  committed = memory->Bytes();
  PutStream(root.get(), u"lost", Pattern(50000, 5));
  ComPtr<IStorage> sub;
  ASSERT_EQ(root->CreateStorage(u"sub", kRW | STGM_TRANSACTED, 0, 0, sub.Out()), S_OK);
  EXPECT_EQ(sub->Commit(0), S_OK);
  EXPECT_EQ(sub->Revert(), STG_E_UNIMPLEMENTEDFUNCTION);
  sub = nullptr;
  kept = nullptr;
  root = nullptr;
  auto reopened = OpenBytes(memory->Bytes(), kRO);
  EXPECT_EQ(Listing(reopened.get()), Listing(OpenBytes(committed, kRO).get()));
  EXPECT_EQ(Listing(reopened.get()).size(), 3u);
}

TEST(Storage, ElementOperations) {
  auto memory = std::make_shared<TVoMemoryStream>();
  auto root = NewStorage(memory);
  ComPtr<IStorage> a, b;
  ASSERT_EQ(root->CreateStorage(u"A", kRW, 0, 0, a.Out()), S_OK);
  ASSERT_EQ(root->CreateStorage(u"B", kRW, 0, 0, b.Out()), S_OK);
  PutStream(a.get(), u"one", Pattern(10, 1));
  PutStream(a.get(), u"two", Pattern(5000, 2));
  ComPtr<IStorage> inner;
  ASSERT_EQ(a->CreateStorage(u"inner", kRW, 0, 0, inner.Out()), S_OK);
  PutStream(inner.get(), u"three", Pattern(30, 3));
  ASSERT_EQ(inner->SetClass(kClass), S_OK);

  ComPtr<IStream> s;
  EXPECT_EQ(a->CreateStream(u"one", kRW, 0, 0, s.Out()), STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(a->CreateStream(u"ONE", kRW, 0, 0, s.Out()), STG_E_FILEALREADYEXISTS) << "names ignore case";
  for (const char16_t* bad : {u"", u"a/b", u"a\\b", u"a:b", u"a!b", u"12345678901234567890123456789012"})
    EXPECT_EQ(a->CreateStream(bad, kRW, 0, 0, s.Out()), STG_E_INVALIDNAME) << ToUtf8(bad);
  EXPECT_EQ(a->OpenStream(u"missing", nullptr, kRO, 0, s.Out()), STG_E_FILENOTFOUND);
  EXPECT_EQ(a->OpenStream(u"inner", nullptr, kRO, 0, s.Out()), STG_E_FILENOTFOUND) << "a storage is no stream";

  // CopyTo with exclusions by name and by kind; storages merge, streams are replaced.
  PutStream(b.get(), u"two", Pattern(1, 9));
  OLECHAR excluded[] = u"one";
  LPOLESTR names[] = {excluded, nullptr};
  ASSERT_EQ(a->SetClass(kClass), S_OK);
  ASSERT_EQ(a->CopyTo(0, nullptr, names, b.get()), S_OK);
  CLSID clsid{};
  EXPECT_EQ(ReadClassStg(b.get(), &clsid), S_OK);
  EXPECT_EQ(clsid, kClass) << "the class goes with the contents";
  EXPECT_EQ(GetStream(b.get(), u"two"), Pattern(5000, 2));
  EXPECT_EQ(b->OpenStream(u"one", nullptr, kRO, 0, s.Out()), STG_E_FILENOTFOUND);
  ComPtr<IStorage> copied;
  ASSERT_EQ(b->OpenStorage(u"inner", nullptr, kRO, nullptr, 0, copied.Out()), S_OK);
  EXPECT_EQ(GetStream(copied.get(), u"three"), Pattern(30, 3));
  ComPtr<IStorage> c;
  ASSERT_EQ(root->CreateStorage(u"C", kRW, 0, 0, c.Out()), S_OK);
  ASSERT_EQ(a->CopyTo(1, &IID_IStorage, nullptr, c.get()), S_OK);
  EXPECT_EQ(Listing(c.get()).size(), 2u);
  EXPECT_EQ(a->CopyTo(0, nullptr, nullptr, inner.get()), STG_E_ACCESSDENIED) << "into itself";

  // MoveElementTo within the file and into another file; never into itself.
  ASSERT_EQ(a->MoveElementTo(u"two", b.get(), u"moved", STGMOVE_MOVE), S_OK);
  EXPECT_EQ(a->OpenStream(u"two", nullptr, kRO, 0, s.Out()), STG_E_FILENOTFOUND);
  EXPECT_EQ(GetStream(b.get(), u"moved"), Pattern(5000, 2));
  EXPECT_EQ(root->MoveElementTo(u"A", inner.get(), u"A", STGMOVE_MOVE), STG_E_ACCESSDENIED);
  EXPECT_EQ(root->MoveElementTo(u"A", b.get(), u"A", STGMOVE_SHALLOWCOPY), STG_E_INVALIDFLAG);
  auto otherMemory = std::make_shared<TVoMemoryStream>();
  auto other = NewStorage(otherMemory);
  ASSERT_EQ(root->MoveElementTo(u"A", other.get(), u"fromA", STGMOVE_COPY), S_OK);
  EXPECT_EQ(Listing(other.get()).size(), 4u);

  // Rename and destroy; open handles of a destroyed element go stale.
  EXPECT_EQ(b->RenameElement(u"moved", u"two"), STG_E_FILEALREADYEXISTS);
  ASSERT_EQ(b->RenameElement(u"moved", u"renamed"), S_OK);
  ASSERT_EQ(root->DestroyElement(u"A"), S_OK);
  EXPECT_EQ(inner->CreateStream(u"x", kRW, 0, 0, s.Out()), STG_E_REVERTED);
  EXPECT_EQ(root->DestroyElement(u"A"), STG_E_FILENOTFOUND);
  ASSERT_EQ(root->Commit(0), S_OK);
  auto reopened = OpenBytes(memory->Bytes(), kRO);
  EXPECT_EQ(Listing(reopened.get()), Listing(root.get()));
}

TEST(Storage, StreamCloneAndCopyTo) {
  auto memory = std::make_shared<TVoMemoryStream>();
  auto root = NewStorage(memory);
  PutStream(root.get(), u"source", Pattern(7000, 1));
  ComPtr<IStream> source, target, clone;
  ASSERT_EQ(root->OpenStream(u"source", nullptr, kRW, 0, source.Out()), S_OK);
  ASSERT_EQ(root->CreateStream(u"target", kRW, 0, 0, target.Out()), S_OK);
  LARGE_INTEGER at;
  at.QuadPart = 1000;
  ASSERT_EQ(source->Seek(at, STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(source->Clone(clone.Out()), S_OK);
  ULARGE_INTEGER count;
  count.QuadPart = 5000;
  ASSERT_EQ(source->CopyTo(target.get(), count, nullptr, nullptr), S_OK);
  TVoBytes expected = Pattern(7000, 1);
  EXPECT_EQ(GetStream(root.get(), u"target"), TVoBytes(expected.begin() + 1000, expected.begin() + 6000));
  EXPECT_EQ(ReadAll(clone.get()), TVoBytes(expected.begin() + 1000, expected.end())) << "a clone keeps its position";
}

TEST(Storage, ReadOnlyFilesRefuseWrites) {
  auto memory = std::make_shared<TVoMemoryStream>();
  {
    auto root = NewStorage(memory);
    PutStream(root.get(), u"s", Pattern(10));
  }
  auto root = OpenBytes(memory->Bytes(), kRO);
  ComPtr<IStream> s;
  EXPECT_EQ(root->CreateStream(u"new", kRW, 0, 0, s.Out()), STG_E_ACCESSDENIED);
  EXPECT_EQ(root->OpenStream(u"s", nullptr, kRW, 0, s.Out()), STG_E_ACCESSDENIED);
  ASSERT_EQ(root->OpenStream(u"s", nullptr, kRO, 0, s.Out()), S_OK);
  EXPECT_EQ(s->Write("x", 1, nullptr), STG_E_ACCESSDENIED);
  EXPECT_EQ(root->SetClass(kClass), STG_E_ACCESSDENIED);
}

TEST(Storage, FilesByName) {
  TVoTempFolder folder;
  WideString name = folder.Path() + u"/file.msg";
  ComPtr<IStorage> root;
  EXPECT_EQ(StgOpenStorage(name.c_str(), nullptr, kRO, nullptr, 0, root.Out()), STG_E_FILENOTFOUND);
  ASSERT_EQ(StgCreateDocfile(name.c_str(), kRW, 0, root.Out()), S_OK);
  PutStream(root.get(), u"s", Pattern(5));
  STATSTG stat{};
  ASSERT_EQ(root->Stat(&stat, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(std::u16string(stat.pwcsName), name);
  CoTaskMemFree(stat.pwcsName);
  root = nullptr;
  EXPECT_EQ(StgCreateDocfile(name.c_str(), kRW, 0, root.Out()), STG_E_FILEALREADYEXISTS);
  ASSERT_EQ(StgOpenStorage(name.c_str(), nullptr, kRW | STGM_DELETEONRELEASE, nullptr, 0, root.Out()), S_OK);
  EXPECT_EQ(GetStream(root.get(), u"s"), Pattern(5));
  root = nullptr;
  EXPECT_FALSE(FileExists(name)) << "deleted on release";

  // Not a compound file; no access mode; a temporary file without a name.
  std::ofstream(ToUtf8(name)) << "plain text, long enough to hold a header? no: it is not one at all";
  EXPECT_EQ(StgOpenStorage(name.c_str(), nullptr, kRO, nullptr, 0, root.Out()), STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(StgOpenStorage(folder.Path().c_str(), nullptr, kRO, nullptr, 0, root.Out()), STG_E_ACCESSDENIED);
  EXPECT_EQ(StgCreateDocfile(name.c_str(), 3 | STGM_CREATE, 0, root.Out()), STG_E_INVALIDFLAG);
  ASSERT_EQ(StgCreateDocfile(nullptr, kRW, 0, root.Out()), S_OK);
  ASSERT_EQ(root->Stat(&stat, STATFLAG_DEFAULT), S_OK);
  WideString temporary = stat.pwcsName;
  CoTaskMemFree(stat.pwcsName);
  EXPECT_TRUE(FileExists(temporary));
  root = nullptr;
  EXPECT_FALSE(FileExists(temporary));
}

// An embedded message is saved into a stream as a compound file of its own.
TEST(Storage, CompoundFileInsideAStream) {
  auto memory = std::make_shared<TVoMemoryStream>();
  auto outer = NewStorage(memory);
  ComPtr<IStream> holder;
  ASSERT_EQ(outer->CreateStream(u"embedded", kRW, 0, 0, holder.Out()), S_OK);
  {
    ComPtr<IStorage> inner;
    ASSERT_EQ(StgCreateDocfileOnILockBytes(VoCreateLockBytesOnIStream(holder).get(), kRW, 0, inner.Out()), S_OK);
    PutStream(inner.get(), u"__substg1.0_0037001F", Pattern(6000, 8));
    ASSERT_EQ(inner->Commit(0), S_OK);
  }
  outer = nullptr;
  holder = nullptr;
  auto reopened = OpenBytes(memory->Bytes(), kRO);
  ComPtr<IStream> stream;
  ASSERT_EQ(reopened->OpenStream(u"embedded", nullptr, kRO, 0, stream.Out()), S_OK);
  ComPtr<IStorage> inner;
  ASSERT_EQ(StgOpenStorageOnILockBytes(VoCreateLockBytesOnIStream(stream).get(), nullptr, kRO, nullptr, 0, inner.Out()),
            S_OK);
  EXPECT_EQ(GetStream(inner.get(), u"__substg1.0_0037001F"), Pattern(6000, 8));
}

}  // namespace
}  // namespace orba::test
