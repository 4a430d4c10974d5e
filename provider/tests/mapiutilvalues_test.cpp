// MAPI's utility functions on property values, called as any program calls them: the
// copies (PropCopyMore, ScCountProps, ScCopyProps, ScDupPropset, ScRelocProps) of a
// value of every type, sizes, comparisons and lookups.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "mapi/mapiexports.h"
#include "memory/mapimemory.h"

using namespace orba::store;

namespace {

constexpr GUID kGuids[2] = {{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}}, {12, 13, 14, {15, 16, 17, 18, 19, 20, 21, 22}}};

// One value of every type MAPI copies, and UlPropSize's answer for it.
struct TAllTypes {
  int16_t shorts[2] = {-1, 2};
  LONG longs[2] = {-3, 4};
  float floats[2] = {0.5f, -1.5f};
  double doubles[2] = {2.25, -8.0};
  CURRENCY currencies[2] = {{.int64 = 10}, {.int64 = -20}};
  FILETIME times[2] = {{1, 2}, {3, 4}};
  LARGE_INTEGER larges[2] = {{.QuadPart = 1LL << 40}, {.QuadPart = -5}};
  GUID guids[2] = {kGuids[0], kGuids[1]};
  BYTE bytes[3] = {0xDE, 0xAD, 0x01};
  SBinary binaries[2] = {{3, bytes}, {1, bytes + 2}};
  LPSTR narrow[2] = {const_cast<LPSTR>("ab"), const_cast<LPSTR>("c")};
  LPWSTR wide[2] = {const_cast<LPWSTR>(u"ab"), const_cast<LPWSTR>(u"c")};
  std::vector<SPropValue> values;
  std::vector<ULONG> sizes;

  TAllTypes() {
    auto add = [&](ULONG type, ULONG size, auto fill) {
      SPropValue value{PROP_TAG(type, 0x6600 + static_cast<ULONG>(values.size())), 0, {}};
      fill(value.Value);
      values.push_back(value);
      sizes.push_back(size);
    };
    add(PT_I2, 2, [](__UPV& v) { v.i = -7; });
    add(PT_LONG, 4, [](__UPV& v) { v.l = 42; });
    add(PT_R4, 4, [](__UPV& v) { v.flt = 1.5f; });
    add(PT_DOUBLE, 8, [](__UPV& v) { v.dbl = 3.25; });
    add(PT_CURRENCY, 8, [](__UPV& v) { v.cur.int64 = 99; });
    add(PT_APPTIME, 8, [](__UPV& v) { v.at = 45000.5; });
    add(PT_ERROR, 4, [](__UPV& v) { v.err = MAPI_E_NOT_FOUND; });
    add(PT_BOOLEAN, 2, [](__UPV& v) { v.b = 1; });
    add(PT_I8, 8, [](__UPV& v) { v.li.QuadPart = -1; });
    add(PT_SYSTIME, 8, [](__UPV& v) { v.ft = {5, 6}; });
    add(PT_STRING8, 4, [](__UPV& v) { v.lpszA = const_cast<LPSTR>("abc"); });
    add(PT_UNICODE, 8, [](__UPV& v) { v.lpszW = const_cast<LPWSTR>(u"abc"); });
    add(PT_CLSID, 16, [&](__UPV& v) { v.lpguid = &guids[0]; });
    add(PT_BINARY, 3, [&](__UPV& v) { v.bin = {3, bytes}; });
    add(PT_MV_I2, 4, [&](__UPV& v) { v.MVi = {2, shorts}; });
    add(PT_MV_LONG, 8, [&](__UPV& v) { v.MVl = {2, longs}; });
    add(PT_MV_R4, 8, [&](__UPV& v) { v.MVflt = {2, floats}; });
    add(PT_MV_DOUBLE, 16, [&](__UPV& v) { v.MVdbl = {2, doubles}; });
    add(PT_MV_CURRENCY, 16, [&](__UPV& v) { v.MVcur = {2, currencies}; });
    add(PT_MV_APPTIME, 16, [&](__UPV& v) { v.MVat = {2, doubles}; });
    add(PT_MV_SYSTIME, 16, [&](__UPV& v) { v.MVft = {2, times}; });
    add(PT_MV_CLSID, 32, [&](__UPV& v) { v.MVguid = {2, guids}; });
    add(PT_MV_I8, 16, [&](__UPV& v) { v.MVli = {2, larges}; });
    add(PT_MV_BINARY, 4, [&](__UPV& v) { v.MVbin = {2, binaries}; });
    add(PT_MV_STRING8, 5, [&](__UPV& v) { v.MVszA = {2, narrow}; });
    add(PT_MV_UNICODE, 10, [&](__UPV& v) { v.MVszW = {2, wide}; });
  }
  int Count() const { return static_cast<int>(values.size()); }
  LPSPropValue Data() { return values.data(); }
};

// Every pointer of value leads into [begin, begin + size).
bool PointsInto(const SPropValue& value, const void* begin, size_t size) {
  auto inside = [&](const void* p) { return !p || (p >= begin && p < static_cast<const BYTE*>(begin) + size); };
  const __UPV& v = value.Value;
  switch (PROP_TYPE(value.ulPropTag)) {
    case PT_STRING8:
    case PT_UNICODE:
    case PT_CLSID: return inside(v.lpv);
    case PT_BINARY: return inside(v.bin.lpb);
    case PT_MV_BINARY: return inside(v.MVbin.lpbin) && inside(v.MVbin.lpbin[0].lpb) && inside(v.MVbin.lpbin[1].lpb);
    case PT_MV_STRING8: return inside(v.MVszA.lppszA) && inside(v.MVszA.lppszA[0]) && inside(v.MVszA.lppszA[1]);
    case PT_MV_UNICODE: return inside(v.MVszW.lppszW) && inside(v.MVszW.lppszW[0]) && inside(v.MVszW.lppszW[1]);
    default: return (PROP_TYPE(value.ulPropTag) & MV_FLAG) == 0 || inside(v.MVi.lpi);
  }
}

// count values at copy equal those of source, their pointers inside [block, block + size).
void ExpectCopy(TAllTypes& source, const SPropValue* copy, const void* block, size_t size) {
  for (int i = 0; i < source.Count(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(copy[i].ulPropTag, source.values[i].ulPropTag);
    EXPECT_EQ(LPropCompareProp(&source.values[i], const_cast<LPSPropValue>(&copy[i])), 0);
    EXPECT_TRUE(PointsInto(copy[i], block, size));
  }
}

TEST(PropValueCopies, EveryTypeThroughPropCopyMoreAndUlPropSize) {
  TAllTypes all;
  auto parent = TMapiBuffer<BYTE>::Allocate(1);
  for (int i = 0; i < all.Count(); ++i) {
    SCOPED_TRACE(i);
    SPropValue copy{};
    ASSERT_EQ(PropCopyMore(&copy, &all.values[i], MAPIAllocateMore, parent.get()), S_OK);
    EXPECT_EQ(LPropCompareProp(&copy, &all.values[i]), 0);
    EXPECT_EQ(UlPropSize(&copy), all.sizes[i]);
    if (PROP_TYPE(copy.ulPropTag) == PT_UNICODE) {
      EXPECT_NE(copy.Value.lpszW, all.values[i].Value.lpszW);
    }
  }
  SPropValue unknown{PROP_TAG(0x0123, 1), 0, {}}, copy{};
  EXPECT_EQ(PropCopyMore(&copy, &unknown, MAPIAllocateMore, parent.get()), MAPI_E_NO_SUPPORT);
  EXPECT_EQ(PropCopyMore(nullptr, &all.values[0], MAPIAllocateMore, parent.get()), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(UlPropSize(nullptr), 0u);
}

TEST(PropValueCopies, ScCopyPropsPacksExactlyAndScDupPropsetAgrees) {
  TAllTypes all;
  ULONG size = 0;
  ASSERT_EQ(ScCountProps(all.Count(), all.Data(), &size), S_OK);
  auto block = TMapiBuffer<BYTE>::Allocate(size);
  ULONG copied = 0;
  ASSERT_EQ(ScCopyProps(all.Count(), all.Data(), block.get(), &copied), S_OK);
  EXPECT_EQ(copied, size);
  ExpectCopy(all, reinterpret_cast<SPropValue*>(block.get()), block.get(), size);
  // The copy counts as much as its source.
  ULONG again = 0;
  EXPECT_EQ(ScCountProps(all.Count(), reinterpret_cast<LPSPropValue>(block.get()), &again), S_OK);
  EXPECT_EQ(again, size);

  TMapiBuffer<SPropValue> duplicate;
  ASSERT_EQ(ScDupPropset(all.Count(), all.Data(), MAPIAllocateBuffer, duplicate.Out()), S_OK);
  ExpectCopy(all, duplicate.get(), duplicate.get(), size);
}

TEST(PropValueCopies, ScCountPropsRefusesWhatItCannotCopy) {
  SPropValue null{PROP_TAG(PT_LONG, PROP_ID_NULL), 0, {}};
  SPropValue invalid{PROP_TAG(PT_LONG, PROP_ID_INVALID), 0, {}};
  SPropValue emptyMv{PROP_TAG(PT_MV_LONG, 0x6600), 0, {.MVl = {0, nullptr}}};
  SPropValue unterminated{PROP_TAG(PT_STRING8, 0x6601), 0, {}};
  auto text = TMapiBuffer<char>::Allocate(4);
  std::memcpy(text.get(), "abcd", 4);
  unterminated.Value.lpszA = text.get();
  for (SPropValue* bad : {&null, &invalid, &emptyMv, &unterminated}) {
    ULONG size = 0;
    EXPECT_EQ(ScCountProps(1, bad, &size), MAPI_E_INVALID_PARAMETER);
  }
  TAllTypes all;
  EXPECT_EQ(ScCountProps(-1, all.Data(), nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(ScCountProps(1 << 30, all.Data(), nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(ScCopyProps(all.Count(), all.Data(), nullptr, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(ScCopyProps(all.Count(), all.Data(), all.Data() + 1, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(ScDupPropset(1, all.Data(), nullptr, nullptr), MAPI_E_INVALID_PARAMETER);
}

// A packed copy of every type in a buffer with slack on both sides.
struct TPacked {
  TAllTypes all;
  ULONG size = 0;
  TMapiBuffer<BYTE> buffer;
  BYTE* block = nullptr;
  explicit TPacked(size_t offset) {
    EXPECT_EQ(ScCountProps(all.Count(), all.Data(), &size), S_OK);
    buffer = TMapiBuffer<BYTE>::Allocate(size + 64);
    block = buffer.get() + offset;
    EXPECT_EQ(ScCopyProps(all.Count(), all.Data(), block, nullptr), S_OK);
  }
  LPSPropValue Values(BYTE* at) { return reinterpret_cast<LPSPropValue>(at); }
};

TEST(PropValueCopies, ScRelocPropsThroughBaseZeroAndOverlappingMoves) {
  // Written out with pointers relative to 0, read back elsewhere.
  TPacked packed(0);
  ASSERT_EQ(ScRelocProps(packed.all.Count(), packed.Values(packed.block), packed.block, nullptr, nullptr), S_OK);
  auto loaded = TMapiBuffer<BYTE>::Allocate(packed.size);
  std::memcpy(loaded.get(), packed.block, packed.size);
  ULONG size = 0;
  ASSERT_EQ(ScRelocProps(packed.all.Count(), packed.Values(loaded.get()), nullptr, loaded.get(), &size), S_OK);
  EXPECT_EQ(size, packed.size);
  ExpectCopy(packed.all, packed.Values(loaded.get()), loaded.get(), size);

  // Moved 8 bytes up inside its own buffer: the old and new blocks overlap.
  TPacked overlapping(8);
  std::memmove(overlapping.block + 8, overlapping.block, overlapping.size);
  BYTE* moved = overlapping.block + 8;
  ASSERT_EQ(ScRelocProps(overlapping.all.Count(), overlapping.Values(moved), overlapping.block, moved, nullptr), S_OK);
  ExpectCopy(overlapping.all, overlapping.Values(moved), moved, overlapping.size);
}

TEST(PropValueCopies, ScRelocPropsRefusesBadArraysAndLeavesThem) {
  TPacked packed(0);
  LPSPropValue values = packed.Values(packed.block);
  BYTE* elsewhere = packed.buffer.get() + 32;
  std::vector<BYTE> before(packed.block, packed.block + packed.size);
  auto unchanged = [&] { return std::equal(before.begin(), before.end(), packed.block); };

  // The values lie at neither base; a count past the data.
  EXPECT_EQ(ScRelocProps(packed.all.Count(), values, elsewhere, elsewhere + 8, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(ScRelocProps(packed.all.Count() + 1000, values, packed.block, elsewhere, nullptr),
            MAPI_E_INVALID_PARAMETER);
  // A pointer of the last value leading out of the block: nothing changes.
  LPWSTR& last = values[packed.all.Count() - 1].Value.MVszW.lppszW[1];
  LPWSTR kept = last;
  last = reinterpret_cast<LPWSTR>(packed.block + packed.size + 4096);
  before.assign(packed.block, packed.block + packed.size);
  EXPECT_EQ(ScRelocProps(packed.all.Count(), values, packed.block, elsewhere, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_TRUE(unchanged());
  // A pointer into the values themselves.
  last = reinterpret_cast<LPWSTR>(packed.block);
  EXPECT_EQ(ScRelocProps(packed.all.Count(), values, packed.block, elsewhere, nullptr), MAPI_E_INVALID_PARAMETER);
  last = kept;
  EXPECT_EQ(ScRelocProps(-1, values, packed.block, elsewhere, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(ScRelocProps(3, nullptr, packed.block, elsewhere, nullptr), MAPI_E_INVALID_PARAMETER);
}

struct TCompareCase {
  SPropValue a;
  ULONG relop;
  SPropValue b;
  bool holds;
};

BYTE kShort[] = {1, 2}, kLong[] = {1, 2, 3};
LONG kLongs12[] = {1, 2}, kLongs13[] = {1, 3};

TEST(PropValueComparisons, FPropComparePropByOperator) {
  auto lng = [](LONG v) { return SPropValue{PROP_TAG(PT_LONG, 1), 0, {.l = v}}; };
  auto text = [](const char16_t* s) {
    return SPropValue{PROP_TAG(PT_UNICODE, 1), 0, {.lpszW = const_cast<LPWSTR>(s)}};
  };
  auto bin = [](BYTE* b, ULONG cb) { return SPropValue{PROP_TAG(PT_BINARY, 1), 0, {.bin = {cb, b}}}; };
  auto mv = [](LONG* l) { return SPropValue{PROP_TAG(PT_MV_LONG, 1), 0, {.MVl = {2, l}}}; };
  const TCompareCase cases[] = {
      {lng(1), RELOP_LT, lng(2), true},
      {lng(1), RELOP_GE, lng(2), false},
      {lng(2), RELOP_LE, lng(2), true},
      {lng(3), RELOP_GT, lng(2), true},
      {lng(2), RELOP_NE, lng(2), false},
      {lng(2), RELOP_EQ, lng(2), true},
      {text(u"abc"), RELOP_EQ, text(u"ABC"), true},
      {text(u"abc"), RELOP_LT, text(u"abd"), true},
      {bin(kShort, 2), RELOP_LT, bin(kLong, 3), true},
      {bin(kLong, 3), RELOP_EQ, bin(kLong, 3), true},
      {mv(kLongs12), RELOP_LT, mv(kLongs13), true},
      {mv(kLongs12), RELOP_EQ, mv(kLongs12), true},
      {lng(1), RELOP_EQ, SPropValue{PROP_TAG(PT_I2, 1), 0, {.i = 1}}, false},  // types differ
      {text(u"a"), RELOP_RE, text(u"a"), false},
      {lng(1), 42, lng(1), false},
  };
  for (const TCompareCase& c : cases) {
    SPropValue a = c.a, b = c.b;
    EXPECT_EQ(FPropCompareProp(&a, c.relop, &b), BOOL{c.holds}) << c.relop;
    // LPropCompareProp orders the same pairs consistently.
    if (PROP_TYPE(a.ulPropTag) == PROP_TYPE(b.ulPropTag) && c.relop == RELOP_LT) {
      EXPECT_LT(LPropCompareProp(&a, &b), 0);
    }
  }
  SPropValue one = lng(1);
  EXPECT_FALSE(FPropCompareProp(nullptr, RELOP_EQ, &one));
  SPropValue e1{PROP_TAG(PT_ERROR, 1), 0, {.err = MAPI_E_NOT_FOUND}},
      e2{PROP_TAG(PT_ERROR, 1), 0, {.err = MAPI_E_NO_ACCESS}};
  EXPECT_NE(LPropCompareProp(&e1, &e2), 0);
  EXPECT_EQ(LPropCompareProp(&e1, &e1), 0);
}

struct TContainsCase {
  const char* haystack;
  const char* needle;
  ULONG level;
  bool found;
};

TEST(PropValueComparisons, FPropContainsPropByFuzzyLevel) {
  const TContainsCase cases[] = {
      {"Hello World", "Hello World", FL_FULLSTRING, true},
      {"Hello World", "hello world", FL_FULLSTRING, false},
      {"Hello World", "hello world", FL_FULLSTRING | FL_IGNORECASE, true},
      {"Hello World", "Hello", FL_PREFIX, true},
      {"Hello World", "World", FL_PREFIX, false},
      {"Hello World", "o W", FL_SUBSTRING, true},
      {"Hello World", "O W", FL_SUBSTRING, false},
      {"Hello World", "O W", FL_SUBSTRING | FL_LOOSE, true},
      {"H\xE9llo", "hello", FL_FULLSTRING | FL_IGNORECASE | FL_IGNORENONSPACE, true},
      {"Hello", "Hello", 3, false},                           // no such level
      {"Hello", "Hello", FL_FULLSTRING | 0x00800000, false},  // no such option
  };
  for (const TContainsCase& c : cases) {
    SPropValue dst{PROP_TAG(PT_STRING8, 1), 0, {.lpszA = const_cast<LPSTR>(c.haystack)}};
    SPropValue src{PROP_TAG(PT_STRING8, 1), 0, {.lpszA = const_cast<LPSTR>(c.needle)}};
    EXPECT_EQ(FPropContainsProp(&dst, &src, c.level), BOOL{c.found}) << c.haystack << " / " << c.needle;
  }
  SPropValue bytes{PROP_TAG(PT_BINARY, 1), 0, {.bin = {3, kLong}}},
      prefix{PROP_TAG(PT_BINARY, 1), 0, {.bin = {2, kShort}}};
  EXPECT_TRUE(FPropContainsProp(&bytes, &prefix, FL_PREFIX));
  EXPECT_FALSE(FPropContainsProp(&bytes, &prefix, FL_FULLSTRING));
  SPropValue number{PROP_TAG(PT_LONG, 1), 0, {.l = 1}};
  EXPECT_FALSE(FPropContainsProp(&number, &number, FL_FULLSTRING));
  SPropValue wide{PROP_TAG(PT_UNICODE, 1), 0, {.lpszW = const_cast<LPWSTR>(u"Hello")}};
  EXPECT_FALSE(FPropContainsProp(&bytes, &wide, FL_SUBSTRING));  // types differ
  EXPECT_FALSE(FPropContainsProp(nullptr, &wide, FL_SUBSTRING));
}

TEST(PropValueLookups, FindByTagOrIdentifier) {
  SPropValue values[] = {{PROP_TAG(PT_LONG, 0x0E07), 0, {.l = 1}},
                         {PROP_TAG(PT_UNICODE, 0x0037), 0, {.lpszW = const_cast<LPWSTR>(u"s")}}};
  EXPECT_EQ(PpropFindProp(values, 2, PROP_TAG(PT_UNICODE, 0x0037)), &values[1]);
  EXPECT_EQ(PpropFindProp(values, 2, PROP_TAG(PT_STRING8, 0x0037)), nullptr);
  EXPECT_EQ(PpropFindProp(values, 2, PROP_TAG(PT_UNSPECIFIED, 0x0037)), &values[1]);
  EXPECT_EQ(LpValFindProp(PROP_TAG(PT_STRING8, 0x0E07), 2, values), &values[0]);
  EXPECT_EQ(LpValFindProp(PROP_TAG(PT_LONG, 0x1000), 2, values), nullptr);
  EXPECT_EQ(PpropFindProp(nullptr, 5, PROP_TAG(PT_LONG, 0x0E07)), nullptr);
}

}  // namespace
