// The property engine's streams, named properties and copies.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/maperror.h"
#include "mapi/mapiexports.h"
#include "props/propobject.h"

using namespace orba::store;
using orba::ComPtr;
using orba::MakeComObject;

namespace {

using Prop = TPropObject<IMAPIProp>;
constexpr ULONG kBin = PROP_TAG(PT_BINARY, 0x6003);
constexpr ULONG kText = PROP_TAG(PT_UNICODE, 0x6002);
constexpr ULONG kText8 = PROP_TAG(PT_STRING8, 0x6002);
constexpr ULONG kA = PROP_TAG(PT_LONG, 0x6101);
constexpr ULONG kB = PROP_TAG(PT_LONG, 0x6102);
constexpr ULONG kC = PROP_TAG(PT_LONG, 0x6103);

SPropValue Long(ULONG tag, LONG v) {
  SPropValue p = {};
  p.ulPropTag = tag;
  p.Value.l = v;
  return p;
}

void SetLongs(IMAPIProp* object, std::vector<SPropValue> values) {
  ASSERT_EQ(object->SetProps(static_cast<ULONG>(values.size()), values.data(), nullptr), S_OK);
}

LONG GetLong(IMAPIProp* object, ULONG tag) {
  SizedSPropTagArray<1> tags = {1, {tag}};
  ULONG count = 0;
  TMapiBuffer<SPropValue> values;
  object->GetProps(tags.Ptr(), 0, &count, values.Out());
  return PROP_TYPE(values->ulPropTag) == PT_ERROR ? -1 : values->Value.l;
}

HRESULT Open(IMAPIProp* object, ULONG tag, ULONG flags, ComPtr<IStream>& stream) {
  return object->OpenProperty(tag, &IID_IStream, 0, flags, reinterpret_cast<LPUNKNOWN*>(stream.Out()));
}

std::string ReadAll(IStream* stream) {
  std::string text;
  char buffer[7];
  ULONG got = 0;
  while (stream->Read(buffer, sizeof(buffer), &got) == S_OK && got) text.append(buffer, got);
  return text;
}

// --- OpenProperty ---------------------------------------------------------------------

TEST(PropObjectStreams, CreateWritesOnCommit) {
  auto object = MakeComObject<Prop>();
  ComPtr<IStream> stream;
  ASSERT_EQ(Open(object.get(), kBin, MAPI_CREATE | MAPI_MODIFY, stream), S_OK);
  ULONG written = 0;
  ASSERT_EQ(stream->Write("abc", 3, &written), S_OK);
  EXPECT_EQ(written, 3u);
  ASSERT_EQ(stream->Commit(STGC_DEFAULT), S_OK);
  SizedSPropTagArray<1> tags = {1, {kBin}};
  ULONG count = 0;
  TMapiBuffer<SPropValue> values;
  ASSERT_EQ(object->GetProps(tags.Ptr(), 0, &count, values.Out()), S_OK);
  ASSERT_EQ(values->Value.bin.cb, 3u);
  EXPECT_EQ(std::memcmp(values->Value.bin.lpb, "abc", 3), 0);
}

TEST(PropObjectStreams, ReleaseWithoutCommitKeepsTheWrites) {
  auto object = MakeComObject<Prop>();
  {
    ComPtr<IStream> stream;
    ASSERT_EQ(Open(object.get(), kText8, MAPI_CREATE | MAPI_MODIFY, stream), S_OK);
    ASSERT_EQ(stream->Write("hello", 5, nullptr), S_OK);
  }
  ComPtr<IStream> wide;
  ASSERT_EQ(Open(object.get(), kText, 0, wide), S_OK);
  EXPECT_EQ(ReadAll(wide.get()), std::string("h\0e\0l\0l\0o\0", 10));
}

TEST(PropObjectStreams, ModifyAppendsAndRevertRestores) {
  auto object = MakeComObject<Prop>();
  ComPtr<IStream> stream;
  ASSERT_EQ(Open(object.get(), kText8, MAPI_CREATE | MAPI_MODIFY, stream), S_OK);
  stream->Write("base", 4, nullptr);
  ASSERT_EQ(stream->Commit(0), S_OK);
  stream = nullptr;
  ASSERT_EQ(Open(object.get(), kText8, MAPI_MODIFY | STREAM_APPEND, stream), S_OK);
  stream->Write("+more", 5, nullptr);
  ASSERT_EQ(stream->Revert(), S_OK);
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  EXPECT_EQ(ReadAll(stream.get()), "base");
  stream->Write("!", 1, nullptr);
  ASSERT_EQ(stream->Commit(0), S_OK);
  stream = nullptr;
  ASSERT_EQ(Open(object.get(), kText8, 0, stream), S_OK);
  EXPECT_EQ(ReadAll(stream.get()), "base!");
}

TEST(PropObjectStreams, CreateDiscardsTheCurrentValue) {
  auto object = MakeComObject<Prop>();
  ComPtr<IStream> stream;
  ASSERT_EQ(Open(object.get(), kBin, MAPI_CREATE | MAPI_MODIFY, stream), S_OK);
  stream->Write("old", 3, nullptr);
  stream = nullptr;
  ASSERT_EQ(Open(object.get(), kBin, MAPI_CREATE | MAPI_MODIFY, stream), S_OK);
  stream = nullptr;
  ASSERT_EQ(Open(object.get(), kBin, 0, stream), S_OK);
  EXPECT_EQ(ReadAll(stream.get()), "");
}

TEST(PropObjectStreams, ReadOnlyStreamsRefuseWrites) {
  auto object = MakeComObject<Prop>();
  ComPtr<IStream> stream;
  ASSERT_EQ(Open(object.get(), kBin, MAPI_CREATE | MAPI_MODIFY, stream), S_OK);
  stream->Write("x", 1, nullptr);
  stream = nullptr;
  ASSERT_EQ(Open(object.get(), kBin, 0, stream), S_OK);
  EXPECT_EQ(stream->Write("y", 1, nullptr), STG_E_ACCESSDENIED);
  ULARGE_INTEGER size{};
  EXPECT_EQ(stream->SetSize(size), STG_E_ACCESSDENIED);
  STATSTG stat;
  ASSERT_EQ(stream->Stat(&stat, 0), S_OK);
  EXPECT_EQ(stat.grfMode, STGM_READ);
}

TEST(PropObjectStreams, Errors) {
  auto object = MakeComObject<Prop>();
  ComPtr<IStream> stream;
  EXPECT_EQ(Open(object.get(), kBin, 0, stream), MAPI_E_NOT_FOUND);
  EXPECT_EQ(Open(object.get(), PROP_TAG(PT_LONG, 0x6001), 0, stream), MAPI_E_INTERFACE_NOT_SUPPORTED);
  EXPECT_EQ(Open(object.get(), kBin, 0x100, stream), MAPI_E_UNKNOWN_FLAGS);
  LPUNKNOWN unknown = nullptr;
  EXPECT_EQ(object->OpenProperty(kBin, nullptr, 0, 0, &unknown), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(object->OpenProperty(kBin, &IID_IStream, 0, 0, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(object->OpenProperty(kBin, &IID_IMAPITable, 0, 0, &unknown), MAPI_E_INTERFACE_NOT_SUPPORTED);
  auto readOnly = MakeComObject<Prop>(TPropObjectOptions{TAccessMode::ReadOnly, true, nullptr});
  EXPECT_EQ(Open(readOnly.get(), kBin, MAPI_CREATE | MAPI_MODIFY, stream), MAPI_E_NO_ACCESS);
}

// --- Named properties ---------------------------------------------------------------------

constexpr GUID kSet = {0x00062004, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

TEST(PropObjectNames, CreateLookUpAndReverse) {
  TPropObjectOptions options;
  options.names = std::make_shared<TMemoryNameMap>();
  auto object = MakeComObject<Prop>(options);
  GUID set = kSet;
  char16_t text[] = u"Keywords";
  MAPINAMEID byId = {&set, MNID_ID, {}};
  byId.Kind.lID = 0x8083;
  MAPINAMEID byName = {&set, MNID_STRING, {}};
  byName.Kind.lpwstrName = text;
  LPMAPINAMEID names[] = {&byId, &byName};

  TMapiBuffer<SPropTagArray> tags;
  ASSERT_EQ(object->GetIDsFromNames(2, names, 0, tags.Out()), MAPI_W_ERRORS_RETURNED);
  EXPECT_EQ(tags->aulPropTag[0], PROP_TAG(PT_ERROR, 0));
  ASSERT_EQ(object->GetIDsFromNames(2, names, MAPI_CREATE, tags.Out()), S_OK);
  EXPECT_EQ(tags->aulPropTag[0], PROP_TAG(PT_UNSPECIFIED, 0x8000));
  EXPECT_EQ(tags->aulPropTag[1], PROP_TAG(PT_UNSPECIFIED, 0x8001));
  ASSERT_EQ(object->GetIDsFromNames(2, names, 0, tags.Out()), S_OK);
  EXPECT_EQ(tags->aulPropTag[1], PROP_TAG(PT_UNSPECIFIED, 0x8001));

  SizedSPropTagArray<3> ids = {3, {PROP_TAG(PT_LONG, 0x8001), PROP_TAG(PT_LONG, 0x9000), PROP_TAG(PT_LONG, 0x0037)}};
  LPSPropTagArray in = ids.Ptr();
  ULONG count = 0;
  TMapiBuffer<LPMAPINAMEID> found;
  ASSERT_EQ(object->GetNamesFromIDs(&in, nullptr, 0, &count, found.Out()), MAPI_W_ERRORS_RETURNED);
  ASSERT_EQ(count, 3u);
  EXPECT_EQ(found.get()[0]->ulKind, MNID_STRING);
  EXPECT_EQ(std::u16string(found.get()[0]->Kind.lpwstrName), u"Keywords");
  EXPECT_EQ(found.get()[1], nullptr);
  EXPECT_TRUE(*found.get()[2]->lpguid == PS_MAPI);
  EXPECT_EQ(found.get()[2]->Kind.lID, 0x37);

  LPSPropTagArray all = nullptr;
  ASSERT_EQ(object->GetNamesFromIDs(&all, &set, MAPI_NO_STRINGS, &count, found.Out()), S_OK);
  TMapiBuffer<SPropTagArray> allHolder(all);
  ASSERT_EQ(count, 1u);
  EXPECT_EQ(all->aulPropTag[0], PROP_TAG(PT_UNSPECIFIED, 0x8000));
  EXPECT_EQ(found.get()[0]->Kind.lID, 0x8083);
}

TEST(PropObjectNames, ErrorsAndNoNameMap) {
  auto plain = MakeComObject<Prop>();
  GUID set = kSet;
  MAPINAMEID byId = {&set, MNID_ID, {}};
  LPMAPINAMEID names[] = {&byId};
  TMapiBuffer<SPropTagArray> tags;
  EXPECT_EQ(plain->GetIDsFromNames(1, names, 0, tags.Out()), MAPI_E_NO_SUPPORT);
  TPropObjectOptions options;
  options.names = std::make_shared<TMemoryNameMap>();
  auto object = MakeComObject<Prop>(options);
  EXPECT_EQ(object->GetIDsFromNames(1, names, 0x4, tags.Out()), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(object->GetIDsFromNames(1, nullptr, 0, tags.Out()), MAPI_E_INVALID_PARAMETER);
  MAPINAMEID bad = {nullptr, MNID_ID, {}};
  LPMAPINAMEID badNames[] = {&bad};
  ASSERT_EQ(object->GetIDsFromNames(1, badNames, MAPI_CREATE, tags.Out()), MAPI_W_ERRORS_RETURNED);
  EXPECT_EQ(PROP_TYPE(tags->aulPropTag[0]), PT_ERROR);
  options.access = TAccessMode::ReadOnly;
  auto readOnly = MakeComObject<Prop>(options);
  EXPECT_EQ(readOnly->GetIDsFromNames(1, names, MAPI_CREATE, tags.Out()), MAPI_E_NO_ACCESS);
}

class RecordingStorage : public TNameMapStorage {
 public:
  std::vector<ULONG> added;
  void Added(ULONG id, const TPropName&) override { added.push_back(id); }
};

TEST(TMemoryNameMap, LoadsAndReportsNewMappings) {
  RecordingStorage storage;
  TMemoryNameMap map(&storage);
  map.Load(0x8005, TPropName::FromString(kSet, u"kept"));
  EXPECT_EQ(map.GetId(TPropName::FromString(kSet, u"kept"), false), 0x8005u);
  EXPECT_EQ(map.GetId(TPropName::FromId(kSet, 1), true), 0x8006u);
  EXPECT_EQ(storage.added, std::vector<ULONG>{0x8006});
  EXPECT_THROW(map.Load(0x8005, TPropName::FromId(kSet, 2)), TMapiError);
  EXPECT_THROW(map.Load(0x0100, TPropName::FromId(kSet, 3)), TMapiError);
  EXPECT_EQ(map.All().size(), 2u);
}

// --- CopyTo and CopyProps ---------------------------------------------------------------------

TEST(PropObjectCopy, CopyToWithExclusionsAndNoReplace) {
  auto source = MakeComObject<Prop>();
  auto dest = MakeComObject<Prop>();
  SetLongs(source.get(), {Long(kA, 1), Long(kB, 2), Long(kC, 3)});
  SetLongs(dest.get(), {Long(kB, 20)});
  SizedSPropTagArray<1> exclude = {1, {kC}};
  TMapiBuffer<SPropProblemArray> problems;
  ASSERT_EQ(source->CopyTo(0, nullptr, exclude.Ptr(), 0, nullptr, &IID_IMAPIProp, static_cast<IMAPIProp*>(dest.get()),
                           MAPI_NOREPLACE, problems.Out()),
            S_OK);
  EXPECT_FALSE(problems);
  EXPECT_EQ(GetLong(dest.get(), kA), 1);
  EXPECT_EQ(GetLong(dest.get(), kB), 20);
  EXPECT_EQ(GetLong(dest.get(), kC), -1);
  ASSERT_EQ(
      source->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMAPIProp, static_cast<IMAPIProp*>(dest.get()), 0, nullptr),
      S_OK);
  EXPECT_EQ(GetLong(dest.get(), kB), 2);
}

TEST(PropObjectCopy, ExcludingIMAPIPropCopiesNoProperties) {
  auto source = MakeComObject<Prop>();
  auto dest = MakeComObject<Prop>();
  SetLongs(source.get(), {Long(kA, 1)});
  ASSERT_EQ(source->CopyTo(1, &IID_IMAPIProp, nullptr, 0, nullptr, &IID_IMAPIProp, static_cast<IMAPIProp*>(dest.get()),
                           0, nullptr),
            S_OK);
  EXPECT_EQ(GetLong(dest.get(), kA), -1);
}

TEST(PropObjectCopy, CopyPropsMoveAndProblems) {
  auto source = MakeComObject<Prop>();
  auto dest = MakeComObject<Prop>();
  SetLongs(source.get(), {Long(kA, 1), Long(kB, 2)});
  SizedSPropTagArray<2> include = {2, {kA, kC}};
  TMapiBuffer<SPropProblemArray> problems;
  ASSERT_EQ(source->CopyProps(include.Ptr(), 0, nullptr, &IID_IMAPIProp, static_cast<IMAPIProp*>(dest.get()), MAPI_MOVE,
                              problems.Out()),
            S_OK);
  ASSERT_TRUE(problems);
  ASSERT_EQ(problems->cProblem, 1u);
  EXPECT_EQ(problems->aProblem[0].ulIndex, 1u);
  EXPECT_EQ(problems->aProblem[0].scode, MAPI_E_NOT_FOUND);
  EXPECT_EQ(GetLong(dest.get(), kA), 1);
  EXPECT_EQ(GetLong(source.get(), kA), -1);  // moved
  EXPECT_EQ(GetLong(source.get(), kB), 2);
}

TEST(PropObjectCopy, DestinationProblemsAreReported) {
  auto source = MakeComObject<Prop>();
  auto dest = MakeComObject<Prop>();
  dest->AddComputed(kA, [](SPropValue& out, void*) {
    out.ulPropTag = kA;
    out.Value.l = 0;
  });
  SetLongs(source.get(), {Long(kA, 1)});
  SizedSPropTagArray<1> include = {1, {kA}};
  TMapiBuffer<SPropProblemArray> problems;
  ASSERT_EQ(source->CopyProps(include.Ptr(), 0, nullptr, &IID_IMAPIProp, static_cast<IMAPIProp*>(dest.get()), 0,
                              problems.Out()),
            S_OK);
  ASSERT_TRUE(problems);
  EXPECT_EQ(problems->aProblem[0].scode, MAPI_E_COMPUTED);
}

TEST(PropObjectCopy, Errors) {
  auto source = MakeComObject<Prop>();
  auto dest = MakeComObject<Prop>();
  SizedSPropTagArray<1> include = {1, {kA}};
  EXPECT_EQ(source->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMAPIProp, static_cast<IMAPIProp*>(dest.get()), 0x100,
                           nullptr),
            MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(source->CopyTo(0, nullptr, nullptr, 0, nullptr, nullptr, static_cast<IMAPIProp*>(dest.get()), 0, nullptr),
            MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(source->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMAPIProp, nullptr, 0, nullptr),
            MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(
      source->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMessage, static_cast<IMAPIProp*>(dest.get()), 0, nullptr),
      MAPI_E_INTERFACE_NOT_SUPPORTED);
  EXPECT_EQ(source->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMAPIProp, static_cast<IMAPIProp*>(source.get()),
                           MAPI_MOVE, nullptr),
            MAPI_E_NO_ACCESS);
  EXPECT_EQ(source->CopyProps(nullptr, 0, nullptr, &IID_IMAPIProp, static_cast<IMAPIProp*>(dest.get()), 0, nullptr),
            MAPI_E_INVALID_PARAMETER);
  auto readOnly = MakeComObject<Prop>(TPropObjectOptions{TAccessMode::ReadOnly, true, nullptr});
  EXPECT_EQ(readOnly->CopyProps(include.Ptr(), 0, nullptr, &IID_IMAPIProp, static_cast<IMAPIProp*>(dest.get()),
                                MAPI_MOVE, nullptr),
            MAPI_E_NO_ACCESS);
}

}  // namespace
