// Folders and messages of Orba Store for the integration tests, made with MAPI's own
// calls on the store (the library's store, folder and message wrappers come later).
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "integration/orbaprofile.h"
#include "mapi/mapidefs.h"
#include "orba/VoMAPIProps.h"
#include "orba/common/comptr.h"

namespace orba::test {

// One method of a double that wraps a real Orba Store object in inner_ and changes some
// of its answers: the others are forwarded.
#define ORBA_TEST_FORWARD(Method, Params, Args) \
  HRESULT STDMETHODCALLTYPE Method Params override { return inner_->Method Args; }

// The property values of one message, holding the memory they point to.
class TValues {
 public:
  TValues& Text(TVoMAPIPropDef Prop, std::u16string Value) {
    texts_.push_back(std::move(Value));
    SPropValue& v = Add(Prop);
    v.Value.lpszW = texts_.back().data();
    return *this;
  }
  // A PT_MV_UNICODE value under Tag (named properties' tags come from the store).
  TValues& Texts(ULONG Tag, std::vector<std::u16string> Values) {
    std::vector<LPWSTR>& pointers = pointers_.emplace_back();
    for (std::u16string& value : Values) pointers.push_back(texts_.emplace_back(std::move(value)).data());
    SPropValue& v = props_.emplace_back();
    v.ulPropTag = Tag;
    v.Value.MVszW = SWStringArray{ULONG(pointers.size()), pointers.data()};
    return *this;
  }
  TValues& Long(TVoMAPIPropDef Prop, LONG Value) {
    Add(Prop).Value.l = Value;
    return *this;
  }
  TValues& Time(TVoMAPIPropDef Prop, uint64_t FileTime) {
    Add(Prop).Value.ft = FILETIME{DWORD(FileTime), DWORD(FileTime >> 32)};
    return *this;
  }
  SPropValue* Props() { return props_.data(); }
  ULONG Count() const { return ULONG(props_.size()); }

 private:
  SPropValue& Add(TVoMAPIPropDef Prop) {
    SPropValue& v = props_.emplace_back();
    v.ulPropTag = GetPropTag(Prop);
    return v;
  }
  std::deque<std::u16string> texts_;
  std::deque<std::vector<LPWSTR>> pointers_;
  std::vector<SPropValue> props_;
};

// A new folder Name in the store's IPM subtree.
inline ComPtr<IMAPIFolder> CreateTestFolder(IMsgStore& Store, const char* Name) {
  SizedSPropTagArray<1> columns{1, {GetPropTag(PR_IPM_SUBTREE_ENTRYID)}};
  ULONG count = 0;
  LPSPropValue values = nullptr;
  EXPECT_EQ(Store.GetProps(columns.Ptr(), 0, &count, &values), S_OK);
  ULONG type = 0;
  ComPtr<IUnknown> subtree;
  EXPECT_EQ(Store.OpenEntry(values[0].Value.bin.cb, reinterpret_cast<LPENTRYID>(values[0].Value.bin.lpb),
                            &IID_IMAPIFolder, MAPI_MODIFY, &type, subtree.Out()),
            S_OK);
  orba::MAPIFreeBuffer(values);
  ComPtr<IMAPIFolder> folder;
  EXPECT_EQ(subtree.Query<IMAPIFolder>(IID_IMAPIFolder)
                ->CreateFolder(FOLDER_GENERIC, Text(Name), nullptr, nullptr, 0, folder.Out()),
            S_OK);
  return folder;
}

// A message in Folder with Values, saved once.
inline void CreateTestMessage(IMAPIFolder& Folder, TValues& Values) {
  ComPtr<IMessage> message;
  ASSERT_EQ(Folder.CreateMessage(nullptr, 0, message.Out()), S_OK);
  ASSERT_EQ(message->SetProps(Values.Count(), Values.Props(), nullptr), S_OK);
  ASSERT_EQ(message->SaveChanges(0), S_OK);
}

}  // namespace orba::test
