// Property value encoding: refusals of types and values that cannot be kept, and damaged
// bytes. Round trips of every type are tested through saved and reopened messages.
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
