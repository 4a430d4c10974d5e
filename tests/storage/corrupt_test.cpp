// Damaged compound files answer an STG_E_ code when they are opened: never a crash, an
// endless loop or a wrong read.
#include <functional>

#include "storagetest.h"

namespace orba::test {
namespace {

uint32_t Get32(const TVoBytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
void Put32(TVoBytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// Where things are in a small version 3 file (one FAT sector).
struct Layout {
  const TVoBytes& bytes;
  size_t Sector(uint32_t s) const { return (size_t(s) + 1) * 512; }
  size_t FatEntry(uint32_t s) const { return Sector(Get32(bytes, 76)) + 4 * s; }
  uint32_t Next(uint32_t s) const { return Get32(bytes, FatEntry(s)); }
  // The directory entry of id, following the directory's chain.
  size_t Entry(uint32_t id) const {
    uint32_t s = Get32(bytes, 48);
    for (uint32_t i = 0; i < id / 4; ++i) s = Next(s);
    return Sector(s) + (id % 4) * 128;
  }
  uint32_t Id(const std::u16string& name) const {
    for (uint32_t id = 0;; ++id) {
      size_t at = Entry(id);
      std::u16string n;
      for (size_t i = 0; i + 2 < bytes[at + 64]; i += 2) n.push_back(char16_t(bytes[at + i] | bytes[at + i + 1] << 8));
      if (n == name) return id;
    }
  }
  size_t Field(const std::u16string& name, size_t offset) const { return Entry(Id(name)) + offset; }
};

TVoBytes SmallFile() {
  auto memory = std::make_shared<TVoMemoryStream>();
  {
    auto root = NewStorage(memory);
    PutStream(root.get(), u"A", Pattern(5000, 1));
    PutStream(root.get(), u"B", Pattern(100, 2));
    ComPtr<IStorage> s;
    EXPECT_EQ(root->CreateStorage(u"S", kRW, 0, 0, s.Out()), S_OK);
    PutStream(s.get(), u"C", Pattern(10, 3));
  }
  return memory->Bytes();
}

TEST(Corrupt, DamagedFilesAnswerStorageErrors) {
  const TVoBytes good = SmallFile();
  ASSERT_TRUE(OpenBytes(good, kRO));
  struct Case {
    const char* what;
    std::function<void(TVoBytes&, const Layout&)> damage;
    HRESULT expected;
  };
  const Case cases[] = {
      {"short header", [](TVoBytes& b, const Layout&) { b.resize(300); }, STG_E_FILEALREADYEXISTS},
      {"signature", [](TVoBytes& b, const Layout&) { b[0] = 0; }, STG_E_FILEALREADYEXISTS},
      {"byte order", [](TVoBytes& b, const Layout&) { b[28] = 0xFF, b[29] = 0xFE; }, STG_E_INVALIDHEADER},
      {"sector shift", [](TVoBytes& b, const Layout&) { b[30] = 10; }, STG_E_INVALIDHEADER},
      {"mini cutoff", [](TVoBytes& b, const Layout&) { Put32(b, 56, 8192); }, STG_E_INVALIDHEADER},
      {"FAT larger than the file", [](TVoBytes& b, const Layout&) { Put32(b, 44, 100000); }, STG_E_DOCFILECORRUPT},
      {"FAT sector outside", [](TVoBytes& b, const Layout&) { Put32(b, 76, 5000); }, STG_E_DOCFILECORRUPT},
      {"FAT sector twice", [](TVoBytes& b, const Layout&) { Put32(b, 44, 2), Put32(b, 80, Get32(b, 76)); },
       STG_E_DOCFILECORRUPT},
      {"directory outside", [](TVoBytes& b, const Layout&) { Put32(b, 48, 77777); }, STG_E_DOCFILECORRUPT},
      {"directory chain loops",
       [](TVoBytes& b, const Layout& l) {
         uint32_t s = Get32(b, 48);
         while (l.Next(s) != 0xFFFFFFFE) s = l.Next(s);
         Put32(b, l.FatEntry(s), Get32(b, 48));
       },
       STG_E_DOCFILECORRUPT},
      {"stream chain loops",
       [](TVoBytes& b, const Layout& l) {
         uint32_t s = Get32(b, l.Field(u"A", 116));
         Put32(b, l.FatEntry(s), s);
       },
       STG_E_DOCFILECORRUPT},
      {"stream runs into the directory",
       [](TVoBytes& b, const Layout& l) { Put32(b, l.FatEntry(Get32(b, l.Field(u"A", 116))), Get32(b, 48)); },
       STG_E_DOCFILECORRUPT},
      {"stream size lies", [](TVoBytes& b, const Layout& l) { Put32(b, l.Field(u"A", 120), 1000000); },
       STG_E_DOCFILECORRUPT},
      {"mini stream reference past its end", [](TVoBytes& b, const Layout& l) { Put32(b, l.Field(u"B", 116), 1000); },
       STG_E_DOCFILECORRUPT},
      {"mini stream longer than the file",
       [](TVoBytes& b, const Layout& l) { Put32(b, l.Field(u"Root Entry", 120), 1 << 30); }, STG_E_DOCFILECORRUPT},
      {"storage is its own child", [](TVoBytes& b, const Layout& l) { Put32(b, l.Field(u"S", 76), l.Id(u"S")); },
       STG_E_DOCFILECORRUPT},
      {"sibling is the root", [](TVoBytes& b, const Layout& l) { Put32(b, l.Field(u"C", 68), 0); },
       STG_E_DOCFILECORRUPT},
      {"child outside the directory", [](TVoBytes& b, const Layout& l) { Put32(b, l.Field(u"Root Entry", 76), 5000); },
       STG_E_DOCFILECORRUPT},
      {"name length", [](TVoBytes& b, const Layout& l) { b[l.Field(u"A", 64)] = 70; }, STG_E_DOCFILECORRUPT},
      {"unknown entry type", [](TVoBytes& b, const Layout& l) { b[l.Field(u"B", 66)] = 3; }, STG_E_DOCFILECORRUPT},
      {"first entry not the root", [](TVoBytes& b, const Layout&) { b[(Get32(b, 48) + 1) * 512 + 66] = 1; },
       STG_E_DOCFILECORRUPT},
      {"duplicate names", [](TVoBytes& b, const Layout& l) { b[l.Field(u"B", 0)] = 'A'; }, STG_E_DOCFILECORRUPT},
  };
  for (const Case& c : cases) {
    TVoBytes bytes = good;
    c.damage(bytes, Layout{good});
    for (DWORD mode : {kRO, kRW | STGM_TRANSACTED}) {
      HRESULT hr = S_OK;
      auto root = OpenBytes(bytes, mode, &hr);
      EXPECT_EQ(hr, c.expected) << c.what;
      EXPECT_FALSE(root) << c.what;
    }
  }
}

// The DIFAT chain of a large file pointing back at itself.
TEST(Corrupt, DifatLoop) {
  auto memory = std::make_shared<TVoMemoryStream>();
  {
    auto root = NewStorage(memory);
    PutStream(root.get(), u"big", TVoBytes(8 << 20));
  }
  TVoBytes bytes = memory->Bytes();
  uint32_t difat = Get32(bytes, 68);
  ASSERT_NE(difat, 0xFFFFFFFEu);
  Put32(bytes, 44, Get32(bytes, 44) + 200);  // more FAT sectors than one DIFAT sector lists
  Put32(bytes, (difat + 1) * 512 + 508, difat);
  HRESULT hr = S_OK;
  EXPECT_FALSE(OpenBytes(bytes, kRO, &hr));
  EXPECT_EQ(hr, STG_E_DOCFILECORRUPT);
}

// Chains longer than their streams' sizes are read as far as the sizes say, and the
// sectors beyond are freed when the file is written again.
TEST(Corrupt, LongerChainsAreCut) {
  TVoBytes bytes = SmallFile();
  Layout l{bytes};
  Put32(bytes, l.Field(u"A", 120), 4500);
  auto root = OpenBytes(bytes, kRO);
  ASSERT_TRUE(root);
  TVoBytes expected = Pattern(5000, 1);
  EXPECT_EQ(GetStream(root.get(), u"A"), TVoBytes(expected.begin(), expected.begin() + 4500));
}

}  // namespace
}  // namespace orba::test
