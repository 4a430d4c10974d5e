// Restrictions come from clients (Restrict, FindRow, search criteria). The input bytes
// build a restriction tree of every type, malformed now and then (null pointers, wrong
// types, unknown operators); it must be refused with TMapiError or evaluate. Where the
// contents table takes it into SQL, its rows must be exactly those the table engine
// selects from the same folder.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/maperror.h"
#include "mapiobjects/tables.h"
#include "props/tags.h"
#include "props/valuecopy.h"
#include "table/restriction.h"

using namespace orba::store;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Properties the tree names: the columns the store keeps (both string widths), others
// the rows have, and types that differ from the rows' (any type, multi-valued, I8).
constexpr ULONG kTags[] = {tags::kSubjectW,
                           PROP_TAG(PT_STRING8, 0x0037),
                           tags::kMessageClassW,
                           PROP_TAG(PT_STRING8, 0x001A),
                           tags::kNormalizedSubjectW,
                           tags::kSenderNameW,
                           tags::kMessageDeliveryTime,
                           tags::kClientSubmitTime,
                           tags::kCreationTime,
                           tags::kLastModificationTime,
                           tags::kImportance,
                           tags::kMessageFlags,
                           tags::kMessageSize,
                           PROP_TAG(PT_LONG, 0x0E17),
                           tags::kHasAttach,
                           tags::kEntryId,
                           tags::kInstanceKey,
                           tags::kObjectType,
                           PROP_TAG(PT_UNSPECIFIED, 0x0037),
                           PROP_TAG(PT_MV_UNICODE, 0x0037),
                           PROP_TAG(PT_I8, 0x0017),
                           PROP_TAG(PT_DOUBLE, 0x0017),
                           PROP_TAG(PT_CLSID, 0x0E1B),
                           PROP_TAG(PT_MV_LONG, 0x0017),
                           PROP_TAG(PT_OBJECT, 0x0E12),
                           PROP_TAG(PT_UNICODE, 0x3001),
                           PROP_TAG(PT_STRING8, 0x3003)};
// Characters of the texts: letters of both cases and accents, and regular expression syntax.
constexpr char16_t kAlphabet[] = u"aAbeEHhlLoO \u00C4\u00E4\u00DC\u00FCre.*^$[(|\\?+{";

// The size of one element of a multi-valued property's array.
size_t ElementSize(ULONG base) {
  switch (base) {
    case PT_UNICODE:
    case PT_STRING8: return sizeof(void*);
    case PT_BINARY: return sizeof(SBinary);
    case PT_CLSID: return sizeof(GUID);
    case PT_I2:
    case PT_BOOLEAN: return 2;
    case PT_LONG:
    case PT_R4:
    case PT_ERROR: return 4;
    default: return 8;
  }
}

class TInput {
 public:
  explicit TInput(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint8_t Byte() { return pos_ < bytes_.size() ? bytes_[pos_++] : 0; }
  uint32_t Long() { return Byte() | Byte() << 8 | Byte() << 16 | uint32_t{Byte()} << 24; }
  uint64_t Quad() { return Long() | uint64_t{Long()} << 32; }
  // A pointer field left null (a marker byte, rare in random data).
  bool Null() { return Byte() == 0xA5; }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

// Builds a tree from the input; owns everything the tree points to.
class TTreeBuilder {
 public:
  explicit TTreeBuilder(TInput& in) : in_(in) {}
  SRestriction* Build() { return Fill(lists_.emplace_back(1).data(), 0); }

 private:
  static constexpr int kMaxDepth = 6;
  static constexpr size_t kMaxNodes = 40;

  ULONG Tag() {
    uint8_t pick = in_.Byte();
    return pick < std::size(kTags) ? kTags[pick] : in_.Long();
  }
  ULONG Relop() { return in_.Byte() % 9; }  // every operator, RELOP_RE and one unknown

  LPWSTR Wide() {
    std::u16string& text = wides_.emplace_back();
    for (size_t n = in_.Byte() % 8; n; --n) text += kAlphabet[in_.Byte() % (std::size(kAlphabet) - 1)];
    return text.data();
  }
  LPSTR Narrow() {
    std::string& text = narrows_.emplace_back();
    for (size_t n = in_.Byte() % 8; n; --n) text += static_cast<char>(kAlphabet[in_.Byte() % 20] & 0xFF);
    return text.data();
  }
  SBinary Binary() {
    auto& bytes = bytes_.emplace_back(in_.Byte() % 24);
    for (auto& b : bytes) b = in_.Byte();
    return {static_cast<ULONG>(bytes.size()), bytes.data()};
  }
  template <class T>
  T* Array(ULONG count) {
    return reinterpret_cast<T*>(bytes_.emplace_back(sizeof(T) * (count ? count : 1)).data());
  }

  // One value of a single-valued type.
  void Single(ULONG base, __UPV& v) {
    switch (base) {
      case PT_UNICODE: v.lpszW = in_.Null() ? nullptr : Wide(); break;
      case PT_STRING8: v.lpszA = in_.Null() ? nullptr : Narrow(); break;
      case PT_BINARY: v.bin = Binary(); break;
      case PT_CLSID: v.lpguid = Array<GUID>(1); break;
      case PT_I2:
      case PT_BOOLEAN: v.i = static_cast<short>(in_.Byte() % 4); break;
      case PT_LONG:
      case PT_ERROR:
      case PT_R4: v.l = static_cast<LONG>(in_.Long()); break;
      case PT_I8:
      case PT_SYSTIME:
      case PT_DOUBLE:
      case PT_APPTIME:
      case PT_CURRENCY: v.li.QuadPart = static_cast<LONGLONG>(in_.Quad()); break;
      default: v = {};  // other types point to structures: null, never a wild pointer
    }
  }

  // The constant compared with tag: usually of its type, sometimes of another.
  SPropValue* Value(ULONG tag) {
    if (in_.Null()) return nullptr;
    SPropValue& value = values_.emplace_back();
    uint8_t pick = in_.Byte() % 4;
    value.ulPropTag = pick == 0 ? Tag() : (pick == 1 && (tag & MV_FLAG) ? tag & ~MV_FLAG : tag);
    ULONG type = PROP_TYPE(value.ulPropTag), base = type & ~MVI_FLAG;
    if (!(type & MV_FLAG)) {
      Single(base, value.Value);
      return &value;
    }
    ULONG count = in_.Byte() % 4;
    // Every multi-valued member is a count and an array of the base type's values.
    size_t size = ElementSize(base);
    auto* items = Array<uint8_t>(static_cast<ULONG>(size * count));
    for (ULONG i = 0; i < count; ++i) {
      __UPV single{};
      Single(base, single);
      std::memcpy(items + i * size, base == PT_CLSID ? static_cast<const void*>(single.lpguid) : &single, size);
    }
    value.Value.MVl = {count, in_.Null() ? nullptr : reinterpret_cast<LONG*>(items)};
    return &value;
  }

  SRestriction* Child(int depth) {
    if (in_.Null()) return nullptr;
    return Fill(lists_.emplace_back(1).data(), depth + 1);
  }
  void List(ULONG& count, LPSRestriction& items, int depth) {
    count = in_.Byte() % 4;
    auto& list = lists_.emplace_back(count);
    for (SRestriction& item : list) Fill(&item, depth + 1);
    items = count == 0 || !in_.Null() ? list.data() : nullptr;
  }
  SPropValue* Comment(ULONG& count) {
    count = in_.Byte() % 3;
    SPropValue* props = Array<SPropValue>(count);
    for (ULONG i = 0; i < count; ++i) {
      SPropValue* value = Value(tags::kSubjectW);
      props[i] = value ? *value : SPropValue{};
    }
    return count && in_.Null() ? nullptr : props;
  }

  SRestriction* Fill(SRestriction* r, int depth) {
    r->rt = ++nodes_ > kMaxNodes || depth >= kMaxDepth ? RES_EXIST : in_.Byte() % 14;
    auto& res = r->res;
    switch (r->rt) {
      case RES_AND:
      case RES_OR: List(res.resAnd.cRes, res.resAnd.lpRes, depth); break;
      case RES_NOT: res.resNot.lpRes = Child(depth); break;
      case RES_CONTENT: {
        ULONG tag = Tag();
        ULONG level = in_.Byte() % 4, options = ULONG{in_.Byte() % 9u} << 16;
        res.resContent = {level | options, tag, Value(tag)};
        break;
      }
      case RES_PROPERTY: {
        ULONG relop = Relop(), tag = Tag();
        res.resProperty = {relop, tag, Value(tag)};
        break;
      }
      case RES_COMPAREPROPS: res.resCompareProps = {Relop(), Tag(), Tag()}; break;
      case RES_BITMASK: res.resBitMask = {in_.Byte() % 3u, Tag(), in_.Long()}; break;
      case RES_SIZE: res.resSize = {Relop(), Tag(), in_.Byte()}; break;
      case RES_EXIST: res.resExist = {0, Tag(), 0}; break;
      case RES_SUBRESTRICTION: {
        ULONG sub = in_.Byte() % 3 ? tags::kMessageRecipients : Tag();
        res.resSub = {sub, Child(depth)};
        break;
      }
      case RES_COMMENT:
      case RES_ANNOTATION: {
        res.resComment.lpProp = Comment(res.resComment.cValues);
        res.resComment.lpRes = in_.Byte() % 2 ? Child(depth) : nullptr;
        break;
      }
      case RES_COUNT: res.resCount = {in_.Byte() % 4u, Child(depth)}; break;
      default: r->rt = in_.Long(); break;  // an unknown type
    }
    return r;
  }

  TInput& in_;
  size_t nodes_ = 0;
  std::deque<std::vector<SRestriction>> lists_;
  std::deque<SPropValue> values_;
  std::deque<std::u16string> wides_;
  std::deque<std::string> narrows_;
  std::deque<std::vector<uint8_t>> bytes_;
};

TStoredProp Stored(ULONG tag, const __UPV& v) {
  SPropValue value{};
  value.ulPropTag = tag;
  value.Value = v;
  return {tag, EncodePropValue(value)};
}
TStoredProp Text(ULONG tag, const std::u16string& text) {
  __UPV v{};
  v.lpszW = const_cast<LPWSTR>(text.c_str());
  return Stored(tag, v);
}
TStoredProp Number(ULONG tag, uint64_t number) {
  __UPV v{};
  if (PROP_TYPE(tag) == PT_LONG)
    v.l = static_cast<LONG>(number);
  else
    v.li.QuadPart = static_cast<LONGLONG>(number);
  return Stored(tag, v);
}

// A folder of messages whose properties vary in case, accents, presence and type, kept
// in a store file of a temporary folder for the life of the process.
class TFolder {
 public:
  TFolder() {
    char path[] = "/tmp/orba-fuzz-XXXXXX";
    Check(mkdtemp(path) != nullptr);
    home_ = path;
    setenv("ORBA_HOME", path, 1);
    store_ =
        TOpenStore::Open((home_ / "fuzz.pst").string(), TStoreKind::PersonalFile, u"F", Bytes(20, 1), Bytes(20, 2));
    TStoreEngine& engine = store_->Engine();
    int64_t folder = engine.Folders().SpecialFolderId(TSpecialFolder::Inbox);
    const std::u16string texts[] = {u"Hello", u"hello", u"\u00C4rger", u"\u00E4rger", u"", u"Re: hello", u"ab.c"};
    const uint64_t times[] = {132000000000000000ull, 1, 0x8000000000000010ull, 0xFFFFFFFFFFFFFFFFull};
    for (size_t i = 0; i < 16; ++i) {
      TMessageImage image;
      if (i % 5) image.props.push_back(Text(tags::kSubjectW, texts[i % std::size(texts)]));
      if (i % 3) image.props.push_back(Text(tags::kMessageClassW, i % 2 ? u"IPM.Note" : u"ipm.note.x"));
      if (i % 4) image.props.push_back(Text(tags::kSenderNameW, texts[(i * 3) % std::size(texts)]));
      if (i % 6) image.props.push_back(Number(tags::kMessageDeliveryTime, times[i % std::size(times)]));
      image.props.push_back(i % 7 ? Number(tags::kImportance, i % 3 - 1) : Number(PROP_TAG(PT_I8, 0x0017), 1));
      engine.Messages().Create(folder, false, image);
    }
    source_ = CreateContentsSource(store_, folder, false);
    rows_ = source_->Rows(nullptr, nullptr);
  }
  ~TFolder() {
    source_ = nullptr;
    store_ = nullptr;
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
  }

  const TTableRowSource& Source() const { return *source_; }
  const TRowList& Rows() const { return *rows_; }

 private:
  std::filesystem::path home_;
  std::shared_ptr<TOpenStore> store_;
  std::shared_ptr<TTableRowSource> source_;
  TRowListPtr rows_;
};

// Sub-rows for sub-restrictions: two recipients, the same for every message.
bool SubRows(TPropRow, ULONG, const std::function<bool(TPropRow)>& test) {
  static SPropValue first[] = {{PROP_TAG(PT_UNICODE, 0x3001), 0, {.lpszW = const_cast<LPWSTR>(u"Alice")}},
                               {PROP_TAG(PT_LONG, 0x0C15), 0, {.l = 1}}};
  static SPropValue second[] = {{PROP_TAG(PT_STRING8, 0x3003), 0, {.lpszA = const_cast<LPSTR>("bob@example.com")}}};
  return test(first) || test(second);
}

std::vector<std::string_view> Keys(const TRowList& rows) {
  std::vector<std::string_view> keys;
  for (const TRowPtr& row : rows) keys.push_back(row->InstanceKey());
  return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TFolder folder;
  TInput input({data, size});
  TTreeBuilder builder(input);
  const SRestriction& tree = *builder.Build();
  std::unique_ptr<TRestriction> engine;
  TMapiBuffer<SRestriction> copy;
  try {
    engine = std::make_unique<TRestriction>(tree, SubRows);
    copy = DuplicateRestriction(tree);
  } catch (const TMapiError&) {
    return 0;
  }
  // The copy selects what the original selects.
  TRestriction copied(*copy.get(), SubRows);
  std::vector<TRowPtr> expected;
  for (const TRowPtr& row : folder.Rows()) {
    bool match = engine->Matches(row->Values());
    Check(copied.Matches(row->Values()) == match);
    if (match) expected.push_back(row);
  }
  // Where SQL takes the restriction, it must select exactly the engine's rows.
  const TTableRowSource& source = folder.Source();
  if (!source.AcceptsRestriction(tree)) return 0;
  ValidateRestriction(tree, false);
  Check(Keys(*source.Rows(&tree, nullptr)) == Keys(expected));
  if (source.CanPage(&tree, nullptr))
    Check(Keys(*source.RowsPage(&tree, nullptr, 0, folder.Rows().size() + 1)) == Keys(expected));
  return 0;
}
