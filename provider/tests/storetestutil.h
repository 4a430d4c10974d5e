// Shared pieces of the message store tests that run through the session: a profile with
// a configured store service, the default store and its Inbox, single property reads,
// and an advise sink that keeps object notifications.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "props/tags.h"
#include "sessiontestutil.h"

namespace orba::store::testing {

inline LPWSTR Wide(const char16_t* text) { return reinterpret_cast<LPWSTR>(const_cast<char16_t*>(text)); }

// Adds a configured store service to the profile "Work" ("MSPST MS": the file
// files/<file> under home; "MSEMS": the mailbox "alice" on the server "mail1").
inline void AddStoreService(const std::filesystem::path& home, const char* service, const char* file = "mail.pst") {
  const bool mailbox = std::strcmp(service, "MSEMS") == 0;
  ComPtr<IProfAdmin> admin;
  ASSERT_EQ(MAPIAdminProfiles(0, admin.Out()), S_OK);
  ComPtr<IMsgServiceAdmin> services;
  ASSERT_EQ(admin->AdminServices(A("Work"), nullptr, 0, 0, services.Out()), S_OK);
  // The new service is the one whose UID was not there before.
  auto uids = [&] {
    std::vector<Bytes> out;
    ComPtr<IMAPITable> table;
    EXPECT_EQ(services->GetMsgServiceTable(0, table.Out()), S_OK);
    SizedSPropTagArray<1> columns{1, {tags::kServiceUid}};
    EXPECT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
    LPSRowSet rows = nullptr;
    EXPECT_EQ(table->QueryRows(100, 0, &rows), S_OK);
    for (ULONG i = 0; rows && i < rows->cRows; ++i) {
      const SBinary& bin = rows->aRow[i].lpProps[0].Value.bin;
      out.emplace_back(bin.lpb, bin.lpb + bin.cb);
    }
    FreeProws(rows);
    return out;
  };
  std::vector<Bytes> before = uids();
  ASSERT_EQ(services->CreateMsgService(A(service), A("Mail"), 0, 0), S_OK);
  MAPIUID uid{};
  for (const Bytes& id : uids())
    if (std::find(before.begin(), before.end(), id) == before.end() && id.size() == sizeof(uid.ab))
      std::memcpy(uid.ab, id.data(), sizeof(uid.ab));
  std::string path = (home / "files" / file).string();
  SPropValue values[2]{};
  values[0].ulPropTag = mailbox ? tags::kProfileUnresolvedNameA : tags::kPstPathA;
  values[0].Value.lpszA = mailbox ? A("alice") : path.data();
  values[1].ulPropTag = tags::kProfileUnresolvedServerA;
  values[1].Value.lpszA = A("mail1");
  ASSERT_EQ(services->ConfigureMsgService(&uid, 0, 0, mailbox ? 2 : 1, values), S_OK);
}

// Creates the profile "Work" with one store service (see AddStoreService).
inline void CreateStoreProfile(const std::filesystem::path& home, const char* service) {
  ComPtr<IProfAdmin> admin;
  ASSERT_EQ(MAPIAdminProfiles(0, admin.Out()), S_OK);
  ASSERT_EQ(admin->CreateProfile(A("Work"), nullptr, 0, 0), S_OK);
  AddStoreService(home, service);
}

// Opens the first store of the session's stores table for writing; storeId receives its
// entry ID.
inline void OpenDefaultStore(IMAPISession* session, ComPtr<IMsgStore>& store, Bytes& storeId) {
  ComPtr<IMAPITable> stores;
  ASSERT_EQ(session->GetMsgStoresTable(0, stores.Out()), S_OK);
  SizedSPropTagArray<1> columns{1, {tags::kEntryId}};
  ASSERT_EQ(stores->SetColumns(columns.Ptr(), 0), S_OK);
  LPSRowSet rows = nullptr;
  ASSERT_EQ(stores->QueryRows(10, 0, &rows), S_OK);
  ASSERT_GE(rows->cRows, 1u);
  SBinary id = rows->aRow[0].lpProps[0].Value.bin;
  storeId.assign(id.lpb, id.lpb + id.cb);
  FreeProws(rows);
  ASSERT_EQ(session->OpenMsgStore(0, static_cast<ULONG>(storeId.size()), reinterpret_cast<LPENTRYID>(storeId.data()),
                                  nullptr, MDB_WRITE | MDB_NO_DIALOG, store.Out()),
            S_OK);
}

// An entry ID as MAPI's arguments take it.
inline LPENTRYID Id(Bytes& bytes) { return reinterpret_cast<LPENTRYID>(bytes.data()); }
inline ULONG Cb(const Bytes& bytes) { return static_cast<ULONG>(bytes.size()); }

// An entry list over entry IDs the caller keeps alive.
struct EntryList {
  explicit EntryList(std::vector<Bytes>& ids) {
    for (Bytes& id : ids) bins.push_back({Cb(id), id.data()});
    list.cValues = static_cast<ULONG>(bins.size());
    list.lpbin = bins.data();
  }
  std::vector<SBinary> bins;
  ENTRYLIST list{};
};

// The subfolder name of parent, created when missing.
inline ComPtr<IMAPIFolder> Child(IMAPIFolder* parent, const char16_t* name) {
  ComPtr<IMAPIFolder> folder;
  EXPECT_EQ(
      parent->CreateFolder(FOLDER_GENERIC, W(name), nullptr, nullptr, MAPI_UNICODE | OPEN_IF_EXISTS, folder.Out()),
      S_OK);
  return folder;
}

// The names of a folder's direct subfolders, sorted.
inline std::vector<std::u16string> Subfolders(IMAPIFolder* folder) {
  ComPtr<IMAPITable> table;
  EXPECT_EQ(folder->GetHierarchyTable(0, table.Out()), S_OK);
  SizedSPropTagArray<1> columns{1, {tags::kDisplayNameW}};
  EXPECT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
  LPSRowSet rows = nullptr;
  EXPECT_EQ(table->QueryRows(100, 0, &rows), S_OK);
  std::vector<std::u16string> out;
  for (ULONG i = 0; rows && i < rows->cRows; ++i)
    out.push_back(reinterpret_cast<const char16_t*>(rows->aRow[i].lpProps[0].Value.lpszW));
  FreeProws(rows);
  std::sort(out.begin(), out.end());
  return out;
}

// The entry ID of the store's receive folder for the default class: the Inbox.
inline Bytes InboxId(IMsgStore* store) {
  ULONG cb = 0;
  LPENTRYID id = nullptr;
  EXPECT_EQ(store->GetReceiveFolder(nullptr, 0, &cb, &id, nullptr), S_OK);
  Bytes bytes(reinterpret_cast<BYTE*>(id), reinterpret_cast<BYTE*>(id) + cb);
  MAPIFreeBuffer(id);
  return bytes;
}

inline ComPtr<IMAPIFolder> OpenFolder(IMsgStore* store, Bytes id, ULONG flags = MAPI_MODIFY) {
  ULONG type = 0;
  ComPtr<IUnknown> unknown;
  EXPECT_EQ(store->OpenEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()), &IID_IMAPIFolder,
                             flags, &type, unknown.Out()),
            S_OK);
  if (unknown) {
    EXPECT_EQ(type, ULONG(MAPI_FOLDER));
  }
  return ComPtr<IMAPIFolder>(static_cast<IMAPIFolder*>(unknown.get()));
}

// One property of an object, read with GetProps; absent values read as empty or
// 0xFFFFFFFF.
inline Bytes Binary(IMAPIProp* object, ULONG tag) {
  SizedSPropTagArray<1> wanted{1, {tag}};
  ULONG count = 0;
  LPSPropValue values = nullptr;
  EXPECT_EQ(object->GetProps(wanted.Ptr(), 0, &count, &values), S_OK);
  Bytes bytes;
  if (values && values[0].ulPropTag == tag)
    bytes.assign(values[0].Value.bin.lpb, values[0].Value.bin.lpb + values[0].Value.bin.cb);
  MAPIFreeBuffer(values);
  return bytes;
}
inline std::u16string Text(IMAPIProp* object, ULONG tag) {
  SizedSPropTagArray<1> wanted{1, {tag}};
  ULONG count = 0;
  LPSPropValue values = nullptr;
  EXPECT_EQ(object->GetProps(wanted.Ptr(), 0, &count, &values), S_OK);
  std::u16string text;
  if (values && values[0].ulPropTag == tag) text = reinterpret_cast<const char16_t*>(values[0].Value.lpszW);
  MAPIFreeBuffer(values);
  return text;
}
inline ULONG Long(IMAPIProp* object, ULONG tag) {
  SizedSPropTagArray<1> wanted{1, {tag}};
  ULONG count = 0;
  LPSPropValue values = nullptr;
  EXPECT_EQ(object->GetProps(wanted.Ptr(), 0, &count, &values), S_OK);
  ULONG result = values && values[0].ulPropTag == tag ? values[0].Value.ul : 0xFFFFFFFF;
  MAPIFreeBuffer(values);
  return result;
}

// Keeps the published fields of the object notifications it receives.
class TObjectSink final : public TVoComObject<TVoRefCounted, IMAPIAdviseSink> {
 public:
  struct Event {
    ULONG type;
    ULONG objType;
    Bytes entryId, parentId, oldId, oldParentId;
  };
  STDMETHOD_(ULONG, OnNotify)(ULONG count, LPNOTIFICATION notifications) override {
    for (ULONG i = 0; i < count; ++i) {
      const OBJECT_NOTIFICATION& obj = notifications[i].info.obj;
      auto bytes = [](ULONG cb, LPENTRYID id) {
        return id ? Bytes(reinterpret_cast<BYTE*>(id), reinterpret_cast<BYTE*>(id) + cb) : Bytes{};
      };
      events.push_back({notifications[i].ulEventType, obj.ulObjType, bytes(obj.cbEntryID, obj.lpEntryID),
                        bytes(obj.cbParentID, obj.lpParentID), bytes(obj.cbOldID, obj.lpOldID),
                        bytes(obj.cbOldParentID, obj.lpOldParentID)});
    }
    return 0;
  }
  std::vector<Event> events;
};

}  // namespace orba::store::testing
