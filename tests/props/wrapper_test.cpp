// The wrapper bases: guards, logoff, extended errors, named tags, reading and writing
// properties, committing, opening properties, the Exchange-only source key.
#include <gtest/gtest.h>

#include "common/mapierror.h"
#include "orba/VoMAPIBase.h"
#include "orba/VoMAPILib.h"
#include "orba/common/utf8.h"
#include "propowner_double.h"
#include "testsession.h"

namespace orba::test {
namespace {

// The Extended MAPI client double is loaded, so that MAPI memory goes through the bound
// entry points; a session double and a property object over the in-memory IMAPIProp double.
class WrapperTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WideString file = FromUtf8(FAKE_EXTENDED);
    bool extended = false;
    VoLoadMAPIDLL(file, extended);
  }
  static void TearDownTestSuite() { VoUnloadDLL(); }

  ComPtr<TVoMAPIProp> NewProp(TVoMAPIAccessLevel level = alReadWrite, bool unicode = true) {
    return MakeComObject<TVoMAPIProp>(nullptr, session_.get(), ComPtr<IMAPIProp>(mapi_.get()), level, unicode);
  }

  ComPtr<TTestSession> session_ = MakeComObject<TTestSession>();
  ComPtr<TTestMAPIProp> mapi_ = MakeComObject<TTestMAPIProp>();
};

TEST_F(WrapperTest, GuardsWithoutMAPIObjectSessionOrParentAndOfSimpleMAPI) {
  auto prop = MakeComObject<TVoMAPIProp>(nullptr, session_.get(), nullptr, alReadWrite, true);
  EXPECT_RAISES(prop->GetPropTag(*GetPropInfo(NPR_CONTACT_FILEUNDER), true), EMAPI_NO_SUPPORT, MakeHResult(0x80040102),
                u"Named Property NPR_CONTACT_FILEUNDER requested, however Named Properties are not supported!");
  auto lone = MakeComObject<TVoMAPIProp>(nullptr, nullptr, ComPtr<IMAPIProp>(mapi_.get()), alReadWrite, true);
  EXPECT_RAISES(lone->GetPropList(), EMAPI_UNCONFIGURED, MakeHResult(0x8004011C),
                u"No session has been Assigned (TVoMAPIProp.GetPropList)!");
  auto parent = NewProp();
  auto child =
      MakeComObject<TVoMAPIProp>(parent.get(), session_.get(), ComPtr<IMAPIProp>(mapi_.get()), alReadWrite, true);
  parent = nullptr;
  EXPECT_RAISES(child->GetPropList(), EMAPI_CALL_FAILED, E_FAIL,
                u"Failed to execute TVoMAPIProp.GetPropList!\r\nThe parentobject of this instance has been destroyed!");
  session_->Extended = false;
  EXPECT_RAISES(NewProp()->CheckActive(u"Submit", true), EMAPI_NO_SUPPORT, MakeHResult(0x80040102),
                u"TVoMAPIProp.Submit is not supported by Simple MAPI!");
}

TEST_F(WrapperTest, DestroyedWrappersLeaveTheLogoffListAndSessionLossDeactivates) {
  auto kept = NewProp();
  NewProp();  // released at once
  session_->Logoff();
  EXPECT_EQ(kept->GetMAPIObject(), nullptr);
  auto other = NewProp();
  session_ = nullptr;
  EXPECT_EQ(other->Session(), nullptr);
  EXPECT_RAISES(other->GetPropList(), EMAPI_UNCONFIGURED, MakeHResult(0x8004011C),
                u"No session has been Assigned (TVoMAPIProp.GetPropList)!");
}

TEST_F(WrapperTest, ExtendedErrorRetriesWithTheOtherWidth) {
  auto prop = NewProp();
  mapi_->ErrorText = u"Disk full";
  mapi_->ErrorComponent = u"Store";
  mapi_->LastErrorResults = {MakeHResult(0x80040103)};
  TVoMAPIError error;
  prop->GetExtendedErrorInfo(E_FAIL, error);
  EXPECT_EQ(mapi_->LastErrorFlags, (std::vector<ULONG>{MAPI_UNICODE, 0}));
  EXPECT_EQ(error.Error, u"Disk full");
  EXPECT_RAISES(prop->CheckLastError(u"OpenEntry", MakeHResult(0x8004010F)), EMAPI_CALL_FAILED, E_FAIL,
                u"Component Store caused: Disk full (TVoMAPIProp.OpenEntry)");
}

TEST_F(WrapperTest, ExtendedErrorFeedsCheckMAPIResult) {
  auto prop = NewProp(alReadWrite, false);
  mapi_->ErrorText = u"Quota";
  mapi_->ErrorComponent = u"Server";
  EXPECT_RAISES(CheckMAPIResult(prop.get(), u"Submit", MakeHResult(0x80040119)), EVoMAPIException,
                MakeHResult(0x80040119),
                u"TVoMAPIProp.Submit has raised the following exception:\r\nQuota (Server) (-2147221223=0x80040119)");
  EXPECT_EQ(mapi_->LastErrorFlags, (std::vector<ULONG>{0}));
  LPMAPIERROR none = nullptr;  // no buffer: an empty error
  TVoMAPIError error = TVoMAPIWrapper::FormatExtendedErrorInfo(true, none);
  EXPECT_TRUE(error.Error.empty() && error.Component.empty() && error.LowLevelError == 0);
}

TEST_F(WrapperTest, NamedTagsComeFromGetIDsFromNamesOncePerObject) {
  auto prop = NewProp();
  const TVoMAPIPropInfo& info = *GetPropInfo(NPR_NAMEREPLYTO);
  const TVoMAPIPropTag tag = prop->GetPropTag(info, true);
  EXPECT_EQ(tag, PROP_TAG(info.PropType, 0x8100));
  EXPECT_EQ(prop->GetPropTag(info, true), tag);
  EXPECT_EQ(mapi_->IDsFromNamesCalls, 1);
  // An unknown name without MAPI_CREATE is MAPI's warning.
  EXPECT_RAISES(prop->GetPropTag(*GetPropInfo(NPR_CONTACT_FILEUNDER), false), EMAPI_W_ERRORS_RETURNED,
                MakeHResult(0x00040380),
                u"TVoMAPIProp.GetPropTag has raised the following exception:\r\n"
                u"MAPI_W_ERRORS_RETURNED (263040)");
}

// One GetProps call for all, or after E_FAIL one per property.
TEST_F(WrapperTest, GetPropValuesReadsAllInOneCallOrOneByOneAfterEFail) {
  mapi_->SetLong(PROP_TAG(PT_LONG, 0x0E08), 1234);  // PR_MESSAGE_SIZE
  mapi_->SetText(PROP_TAG(PT_UNICODE, 0x0037), u"Hello");
  EXPECT_TRUE(NewProp()->HasProp(PR_SUBJECT));
  for (auto [multiResult, calls] : {std::pair{S_OK, 1}, {E_FAIL, 4}}) {
    mapi_->MultiGetPropsResult = multiResult;
    mapi_->GetPropsCalls = 0;
    auto prop = NewProp();
    const TVoMAPIPropDef defs[] = {PR_MESSAGE_SIZE, PR_SUBJECT, PR_BODY};
    TVoVariant values = prop->GetPropValueArray(defs, 3);
    EXPECT_EQ(mapi_->GetPropsCalls, calls);
    EXPECT_EQ(VoVarToInt(values.ArrayItem(0)), 1234);
    EXPECT_EQ(VoVarToStr(values.ArrayItem(1)), u"Hello");
    EXPECT_TRUE(values.ArrayItem(2).IsNull());
  }
}
TEST_F(WrapperTest, GetPropValuesChecks) {
  auto prop = NewProp();
  EXPECT_RAISES(prop->GetPropValues(nullptr, 0), EVoException, E_UNEXPECTED,
                u"You must specify at least 1 property definition!");
  mapi_->MultiGetPropsResult = MakeHResult(0x8004010E);
  const TVoMAPIPropDef defs[] = {PR_MESSAGE_SIZE, PR_SUBJECT};
  EXPECT_RAISES(prop->GetPropValues(defs, 2), EMAPI_NOT_ENOUGH_RESOURCES, MakeHResult(0x8004010E),
                u"TVoMAPIProp.GetPropValues has raised the following exception:\r\nNot enough system resources "
                u"were available to complete the operation. (-2147221234)");
}

TEST_F(WrapperTest, SaveChangesWritesPendingValuesCommitsAndExplainsFailures) {
  auto prop = NewProp();
  prop->Set_SearchKey(ArrToEntryID({1, 2, 3}));
  prop->Items().Add(PR_MESSAGE_SIZE)->Set_AsInteger(77);
  prop->SaveChanges(smKeepOpenReadWrite);
  EXPECT_EQ(mapi_->SaveFlags, (std::vector<ULONG>{KEEP_OPEN_READWRITE}));
  EXPECT_EQ(mapi_->Values.at(0x0E08).Long, 77);
  EXPECT_EQ(mapi_->Values.at(0x300B).Bytes, (std::vector<BYTE>{1, 2, 3}));
  auto list = MakeComObject<TVoMAPIPropValueList>();
  list->AddValue(PR_MESSAGE_SIZE, TVoVariant(int32_t(12)));
  list->AddValue(PR_SUBJECT, TVoVariant(u"Set"));
  prop->SetPropValues(list.get());
  EXPECT_EQ(mapi_->Values.at(0x0E08).Long, 12);
  EXPECT_EQ(prop->PropByName(PR_SUBJECT)->Get_AsString(), u"Set");
  prop = NewProp();
  mapi_->SaveChangesResult = MakeHResult(0x8004010A);
  EXPECT_RAISES(prop->SaveChanges(smClose), EMAPI_OBJECT_DELETED, MakeHResult(0x8004010A),
                u"TVoMAPIProp.SaveChanges failed!\r\nThe object has been deleted since it was opened.");
  mapi_->SaveChangesResult = MakeHResult(0x80040109);
  EXPECT_RAISES(prop->SaveChanges(smClose), EMAPI_OBJECT_CHANGED, MakeHResult(0x80040109),
                u"TVoMAPIProp.SaveChanges failed!\r\nThe object has changed since it was opened.");
  mapi_->SaveChangesResult = MakeHResult(0x80040600);
  EXPECT_RAISES(prop->SaveChanges(smKeepOpenReadOnly), EMAPI_CORRUPT_STORE, MakeHResult(0x80040600),
                u"TVoMAPIProp.SaveChanges has raised the following exception:\r\n"
                u"MAPI_E_CORRUPT_STORE (-2147219968=0x80040600)");
}

TEST_F(WrapperTest, OpenIntfPropertyTextsAndBestAccess) {
  mapi_->Streams[PROP_TAG(PT_BINARY, 0x1009)] = {1, 2};
  auto prop = NewProp();
  mapi_->OpenPropertyResults = {E_ACCESSDENIED};
  EXPECT_TRUE(prop->OpenBinProperty(*GetPropInfo(PR_RTF_COMPRESSED), 0, alBestAccess, false));
  EXPECT_EQ(mapi_->OpenFlags, (std::vector<ULONG>{MAPI_MODIFY, 0}));
  mapi_->OpenPropertyResults = {E_ACCESSDENIED};
  EXPECT_RAISES(prop->OpenBinProperty(*GetPropInfo(PR_RTF_COMPRESSED), 0, alReadWrite, false), EMAPI_NO_ACCESS,
                E_ACCESSDENIED,
                u"TVoMAPIProp.OpenProperty failed!\r\nThe caller has insufficient permissions to access the property.");
  EXPECT_RAISES(prop->OpenBinProperty(*GetPropInfo(PR_BODY_W), 0, alReadOnly, false), EMAPI_NOT_FOUND,
                MakeHResult(0x8004010F),
                u"TVoMAPIProp.OpenProperty failed!\r\nThe requested property does not exist and MAPI_CREATE was not "
                u"set in the ulFlags parameter.");
  EXPECT_RAISES(prop->OpenIntfProperty(PROP_TAG(PT_OBJECT, 0x3701), IID_IMAPIProp, 0, 0, alReadOnly, false),
                EMAPI_INTERFACE_NOT_SUPPORTED, MakeHResult(0x80004002),
                u"TVoMAPIProp.OpenProperty failed!\r\nThe requested interface is not supported for this property.");
}

TEST_F(WrapperTest, SourceKeyNeedsExchange) {
  mapi_->SetBinary(PROP_TAG(PT_BINARY, 0x65E0), {9, 8});
  auto prop = NewProp();
  EXPECT_RAISES(prop->Get_SourceKey(), EMAPI_NO_SUPPORT, MakeHResult(0x80040102),
                u"This property is only supported by Exchange!");
  session_->Exchange = true;
  EXPECT_EQ(EntryIDToStr(prop->Get_SourceKey()), u"0908");
}

TEST_F(WrapperTest, RetrieveAllPropertiesNamesNamedTags) {
  auto prop = NewProp();
  const TVoMAPIPropTag named = prop->GetPropTag(*GetPropInfo(NPR_NAMEREPLYTO_W), true);
  mapi_->SetText(named, u"a@b.example");
  mapi_->SetLong(PROP_TAG(PT_LONG, 0x0E08), 5);
  auto fresh = NewProp();
  fresh->RetrieveAllProperties();
  EXPECT_EQ(fresh->Items().Get_Count(), 2);
  EXPECT_EQ(fresh->PropByName(NPR_NAMEREPLYTO_W)->Get_AsString(), u"a@b.example");
  fresh->DeleteProperty(PR_MESSAGE_SIZE);
  EXPECT_EQ(mapi_->Values.count(0x0E08), 0u);
  mapi_->NamesResult = E_INVALIDARG;
  EXPECT_RAISES(prop->GetNamesFromIDs({}), EMAPI_INVALID_PARAMETER, E_INVALIDARG,
                u"TVoMAPIProp.GetPropTagByName failed!\r\nThe cValues member of one or more of the entries in the "
                u"property tag array pointed to by lppPropTags is set to zero.");
}

TEST_F(WrapperTest, DisplayPropertiesNeedsARegisteredViewer) {
  auto prop = NewProp();
  EXPECT_RAISES(prop->DisplayProperties(), EMAPI_CALL_FAILED, E_FAIL,
                u"TVoMAPIProp.DisplayProperties failed!\r\nNo property viewer has been registered. Link one of the "
                u"two property-viewer units of the user-interface add-on, which register themselves with "
                u"SetShowPropertiesProc.");
  IVoMAPIProp* shown = nullptr;
  SetShowPropertiesProc([&](IVoMAPIProp* p) { shown = p; });
  prop->DisplayProperties();
  SetShowPropertiesProc(nullptr);
  EXPECT_EQ(shown, static_cast<IVoMAPIProp*>(prop.get()));
}

}  // namespace
}  // namespace orba::test
