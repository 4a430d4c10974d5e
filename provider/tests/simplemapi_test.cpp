// Simple MAPI over Orba Store: a session of alice's mailbox sends to her own address and
// finds, reads, saves and deletes in her Inbox; every entry point answers bad handles,
// null and inconsistent structures and dialogs with its published code.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <regex>

#include "simplemapi/recipients.h"
#include "storesupport.h"

namespace orba::store {
namespace {

using namespace testing;
using namespace simplemapi;
using TRead = std::unique_ptr<MapiMessage, ULONG (*)(LPVOID)>;

constexpr ULONG kOk = simplemapi::SUCCESS_SUCCESS;
constexpr const char* kAlice = "alice@orba.example";

LPSTR S(const char* text) { return const_cast<LPSTR>(text); }

class SimpleMapiTest : public TMapiTest {
 protected:
  void SetUp() override {
    TMapiTest::SetUp();
    CreateStoreProfile(home_.Path(), "MSEMS");
    ASSERT_EQ(MAPILogon(0, S("Work"), nullptr, 0, 0, &session_), kOk);
    EXPECT_GT(session_, LHANDLE{1});
  }
  void TearDown() override {
    EXPECT_EQ(MAPILogoff(session_, 0, 0, 0), kOk);
    TMapiTest::TearDown();
  }

  // A message to one recipient (by address), with files attached by path.
  ULONG Send(const char* subject, const char* to = kAlice, std::vector<std::string> paths = {}, FLAGS flags = 0,
             LHANDLE session = ~LHANDLE{0}) {
    MapiRecipDesc recip{0, MAPI_TO, S(to), nullptr, 0, nullptr};
    std::vector<MapiFileDesc> files;
    for (std::string& path : paths) files.push_back({0, 0, 0xFFFFFFFF, path.data(), nullptr, nullptr});
    MapiMessage message{};
    message.lpszSubject = S(subject);
    message.lpszNoteText = S("Body of ");
    message.nRecipCount = 1;
    message.lpRecips = &recip;
    message.nFileCount = static_cast<ULONG>(files.size());
    message.lpFiles = files.data();
    return MAPISendMail(session == ~LHANDLE{0} ? session_ : session, 0, &message, flags, 0);
  }
  // Every identifier MAPIFindNext gives, in order.
  std::vector<std::string> Find(FLAGS flags = 0, const char* type = nullptr) {
    std::vector<std::string> ids;
    char id[64] = "";
    while (MAPIFindNext(session_, 0, S(type), ids.empty() ? nullptr : ids.back().data(), flags, 0, id) == kOk)
      ids.emplace_back(id);
    return ids;
  }
  TRead Read(const std::string& id, FLAGS flags, ULONG expected = kOk) {
    lpMapiMessage message = nullptr;
    EXPECT_EQ(MAPIReadMail(session_, 0, S(id.c_str()), flags, 0, &message), expected);
    return TRead(message, MAPIFreeBuffer);
  }
  std::string File(const char* name, const std::string& content) {
    std::string path = home_.File(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  LHANDLE session_ = 0;
};

std::string Slurp(const char* path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST_F(SimpleMapiTest, MailSentToTheOwnAddressIsFoundAndReadInTheInbox) {
  ASSERT_EQ(Send("First", kAlice, {File("notes.txt", "attached bytes")}), kOk);
  ASSERT_EQ(Send("Second"), kOk);
  std::vector<std::string> ids = Find();
  ASSERT_EQ(ids.size(), 2u);
  EXPECT_EQ(ids[0].size(), 60u);  // the hex text of a 30-byte entry ID
  EXPECT_EQ(Find(MAPI_UNREAD_ONLY | MAPI_GUARANTEE_FIFO), ids);

  struct TCase {
    FLAGS flags;
    const char* noteText;  // null: none
    bool fileCopied, bodyAsFile, readAfter;
  } cases[] = {
      {MAPI_ENVELOPE_ONLY | MAPI_PEEK, nullptr, false, false, false},
      {MAPI_SUPPRESS_ATTACH | MAPI_PEEK, "Body of ", false, false, false},
      {MAPI_BODY_AS_FILE | MAPI_PEEK, nullptr, true, true, false},
      {0, "Body of ", true, false, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.flags);
    TRead read = Read(ids[0], c.flags);
    ASSERT_TRUE(read);
    EXPECT_STREQ(read->lpszSubject, "First");
    EXPECT_STREQ(read->lpszMessageType, "IPM.Note");
    EXPECT_TRUE(std::regex_match(read->lpszDateReceived, std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d)")));
    EXPECT_EQ(read->flFlags, ULONG(MAPI_UNREAD | MAPI_SENT));  // as it was when read
    if (c.noteText) {
      EXPECT_STREQ(read->lpszNoteText, c.noteText);
    } else {
      EXPECT_EQ(read->lpszNoteText, nullptr);
    }
    ASSERT_NE(read->lpOriginator, nullptr);
    EXPECT_EQ(read->lpOriginator->ulRecipClass, MAPI_ORIG);
    EXPECT_STREQ(read->lpOriginator->lpszName, "alice");
    ASSERT_EQ(read->nRecipCount, 1u);
    EXPECT_STREQ(read->lpRecips[0].lpszAddress, "SMTP:alice@orba.example");
    ASSERT_EQ(read->nFileCount, c.bodyAsFile ? 2u : 1u);
    const MapiFileDesc& file = read->lpFiles[c.bodyAsFile ? 1 : 0];
    EXPECT_STREQ(file.lpszFileName, "notes.txt");
    if (c.bodyAsFile) {
      EXPECT_EQ(Slurp(read->lpFiles[0].lpszPathName), "Body of ");
    }
    if (c.fileCopied) {
      EXPECT_EQ(Slurp(file.lpszPathName), "attached bytes");
    } else {
      EXPECT_EQ(file.lpszPathName, nullptr);
    }
    EXPECT_EQ(Find(MAPI_UNREAD_ONLY).size(), c.readAfter ? 1u : 2u);
  }
  EXPECT_EQ(Read(ids[0], MAPI_PEEK)->flFlags, ULONG(MAPI_SENT));
  EXPECT_EQ(Find(), ids);
}

TEST_F(SimpleMapiTest, SaveMailCreatesReplacesAndDeleteMailRemoves) {
  MapiRecipDesc recip{0, MAPI_CC, S("Bob"), S("SMTP:bob@example.org"), 0, nullptr};
  std::string path = File("plan.txt", "v1");
  MapiFileDesc file{0, 0, 3, path.data(), S("Plan.txt"), nullptr};
  MapiMessage draft{0, S("Draft"), S("Text"), nullptr, nullptr, nullptr, MAPI_UNREAD, nullptr, 1, &recip, 1, &file};
  char id[64] = "";
  ASSERT_EQ(MAPISaveMail(session_, 0, &draft, 0, 0, id), kOk);
  EXPECT_EQ(Find(), std::vector<std::string>{id});
  TRead saved = Read(id, MAPI_PEEK);
  EXPECT_STREQ(saved->lpszSubject, "Draft");
  EXPECT_EQ(saved->flFlags, ULONG(MAPI_UNREAD));  // unread, and not sent: a draft
  ASSERT_EQ(saved->nRecipCount, 1u);
  EXPECT_EQ(saved->lpRecips[0].ulRecipClass, ULONG(MAPI_CC));
  EXPECT_STREQ(saved->lpRecips[0].lpszName, "Bob");
  EXPECT_STREQ(saved->lpRecips[0].lpszAddress, "SMTP:bob@example.org");
  ASSERT_EQ(saved->nFileCount, 1u);
  EXPECT_EQ(saved->lpFiles[0].nPosition, 3u);
  EXPECT_STREQ(saved->lpFiles[0].lpszFileName, "Plan.txt");

  MapiMessage revised{0, S("Final"), nullptr, nullptr, S("2024/02/29 13:45"), nullptr, 0, nullptr,
                      0, nullptr,    0,       nullptr};
  std::string same = id;
  ASSERT_EQ(MAPISaveMail(session_, 0, &revised, 0, 0, id), kOk);
  EXPECT_EQ(id, same);
  TRead replaced = Read(id, MAPI_PEEK);
  EXPECT_STREQ(replaced->lpszSubject, "Final");
  EXPECT_STREQ(replaced->lpszNoteText, "");
  EXPECT_STREQ(replaced->lpszDateReceived, "2024/02/29 13:45");
  EXPECT_EQ(replaced->nRecipCount, 0u);
  EXPECT_EQ(replaced->nFileCount, 0u);

  revised.lpszDateReceived = S("2024/02/30 13:45");
  EXPECT_EQ(MAPISaveMail(session_, 0, &revised, 0, 0, id), MAPI_E_FAILURE);
  EXPECT_EQ(MAPIDeleteMail(session_, 0, id, 0, 0), kOk);
  EXPECT_TRUE(Find().empty());
  EXPECT_FALSE(Read(id, 0, MAPI_E_INVALID_MESSAGE));
  EXPECT_EQ(MAPIDeleteMail(session_, 0, id, 0, 0), MAPI_E_INVALID_MESSAGE);
}

TEST_F(SimpleMapiTest, MessageTypesSelectTheirClassAndTheClassesBelowIt) {
  MapiMessage status{0,       S("Status"), nullptr, S("IPC.Orba.Status"), nullptr, nullptr, 0, nullptr, 0,
                     nullptr, 0,           nullptr};
  char id[64] = "";
  ASSERT_EQ(MAPISaveMail(session_, 0, &status, 0, 0, id), kOk);
  ASSERT_EQ(Send("Note"), kOk);
  EXPECT_EQ(Find(0, "IPC.Orba"), std::vector<std::string>{id});
  EXPECT_EQ(Find(0, "ipc.orba.status"), std::vector<std::string>{id});
  EXPECT_TRUE(Find(0, "IPC.Orb").empty());
  ASSERT_EQ(Find(0, "").size(), 1u);
  EXPECT_NE(Find()[0], id);
}

TEST_F(SimpleMapiTest, ResolveNameKnowsSmtpAddressesOnly) {
  for (const char* name : {"SMTP:alice@orba.example", "smtp:alice@orba.example", "alice@orba.example"}) {
    lpMapiRecipDesc recip = nullptr;
    ASSERT_EQ(MAPIResolveName(session_, 0, S(name), MAPI_DIALOG, 0, &recip), kOk) << name;
    EXPECT_STREQ(recip->lpszAddress, "SMTP:alice@orba.example");
    auto address = ParseOneOffEntryId({static_cast<BYTE*>(recip->lpEntryID), recip->ulEIDSize});
    ASSERT_TRUE(address);
    EXPECT_EQ(address->email, u"alice@orba.example");
    MAPIFreeBuffer(recip);
  }
  lpMapiRecipDesc recip = nullptr;
  for (const char* name : {"Alice Smith", "alice@", "a b@orba.example", "", "alice@orba@example"})
    EXPECT_EQ(MAPIResolveName(session_, 0, S(name), 0, 0, &recip), MAPI_E_UNKNOWN_RECIPIENT) << name;
  EXPECT_EQ(recip, nullptr);

  // A resolved recipient is sent to by its entry ID alone.
  ASSERT_EQ(MAPIResolveName(session_, 0, S(kAlice), 0, 0, &recip), kOk);
  MapiRecipDesc byId{0, MAPI_TO, nullptr, nullptr, recip->ulEIDSize, recip->lpEntryID};
  MapiMessage message{0, S("By ID"), nullptr, nullptr, nullptr, nullptr, 0, nullptr, 1, &byId, 0, nullptr};
  EXPECT_EQ(MAPISendMail(session_, 0, &message, 0, 0), kOk);
  MAPIFreeBuffer(recip);
  EXPECT_EQ(Find().size(), 1u);
}

TEST_F(SimpleMapiTest, UnicodeSendingAndCallsWithoutASessionHandle) {
  MapiRecipDescW recip{0, MAPI_TO, nullptr, const_cast<LPWSTR>(u"SMTP:alice@orba.example"), 0, nullptr};
  MapiMessageW wide{
      0, const_cast<LPWSTR>(u"Gr\u00fc\u00dfe"), nullptr, nullptr, nullptr, nullptr, 0, nullptr, 1, &recip, 0, nullptr};
  ASSERT_EQ(MAPISendMailW(session_, 0, &wide, MAPI_FORCE_UNICODE, 0), kOk);
  EXPECT_STREQ(Read(Find().at(0), MAPI_PEEK)->lpszSubject,
               "Gr\xfc\xdf"
               "e");  // in the system code page

  // Handle 0 logs on to the default profile for the call.
  EXPECT_EQ(Send("Implicit", kAlice, {}, 0, 0), MAPI_E_LOGIN_FAILURE);
  ComPtr<IProfAdmin> admin;
  ASSERT_EQ(MAPIAdminProfiles(0, admin.Out()), S_OK);
  ASSERT_EQ(admin->SetDefaultProfile(A("Work"), 0), S_OK);
  EXPECT_EQ(Send("Implicit", kAlice, {}, 0, 0), kOk);
  EXPECT_EQ(Find().size(), 2u);
  EXPECT_EQ(MAPISendDocuments(0, S(";"), S(""), S(""), 0), MAPI_E_USER_ABORT);  // its cover note is a dialog
}

TEST_F(SimpleMapiTest, BadInputAnswersThePublishedCodes) {
  ASSERT_EQ(Send("Only"), kOk);
  std::string last = Find().at(0);
  LHANDLE closed = 0;
  ASSERT_EQ(MAPILogon(0, S("Work"), nullptr, MAPI_NEW_SESSION, 0, &closed), kOk);
  ASSERT_EQ(MAPILogoff(closed, 0, 0, 0), kOk);
  char id[64] = "";
  lpMapiMessage read = nullptr;
  lpMapiRecipDesc recip = nullptr;
  ULONG count = 0;
  MapiRecipDesc to{0, MAPI_TO, S(kAlice), nullptr, 0, nullptr}, orig{0, MAPI_ORIG, S(kAlice), nullptr, 0, nullptr};
  MapiRecipDesc named{0, MAPI_TO, S("Alice Smith"), nullptr, 0, nullptr},
      nobody{0, MAPI_TO, nullptr, nullptr, 0, nullptr};
  MapiFileDesc missing{0, 0, 0, S("/nonexistent/file"), nullptr, nullptr};
  auto send = [&](ULONG recips, MapiRecipDesc* list, ULONG files = 0, MapiFileDesc* file = nullptr, FLAGS flags = 0) {
    MapiMessage message{0, S("x"), nullptr, nullptr, nullptr, nullptr, 0, nullptr, recips, list, files, file};
    return MAPISendMail(session_, 0, &message, flags, 0);
  };
  std::string otherStore = "0000000000000000000000000000000000000000000000000000000000AB";
  struct TCase {
    const char* what;
    std::function<ULONG()> call;
    ULONG expected;
  } cases[] = {
      {"unknown handle", [&] { return MAPIFindNext(12345, 0, nullptr, nullptr, 0, 0, id); }, MAPI_E_INVALID_SESSION},
      {"closed handle", [&] { return MAPIFindNext(closed, 0, nullptr, nullptr, 0, 0, id); }, MAPI_E_INVALID_SESSION},
      {"handle 0", [&] { return MAPIReadMail(0, 0, id, 0, 0, &read); }, MAPI_E_INVALID_SESSION},
      {"logoff twice", [&] { return MAPILogoff(closed, 0, 0, 0); }, MAPI_E_INVALID_SESSION},
      {"send, closed", [&] { return Send("x", kAlice, {}, 0, closed); }, MAPI_E_INVALID_SESSION},
      {"unknown profile", [&] { return MAPILogon(0, S("Nobody"), nullptr, MAPI_LOGON_UI, 0, &closed); },
       MAPI_E_LOGIN_FAILURE},
      {"no default profile", [&] { return MAPILogon(0, nullptr, nullptr, MAPI_LOGON_UI, 0, &closed); },
       MAPI_E_LOGIN_FAILURE},
      {"null handle out", [&] { return MAPILogon(0, S("Work"), nullptr, 0, 0, nullptr); }, MAPI_E_FAILURE},
      {"null id out", [&] { return MAPIFindNext(session_, 0, nullptr, nullptr, 0, 0, nullptr); }, MAPI_E_FAILURE},
      {"null message out", [&] { return MAPIReadMail(session_, 0, S(last.c_str()), 0, 0, nullptr); }, MAPI_E_FAILURE},
      {"null message", [&] { return MAPISendMail(session_, 0, nullptr, 0, 0); }, MAPI_E_FAILURE},
      {"seed past the end", [&] { return MAPIFindNext(session_, 0, nullptr, S(last.c_str()), 0, 0, id); },
       MAPI_E_NO_MESSAGES},
      {"seed not hex", [&] { return MAPIFindNext(session_, 0, nullptr, S("XYZ"), 0, 0, id); }, MAPI_E_INVALID_MESSAGE},
      {"id of nothing", [&] { return MAPIReadMail(session_, 0, S(otherStore.c_str()), 0, 0, &read); },
       MAPI_E_INVALID_MESSAGE},
      {"null id", [&] { return MAPIReadMail(session_, 0, nullptr, 0, 0, &read); }, MAPI_E_INVALID_MESSAGE},
      {"delete odd hex", [&] { return MAPIDeleteMail(session_, 0, S("ABC"), 0, 0); }, MAPI_E_INVALID_MESSAGE},
      {"count without recipients", [&] { return send(2, nullptr); }, MAPI_E_INVALID_RECIPS},
      {"no recipient", [&] { return send(0, nullptr); }, MAPI_E_INVALID_RECIPS},
      {"recipient naming nobody", [&] { return send(1, &nobody); }, MAPI_E_INVALID_RECIPS},
      {"originator among recipients", [&] { return send(1, &orig); }, MAPI_E_BAD_RECIPTYPE},
      {"unknown name", [&] { return send(1, &named); }, MAPI_E_UNKNOWN_RECIPIENT},
      {"count without files", [&] { return send(1, &to, 1, nullptr); }, MAPI_E_ATTACHMENT_NOT_FOUND},
      {"missing file", [&] { return send(1, &to, 1, &missing); }, MAPI_E_ATTACHMENT_NOT_FOUND},
      {"send dialog", [&] { return send(1, &to, 0, nullptr, MAPI_DIALOG); }, MAPI_E_USER_ABORT},
      {"send documents", [&] { return MAPISendDocuments(0, S(";"), S(""), S(""), 0); }, MAPI_E_LOGIN_FAILURE},
      {"address dialog",
       [&] { return MAPIAddress(session_, 0, nullptr, 1, nullptr, 0, nullptr, 0, 0, &count, &recip); },
       MAPI_E_NOT_SUPPORTED},
      {"five edit fields",
       [&] { return MAPIAddress(session_, 0, nullptr, 5, nullptr, 0, nullptr, 0, 0, &count, &recip); },
       MAPI_E_INVALID_EDITFIELDS},
      {"address, null outs",
       [&] { return MAPIAddress(session_, 0, nullptr, 1, nullptr, 0, nullptr, 0, 0, nullptr, nullptr); },
       MAPI_E_FAILURE},
      {"details dialog", [&] { return MAPIDetails(session_, 0, &to, MAPI_AB_NOMODIFY, 0); }, MAPI_E_NOT_SUPPORTED},
      {"details of a name", [&] { return MAPIDetails(session_, 0, &named, 0, 0); }, MAPI_E_INVALID_RECIPS},
      {"details of nothing", [&] { return MAPIDetails(session_, 0, nullptr, 0, 0); }, MAPI_E_FAILURE},
      {"resolve, null out", [&] { return MAPIResolveName(session_, 0, S(kAlice), 0, 0, nullptr); }, MAPI_E_FAILURE},
      {"replace without session",
       [&] {
         MapiMessage message{};
         std::string copy = last;
         return MAPISaveMail(0, 0, &message, 0, 0, copy.data());
       },
       MAPI_E_INVALID_SESSION},
  };
  for (const TCase& c : cases) EXPECT_EQ(c.call(), c.expected) << c.what;
  EXPECT_EQ(read, nullptr);
  EXPECT_EQ(Find(), std::vector<std::string>{last});  // nothing was sent or changed
}

}  // namespace
}  // namespace orba::store
