// Property value encoding: lossless round trips for every storable type, refusals of
// types and values that cannot be kept, and damaged bytes.
#include "props/propcodec.h"

#include "testsupport.h"

namespace orba::store {
namespace {

using testing::CodeOf;

// Decodes bytes into out on a MAPI buffer that holder keeps.
void Decode(ULONG tag, const Bytes& bytes, SPropValue& out, TMapiBuffer<BYTE>& holder) {
  holder = TMapiBuffer<BYTE>::Allocate(1);
  void* parent = holder.get();
  DecodePropValue(
      tag, bytes, [parent](size_t cb) { return AllocateMore(cb, parent); }, out);
}

TEST(PropCodec, EveryStorableTypeRoundTrips) {
  std::u16string wide = u"Gr\u00FC\u00DFe \U0001F600";
  BYTE data[] = {0, 1, 2, 0, 255}, b0[] = {9, 8}, b1[] = {7};
  GUID guid = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}}, guids[] = {{1, 2, 3, {4}}, {5, 6, 7, {8}}};
  LONG longs[] = {1, -2, 3};
  LPSTR strings[] = {const_cast<char*>("one"), const_cast<char*>("")};
  LPWSTR wides[] = {wide.data()};
  SBinary bins[] = {{2, b0}, {1, b1}};
  std::vector<SPropValue> values(20);
  auto at = [&](size_t i, ULONG type) -> __UPV& {
    values[i].ulPropTag = PROP_TAG(type, 0x6000 + i);
    return values[i].Value;
  };
  at(0, PT_I2).i = -12345;
  at(1, PT_LONG).l = -7;
  at(2, PT_BOOLEAN).b = 1;
  at(3, PT_DOUBLE).dbl = 3.25;
  at(4, PT_R4).flt = 1.5f;
  at(5, PT_I8).li.QuadPart = -(1LL << 40);
  at(6, PT_SYSTIME).ft = {0x89ABCDEF, 0x01D2F3A4};
  at(7, PT_CURRENCY).cur.int64 = 123456789;
  at(8, PT_ERROR).err = MAPI_E_NOT_FOUND;
  at(9, PT_APPTIME).at = 45000.5;
  at(10, PT_STRING8).lpszA = const_cast<char*>("caf\xE9");
  at(11, PT_UNICODE).lpszW = wide.data();
  at(12, PT_BINARY).bin = {sizeof(data), data};
  at(13, PT_BINARY).bin = {0, nullptr};
  at(14, PT_CLSID).lpguid = &guid;
  at(15, PT_MV_LONG).MVl = {3, longs};
  at(16, PT_MV_STRING8).MVszA = {2, strings};
  at(17, PT_MV_UNICODE).MVszW = {1, wides};
  at(18, PT_MV_BINARY).MVbin = {2, bins};
  at(19, PT_MV_CLSID).MVguid = {2, guids};
  for (const SPropValue& value : values) {
    SCOPED_TRACE(std::to_string(PROP_TYPE(value.ulPropTag)));
    Bytes bytes = EncodePropValue(value);
    SPropValue back;
    TMapiBuffer<BYTE> holder;
    Decode(value.ulPropTag, bytes, back, holder);
    EXPECT_EQ(back.ulPropTag, value.ulPropTag);
    EXPECT_EQ(EncodePropValue(back), bytes);  // nothing lost on the way
  }
  SPropValue back;
  TMapiBuffer<BYTE> holder;
  Decode(values[11].ulPropTag, EncodePropValue(values[11]), back, holder);
  EXPECT_EQ(testing::WideOf(back.Value.lpszW), wide);
  Decode(values[13].ulPropTag, EncodePropValue(values[13]), back, holder);
  EXPECT_NE(back.Value.bin.lpb, nullptr);  // an empty binary still points somewhere
  Decode(values[19].ulPropTag, EncodePropValue(values[19]), back, holder);
  EXPECT_EQ(back.Value.MVguid.lpguid[1], guids[1]);
}

TEST(PropCodec, TypesAndValuesThatCannotBeKeptAreRefused) {
  SPropValue v{};
  for (ULONG type : {PT_UNSPECIFIED, PT_OBJECT, PT_PTR, PT_SRESTRICTION, PT_ACTIONS, ULONG{0x77}}) {
    v.ulPropTag = PROP_TAG(type, 0x6030);
    EXPECT_EQ(CodeOf([&] { EncodePropValue(v); }), MAPI_E_INVALID_TYPE) << type;
  }
  EXPECT_FALSE(IsStorablePropType(MV_FLAG | PT_BOOLEAN));
  EXPECT_TRUE(IsStorablePropType(PT_MV_SYSTIME));
  v = {};
  v.ulPropTag = PROP_TAG(PT_UNICODE, 0x6031);
  EXPECT_EQ(CodeOf([&] { EncodePropValue(v); }), MAPI_E_INVALID_PARAMETER);
  v.ulPropTag = PROP_TAG(PT_BINARY, 0x6031);
  v.Value.bin = {4, nullptr};
  EXPECT_EQ(CodeOf([&] { EncodePropValue(v); }), MAPI_E_INVALID_PARAMETER);
  v.ulPropTag = PROP_TAG(PT_MV_STRING8, 0x6031);
  v.Value.MVszA = {2, nullptr};
  EXPECT_EQ(CodeOf([&] { EncodePropValue(v); }), MAPI_E_INVALID_PARAMETER);
}

TEST(PropCodec, DamagedBytesAreCorruptData) {
  struct TCase {
    ULONG type;
    Bytes bytes;
  } cases[] = {{PT_LONG, {1, 2, 3}},
               {PT_UNICODE, {1, 2, 3}},
               {PT_MV_BINARY, {0xFF, 0xFF, 0xFF, 0x7F}},
               {PT_MV_LONG, {0xFF, 0xFF, 0xFF, 0x7F}},
               {PT_MV_LONG, {1, 0, 0, 0, 5, 0, 0, 0, 9}},
               {PT_OBJECT, {1, 2, 3}}};
  for (const TCase& c : cases) {
    SPropValue out;
    TMapiBuffer<BYTE> holder;
    EXPECT_EQ(CodeOf([&] { Decode(PROP_TAG(c.type, 1), c.bytes, out, holder); }), MAPI_E_CORRUPT_DATA) << c.type;
  }
}

}  // namespace
}  // namespace orba::store
