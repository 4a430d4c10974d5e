// IMessage and IAttach over the store engine: saving, change detection, property
// round trips, streams, named properties, recipients, attachments, embedded
// messages, the read flag and bad input.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/maperror.h"
#include "mapi/mapiexports.h"
#include "mapiobjects/message.h"
#include "props/tags.h"
#include "table/proprow.h"
#include "tempstorehome.h"

namespace orba::store {
namespace {

using testing::TTempStoreHome;

// One property, as a caller reads it: an error value becomes the result.
HRESULT GetOne(IMAPIProp* object, ULONG tag, LPSPropValue* out) {
  auto list = TMapiBuffer<SPropTagArray>::Allocate(CbNewSPropTagArray(1));
  list->cValues = 1;
  list->aulPropTag[0] = tag;
  ULONG count = 0;
  TMapiBuffer<SPropValue> values;
  HRESULT hr = object->GetProps(list.get(), MAPI_UNICODE, &count, values.Out());
  if (FAILED(hr)) return hr;
  if (PROP_TYPE(values->ulPropTag) == PT_ERROR) return values->Value.err;
  *out = values.Release();
  return S_OK;
}

HRESULT SetOne(IMAPIProp* object, SPropValue* value) {
  TMapiBuffer<SPropProblemArray> problems;
  HRESULT hr = object->SetProps(1, value, problems.Out());
  if (FAILED(hr)) return hr;
  return problems ? problems->aProblem[0].scode : S_OK;
}

// A new embedded message in attach (PR_ATTACH_DATA_OBJ opened to create it).
ComPtr<IMessage> NewEmbedded(IAttach* attach) {
  ComPtr<IMessage> embedded;
  EXPECT_EQ(attach->OpenProperty(tags::kAttachDataObj, &IID_IMessage, 0, MAPI_CREATE | MAPI_MODIFY,
                                 reinterpret_cast<LPUNKNOWN*>(embedded.Out())),
            S_OK);
  return embedded;
}

class MessageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = (home.Path() / "store.db").string();
    engine = TStoreEngine::Create(path, TStoreKind::PersonalFile, u"Tester");
    inbox = engine->Folders().SpecialFolderId(TSpecialFolder::Inbox);
  }
  void Reopen() {
    engine.reset();
    engine = TStoreEngine::Open(path);
  }
  int64_t IdOf(IMessage* message) {
    TMapiBuffer<SPropValue> value;
    EXPECT_EQ(GetOne(message, tags::kEntryId, value.Out()), S_OK);
    return engine->ParseEntryId(value->Value.bin.lpb, value->Value.bin.cb).id;
  }

  TTempStoreHome home;
  std::string path;
  std::shared_ptr<TStoreEngine> engine;
  int64_t inbox = 0;
};

HRESULT SetText(IMAPIProp* object, ULONG tag, const std::u16string& text) {
  std::u16string copy = text;
  SPropValue value{};
  value.ulPropTag = tag;
  value.Value.lpszW = reinterpret_cast<LPWSTR>(copy.data());
  return SetOne(object, &value);
}

HRESULT SetLong(IMAPIProp* object, ULONG tag, LONG v) {
  SPropValue value{};
  value.ulPropTag = tag;
  value.Value.l = v;
  return SetOne(object, &value);
}

std::u16string TextOf(IMAPIProp* object, ULONG tag) {
  TMapiBuffer<SPropValue> value;
  if (GetOne(object, tag, value.Out()) != S_OK) return u"<missing>";
  return reinterpret_cast<const char16_t*>(value->Value.lpszW);
}

LONG LongOf(IMAPIProp* object, ULONG tag) {
  TMapiBuffer<SPropValue> value;
  EXPECT_EQ(GetOne(object, tag, value.Out()), S_OK);
  return value ? value->Value.l : -1;
}

HRESULT GetCode(IMAPIProp* object, ULONG tag) {
  TMapiBuffer<SPropValue> value;
  return GetOne(object, tag, value.Out());
}

std::vector<BYTE> Pattern(size_t size) {
  std::vector<BYTE> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<BYTE>((i * 31 + 7) & 0xFF);
  return bytes;
}

void WriteStream(IMAPIProp* object, ULONG tag, const std::vector<BYTE>& bytes) {
  ComPtr<IStream> stream;
  ASSERT_EQ(
      object->OpenProperty(tag, &IID_IStream, 0, MAPI_CREATE | MAPI_MODIFY, reinterpret_cast<LPUNKNOWN*>(stream.Out())),
      S_OK);
  ULONG written = 0;
  ASSERT_EQ(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written), S_OK);
  ASSERT_EQ(stream->Commit(0), S_OK);
}

std::vector<BYTE> ReadStream(IMAPIProp* object, ULONG tag) {
  ComPtr<IStream> stream;
  EXPECT_EQ(object->OpenProperty(tag, &IID_IStream, 0, 0, reinterpret_cast<LPUNKNOWN*>(stream.Out())), S_OK);
  std::vector<BYTE> all;
  if (!stream) return all;
  BYTE chunk[4096];
  ULONG read = 0;
  while (stream->Read(chunk, sizeof(chunk), &read) == S_OK && read) all.insert(all.end(), chunk, chunk + read);
  return all;
}

struct Rows {
  LPSRowSet set = nullptr;
  ~Rows() { FreeProws(set); }
};

// All rows of a table, with the given columns.
void QueryAll(IMAPITable* table, std::vector<ULONG> columns, Rows& rows) {
  auto list = TMapiBuffer<SPropTagArray>::Allocate(CbNewSPropTagArray(columns.size()));
  list->cValues = static_cast<ULONG>(columns.size());
  std::copy(columns.begin(), columns.end(), list->aulPropTag);
  ASSERT_EQ(table->SetColumns(list.get(), 0), S_OK);
  ASSERT_EQ(table->QueryRows(100, 0, &rows.set), S_OK);
}

// One recipient entry: type, name, and optionally a row id.
struct Recipient {
  Recipient(ULONG t, std::u16string n, std::optional<ULONG> r = {}) : type(t), name(std::move(n)), rowId(r) {}
  ULONG type;
  std::u16string name;
  std::optional<ULONG> rowId;
};

HRESULT Modify(IMessage* message, ULONG flags, std::vector<Recipient> recipients) {
  std::vector<std::vector<SPropValue>> values(recipients.size());
  auto list = TMapiBuffer<ADRLIST>::Allocate(CbNewADRLIST(recipients.size()));
  list->cEntries = static_cast<ULONG>(recipients.size());
  for (size_t i = 0; i < recipients.size(); ++i) {
    SPropValue type{}, name{}, rowId{}, email{};
    type.ulPropTag = tags::kRecipientType;
    type.Value.l = static_cast<LONG>(recipients[i].type);
    name.ulPropTag = tags::kDisplayNameW;
    name.Value.lpszW = reinterpret_cast<LPWSTR>(recipients[i].name.data());
    email.ulPropTag = PROP_TAG(PT_STRING8, 0x3003);
    email.Value.lpszA = const_cast<char*>("someone@example.org");
    values[i] = {type, name, email};
    if (recipients[i].rowId) {
      rowId.ulPropTag = tags::kRowId;
      rowId.Value.l = static_cast<LONG>(*recipients[i].rowId);
      values[i].push_back(rowId);
    }
    list->aEntries[i].cValues = static_cast<ULONG>(values[i].size());
    list->aEntries[i].rgPropVals = values[i].data();
  }
  return message->ModifyRecipients(flags, list.get());
}

std::vector<std::pair<ULONG, std::u16string>> RecipientsOf(IMessage* message) {
  ComPtr<IMAPITable> table;
  EXPECT_EQ(message->GetRecipientTable(MAPI_UNICODE, table.Out()), S_OK);
  Rows rows;
  QueryAll(table.get(), {tags::kRowId, tags::kDisplayNameW, tags::kEmailAddressW}, rows);
  std::vector<std::pair<ULONG, std::u16string>> out;
  for (ULONG i = 0; rows.set && i < rows.set->cRows; ++i) {
    const SPropValue* v = rows.set->aRow[i].lpProps;
    EXPECT_EQ(PROP_TYPE(v[2].ulPropTag), PT_UNICODE);
    out.emplace_back(static_cast<ULONG>(v[0].Value.l), reinterpret_cast<const char16_t*>(v[1].Value.lpszW));
  }
  return out;
}

// --- saving ------------------------------------------------------------------------------------

TEST_F(MessageTest, NewMessageExistsOnlyOnceSavedAndTellsTheStore) {
  std::vector<std::pair<int64_t, TMessageSaveKind>> events;
  TMessageObjectOptions options;
  options.saved = [&](int64_t id, int64_t folder, TMessageSaveKind kind) {
    EXPECT_EQ(folder, inbox);
    events.emplace_back(id, kind);
  };
  ComPtr<IMessage> message = CreateMessageObject(engine, inbox, false, options);
  ASSERT_EQ(SetText(message.get(), tags::kSubjectW, u"Hello"), S_OK);
  EXPECT_EQ(GetCode(message.get(), tags::kEntryId), MAPI_E_NOT_FOUND);
  EXPECT_TRUE(engine->Messages().Ids(inbox, false).empty());
  ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  ASSERT_EQ(engine->Messages().Ids(inbox, false).size(), 1u);
  int64_t id = IdOf(message.get());
  EXPECT_EQ(id, engine->Messages().Ids(inbox, false)[0]);
  ASSERT_EQ(SetText(message.get(), tags::kSubjectW, u"Again"), S_OK);
  ASSERT_EQ(message->SaveChanges(0), S_OK);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0], std::make_pair(id, TMessageSaveKind::Created));
  EXPECT_EQ(events[1], std::make_pair(id, TMessageSaveKind::Modified));
  // Without KEEP_OPEN_READWRITE the object takes no more changes.
  EXPECT_EQ(SetText(message.get(), tags::kSubjectW, u"Late"), MAPI_E_NO_ACCESS);
  EXPECT_EQ(TextOf(OpenMessageObject(engine, id).get(), tags::kSubjectW), u"Again");
}

TEST_F(MessageTest, AssociatedMessagesAndUnknownFolders) {
  ComPtr<IMessage> message = CreateMessageObject(engine, inbox, true);
  ASSERT_EQ(message->SaveChanges(0), S_OK);
  EXPECT_EQ(engine->Messages().Ids(inbox, true).size(), 1u);
  EXPECT_NE(LongOf(message.get(), tags::kMessageFlags) & MSGFLAG_ASSOCIATED, 0);
  EXPECT_THROW(CreateMessageObject(engine, 999999, false), TMapiError);
  try {
    OpenMessageObject(engine, 424242);
    FAIL();
  } catch (const TMapiError& e) {
    EXPECT_EQ(e.Code(), MAPI_E_NOT_FOUND);
  }
}

TEST_F(MessageTest, ConcurrentChangeAndDeletionAreDetected) {
  ComPtr<IMessage> first = CreateMessageObject(engine, inbox, false);
  ASSERT_EQ(first->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  int64_t id = IdOf(first.get());
  ComPtr<IMessage> a = OpenMessageObject(engine, id);
  ComPtr<IMessage> b = OpenMessageObject(engine, id);
  ASSERT_EQ(SetText(a.get(), tags::kSubjectW, u"from a"), S_OK);
  ASSERT_EQ(a->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  ASSERT_EQ(SetText(b.get(), tags::kSubjectW, u"from b"), S_OK);
  EXPECT_EQ(b->SaveChanges(KEEP_OPEN_READWRITE), MAPI_E_OBJECT_CHANGED);
  // The failed save keeps b's changes; FORCE_SAVE overwrites.
  EXPECT_EQ(b->SaveChanges(KEEP_OPEN_READWRITE | FORCE_SAVE), S_OK);
  EXPECT_EQ(TextOf(OpenMessageObject(engine, id).get(), tags::kSubjectW), u"from b");
  // a's own later save after b's is a conflict too.
  EXPECT_EQ(a->SaveChanges(KEEP_OPEN_READWRITE), MAPI_E_OBJECT_CHANGED);
  engine->Messages().Delete(id, false);
  EXPECT_EQ(a->SaveChanges(FORCE_SAVE), MAPI_E_OBJECT_DELETED);
}

TEST_F(MessageTest, ASaveRemembersTheChangeNumberItProduced) {
  ComPtr<IMessage> created = CreateMessageObject(engine, inbox, false);
  ASSERT_EQ(created->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  int64_t id = IdOf(created.get());
  // The engine answers the record its own transaction wrote, even once others changed it.
  TMessageRecord first = engine->Messages().Save(id, {});
  TMessageRecord second = engine->Messages().Save(id, {});
  EXPECT_GT(second.change.changeNumber, first.change.changeNumber);
  EXPECT_EQ(engine->Messages().Get(id).change.changeNumber, second.change.changeNumber);
  TMessageRecord made;
  int64_t other = engine->Messages().Create(inbox, false, {}, &made);
  EXPECT_EQ(made.id, other);
  EXPECT_EQ(made.change.changeNumber, engine->Messages().Get(other).change.changeNumber);

  // Another session (its own connection to the store) saves right after this one.
  auto otherSession = TStoreEngine::Open(path);
  ComPtr<IMessage> mine = OpenMessageObject(engine, id);
  ComPtr<IMessage> theirs = OpenMessageObject(otherSession, id);
  ASSERT_EQ(SetText(mine.get(), tags::kSubjectW, u"mine"), S_OK);
  ASSERT_EQ(mine->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  ASSERT_EQ(SetText(theirs.get(), tags::kSubjectW, u"theirs"), S_OK);
  ASSERT_EQ(theirs->SaveChanges(KEEP_OPEN_READWRITE | FORCE_SAVE), S_OK);
  ASSERT_EQ(SetText(mine.get(), tags::kSubjectW, u"mine again"), S_OK);
  EXPECT_EQ(mine->SaveChanges(KEEP_OPEN_READWRITE), MAPI_E_OBJECT_CHANGED);
  EXPECT_EQ(TextOf(OpenMessageObject(engine, id).get(), tags::kSubjectW), u"theirs");
  ASSERT_EQ(mine->SaveChanges(KEEP_OPEN_READWRITE | FORCE_SAVE), S_OK);
  EXPECT_EQ(TextOf(OpenMessageObject(otherSession, id).get(), tags::kSubjectW), u"mine again");
  // After its forced save the object holds the newest change: its next save is no conflict.
  EXPECT_EQ(mine->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  EXPECT_EQ(theirs->SaveChanges(0), MAPI_E_OBJECT_CHANGED);
}

// --- properties --------------------------------------------------------------------------------

TEST_F(MessageTest, EveryPropertyTypeRoundTripsAfterReopeningTheStore) {
  ComPtr<IMessage> message = CreateMessageObject(engine, inbox, false);
  GUID guid = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
  LONG longs[] = {1, -2, 3};
  std::u16string w1 = u"eins", w2 = u"zwei";
  LPWSTR wides[] = {reinterpret_cast<LPWSTR>(w1.data()), reinterpret_cast<LPWSTR>(w2.data())};
  BYTE bin[] = {0, 1, 2, 255};
  std::vector<SPropValue> values(10);
  values[0].ulPropTag = PROP_TAG(PT_I2, 0x6001);
  values[0].Value.i = -12;
  values[1].ulPropTag = PROP_TAG(PT_LONG, 0x6002);
  values[1].Value.l = -123456;
  values[2].ulPropTag = PROP_TAG(PT_DOUBLE, 0x6003);
  values[2].Value.dbl = 3.25;
  values[3].ulPropTag = PROP_TAG(PT_BOOLEAN, 0x6004);
  values[3].Value.b = 1;
  values[4].ulPropTag = PROP_TAG(PT_SYSTIME, 0x6005);
  values[4].Value.ft = {0x11223344, 0x01D00000};
  values[5].ulPropTag = PROP_TAG(PT_I8, 0x6006);
  values[5].Value.li.QuadPart = -(int64_t{1} << 40);
  values[6].ulPropTag = PROP_TAG(PT_STRING8, 0x6007);
  values[6].Value.lpszA = const_cast<char*>("plain");
  values[7].ulPropTag = PROP_TAG(PT_CLSID, 0x6008);
  values[7].Value.lpguid = &guid;
  values[8].ulPropTag = PROP_TAG(PT_MV_LONG, 0x6009);
  values[8].Value.MVl = {3, longs};
  values[9].ulPropTag = PROP_TAG(PT_MV_UNICODE, 0x600A);
  values[9].Value.MVszW = {2, wides};
  SPropValue binary{};
  binary.ulPropTag = PROP_TAG(PT_BINARY, 0x600B);
  binary.Value.bin = {sizeof(bin), bin};
  values.push_back(binary);
  ASSERT_EQ(message->SetProps(static_cast<ULONG>(values.size()), values.data(), nullptr), S_OK);
  ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READONLY), S_OK);
  int64_t id = IdOf(message.get());
  message = nullptr;
  Reopen();
  ComPtr<IMessage> loaded = OpenMessageObject(engine, id);
  for (const auto& expected : values) {
    TMapiBuffer<SPropValue> got;
    ASSERT_EQ(GetOne(loaded.get(), expected.ulPropTag, got.Out()), S_OK) << std::hex << expected.ulPropTag;
    EXPECT_EQ(got->ulPropTag, expected.ulPropTag);
  }
  TMapiBuffer<SPropValue> got;
  ASSERT_EQ(GetOne(loaded.get(), values[2].ulPropTag, got.Out()), S_OK);
  EXPECT_EQ(got->Value.dbl, 3.25);
  ASSERT_EQ(GetOne(loaded.get(), values[5].ulPropTag, got.Out()), S_OK);
  EXPECT_EQ(got->Value.li.QuadPart, -(int64_t{1} << 40));
  ASSERT_EQ(GetOne(loaded.get(), values[7].ulPropTag, got.Out()), S_OK);
  EXPECT_EQ(std::memcmp(got->Value.lpguid, &guid, sizeof(GUID)), 0);
  ASSERT_EQ(GetOne(loaded.get(), values[9].ulPropTag, got.Out()), S_OK);
  ASSERT_EQ(got->Value.MVszW.cValues, 2u);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(got->Value.MVszW.lppszW[1])), u"zwei");
  ASSERT_EQ(GetOne(loaded.get(), binary.ulPropTag, got.Out()), S_OK);
  EXPECT_EQ(std::vector<BYTE>(got->Value.bin.lpb, got->Value.bin.lpb + got->Value.bin.cb),
            std::vector<BYTE>(bin, bin + sizeof(bin)));
  EXPECT_EQ(TextOf(loaded.get(), PROP_TAG(PT_UNICODE, 0x6007)), u"plain");
}

TEST_F(MessageTest, LargeBodiesAndBinariesGoThroughStreams) {
  ComPtr<IMessage> message = CreateMessageObject(engine, inbox, false);
  std::vector<BYTE> big = Pattern(300 * 1024);
  std::u16string body(100 * 1024, u'x');
  body[5] = u'\u00e9';
  std::vector<BYTE> bodyBytes(reinterpret_cast<const BYTE*>(body.data()),
                              reinterpret_cast<const BYTE*>(body.data()) + body.size() * 2);
  WriteStream(message.get(), PROP_TAG(PT_BINARY, 0x6100), big);
  WriteStream(message.get(), PROP_TAG(PT_UNICODE, 0x1000), bodyBytes);
  ASSERT_EQ(message->SaveChanges(0), S_OK);
  int64_t id = IdOf(message.get());
  message = nullptr;
  Reopen();
  ComPtr<IMessage> loaded = OpenMessageObject(engine, id);
  // Too large for GetProps: answered with MAPI_E_NOT_ENOUGH_MEMORY in a PT_ERROR value.
  EXPECT_EQ(GetCode(loaded.get(), PROP_TAG(PT_BINARY, 0x6100)), MAPI_E_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(ReadStream(loaded.get(), PROP_TAG(PT_BINARY, 0x6100)), big);
  EXPECT_EQ(ReadStream(loaded.get(), PROP_TAG(PT_UNICODE, 0x1000)), bodyBytes);
  EXPECT_GE(static_cast<ULONG>(LongOf(loaded.get(), tags::kMessageSize)), big.size() + bodyBytes.size());
}

TEST_F(MessageTest, NamedPropertiesUseTheStoresNameMap) {
  ComPtr<IMessage> message = CreateMessageObject(engine, inbox, false);
  GUID set = {0x00062004, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  std::u16string name = u"Keywords-X";
  MAPINAMEID id{};
  id.lpguid = &set;
  id.ulKind = MNID_STRING;
  id.Kind.lpwstrName = reinterpret_cast<LPWSTR>(name.data());
  LPMAPINAMEID ids[] = {&id};
  TMapiBuffer<SPropTagArray> tagsOut;
  ASSERT_EQ(message->GetIDsFromNames(1, ids, MAPI_CREATE, tagsOut.Out()), S_OK);
  ULONG tag = CHANGE_PROP_TYPE(tagsOut->aulPropTag[0], PT_UNICODE);
  EXPECT_GE(PROP_ID(tag), 0x8000u);
  ASSERT_EQ(SetText(message.get(), tag, u"named value"), S_OK);
  ASSERT_EQ(message->SaveChanges(0), S_OK);
  int64_t messageId = IdOf(message.get());
  message = nullptr;
  Reopen();
  ComPtr<IMessage> loaded = OpenMessageObject(engine, messageId);
  TMapiBuffer<SPropTagArray> again;
  ASSERT_EQ(loaded->GetIDsFromNames(1, ids, 0, again.Out()), S_OK);
  EXPECT_EQ(PROP_ID(again->aulPropTag[0]), PROP_ID(tag));
  EXPECT_EQ(TextOf(loaded.get(), tag), u"named value");
}

TEST_F(MessageTest, ComputedPropertiesDescribeTheSavedMessage) {
  ComPtr<IMessage> message = CreateMessageObject(engine, inbox, false);
  EXPECT_EQ(LongOf(message.get(), tags::kMessageFlags), LONG{MSGFLAG_UNSENT | MSGFLAG_READ});
  EXPECT_EQ(LongOf(message.get(), tags::kObjectType), LONG{MAPI_MESSAGE});
  EXPECT_EQ(LongOf(message.get(), tags::kAccessLevel), LONG{MAPI_MODIFY});
  ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  int64_t id = IdOf(message.get());
  TMessageRecord record = engine->Messages().Get(id);
  TMapiBuffer<SPropValue> value;
  ASSERT_EQ(GetOne(message.get(), tags::kSourceKey, value.Out()), S_OK);
  EXPECT_EQ(Bytes(value->Value.bin.lpb, value->Value.bin.lpb + value->Value.bin.cb), record.change.sourceKey);
  ASSERT_EQ(GetOne(message.get(), tags::kChangeKey, value.Out()), S_OK);
  EXPECT_EQ(Bytes(value->Value.bin.lpb, value->Value.bin.lpb + value->Value.bin.cb), record.change.changeKey);
  ASSERT_EQ(GetOne(message.get(), tags::kParentEntryId, value.Out()), S_OK);
  EXPECT_EQ(Bytes(value->Value.bin.lpb, value->Value.bin.lpb + value->Value.bin.cb),
            engine->EntryId(TObjectKind::Folder, inbox));
  ASSERT_EQ(GetOne(message.get(), tags::kStoreEntryId, value.Out()), S_OK);
  EXPECT_EQ(Bytes(value->Value.bin.lpb, value->Value.bin.lpb + value->Value.bin.cb),
            engine->EntryId(TObjectKind::Store, 0));
  EXPECT_EQ(GetCode(message.get(), tags::kSearchKey), S_OK);
  EXPECT_EQ(GetCode(message.get(), tags::kCreationTime), S_OK);
  // Computed properties cannot be written.
  SPropValue entryId{};
  entryId.ulPropTag = tags::kEntryId;
  TMapiBuffer<SPropProblemArray> problems;
  ASSERT_EQ(message->SetProps(1, &entryId, problems.Out()), S_OK);
  ASSERT_TRUE(problems);
  EXPECT_EQ(problems->aProblem[0].scode, MAPI_E_COMPUTED);
  // Read-only objects refuse writes.
  ComPtr<IMessage> readOnly = OpenMessageObject(engine, id, {TAccessMode::ReadOnly, {}, {}, {}});
  EXPECT_EQ(SetText(readOnly.get(), tags::kSubjectW, u"x"), MAPI_E_NO_ACCESS);
  EXPECT_EQ(Modify(readOnly.get(), MODRECIP_ADD, {{MAPI_TO, u"A"}}), MAPI_E_NO_ACCESS);
  EXPECT_EQ(LongOf(readOnly.get(), tags::kAccess), LONG{MAPI_ACCESS_READ});
}

// --- read flag ---------------------------------------------------------------------------------

TEST_F(MessageTest, SetReadFlagChangesTheStoredReadStateAtOnce) {
  ComPtr<IMessage> message = CreateMessageObject(engine, inbox, false);
  ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  int64_t id = IdOf(message.get());
  ASSERT_EQ(message->SetReadFlag(CLEAR_READ_FLAG), S_OK);
  EXPECT_EQ(engine->Messages().Get(id).flags & MSGFLAG_READ, 0u);
  EXPECT_EQ(LongOf(message.get(), tags::kMessageFlags) & MSGFLAG_READ, 0);
  ASSERT_EQ(message->SetReadFlag(0), S_OK);
  EXPECT_NE(engine->Messages().Get(id).flags & MSGFLAG_READ, 0u);
  ASSERT_EQ(message->SetReadFlag(GENERATE_RECEIPT_ONLY), S_OK);
  EXPECT_NE(engine->Messages().Get(id).flags & MSGFLAG_READ, 0u);
  // A read-state change is no conflict for a later save.
  EXPECT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  EXPECT_EQ(message->SetReadFlag(0x8000), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(message->SetReadFlag(CLEAR_READ_FLAG | SUPPRESS_RECEIPT), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(message->SetReadFlag(CLEAR_READ_FLAG | GENERATE_RECEIPT_ONLY), MAPI_E_INVALID_PARAMETER);
  // An unsaved message keeps the state until it is saved.
  ComPtr<IMessage> fresh = CreateMessageObject(engine, inbox, false);
  ASSERT_EQ(fresh->SetReadFlag(CLEAR_READ_FLAG), S_OK);
  ASSERT_EQ(fresh->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  EXPECT_EQ(engine->Messages().Get(IdOf(fresh.get())).flags & MSGFLAG_READ, 0u);
}

TEST_F(MessageTest, SetReadFlagManagesPendingReceiptFlags) {
  // Delivered unread with both reports owed.
  auto delivered = [&] {
    ComPtr<IMessage> message = CreateMessageObject(engine, inbox, false);
    EXPECT_EQ(SetLong(message.get(), tags::kMessageFlags, MSGFLAG_RN_PENDING | MSGFLAG_NRN_PENDING), S_OK);
    EXPECT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
    return message;
  };
  auto flags = [&](IMessage* message) { return engine->Messages().Get(IdOf(message)).flags; };
  constexpr ULONG both = MSGFLAG_RN_PENDING | MSGFLAG_NRN_PENDING;

  ComPtr<IMessage> read = delivered();
  EXPECT_EQ(flags(read.get()), both);
  // Reading sends the read report (none is generated here) and owes no non-read report.
  ASSERT_EQ(read->SetReadFlag(0), S_OK);
  EXPECT_EQ(flags(read.get()), ULONG{MSGFLAG_READ});
  EXPECT_EQ(LongOf(read.get(), tags::kMessageFlags), LONG{MSGFLAG_READ});

  ComPtr<IMessage> suppressed = delivered();
  ASSERT_EQ(suppressed->SetReadFlag(SUPPRESS_RECEIPT), S_OK);
  EXPECT_EQ(flags(suppressed.get()), ULONG{MSGFLAG_READ});

  // Unread again: no report goes out, the pending one stays for a later reading.
  ComPtr<IMessage> unread = delivered();
  ASSERT_EQ(unread->SetReadFlag(CLEAR_READ_FLAG), S_OK);
  EXPECT_EQ(flags(unread.get()), both);
  ASSERT_EQ(unread->SetReadFlag(CLEAR_READ_FLAG | CLEAR_NRN_PENDING), S_OK);
  EXPECT_EQ(flags(unread.get()), ULONG{MSGFLAG_RN_PENDING});
  // GENERATE_RECEIPT_ONLY sends the pending read report and leaves the read state.
  ASSERT_EQ(unread->SetReadFlag(GENERATE_RECEIPT_ONLY), S_OK);
  EXPECT_EQ(flags(unread.get()), 0u);
  EXPECT_EQ(LongOf(unread.get(), tags::kMessageFlags), 0);

  // CLEAR_RN_PENDING drops the read report unsent, CLEAR_NRN_PENDING the non-read one.
  ComPtr<IMessage> dropped = delivered();
  ASSERT_EQ(dropped->SetReadFlag(CLEAR_RN_PENDING | CLEAR_READ_FLAG), S_OK);
  EXPECT_EQ(flags(dropped.get()), ULONG{MSGFLAG_NRN_PENDING});
  ASSERT_EQ(dropped->SetReadFlag(CLEAR_NRN_PENDING), S_OK);
  EXPECT_EQ(flags(dropped.get()), ULONG{MSGFLAG_READ});
  // A read message stays as it is.
  ASSERT_EQ(dropped->SetReadFlag(SUPPRESS_RECEIPT), S_OK);
  EXPECT_EQ(flags(dropped.get()), ULONG{MSGFLAG_READ});

  // Read-state changes are stamped for synchronisation but are no conflict for a save.
  int64_t before = engine->Messages().Get(IdOf(read.get())).readChangeNumber;
  ASSERT_EQ(read->SetReadFlag(CLEAR_READ_FLAG), S_OK);
  EXPECT_GT(engine->Messages().Get(IdOf(read.get())).readChangeNumber, before);
  EXPECT_EQ(read->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  EXPECT_EQ(read->SetReadFlag(SUPPRESS_RECEIPT | CLEAR_READ_FLAG), MAPI_E_INVALID_PARAMETER);
}

TEST_F(MessageTest, FolderSetReadFlagsFollowsTheSameRules) {
  ComPtr<IMessage> message = CreateMessageObject(engine, inbox, false);
  ASSERT_EQ(SetLong(message.get(), tags::kMessageFlags, MSGFLAG_RN_PENDING | MSGFLAG_NRN_PENDING), S_OK);
  ASSERT_EQ(message->SaveChanges(0), S_OK);
  int64_t id = IdOf(message.get());
  EXPECT_EQ(engine->Messages().ApplyReadFlags(id, CLEAR_NRN_PENDING | CLEAR_READ_FLAG).after,
            ULONG{MSGFLAG_RN_PENDING});
  TReadFlagChange change = engine->Messages().ApplyReadFlags(id, GENERATE_RECEIPT_ONLY);
  EXPECT_EQ(change.before, ULONG{MSGFLAG_RN_PENDING});
  EXPECT_EQ(change.after, 0u);
  EXPECT_TRUE(change.Changed());
  EXPECT_FALSE(engine->Messages().ApplyReadFlags(id, GENERATE_RECEIPT_ONLY).Changed());
  EXPECT_EQ(engine->Messages().Get(id).flags, 0u);
}

TEST_F(MessageTest, MessageFlagsAreTheClientsUntilTheFirstSave) {
  ComPtr<IMessage> message = CreateMessageObject(engine, inbox, false);
  // An importer keeps a received message's state; the store's own bits are computed.
  ASSERT_EQ(SetLong(message.get(), tags::kMessageFlags,
                    MSGFLAG_READ | MSGFLAG_FROMME | MSGFLAG_UNMODIFIED | MSGFLAG_SUBMIT | MSGFLAG_HASATTACH |
                        MSGFLAG_ASSOCIATED),
            S_OK);
  constexpr ULONG imported = MSGFLAG_READ | MSGFLAG_FROMME | MSGFLAG_UNMODIFIED;
  EXPECT_EQ(LongOf(message.get(), tags::kMessageFlags), LONG{imported});
  // Of the wrong type it is refused.
  SPropValue wrong{};
  wrong.ulPropTag = PROP_TAG(PT_I2, PROP_ID(tags::kMessageFlags));
  EXPECT_EQ(SetOne(message.get(), &wrong), MAPI_E_UNEXPECTED_TYPE);
  ASSERT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  int64_t id = IdOf(message.get());
  EXPECT_EQ(engine->Messages().Get(id).flags, imported);
  EXPECT_EQ(LongOf(message.get(), tags::kMessageFlags), LONG{imported});

  // From the first save on the flags are the store's.
  EXPECT_EQ(SetLong(message.get(), tags::kMessageFlags, MSGFLAG_UNSENT), MAPI_E_COMPUTED);
  ComPtr<IMessage> reopened = OpenMessageObject(engine, id);
  EXPECT_EQ(SetLong(reopened.get(), tags::kMessageFlags, MSGFLAG_UNSENT), MAPI_E_COMPUTED);
  TMapiBuffer<SPropProblemArray> problems;
  SizedSPropTagArray<1> flagsTag{1, {tags::kMessageFlags}};
  ASSERT_EQ(reopened->DeleteProps(flagsTag.Ptr(), problems.Out()), S_OK);
  ASSERT_TRUE(problems);
  EXPECT_EQ(problems->aProblem[0].scode, MAPI_E_COMPUTED);
  EXPECT_EQ(LongOf(reopened.get(), tags::kMessageFlags), LONG{imported});

  // A later save modifies the message.
  ASSERT_EQ(SetText(reopened.get(), tags::kSubjectW, u"edited"), S_OK);
  ASSERT_EQ(reopened->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  EXPECT_EQ(engine->Messages().Get(id).flags, ULONG{MSGFLAG_READ | MSGFLAG_FROMME});
  EXPECT_EQ(LongOf(reopened.get(), tags::kMessageFlags), LONG{MSGFLAG_READ | MSGFLAG_FROMME});

  // Associated messages are always flagged so, whatever the client gives.
  ComPtr<IMessage> associated = CreateMessageObject(engine, inbox, true);
  ASSERT_EQ(SetLong(associated.get(), tags::kMessageFlags, MSGFLAG_UNSENT), S_OK);
  ASSERT_EQ(associated->SaveChanges(0), S_OK);
  EXPECT_EQ(engine->Messages().Get(IdOf(associated.get())).flags, ULONG{MSGFLAG_UNSENT | MSGFLAG_ASSOCIATED});
}

// --- recipients --------------------------------------------------------------------------------

TEST_F(MessageTest, RecipientsAreAddedModifiedRemovedAndReplaced) {
  ComPtr<IMessage> message = CreateMessageObject(engine, inbox, false);
  ASSERT_EQ(Modify(message.get(), MODRECIP_ADD, {{MAPI_TO, u"Ann"}, {MAPI_CC, u"Bob"}}), S_OK);
  ASSERT_EQ(Modify(message.get(), MODRECIP_ADD, {{MAPI_TO, u"Cid", 77}}), S_OK);  // PR_ROWID ignored
  auto rows = RecipientsOf(message.get());
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], std::make_pair(0u, std::u16string(u"Ann")));
  EXPECT_EQ(rows[2], std::make_pair(2u, std::u16string(u"Cid")));
  EXPECT_EQ(TextOf(message.get(), tags::kDisplayToW), u"Ann; Cid");
  EXPECT_EQ(TextOf(message.get(), tags::kDisplayCcW), u"Bob");
  EXPECT_EQ(TextOf(message.get(), tags::kDisplayBccW), u"");

  ASSERT_EQ(Modify(message.get(), MODRECIP_MODIFY, {{MAPI_BCC, u"Bea", 1}}), S_OK);
  ASSERT_EQ(Modify(message.get(), MODRECIP_REMOVE, {{0, u"", 0}}), S_OK);
  EXPECT_EQ(TextOf(message.get(), tags::kDisplayBccW), u"Bea");
  EXPECT_EQ(TextOf(message.get(), tags::kDisplayToW), u"Cid");
  ASSERT_EQ(message->SaveChanges(0), S_OK);
  int64_t id = IdOf(message.get());
  Reopen();
  ComPtr<IMessage> loaded = OpenMessageObject(engine, id);
  rows = RecipientsOf(loaded.get());
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], std::make_pair(1u, std::u16string(u"Bea")));
  // New rows continue after the highest row id; 0 replaces everything.
  ASSERT_EQ(Modify(loaded.get(), MODRECIP_ADD, {{MAPI_TO, u"Dan"}}), S_OK);
  EXPECT_EQ(RecipientsOf(loaded.get()).back(), std::make_pair(3u, std::u16string(u"Dan")));
  ASSERT_EQ(Modify(loaded.get(), 0, {{MAPI_TO, u"Eve"}}), S_OK);
  rows = RecipientsOf(loaded.get());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].second, u"Eve");
}

TEST_F(MessageTest, ModifyRecipientsRejectsBadInputWithoutChangingAnything) {
  ComPtr<IMessage> message = CreateMessageObject(engine, inbox, false);
  ASSERT_EQ(Modify(message.get(), MODRECIP_ADD, {{MAPI_TO, u"Ann"}}), S_OK);
  EXPECT_EQ(message->ModifyRecipients(MODRECIP_ADD, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(Modify(message.get(), 0x100, {{MAPI_TO, u"X"}}), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(Modify(message.get(), MODRECIP_ADD | MODRECIP_REMOVE, {{MAPI_TO, u"X", 0}}), MAPI_E_INVALID_PARAMETER);
  // Unknown row ids, and a valid one before it: nothing changes.
  EXPECT_EQ(Modify(message.get(), MODRECIP_MODIFY, {{MAPI_TO, u"New", 0}, {MAPI_TO, u"Y", 9}}), MAPI_E_NOT_FOUND);
  EXPECT_EQ(Modify(message.get(), MODRECIP_REMOVE, {{MAPI_TO, u"Y", 9}}), MAPI_E_NOT_FOUND);
  EXPECT_EQ(Modify(message.get(), MODRECIP_REMOVE, {{MAPI_TO, u"no row id"}}), MAPI_E_INVALID_PARAMETER);
  auto list = TMapiBuffer<ADRLIST>::Allocate(CbNewADRLIST(1));
  list->cEntries = 1;
  list->aEntries[0].cValues = 2;  // values promised, none given
  EXPECT_EQ(message->ModifyRecipients(MODRECIP_ADD, list.get()), MAPI_E_INVALID_PARAMETER);
  auto rows = RecipientsOf(message.get());
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].second, u"Ann");
  LPMAPITABLE table = nullptr;
  EXPECT_EQ(message->GetRecipientTable(0x2, &table), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(message->GetRecipientTable(0, nullptr), MAPI_E_INVALID_PARAMETER);
}

TEST_F(MessageTest, OpenRecipientTableFollowsChanges) {
  ComPtr<IMessage> message = CreateMessageObject(engine, inbox, false);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(message->GetRecipientTable(0, table.Out()), S_OK);
  ULONG count = 99;
  ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 0u);
  ASSERT_EQ(Modify(message.get(), MODRECIP_ADD, {{MAPI_TO, u"Ann"}, {MAPI_TO, u"Bob"}}), S_OK);
  ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 2u);
  // Without MAPI_UNICODE the names come as 8-bit strings.
  Rows rows;
  QueryAll(table.get(), {PROP_TAG(PT_STRING8, 0x3001)}, rows);
  ASSERT_EQ(rows.set->cRows, 2u);
  EXPECT_STREQ(rows.set->aRow[1].lpProps[0].Value.lpszA, "Bob");
}

// --- attachments -------------------------------------------------------------------------------

TEST_F(MessageTest, AttachmentsPersistThroughAttachmentAndMessageSaves) {
  ComPtr<IMessage> message = CreateMessageObject(engine, inbox, false);
  ComPtr<IAttach> attach;
  ULONG num = 99;
  ASSERT_EQ(message->CreateAttach(nullptr, 0, &num, attach.Out()), S_OK);
  EXPECT_EQ(num, 0u);
  std::vector<BYTE> data = Pattern(200 * 1024);
  ASSERT_EQ(SetLong(attach.get(), tags::kAttachMethod, ATTACH_BY_VALUE), S_OK);
  ASSERT_EQ(SetText(attach.get(), tags::kAttachLongFilenameW, u"report.pdf"), S_OK);
  WriteStream(attach.get(), tags::kAttachDataBin, data);
  EXPECT_EQ(LongOf(attach.get(), tags::kAttachNum), 0);
  EXPECT_EQ(LongOf(attach.get(), tags::kObjectType), LONG{MAPI_ATTACH});
  // Not part of the message before the attachment's SaveChanges.
  EXPECT_EQ(LongOf(message.get(), tags::kHasAttach), 0);
  ComPtr<IAttach> none;
  EXPECT_EQ(message->OpenAttach(0, nullptr, 0, none.Out()), MAPI_E_NOT_FOUND);
  ASSERT_EQ(attach->SaveChanges(0), S_OK);
  EXPECT_EQ(LongOf(message.get(), tags::kHasAttach), 1);
  ASSERT_EQ(message->SaveChanges(0), S_OK);
  int64_t id = IdOf(message.get());
  EXPECT_NE(engine->Messages().Get(id).flags & MSGFLAG_HASATTACH, 0u);
  Reopen();
  ComPtr<IMessage> loaded = OpenMessageObject(engine, id);
  EXPECT_NE(LongOf(loaded.get(), tags::kMessageFlags) & MSGFLAG_HASATTACH, 0);
  ComPtr<IAttach> reopened;
  ASSERT_EQ(loaded->OpenAttach(0, &IID_IAttachment, 0, reopened.Out()), S_OK);
  EXPECT_EQ(ReadStream(reopened.get(), tags::kAttachDataBin), data);
  EXPECT_GE(static_cast<ULONG>(LongOf(reopened.get(), tags::kAttachSize)), data.size());
  // Opened without MAPI_MODIFY: read-only.
  EXPECT_EQ(SetText(reopened.get(), tags::kAttachLongFilenameW, u"x"), MAPI_E_NO_ACCESS);

  ComPtr<IMAPITable> table;
  ASSERT_EQ(loaded->GetAttachmentTable(MAPI_UNICODE, table.Out()), S_OK);
  Rows rows;
  QueryAll(table.get(), {tags::kAttachNum, tags::kAttachLongFilenameW, tags::kAttachSize, tags::kAttachMethod}, rows);
  ASSERT_EQ(rows.set->cRows, 1u);
  const SPropValue* row = rows.set->aRow[0].lpProps;
  EXPECT_EQ(row[0].Value.l, 0);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(row[1].Value.lpszW)), u"report.pdf");
  EXPECT_GE(static_cast<ULONG>(row[2].Value.l), data.size());
  EXPECT_EQ(row[3].Value.l, LONG{ATTACH_BY_VALUE});
}

TEST_F(MessageTest, DeleteAttachAndAttachmentErrors) {
  ComPtr<IMessage> message = CreateMessageObject(engine, inbox, false);
  ComPtr<IAttach> first, second;
  ULONG a = 0, b = 0;
  ASSERT_EQ(message->CreateAttach(nullptr, 0, &a, first.Out()), S_OK);
  ASSERT_EQ(message->CreateAttach(nullptr, 0, &b, second.Out()), S_OK);
  EXPECT_EQ(b, a + 1);
  ASSERT_EQ(first->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  ASSERT_EQ(second->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  ComPtr<IMAPITable> table;
  ASSERT_EQ(message->GetAttachmentTable(0, table.Out()), S_OK);
  ULONG count = 0;
  ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 2u);
  ASSERT_EQ(message->DeleteAttach(a, 0, nullptr, 0), S_OK);
  ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 1u);
  // The deleted attachment's object cannot save itself back.
  EXPECT_EQ(first->SaveChanges(0), MAPI_E_OBJECT_DELETED);
  EXPECT_EQ(message->DeleteAttach(a, 0, nullptr, 0), MAPI_E_NOT_FOUND);
  EXPECT_EQ(message->DeleteAttach(b, 0, nullptr, 0x10), MAPI_E_UNKNOWN_FLAGS);
  ULONG num = 0;
  EXPECT_EQ(message->CreateAttach(nullptr, 0, &num, nullptr), MAPI_E_INVALID_PARAMETER);
  ComPtr<IAttach> bad;
  EXPECT_EQ(message->CreateAttach(&IID_IMAPITable, 0, &num, bad.Out()), MAPI_E_INTERFACE_NOT_SUPPORTED);
  EXPECT_EQ(message->OpenAttach(b, nullptr, 0x4000000, bad.Out()), MAPI_E_UNKNOWN_FLAGS);
  // Numbers are never reused within the message.
  ASSERT_EQ(message->CreateAttach(nullptr, 0, &num, bad.Out()), S_OK);
  EXPECT_EQ(num, b + 1);
  ASSERT_EQ(message->SaveChanges(0), S_OK);
  EXPECT_EQ(engine->Messages().Load(IdOf(message.get())).attachments.size(), 1u);
}

TEST_F(MessageTest, NestedEmbeddedMessagesAreSavedWithTheirAttachments) {
  ComPtr<IMessage> outer = CreateMessageObject(engine, inbox, false);
  ASSERT_EQ(SetText(outer.get(), tags::kSubjectW, u"outer"), S_OK);
  ComPtr<IAttach> attach;
  ULONG num = 0;
  ASSERT_EQ(outer->CreateAttach(nullptr, 0, &num, attach.Out()), S_OK);
  ASSERT_EQ(SetLong(attach.get(), tags::kAttachMethod, ATTACH_EMBEDDED_MSG), S_OK);
  ComPtr<IMessage> missing;
  EXPECT_EQ(
      attach->OpenProperty(tags::kAttachDataObj, &IID_IMessage, 0, 0, reinterpret_cast<LPUNKNOWN*>(missing.Out())),
      MAPI_E_NOT_FOUND);
  ComPtr<IMessage> middle = NewEmbedded(attach.get());
  ASSERT_TRUE(middle);
  ASSERT_EQ(SetText(middle.get(), tags::kSubjectW, u"middle"), S_OK);
  ASSERT_EQ(Modify(middle.get(), MODRECIP_ADD, {{MAPI_TO, u"Inner reader"}}), S_OK);
  ComPtr<IAttach> innerAttach;
  ASSERT_EQ(middle->CreateAttach(nullptr, 0, &num, innerAttach.Out()), S_OK);
  ComPtr<IMessage> inner = NewEmbedded(innerAttach.get());
  ASSERT_TRUE(inner);
  ASSERT_EQ(SetText(inner.get(), tags::kSubjectW, u"inner"), S_OK);
  EXPECT_EQ(GetCode(inner.get(), tags::kEntryId), MAPI_E_NOT_FOUND);
  // Saved from the inside out.
  ASSERT_EQ(inner->SaveChanges(0), S_OK);
  ASSERT_EQ(innerAttach->SaveChanges(0), S_OK);
  ASSERT_EQ(middle->SaveChanges(0), S_OK);
  ASSERT_EQ(attach->SaveChanges(0), S_OK);
  ASSERT_EQ(outer->SaveChanges(0), S_OK);
  int64_t id = IdOf(outer.get());
  Reopen();

  ComPtr<IMessage> loaded = OpenMessageObject(engine, id);
  ComPtr<IAttach> a1;
  ASSERT_EQ(loaded->OpenAttach(0, nullptr, 0, a1.Out()), S_OK);
  ComPtr<IMessage> m1;
  ASSERT_EQ(a1->OpenProperty(tags::kAttachDataObj, &IID_IMessage, 0, 0, reinterpret_cast<LPUNKNOWN*>(m1.Out())), S_OK);
  EXPECT_EQ(TextOf(m1.get(), tags::kSubjectW), u"middle");
  EXPECT_EQ(TextOf(m1.get(), tags::kDisplayToW), u"Inner reader");
  // Opened read-only through a read-only attachment.
  EXPECT_EQ(SetText(m1.get(), tags::kSubjectW, u"x"), MAPI_E_NO_ACCESS);
  ComPtr<IAttach> a2;
  ASSERT_EQ(m1->OpenAttach(0, nullptr, 0, a2.Out()), S_OK);
  ComPtr<IMessage> m2;
  ASSERT_EQ(a2->OpenProperty(tags::kAttachDataObj, &IID_IMessage, 0, 0, reinterpret_cast<LPUNKNOWN*>(m2.Out())), S_OK);
  EXPECT_EQ(TextOf(m2.get(), tags::kSubjectW), u"inner");
  ComPtr<IUnknown> wrong;
  EXPECT_EQ(a2->OpenProperty(tags::kAttachDataObj, &IID_IMAPITable, 0, 0, wrong.Out()), MAPI_E_INTERFACE_NOT_SUPPORTED);
}

TEST_F(MessageTest, EmbeddedMessagesReadTheSameAfterTheOuterMessageIsReopened) {
  ComPtr<IMessage> outer = CreateMessageObject(engine, inbox, false);
  ComPtr<IAttach> attach;
  ULONG num = 0;
  ASSERT_EQ(outer->CreateAttach(nullptr, 0, &num, attach.Out()), S_OK);
  ComPtr<IMessage> embedded = NewEmbedded(attach.get());
  ASSERT_TRUE(embedded);
  // A received message kept as an attachment: read, not sent by this user.
  ASSERT_EQ(SetLong(embedded.get(), tags::kMessageFlags, MSGFLAG_READ | MSGFLAG_UNMODIFIED), S_OK);
  ASSERT_EQ(SetText(embedded.get(), tags::kSubjectW, u"forwarded"), S_OK);
  ASSERT_EQ(Modify(embedded.get(), MODRECIP_ADD, {{MAPI_TO, u"Ann"}}), S_OK);
  ComPtr<IAttach> inner;
  ASSERT_EQ(embedded->CreateAttach(nullptr, 0, &num, inner.Out()), S_OK);
  ASSERT_EQ(inner->SaveChanges(0), S_OK);
  ASSERT_EQ(embedded->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  EXPECT_EQ(SetLong(embedded.get(), tags::kMessageFlags, MSGFLAG_UNSENT), MAPI_E_COMPUTED);

  const ULONG computed[] = {tags::kMessageFlags,         tags::kMessageSize, tags::kCreationTime,
                            tags::kLastModificationTime, tags::kHasAttach,   tags::kDisplayToW};
  auto snapshot = [&](IMessage* message) {
    std::vector<Bytes> values;
    for (ULONG tag : computed) {
      TMapiBuffer<SPropValue> value;
      EXPECT_EQ(GetOne(message, tag, value.Out()), S_OK) << std::hex << tag;
      values.push_back(value ? EncodePropValue(*value) : Bytes{});
    }
    return values;
  };
  auto saved = snapshot(embedded.get());
  EXPECT_EQ(LongOf(embedded.get(), tags::kMessageFlags), LONG{MSGFLAG_READ | MSGFLAG_UNMODIFIED | MSGFLAG_HASATTACH});
  ASSERT_EQ(attach->SaveChanges(0), S_OK);
  ASSERT_EQ(outer->SaveChanges(0), S_OK);
  int64_t id = IdOf(outer.get());
  LONG outerSize = LongOf(outer.get(), tags::kMessageSize);
  embedded = nullptr;
  attach = nullptr;
  outer = nullptr;
  Reopen();

  auto openEmbedded = [&](ComPtr<IMessage>& host, ComPtr<IAttach>& a, ULONG flags) {
    ComPtr<IMessage> m;
    EXPECT_EQ(host->OpenAttach(0, nullptr, flags, a.Out()), S_OK);
    if (a) {
      EXPECT_EQ(a->OpenProperty(tags::kAttachDataObj, &IID_IMessage, 0, flags, reinterpret_cast<LPUNKNOWN*>(m.Out())),
                S_OK);
    }
    return m;
  };
  ComPtr<IMessage> loaded = OpenMessageObject(engine, id);
  EXPECT_EQ(LongOf(loaded.get(), tags::kMessageSize), outerSize);
  ComPtr<IAttach> loadedAttach;
  ComPtr<IMessage> again = openEmbedded(loaded, loadedAttach, 0);
  ASSERT_TRUE(again);
  EXPECT_EQ(snapshot(again.get()), saved);

  // Saving the outer message again keeps the embedded message's state and times.
  ASSERT_EQ(SetText(loaded.get(), tags::kSubjectW, u"outer, edited"), S_OK);
  ASSERT_EQ(loaded->SaveChanges(0), S_OK);
  again = nullptr;
  loadedAttach = nullptr;
  loaded = OpenMessageObject(engine, id, {TAccessMode::ReadWrite, {}, {}, {}});
  again = openEmbedded(loaded, loadedAttach, MAPI_MODIFY);
  ASSERT_TRUE(again);
  EXPECT_EQ(snapshot(again.get()), saved);
  // Once saved, its flags are the store's; a new save of it is a modification.
  EXPECT_EQ(SetLong(again.get(), tags::kMessageFlags, MSGFLAG_UNSENT), MAPI_E_COMPUTED);
  ASSERT_EQ(SetText(again.get(), tags::kSubjectW, u"forwarded, edited"), S_OK);
  ASSERT_EQ(again->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  EXPECT_EQ(LongOf(again.get(), tags::kMessageFlags), LONG{MSGFLAG_READ | MSGFLAG_HASATTACH});
}

TEST_F(MessageTest, UnsavedEmbeddedChangesStayOutOfTheMessage) {
  ComPtr<IMessage> outer = CreateMessageObject(engine, inbox, false);
  ComPtr<IAttach> attach;
  ULONG num = 0;
  ASSERT_EQ(outer->CreateAttach(nullptr, 0, &num, attach.Out()), S_OK);
  ComPtr<IMessage> embedded = NewEmbedded(attach.get());
  ASSERT_TRUE(embedded);
  ASSERT_EQ(SetText(embedded.get(), tags::kSubjectW, u"kept"), S_OK);
  ASSERT_EQ(embedded->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  ASSERT_EQ(SetText(embedded.get(), tags::kSubjectW, u"not saved"), S_OK);
  ASSERT_EQ(attach->SaveChanges(0), S_OK);
  ASSERT_EQ(outer->SaveChanges(0), S_OK);
  TMessageImage image = engine->Messages().Load(IdOf(outer.get()));
  ASSERT_EQ(image.attachments.size(), 1u);
  ASSERT_TRUE(image.attachments[0].embedded);
  bool found = false;
  for (const auto& prop : image.attachments[0].embedded->props)
    if (prop.tag == tags::kSubjectW)
      found = std::u16string(reinterpret_cast<const char16_t*>(prop.value.data()), prop.value.size() / 2) == u"kept";
  EXPECT_TRUE(found);
}

// --- copying -----------------------------------------------------------------------------------

// The named property "name" of a test property set, as message (of some store) knows it.
ULONG NamedTag(IMessage* message, const char16_t* name, ULONG type) {
  GUID set = {0x4F2A11D0, 0x1234, 0x5678, {0x9A, 0xBC, 0xDE, 0xF0, 0x11, 0x22, 0x33, 0x44}};
  std::u16string text = name;
  MAPINAMEID id{};
  id.lpguid = &set;
  id.ulKind = MNID_STRING;
  id.Kind.lpwstrName = reinterpret_cast<LPWSTR>(text.data());
  LPMAPINAMEID ids[] = {&id};
  TMapiBuffer<SPropTagArray> tags;
  EXPECT_EQ(message->GetIDsFromNames(1, ids, MAPI_CREATE, tags.Out()), S_OK);
  return tags ? CHANGE_PROP_TYPE(tags->aulPropTag[0], type) : 0;
}

// The attachment of a message and its embedded message, opened for reading.
ComPtr<IMessage> EmbeddedOf(IMessage* message, ULONG num, ComPtr<IAttach>& attach) {
  ComPtr<IMessage> embedded;
  EXPECT_EQ(message->OpenAttach(num, nullptr, 0, attach.Out()), S_OK);
  if (attach) {
    EXPECT_EQ(
        attach->OpenProperty(tags::kAttachDataObj, &IID_IMessage, 0, 0, reinterpret_cast<LPUNKNOWN*>(embedded.Out())),
        S_OK);
  }
  return embedded;
}

std::vector<ULONG> AttachmentNumbers(IMessage* message) {
  ComPtr<IMAPITable> table;
  EXPECT_EQ(message->GetAttachmentTable(0, table.Out()), S_OK);
  Rows rows;
  QueryAll(table.get(), {tags::kAttachNum}, rows);
  std::vector<ULONG> numbers;
  for (ULONG i = 0; rows.set && i < rows.set->cRows; ++i) numbers.push_back(rows.set->aRow[i].lpProps[0].Value.ul);
  return numbers;
}

std::vector<std::u16string> AttachmentNames(IMessage* message) {
  ComPtr<IMAPITable> table;
  EXPECT_EQ(message->GetAttachmentTable(MAPI_UNICODE, table.Out()), S_OK);
  Rows rows;
  QueryAll(table.get(), {tags::kAttachLongFilenameW}, rows);
  std::vector<std::u16string> names;
  for (ULONG i = 0; rows.set && i < rows.set->cRows; ++i)
    names.push_back(PROP_TYPE(rows.set->aRow[i].lpProps[0].ulPropTag) == PT_UNICODE
                        ? reinterpret_cast<const char16_t*>(rows.set->aRow[i].lpProps[0].Value.lpszW)
                        : u"<none>");
  return names;
}

class MessageCopyTest : public MessageTest {
 protected:
  // A message with a subject, a named property, two recipients, an attachment with
  // data and one with an embedded message (which has a recipient, an attachment and
  // flags of its own).
  ComPtr<IMessage> MakeSource(const std::shared_ptr<TStoreEngine>& store, int64_t folder) {
    ComPtr<IMessage> message = CreateMessageObject(store, folder, false);
    EXPECT_EQ(SetText(message.get(), tags::kSubjectW, u"source"), S_OK);
    EXPECT_EQ(SetText(message.get(), NamedTag(message.get(), u"Colour", PT_UNICODE), u"blue"), S_OK);
    EXPECT_EQ(Modify(message.get(), MODRECIP_ADD, {{MAPI_TO, u"Ann"}, {MAPI_CC, u"Bob"}}), S_OK);
    ComPtr<IAttach> file;
    ULONG num = 0;
    EXPECT_EQ(message->CreateAttach(nullptr, 0, &num, file.Out()), S_OK);
    EXPECT_EQ(SetText(file.get(), tags::kAttachLongFilenameW, u"data.bin"), S_OK);
    EXPECT_EQ(SetLong(file.get(), NamedTag(message.get(), u"Pages", PT_LONG), 12), S_OK);
    WriteStream(file.get(), tags::kAttachDataBin, Pattern(70000));
    EXPECT_EQ(file->SaveChanges(0), S_OK);
    ComPtr<IAttach> holder;
    EXPECT_EQ(message->CreateAttach(nullptr, 0, &num, holder.Out()), S_OK);
    EXPECT_EQ(SetText(holder.get(), tags::kAttachLongFilenameW, u"mail.msg"), S_OK);
    ComPtr<IMessage> embedded = NewEmbedded(holder.get());
    EXPECT_EQ(SetLong(embedded.get(), tags::kMessageFlags, MSGFLAG_READ | MSGFLAG_UNMODIFIED), S_OK);
    EXPECT_EQ(SetText(embedded.get(), tags::kSubjectW, u"inner"), S_OK);
    EXPECT_EQ(SetText(embedded.get(), NamedTag(embedded.get(), u"Mood", PT_UNICODE), u"calm"), S_OK);
    EXPECT_EQ(Modify(embedded.get(), MODRECIP_ADD, {{MAPI_TO, u"Cid"}}), S_OK);
    ComPtr<IAttach> innerFile;
    EXPECT_EQ(embedded->CreateAttach(nullptr, 0, &num, innerFile.Out()), S_OK);
    EXPECT_EQ(SetText(innerFile.get(), tags::kAttachLongFilenameW, u"inner.txt"), S_OK);
    EXPECT_EQ(innerFile->SaveChanges(0), S_OK);
    EXPECT_EQ(embedded->SaveChanges(0), S_OK);
    EXPECT_EQ(holder->SaveChanges(0), S_OK);
    return message;
  }

  // Checks that message holds everything MakeSource made (read through message's own
  // store, whose named identifiers may differ).
  void ExpectCopyOfSource(IMessage* message) {
    EXPECT_EQ(TextOf(message, tags::kSubjectW), u"source");
    EXPECT_EQ(TextOf(message, NamedTag(message, u"Colour", PT_UNICODE)), u"blue");
    auto recipients = RecipientsOf(message);
    ASSERT_EQ(recipients.size(), 2u);
    EXPECT_EQ(recipients[0].second, u"Ann");
    EXPECT_EQ(recipients[1].second, u"Bob");
    EXPECT_EQ(TextOf(message, tags::kDisplayCcW), u"Bob");
    EXPECT_EQ(AttachmentNames(message), (std::vector<std::u16string>{u"data.bin", u"mail.msg"}));
    std::vector<ULONG> numbers = AttachmentNumbers(message);
    ASSERT_EQ(numbers.size(), 2u);
    ComPtr<IAttach> file;
    ASSERT_EQ(message->OpenAttach(numbers[0], nullptr, 0, file.Out()), S_OK);
    EXPECT_EQ(ReadStream(file.get(), tags::kAttachDataBin), Pattern(70000));
    EXPECT_EQ(LongOf(file.get(), NamedTag(message, u"Pages", PT_LONG)), 12);
    ComPtr<IAttach> holder;
    ComPtr<IMessage> embedded = EmbeddedOf(message, numbers[1], holder);
    ASSERT_TRUE(embedded);
    EXPECT_EQ(TextOf(embedded.get(), tags::kSubjectW), u"inner");
    EXPECT_EQ(TextOf(embedded.get(), NamedTag(message, u"Mood", PT_UNICODE)), u"calm");
    EXPECT_EQ(TextOf(embedded.get(), tags::kDisplayToW), u"Cid");
    EXPECT_EQ(AttachmentNames(embedded.get()), std::vector<std::u16string>{u"inner.txt"});
    EXPECT_EQ(LongOf(embedded.get(), tags::kMessageFlags), LONG{MSGFLAG_READ | MSGFLAG_UNMODIFIED | MSGFLAG_HASATTACH});
  }

  HRESULT CopyTo(IMessage* source, IMessage* dest, ULONG flags, LPSPropTagArray exclude = nullptr,
                 std::vector<IID> iids = {}) {
    return source->CopyTo(static_cast<ULONG>(iids.size()), iids.empty() ? nullptr : iids.data(), exclude, 0, nullptr,
                          &IID_IMessage, dest, flags, nullptr);
  }
};

TEST_F(MessageCopyTest, CopyToCopiesRecipientsAttachmentsAndEmbeddedMessages) {
  ComPtr<IMessage> source = MakeSource(engine, inbox);
  ComPtr<IMessage> dest = CreateMessageObject(engine, inbox, false);
  ASSERT_EQ(CopyTo(source.get(), dest.get(), 0), S_OK);
  ExpectCopyOfSource(dest.get());
  ASSERT_EQ(dest->SaveChanges(0), S_OK);
  int64_t id = IdOf(dest.get());
  dest = nullptr;
  Reopen();
  ExpectCopyOfSource(OpenMessageObject(engine, id).get());
}

TEST_F(MessageCopyTest, CopyToAnotherStoreMapsNamedPropertiesByName) {
  auto other = TStoreEngine::Create((home.Path() / "other.db").string(), TStoreKind::PersonalFile, u"Other");
  int64_t otherInbox = other->Folders().SpecialFolderId(TSpecialFolder::Inbox);
  ComPtr<IMessage> dest = CreateMessageObject(other, otherInbox, false);
  // The other store maps names of its own first, so the same names get other identifiers.
  ULONG taken = NamedTag(dest.get(), u"Unrelated", PT_LONG);
  ASSERT_EQ(SetLong(dest.get(), taken, 5), S_OK);
  ComPtr<IMessage> source = MakeSource(engine, inbox);
  ULONG colourHere = NamedTag(source.get(), u"Colour", PT_UNICODE);
  ASSERT_EQ(CopyTo(source.get(), dest.get(), MAPI_DECLINE_OK), S_OK);
  ULONG colourThere = NamedTag(dest.get(), u"Colour", PT_UNICODE);
  EXPECT_NE(PROP_ID(colourThere), PROP_ID(colourHere));
  EXPECT_EQ(LongOf(dest.get(), taken), 5);  // not overwritten by an identifier of the source
  ASSERT_EQ(dest->SaveChanges(0), S_OK);
  TMapiBuffer<SPropValue> entryId;
  ASSERT_EQ(GetOne(dest.get(), tags::kEntryId, entryId.Out()), S_OK);
  int64_t id = other->ParseEntryId(entryId->Value.bin.lpb, entryId->Value.bin.cb).id;
  dest = nullptr;
  ComPtr<IMessage> reopened = OpenMessageObject(other, id);
  ExpectCopyOfSource(reopened.get());
  EXPECT_EQ(LongOf(reopened.get(), taken), 5);
  // The source's store was not touched.
  EXPECT_TRUE(engine->Messages().Ids(inbox, false).empty());
}

TEST_F(MessageCopyTest, ExcludedSubObjectsStayBehind) {
  ComPtr<IMessage> source = MakeSource(engine, inbox);
  SizedSPropTagArray<1> noRecipients{1, {tags::kMessageRecipients}};
  ComPtr<IMessage> first = CreateMessageObject(engine, inbox, false);
  ASSERT_EQ(CopyTo(source.get(), first.get(), 0, noRecipients.Ptr()), S_OK);
  EXPECT_TRUE(RecipientsOf(first.get()).empty());
  EXPECT_EQ(AttachmentNames(first.get()).size(), 2u);
  // Attachments are excluded by their property or by their interface.
  SizedSPropTagArray<1> noAttachments{1, {tags::kMessageAttachments}};
  ComPtr<IMessage> second = CreateMessageObject(engine, inbox, false);
  ASSERT_EQ(CopyTo(source.get(), second.get(), 0, noAttachments.Ptr()), S_OK);
  EXPECT_EQ(RecipientsOf(second.get()).size(), 2u);
  EXPECT_TRUE(AttachmentNames(second.get()).empty());
  ComPtr<IMessage> third = CreateMessageObject(engine, inbox, false);
  ASSERT_EQ(CopyTo(source.get(), third.get(), 0, nullptr, {IID_IAttachment}), S_OK);
  EXPECT_EQ(RecipientsOf(third.get()).size(), 2u);
  EXPECT_TRUE(AttachmentNames(third.get()).empty());
  EXPECT_EQ(TextOf(third.get(), tags::kSubjectW), u"source");
}

TEST_F(MessageCopyTest, NoReplaceKeepsTheDestinationsOwnAndOtherwiseReplacesThem) {
  ComPtr<IMessage> source = MakeSource(engine, inbox);
  auto makeDest = [&] {
    ComPtr<IMessage> dest = CreateMessageObject(engine, inbox, false);
    EXPECT_EQ(SetText(dest.get(), tags::kSubjectW, u"own"), S_OK);
    EXPECT_EQ(Modify(dest.get(), MODRECIP_ADD, {{MAPI_BCC, u"Dee"}}), S_OK);
    ComPtr<IAttach> attach;
    ULONG num = 0;
    EXPECT_EQ(dest->CreateAttach(nullptr, 0, &num, attach.Out()), S_OK);
    EXPECT_EQ(SetText(attach.get(), tags::kAttachLongFilenameW, u"own.txt"), S_OK);
    EXPECT_EQ(attach->SaveChanges(0), S_OK);
    return dest;
  };
  ComPtr<IMessage> kept = makeDest();
  ASSERT_EQ(CopyTo(source.get(), kept.get(), MAPI_NOREPLACE), S_OK);
  EXPECT_EQ(TextOf(kept.get(), tags::kSubjectW), u"own");
  EXPECT_EQ(TextOf(kept.get(), NamedTag(kept.get(), u"Colour", PT_UNICODE)), u"blue");
  auto recipients = RecipientsOf(kept.get());
  ASSERT_EQ(recipients.size(), 1u);
  EXPECT_EQ(recipients[0].second, u"Dee");
  EXPECT_EQ(AttachmentNames(kept.get()), std::vector<std::u16string>{u"own.txt"});

  ComPtr<IMessage> replaced = makeDest();
  ASSERT_EQ(CopyTo(source.get(), replaced.get(), 0), S_OK);
  ExpectCopyOfSource(replaced.get());
}

TEST_F(MessageCopyTest, CopyPropsCopiesSubObjectsOnlyWhenAskedFor) {
  ComPtr<IMessage> source = MakeSource(engine, inbox);
  SizedSPropTagArray<1> subjectOnly{1, {tags::kSubjectW}};
  ComPtr<IMessage> reply = CreateMessageObject(engine, inbox, false);
  ASSERT_EQ(source->CopyProps(subjectOnly.Ptr(), 0, nullptr, &IID_IMessage, reply.get(), 0, nullptr), S_OK);
  EXPECT_EQ(TextOf(reply.get(), tags::kSubjectW), u"source");
  EXPECT_TRUE(RecipientsOf(reply.get()).empty());
  EXPECT_TRUE(AttachmentNames(reply.get()).empty());

  SizedSPropTagArray<3> forward{3, {tags::kSubjectW, tags::kMessageAttachments, PROP_TAG(PT_LONG, 0x6789)}};
  ComPtr<IMessage> forwarded = CreateMessageObject(engine, inbox, false);
  TMapiBuffer<SPropProblemArray> problems;
  ASSERT_EQ(source->CopyProps(forward.Ptr(), 0, nullptr, &IID_IMessage, forwarded.get(), 0, problems.Out()), S_OK);
  EXPECT_TRUE(RecipientsOf(forwarded.get()).empty());
  EXPECT_EQ(AttachmentNames(forwarded.get()), (std::vector<std::u16string>{u"data.bin", u"mail.msg"}));
  // Only the missing property is a problem, at its index in the list.
  ASSERT_TRUE(problems);
  ASSERT_EQ(problems->cProblem, 1u);
  EXPECT_EQ(problems->aProblem[0].ulIndex, 2u);
  EXPECT_EQ(problems->aProblem[0].scode, MAPI_E_NOT_FOUND);
}

TEST_F(MessageCopyTest, MoveLeavesTheSourceWithoutWhatItHandedOn) {
  ComPtr<IMessage> source = MakeSource(engine, inbox);
  ASSERT_EQ(source->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  int64_t id = IdOf(source.get());
  ComPtr<IMessage> dest = CreateMessageObject(engine, inbox, false);
  ASSERT_EQ(CopyTo(source.get(), dest.get(), MAPI_MOVE), S_OK);
  ExpectCopyOfSource(dest.get());
  EXPECT_EQ(TextOf(source.get(), tags::kSubjectW), u"<missing>");
  EXPECT_TRUE(RecipientsOf(source.get()).empty());
  EXPECT_TRUE(AttachmentNames(source.get()).empty());
  ASSERT_EQ(source->SaveChanges(0), S_OK);
  TMessageImage stored = engine->Messages().Load(id);
  EXPECT_TRUE(stored.recipients.empty());
  EXPECT_TRUE(stored.attachments.empty());
  // A read-only source cannot give its contents away.
  ComPtr<IMessage> readOnly = OpenMessageObject(engine, id, {TAccessMode::ReadOnly, {}, {}, {}});
  EXPECT_EQ(CopyTo(readOnly.get(), dest.get(), MAPI_MOVE), MAPI_E_NO_ACCESS);
}

TEST_F(MessageCopyTest, FlagsGoToANewMessageOnlyAndOtherDestinationsGetProperties) {
  ComPtr<IMessage> source = CreateMessageObject(engine, inbox, false);
  ASSERT_EQ(SetLong(source.get(), tags::kMessageFlags, MSGFLAG_READ | MSGFLAG_FROMME), S_OK);
  ASSERT_EQ(Modify(source.get(), MODRECIP_ADD, {{MAPI_TO, u"Ann"}}), S_OK);
  ComPtr<IMessage> fresh = CreateMessageObject(engine, inbox, false);
  ASSERT_EQ(CopyTo(source.get(), fresh.get(), 0), S_OK);
  EXPECT_EQ(LongOf(fresh.get(), tags::kMessageFlags), LONG{MSGFLAG_READ | MSGFLAG_FROMME});
  // A saved destination keeps its own flags: a problem, not a failure.
  ComPtr<IMessage> saved = CreateMessageObject(engine, inbox, false);
  ASSERT_EQ(saved->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  TMapiBuffer<SPropProblemArray> problems;
  ASSERT_EQ(source->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMessage, saved.get(), 0, problems.Out()), S_OK);
  ASSERT_TRUE(problems);
  EXPECT_EQ(problems->aProblem[0].ulPropTag, tags::kMessageFlags);
  EXPECT_EQ(problems->aProblem[0].scode, MAPI_E_COMPUTED);
  EXPECT_EQ(LongOf(saved.get(), tags::kMessageFlags), LONG{MSGFLAG_READ | MSGFLAG_UNSENT});
  EXPECT_EQ(RecipientsOf(saved.get()).size(), 1u);
  // An attachment (no recipients there) takes the properties only.
  ComPtr<IAttach> attach;
  ULONG num = 0;
  ASSERT_EQ(saved->CreateAttach(nullptr, 0, &num, attach.Out()), S_OK);
  ASSERT_EQ(SetText(source.get(), tags::kSubjectW, u"to an attachment"), S_OK);
  SizedSPropTagArray<1> subject{1, {tags::kSubjectW}};
  ASSERT_EQ(source->CopyProps(subject.Ptr(), 0, nullptr, &IID_IAttachment, attach.get(), 0, nullptr), S_OK);
  EXPECT_EQ(TextOf(attach.get(), tags::kSubjectW), u"to an attachment");
}

TEST_F(MessageTest, BadArgumentsAnswerErrorCodes) {
  ComPtr<IMessage> message = CreateMessageObject(engine, inbox, false);
  EXPECT_EQ(message->SaveChanges(0x40000000), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(message->SubmitMessage(0x10), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(message->GetAttachmentTable(0, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(message->OpenAttach(0, nullptr, 0, nullptr), MAPI_E_INVALID_PARAMETER);
  // A string value for a PT_LONG tag of the same identifier is another property kind.
  ASSERT_EQ(SetLong(message.get(), PROP_TAG(PT_LONG, 0x6200), 5), S_OK);
  EXPECT_EQ(GetCode(message.get(), PROP_TAG(PT_UNICODE, 0x6200)), MAPI_E_NOT_FOUND);
  ComPtr<IMAPITable> recipients;
  ASSERT_EQ(message->OpenProperty(PROP_TAG(PT_OBJECT, 0x0E12), &IID_IMAPITable, 0, 0,
                                  reinterpret_cast<LPUNKNOWN*>(recipients.Out())),
            S_OK);
  ComPtr<IUnknown> none;
  EXPECT_EQ(message->OpenProperty(PROP_TAG(PT_OBJECT, 0x0E12), &IID_IMessage, 0, 0, none.Out()),
            MAPI_E_INTERFACE_NOT_SUPPORTED);
}

}  // namespace
}  // namespace orba::store
