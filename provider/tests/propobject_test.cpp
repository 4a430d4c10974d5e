// The property object engine: GetProps and GetPropList, SetProps and DeleteProps with
// their problems, saving, GetLastError, streams, named properties, CopyTo and CopyProps.
#include "props/propobject.h"

#include "orba/common/encoding.h"
#include "testsupport.h"

namespace orba::store {
namespace {

using testing::Get;
using testing::Set;

constexpr ULONG kLong = PROP_TAG(PT_LONG, 0x6001);
constexpr ULONG kText = PROP_TAG(PT_UNICODE, 0x6002), kText8 = PROP_TAG(PT_STRING8, 0x6002);
constexpr ULONG kBin = PROP_TAG(PT_BINARY, 0x6003);
constexpr ULONG kComputed = PROP_TAG(PT_LONG, 0x0FFE);
constexpr ULONG kTyped = PROP_TAG(PT_LONG, 0x6004);
constexpr GUID kSet = {0x00062004, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// A message-like object: one computed property, one property of a fixed type; records
// what Persist is given and can be told to fail.
class TTestObject : public TPropObject<IMessage> {
 public:
  explicit TTestObject(TPropObjectOptions options = {}) : TPropObject<IMessage>(std::move(options)) {
    AddComputed(kComputed, [](SPropValue& out, void*) { out = LongValue(kComputed, 42); });
    SetExpectedType(PROP_ID(kTyped), PT_LONG);
  }
  std::vector<TPropChanges> saved;
  std::vector<ULONG> savedFlags;
  HRESULT persistFailure = S_OK;

  STDMETHOD(GetAttachmentTable)(ULONG, LPMAPITABLE*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(OpenAttach)(ULONG, LPCIID, ULONG, LPATTACH*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(CreateAttach)(LPCIID, ULONG, ULONG*, LPATTACH*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(DeleteAttach)(ULONG, ULONG_PTR, LPMAPIPROGRESS, ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(GetRecipientTable)(ULONG, LPMAPITABLE*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(ModifyRecipients)(ULONG, LPADRLIST) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(SubmitMessage)(ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHOD(SetReadFlag)(ULONG) override { return MAPI_E_NO_SUPPORT; }

 protected:
  void Persist(const TPropChanges& changes, ULONG flags) override {
    if (FAILED(persistFailure)) throw TMapiError(persistFailure, "the store refused");
    saved.push_back(changes);
    savedFlags.push_back(flags);
  }
};

ComPtr<TTestObject> NewObject(TPropObjectOptions options = {}) {
  return MakeComObject<TTestObject>(std::move(options));
}
const TPropObjectOptions kReadOnly{TAccessMode::ReadOnly, true, nullptr};

SPropValue Ansi(ULONG tag, const char* text) {
  SPropValue value{};
  value.ulPropTag = tag;
  value.Value.lpszA = const_cast<char*>(text);
  return value;
}

std::string ReadAll(IStream* stream) {
  std::vector<BYTE> bytes;
  BYTE buffer[7];
  ULONG got = 0;
  while (stream->Read(buffer, sizeof(buffer), &got) == S_OK && got) bytes.insert(bytes.end(), buffer, buffer + got);
  return std::string(bytes.begin(), bytes.end());
}
HRESULT OpenStream(IMAPIProp* object, ULONG tag, ULONG flags, ComPtr<IStream>& stream) {
  return object->OpenProperty(tag, &IID_IStream, 0, flags, reinterpret_cast<LPUNKNOWN*>(stream.Out()));
}

// --- GetProps and GetPropList ----------------------------------------------------------

TEST(PropObjectGetProps, AnswersInOrderWithErrorValuesInTheAskedWidth) {
  auto object = NewObject();
  std::u16string hi = u"hi";
  ASSERT_EQ(Set(object.get(), {LongValue(kLong, 7), TextValue(kText, hi)}), S_OK);
  SizedSPropTagArray<5> tags = {
      5, {kText, PROP_TAG(PT_LONG, 0x6100), kLong, CHANGE_PROP_TYPE(kLong, PT_BINARY), CHANGE_PROP_TYPE(kLong, 0x99)}};
  ULONG count = 0;
  TMapiBuffer<SPropValue> values;
  ASSERT_EQ(object->GetProps(tags.Ptr(), 0, &count, values.Out()), MAPI_W_ERRORS_RETURNED);
  ASSERT_EQ(count, 5u);
  EXPECT_EQ(testing::WideOf(values.get()[0].Value.lpszW), u"hi");
  EXPECT_EQ(values.get()[1].ulPropTag, PROP_TAG(PT_ERROR, 0x6100));
  EXPECT_EQ(values.get()[1].Value.err, MAPI_E_NOT_FOUND);
  EXPECT_EQ(values.get()[2].Value.l, 7);
  EXPECT_EQ(values.get()[3].Value.err, MAPI_E_NOT_FOUND);
  EXPECT_EQ(values.get()[4].Value.err, MAPI_E_INVALID_TYPE);
  // All properties, strings in the width the flags ask for; PT_UNSPECIFIED finds the stored type.
  ASSERT_EQ(object->GetProps(nullptr, 0, &count, values.Out()), S_OK);
  ASSERT_EQ(count, 3u);
  EXPECT_STREQ(values.get()[1].Value.lpszA, "hi");
  EXPECT_EQ(values.get()[2].ulPropTag, kComputed);
  EXPECT_EQ(Get(object.get(), CHANGE_PROP_TYPE(kText, PT_UNSPECIFIED))->ulPropTag, kText);
  EXPECT_EQ(Get(object.get(), CHANGE_PROP_TYPE(kText, PT_UNSPECIFIED), 0)->ulPropTag, kText8);
  TMapiBuffer<SPropTagArray> list;
  ASSERT_EQ(object->GetPropList(MAPI_UNICODE, list.Out()), S_OK);
  EXPECT_EQ(std::vector<ULONG>(list->aulPropTag, list->aulPropTag + list->cValues),
            (std::vector<ULONG>{kLong, kText, kComputed}));
  // An empty object answers no values and no buffer.
  auto empty = MakeComObject<TPropObject<IMAPIProp>>();
  LPSPropValue none = reinterpret_cast<LPSPropValue>(1);
  EXPECT_EQ(empty->GetProps(nullptr, 0, &count, &none), S_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(none, nullptr);
}

TEST(PropObjectGetProps, StringsConvertThroughTheCodePage) {
  auto object = NewObject();
  std::u16string mixed = u"caf\u00e9 \u20ac \u4e2d";
  ASSERT_EQ(Set(object.get(), {TextValue(kText, mixed)}), S_OK);
  std::string ansi = Get(object.get(), kText8, 0)->Value.lpszA;
  EXPECT_EQ(ansi, TVoEncoding::ConvertA(mixed));
  EXPECT_EQ(ansi.back(), '?');  // not in the code page
  const char* parts[] = {"one", "tw\xe9"};
  SPropValue mv{};
  mv.ulPropTag = PROP_TAG(PT_MV_STRING8, 0x6005);
  mv.Value.MVszA = {2, const_cast<LPSTR*>(parts)};
  ASSERT_EQ(Set(object.get(), {mv}), S_OK);
  auto wide = Get(object.get(), PROP_TAG(PT_MV_UNICODE, 0x6005));
  ASSERT_EQ(wide->Value.MVszW.cValues, 2u);
  EXPECT_EQ(testing::WideOf(wide->Value.MVszW.lppszW[1]), TVoEncoding::ConvertW("tw\xe9"));
}

TEST(PropObjectGetProps, BadArguments) {
  auto object = NewObject();
  ULONG count = 0;
  LPSPropValue values = nullptr;
  SizedSPropTagArray<1> empty = {0, {0}};
  EXPECT_EQ(object->GetProps(nullptr, 1, &count, &values), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(object->GetProps(nullptr, 0, nullptr, &values), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(object->GetProps(nullptr, 0, &count, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(object->GetProps(empty.Ptr(), 0, &count, &values), MAPI_E_INVALID_PARAMETER);
  TMapiBuffer<SPropTagArray> list;
  EXPECT_EQ(object->GetPropList(2, list.Out()), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(object->GetPropList(0, nullptr), MAPI_E_INVALID_PARAMETER);
}

// --- SetProps and DeleteProps --------------------------------------------------------------

TEST(PropObjectSetProps, EachBadValueIsAProblemAndTheGoodOnesAreStored) {
  auto object = NewObject();
  std::u16string no = u"no";
  SPropValue values[] = {LongValue(kComputed, 1),
                         TextValue(CHANGE_PROP_TYPE(kTyped, PT_UNICODE), no),
                         LongValue(PROP_TAG(PT_NULL, 0x6010), 0),
                         LongValue(PROP_TAG(0x0099, 0x6011), 0),
                         Ansi(PROP_TAG(PT_STRING8, 0x6012), nullptr),
                         LongValue(kLong, 5),
                         LongValue(PROP_TAG(PT_ERROR, 0x6013), 0),
                         LongValue(PROP_TAG(PT_NULL, 0), 0)};
  TMapiBuffer<SPropProblemArray> problems;
  ASSERT_EQ(object->SetProps(8, values, problems.Out()), S_OK);
  ASSERT_TRUE(problems);
  const SCODE expected[] = {MAPI_E_COMPUTED, MAPI_E_UNEXPECTED_TYPE, MAPI_E_INVALID_TYPE, MAPI_E_INVALID_TYPE,
                            MAPI_E_BAD_VALUE};
  ASSERT_EQ(problems->cProblem, 5u);
  for (ULONG i = 0; i < 5; ++i) {
    EXPECT_EQ(problems->aProblem[i].scode, expected[i]);
    EXPECT_EQ(problems->aProblem[i].ulIndex, i);
  }
  EXPECT_EQ(Get(object.get(), kLong)->Value.l, 5);
  EXPECT_EQ(Get(object.get(), PROP_TAG(PT_ERROR, 0x6013))->Value.err, MAPI_E_INVALID_TYPE);
  // No problems: no array. A value of another type replaces the property.
  ASSERT_EQ(object->SetProps(1, values + 5, problems.Out()), S_OK);
  EXPECT_FALSE(problems);
  ASSERT_EQ(Set(object.get(), {TextValue(CHANGE_PROP_TYPE(kLong, PT_UNICODE), no)}), S_OK);
  EXPECT_EQ(Get(object.get(), kLong)->Value.err, MAPI_E_NOT_FOUND);
}

TEST(PropObjectSetProps, InvalidCallsAndReadOnlyObjectsChangeNothing) {
  auto object = NewObject();
  SPropValue sub = LongValue(PROP_TAG(PT_OBJECT, 0x3701), 0), emptyMv = LongValue(PROP_TAG(PT_MV_LONG, 0x6030), 0);
  EXPECT_EQ(object->SetProps(0, &sub, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(object->SetProps(1, nullptr, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(Set(object.get(), {LongValue(kLong, 1), sub}), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(Set(object.get(), {LongValue(kLong, 1), emptyMv}), MAPI_E_INVALID_PARAMETER);
  EXPECT_FALSE(object->IsModified());
  EXPECT_EQ(object->DeleteProps(nullptr, nullptr), MAPI_E_INVALID_PARAMETER);
  auto readOnly = NewObject(kReadOnly);
  EXPECT_EQ(Set(readOnly.get(), {LongValue(kLong, 1)}), MAPI_E_NO_ACCESS);
  EXPECT_EQ(testing::Delete(readOnly.get(), {kLong}), MAPI_E_NO_ACCESS);
  EXPECT_EQ(readOnly->SaveChanges(0), MAPI_E_NO_ACCESS);
}

TEST(PropObjectDeleteProps, DeletesAndReportsComputedAndMissingProperties) {
  auto object = NewObject();
  ASSERT_EQ(Set(object.get(), {LongValue(kLong, 1)}), S_OK);
  SizedSPropTagArray<3> tags = {3, {kLong, kComputed, PROP_TAG(PT_LONG, 0x6099)}};
  TMapiBuffer<SPropProblemArray> problems;
  ASSERT_EQ(object->DeleteProps(tags.Ptr(), problems.Out()), S_OK);
  ASSERT_EQ(problems->cProblem, 2u);
  EXPECT_EQ(problems->aProblem[0].scode, MAPI_E_COMPUTED);
  EXPECT_EQ(problems->aProblem[1].scode, MAPI_E_NOT_FOUND);
  EXPECT_EQ(Get(object.get(), kLong)->Value.err, MAPI_E_NOT_FOUND);
  EXPECT_EQ(object->PendingChanges().deleted.count(PROP_ID(kLong)), 1u);
}

// --- SaveChanges and GetLastError ----------------------------------------------------------

TEST(PropObjectSaveChanges, PersistsPendingChangesAndHonoursKeepOpen) {
  auto object = NewObject();
  ASSERT_EQ(Set(object.get(), {LongValue(kLong, 1)}), S_OK);
  ASSERT_EQ(object->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  ASSERT_EQ(object->saved.size(), 1u);
  EXPECT_EQ(object->saved[0].changed.count(PROP_ID(kLong)), 1u);
  EXPECT_FALSE(object->IsModified());
  ASSERT_EQ(Set(object.get(), {LongValue(kLong, 2)}), S_OK);
  ASSERT_EQ(object->SaveChanges(KEEP_OPEN_READONLY | FORCE_SAVE), S_OK);
  EXPECT_EQ(object->savedFlags[1], KEEP_OPEN_READONLY | FORCE_SAVE);
  EXPECT_EQ(Set(object.get(), {LongValue(kLong, 3)}), MAPI_E_NO_ACCESS);
  EXPECT_EQ(Get(object.get(), kLong)->Value.l, 2);  // still readable
  auto closed = NewObject();
  ASSERT_EQ(closed->SaveChanges(0), S_OK);
  EXPECT_EQ(closed->SaveChanges(0), MAPI_E_NO_ACCESS);
  EXPECT_EQ(object->SaveChanges(0x100), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(object->SaveChanges(KEEP_OPEN_READONLY | KEEP_OPEN_READWRITE), MAPI_E_INVALID_PARAMETER);
}

TEST(PropObjectSaveChanges, AFailedSaveKeepsTheChangesAndTheObjectOpen) {
  auto object = NewObject();
  ASSERT_EQ(Set(object.get(), {LongValue(kLong, 1)}), S_OK);
  object->persistFailure = MAPI_E_OBJECT_CHANGED;
  EXPECT_EQ(object->SaveChanges(0), MAPI_E_OBJECT_CHANGED);
  EXPECT_TRUE(object->IsModified());
  object->persistFailure = S_OK;
  EXPECT_EQ(object->SaveChanges(FORCE_SAVE), S_OK);
}

TEST(PropObjectGetLastError, DescribesTheLastFailureInEitherWidth) {
  auto object = NewObject(kReadOnly);
  ASSERT_EQ(Set(object.get(), {LongValue(kLong, 1)}), MAPI_E_NO_ACCESS);
  TMapiBuffer<MAPIERROR> error;
  ASSERT_EQ(object->GetLastError(MAPI_E_NO_ACCESS, 0, error.Out()), S_OK);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->ulVersion, MAPI_ERROR_VERSION);
  EXPECT_STREQ(error->lpszError, "SetProps: the object is not open for writing");
  EXPECT_STREQ(error->lpszComponent, "Orba Store");
  ASSERT_EQ(object->GetLastError(MAPI_E_NO_ACCESS, MAPI_UNICODE, error.Out()), S_OK);
  EXPECT_EQ(testing::WideOf(reinterpret_cast<LPWSTR>(error->lpszComponent)), u"Orba Store");
  ASSERT_EQ(object->GetLastError(MAPI_E_NOT_FOUND, 0, error.Out()), S_OK);
  EXPECT_FALSE(error);  // nothing known about that code
  EXPECT_EQ(object->GetLastError(MAPI_E_NO_ACCESS, 1, error.Out()), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(object->GetLastError(MAPI_E_NO_ACCESS, 0, nullptr), MAPI_E_INVALID_PARAMETER);
}

// --- OpenProperty ------------------------------------------------------------------------

TEST(PropObjectStreams, WritesReachTheObjectOnCommitOrRelease) {
  auto object = NewObject();
  ComPtr<IStream> stream;
  ASSERT_EQ(OpenStream(object.get(), kBin, MAPI_CREATE | MAPI_MODIFY, stream), S_OK);
  ULONG written = 0;
  ASSERT_EQ(stream->Write("abc", 3, &written), S_OK);
  EXPECT_EQ(written, 3u);
  ASSERT_EQ(stream->Commit(STGC_DEFAULT), S_OK);
  EXPECT_EQ(testing::Binary(object.get(), kBin), (Bytes{'a', 'b', 'c'}));
  // Released without Commit: kept, and readable in the other width.
  ASSERT_EQ(OpenStream(object.get(), kText8, MAPI_CREATE | MAPI_MODIFY, stream), S_OK);
  ASSERT_EQ(stream->Write("hello", 5, nullptr), S_OK);
  stream = nullptr;
  ASSERT_EQ(OpenStream(object.get(), kText, 0, stream), S_OK);
  EXPECT_EQ(ReadAll(stream.get()), std::string("h\0e\0l\0l\0o\0", 10));
  // Appended, reverted, then appended again.
  ASSERT_EQ(OpenStream(object.get(), kText8, MAPI_MODIFY | STREAM_APPEND, stream), S_OK);
  stream->Write("+more", 5, nullptr);
  ASSERT_EQ(stream->Revert(), S_OK);
  ASSERT_EQ(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_END, nullptr), S_OK);
  stream->Write("!", 1, nullptr);
  ASSERT_EQ(stream->Commit(0), S_OK);
  EXPECT_STREQ(Get(object.get(), kText8, 0)->Value.lpszA, "hello!");
  // MAPI_CREATE starts from nothing.
  ASSERT_EQ(OpenStream(object.get(), kBin, MAPI_CREATE | MAPI_MODIFY, stream), S_OK);
  stream = nullptr;
  EXPECT_EQ(testing::Binary(object.get(), kBin), Bytes());
}

TEST(PropObjectStreams, ReadOnlyStreamsAndBadCalls) {
  auto object = NewObject();
  ComPtr<IStream> stream;
  EXPECT_EQ(OpenStream(object.get(), kBin, 0, stream), MAPI_E_NOT_FOUND);
  ASSERT_EQ(Set(object.get(), {BinaryValue(kBin, Bytes{1})}), S_OK);
  ASSERT_EQ(OpenStream(object.get(), kBin, 0, stream), S_OK);
  EXPECT_EQ(stream->Write("y", 1, nullptr), STG_E_ACCESSDENIED);
  EXPECT_EQ(stream->SetSize(ULARGE_INTEGER{}), STG_E_ACCESSDENIED);
  STATSTG stat;
  ASSERT_EQ(stream->Stat(&stat, 0), S_OK);
  EXPECT_EQ(stat.grfMode, STGM_READ);
  EXPECT_EQ(OpenStream(object.get(), kLong, 0, stream), MAPI_E_INTERFACE_NOT_SUPPORTED);
  EXPECT_EQ(OpenStream(object.get(), kBin, 0x100, stream), MAPI_E_UNKNOWN_FLAGS);
  LPUNKNOWN unknown = nullptr;
  EXPECT_EQ(object->OpenProperty(kBin, nullptr, 0, 0, &unknown), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(object->OpenProperty(kBin, &IID_IStream, 0, 0, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(object->OpenProperty(kBin, &IID_IMAPITable, 0, 0, &unknown), MAPI_E_INTERFACE_NOT_SUPPORTED);
  EXPECT_EQ(OpenStream(NewObject(kReadOnly).get(), kBin, MAPI_CREATE | MAPI_MODIFY, stream), MAPI_E_NO_ACCESS);
}

// --- named properties ----------------------------------------------------------------------

TEST(PropObjectNames, CreatedLookedUpAndReversed) {
  auto object = NewObject({TAccessMode::ReadWrite, true, std::make_shared<TMemoryNameMap>()});
  GUID set = kSet;
  char16_t text[] = u"Keywords";
  MAPINAMEID byId = {&set, MNID_ID, {}}, byName = {&set, MNID_STRING, {}};
  byId.Kind.lID = 0x8083;
  byName.Kind.lpwstrName = text;
  LPMAPINAMEID names[] = {&byId, &byName};
  TMapiBuffer<SPropTagArray> tags;
  ASSERT_EQ(object->GetIDsFromNames(2, names, 0, tags.Out()), MAPI_W_ERRORS_RETURNED);
  EXPECT_EQ(tags->aulPropTag[0], PROP_TAG(PT_ERROR, 0));
  ASSERT_EQ(object->GetIDsFromNames(2, names, MAPI_CREATE, tags.Out()), S_OK);
  EXPECT_EQ(tags->aulPropTag[0], PROP_TAG(PT_UNSPECIFIED, 0x8000));
  EXPECT_EQ(tags->aulPropTag[1], PROP_TAG(PT_UNSPECIFIED, 0x8001));

  // Unmapped identifiers answer null; those below 0x8000 are PS_MAPI's own.
  SizedSPropTagArray<3> ids = {3, {PROP_TAG(PT_LONG, 0x8001), PROP_TAG(PT_LONG, 0x9000), PROP_TAG(PT_LONG, 0x0037)}};
  LPSPropTagArray in = ids.Ptr();
  ULONG count = 0;
  TMapiBuffer<LPMAPINAMEID> found;
  ASSERT_EQ(object->GetNamesFromIDs(&in, nullptr, 0, &count, found.Out()), MAPI_W_ERRORS_RETURNED);
  ASSERT_EQ(count, 3u);
  EXPECT_EQ(testing::WideOf(found.get()[0]->Kind.lpwstrName), u"Keywords");
  EXPECT_EQ(found.get()[1], nullptr);
  EXPECT_TRUE(*found.get()[2]->lpguid == PS_MAPI);
  EXPECT_EQ(found.get()[2]->Kind.lID, 0x37);
  LPSPropTagArray all = nullptr;
  ASSERT_EQ(object->GetNamesFromIDs(&all, &set, MAPI_NO_STRINGS, &count, found.Out()), S_OK);
  TMapiBuffer<SPropTagArray> allHolder(all);
  ASSERT_EQ(count, 1u);
  EXPECT_EQ(found.get()[0]->Kind.lID, 0x8083);
}

TEST(PropObjectNames, RefusalsAndTheMemoryMap) {
  GUID set = kSet;
  MAPINAMEID byId = {&set, MNID_ID, {}}, bad = {nullptr, MNID_ID, {}};
  LPMAPINAMEID names[] = {&byId}, badNames[] = {&bad};
  TMapiBuffer<SPropTagArray> tags;
  EXPECT_EQ(NewObject()->GetIDsFromNames(1, names, 0, tags.Out()), MAPI_E_NO_SUPPORT);
  auto object = NewObject({TAccessMode::ReadWrite, true, std::make_shared<TMemoryNameMap>()});
  EXPECT_EQ(object->GetIDsFromNames(1, names, 0x4, tags.Out()), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(object->GetIDsFromNames(1, nullptr, 0, tags.Out()), MAPI_E_INVALID_PARAMETER);
  ASSERT_EQ(object->GetIDsFromNames(1, badNames, MAPI_CREATE, tags.Out()), MAPI_W_ERRORS_RETURNED);
  EXPECT_EQ(PROP_TYPE(tags->aulPropTag[0]), PT_ERROR);
  auto readOnly = NewObject({TAccessMode::ReadOnly, true, std::make_shared<TMemoryNameMap>()});
  EXPECT_EQ(readOnly->GetIDsFromNames(1, names, MAPI_CREATE, tags.Out()), MAPI_E_NO_ACCESS);

  // The memory map reports new mappings to its storage and refuses clashes.
  struct TStorage : INameMapStorage {
    std::vector<ULONG> added;
    void Added(ULONG id, const TPropName&) override { added.push_back(id); }
  } storage;
  TMemoryNameMap map(&storage);
  map.Load(0x8005, TPropName::FromString(kSet, u"kept"));
  EXPECT_EQ(map.GetId(TPropName::FromString(kSet, u"kept"), false), 0x8005u);
  EXPECT_EQ(map.GetId(TPropName::FromId(kSet, 1), true), 0x8006u);
  EXPECT_EQ(storage.added, std::vector<ULONG>{0x8006});
  EXPECT_EQ(testing::CodeOf([&] { map.Load(0x8005, TPropName::FromId(kSet, 2)); }), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(testing::CodeOf([&] { map.Load(0x0100, TPropName::FromId(kSet, 3)); }), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(map.All().size(), 2u);
}

// What CopyTo and CopyProps copy is tested through messages; here their refusals.
TEST(PropObjectCopy, BadCalls) {
  auto source = NewObject(), dest = NewObject();
  IMAPIProp* to = dest.get();  // a destination is passed as its interface pointer
  auto copyTo = [&](LPCIID iid, IMAPIProp* dest, ULONG flags) {
    return source->CopyTo(0, nullptr, nullptr, 0, nullptr, iid, dest, flags, nullptr);
  };
  EXPECT_EQ(copyTo(&IID_IMAPIProp, to, 0x100), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(copyTo(nullptr, to, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(copyTo(&IID_IMAPIProp, nullptr, 0), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(copyTo(&IID_IMAPITable, to, 0), MAPI_E_INTERFACE_NOT_SUPPORTED);
  EXPECT_EQ(copyTo(&IID_IMAPIProp, source.get(), MAPI_MOVE), MAPI_E_NO_ACCESS);
  SizedSPropTagArray<1> include = {1, {kLong}};
  EXPECT_EQ(source->CopyProps(nullptr, 0, nullptr, &IID_IMAPIProp, to, 0, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(NewObject(kReadOnly)->CopyProps(include.Ptr(), 0, nullptr, &IID_IMAPIProp, to, MAPI_MOVE, nullptr),
            MAPI_E_NO_ACCESS);
}

}  // namespace
}  // namespace orba::store
