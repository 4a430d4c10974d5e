// What the tests of Orba Store's message stores share: profiles with store services, a
// session logged on to one with its default store and Inbox, folders, messages,
// recipients and attachments made in one call, entry IDs opened, columns of tables,
// named properties, and a store engine of its own in a fresh ORBA_HOME.
#pragma once

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mapiobjects/storeproviders.h"
#include "orba/common/utf8.h"
#include "profiles/services.h"
#include "storage/storeengine.h"
#include "testsupport.h"

namespace orba::store::testing {

using Names = std::vector<std::u16string>;

inline constexpr ULONG kBodyW = PROP_TAG(PT_UNICODE, 0x1000);
inline constexpr ULONG kEmailAddressA = PROP_TAG(PT_STRING8, 0x3003);

// --- table columns ------------------------------------------------------------------

inline std::u16string TextOf(const SPropValue& value) {
  if (PROP_TYPE(value.ulPropTag) == PT_UNICODE) return WideOf(value.Value.lpszW);
  if (PROP_TYPE(value.ulPropTag) == PT_STRING8) return FromUtf8(value.Value.lpszA);
  return u"";
}
inline Bytes BytesOf(const SPropValue& value) {
  return PROP_TYPE(value.ulPropTag) == PT_BINARY ? Bytes(value.Value.bin.lpb, value.Value.bin.lpb + value.Value.bin.cb)
                                                 : Bytes();
}
// Every row from the table's start, with the given columns.
inline TRows All(IMAPITable* table, std::vector<ULONG> columns) {
  EXPECT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
  return Query(table, std::move(columns));
}
// One column of every row (missing values read as empty, or 0xFFFFFFFF).
inline std::vector<std::u16string> Texts(IMAPITable* table, ULONG tag) {
  std::vector<std::u16string> out;
  TRows rows = All(table, {tag});
  for (ULONG i = 0; i < rows.size(); ++i) out.push_back(TextOf(rows[i][0]));
  return out;
}
inline std::vector<Bytes> Binaries(IMAPITable* table, ULONG tag) {
  std::vector<Bytes> out;
  TRows rows = All(table, {tag});
  for (ULONG i = 0; i < rows.size(); ++i) out.push_back(BytesOf(rows[i][0]));
  return out;
}
inline std::vector<ULONG> Longs(IMAPITable* table, ULONG tag) {
  std::vector<ULONG> out;
  TRows rows = All(table, {tag});
  for (ULONG i = 0; i < rows.size(); ++i) out.push_back(rows[i][0].ulPropTag == tag ? rows[i][0].Value.ul : 0xFFFFFFFF);
  return out;
}
template <class T>
std::vector<T> Sorted(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  return values;
}

inline ComPtr<IMAPITable> ContentsOf(IMAPIContainer* folder, ULONG flags = 0) {
  ComPtr<IMAPITable> table;
  EXPECT_EQ(folder->GetContentsTable(flags, table.Out()), S_OK);
  return table;
}
inline ComPtr<IMAPITable> HierarchyOf(IMAPIContainer* folder, ULONG flags = 0) {
  ComPtr<IMAPITable> table;
  EXPECT_EQ(folder->GetHierarchyTable(flags, table.Out()), S_OK);
  return table;
}
// The subjects of a folder's messages (MAPI_ASSOCIATED in flags: its associated ones), sorted.
inline std::vector<std::u16string> Subjects(IMAPIContainer* folder, ULONG flags = 0) {
  auto table = ContentsOf(folder, flags);
  return table ? Sorted(Texts(table.get(), tags::kSubjectW)) : std::vector<std::u16string>{};
}
// The entry IDs of a folder's messages, in table order.
inline std::vector<Bytes> MessageIds(IMAPIContainer* folder, ULONG flags = 0) {
  return Binaries(ContentsOf(folder, flags).get(), tags::kEntryId);
}
// The names of a folder's direct subfolders, sorted.
inline std::vector<std::u16string> Subfolders(IMAPIContainer* folder) {
  return Sorted(Texts(HierarchyOf(folder).get(), tags::kDisplayNameW));
}

// --- entry IDs and objects ----------------------------------------------------------

inline Bytes EntryIdOf(IMAPIProp* object) { return Binary(object, tags::kEntryId); }

// What OpenEntry answered.
struct TOpened {
  HRESULT hr = S_OK;
  ULONG type = 0;
  ComPtr<IUnknown> object;
};
// OpenEntry of source (a session, a store or a container).
template <class Source>
TOpened Open(Source* source, Bytes id, ULONG flags = MAPI_BEST_ACCESS, LPCIID iid = nullptr) {
  TOpened opened;
  opened.hr = source->OpenEntry(Cb(id), id.empty() ? nullptr : Id(id), iid, flags, &opened.type, opened.object.Out());
  return opened;
}
// A folder or a message opened through source; empty, after a failed expectation, when it fails.
template <class Source>
ComPtr<IMAPIFolder> OpenFolder(Source* source, Bytes id, ULONG flags = MAPI_MODIFY) {
  TOpened opened = Open(source, std::move(id), flags, &IID_IMAPIFolder);
  EXPECT_EQ(opened.hr, S_OK);
  if (opened.object) {
    EXPECT_EQ(opened.type, ULONG{MAPI_FOLDER});
  }
  return ComPtr<IMAPIFolder>(opened.object);
}
template <class Source>
ComPtr<IMessage> OpenMessage(Source* source, Bytes id, ULONG flags = MAPI_MODIFY) {
  TOpened opened = Open(source, std::move(id), flags);
  EXPECT_EQ(opened.hr, S_OK);
  if (opened.object) {
    EXPECT_EQ(opened.type, ULONG{MAPI_MESSAGE});
  }
  return ComPtr<IMessage>(opened.object);
}
// The store's receive folder for a message class (null: the default class).
inline Bytes ReceiveFolderOf(IMsgStore* store, const char* messageClass = nullptr) {
  ULONG cb = 0;
  LPENTRYID id = nullptr;
  EXPECT_EQ(store->GetReceiveFolder(A(messageClass), 0, &cb, &id, nullptr), S_OK);
  Bytes bytes(reinterpret_cast<BYTE*>(id), reinterpret_cast<BYTE*>(id) + cb);
  MAPIFreeBuffer(id);
  return bytes;
}
inline Bytes InboxId(IMsgStore* store) { return ReceiveFolderOf(store); }
inline bool SameEntry(IMsgStore* store, Bytes a, Bytes b) {
  ULONG same = 0;
  EXPECT_EQ(store->CompareEntryIDs(Cb(a), Id(a), Cb(b), Id(b), 0, &same), S_OK);
  return same != 0;
}

// --- folders, messages, recipients, attachments -------------------------------------

// A new subfolder of parent (OPEN_IF_EXISTS in flags: or the one of that name).
inline ComPtr<IMAPIFolder> NewFolder(IMAPIFolder* parent, const char16_t* name, ULONG type = FOLDER_GENERIC,
                                     ULONG flags = 0) {
  ComPtr<IMAPIFolder> folder;
  EXPECT_EQ(parent->CreateFolder(type, W(name), nullptr, nullptr, MAPI_UNICODE | flags, folder.Out()), S_OK);
  return folder;
}
inline ComPtr<IMAPIFolder> Child(IMAPIFolder* parent, const char16_t* name) {
  return NewFolder(parent, name, FOLDER_GENERIC, OPEN_IF_EXISTS);
}

// A new message of folder with values set (texts point at the caller's strings).
inline ComPtr<IMessage> NewMessage(IMAPIFolder* folder, std::vector<SPropValue> values = {}, ULONG flags = 0) {
  ComPtr<IMessage> message;
  EXPECT_EQ(folder->CreateMessage(nullptr, flags, message.Out()), S_OK);
  if (message && !values.empty()) {
    EXPECT_EQ(Set(message.get(), std::move(values)), S_OK);
  }
  return message;
}
// Saves message (kept open for writing) and answers its entry ID.
inline Bytes Save(IMessage* message) {
  EXPECT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  return EntryIdOf(message);
}
inline Bytes SaveMessage(IMAPIFolder* folder, std::vector<SPropValue> values, ULONG flags = 0) {
  auto message = NewMessage(folder, std::move(values), flags);
  return message ? Save(message.get()) : Bytes();
}
inline Bytes SaveMessage(IMAPIFolder* folder, const std::u16string& subject, ULONG flags = 0) {
  return SaveMessage(folder, {TextValue(tags::kSubjectW, subject)}, flags);
}
// Saves message's subject anew.
inline void SetSubject(IMessage* message, const std::u16string& subject) {
  EXPECT_EQ(Set(message, {TextValue(tags::kSubjectW, subject)}), S_OK);
  EXPECT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
}

// CopyMessages and DeleteMessages of the messages ids of folder from.
inline HRESULT CopyMessages(IMAPIFolder* from, std::vector<Bytes> ids, IMAPIFolder* to, ULONG flags = 0) {
  TEntryList list(ids);
  return from->CopyMessages(&list.list, nullptr, to, 0, nullptr, flags);
}
inline HRESULT DeleteMessages(IMAPIFolder* from, std::vector<Bytes> ids, ULONG flags = 0) {
  TEntryList list(ids);
  return from->DeleteMessages(&list.list, 0, nullptr, flags);
}
// CopyFolder of from's subfolder id into to (renamed when name is given).
inline HRESULT CopyFolder(IMAPIFolder* from, Bytes id, IMAPIFolder* to, const char16_t* name = nullptr,
                          ULONG flags = 0) {
  return from->CopyFolder(Cb(id), Id(id), nullptr, to, W(name), 0, nullptr, flags | (name ? MAPI_UNICODE : 0));
}

// One entry of ModifyRecipients: PR_EMAIL_ADDRESS goes as an 8-bit string.
struct TRecipient {
  TRecipient(ULONG type, std::u16string name) : type(type), name(std::move(name)) {}
  TRecipient(ULONG type, std::u16string name, int rowId) : type(type), name(std::move(name)), rowId(rowId) {}
  TRecipient(ULONG type, std::u16string name, std::u16string email, std::u16string addrType = {})
      : type(type), name(std::move(name)), email(std::move(email)), addrType(std::move(addrType)) {}
  ULONG type;
  std::u16string name;
  std::u16string email;     // set when not empty
  std::u16string addrType;  // set when not empty
  std::optional<ULONG> rowId;
};
inline HRESULT ModifyRecipients(IMessage* message, std::vector<TRecipient> recipients, ULONG flags = MODRECIP_ADD) {
  std::vector<std::string> emails;
  for (const TRecipient& r : recipients) emails.push_back(ToUtf8(r.email));
  std::vector<std::vector<SPropValue>> values(recipients.size());
  auto list = TMapiBuffer<ADRLIST>::Allocate(CbNewADRLIST(recipients.size()));
  list->cEntries = static_cast<ULONG>(recipients.size());
  for (size_t i = 0; i < recipients.size(); ++i) {
    const TRecipient& r = recipients[i];
    values[i] = {LongValue(tags::kRecipientType, r.type), TextValue(tags::kDisplayNameW, r.name)};
    if (!r.email.empty()) {
      SPropValue email{kEmailAddressA, 0, {}};
      email.Value.lpszA = emails[i].data();
      values[i].push_back(email);
    }
    if (!r.addrType.empty()) values[i].push_back(TextValue(tags::kAddrTypeW, r.addrType));
    if (r.rowId) values[i].push_back(LongValue(tags::kRowId, *r.rowId));
    list->aEntries[i].cValues = static_cast<ULONG>(values[i].size());
    list->aEntries[i].rgPropVals = values[i].data();
  }
  return message->ModifyRecipients(flags, list.get());
}
// (type, display name) of each row of the recipient table.
inline std::vector<std::pair<ULONG, std::u16string>> RecipientsOf(IMessage* message) {
  ComPtr<IMAPITable> table;
  EXPECT_EQ(message->GetRecipientTable(MAPI_UNICODE, table.Out()), S_OK);
  std::vector<std::pair<ULONG, std::u16string>> out;
  if (!table) return out;
  TRows rows = All(table.get(), {tags::kRecipientType, tags::kDisplayNameW});
  for (ULONG i = 0; i < rows.size(); ++i) out.emplace_back(rows[i][0].Value.ul, TextOf(rows[i][1]));
  return out;
}
inline std::vector<std::u16string> RecipientNames(IMessage* message) {
  std::vector<std::u16string> names;
  for (auto& [type, name] : RecipientsOf(message)) names.push_back(name);
  return names;
}

inline ComPtr<IAttach> NewAttach(IMessage* message, std::vector<SPropValue> values = {}, ULONG* num = nullptr) {
  ComPtr<IAttach> attach;
  ULONG number = 0;
  EXPECT_EQ(message->CreateAttach(nullptr, 0, num ? num : &number, attach.Out()), S_OK);
  if (attach && !values.empty()) {
    EXPECT_EQ(Set(attach.get(), std::move(values)), S_OK);
  }
  return attach;
}
// A new embedded message in attach (PR_ATTACH_DATA_OBJ opened to create it).
inline ComPtr<IMessage> NewEmbedded(IAttach* attach) {
  ComPtr<IMessage> embedded;
  EXPECT_EQ(attach->OpenProperty(tags::kAttachDataObj, &IID_IMessage, 0, MAPI_CREATE | MAPI_MODIFY,
                                 reinterpret_cast<LPUNKNOWN*>(embedded.Out())),
            S_OK);
  return embedded;
}
// The embedded message of message's attachment num, opened with flags; attach keeps the
// attachment when given.
inline ComPtr<IMessage> OpenEmbedded(IMessage* message, ULONG num, ULONG flags = 0, ComPtr<IAttach>* attach = nullptr) {
  ComPtr<IAttach> holder;
  ComPtr<IMessage> embedded;
  EXPECT_EQ(message->OpenAttach(num, nullptr, flags, holder.Out()), S_OK);
  if (holder) {
    EXPECT_EQ(holder->OpenProperty(tags::kAttachDataObj, &IID_IMessage, 0, flags,
                                   reinterpret_cast<LPUNKNOWN*>(embedded.Out())),
              S_OK);
  }
  if (attach) *attach = holder;
  return embedded;
}
inline ComPtr<IMAPITable> AttachmentsOf(IMessage* message) {
  ComPtr<IMAPITable> table;
  EXPECT_EQ(message->GetAttachmentTable(MAPI_UNICODE, table.Out()), S_OK);
  return table;
}
inline std::vector<std::u16string> AttachmentNames(IMessage* message) {
  auto table = AttachmentsOf(message);
  return table ? Texts(table.get(), tags::kAttachLongFilenameW) : std::vector<std::u16string>{};
}

// The identifier object's store maps a named property to, as a tag of type.
inline ULONG NamedTag(IMAPIProp* object, const GUID& set, std::u16string name, ULONG type) {
  MAPINAMEID id{const_cast<GUID*>(&set), MNID_STRING, {}};
  id.Kind.lpwstrName = reinterpret_cast<LPWSTR>(name.data());
  LPMAPINAMEID ids[] = {&id};
  TMapiBuffer<SPropTagArray> found;
  EXPECT_EQ(object->GetIDsFromNames(1, ids, MAPI_CREATE, found.Out()), S_OK);
  return found ? CHANGE_PROP_TYPE(found->aulPropTag[0], type) : 0;
}
inline ULONG NamedTag(IMAPIProp* object, const GUID& set, LONG number, ULONG type) {
  MAPINAMEID id{const_cast<GUID*>(&set), MNID_ID, {}};
  id.Kind.lID = number;
  LPMAPINAMEID ids[] = {&id};
  TMapiBuffer<SPropTagArray> found;
  EXPECT_EQ(object->GetIDsFromNames(1, ids, MAPI_CREATE, found.Out()), S_OK);
  return found ? CHANGE_PROP_TYPE(found->aulPropTag[0], type) : 0;
}

// A sink advised on store for mask (on the object id, when given).
inline ComPtr<TObjectSink> Listen(IMsgStore* store, ULONG mask, Bytes id = {}) {
  auto sink = MakeComObject<TObjectSink>();
  ULONG_PTR connection = 0;
  EXPECT_EQ(store->Advise(Cb(id), id.empty() ? nullptr : Id(id), mask, sink.get(), &connection), S_OK);
  return sink;
}

// --- profiles and sessions -----------------------------------------------------------

inline ComPtr<IMsgServiceAdmin> ServicesOf(const char* profile) {
  ComPtr<IProfAdmin> admin;
  EXPECT_EQ(MAPIAdminProfiles(0, admin.Out()), S_OK);
  ComPtr<IMsgServiceAdmin> services;
  EXPECT_EQ(admin->AdminServices(A(profile), nullptr, 0, 0, services.Out()), S_OK);
  return services;
}
inline MAPIUID UidOf(const Bytes& bytes) {
  MAPIUID uid{};
  if (bytes.size() == sizeof(uid.ab)) std::memcpy(uid.ab, bytes.data(), sizeof(uid.ab));
  return uid;
}
inline bool SameUid(const Bytes& bytes, const MAPIUID& uid) {
  return bytes.size() == sizeof(uid.ab) && std::memcmp(bytes.data(), uid.ab, sizeof(uid.ab)) == 0;
}
// The UIDs of a table's rows in column tag (PR_SERVICE_UID, PR_PROVIDER_UID...).
inline std::vector<MAPIUID> Uids(IMAPITable* table, ULONG tag) {
  std::vector<MAPIUID> uids;
  for (const Bytes& bytes : Binaries(table, tag)) uids.push_back(UidOf(bytes));
  return uids;
}
inline std::vector<MAPIUID> ServiceUids(IMsgServiceAdmin* services) {
  ComPtr<IMAPITable> table;
  EXPECT_EQ(services->GetMsgServiceTable(0, table.Out()), S_OK);
  return Uids(table.get(), tags::kServiceUid);
}

// Adds a configured store service to profile ("MSPST MS": the file files/<file> under
// home; "MSEMS": the mailbox on the server "mail1").
inline void AddStoreService(const std::filesystem::path& home, const char* service, const char* file = "mail.pst",
                            const char* profile = "Work", const char* mailbox = "alice") {
  const bool exchange = std::strcmp(service, "MSEMS") == 0;
  auto services = ServicesOf(profile);
  ASSERT_EQ(services->CreateMsgService(A(service), A("Mail"), 0, 0), S_OK);
  MAPIUID uid = ServiceUids(services.get()).back();
  std::string path = (home / "files" / file).string();
  SPropValue values[2]{};
  values[0].ulPropTag = exchange ? tags::kProfileUnresolvedNameA : tags::kPstPathA;
  values[0].Value.lpszA = exchange ? A(mailbox) : path.data();
  values[1].ulPropTag = tags::kProfileUnresolvedServerA;
  values[1].Value.lpszA = A("mail1");
  ASSERT_EQ(services->ConfigureMsgService(&uid, 0, 0, exchange ? 2 : 1, values), S_OK);
}
// Creates profile with one store service (see AddStoreService).
inline void CreateStoreProfile(const std::filesystem::path& home, const char* service, const char* profile = "Work",
                               const char* mailbox = "alice") {
  ComPtr<IProfAdmin> admin;
  ASSERT_EQ(MAPIAdminProfiles(0, admin.Out()), S_OK);
  ASSERT_EQ(admin->CreateProfile(A(profile), nullptr, 0, 0), S_OK);
  AddStoreService(home, service, "mail.pst", profile, mailbox);
}
inline ComPtr<IMAPISession> Logon(const char* profile = "Work", ULONG flags = MAPI_EXTENDED | MAPI_NEW_SESSION) {
  ComPtr<IMAPISession> session;
  EXPECT_EQ(MAPILogonEx(0, A(profile), nullptr, flags, session.Out()), S_OK);
  return session;
}
// The entry IDs of the session's stores, in the stores table's order.
inline std::vector<Bytes> StoreIds(IMAPISession* session) {
  ComPtr<IMAPITable> table;
  EXPECT_EQ(session->GetMsgStoresTable(0, table.Out()), S_OK);
  return Binaries(table.get(), tags::kEntryId);
}
inline ComPtr<IMsgStore> OpenStore(IMAPISession* session, Bytes id, ULONG flags = MDB_WRITE | MDB_NO_DIALOG) {
  ComPtr<IMsgStore> store;
  EXPECT_EQ(session->OpenMsgStore(0, Cb(id), Id(id), nullptr, flags, store.Out()), S_OK);
  return store;
}

// Orba Store's providers registered and MAPI initialised in a fresh ORBA_HOME.
class TMapiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterOrbaStoreProviders();
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
  }
  void TearDown() override { MAPIUninitialize(); }
  TTempStoreHome home_;
};

// ... and the profile "Work" with one store service (Service()), logged on: the default
// store opened for writing, and its Inbox.
class TStoreSessionTest : public TMapiTest {
 protected:
  virtual const char* Service() const { return "MSPST MS"; }
  void SetUp() override {
    TMapiTest::SetUp();
    CreateStoreProfile(home_.Path(), Service());
    Logon();
  }
  void TearDown() override {
    Logoff();
    TMapiTest::TearDown();
  }
  void Logon() {
    session_ = testing::Logon();
    ASSERT_TRUE(session_);
    storeId_ = StoreIds(session_.get()).at(0);
    store_ = OpenStore(session_.get(), storeId_);
    ASSERT_TRUE(store_);
    inboxId_ = InboxId(store_.get());
    inbox_ = OpenFolder(store_.get(), inboxId_);
    ASSERT_TRUE(inbox_);
  }
  void Logoff() {
    inbox_ = nullptr;
    store_ = nullptr;
    if (session_) session_->Logoff(0, 0, 0);
    session_ = nullptr;
  }

  ComPtr<IMAPISession> session_;
  ComPtr<IMsgStore> store_;
  Bytes storeId_, inboxId_;
  ComPtr<IMAPIFolder> inbox_;
};

// --- the store engine ---------------------------------------------------------------

// A message image with a class and a subject.
inline TMessageImage Note(const std::u16string& subject) {
  TMessageImage image;
  image.props = {Stored(TextValue(tags::kMessageClassW, u"IPM.Note")), Stored(TextValue(tags::kSubjectW, subject))};
  return image;
}
// The text of a stored property, or "<missing>".
inline std::u16string StoredTextOf(const TStoredProps& props, ULONG tag) {
  const TStoredProp* prop = FindStored(props, PROP_ID(tag));
  return prop ? StoredText(*prop).value_or(u"<not text>") : u"<missing>";
}

// A new store engine in a fresh ORBA_HOME, and its Inbox.
class TEngineTest : public ::testing::Test {
 protected:
  void SetUp() override { Create(TStoreKind::PersonalFile); }
  void Create(TStoreKind kind) {
    engine_ = nullptr;
    std::filesystem::remove(path_);
    engine_ = TStoreEngine::Create(path_, kind, u"Tester");
    inbox_ = engine_->Folders().SpecialFolderId(TSpecialFolder::Inbox);
  }
  void Reopen() {
    engine_ = nullptr;
    engine_ = TStoreEngine::Open(path_);
  }
  int64_t Folder(int64_t parent, const char16_t* name, ULONG type = FOLDER_GENERIC) {
    return engine_->Folders().Create(parent, name, type, {}, false);
  }

  TTempStoreHome home_;
  std::string path_ = home_.File("store.db");
  std::shared_ptr<TStoreEngine> engine_;
  int64_t inbox_ = 0;
};

}  // namespace orba::store::testing
