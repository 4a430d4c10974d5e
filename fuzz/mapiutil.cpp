// MAPI's utility functions take structures from any program. The input bytes build
// them in MAPI memory, broken now and then: counts past the data, null and wild
// pointers, texts without terminators, unknown types and operators. The first byte
// picks what is checked:
//   - validation: FBadRowSet, FBadRestriction, FBadColumnSet and FBadSortOrderSet answer
//     without a crash, and what they pass is usable (a restriction the table engine
//     compiles, row values PropCopyMore copies to an equal value);
//   - copies: what ScCountProps accepts ScCopyProps packs into exactly that many bytes,
//     ScRelocProps moves to another block (and back from base 0) with equal values, and
//     a packed block with some bytes changed is relocated or refused, never followed
//     out of its block.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "mapi/mapiexports.h"
#include "memory/mapimemory.h"
#include "table/restriction.h"

using namespace orba::store;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

const auto kWild = reinterpret_cast<BYTE*>(uintptr_t{0x10});

constexpr ULONG kTypes[] = {PT_I2,         PT_LONG,       PT_R4,         PT_DOUBLE,      PT_CURRENCY,     PT_APPTIME,
                            PT_ERROR,      PT_BOOLEAN,    PT_OBJECT,     PT_I8,          PT_STRING8,      PT_UNICODE,
                            PT_SYSTIME,    PT_CLSID,      PT_BINARY,     PT_NULL,        PT_UNSPECIFIED,  PT_MV_I2,
                            PT_MV_LONG,    PT_MV_DOUBLE,  PT_MV_SYSTIME, PT_MV_CLSID,    PT_MV_I8,        PT_MV_BINARY,
                            PT_MV_STRING8, PT_MV_UNICODE, PT_MV_R4,      PT_MV_CURRENCY, PT_SRESTRICTION, 0x0123};

class TInput {
 public:
  explicit TInput(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint8_t Byte() { return pos_ < bytes_.size() ? bytes_[pos_++] : 0; }
  uint32_t Long() { return Byte() | Byte() << 8 | Byte() << 16 | uint32_t{Byte()} << 24; }
  bool Rare() { return Byte() >= 0xF0; }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

// Builds structures whose every block is chained to one MAPI buffer.
class TBuilder {
 public:
  explicit TBuilder(TInput& in) : in_(in), root_(TMapiBuffer<BYTE>::Allocate(1)) {}

  // A block for count elements of T: usually as large, now and then smaller (a count
  // past the data), null or wild. made: the elements it has room for.
  template <class T>
  T* Block(size_t count, size_t* made = nullptr) {
    size_t room = count;
    T* block = nullptr;
    switch (in_.Byte() % 16) {
      case 0: room = 0; break;
      case 1:
        room = 0;
        block = reinterpret_cast<T*>(kWild);
        break;
      case 2: room = count / 2; [[fallthrough]];
      default: block = static_cast<T*>(AllocateMore(room * sizeof(T) + (room ? 0 : 1), root_.get()));
    }
    if (made) *made = room;
    return block;
  }

  template <class Char>
  Char* Text() {
    size_t made = 0;
    Char* text = Block<Char>(in_.Byte() % 6 + 1, &made);
    for (size_t i = 0; i + 1 < made; ++i) text[i] = static_cast<Char>('a' + in_.Byte() % 4);
    if (made && in_.Rare()) text[made - 1] = 'x';  // no terminator
    return text;
  }

  ULONG Tag() {
    ULONG ids[] = {0x0037, 0x0E07, 0x8001, PROP_ID_NULL, PROP_ID_INVALID};
    return PROP_TAG(kTypes[in_.Byte() % std::size(kTypes)], ids[in_.Byte() % std::size(ids)]);
  }

  void Value(SPropValue& value, int depth) {
    value.ulPropTag = Tag();
    __UPV& v = value.Value;
    ULONG type = PROP_TYPE(value.ulPropTag);
    ULONG count = in_.Byte() % 4;
    switch (type) {
      case PT_STRING8: v.lpszA = Text<char>(); break;
      case PT_UNICODE: v.lpszW = Text<char16_t>(); break;
      case PT_BINARY: v.bin = {count * 3, Block<BYTE>(count * 3)}; break;
      case PT_CLSID: v.lpguid = Block<GUID>(1); break;
      case PT_SRESTRICTION: v.lpv = depth < 3 ? Restriction(depth + 1) : nullptr; break;
      case PT_MV_STRING8: v.MVszA = {count, Texts<char>(count)}; break;
      case PT_MV_UNICODE: v.MVszW = {count, Texts<char16_t>(count)}; break;
      case PT_MV_BINARY: {
        size_t made = 0;
        v.MVbin = {count, Block<SBinary>(count, &made)};
        for (ULONG i = 0; i < made; ++i) v.MVbin.lpbin[i] = {i + 1, Block<BYTE>(i + 1)};
        break;
      }
      default:
        if (type & MV_FLAG) {
          v.MVl = {count, Block<LONG>(count * 4)};  // room for the widest elements
        } else {
          v.li.QuadPart = static_cast<LONGLONG>(in_.Long()) << (in_.Byte() % 32);
          if (type == PT_BOOLEAN) v.b = in_.Byte() % 3;
        }
    }
  }

  SPropValue* Values(ULONG count, int depth = 0) {
    size_t made = 0;
    auto* values = Block<SPropValue>(count, &made);
    for (size_t i = 0; i < made; ++i) Value(values[i], depth);
    return values;
  }

  SRestriction* Restriction(int depth) {
    size_t made = 0;
    auto* r = Block<SRestriction>(1, &made);
    if (made) Fill(*r, depth);
    return r;
  }

  SRowSet* RowSet() {
    ULONG count = in_.Byte() % 5, room = in_.Rare() ? count / 2 : count;
    auto* rows = static_cast<SRowSet*>(AllocateMore(CbNewSRowSet(room), root_.get()));
    rows->cRows = count;
    for (ULONG i = 0; i < room; ++i) {
      rows->aRow[i].cValues = in_.Byte() % 4;
      rows->aRow[i].lpProps = Values(rows->aRow[i].cValues);
    }
    return rows;
  }

  template <class Char>
  Char** Texts(ULONG count) {
    size_t made = 0;
    auto** texts = Block<Char*>(count, &made);
    for (size_t i = 0; i < made; ++i) texts[i] = Text<Char>();
    return texts;
  }

  SPropTagArray* Columns() {
    ULONG count = in_.Byte() % 5;
    auto* columns = static_cast<SPropTagArray*>(AllocateMore(CbNewSPropTagArray(count), root_.get()));
    columns->cValues = in_.Rare() ? count + 100 : count;
    for (ULONG i = 0; i < count; ++i) columns->aulPropTag[i] = Tag();
    return columns;
  }

  SSortOrderSet* SortOrder() {
    ULONG count = in_.Byte() % 4;
    auto* sort = static_cast<SSortOrderSet*>(AllocateMore(CbNewSSortOrderSet(count), root_.get()));
    sort->cSorts = in_.Rare() ? count + 50 : count;
    sort->cCategories = in_.Byte() % 3u;
    sort->cExpanded = in_.Byte() % 2u;
    for (ULONG i = 0; i < count; ++i) sort->aSort[i] = {Tag(), in_.Byte() % 10u};
    return sort;
  }

 private:
  void Fill(SRestriction& r, int depth) {
    r.rt = ++nodes_ > 30 || depth > 5 ? RES_EXIST : in_.Byte() % 14;
    auto& res = r.res;
    ULONG count = in_.Byte() % 3;
    switch (r.rt) {
      case RES_AND:
      case RES_OR: {
        size_t made = 0;
        res.resAnd = {count, Block<SRestriction>(count, &made)};
        for (size_t i = 0; i < made; ++i) Fill(res.resAnd.lpRes[i], depth + 1);
        break;
      }
      case RES_NOT: res.resNot.lpRes = Restriction(depth + 1); break;
      case RES_COUNT: res.resCount = {count, Restriction(depth + 1)}; break;
      case RES_SUBRESTRICTION:
        res.resSub = {in_.Rare() ? Tag() : PROP_TAG(PT_OBJECT, 0x0E12), Restriction(depth + 1)};
        break;
      case RES_CONTENT: {
        ULONG tag = Tag();
        res.resContent = {in_.Byte() % 4u | (in_.Byte() % 8u) << 16, tag, Values(1, depth)};
        break;
      }
      case RES_PROPERTY: res.resProperty = {in_.Byte() % 8u, Tag(), Values(1, depth)}; break;
      case RES_COMPAREPROPS: res.resCompareProps = {in_.Byte() % 8u, Tag(), Tag()}; break;
      case RES_BITMASK: res.resBitMask = {in_.Byte() % 3u, Tag(), in_.Long()}; break;
      case RES_SIZE: res.resSize = {in_.Byte() % 8u, Tag(), in_.Long()}; break;
      case RES_EXIST: res.resExist = {0, Tag(), 0}; break;
      case RES_COMMENT:
      case RES_ANNOTATION:
        res.resComment = {count, in_.Byte() % 2 ? Restriction(depth + 1) : nullptr, Values(count, depth)};
        break;
      default: r.rt = in_.Long(); break;
    }
  }

  TInput& in_;
  TMapiBuffer<BYTE> root_;
  size_t nodes_ = 0;
};

// What FBadRow passes can be copied, and the copy equals it.
void CheckUsableRow(const SRow& row, void* parent) {
  for (ULONG i = 0; i < row.cValues; ++i) {
    SPropValue copy{};
    SCODE sc = PropCopyMore(&copy, &row.lpProps[i], MAPIAllocateMore, parent);
    Check(sc == S_OK);
    Check(LPropCompareProp(&copy, &row.lpProps[i]) == 0);
    Check(UlPropSize(&copy) == UlPropSize(&row.lpProps[i]));
  }
}

void Validate(TInput& in) {
  TBuilder builder(in);
  auto scratch = TMapiBuffer<BYTE>::Allocate(1);
  switch (in.Byte() % 4) {
    case 0: {
      SRowSet* rows = builder.RowSet();
      if (!FBadRowSet(rows))
        for (ULONG i = 0; i < rows->cRows; ++i) CheckUsableRow(rows->aRow[i], scratch.get());
      break;
    }
    case 1: {
      SRestriction* r = builder.Restriction(0);
      if (!FBadRestriction(r)) TRestriction compiled(*r, [](TPropRow, ULONG, const auto&) { return false; });
      break;
    }
    case 2: {
      SPropTagArray* columns = builder.Columns();
      if (!FBadColumnSet(columns))
        for (ULONG i = 0; i < columns->cValues; ++i) Check(!FBadPropTag(columns->aulPropTag[i]));
      break;
    }
    default: FBadSortOrderSet(builder.SortOrder()); break;
  }
}

// Every value of count at a equals the one at b.
void CheckEqual(int count, LPSPropValue a, LPSPropValue b) {
  for (int i = 0; i < count; ++i) Check(LPropCompareProp(&a[i], &b[i]) == 0);
}

void Copy(TInput& in) {
  TBuilder builder(in);
  int count = in.Byte() % 6;
  LPSPropValue values = builder.Values(count);
  ULONG size = 0;
  if (ScCountProps(count, values, &size) != S_OK) return;
  auto packed = TMapiBuffer<BYTE>::Allocate(size);
  ULONG copied = 0;
  Check(ScCopyProps(count, values, packed.get(), &copied) == S_OK && copied == size);
  auto* copy = reinterpret_cast<LPSPropValue>(packed.get());
  CheckEqual(count, values, copy);

  // Moved to another block, and through base 0 into a third.
  auto moved = TMapiBuffer<BYTE>::Allocate(size);
  std::memcpy(moved.get(), packed.get(), size);
  ULONG relocated = 0;
  auto* movedValues = reinterpret_cast<LPSPropValue>(moved.get());
  Check(ScRelocProps(count, movedValues, packed.get(), moved.get(), &relocated) == S_OK && relocated == size);
  CheckEqual(count, values, movedValues);
  Check(ScRelocProps(count, movedValues, moved.get(), nullptr, nullptr) == S_OK);
  auto loaded = TMapiBuffer<BYTE>::Allocate(size);
  std::memcpy(loaded.get(), moved.get(), size);
  auto* loadedValues = reinterpret_cast<LPSPropValue>(loaded.get());
  Check(ScRelocProps(count, loadedValues, nullptr, loaded.get(), nullptr) == S_OK);
  CheckEqual(count, values, loadedValues);

  // Some bytes changed: refused, or every pointer leads into the block again.
  for (int n = in.Byte() % 4; n > 0 && size; --n) packed.get()[in.Long() % size] = in.Byte();
  auto damaged = TMapiBuffer<BYTE>::Allocate(size);
  std::memcpy(damaged.get(), packed.get(), size);
  auto* damagedValues = reinterpret_cast<LPSPropValue>(damaged.get());
  if (ScRelocProps(count, damagedValues, packed.get(), damaged.get(), nullptr) == S_OK) {
    auto scratch = TMapiBuffer<BYTE>::Allocate(1);
    for (int i = 0; i < count; ++i) {
      SPropValue again{};
      PropCopyMore(&again, &damagedValues[i], MAPIAllocateMore, scratch.get());
      UlPropSize(&damagedValues[i]);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TInput in({data, size});
  if (in.Byte() % 2)
    Copy(in);
  else
    Validate(in);
  return 0;
}
