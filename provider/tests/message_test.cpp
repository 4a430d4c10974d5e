// IMessage and IAttach over the store engine: saving, change detection, property
// round trips, streams, named properties, the read flag, recipients, attachments,
// embedded messages, copies to other messages and bad input.
#include <gtest/gtest.h>

#include <cstring>

#include "mapiobjects/message.h"
#include "storesupport.h"

namespace orba::store {
namespace {

using namespace testing;

const GUID kTestNames = {0x4F2A11D0, 0x1234, 0x5678, {0x9A, 0xBC, 0xDE, 0xF0, 0x11, 0x22, 0x33, 0x44}};
const TMessageObjectOptions kReadOnly{TAccessMode::ReadOnly, {}, {}, {}};

class MessageTest : public TEngineTest {
 protected:
  ComPtr<IMessage> New(bool associated = false, TMessageObjectOptions options = {}) {
    return CreateMessageObject(engine_, inbox_, associated, std::move(options));
  }
  ComPtr<IMessage> Reload(int64_t id, TMessageObjectOptions options = {}) {
    return OpenMessageObject(engine_, id, std::move(options));
  }
  int64_t IdOf(IMessage* message) {
    Bytes id = EntryIdOf(message);
    return engine_->ParseEntryId(id.data(), id.size()).id;
  }
  // Saves message and answers its id.
  int64_t SaveId(IMessage* message, ULONG flags = KEEP_OPEN_READWRITE) {
    EXPECT_EQ(message->SaveChanges(flags), S_OK);
    return IdOf(message);
  }
  // (row id, name) of each recipient row; PR_EMAIL_ADDRESS is answered in Unicode.
  static std::vector<std::pair<ULONG, std::u16string>> Rows(IMessage* message) {
    ComPtr<IMAPITable> table;
    EXPECT_EQ(message->GetRecipientTable(MAPI_UNICODE, table.Out()), S_OK);
    TRows rows = All(table.get(), {tags::kRowId, tags::kDisplayNameW, tags::kEmailAddressW});
    std::vector<std::pair<ULONG, std::u16string>> out;
    for (ULONG i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(PROP_TYPE(rows[i][2].ulPropTag), ULONG{PT_UNICODE});
      out.emplace_back(rows[i][0].Value.ul, TextOf(rows[i][1]));
    }
    return out;
  }
  static HRESULT Modify(IMessage* message, ULONG flags, std::vector<TRecipient> recipients) {
    for (TRecipient& r : recipients) r.email = u"someone@example.org";
    return ModifyRecipients(message, std::move(recipients), flags);
  }
};

// --- saving ------------------------------------------------------------------------------------

TEST_F(MessageTest, NewMessageExistsOnlyOnceSavedAndTellsTheStore) {
  std::vector<std::pair<int64_t, TMessageSaveKind>> events;
  TMessageObjectOptions options;
  options.saved = [&](int64_t id, int64_t folder, TMessageSaveKind kind) {
    EXPECT_EQ(folder, inbox_);
    events.emplace_back(id, kind);
  };
  ComPtr<IMessage> message = New(false, options);
  ASSERT_EQ(Set(message.get(), {TextValue(tags::kSubjectW, u"Hello")}), S_OK);
  EXPECT_EQ(PropCode(message.get(), tags::kEntryId), MAPI_E_NOT_FOUND);
  EXPECT_TRUE(engine_->Messages().Ids(inbox_, false).empty());
  int64_t id = SaveId(message.get());
  EXPECT_EQ(engine_->Messages().Ids(inbox_, false), std::vector<int64_t>{id});
  ASSERT_EQ(Set(message.get(), {TextValue(tags::kSubjectW, u"Again")}), S_OK);
  ASSERT_EQ(message->SaveChanges(0), S_OK);
  EXPECT_EQ(events, (std::vector<std::pair<int64_t, TMessageSaveKind>>{{id, TMessageSaveKind::Created},
                                                                       {id, TMessageSaveKind::Modified}}));
  // Without KEEP_OPEN_READWRITE the object takes no more changes.
  EXPECT_EQ(Set(message.get(), {TextValue(tags::kSubjectW, u"Late")}), MAPI_E_NO_ACCESS);
  EXPECT_EQ(Text(Reload(id).get(), tags::kSubjectW), u"Again");
  EXPECT_EQ(CodeOf([&] { CreateMessageObject(engine_, 999999, false); }), MAPI_E_NOT_FOUND);
  EXPECT_EQ(CodeOf([&] { Reload(424242); }), MAPI_E_NOT_FOUND);
}

TEST_F(MessageTest, ASaveRemembersItsChangeNumberAndConflictsAreDetected) {
  int64_t id = SaveId(New().get());
  // Another session (its own connection to the store) saves right after this one.
  auto otherSession = TStoreEngine::Open(path_);
  ComPtr<IMessage> mine = Reload(id), theirs = OpenMessageObject(otherSession, id);
  auto save = [](IMessage* message, const char16_t* subject, ULONG flags) {
    EXPECT_EQ(Set(message, {TextValue(tags::kSubjectW, subject)}), S_OK);
    return message->SaveChanges(KEEP_OPEN_READWRITE | flags);
  };
  ASSERT_EQ(save(mine.get(), u"mine", 0), S_OK);
  ASSERT_EQ(save(theirs.get(), u"theirs", FORCE_SAVE), S_OK);
  EXPECT_EQ(save(mine.get(), u"mine again", 0), MAPI_E_OBJECT_CHANGED);
  EXPECT_EQ(Text(Reload(id).get(), tags::kSubjectW), u"theirs");
  ASSERT_EQ(mine->SaveChanges(KEEP_OPEN_READWRITE | FORCE_SAVE), S_OK);
  EXPECT_EQ(Text(OpenMessageObject(otherSession, id).get(), tags::kSubjectW), u"mine again");
  // After its forced save the object holds the newest change: its next save is no conflict.
  EXPECT_EQ(mine->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  EXPECT_EQ(theirs->SaveChanges(KEEP_OPEN_READWRITE), MAPI_E_OBJECT_CHANGED);
  engine_->Messages().Delete(id, false);
  EXPECT_EQ(theirs->SaveChanges(FORCE_SAVE), MAPI_E_OBJECT_DELETED);
}

// --- properties --------------------------------------------------------------------------------

TEST_F(MessageTest, EveryPropertyTypeRoundTripsAfterReopeningTheStore) {
  GUID guid = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
  LONG longs[] = {1, -2, 3};
  std::u16string w1 = u"eins", w2 = u"zwei";
  LPWSTR wides[] = {reinterpret_cast<LPWSTR>(w1.data()), reinterpret_cast<LPWSTR>(w2.data())};
  BYTE bin[] = {0, 1, 2, 255};
  std::vector<SPropValue> values = {{PROP_TAG(PT_I2, 0x6001), 0, {.i = -12}},
                                    LongValue(PROP_TAG(PT_LONG, 0x6002), static_cast<ULONG>(-123456)),
                                    {PROP_TAG(PT_DOUBLE, 0x6003), 0, {.dbl = 3.25}},
                                    BoolValue(PROP_TAG(PT_BOOLEAN, 0x6004), true),
                                    TimeValue(PROP_TAG(PT_SYSTIME, 0x6005), 0x01D0000011223344),
                                    {PROP_TAG(PT_I8, 0x6006), 0, {.li = {.QuadPart = -(int64_t{1} << 40)}}},
                                    {PROP_TAG(PT_STRING8, 0x6007), 0, {.lpszA = A("plain")}},
                                    {PROP_TAG(PT_CLSID, 0x6008), 0, {.lpguid = &guid}},
                                    {PROP_TAG(PT_MV_LONG, 0x6009), 0, {.MVl = {3, longs}}},
                                    {PROP_TAG(PT_MV_UNICODE, 0x600A), 0, {.MVszW = {2, wides}}},
                                    BinaryValue(PROP_TAG(PT_BINARY, 0x600B), bin)};
  ComPtr<IMessage> message = New();
  ASSERT_EQ(Set(message.get(), values), S_OK);
  int64_t id = SaveId(message.get(), KEEP_OPEN_READONLY);
  message = nullptr;
  Reopen();
  ComPtr<IMessage> loaded = Reload(id);
  for (const SPropValue& expected : values) {
    auto got = Get(loaded.get(), expected.ulPropTag);
    ASSERT_EQ(got->ulPropTag, expected.ulPropTag) << std::hex << expected.ulPropTag;
    if (PROP_TYPE(expected.ulPropTag) != PT_STRING8) {
      EXPECT_EQ(EncodePropValue(*got), EncodePropValue(expected));
    }
  }
  EXPECT_EQ(Text(loaded.get(), PROP_TAG(PT_UNICODE, 0x6007)), u"plain");
}

TEST_F(MessageTest, LargeBodiesAndBinariesGoThroughStreams) {
  ComPtr<IMessage> message = New();
  std::vector<BYTE> big = Pattern(300 * 1024);
  std::u16string body(100 * 1024, u'x');
  body[5] = u'\u00e9';
  std::vector<BYTE> bodyBytes(reinterpret_cast<const BYTE*>(body.data()),
                              reinterpret_cast<const BYTE*>(body.data()) + body.size() * 2);
  WriteStream(message.get(), PROP_TAG(PT_BINARY, 0x6100), big);
  WriteStream(message.get(), kBodyW, bodyBytes);
  int64_t id = SaveId(message.get(), 0);
  message = nullptr;
  Reopen();
  ComPtr<IMessage> loaded = Reload(id);
  // Too large for GetProps: answered with MAPI_E_NOT_ENOUGH_MEMORY in a PT_ERROR value.
  EXPECT_EQ(PropCode(loaded.get(), PROP_TAG(PT_BINARY, 0x6100)), MAPI_E_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(ReadStream(loaded.get(), PROP_TAG(PT_BINARY, 0x6100)), big);
  EXPECT_EQ(ReadStream(loaded.get(), kBodyW), bodyBytes);
  EXPECT_GE(Long(loaded.get(), tags::kMessageSize), big.size() + bodyBytes.size());
}

TEST_F(MessageTest, ComputedPropertiesDescribeTheSavedMessage) {
  ComPtr<IMessage> message = New();
  EXPECT_EQ(Long(message.get(), tags::kMessageFlags), ULONG{MSGFLAG_UNSENT | MSGFLAG_READ});
  EXPECT_EQ(Long(message.get(), tags::kObjectType), ULONG{MAPI_MESSAGE});
  EXPECT_EQ(Long(message.get(), tags::kAccessLevel), ULONG{MAPI_MODIFY});
  int64_t id = SaveId(message.get());
  EXPECT_EQ(Binary(message.get(), tags::kChangeKey), engine_->Messages().Get(id).change.changeKey);
  EXPECT_EQ(Binary(message.get(), tags::kParentEntryId), engine_->EntryId(TObjectKind::Folder, inbox_));
  // Computed properties cannot be written; read-only objects refuse writes.
  EXPECT_EQ(Set(message.get(), {BinaryValue(tags::kEntryId, {})}), MAPI_E_COMPUTED);
  ComPtr<IMessage> readOnly = Reload(id, kReadOnly);
  EXPECT_EQ(Set(readOnly.get(), {TextValue(tags::kSubjectW, u"x")}), MAPI_E_NO_ACCESS);
  EXPECT_EQ(Modify(readOnly.get(), MODRECIP_ADD, {{MAPI_TO, u"A"}}), MAPI_E_NO_ACCESS);
  EXPECT_EQ(Long(readOnly.get(), tags::kAccess), ULONG{MAPI_ACCESS_READ});
}

// --- read flag and message flags -----------------------------------------------------------------

TEST_F(MessageTest, SetReadFlagManagesPendingReceiptFlags) {
  constexpr ULONG kBoth = MSGFLAG_RN_PENDING | MSGFLAG_NRN_PENDING;
  // Each case: a message delivered unread with both reports owed, the SetReadFlag calls
  // made on it, and the stored flags after each.
  struct TCase {
    std::vector<std::pair<ULONG, ULONG>> calls;  // (flags, stored flags after)
  };
  const TCase cases[] = {
      // Reading sends the read report (none is generated here) and owes no non-read report.
      {{{0, MSGFLAG_READ}}},
      {{{SUPPRESS_RECEIPT, MSGFLAG_READ}}},
      // Unread again: no report goes out, the pending one stays for a later reading;
      // GENERATE_RECEIPT_ONLY sends the pending read report and leaves the read state.
      {{{CLEAR_READ_FLAG, kBoth},
        {CLEAR_READ_FLAG | CLEAR_NRN_PENDING, MSGFLAG_RN_PENDING},
        {GENERATE_RECEIPT_ONLY, 0}}},
      // CLEAR_RN_PENDING drops the read report unsent, CLEAR_NRN_PENDING the non-read one;
      // a read message stays as it is.
      {{{CLEAR_RN_PENDING | CLEAR_READ_FLAG, MSGFLAG_NRN_PENDING},
        {CLEAR_NRN_PENDING, MSGFLAG_READ},
        {SUPPRESS_RECEIPT, MSGFLAG_READ}}},
  };
  for (const TCase& c : cases) {
    ComPtr<IMessage> message = New();
    ASSERT_EQ(Set(message.get(), {LongValue(tags::kMessageFlags, kBoth)}), S_OK);
    int64_t id = SaveId(message.get());
    for (auto [flags, after] : c.calls) {
      ASSERT_EQ(message->SetReadFlag(flags), S_OK) << std::hex << flags;
      EXPECT_EQ(engine_->Messages().Get(id).flags, after) << std::hex << flags;
      EXPECT_EQ(Long(message.get(), tags::kMessageFlags), after) << std::hex << flags;
    }
    if (!(c.calls.back().second & MSGFLAG_READ)) continue;
    // Read-state changes are stamped for synchronisation but are no conflict for a save.
    int64_t before = engine_->Messages().Get(id).readChangeNumber;
    ASSERT_EQ(message->SetReadFlag(CLEAR_READ_FLAG), S_OK);
    EXPECT_GT(engine_->Messages().Get(id).readChangeNumber, before);
    EXPECT_EQ(message->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  }
}

TEST_F(MessageTest, MessageFlagsAreTheClientsUntilTheFirstSave) {
  ComPtr<IMessage> message = New();
  // An importer keeps a received message's state; the store's own bits are computed.
  ASSERT_EQ(
      Set(message.get(), {LongValue(tags::kMessageFlags, MSGFLAG_READ | MSGFLAG_FROMME | MSGFLAG_UNMODIFIED |
                                                             MSGFLAG_SUBMIT | MSGFLAG_HASATTACH | MSGFLAG_ASSOCIATED)}),
      S_OK);
  constexpr ULONG kImported = MSGFLAG_READ | MSGFLAG_FROMME | MSGFLAG_UNMODIFIED;
  EXPECT_EQ(Long(message.get(), tags::kMessageFlags), kImported);
  // Of the wrong type it is refused.
  SPropValue wrong{PROP_TAG(PT_I2, PROP_ID(tags::kMessageFlags)), 0, {}};
  EXPECT_EQ(Set(message.get(), {wrong}), MAPI_E_UNEXPECTED_TYPE);
  int64_t id = SaveId(message.get());
  EXPECT_EQ(engine_->Messages().Get(id).flags, kImported);
  // From the first save on the flags are the store's.
  EXPECT_EQ(Set(message.get(), {LongValue(tags::kMessageFlags, MSGFLAG_UNSENT)}), MAPI_E_COMPUTED);
  ComPtr<IMessage> reopened = Reload(id);
  EXPECT_EQ(Set(reopened.get(), {LongValue(tags::kMessageFlags, MSGFLAG_UNSENT)}), MAPI_E_COMPUTED);
  EXPECT_EQ(Delete(reopened.get(), {tags::kMessageFlags}), MAPI_E_COMPUTED);
  EXPECT_EQ(Long(reopened.get(), tags::kMessageFlags), kImported);
  // A later save modifies the message.
  SetSubject(reopened.get(), u"edited");
  EXPECT_EQ(Long(reopened.get(), tags::kMessageFlags), ULONG{MSGFLAG_READ | MSGFLAG_FROMME});
  // Associated messages are always flagged so, whatever the client gives.
  ComPtr<IMessage> associated = New(true);
  ASSERT_EQ(Set(associated.get(), {LongValue(tags::kMessageFlags, MSGFLAG_UNSENT)}), S_OK);
  EXPECT_EQ(engine_->Messages().Get(SaveId(associated.get(), 0)).flags, ULONG{MSGFLAG_UNSENT | MSGFLAG_ASSOCIATED});
}

// --- recipients --------------------------------------------------------------------------------

TEST_F(MessageTest, RecipientsAreAddedModifiedRemovedAndReplaced) {
  using TRows = std::vector<std::pair<ULONG, std::u16string>>;
  ComPtr<IMessage> message = New();
  ASSERT_EQ(Modify(message.get(), MODRECIP_ADD, {{MAPI_TO, u"Ann"}, {MAPI_CC, u"Bob"}}), S_OK);
  ASSERT_EQ(Modify(message.get(), MODRECIP_ADD, {{MAPI_TO, u"Cid", 77}}), S_OK);  // PR_ROWID ignored
  EXPECT_EQ(Rows(message.get()), (TRows{{0, u"Ann"}, {1, u"Bob"}, {2, u"Cid"}}));
  EXPECT_EQ(Text(message.get(), tags::kDisplayToW), u"Ann; Cid");
  EXPECT_EQ(Text(message.get(), tags::kDisplayCcW), u"Bob");
  ASSERT_EQ(Modify(message.get(), MODRECIP_MODIFY, {{MAPI_BCC, u"Bea", 1}}), S_OK);
  ASSERT_EQ(Modify(message.get(), MODRECIP_REMOVE, {{0, u"", 0}}), S_OK);
  EXPECT_EQ(Text(message.get(), tags::kDisplayBccW), u"Bea");
  EXPECT_EQ(Text(message.get(), tags::kDisplayToW), u"Cid");
  int64_t id = SaveId(message.get(), 0);
  Reopen();
  ComPtr<IMessage> loaded = Reload(id);
  EXPECT_EQ(Rows(loaded.get()), (TRows{{1, u"Bea"}, {2, u"Cid"}}));
  // New rows continue after the highest row id; 0 replaces everything.
  ASSERT_EQ(Modify(loaded.get(), MODRECIP_ADD, {{MAPI_TO, u"Dan"}}), S_OK);
  EXPECT_EQ(Rows(loaded.get()).back(), std::make_pair(3u, std::u16string(u"Dan")));
  ASSERT_EQ(Modify(loaded.get(), 0, {{MAPI_TO, u"Eve"}}), S_OK);
  EXPECT_EQ(RecipientNames(loaded.get()), Names{u"Eve"});
}

TEST_F(MessageTest, ModifyRecipientsRejectsBadInputWithoutChangingAnything) {
  ComPtr<IMessage> message = New();
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
  EXPECT_EQ(RecipientNames(message.get()), Names{u"Ann"});
  LPMAPITABLE table = nullptr;
  EXPECT_EQ(message->GetRecipientTable(0x2, &table), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(message->GetRecipientTable(0, nullptr), MAPI_E_INVALID_PARAMETER);
}

// --- attachments -------------------------------------------------------------------------------

TEST_F(MessageTest, AttachmentsPersistThroughAttachmentAndMessageSaves) {
  ComPtr<IMessage> message = New();
  ULONG num = 99;
  std::vector<BYTE> data = Pattern(200 * 1024);
  auto attach = NewAttach(
      message.get(),
      {LongValue(tags::kAttachMethod, ATTACH_BY_VALUE), TextValue(tags::kAttachLongFilenameW, u"report.pdf")}, &num);
  WriteStream(attach.get(), tags::kAttachDataBin, data);
  // Not part of the message before the attachment's SaveChanges.
  EXPECT_EQ(Long(message.get(), tags::kHasAttach), 0u);
  ComPtr<IAttach> none;
  EXPECT_EQ(message->OpenAttach(0, nullptr, 0, none.Out()), MAPI_E_NOT_FOUND);
  ASSERT_EQ(attach->SaveChanges(0), S_OK);
  EXPECT_EQ(Long(message.get(), tags::kHasAttach), 1u);
  int64_t id = SaveId(message.get(), 0);
  Reopen();
  ComPtr<IMessage> loaded = Reload(id);
  EXPECT_TRUE(Long(loaded.get(), tags::kMessageFlags) & MSGFLAG_HASATTACH);
  ComPtr<IAttach> reopened;
  ASSERT_EQ(loaded->OpenAttach(0, &IID_IAttachment, 0, reopened.Out()), S_OK);
  EXPECT_EQ(ReadStream(reopened.get(), tags::kAttachDataBin), data);
  // Opened without MAPI_MODIFY: read-only.
  EXPECT_EQ(Set(reopened.get(), {TextValue(tags::kAttachLongFilenameW, u"x")}), MAPI_E_NO_ACCESS);
  EXPECT_EQ(AttachmentNames(loaded.get()), Names{u"report.pdf"});
}

TEST_F(MessageTest, DeleteAttachAndAttachmentErrors) {
  ComPtr<IMessage> message = New();
  ULONG a = 0, b = 0;
  auto first = NewAttach(message.get(), {}, &a), second = NewAttach(message.get(), {}, &b);
  ASSERT_EQ(first->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  ASSERT_EQ(second->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  ASSERT_EQ(message->DeleteAttach(a, 0, nullptr, 0), S_OK);
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
  NewAttach(message.get(), {}, &num);
  EXPECT_EQ(num, b + 1);
  EXPECT_EQ(engine_->Messages().Load(SaveId(message.get(), 0)).attachments.size(), 1u);
}

// --- embedded messages -------------------------------------------------------------------------

TEST_F(MessageTest, NestedEmbeddedMessagesAreSavedWithTheirAttachments) {
  ComPtr<IMessage> outer = New();
  ASSERT_EQ(Set(outer.get(), {TextValue(tags::kSubjectW, u"outer")}), S_OK);
  auto attach = NewAttach(outer.get(), {LongValue(tags::kAttachMethod, ATTACH_EMBEDDED_MSG)});
  ComPtr<IMessage> missing;
  EXPECT_EQ(
      attach->OpenProperty(tags::kAttachDataObj, &IID_IMessage, 0, 0, reinterpret_cast<LPUNKNOWN*>(missing.Out())),
      MAPI_E_NOT_FOUND);
  ComPtr<IMessage> middle = NewEmbedded(attach.get());
  ASSERT_EQ(Set(middle.get(), {TextValue(tags::kSubjectW, u"middle")}), S_OK);
  ASSERT_EQ(ModifyRecipients(middle.get(), {{MAPI_TO, u"Inner reader"}}), S_OK);
  auto innerAttach = NewAttach(middle.get());
  ComPtr<IMessage> inner = NewEmbedded(innerAttach.get());
  ASSERT_EQ(Set(inner.get(), {TextValue(tags::kSubjectW, u"inner")}), S_OK);
  // Saved from the inside out.
  for (IMAPIProp* object :
       std::initializer_list<IMAPIProp*>{inner.get(), innerAttach.get(), middle.get(), attach.get(), outer.get()})
    ASSERT_EQ(object->SaveChanges(0), S_OK);
  int64_t id = IdOf(outer.get());
  Reopen();
  ComPtr<IMessage> loaded = Reload(id);
  ComPtr<IMessage> m1 = OpenEmbedded(loaded.get(), 0);
  EXPECT_EQ(Text(m1.get(), tags::kSubjectW), u"middle");
  // Opened read-only through a read-only attachment.
  EXPECT_EQ(Set(m1.get(), {TextValue(tags::kSubjectW, u"x")}), MAPI_E_NO_ACCESS);
  ComPtr<IAttach> a2;
  EXPECT_EQ(Text(OpenEmbedded(m1.get(), 0, 0, &a2).get(), tags::kSubjectW), u"inner");
  ComPtr<IUnknown> wrong;
  EXPECT_EQ(a2->OpenProperty(tags::kAttachDataObj, &IID_IMAPITable, 0, 0, wrong.Out()), MAPI_E_INTERFACE_NOT_SUPPORTED);
}

TEST_F(MessageTest, EmbeddedMessagesReadTheSameAfterTheOuterMessageIsReopened) {
  ComPtr<IMessage> outer = New();
  auto attach = NewAttach(outer.get());
  ComPtr<IMessage> embedded = NewEmbedded(attach.get());
  // A received message kept as an attachment: read, not sent by this user.
  ASSERT_EQ(Set(embedded.get(), {LongValue(tags::kMessageFlags, MSGFLAG_READ | MSGFLAG_UNMODIFIED),
                                 TextValue(tags::kSubjectW, u"forwarded")}),
            S_OK);
  ASSERT_EQ(ModifyRecipients(embedded.get(), {{MAPI_TO, u"Ann"}}), S_OK);
  ASSERT_EQ(NewAttach(embedded.get())->SaveChanges(0), S_OK);
  ASSERT_EQ(embedded->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  EXPECT_EQ(Set(embedded.get(), {LongValue(tags::kMessageFlags, MSGFLAG_UNSENT)}), MAPI_E_COMPUTED);
  auto snapshot = [&](IMessage* message) {
    std::vector<Bytes> values;
    for (ULONG tag : {tags::kMessageFlags, tags::kMessageSize, tags::kCreationTime, tags::kLastModificationTime,
                      tags::kHasAttach, tags::kDisplayToW}) {
      EXPECT_EQ(PropCode(message, tag), S_OK) << std::hex << tag;
      values.push_back(EncodePropValue(*Get(message, tag)));
    }
    return values;
  };
  auto saved = snapshot(embedded.get());
  EXPECT_EQ(Long(embedded.get(), tags::kMessageFlags), ULONG{MSGFLAG_READ | MSGFLAG_UNMODIFIED | MSGFLAG_HASATTACH});
  ASSERT_EQ(attach->SaveChanges(0), S_OK);
  int64_t id = SaveId(outer.get(), 0);
  ULONG outerSize = Long(outer.get(), tags::kMessageSize);
  embedded = nullptr;
  attach = nullptr;
  outer = nullptr;
  Reopen();
  ComPtr<IMessage> loaded = Reload(id);
  EXPECT_EQ(Long(loaded.get(), tags::kMessageSize), outerSize);
  EXPECT_EQ(snapshot(OpenEmbedded(loaded.get(), 0).get()), saved);
  // Saving the outer message again keeps the embedded message's state and times.
  SetSubject(loaded.get(), u"outer, edited");
  loaded = Reload(id);
  ComPtr<IAttach> loadedAttach;
  ComPtr<IMessage> again = OpenEmbedded(loaded.get(), 0, MAPI_MODIFY, &loadedAttach);
  EXPECT_EQ(snapshot(again.get()), saved);
  // Once saved, its flags are the store's; a new save of it is a modification.
  EXPECT_EQ(Set(again.get(), {LongValue(tags::kMessageFlags, MSGFLAG_UNSENT)}), MAPI_E_COMPUTED);
  SetSubject(again.get(), u"forwarded, edited");
  EXPECT_EQ(Long(again.get(), tags::kMessageFlags), ULONG{MSGFLAG_READ | MSGFLAG_HASATTACH});
}

TEST_F(MessageTest, UnsavedEmbeddedChangesStayOutOfTheMessage) {
  ComPtr<IMessage> outer = New();
  auto attach = NewAttach(outer.get());
  ComPtr<IMessage> embedded = NewEmbedded(attach.get());
  SetSubject(embedded.get(), u"kept");
  ASSERT_EQ(Set(embedded.get(), {TextValue(tags::kSubjectW, u"not saved")}), S_OK);
  ASSERT_EQ(attach->SaveChanges(0), S_OK);
  TMessageImage image = engine_->Messages().Load(SaveId(outer.get(), 0));
  ASSERT_EQ(image.attachments.size(), 1u);
  ASSERT_TRUE(image.attachments[0].embedded);
  EXPECT_EQ(StoredTextOf(image.attachments[0].embedded->props, tags::kSubjectW), u"kept");
}

// --- copying -----------------------------------------------------------------------------------

class MessageCopyTest : public MessageTest {
 protected:
  // A message with a subject, a named property, two recipients, an attachment with
  // data and one with an embedded message (which has a recipient, an attachment and
  // flags of its own).
  ComPtr<IMessage> MakeSource(const std::shared_ptr<TStoreEngine>& store, int64_t folder) {
    ComPtr<IMessage> message = CreateMessageObject(store, folder, false);
    EXPECT_EQ(Set(message.get(), {TextValue(tags::kSubjectW, u"source"),
                                  TextValue(NamedTag(message.get(), kTestNames, u"Colour", PT_UNICODE), u"blue")}),
              S_OK);
    EXPECT_EQ(Modify(message.get(), MODRECIP_ADD, {{MAPI_TO, u"Ann"}, {MAPI_CC, u"Bob"}}), S_OK);
    auto file = NewAttach(message.get(), {TextValue(tags::kAttachLongFilenameW, u"data.bin"),
                                          LongValue(NamedTag(message.get(), kTestNames, u"Pages", PT_LONG), 12)});
    WriteStream(file.get(), tags::kAttachDataBin, Pattern(70000));
    EXPECT_EQ(file->SaveChanges(0), S_OK);
    auto holder = NewAttach(message.get(), {TextValue(tags::kAttachLongFilenameW, u"mail.msg")});
    ComPtr<IMessage> embedded = NewEmbedded(holder.get());
    EXPECT_EQ(Set(embedded.get(), {LongValue(tags::kMessageFlags, MSGFLAG_READ | MSGFLAG_UNMODIFIED),
                                   TextValue(tags::kSubjectW, u"inner"),
                                   TextValue(NamedTag(embedded.get(), kTestNames, u"Mood", PT_UNICODE), u"calm")}),
              S_OK);
    EXPECT_EQ(Modify(embedded.get(), MODRECIP_ADD, {{MAPI_TO, u"Cid"}}), S_OK);
    EXPECT_EQ(NewAttach(embedded.get(), {TextValue(tags::kAttachLongFilenameW, u"inner.txt")})->SaveChanges(0), S_OK);
    EXPECT_EQ(embedded->SaveChanges(0), S_OK);
    EXPECT_EQ(holder->SaveChanges(0), S_OK);
    return message;
  }
  // Checks that message holds everything MakeSource made (read through message's own
  // store, whose named identifiers may differ).
  void ExpectCopyOfSource(IMessage* message) {
    EXPECT_EQ(Text(message, tags::kSubjectW), u"source");
    EXPECT_EQ(Text(message, NamedTag(message, kTestNames, u"Colour", PT_UNICODE)), u"blue");
    EXPECT_EQ(RecipientNames(message), (Names{u"Ann", u"Bob"}));
    EXPECT_EQ(Text(message, tags::kDisplayCcW), u"Bob");
    EXPECT_EQ(AttachmentNames(message), (Names{u"data.bin", u"mail.msg"}));
    std::vector<ULONG> numbers = Longs(AttachmentsOf(message).get(), tags::kAttachNum);
    ASSERT_EQ(numbers.size(), 2u);
    ComPtr<IAttach> file;
    ASSERT_EQ(message->OpenAttach(numbers[0], nullptr, 0, file.Out()), S_OK);
    EXPECT_EQ(ReadStream(file.get(), tags::kAttachDataBin), Pattern(70000));
    EXPECT_EQ(Long(file.get(), NamedTag(message, kTestNames, u"Pages", PT_LONG)), 12u);
    ComPtr<IMessage> embedded = OpenEmbedded(message, numbers[1]);
    ASSERT_TRUE(embedded);
    EXPECT_EQ(Text(embedded.get(), tags::kSubjectW), u"inner");
    EXPECT_EQ(Text(embedded.get(), NamedTag(message, kTestNames, u"Mood", PT_UNICODE)), u"calm");
    EXPECT_EQ(Text(embedded.get(), tags::kDisplayToW), u"Cid");
    EXPECT_EQ(AttachmentNames(embedded.get()), Names{u"inner.txt"});
    EXPECT_EQ(Long(embedded.get(), tags::kMessageFlags), ULONG{MSGFLAG_READ | MSGFLAG_UNMODIFIED | MSGFLAG_HASATTACH});
  }
  static HRESULT CopyTo(IMessage* source, IMessage* dest, ULONG flags, LPSPropTagArray exclude = nullptr,
                        std::vector<IID> iids = {}) {
    return source->CopyTo(static_cast<ULONG>(iids.size()), iids.empty() ? nullptr : iids.data(), exclude, 0, nullptr,
                          &IID_IMessage, dest, flags, nullptr);
  }
};

TEST_F(MessageCopyTest, CopyToCopiesRecipientsAttachmentsAndEmbeddedMessages) {
  ComPtr<IMessage> dest = New();
  ASSERT_EQ(CopyTo(MakeSource(engine_, inbox_).get(), dest.get(), 0), S_OK);
  ExpectCopyOfSource(dest.get());
  int64_t id = SaveId(dest.get(), 0);
  dest = nullptr;
  Reopen();
  ExpectCopyOfSource(Reload(id).get());
}

TEST_F(MessageCopyTest, CopyToAnotherStoreMapsNamedPropertiesByName) {
  auto other = TStoreEngine::Create(home_.File("other.db"), TStoreKind::PersonalFile, u"Other");
  ComPtr<IMessage> dest = CreateMessageObject(other, other->Folders().SpecialFolderId(TSpecialFolder::Inbox), false);
  // The other store maps names of its own first, so the same names get other identifiers.
  ULONG taken = NamedTag(dest.get(), kTestNames, u"Unrelated", PT_LONG);
  ASSERT_EQ(Set(dest.get(), {LongValue(taken, 5)}), S_OK);
  ComPtr<IMessage> source = MakeSource(engine_, inbox_);
  ULONG colourHere = NamedTag(source.get(), kTestNames, u"Colour", PT_UNICODE);
  ASSERT_EQ(CopyTo(source.get(), dest.get(), MAPI_DECLINE_OK), S_OK);
  EXPECT_NE(PROP_ID(NamedTag(dest.get(), kTestNames, u"Colour", PT_UNICODE)), PROP_ID(colourHere));
  EXPECT_EQ(Long(dest.get(), taken), 5u);  // not overwritten by an identifier of the source
  ASSERT_EQ(dest->SaveChanges(0), S_OK);
  Bytes entryId = EntryIdOf(dest.get());
  dest = nullptr;
  ComPtr<IMessage> reopened = OpenMessageObject(other, other->ParseEntryId(entryId.data(), entryId.size()).id);
  ExpectCopyOfSource(reopened.get());
  EXPECT_EQ(Long(reopened.get(), taken), 5u);
  // The source's store was not touched.
  EXPECT_TRUE(engine_->Messages().Ids(inbox_, false).empty());
}

TEST_F(MessageCopyTest, ExcludedSubObjectsStayBehind) {
  ComPtr<IMessage> source = MakeSource(engine_, inbox_);
  SizedSPropTagArray<1> noRecipients{1, {tags::kMessageRecipients}}, noAttachments{1, {tags::kMessageAttachments}};
  // Attachments are excluded by their property or by their interface.
  struct TCase {
    LPSPropTagArray exclude;
    std::vector<IID> iids;
    size_t recipients, attachments;
  };
  for (const TCase& c : {TCase{noRecipients.Ptr(), {}, 0, 2}, TCase{noAttachments.Ptr(), {}, 2, 0},
                         TCase{nullptr, {IID_IAttachment}, 2, 0}}) {
    ComPtr<IMessage> dest = New();
    ASSERT_EQ(CopyTo(source.get(), dest.get(), 0, c.exclude, c.iids), S_OK);
    EXPECT_EQ(RecipientNames(dest.get()).size(), c.recipients);
    EXPECT_EQ(AttachmentNames(dest.get()).size(), c.attachments);
    EXPECT_EQ(Text(dest.get(), tags::kSubjectW), u"source");
  }
}

TEST_F(MessageCopyTest, NoReplaceKeepsTheDestinationsOwnAndOtherwiseReplacesThem) {
  ComPtr<IMessage> source = MakeSource(engine_, inbox_);
  auto makeDest = [&] {
    ComPtr<IMessage> dest = New();
    EXPECT_EQ(Set(dest.get(), {TextValue(tags::kSubjectW, u"own")}), S_OK);
    EXPECT_EQ(Modify(dest.get(), MODRECIP_ADD, {{MAPI_BCC, u"Dee"}}), S_OK);
    EXPECT_EQ(NewAttach(dest.get(), {TextValue(tags::kAttachLongFilenameW, u"own.txt")})->SaveChanges(0), S_OK);
    return dest;
  };
  ComPtr<IMessage> kept = makeDest();
  ASSERT_EQ(CopyTo(source.get(), kept.get(), MAPI_NOREPLACE), S_OK);
  EXPECT_EQ(Text(kept.get(), tags::kSubjectW), u"own");
  EXPECT_EQ(Text(kept.get(), NamedTag(kept.get(), kTestNames, u"Colour", PT_UNICODE)), u"blue");
  EXPECT_EQ(RecipientNames(kept.get()), Names{u"Dee"});
  EXPECT_EQ(AttachmentNames(kept.get()), Names{u"own.txt"});
  ComPtr<IMessage> replaced = makeDest();
  ASSERT_EQ(CopyTo(source.get(), replaced.get(), 0), S_OK);
  ExpectCopyOfSource(replaced.get());
}

TEST_F(MessageCopyTest, CopyPropsCopiesSubObjectsOnlyWhenAskedFor) {
  ComPtr<IMessage> source = MakeSource(engine_, inbox_);
  SizedSPropTagArray<1> subjectOnly{1, {tags::kSubjectW}};
  ComPtr<IMessage> reply = New();
  ASSERT_EQ(source->CopyProps(subjectOnly.Ptr(), 0, nullptr, &IID_IMessage, reply.get(), 0, nullptr), S_OK);
  EXPECT_EQ(Text(reply.get(), tags::kSubjectW), u"source");
  EXPECT_TRUE(RecipientNames(reply.get()).empty());
  EXPECT_TRUE(AttachmentNames(reply.get()).empty());
  SizedSPropTagArray<3> forward{3, {tags::kSubjectW, tags::kMessageAttachments, PROP_TAG(PT_LONG, 0x6789)}};
  ComPtr<IMessage> forwarded = New();
  TMapiBuffer<SPropProblemArray> problems;
  ASSERT_EQ(source->CopyProps(forward.Ptr(), 0, nullptr, &IID_IMessage, forwarded.get(), 0, problems.Out()), S_OK);
  EXPECT_TRUE(RecipientNames(forwarded.get()).empty());
  EXPECT_EQ(AttachmentNames(forwarded.get()), (Names{u"data.bin", u"mail.msg"}));
  // Only the missing property is a problem, at its index in the list.
  ASSERT_TRUE(problems);
  ASSERT_EQ(problems->cProblem, 1u);
  EXPECT_EQ(problems->aProblem[0].ulIndex, 2u);
  EXPECT_EQ(problems->aProblem[0].scode, MAPI_E_NOT_FOUND);
}

TEST_F(MessageCopyTest, MoveLeavesTheSourceWithoutWhatItHandedOn) {
  ComPtr<IMessage> source = MakeSource(engine_, inbox_);
  int64_t id = SaveId(source.get());
  ComPtr<IMessage> dest = New();
  ASSERT_EQ(CopyTo(source.get(), dest.get(), MAPI_MOVE), S_OK);
  ExpectCopyOfSource(dest.get());
  EXPECT_EQ(PropCode(source.get(), tags::kSubjectW), MAPI_E_NOT_FOUND);
  EXPECT_TRUE(RecipientNames(source.get()).empty());
  EXPECT_TRUE(AttachmentNames(source.get()).empty());
  ASSERT_EQ(source->SaveChanges(0), S_OK);
  TMessageImage stored = engine_->Messages().Load(id);
  EXPECT_TRUE(stored.recipients.empty());
  EXPECT_TRUE(stored.attachments.empty());
  // A read-only source cannot give its contents away.
  EXPECT_EQ(CopyTo(Reload(id, kReadOnly).get(), dest.get(), MAPI_MOVE), MAPI_E_NO_ACCESS);
}

TEST_F(MessageCopyTest, FlagsGoToANewMessageOnlyAndOtherDestinationsGetProperties) {
  ComPtr<IMessage> source = New();
  ASSERT_EQ(Set(source.get(), {LongValue(tags::kMessageFlags, MSGFLAG_READ | MSGFLAG_FROMME)}), S_OK);
  ASSERT_EQ(Modify(source.get(), MODRECIP_ADD, {{MAPI_TO, u"Ann"}}), S_OK);
  ComPtr<IMessage> fresh = New();
  ASSERT_EQ(CopyTo(source.get(), fresh.get(), 0), S_OK);
  EXPECT_EQ(Long(fresh.get(), tags::kMessageFlags), ULONG{MSGFLAG_READ | MSGFLAG_FROMME});
  // A saved destination keeps its own flags: a problem, not a failure.
  ComPtr<IMessage> saved = New();
  SaveId(saved.get());
  TMapiBuffer<SPropProblemArray> problems;
  ASSERT_EQ(source->CopyTo(0, nullptr, nullptr, 0, nullptr, &IID_IMessage, saved.get(), 0, problems.Out()), S_OK);
  ASSERT_TRUE(problems);
  EXPECT_EQ(problems->aProblem[0].ulPropTag, tags::kMessageFlags);
  EXPECT_EQ(problems->aProblem[0].scode, MAPI_E_COMPUTED);
  EXPECT_EQ(Long(saved.get(), tags::kMessageFlags), ULONG{MSGFLAG_READ | MSGFLAG_UNSENT});
  EXPECT_EQ(RecipientNames(saved.get()).size(), 1u);
  // An attachment (no recipients there) takes the properties only.
  auto attach = NewAttach(saved.get());
  ASSERT_EQ(Set(source.get(), {TextValue(tags::kSubjectW, u"to an attachment")}), S_OK);
  SizedSPropTagArray<1> subject{1, {tags::kSubjectW}};
  ASSERT_EQ(source->CopyProps(subject.Ptr(), 0, nullptr, &IID_IAttachment, attach.get(), 0, nullptr), S_OK);
  EXPECT_EQ(Text(attach.get(), tags::kSubjectW), u"to an attachment");
}

TEST_F(MessageTest, BadArgumentsAnswerErrorCodes) {
  ComPtr<IMessage> message = New();
  EXPECT_EQ(message->SaveChanges(0x40000000), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(message->SubmitMessage(0x10), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(message->SetReadFlag(0x8000), MAPI_E_UNKNOWN_FLAGS);
  EXPECT_EQ(message->SetReadFlag(CLEAR_READ_FLAG | SUPPRESS_RECEIPT), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(message->SetReadFlag(CLEAR_READ_FLAG | GENERATE_RECEIPT_ONLY), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(message->GetAttachmentTable(0, nullptr), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(message->OpenAttach(0, nullptr, 0, nullptr), MAPI_E_INVALID_PARAMETER);
  // A string value for a PT_LONG tag of the same identifier is another property kind.
  ASSERT_EQ(Set(message.get(), {LongValue(PROP_TAG(PT_LONG, 0x6200), 5)}), S_OK);
  EXPECT_EQ(PropCode(message.get(), PROP_TAG(PT_UNICODE, 0x6200)), MAPI_E_NOT_FOUND);
  ComPtr<IMAPITable> recipients;
  ASSERT_EQ(message->OpenProperty(tags::kMessageRecipients, &IID_IMAPITable, 0, 0,
                                  reinterpret_cast<LPUNKNOWN*>(recipients.Out())),
            S_OK);
  ComPtr<IUnknown> none;
  EXPECT_EQ(message->OpenProperty(tags::kMessageRecipients, &IID_IMessage, 0, 0, none.Out()),
            MAPI_E_INTERFACE_NOT_SUPPORTED);
}

}  // namespace
}  // namespace orba::store
