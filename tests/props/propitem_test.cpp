// Property values and items: tag resolution, typed accessors, the error flag, the
// stream read of over-long texts, and the loaded-properties list.
#include <gtest/gtest.h>

#include "common/mapierror.h"
#include "orba/VoMAPIPropItems.h"
#include "orba/common/dates.h"
#include "orba/common/encoding.h"
#include "orba/common/guidtext.h"
#include "propowner_double.h"

namespace orba {
namespace {

using test::TTestPropObject;

SPropValue Loaded(ULONG tag) {
  SPropValue prop{};
  prop.ulPropTag = tag;
  return prop;
}

class PropItemTest : public ::testing::Test {
 protected:
  ComPtr<TTestPropObject> owner = MakeComObject<TTestPropObject>();
  ComPtr<TVoMAPIPropItem> Item(TVoMAPIPropDef def) {
    return MakeComObject<TVoMAPIPropItem>(owner.get(), GetPropInfo(def));
  }
};

TEST_F(PropItemTest, TagsResolveThroughTheOwner) {
  EXPECT_THROW(TVoMAPIPropValue(nullptr, GetPropInfo(PR_SUBJECT)), EVoMAPIException);
  EXPECT_EQ(Item(PR_SUBJECT)->Get_PropTag(), 0x0037001Fu);
  EXPECT_EQ(Item(NPR_CONTACT_FILEUNDER)->Get_PropTag() >> 16, 0x8100u);
  auto item = Item(PR_IMPORTANCE);
  item->Set_AsInteger(2);
  const SPropValue& prop = item->PropValue().GetMAPIValue();
  EXPECT_EQ(prop.Value.l, 2);
}

TEST_F(PropItemTest, NamedPropertyWithoutPropertyObjectIsRefused) {
  struct TLoose : TVoComObject<TVoAutoIntfObject, IUnknown>, TVoMAPIValueOwner {
    TVoAutoIntfObject* GetOwnerObject() override { return this; }
    void CheckActive(std::u16string_view) override {}
    TVoMAPIValueOwner* GetParentOwner() override { return nullptr; }
    TVoMAPIPropOwner* GetPropOwner() override { return nullptr; }
  };
  auto loose = MakeComObject<TLoose>();
  TVoMAPIPropValue value(loose.get(), GetPropInfo(NPR_CONTACT_FILEUNDER));
  EXPECT_RAISES(value.ResolveTag(), EVoMAPIException, MakeHResult(0x80040102),
                u"Named Property NPR_CONTACT_FILEUNDER requested, however Named Properties are not supported!");
  TVoMAPIPropValue standard(loose.get(), GetPropInfo(PR_SUBJECT));
  EXPECT_EQ(standard.ResolveTag(), 0x0037001Fu);
}

TEST_F(PropItemTest, LoadedValuesKeepTheRegisteredTypeAndTheErrorCode) {
  TVoMAPIPropValue value(owner.get(), GetPropInfo(PR_SUBJECT));
  SPropValue prop = Loaded(PROP_TAG(PT_ERROR, 0x0037));
  value.SetMAPIValue(prop);
  EXPECT_EQ(value.Tag(), 0x0037001Fu);
  EXPECT_TRUE(value.Value().IsNull());
  // A standard property keeps its tag when MAPI's identifier differs.
  SPropValue other = Loaded(PROP_TAG(PT_UNICODE, 0x1000));
  value.SetMAPIValue(other);
  EXPECT_EQ(value.Tag(), 0x0037001Fu);
  auto item = Item(PR_BODY);
  SPropValue error = Loaded(PROP_TAG(PT_ERROR, 0x1000));
  error.Value.err = MakeHResult(0x8007000E);
  item->LoadMAPIValue(error);
  EXPECT_TRUE(item->IsError());
  EXPECT_EQ(item->Get_AsInteger(), int32_t(0x8007000E));
  item->Set_Value(TVoVariant(u"text"));
  EXPECT_FALSE(item->IsError());
  EXPECT_TRUE(item->Get_Modified());
}

TEST_F(PropItemTest, OverLongTextReadThroughUnicodeStream) {
  WideString body = u"Grüße " + WideString(10000, u'x');
  TVoBytes bytes;
  for (char16_t c : body) bytes.insert(bytes.end(), {uint8_t(c), uint8_t(c >> 8)});
  bytes.insert(bytes.end(), {0, 0});  // the terminator some stores include
  owner->MAPIProp->Streams[0x1000001F] = bytes;
  auto item = Item(PR_BODY);
  SPropValue prop = Loaded(PROP_TAG(PT_ERROR, 0x1000));
  prop.Value.err = MakeHResult(0x8007000E);
  item->LoadMAPIValue(prop);
  EXPECT_EQ(item->Get_AsString(), body);
  // A failing stream is reported with the owner's class.
  owner->MAPIProp->Streams.clear();
  item->LoadMAPIValue(Loaded(PROP_TAG(PT_ERROR, 0x1000)));
  try {
    item->Get_AsString();
    ADD_FAILURE();
  } catch (const EVoException& e) {
    EXPECT_EQ(e.Code(), MakeHResult(0x8004010F));
    EXPECT_NE(e.Message().find(u"TTestPropObject"), WideString::npos);
  }
}

TEST_F(PropItemTest, OverLongTextReadAsEightBitWithoutUnicode) {
  owner->Unicode = false;
  const AnsiString text = TVoEncoding::ConvertA(u"Grüße");
  owner->MAPIProp->Streams[0x1000001E] = TVoBytes(text.begin(), text.end());
  auto item = MakeComObject<TVoMAPIPropItem>(owner.get(), GetPropInfo(PR_BODY, false));
  item->LoadMAPIValue(Loaded(PROP_TAG(PT_ERROR, 0x1000)));
  EXPECT_EQ(item->Get_AsString(), u"Grüße");
  EXPECT_EQ(owner->MAPIProp->OpenedTags.back(), 0x1000001Eu);
}

TEST_F(PropItemTest, TypedAccessors) {
  auto item = Item(PR_SUBJECT);
  EXPECT_EQ(item->Get_AsList(), TVoVariant(TVoVariant::VariantArray{}));
  item->Set_AsBoolean(true);
  EXPECT_EQ(item->Get_AsBoolean().Raw(), 0xFFFF);
  item->Set_AsDateTime(45000.25);
  EXPECT_EQ(item->Get_Value().VarType(), varDate);
  item->Set_AsGUID(PSETID_Velmora);
  EXPECT_EQ(item->Get_AsString(), u"{52A474EE-E1A3-4E63-8FFC-FCDACB06A7FC}");
  item->Set_AsList(TVoVariant(u"a;b"));
  EXPECT_EQ(item->Get_Value(), TVoVariant(TVoVariant::VariantArray{TVoVariant(u"a"), TVoVariant(u"b")}));
  auto entryID = Item(PR_ENTRYID);
  entryID->Set_Value(TVoVariant(TVoVariant::ByteArray{0x00, 0xFF, 0x10}));
  EXPECT_EQ(entryID->Get_AsString(), u"00FF10");
}

TEST_F(PropItemTest, SystemTimeAccessorsKeepEveryDigitUpToMAPI) {
  auto item = Item(PR_CLIENT_SUBMIT_TIME);
  SPropValue prop = Loaded(0x00390040);
  prop.Value.ft = FILETIME{0x12345679, 0x01D9ABCD};  // not a whole millisecond
  item->LoadMAPIValue(prop);
  const FILETIME ft = item->Get_AsSystemTime();
  EXPECT_EQ(ft.dwLowDateTime, 0x12345679u);
  EXPECT_EQ(ft.dwHighDateTime, 0x01D9ABCDu);
  item = Item(PR_CLIENT_SUBMIT_TIME);
  const FILETIME exact{0x12345679, 0x01D9ABCD};  // finer than a millisecond
  item->Set_AsSystemTime(exact);
  for (const FILETIME& ft : {item->Get_AsSystemTime(), item->PropValue().GetMAPIValue().Value.ft}) {
    EXPECT_EQ(ft.dwLowDateTime, 0x12345679u);
    EXPECT_EQ(ft.dwHighDateTime, 0x01D9ABCDu);
  }
  // Another assignment forgets the exact time.
  const TDateTime later = EncodeDateTime(2021, 3, 1, 12, 0, 0, 0);
  item->Set_AsDateTime(later);
  EXPECT_EQ(FileTimeToDateTime(item->PropValue().GetMAPIValue().Value.ft), later);
}

TEST_F(PropItemTest, SettersCheckTheOwner) {
  auto item = Item(PR_SUBJECT);
  owner->Active = false;
  EXPECT_RAISES(item->Set_AsString(u"x"), EVoException, E_ACCESSDENIED,
                u"TTestPropObject.Set_AsString failed.\r\nThe object is not, or no longer, active!");
  EXPECT_FALSE(item->Get_Modified());  // a refused change leaves no trace
  EXPECT_FALSE(item->Get_Modified());
  owner = nullptr;
  EXPECT_RAISES(
      item->Set_Value(TVoVariant(u"x")), EVoException, E_FAIL,
      u"Failed to execute TVoMAPIPropItem.Set_Value!\r\nThe parentobject of this instance has been destroyed!");
}

TEST_F(PropItemTest, ItemsAddFindDeleteAndPropByTag) {
  auto items = MakeComObject<TVoMAPIPropItems>(owner.get());
  ComPtr<IVoMAPIProperty> subject = items->Add(PR_SUBJECT);
  EXPECT_EQ(items->Add(PR_SUBJECT_W).get(), subject.get());  // same property and type
  items->Add(PR_IMPORTANCE);
  EXPECT_EQ(items->Get_Count(), 2);
  EXPECT_TRUE(items->HasProp(PR_SUBJECT_A));  // any string width
  EXPECT_EQ(items->FindPropByTag(0x00170003), items->Items()[1].get());
  items->DeleteProperty(*GetPropInfo(PR_SUBJECT_A));
  EXPECT_EQ(items->Get_Count(), 1);
  EXPECT_RAISES(items->Delete(5), EVoException, E_INVALIDARG, u"List index out of bounds (5)");
  items->Clear();
  EXPECT_EQ(items->Get_Count(), 0);
  // Error values are not had.
  items->PropByTag(PROP_TAG(PT_ERROR, 0x0037), false)->LoadMAPIValue(Loaded(PROP_TAG(PT_ERROR, 0x0037)));
  EXPECT_FALSE(items->HasProp(PR_SUBJECT));
  // PropByTag registers unknown tags and refuses named ones.
  EXPECT_RAISES(items->PropByTag(0x80010003, true), EVoException, E_INVALIDARG,
                u"The PropByTag does not support named properties!");
  TVoMAPIPropItem* item = items->PropByTag(0x7AB10003, true);
  EXPECT_EQ(item->Get_PropName(), u"$7AB10003");
  EXPECT_EQ(items->PropByTag(0x7AB10003, true), item);
}

}  // namespace
}  // namespace orba
