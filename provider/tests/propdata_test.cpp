// CreateIProp's property data object: IMAPIProp's methods on the property object
// engine, access levels per object and per property, property states, object
// properties, and memory handed out by the caller's allocators.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "orba/common/comptr.h"
#include "testsupport.h"

using namespace orba::store;
using namespace orba::store::testing;
using orba::ComPtr;

namespace {

constexpr ULONG kNumber = PROP_TAG(PT_LONG, 0x6601);
constexpr ULONG kName = PROP_TAG(PT_UNICODE, 0x6602);
constexpr ULONG kChild = PROP_TAG(PT_OBJECT, 0x6603);

ComPtr<IPropData> NewPropData() {
  ComPtr<IPropData> data;
  EXPECT_EQ(CreateIProp(&IID_IMAPIPropData, MAPIAllocateBuffer, MAPIAllocateMore, MAPIFreeBuffer, nullptr, data.Out()),
            S_OK);
  return data;
}

// The flags HrGetPropAccess reports for tag.
ULONG AccessOf(IPropData* data, ULONG tag) {
  SizedSPropTagArray<1> tags{1, {tag}};
  LPSPropTagArray list = tags.Ptr();
  TMapiBuffer<ULONG> access;
  EXPECT_EQ(data->HrGetPropAccess(&list, access.Out()), S_OK);
  return access ? access.get()[0] : 0xFFFFFFFF;
}

TEST(PropData, CreateIPropChecksItsArguments) {
  ComPtr<IPropData> data;
  EXPECT_EQ(CreateIProp(&IID_IMAPITable, MAPIAllocateBuffer, MAPIAllocateMore, MAPIFreeBuffer, nullptr, data.Out()),
            MAPI_E_INTERFACE_NOT_SUPPORTED);
  EXPECT_EQ(CreateIProp(nullptr, nullptr, MAPIAllocateMore, MAPIFreeBuffer, nullptr, data.Out()),
            MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(CreateIProp(nullptr, MAPIAllocateBuffer, MAPIAllocateMore, MAPIFreeBuffer, nullptr, nullptr),
            MAPI_E_INVALID_PARAMETER);
  ASSERT_EQ(CreateIProp(nullptr, MAPIAllocateBuffer, MAPIAllocateMore, MAPIFreeBuffer, nullptr, data.Out()), S_OK);
  ComPtr<IMAPIProp> prop;
  EXPECT_EQ(data->QueryInterface(IID_IMAPIProp, reinterpret_cast<void**>(prop.Out())), S_OK);
}

TEST(PropData, PropertiesAndTheHelpersOnThem) {
  ComPtr<IPropData> data = NewPropData();
  SPropValue number{kNumber, 0, {.l = 7}};
  EXPECT_EQ(HrSetOneProp(data.get(), &number), S_OK);
  EXPECT_EQ(Set(data.get(), {TextValue(kName, u"Orba")}), S_OK);
  TMapiBuffer<SPropValue> one;
  EXPECT_EQ(HrGetOneProp(data.get(), kNumber, one.Out()), S_OK);
  EXPECT_EQ(one->Value.l, 7);
  EXPECT_EQ(HrGetOneProp(data.get(), PROP_TAG(PT_LONG, 0x6699), one.Out()), MAPI_E_NOT_FOUND);
  EXPECT_TRUE(FPropExists(data.get(), kName));
  EXPECT_TRUE(FPropExists(data.get(), PROP_TAG(PT_STRING8, 0x6602)));  // either width
  EXPECT_TRUE(FPropExists(data.get(), PROP_TAG(PT_UNSPECIFIED, 0x6601)));
  EXPECT_FALSE(FPropExists(data.get(), PROP_TAG(PT_I2, 0x6601)));
  EXPECT_EQ(data->SaveChanges(KEEP_OPEN_READWRITE), S_OK);  // nothing is transacted
  EXPECT_EQ(Delete(data.get(), {kNumber}), S_OK);
  EXPECT_EQ(HrGetOneProp(nullptr, kNumber, one.Out()), MAPI_E_INVALID_PARAMETER);

  // A restriction value that leads back to itself is refused, not copied forever.
  SRestriction loop{RES_PROPERTY, {}};
  SPropValue self{PROP_TAG(PT_SRESTRICTION, 0x6604), 0, {.lpv = &loop}};
  loop.res.resProperty = {RELOP_EQ, self.ulPropTag, &self};
  EXPECT_EQ(Set(data.get(), {self}), MAPI_E_TOO_COMPLEX);
}

TEST(PropData, ReadOnlyObjectRefusesWrites) {
  ComPtr<IPropData> data = NewPropData();
  ASSERT_EQ(Set(data.get(), {LongValue(kNumber, 1)}), S_OK);
  ASSERT_EQ(data->HrSetObjAccess(IPROP_READONLY), S_OK);
  EXPECT_EQ(Set(data.get(), {LongValue(kNumber, 2)}), MAPI_E_NO_ACCESS);
  EXPECT_EQ(Delete(data.get(), {kNumber}), MAPI_E_NO_ACCESS);
  SizedSPropTagArray<1> objects{1, {kChild}};
  EXPECT_EQ(data->HrAddObjProps(objects.Ptr(), nullptr), MAPI_E_NO_ACCESS);
  ULONG readOnly = IPROP_READONLY;
  EXPECT_EQ(data->HrSetPropAccess(objects.Ptr(), &readOnly), MAPI_E_NO_ACCESS);
  EXPECT_EQ(data->HrSetObjAccess(IPROP_READONLY | IPROP_READWRITE), MAPI_E_INVALID_PARAMETER);
  ASSERT_EQ(data->HrSetObjAccess(IPROP_READWRITE), S_OK);
  EXPECT_EQ(Set(data.get(), {LongValue(kNumber, 2)}), S_OK);
}

TEST(PropData, ReadOnlyPropertiesAndStates) {
  ComPtr<IPropData> data = NewPropData();
  ASSERT_EQ(Set(data.get(), {LongValue(kNumber, 1), TextValue(kName, u"a")}), S_OK);
  EXPECT_EQ(AccessOf(data.get(), kNumber), IPROP_DIRTY);
  SizedSPropTagArray<2> tags{2, {kNumber, kName}};
  ULONG access[] = {IPROP_READONLY | IPROP_CLEAN, IPROP_READWRITE | IPROP_CLEAN};
  ASSERT_EQ(data->HrSetPropAccess(tags.Ptr(), access), S_OK);
  EXPECT_EQ(AccessOf(data.get(), kNumber), IPROP_READONLY);
  EXPECT_EQ(AccessOf(data.get(), kName), IPROP_READWRITE);

  // The read-only property is a problem of its own; the other one changes.
  TMapiBuffer<SPropProblemArray> problems;
  SPropValue values[] = {LongValue(kNumber, 2), TextValue(kName, u"b")};
  ASSERT_EQ(data->SetProps(2, values, problems.Out()), S_OK);
  ASSERT_TRUE(problems);
  ASSERT_EQ(problems->cProblem, 1u);
  EXPECT_EQ(problems->aProblem[0].ulIndex, 0u);
  EXPECT_EQ(problems->aProblem[0].scode, MAPI_E_NO_ACCESS);
  EXPECT_EQ(Long(data.get(), kNumber), 1u);
  EXPECT_EQ(Delete(data.get(), {kNumber}), MAPI_E_NO_ACCESS);

  // A deleted property reports 0, and is listed when all properties are asked for.
  EXPECT_EQ(Delete(data.get(), {kName}), S_OK);
  EXPECT_EQ(AccessOf(data.get(), kName), 0u);
  LPSPropTagArray all = nullptr;
  TMapiBuffer<ULONG> flags;
  ASSERT_EQ(data->HrGetPropAccess(&all, flags.Out()), S_OK);
  TMapiBuffer<SPropTagArray> listed(all);
  ASSERT_EQ(listed->cValues, 2u);
  for (ULONG i = 0; i < 2; ++i)
    EXPECT_EQ(flags.get()[i], PROP_ID(listed->aulPropTag[i]) == PROP_ID(kName) ? 0u : ULONG{IPROP_READONLY});

  // Flags that cannot go together.
  ULONG invalid[] = {IPROP_READONLY | IPROP_READWRITE, IPROP_CLEAN | IPROP_DIRTY | IPROP_READONLY, IPROP_CLEAN, 0x100};
  for (ULONG flag : invalid) {
    SizedSPropTagArray<1> one{1, {kNumber}};
    EXPECT_EQ(data->HrSetPropAccess(one.Ptr(), &flag), MAPI_E_INVALID_PARAMETER) << std::hex << flag;
  }
  EXPECT_EQ(data->HrGetPropAccess(nullptr, flags.Out()), MAPI_E_INVALID_PARAMETER);
}

TEST(PropData, ObjectProperties) {
  ComPtr<IPropData> data = NewPropData();
  SizedSPropTagArray<2> mixed{2, {kChild, kNumber}};
  EXPECT_EQ(data->HrAddObjProps(mixed.Ptr(), nullptr), MAPI_E_INVALID_TYPE);
  SizedSPropTagArray<1> objects{1, {kChild}};
  TMapiBuffer<SPropProblemArray> problems;
  ASSERT_EQ(data->HrAddObjProps(objects.Ptr(), problems.Out()), S_OK);
  EXPECT_TRUE(FPropExists(data.get(), kChild));
  EXPECT_EQ(Set(data.get(), {SPropValue{kChild, 0, {}}}), MAPI_E_INVALID_PARAMETER);  // only HrAddObjProps adds them
}

// Allocators of a caller's own: MAPI memory underneath, every buffer counted.
std::atomic<int> buffers{0}, freed{0};
SCODE CountingAllocateBuffer(ULONG cb, LPVOID* out) {
  ++buffers;
  return MAPIAllocateBuffer(cb, out);
}
SCODE CountingAllocateMore(ULONG cb, LPVOID parent, LPVOID* out) { return MAPIAllocateMore(cb, parent, out); }
ULONG CountingFreeBuffer(LPVOID p) {
  ++freed;
  return MAPIFreeBuffer(p);
}
SCODE FailingAllocateMore(ULONG, LPVOID, LPVOID*) { return MAPI_E_NOT_ENOUGH_MEMORY; }

TEST(PropData, ResultsComeFromTheCallersAllocators) {
  ComPtr<IPropData> data;
  ASSERT_EQ(CreateIProp(nullptr, CountingAllocateBuffer, CountingAllocateMore, CountingFreeBuffer, nullptr, data.Out()),
            S_OK);
  ASSERT_EQ(Set(data.get(), {TextValue(kName, u"caller"), LongValue(kNumber, 3)}), S_OK);
  int before = buffers;
  EXPECT_EQ(Text(data.get(), kName), u"caller");
  LPSPropTagArray list = nullptr;
  ASSERT_EQ(data->GetPropList(0, &list), S_OK);
  TMapiBuffer<SPropTagArray> held(list);
  EXPECT_EQ(list->cValues, 2u);
  EXPECT_EQ(buffers - before, 2);
  EXPECT_EQ(data->HrSetObjAccess(0), MAPI_E_INVALID_PARAMETER);
  TMapiBuffer<MAPIERROR> error;
  ASSERT_EQ(data->GetLastError(MAPI_E_INVALID_PARAMETER, 0, error.Out()), S_OK);
  ASSERT_TRUE(error);
  EXPECT_NE(std::string(error->lpszError).find("HrSetObjAccess"), std::string::npos);
  EXPECT_EQ(buffers - before, 3);
}

// The caller's AllocateMore failing partway: the buffer its AllocateBuffer gave back goes
// to its FreeBuffer, and nothing is handed out.
TEST(PropData, ACopyFailingPartwayFreesTheCallersBuffer) {
  ComPtr<IPropData> data;
  ASSERT_EQ(CreateIProp(nullptr, CountingAllocateBuffer, FailingAllocateMore, CountingFreeBuffer, nullptr, data.Out()),
            S_OK);
  ASSERT_EQ(Set(data.get(), {TextValue(kName, u"caller")}), S_OK);
  int allocated = buffers, released = freed;
  SizedSPropTagArray<1> tags{1, {kName}};
  ULONG count = 0;
  LPSPropValue values = nullptr;
  EXPECT_EQ(data->GetProps(tags.Ptr(), 0, &count, &values), MAPI_E_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(values, nullptr);
  LPMAPIERROR error = nullptr;
  EXPECT_EQ(data->GetLastError(MAPI_E_NOT_ENOUGH_MEMORY, 0, &error), MAPI_E_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(error, nullptr);
  EXPECT_EQ(buffers - allocated, 2);
  EXPECT_EQ(freed - released, 2);
}

}  // namespace
