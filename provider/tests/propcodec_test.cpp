// Property value encoding: lossless round trips for every storable type, refusals
// and damaged bytes.
#include "props/propcodec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "base/maperror.h"

namespace orba::store {
namespace {

// Decoded values point into this arena.
class TArena {
 public:
  TPropAllocator Allocator() {
    return [this](size_t size) {
      blocks_.push_back(std::make_unique<uint8_t[]>(size));
      return static_cast<void*>(blocks_.back().get());
    };
  }

 private:
  std::vector<std::unique_ptr<uint8_t[]>> blocks_;
};

SPropValue RoundTrip(const SPropValue& value, TArena& arena) {
  Bytes bytes = EncodePropValue(value);
  SPropValue out;
  DecodePropValue(value.ulPropTag, bytes, arena.Allocator(), out);
  return out;
}

HRESULT CodeOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const TMapiError& e) {
    return e.Code();
  }
  return S_OK;
}

TEST(PropCodec, ScalarsRoundTrip) {
  TArena arena;
  SPropValue v{};
  v.ulPropTag = PROP_TAG(PT_I2, 0x6001);
  v.Value.i = -12345;
  EXPECT_EQ(RoundTrip(v, arena).Value.i, -12345);
  v.ulPropTag = PROP_TAG(PT_LONG, 0x6002);
  v.Value.l = -7;
  EXPECT_EQ(RoundTrip(v, arena).Value.l, -7);
  v.ulPropTag = PROP_TAG(PT_BOOLEAN, 0x6003);
  v.Value.b = 1;
  EXPECT_EQ(RoundTrip(v, arena).Value.b, 1);
  v.ulPropTag = PROP_TAG(PT_DOUBLE, 0x6004);
  v.Value.dbl = 3.25;
  EXPECT_EQ(RoundTrip(v, arena).Value.dbl, 3.25);
  v.ulPropTag = PROP_TAG(PT_R4, 0x6005);
  v.Value.flt = 1.5f;
  EXPECT_EQ(RoundTrip(v, arena).Value.flt, 1.5f);
  v.ulPropTag = PROP_TAG(PT_I8, 0x6006);
  v.Value.li.QuadPart = -(1LL << 40);
  EXPECT_EQ(RoundTrip(v, arena).Value.li.QuadPart, -(1LL << 40));
  v.ulPropTag = PROP_TAG(PT_SYSTIME, 0x6007);
  v.Value.ft = {0x89ABCDEF, 0x01D2F3A4};
  SPropValue time = RoundTrip(v, arena);
  EXPECT_EQ(time.Value.ft.dwLowDateTime, 0x89ABCDEFu);
  EXPECT_EQ(time.Value.ft.dwHighDateTime, 0x01D2F3A4u);
  v.ulPropTag = PROP_TAG(PT_CURRENCY, 0x6008);
  v.Value.cur.int64 = 123456789;
  EXPECT_EQ(RoundTrip(v, arena).Value.cur.int64, 123456789);
  v.ulPropTag = PROP_TAG(PT_ERROR, 0x6009);
  v.Value.err = MAPI_E_NOT_FOUND;
  EXPECT_EQ(RoundTrip(v, arena).Value.err, MAPI_E_NOT_FOUND);
  v.ulPropTag = PROP_TAG(PT_APPTIME, 0x600A);
  v.Value.at = 45000.5;
  EXPECT_EQ(RoundTrip(v, arena).Value.at, 45000.5);
}

TEST(PropCodec, StringsBinaryAndGuidRoundTrip) {
  TArena arena;
  SPropValue v{};
  v.ulPropTag = PROP_TAG(PT_STRING8, 0x6010);
  v.Value.lpszA = const_cast<char*>("caf\xE9");
  EXPECT_STREQ(RoundTrip(v, arena).Value.lpszA, "caf\xE9");
  std::u16string wide = u"Gr\u00FC\u00DFe \U0001F600";
  v.ulPropTag = PROP_TAG(PT_UNICODE, 0x6011);
  v.Value.lpszW = wide.data();
  EXPECT_EQ(std::u16string(RoundTrip(v, arena).Value.lpszW), wide);
  uint8_t data[] = {0, 1, 2, 0, 255};
  v.ulPropTag = PROP_TAG(PT_BINARY, 0x6012);
  v.Value.bin = {sizeof(data), data};
  SPropValue bin = RoundTrip(v, arena);
  ASSERT_EQ(bin.Value.bin.cb, sizeof(data));
  EXPECT_EQ(std::memcmp(bin.Value.bin.lpb, data, sizeof(data)), 0);
  v.Value.bin = {0, nullptr};
  SPropValue empty = RoundTrip(v, arena);
  EXPECT_EQ(empty.Value.bin.cb, 0u);
  EXPECT_NE(empty.Value.bin.lpb, nullptr);
  GUID guid = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
  v.ulPropTag = PROP_TAG(PT_CLSID, 0x6013);
  v.Value.lpguid = &guid;
  EXPECT_EQ(*RoundTrip(v, arena).Value.lpguid, guid);
  v.ulPropTag = PROP_TAG(PT_STRING8, 0x6014);
  v.Value.lpszA = const_cast<char*>("");
  EXPECT_STREQ(RoundTrip(v, arena).Value.lpszA, "");
}

TEST(PropCodec, MultiValuedRoundTrip) {
  TArena arena;
  SPropValue v{};
  LONG longs[] = {1, -2, 3};
  v.ulPropTag = PROP_TAG(PT_MV_LONG, 0x6020);
  v.Value.MVl = {3, longs};
  SPropValue l = RoundTrip(v, arena);
  ASSERT_EQ(l.Value.MVl.cValues, 3u);
  EXPECT_EQ(l.Value.MVl.lpl[1], -2);
  char a0[] = "one", a1[] = "";
  LPSTR strings[] = {a0, a1};
  v.ulPropTag = PROP_TAG(PT_MV_STRING8, 0x6021);
  v.Value.MVszA = {2, strings};
  SPropValue s = RoundTrip(v, arena);
  ASSERT_EQ(s.Value.MVszA.cValues, 2u);
  EXPECT_STREQ(s.Value.MVszA.lppszA[0], "one");
  EXPECT_STREQ(s.Value.MVszA.lppszA[1], "");
  char16_t w0[] = u"\u00E9t\u00E9";
  LPWSTR wides[] = {w0};
  v.ulPropTag = PROP_TAG(PT_MV_UNICODE, 0x6022);
  v.Value.MVszW = {1, wides};
  EXPECT_EQ(std::u16string(RoundTrip(v, arena).Value.MVszW.lppszW[0]), w0);
  uint8_t b0[] = {9, 8}, b1[] = {7};
  SBinary bins[] = {{2, b0}, {1, b1}};
  v.ulPropTag = PROP_TAG(PT_MV_BINARY, 0x6023);
  v.Value.MVbin = {2, bins};
  SPropValue b = RoundTrip(v, arena);
  ASSERT_EQ(b.Value.MVbin.cValues, 2u);
  EXPECT_EQ(b.Value.MVbin.lpbin[1].cb, 1u);
  EXPECT_EQ(b.Value.MVbin.lpbin[1].lpb[0], 7);
  GUID guids[] = {{1, 2, 3, {4}}, {5, 6, 7, {8}}};
  v.ulPropTag = PROP_TAG(PT_MV_CLSID, 0x6024);
  v.Value.MVguid = {2, guids};
  EXPECT_EQ(RoundTrip(v, arena).Value.MVguid.lpguid[1], guids[1]);
  v.ulPropTag = PROP_TAG(PT_MV_I8, 0x6025);
  v.Value.MVli = {0, nullptr};
  EXPECT_EQ(RoundTrip(v, arena).Value.MVli.cValues, 0u);
}

TEST(PropCodec, RefusesTypesThatCannotBeStored) {
  SPropValue v{};
  for (ULONG type : {PT_UNSPECIFIED, PT_OBJECT, PT_PTR, PT_SRESTRICTION, PT_ACTIONS, ULONG{0x77}}) {
    v.ulPropTag = PROP_TAG(type, 0x6030);
    EXPECT_EQ(CodeOf([&] { EncodePropValue(v); }), MAPI_E_INVALID_TYPE) << type;
  }
  EXPECT_FALSE(IsStorablePropType(MV_FLAG | PT_BOOLEAN));
  EXPECT_TRUE(IsStorablePropType(PT_MV_SYSTIME));
}

TEST(PropCodec, RefusesNullPointers) {
  SPropValue v{};
  v.ulPropTag = PROP_TAG(PT_UNICODE, 0x6031);
  EXPECT_EQ(CodeOf([&] { EncodePropValue(v); }), MAPI_E_INVALID_PARAMETER);
  v.ulPropTag = PROP_TAG(PT_BINARY, 0x6031);
  v.Value.bin = {4, nullptr};
  EXPECT_EQ(CodeOf([&] { EncodePropValue(v); }), MAPI_E_INVALID_PARAMETER);
  v.ulPropTag = PROP_TAG(PT_MV_STRING8, 0x6031);
  v.Value.MVszA = {2, nullptr};
  EXPECT_EQ(CodeOf([&] { EncodePropValue(v); }), MAPI_E_INVALID_PARAMETER);
}

TEST(PropCodec, DamagedBytesAreReported) {
  TArena arena;
  SPropValue out;
  std::vector<uint8_t> three = {1, 2, 3};
  EXPECT_EQ(CodeOf([&] { DecodePropValue(PROP_TAG(PT_LONG, 1), three, arena.Allocator(), out); }), MAPI_E_CORRUPT_DATA);
  EXPECT_EQ(CodeOf([&] { DecodePropValue(PROP_TAG(PT_UNICODE, 1), three, arena.Allocator(), out); }),
            MAPI_E_CORRUPT_DATA);
  std::vector<uint8_t> hugeCount = {0xFF, 0xFF, 0xFF, 0x7F};
  EXPECT_EQ(CodeOf([&] { DecodePropValue(PROP_TAG(PT_MV_BINARY, 1), hugeCount, arena.Allocator(), out); }),
            MAPI_E_CORRUPT_DATA);
  EXPECT_EQ(CodeOf([&] { DecodePropValue(PROP_TAG(PT_MV_LONG, 1), hugeCount, arena.Allocator(), out); }),
            MAPI_E_CORRUPT_DATA);
  std::vector<uint8_t> trailing = {1, 0, 0, 0, 5, 0, 0, 0, 9};
  EXPECT_EQ(CodeOf([&] { DecodePropValue(PROP_TAG(PT_MV_LONG, 1), trailing, arena.Allocator(), out); }),
            MAPI_E_CORRUPT_DATA);
  EXPECT_EQ(CodeOf([&] { DecodePropValue(PROP_TAG(PT_OBJECT, 1), three, arena.Allocator(), out); }),
            MAPI_E_CORRUPT_DATA);
}

}  // namespace
}  // namespace orba::store
