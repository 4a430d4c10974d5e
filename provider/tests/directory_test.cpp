// The organisation's directory of mailboxes: entering mailboxes, unsafe names, their
// addresses (defaults, changes, lookups), and directories written by other versions.
#include <gtest/gtest.h>

#include "storage/directory.h"
#include "storage/sqlite/sqlite.h"
#include "testsupport.h"

namespace orba::store {
namespace {

using testing::CodeOf;

class Directory : public ::testing::Test {
 protected:
  // A directory file as made before versions were kept and mailboxes had addresses.
  void WriteOldDirectory() {
    std::filesystem::create_directories(home_.Path() / "server");
    TSqlDatabase db(home_.File("server/directory.db"));
    db.Execute(
        "CREATE TABLE mailboxes(name TEXT PRIMARY KEY COLLATE NOCASE, display_name TEXT NOT NULL, "
        "server TEXT NOT NULL, store_path TEXT NOT NULL)");
    db.Execute("INSERT INTO mailboxes VALUES('old', 'Old One', 'mail1', '/tmp/old.db')");
  }
  int64_t Version() {
    TSqlDatabase db(home_.File("server/directory.db"));
    auto stmt = db.Prepare("PRAGMA user_version");
    return stmt.Step() ? stmt.Int(0) : -1;
  }
  testing::TTempStoreHome home_;
};

TEST_F(Directory, KeepsMailboxesAndRefusesUnsafeNames) {
  TDirectoryMailbox entry = TServerDirectory::Register("alice", "mail1");
  EXPECT_EQ(entry.storePath, home_.File("server/alice.db"));
  EXPECT_EQ(TServerDirectory::Register("ALICE", "other").server, "mail1");
  EXPECT_TRUE(TServerDirectory::Find("Alice").has_value());
  EXPECT_FALSE(TServerDirectory::Find("bob").has_value());
  for (const char* bad : {"", "../evil", "a/b", ".hidden"})
    EXPECT_EQ(CodeOf([&] { TServerDirectory::Register(bad, "srv"); }), MAPI_E_INVALID_PARAMETER) << bad;
  EXPECT_EQ(Version(), 1);
}

TEST_F(Directory, AddressesHaveDefaultsAndCanBeChanged) {
  WriteOldDirectory();
  auto old = TServerDirectory::Find("OLD");
  ASSERT_TRUE(old.has_value());
  EXPECT_EQ(Version(), 1);  // brought up to date
  EXPECT_EQ(old->legacyDn, std::string(kLegacyDnPrefix) + "old");
  EXPECT_EQ(old->smtpAddress, "old@orba.example");
  TDirectoryMailbox fresh = TServerDirectory::Register("fresh", "mail1");
  EXPECT_EQ(fresh.smtpAddress, "fresh@orba.example");
  EXPECT_EQ(TServerDirectory::FindByAddress("smtp", "OLD@ORBA.EXAMPLE")->name, "old");
  EXPECT_EQ(TServerDirectory::FindByAddress("EX", std::string(kLegacyDnPrefix) + "FRESH")->name, "fresh");
  EXPECT_FALSE(TServerDirectory::FindByAddress("X400", "old@orba.example").has_value());
  EXPECT_EQ(TServerDirectory::FindByStorePath(fresh.storePath)->name, "fresh");

  struct TBad {
    const char *name, *dn, *smtp;
    HRESULT code;
  };
  for (const TBad& bad : {TBad{"fresh", "/o=X/cn=new", "OLD@orba.example", MAPI_E_COLLISION},
                          {"fresh", "cn=new", "new@x.org", MAPI_E_INVALID_PARAMETER},
                          {"fresh", "/o=X/cn=new", "new@@x.org", MAPI_E_INVALID_PARAMETER},
                          {"fresh", "/o=X/cn=new", "@x.org", MAPI_E_INVALID_PARAMETER},
                          {"ghost", "/o=X/cn=new", "g@x.org", MAPI_E_NOT_FOUND}})
    EXPECT_EQ(CodeOf([&] { TServerDirectory::SetAddresses(bad.name, bad.dn, bad.smtp); }), bad.code) << bad.smtp;
  TDirectoryMailbox changed = TServerDirectory::SetAddresses("FRESH", "/o=X/cn=new", "New@X.org");
  EXPECT_EQ(changed.legacyDn, "/o=X/cn=new");
  EXPECT_EQ(TServerDirectory::FindByAddress("SMTP", "new@x.ORG")->name, "fresh");
  EXPECT_FALSE(TServerDirectory::FindByAddress("SMTP", "fresh@orba.example").has_value());
}

TEST_F(Directory, ALaterVersionsDirectoryIsRefused) {
  TServerDirectory::Register("alice", "mail1");
  {
    TSqlDatabase db(home_.File("server/directory.db"));
    db.Execute("PRAGMA user_version=7");
  }
  EXPECT_EQ(CodeOf([] { TServerDirectory::Find("alice"); }), MAPI_E_VERSION);
  EXPECT_EQ(Version(), 7);
}

}  // namespace
}  // namespace orba::store
