// The registry: lookup forms, registration on a miss, the 8-bit twin rule, comparison,
// hash IDs and every error text.
#include <gtest/gtest.h>

#include "common/mapierror.h"
#include "orba/VoMAPIExceptions.h"
#include "orba/VoMAPIProps.h"
#include "props/VoMAPIPropRegistry.h"

namespace orba {
namespace {

MAPINAMEID NumberID(const GUID& set, LONG number) {
  MAPINAMEID id{};
  id.lpguid = const_cast<GUID*>(&set);
  id.ulKind = MNID_ID;
  id.Kind.lID = number;
  return id;
}

MAPINAMEID NameID(const GUID& set, const char16_t* name) {
  MAPINAMEID id{};
  id.lpguid = const_cast<GUID*>(&set);
  id.ulKind = MNID_STRING;
  id.Kind.lpwstrName = const_cast<char16_t*>(name);
  return id;
}

// The 8-bit twin rule ---------------------------------------------------------------

TEST(GetPropInfo, WithoutUnicodeAnswersTheEightBitTwin) {
  EXPECT_EQ(GetPropInfo(PR_SUBJECT, false), GetPropInfo(PR_SUBJECT_A));
  EXPECT_EQ(GetPropInfo(PR_SUBJECT_W, false), GetPropInfo(PR_SUBJECT_A));
  EXPECT_EQ(GetPropInfo(NPR_NAMEREPLYTO, false), GetPropInfo(NPR_NAMEREPLYTO_A));
  EXPECT_EQ(GetPropInfo(PR_ACKNOWLEDGEMENT_MODE, false), GetPropInfo(PR_ACKNOWLEDGEMENT_MODE));
}

TEST(GetPropInfo, MissingTwinIsRegisteredOnDemand) {
  const TVoMAPIPropInfo* wide = RegisterProp(u"PR_TEST_WIDE_ONLY", 0x7E01, PT_UNICODE);
  size_t count = GetPropCount();
  const TVoMAPIPropInfo* twin = GetPropInfo(*wide->PropDef, false);
  EXPECT_EQ(GetPropCount(), count + 1);
  EXPECT_EQ(twin->PropName, u"$7E01001E");
  EXPECT_EQ(GetPropInfo(*wide->PropDef, false), twin);
  EXPECT_EQ(GetPropCount(), count + 1);
}

TEST(GetPropInfo, Errors) {
  EXPECT_RAISES(GetPropInfo(TVoMAPIPropDef{0}), EVoMAPIException, E_INVALIDARG,
                u"The given PropDef does not have an ID");
  EXPECT_RAISES(GetPropInfo(TVoMAPIPropDef{static_cast<int64_t>(0xF000000000000123ull)}), EVoMAPIException,
                E_INVALIDARG, u"The PropDef.ID contains an invalid ID!");
  EXPECT_RAISES(GetPropInfo(TVoMAPIPropDef{1'000'000'000}), EVoException, E_INVALIDARG,
                u"List index out of bounds (999999999)");
  EXPECT_RAISES(GetPropInfo(static_cast<const TVoMAPIPropDef*>(nullptr)), EVoException, E_UNEXPECTED,
                u"Assertion failed: the PropDef has no ID "
                u"(source\\ComponentSets\\Components\\mapi\\uVoMAPIProps)");
}

// Tags and names ----------------------------------------------------------------------

TEST(GetPropTag, StandardAndNamedAndNamesAreCaseSensitive) {
  EXPECT_EQ(GetPropTag(PR_SUBJECT_W), 0x0037001Fu);
  for (TVoMAPIPropDef named : {NPR_CONTACT_FILEUNDER, NPR_NAMEREPLYTO, NPR_SENDUSINGOUTLOOK})
    EXPECT_RAISES(GetPropTag(named), EVoMAPIException, E_INVALIDARG,
                  u"The uVoMAPIProps.GetPropTag does not support named properties!");
  EXPECT_RAISES(GetPropTag(TVoMAPIPropDef{987654321}), EVoMAPIException, E_INVALIDARG,
                u"There is no registered property with the ID \"987654321\"!");
  EXPECT_EQ(FindProp(u"pr_subject"), nullptr);
  EXPECT_RAISES(GetPropDef(u"pr_subject"), EVoMAPIException, E_INVALIDARG,
                u"There is no registered property with the name \"pr_subject\"!");
}

// Lookup ------------------------------------------------------------------------------

TEST(FindProp, StandardByIdentifierAndTag) {
  EXPECT_EQ(FindProp(uint16_t(0x0037), PT_UNICODE, true), GetPropInfo(PR_SUBJECT));
  EXPECT_EQ(FindProp(uint16_t(0x0037), PT_LONG, false), GetPropInfo(PR_SUBJECT));
  EXPECT_EQ(FindProp(uint16_t(0x0037), PT_LONG, true), nullptr);
  // The first of several names for one identity wins.
  EXPECT_EQ(FindProp(TVoMAPIPropTag(0x00010003), true), GetPropInfo(PR_ACKNOWLEDGEMENT_MODE));
  // A tag never answers a named property of some set (0x8501 is only named).
  EXPECT_EQ(FindProp(TVoMAPIPropTag(0x85010003), true), nullptr);
  // Address book properties above 0x8000 are standard ones.
  EXPECT_EQ(FindProp(TVoMAPIPropTag(0x8005001F), true), GetPropInfo(PR_EMS_AB_MANAGER_T));
}

TEST(FindProp, NamedByNumberByNameAndByMapiNameID) {
  EXPECT_EQ(FindProp(PSETID_Address, TVoVariant(int32_t(0x8005)), PT_UNICODE, true),
            GetPropInfo(NPR_CONTACT_FILEUNDER));
  // Any integer width names the number.
  EXPECT_EQ(FindProp(PSETID_Address, TVoVariant(uint16_t(0x8005)), PT_UNICODE, true),
            GetPropInfo(NPR_CONTACT_FILEUNDER));
  EXPECT_EQ(FindProp(PSETID_Common, TVoVariant(int32_t(0x8005)), PT_UNICODE, true), nullptr);
  EXPECT_EQ(FindProp(PS_PUBLIC_STRINGS, TVoVariant(u"Keywords"), PT_MV_UNICODE, true), GetPropInfo(NPR_CATEGORIES));
  EXPECT_EQ(FindProp(PS_INTERNET_HEADERS, TVoVariant(u"Reply-To"), PT_LONG, false), GetPropInfo(NPR_NAMEREPLYTO));
  MAPINAMEID byNumber = NumberID(PSETID_Common, 0x8501);
  EXPECT_EQ(FindProp(byNumber, PT_LONG, true), GetPropInfo(NPR_COMMON_REMINDER_MINUTES_BEFORE));
  MAPINAMEID byName = NameID(PSETID_Messaging, u"OriginalScl");
  EXPECT_EQ(FindProp(byName, PT_LONG, true), GetPropInfo(NPR_NAMEORIGINALSPAMCONFIDENCELEVEL));
}

TEST(FindProp, MalformedMapiNameIDs) {
  MAPINAMEID noSet = NumberID(PSETID_Common, 0x8501);
  noSet.lpguid = nullptr;
  EXPECT_RAISES(FindProp(noSet, PT_LONG, true), EVoMAPIException, E_INVALIDARG, u"The MAPINAMEID has no property set!");
  MAPINAMEID noName = NameID(PSETID_Messaging, nullptr);
  EXPECT_RAISES(GetProp(noName, PT_LONG, true), EVoMAPIException, E_INVALIDARG, u"The MAPINAMEID has no name!");
  MAPINAMEID badKind = NumberID(PSETID_Common, 0x8501);
  badKind.ulKind = 7;
  EXPECT_RAISES(FindProp(badKind, PT_LONG, true), EVoMAPIException, E_INVALIDARG, u"The MAPINAMEID kind 7 is unknown!");
}

TEST(FindProp, ExactIdentity) {
  const TVoMAPIPropInfo* subject = GetPropInfo(PR_SUBJECT_A);
  EXPECT_EQ(FindProp(subject->PropID, PT_STRING8, false, GUID_NULL, 0), subject);
  // The identifier's variant type must be the stored one.
  EXPECT_EQ(FindProp(TVoVariant(int32_t(0x37)), PT_STRING8, false, GUID_NULL, 0), nullptr);
  const TVoMAPIPropInfo* fileUnder = GetPropInfo(NPR_CONTACT_FILEUNDER);
  EXPECT_EQ(FindProp(fileUnder->PropID, PT_UNICODE, true, PSETID_Address, MNID_ID), fileUnder);
  EXPECT_EQ(FindProp(TVoVariant(u"Reply-To"), PT_UNICODE, true, PS_INTERNET_HEADERS, MNID_STRING),
            GetPropInfo(NPR_NAMEREPLYTO));
}

// Registration --------------------------------------------------------------------------

TEST(GetProp, RegistersOnAMissOnce) {
  size_t count = GetPropCount();
  const TVoMAPIPropInfo* info = GetProp(0x1234, PT_LONG, true);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->PropName, u"$12340003");
  EXPECT_EQ(GetPropInfo(*info->PropDef), info);
  EXPECT_EQ(GetProp(TVoMAPIPropTag(0x12340003), true), info);
  EXPECT_EQ(GetPropCount(), count + 1);
  // The identity form dispatches on named.
  EXPECT_EQ(GetProp(TVoVariant(uint16_t(0x37)), PT_STRING8, false, GUID_NULL, 0), GetPropInfo(PR_SUBJECT_A));
  EXPECT_EQ(GetProp(TVoVariant(int32_t(0x8005)), PT_UNICODE, true, PSETID_Address, MNID_ID),
            GetPropInfo(NPR_CONTACT_FILEUNDER));
}

TEST(GetProp, BuiltNames) {
  EXPECT_EQ(GetProp(0x0000, PT_I2, true)->PropName, u"$02");
  const GUID set = PSETID_Report;
  const TVoMAPIPropInfo* number = GetProp(set, TVoVariant(int32_t(0x8501)), PT_LONG, true);
  EXPECT_EQ(number->PropName, u"$85010003");
  const TVoMAPIPropInfo* name = GetProp(PSETID_UnifiedMessaging, TVoVariant(u"UMTestName"), PT_BOOLEAN, true);
  EXPECT_EQ(name->PropName, u"UMTestName");
  MAPINAMEID byName = NameID(PSETID_UnifiedMessaging, u"UMTestName");
  EXPECT_EQ(GetProp(PT_BOOLEAN, byName, true), name);
  MAPINAMEID byNumber = NumberID(PSETID_Report, 0x8777);
  EXPECT_EQ(GetProp(byNumber, PT_SYSTIME, true)->PropName, u"$87770040");
  EXPECT_RAISES(GetProp(PSETID_Report, TVoVariant(2.5), PT_LONG, true), EVoMAPIException, E_INVALIDARG,
                u"A named property needs a number or a name as its identifier!");
}

TEST(RegisterProp, ReturnsTheExistingDescriptor) {
  const TVoMAPIPropInfo* first = RegisterProp(u"PR_TEST_TWICE", 0x7E10, PT_LONG);
  EXPECT_EQ(RegisterProp(u"PR_TEST_TWICE_AGAIN", 0x7E10, PT_LONG), first);
  EXPECT_EQ(FindProp(u"PR_TEST_TWICE_AGAIN"), nullptr);
  EXPECT_EQ(RegisterProp(u"PR_X", 0x0037, PT_UNICODE), GetPropInfo(PR_SUBJECT));
  EXPECT_NE(RegisterProp(u"PR_TEST_TWICE_I8", 0x7E10, PT_I8), first);
}

TEST(RegisterProp, NamedForms) {
  const TVoMAPIPropInfo* number = RegisterProp(PSETID_Log, u"NPR_TEST_LOG", 0x8799, PT_LONG);
  EXPECT_EQ(RegisterProp(PSETID_Log, u"NPR_TEST_LOG2", 0x8799, PT_LONG), number);
  const TVoMAPIPropInfo* name = RegisterProp(PS_PUBLIC_STRINGS, u"NPR_TEST_NAME", u"TestName", PT_UNICODE);
  EXPECT_EQ(RegisterProp(PS_PUBLIC_STRINGS, u"NPR_OTHER", u"TestName", PT_UNICODE), name);
  EXPECT_EQ(RegisterProp(PS_PUBLIC_STRINGS, u"NPR_CATEGORIES_AGAIN", u"Keywords", PT_MV_UNICODE),
            GetPropInfo(NPR_CATEGORIES));
}

// Comparison --------------------------------------------------------------------------

TEST(SameProp, DescriptorsTagsAndNameIDs) {
  TVoMAPIPropInfo a = VoMAPIStandardPropInfo(u"PR_X", 1, PT_LONG);
  TVoMAPIPropInfo b = VoMAPIStandardPropInfo(u"pr_x", 2, PT_BOOLEAN);
  EXPECT_TRUE(SameProp(a, b, true));  // equal names, whatever else differs
  b.PropName = u"PR_Y";
  EXPECT_FALSE(SameProp(a, b, false));
  b.PropID = TVoVariant(int32_t(1));  // another integer width, same value
  EXPECT_TRUE(SameProp(a, b, false));
  EXPECT_FALSE(SameProp(a, b, true));
  EXPECT_TRUE(SameProp(*GetPropInfo(NPR_APPT_MEETINGSTATUS), *GetPropInfo(NPR_APPTSTATEFLAGS), true));
  EXPECT_FALSE(SameProp(*GetPropInfo(NPR_TASKMODE), *GetPropInfo(NPR_TASKSTATE), false));
  // A named and a standard property with one number are different properties.
  TVoMAPIPropInfo named = VoMAPINumberPropInfo(PSETID_Common, u"N1", 1, PT_LONG);
  EXPECT_FALSE(SameProp(a, named, false));
  const TVoMAPIPropInfo& subject = *GetPropInfo(PR_SUBJECT_A);
  EXPECT_TRUE(SameProp(subject, TVoMAPIPropTag(0x0037001F), false));
  EXPECT_TRUE(SameProp(subject, TVoMAPIPropTag(0x0037001E), true));
  const TVoMAPIPropInfo& reminder = *GetPropInfo(NPR_COMMON_REMINDER_MINUTES_BEFORE);
  EXPECT_FALSE(SameProp(reminder, TVoMAPIPropTag(0x85010003), false));
  MAPINAMEID id = NumberID(PSETID_Common, 0x8501);
  EXPECT_TRUE(SameProp(reminder, TVoMAPIPropTag(0x80AB0003), id, true));
  MAPINAMEID other = NumberID(PSETID_Address, 0x8501);
  EXPECT_FALSE(SameProp(reminder, TVoMAPIPropTag(0x80AB0003), other, false));
  MAPINAMEID byName = NameID(PS_INTERNET_HEADERS, u"Reply-To");
  EXPECT_TRUE(SameProp(*GetPropInfo(NPR_NAMEREPLYTO), byName, TVoMAPIPropTag(0x8123001F), true));
  EXPECT_TRUE(SameProp(subject, TVoMAPIPropTag(0x0037001E), byName, true));  // standard: tag only
}

// Hash IDs ----------------------------------------------------------------------------

TEST(CalcPropHash, StandardIsTheNextPositionOthersTheHashIDOfTheIdentity) {
  EXPECT_EQ(CalcPropHash(VoMAPIStandardPropInfo(u"PR_NEW", 0x7E55, PT_LONG), true),
            static_cast<TVoMAPIPropDefID>(GetPropCount() + 1));
  TVoMAPIPropInfo info = VoMAPIStandardPropInfo(u"PR_HASHED", 0x37, PT_LONG);
  TVoMAPIPropDefID id = CalcPropHash(info, false);
  // SHA-1 of "55" "3" "{00000000-0000-0000-0000-000000000000}" "PR_HASHED", first eight
  // bytes little-endian, top four bits set.
  EXPECT_EQ(static_cast<uint64_t>(id) & VoMAPIHashIDMask, VoMAPIHashIDMask);
  info.PropName = u"PR_HASHED2";
  EXPECT_NE(CalcPropHash(info, false), id);
}

TEST(PropRegistry, HashIDRegistrationAndCollision) {
  TVoMAPIPropRegistry registry;
  registry.Add(VoMAPIStandardPropInfo(u"PR_ONE", 0x0001, PT_LONG), nullptr);
  TVoMAPIPropInfo hashed = VoMAPINumberPropInfo(PSETID_Common, u"NPR_HASHED", 0x8501, PT_LONG);
  const TVoMAPIPropInfo* added = registry.Add(hashed, nullptr, false);
  EXPECT_EQ(static_cast<uint64_t>(added->Hash) & VoMAPIHashIDMask, VoMAPIHashIDMask);
  EXPECT_EQ(added->PropDef->ID, added->Hash);
  EXPECT_EQ(registry.FindID(added->Hash), added);
  EXPECT_EQ(registry.FindID(2), added);  // it still occupies the second position
  EXPECT_EQ(registry.CalcHash(VoMAPIStandardPropInfo(u"PR_NEXT", 9, PT_LONG), true), 3);
  EXPECT_RAISES(registry.Add(hashed, nullptr, false), EVoMAPIException, E_INVALIDARG,
                u"NPR_HASHED is equal to NPR_HASHED");
  EXPECT_EQ(registry.Count(), 2u);
  EXPECT_EQ(registry.FindID(static_cast<int64_t>(0xF000000000000001ull)), nullptr);
}

TEST(PropRegistry, HandlesMustMatchTheirPosition) {
  TVoMAPIPropRegistry registry;
  static constexpr TVoMAPIPropDef kSecond{2};
  EXPECT_RAISES(registry.Add(VoMAPIStandardPropInfo(u"PR_A", 1, PT_LONG), &kSecond), EVoException, E_UNEXPECTED,
                u"Assertion failed: PR_A has the ID 2 instead of 1 "
                u"(source\\ComponentSets\\Components\\mapi\\uVoMAPIProps)");
  EXPECT_EQ(registry.Count(), 0u);
  static constexpr TVoMAPIPropDef kFirst{1};
  EXPECT_EQ(registry.Add(VoMAPIStandardPropInfo(u"PR_A", 1, PT_LONG), &kFirst)->PropDef, &kFirst);
  EXPECT_FALSE(registry.At(0)->DisposePropDef);
  EXPECT_RAISES(registry.At(1), EVoException, E_INVALIDARG, u"List index out of bounds (1)");
}

// Type names --------------------------------------------------------------------------

TEST(PropTypeToStr, NamesAndAPlainErrorForUnknownTypes) {
  EXPECT_EQ(PropTypeToStr(0x1102), u"dtMvBinary");
  EXPECT_EQ(PropTypeToStr(PT_LONG), u"dtLongInt");
  EXPECT_EQ(PropTypeToStr(0x00FB), u"dtServerEntryID");
  EXPECT_EQ(PropTypeToStr(PT_CLSID), u"dtGUID");
  for (uint32_t type : {0x0008u, 0x1001u, 0x1102u + 1, 0xFFFFFFFFu}) {
    try {
      PropTypeToStr(type);
      ADD_FAILURE() << type;
    } catch (const EVoMAPIException&) {
      ADD_FAILURE() << "a MAPI exception for " << type;
    } catch (const EVoException& e) {
      EXPECT_EQ(e.Message(), u"Invalid PropType");
    }
  }
}

}  // namespace
}  // namespace orba
