#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/maperror.h"
#include "mapi/mapiexports.h"
#include "orba/common/encoding.h"
#include "props/propobject.h"

using namespace orba::store;
using orba::ComPtr;
using orba::MakeComObject;

namespace {

constexpr ULONG kLong = PROP_TAG(PT_LONG, 0x6001);
constexpr ULONG kText = PROP_TAG(PT_UNICODE, 0x6002);
constexpr ULONG kText8 = PROP_TAG(PT_STRING8, 0x6002);
constexpr ULONG kBin = PROP_TAG(PT_BINARY, 0x6003);
constexpr ULONG kComputed = PROP_TAG(PT_LONG, 0x0FFE);
constexpr ULONG kTyped = PROP_TAG(PT_LONG, 0x6004);
constexpr ULONG kMvText8 = PROP_TAG(PT_MV_STRING8, 0x6005);

// A message-like test object: records what Persist is given, can be told to fail.
class TestObject : public TPropObject<IMessage> {
 public:
  explicit TestObject(TPropObjectOptions options = {}) : TPropObject<IMessage>(std::move(options)) {
    AddComputed(kComputed, [](SPropValue& out, void*) {
      out.ulPropTag = kComputed;
      out.Value.l = 42;
    });
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

ComPtr<TestObject> NewObject(TPropObjectOptions options = {}) { return MakeComObject<TestObject>(std::move(options)); }

SPropValue Long(ULONG tag, LONG v) {
  SPropValue p = {};
  p.ulPropTag = tag;
  p.Value.l = v;
  return p;
}
SPropValue Wide(ULONG tag, const char16_t* text) {
  SPropValue p = {};
  p.ulPropTag = tag;
  p.Value.lpszW = const_cast<char16_t*>(text);
  return p;
}
SPropValue Ansi(ULONG tag, const char* text) {
  SPropValue p = {};
  p.ulPropTag = tag;
  p.Value.lpszA = const_cast<char*>(text);
  return p;
}

HRESULT Set(IMAPIProp* object, std::vector<SPropValue> values, TMapiBuffer<SPropProblemArray>* problems = nullptr) {
  return object->SetProps(static_cast<ULONG>(values.size()), values.data(), problems ? problems->Out() : nullptr);
}

template <size_t N>
SizedSPropTagArray<N> Tags(const ULONG (&tags)[N]) {
  SizedSPropTagArray<N> array{N, {}};
  for (size_t i = 0; i < N; ++i) array.aulPropTag[i] = tags[i];
  return array;
}

// Reads one property; the tag of the answer and its value.
struct One {
  HRESULT hr;
  TMapiBuffer<SPropValue> value;
};
One Get(IMAPIProp* object, ULONG tag, ULONG flags = 0) {
  SizedSPropTagArray<1> tags = {1, {tag}};
  One result;
  ULONG count = 0;
  result.hr = object->GetProps(tags.Ptr(), flags, &count, result.value.Out());
  return result;
}

// --- GetProps ------------------------------------------------------------------------------

TEST(PropObjectGetProps, ReturnsRequestedValuesInOrderWithErrorsForMissing) {
  auto object = NewObject();
  ASSERT_EQ(Set(object.get(), {Long(kLong, 7), Wide(kText, u"hi")}), S_OK);
  SizedSPropTagArray<3> tags = {3, {kText, PROP_TAG(PT_LONG, 0x6100), kLong}};
  ULONG count = 0;
  TMapiBuffer<SPropValue> values;
  ASSERT_EQ(object->GetProps(tags.Ptr(), 0, &count, values.Out()), MAPI_W_ERRORS_RETURNED);
  ASSERT_EQ(count, 3u);
  EXPECT_EQ(std::u16string(values.get()[0].Value.lpszW), u"hi");
  EXPECT_EQ(values.get()[1].ulPropTag, PROP_TAG(PT_ERROR, 0x6100));
  EXPECT_EQ(values.get()[1].Value.err, MAPI_E_NOT_FOUND);
  EXPECT_EQ(values.get()[2].Value.l, 7);
}

TEST(PropObjectGetProps, NullTagArrayGivesEverythingWithStringWidthByFlag) {
  auto object = NewObject();
  ASSERT_EQ(Set(object.get(), {Wide(kText, u"wide")}), S_OK);
  ULONG count = 0;
  TMapiBuffer<SPropValue> values;
  ASSERT_EQ(object->GetProps(nullptr, 0, &count, values.Out()), S_OK);
  ASSERT_EQ(count, 2u);  // the text and the computed property
  EXPECT_EQ(values.get()[0].ulPropTag, kText8);
  EXPECT_STREQ(values.get()[0].Value.lpszA, "wide");
  EXPECT_EQ(values.get()[1].ulPropTag, kComputed);
  ASSERT_EQ(object->GetProps(nullptr, MAPI_UNICODE, &count, values.Out()), S_OK);
  EXPECT_EQ(values.get()[0].ulPropTag, kText);
}

TEST(PropObjectGetProps, EmptyObjectWithNullTagArray) {
  auto object = MakeComObject<TPropObject<IMAPIProp>>();
  ULONG count = 5;
  LPSPropValue values = reinterpret_cast<LPSPropValue>(1);
  EXPECT_EQ(object->GetProps(nullptr, 0, &count, &values), S_OK);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(values, nullptr);
}

TEST(PropObjectGetProps, UnspecifiedResolvesToTheStoredType) {
  auto object = NewObject();
  ASSERT_EQ(Set(object.get(), {Long(kLong, 9), Ansi(kText8, "abc")}), S_OK);
  One a = Get(object.get(), CHANGE_PROP_TYPE(kLong, PT_UNSPECIFIED));
  EXPECT_EQ(a.hr, S_OK);
  EXPECT_EQ(a.value->ulPropTag, kLong);
  One b = Get(object.get(), CHANGE_PROP_TYPE(kText, PT_UNSPECIFIED), MAPI_UNICODE);
  EXPECT_EQ(b.value->ulPropTag, kText);
  EXPECT_EQ(std::u16string(b.value->Value.lpszW), u"abc");
  One c = Get(object.get(), CHANGE_PROP_TYPE(kText, PT_UNSPECIFIED), 0);
  EXPECT_EQ(c.value->ulPropTag, kText8);
}

TEST(PropObjectGetProps, WrongAndInvalidTypesGiveErrorValues) {
  auto object = NewObject();
  ASSERT_EQ(Set(object.get(), {Long(kLong, 9)}), S_OK);
  One wrong = Get(object.get(), CHANGE_PROP_TYPE(kLong, PT_BINARY));
  EXPECT_EQ(wrong.hr, MAPI_W_ERRORS_RETURNED);
  EXPECT_EQ(wrong.value->Value.err, MAPI_E_NOT_FOUND);
  One invalid = Get(object.get(), CHANGE_PROP_TYPE(kLong, 0x0099));
  EXPECT_EQ(invalid.value->Value.err, MAPI_E_INVALID_TYPE);
}

TEST(PropObjectGetProps, CharacterWidthsConvertThroughTheCodePage) {
  auto object = NewObject();
  ASSERT_EQ(Set(object.get(), {Wide(kText, u"caf\u00e9 \u20ac \u4e2d")}), S_OK);
  One ansi = Get(object.get(), kText8);
  ASSERT_EQ(ansi.hr, S_OK);
  EXPECT_EQ(std::string(ansi.value->Value.lpszA), orba::TVoEncoding::ConvertA(u"caf\u00e9 \u20ac \u4e2d"));
  EXPECT_EQ(std::string(ansi.value->Value.lpszA).back(), '?');  // not in the code page

  const char* parts[] = {"one", "tw\xe9"};
  SPropValue mv = {};
  mv.ulPropTag = kMvText8;
  mv.Value.MVszA = {2, const_cast<LPSTR*>(parts)};
  ASSERT_EQ(Set(object.get(), {mv}), S_OK);
  One wide = Get(object.get(), CHANGE_PROP_TYPE(kMvText8, PT_MV_UNICODE));
  ASSERT_EQ(wide.hr, S_OK);
  ASSERT_EQ(wide.value->Value.MVszW.cValues, 2u);
  EXPECT_EQ(std::u16string(wide.value->Value.MVszW.lppszW[1]), orba::TVoEncoding::ConvertW("tw\xe9"));
}

TEST(PropObjectGetProps, LargeValuesAreLeftToOpenProperty) {
  auto object = NewObject();
  object->SetLargeValueLimit(16);
  BYTE big[17] = {};
  SPropValue bin = {};
  bin.ulPropTag = kBin;
  bin.Value.bin = {sizeof(big), big};
  ASSERT_EQ(Set(object.get(), {bin}), S_OK);
  One got = Get(object.get(), kBin);
  EXPECT_EQ(got.hr, MAPI_W_ERRORS_RETURNED);
  EXPECT_EQ(got.value->Value.err, MAPI_E_NOT_ENOUGH_MEMORY);
  ComPtr<IStream> stream;
  ASSERT_EQ(object->OpenProperty(kBin, &IID_IStream, 0, 0, reinterpret_cast<LPUNKNOWN*>(stream.Out())), S_OK);
  STATSTG stat;
  ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(stat.cbSize.QuadPart, 17u);
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
}

TEST(PropObjectGetPropList, ListsStoredAndComputed) {
  auto object = NewObject();
  ASSERT_EQ(Set(object.get(), {Long(kLong, 1), Ansi(kText8, "x")}), S_OK);
  TMapiBuffer<SPropTagArray> list;
  ASSERT_EQ(object->GetPropList(MAPI_UNICODE, list.Out()), S_OK);
  ASSERT_EQ(list->cValues, 3u);
  EXPECT_EQ(list->aulPropTag[0], kLong);
  EXPECT_EQ(list->aulPropTag[1], kText);
  EXPECT_EQ(list->aulPropTag[2], kComputed);
  ASSERT_EQ(object->GetPropList(0, list.Out()), S_OK);
  EXPECT_EQ(list->aulPropTag[1], kText8);
  EXPECT_EQ(object->GetPropList(2, list.Out()), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(object->GetPropList(0, nullptr), MAPI_E_INVALID_PARAMETER);
}

// --- SetProps and DeleteProps -----------------------------------------------------------------------

TEST(PropObjectSetProps, ProblemsPerProperty) {
  auto object = NewObject();
  SPropValue nullValue = Long(PROP_TAG(PT_NULL, 0x6010), 0);
  SPropValue badType = Long(PROP_TAG(0x0099, 0x6011), 0);
  SPropValue badString = Ansi(PROP_TAG(PT_STRING8, 0x6012), nullptr);
  TMapiBuffer<SPropProblemArray> problems;
  ASSERT_EQ(Set(object.get(),
                {Long(kComputed, 1), Wide(CHANGE_PROP_TYPE(kTyped, PT_UNICODE), u"no"), nullValue, badType, badString,
                 Long(kLong, 5), Long(PROP_TAG(PT_ERROR, 0x6013), 0), Long(PROP_TAG(PT_NULL, 0), 0)},
                &problems),
            S_OK);
  ASSERT_TRUE(problems);
  ASSERT_EQ(problems->cProblem, 5u);
  EXPECT_EQ(problems->aProblem[0].scode, MAPI_E_COMPUTED);
  EXPECT_EQ(problems->aProblem[0].ulIndex, 0u);
  EXPECT_EQ(problems->aProblem[1].scode, MAPI_E_UNEXPECTED_TYPE);
  EXPECT_EQ(problems->aProblem[2].scode, MAPI_E_INVALID_TYPE);
  EXPECT_EQ(problems->aProblem[3].scode, MAPI_E_INVALID_TYPE);
  EXPECT_EQ(problems->aProblem[4].scode, MAPI_E_BAD_VALUE);
  EXPECT_EQ(problems->aProblem[4].ulIndex, 4u);
  EXPECT_EQ(Get(object.get(), kLong).value->Value.l, 5);  // the good one was stored
  EXPECT_EQ(Get(object.get(), PROP_TAG(PT_ERROR, 0x6013)).value->Value.err, MAPI_E_INVALID_TYPE);
}

TEST(PropObjectSetProps, NoProblemsGivesNullArrayAndTypeChangesReplace) {
  auto object = NewObject();
  TMapiBuffer<SPropProblemArray> problems;
  ASSERT_EQ(Set(object.get(), {Long(PROP_TAG(PT_LONG, 0x6020), 1)}, &problems), S_OK);
  EXPECT_FALSE(problems);
  ASSERT_EQ(Set(object.get(), {Wide(PROP_TAG(PT_UNICODE, 0x6020), u"now text")}), S_OK);
  EXPECT_EQ(Get(object.get(), PROP_TAG(PT_LONG, 0x6020)).value->Value.err, MAPI_E_NOT_FOUND);
  EXPECT_EQ(std::u16string(Get(object.get(), PROP_TAG(PT_UNICODE, 0x6020)).value->Value.lpszW), u"now text");
}

TEST(PropObjectSetProps, InvalidCallsChangeNothing) {
  auto object = NewObject();
  SPropValue object1 = Long(PROP_TAG(PT_OBJECT, 0x3701), 0);
  SPropValue emptyMv = {};
  emptyMv.ulPropTag = PROP_TAG(PT_MV_LONG, 0x6030);
  EXPECT_EQ(object->SetProps(0, &object1, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(object->SetProps(1, nullptr, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(Set(object.get(), {Long(kLong, 1), object1}), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(Set(object.get(), {Long(kLong, 1), emptyMv}), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(Get(object.get(), kLong).value->Value.err, MAPI_E_NOT_FOUND);
  EXPECT_FALSE(object->IsModified());
}

TEST(PropObjectSetProps, ReadOnlyObjectsRefuseWrites) {
  auto object = NewObject({TAccessMode::ReadOnly, true, nullptr});
  EXPECT_EQ(Set(object.get(), {Long(kLong, 1)}), MAPI_E_NO_ACCESS);
  SizedSPropTagArray<1> tags = {1, {kLong}};
  EXPECT_EQ(object->DeleteProps(tags.Ptr(), nullptr), MAPI_E_NO_ACCESS);
  EXPECT_EQ(object->SaveChanges(0), MAPI_E_NO_ACCESS);
}

TEST(PropObjectDeleteProps, DeletesAndReportsProblems) {
  auto object = NewObject();
  ASSERT_EQ(Set(object.get(), {Long(kLong, 1)}), S_OK);
  SizedSPropTagArray<3> tags = {3, {kLong, kComputed, PROP_TAG(PT_LONG, 0x6099)}};
  TMapiBuffer<SPropProblemArray> problems;
  ASSERT_EQ(object->DeleteProps(tags.Ptr(), problems.Out()), S_OK);
  ASSERT_EQ(problems->cProblem, 2u);
  EXPECT_EQ(problems->aProblem[0].scode, MAPI_E_COMPUTED);
  EXPECT_EQ(problems->aProblem[1].scode, MAPI_E_NOT_FOUND);
  EXPECT_EQ(Get(object.get(), kLong).value->Value.err, MAPI_E_NOT_FOUND);
  EXPECT_EQ(object->PendingChanges().deleted.count(PROP_ID(kLong)), 1u);
  EXPECT_EQ(object->DeleteProps(nullptr, nullptr), MAPI_E_INVALID_PARAMETER);
}

// --- SaveChanges and GetLastError ----------------------------------------------------------------------

TEST(PropObjectSaveChanges, PersistsPendingChangesAndHonoursKeepOpen) {
  auto object = NewObject();
  ASSERT_EQ(Set(object.get(), {Long(kLong, 1)}), S_OK);
  ASSERT_EQ(object->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  ASSERT_EQ(object->saved.size(), 1u);
  EXPECT_EQ(object->saved[0].changed.count(PROP_ID(kLong)), 1u);
  EXPECT_FALSE(object->IsModified());
  ASSERT_EQ(Set(object.get(), {Long(kLong, 2)}), S_OK);
  ASSERT_EQ(object->SaveChanges(KEEP_OPEN_READONLY | FORCE_SAVE), S_OK);
  EXPECT_EQ(object->savedFlags[1], KEEP_OPEN_READONLY | FORCE_SAVE);
  EXPECT_EQ(Set(object.get(), {Long(kLong, 3)}), MAPI_E_NO_ACCESS);
  EXPECT_EQ(Get(object.get(), kLong).value->Value.l, 2);  // still readable
}

TEST(PropObjectSaveChanges, WithoutFlagsTheObjectTakesNoMoreChanges) {
  auto object = NewObject();
  ASSERT_EQ(object->SaveChanges(0), S_OK);
  EXPECT_EQ(Set(object.get(), {Long(kLong, 3)}), MAPI_E_NO_ACCESS);
  EXPECT_EQ(object->SaveChanges(0), MAPI_E_NO_ACCESS);
}

TEST(PropObjectSaveChanges, AFailedSaveKeepsTheChangesAndTheObjectOpen) {
  auto object = NewObject();
  ASSERT_EQ(Set(object.get(), {Long(kLong, 1)}), S_OK);
  object->persistFailure = MAPI_E_OBJECT_CHANGED;
  EXPECT_EQ(object->SaveChanges(0), MAPI_E_OBJECT_CHANGED);
  EXPECT_TRUE(object->IsModified());
  object->persistFailure = S_OK;
  EXPECT_EQ(object->SaveChanges(FORCE_SAVE), S_OK);
}

TEST(PropObjectSaveChanges, FlagErrors) {
  auto object = NewObject();
  EXPECT_EQ(object->SaveChanges(0x100), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(object->SaveChanges(KEEP_OPEN_READONLY | KEEP_OPEN_READWRITE), MAPI_E_INVALID_PARAMETER);
}

TEST(PropObjectSaveChanges, NonTransactedObjectsPersistEveryChange) {
  TPropObjectOptions options;
  options.transacted = false;
  auto object = NewObject(options);
  ASSERT_EQ(Set(object.get(), {Long(kLong, 1)}), S_OK);
  EXPECT_EQ(object->saved.size(), 1u);
  EXPECT_FALSE(object->IsModified());
  EXPECT_EQ(object->SaveChanges(0), S_OK);
  EXPECT_EQ(Set(object.get(), {Long(kLong, 2)}), S_OK);  // still open
}

TEST(PropObjectGetLastError, DescribesTheLastFailureInEitherWidth) {
  auto object = NewObject({TAccessMode::ReadOnly, true, nullptr});
  ASSERT_EQ(Set(object.get(), {Long(kLong, 1)}), MAPI_E_NO_ACCESS);
  TMapiBuffer<MAPIERROR> error;
  ASSERT_EQ(object->GetLastError(MAPI_E_NO_ACCESS, 0, error.Out()), S_OK);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->ulVersion, MAPI_ERROR_VERSION);
  EXPECT_STREQ(error->lpszError, "SetProps: the object is not open for writing");
  EXPECT_STREQ(error->lpszComponent, "Orba Store");
  ASSERT_EQ(object->GetLastError(MAPI_E_NO_ACCESS, MAPI_UNICODE, error.Out()), S_OK);
  EXPECT_EQ(std::u16string(reinterpret_cast<LPWSTR>(error->lpszComponent)), u"Orba Store");
  ASSERT_EQ(object->GetLastError(MAPI_E_NOT_FOUND, 0, error.Out()), S_OK);
  EXPECT_FALSE(error);  // nothing known about that code
  EXPECT_EQ(object->GetLastError(MAPI_E_NO_ACCESS, 1, error.Out()), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(object->GetLastError(MAPI_E_NO_ACCESS, 0, nullptr), MAPI_E_INVALID_PARAMETER);
}

}  // namespace
