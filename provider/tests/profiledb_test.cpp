// The profile database: persistence across reopening, names unique regardless of case,
// services and default stores, sections, several processes at once, damaged files.
#include "storage/profiledb.h"

#include <sys/wait.h>
#include <unistd.h>

#include "mapi/mapiguid.h"
#include "profiles/services.h"
#include "testsupport.h"

namespace orba::store {
namespace {

using testing::CodeOf;

std::optional<ULONG> ReadLong(TProfileDatabase& db, const std::string& profile, const MAPIUID& section, ULONG tag) {
  for (const TStoredProp& prop : db.ReadSection(profile, section))
    if (prop.tag == tag) return static_cast<ULONG>(*StoredNumber(prop));
  return std::nullopt;
}

class ProfileDb : public ::testing::Test {
 protected:
  testing::TTempStoreHome home_;
  std::string path_ = home_.File("profiles.db");
};

TEST_F(ProfileDb, ProfilesServicesAndSectionsSurviveReopening) {
  EXPECT_EQ(TProfileDatabase::DefaultPath(), path_);
  TServicePlan plan = PlanService(kServicePst, u"Archive");
  {
    TProfileDatabase db(path_);
    db.CreateProfile("Work");
    db.CreateProfile("Home");
    db.SetDefaultProfile("Home");
    db.AddService("Work", plan);
    db.UpdateSection("Work", plan.service.uid, {Stored(LongValue(PROP_TAG(PT_LONG, 0x6100), 42))}, {});
  }
  TProfileDatabase db(path_);
  auto profiles = db.Profiles();
  ASSERT_EQ(profiles.size(), 2u);
  EXPECT_EQ(profiles[0].name, "Work");
  EXPECT_FALSE(profiles[0].isDefault);
  EXPECT_EQ(db.DefaultProfile(), "Home");
  auto services = db.Services("Work");
  ASSERT_EQ(services.size(), 1u);
  EXPECT_EQ(services[0].name, "MSPST MS");
  EXPECT_TRUE(IsEqualMAPIUID(&services[0].uid, &plan.service.uid));
  EXPECT_EQ(ReadLong(db, "Work", plan.service.uid, PROP_TAG(PT_LONG, 0x6100)), 42u);
  // A section update replaces by property identifier and deletes.
  std::u16string text = u"now text";
  db.UpdateSection("Work", plan.service.uid, {Stored(TextValue(PROP_TAG(PT_UNICODE, 0x6100), text))}, {});
  EXPECT_EQ(ReadLong(db, "Work", plan.service.uid, PROP_TAG(PT_LONG, 0x6100)), std::nullopt);
  db.UpdateSection("Work", plan.service.uid, {}, {0x6100});
  for (const TStoredProp& prop : db.ReadSection("Work", plan.service.uid)) EXPECT_NE(PROP_ID(prop.tag), 0x6100u);
}

TEST_F(ProfileDb, NamesUniqueRegardlessOfCaseAndUnknownProfiles) {
  TProfileDatabase db(path_);
  db.CreateProfile("A");
  db.CreateProfile("B");
  TServicePlan plan = PlanService(kServiceExchange, u"");
  db.AddService("A", plan);
  EXPECT_EQ(CodeOf([&] { db.CreateProfile("a"); }), MAPI_E_NO_ACCESS);
  EXPECT_EQ(CodeOf([&] { db.RenameProfile("A", "B"); }), MAPI_E_NO_ACCESS);
  EXPECT_EQ(CodeOf([&] { db.CopyProfile("A", "b"); }), MAPI_E_NO_ACCESS);
  db.RenameProfile("a", "C");
  db.RenameProfile("c", "C");  // only the case changes
  EXPECT_EQ(db.FindProfile("c")->name, "C");
  db.SetDefaultProfile("C");
  db.CopyProfile("C", "D");
  EXPECT_FALSE(db.FindProfile("A"));
  EXPECT_FALSE(db.FindProfile("D")->isDefault);
  EXPECT_EQ(db.ReadSection("D", plan.service.uid).size(), db.ReadSection("C", plan.service.uid).size());
  db.DeleteProfile("C");
  EXPECT_EQ(db.Providers("D").size(), 4u);  // the copy is independent
  EXPECT_FALSE(db.DefaultProfile());
  db.SetDefaultProfile("B");
  db.SetDefaultProfile("D");
  EXPECT_FALSE(db.FindProfile("B")->isDefault);
  db.SetDefaultProfile(std::nullopt);
  EXPECT_FALSE(db.DefaultProfile());
  for (auto call : std::initializer_list<std::function<void()>>{
           [&] { db.DeleteProfile("nobody"); }, [&] { db.SetDefaultProfile("nobody"); }, [&] { db.Services("nobody"); },
           [&] { db.RenameProfile("nobody", "x"); }, [&] { db.CopyProfile("nobody", "x"); },
           [&] { db.UpdateSection("nobody", plan.service.uid, {}, {}); }})
    EXPECT_EQ(CodeOf(call), MAPI_E_NOT_FOUND);
}

TEST_F(ProfileDb, FirstStoreIsTheDefaultUntilAnotherIsMadeOrItGoes) {
  TProfileDatabase db(path_);
  db.CreateProfile("P");
  db.AddService("P", PlanService(kServiceContacts, u""));
  TServicePlan pst = PlanService(kServicePst, u""), second = PlanService(kServicePst, u"");
  db.AddService("P", pst);
  db.AddService("P", second);
  const MAPIUID &first = pst.providers[0].uid, &other = second.providers[0].uid;
  auto flags = [&](const MAPIUID& section) { return ReadLong(db, "P", section, tags::kResourceFlags); };
  EXPECT_EQ(flags(first), STATUS_DEFAULT_STORE);
  EXPECT_EQ(flags(other), 0u);
  EXPECT_EQ(*flags(pst.service.uid) & SERVICE_DEFAULT_STORE, SERVICE_DEFAULT_STORE);
  db.SetDefaultStore("P", other);
  EXPECT_EQ(flags(first), 0u);
  EXPECT_EQ(flags(other), STATUS_DEFAULT_STORE);
  db.DeleteService("P", second.service.uid);
  EXPECT_EQ(flags(first), STATUS_DEFAULT_STORE);
  EXPECT_TRUE(db.ReadSection("P", other).empty());
  EXPECT_EQ(CodeOf([&] { db.DeleteService("P", second.service.uid); }), MAPI_E_NOT_FOUND);
  EXPECT_EQ(CodeOf([&] { db.SetDefaultStore("P", db.Providers("P")[0].uid); }), MAPI_E_NOT_FOUND);  // an AB
}

TEST_F(ProfileDb, ExchangeServiceSectionsAndConfiguration) {
  TProfileDatabase db(path_);
  db.CreateProfile("X");
  TServicePlan plan = PlanService(kServiceExchange, u"Mail");
  db.AddService("X", plan);
  auto providers = db.Providers("X", &plan.service.uid);
  ASSERT_EQ(providers.size(), 4u);
  const ULONG types[] = {MAPI_STORE_PROVIDER, MAPI_AB_PROVIDER, MAPI_TRANSPORT_PROVIDER, MAPI_STORE_PROVIDER};
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(providers[i].resourceType, types[i]);
  EXPECT_EQ(ReadLong(db, "X", providers[3].uid, tags::kResourceFlags), STATUS_NO_DEFAULT_STORE);  // public folders
  MAPIUID global;
  std::memcpy(global.ab, pbGlobalProfileSectionGuid.ab, 16);
  EXPECT_EQ(ReadLong(db, "X", global, tags::kProfileConnectFlags), 0u);
  TServiceInfo info{plan.service.uid, kServiceExchange};
  EXPECT_FALSE(IsServiceConfigured(db, "X", info));
  SPropValue config[2]{};
  config[0].ulPropTag = tags::kProfileUnresolvedNameA;
  config[0].Value.lpszA = const_cast<char*>("jdoe");
  config[1].ulPropTag = tags::kProfileUnresolvedServerA;
  config[1].Value.lpszA = const_cast<char*>("mail.example.org");
  ApplyServiceConfiguration(db, "X", plan.service.uid, 2, config);
  EXPECT_TRUE(IsServiceConfigured(db, "X", info));
  // A configuration with a value that cannot be kept changes nothing.
  size_t before = db.ReadSection("X", plan.service.uid).size();
  config[1].ulPropTag = PROP_TAG(PT_OBJECT, 0x6101);
  EXPECT_EQ(CodeOf([&] { ApplyServiceConfiguration(db, "X", plan.service.uid, 2, config); }), MAPI_E_INVALID_TYPE);
  EXPECT_EQ(db.ReadSection("X", plan.service.uid).size(), before);
  MAPIUID unknown = NewMapiUid();
  EXPECT_EQ(CodeOf([&] { ApplyServiceConfiguration(db, "X", unknown, 1, config); }), MAPI_E_NOT_FOUND);
  EXPECT_STREQ(FindKnownService("MSPST MS"), "MSPST MS");
  EXPECT_EQ(FindKnownService("msems"), nullptr);
  EXPECT_EQ(CodeOf([] { PlanService("NOPE", u""); }), MAPI_E_NOT_FOUND);
  EXPECT_EQ(DefaultServices(), std::vector<std::string>{"CONTAB"});
}

TEST_F(ProfileDb, ConcurrentProcessesLoseNothing) {
  constexpr int kChildren = 3, kEach = 15;
  TProfileDatabase(path_).CreateProfile("Shared");
  MAPIUID shared = NewMapiUid();
  std::vector<pid_t> children;
  for (int c = 0; c < kChildren; ++c) {
    pid_t pid = fork();
    ASSERT_NE(pid, -1);
    if (pid == 0) {
      // Each child changes profiles through a connection of its own.
      int status = 0;
      try {
        TProfileDatabase db(path_);
        for (int i = 0; i < kEach; ++i) {
          std::string name = "P";
          name += std::to_string(c * kEach + i);
          db.CreateProfile(name);
          db.AddService(name, PlanService(kServicePst, u""));
          db.AddService("Shared", PlanService(kServiceContacts, u""));
          db.UpdateSection("Shared", shared, {Stored(LongValue(PROP_TAG(PT_LONG, 0x7000 + c * kEach + i), c))}, {});
        }
      } catch (const std::exception& e) {
        fprintf(stderr, "child %d: %s\n", c, e.what());
        status = 1;
      }
      _exit(status);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  TProfileDatabase db(path_);
  EXPECT_EQ(db.Profiles().size(), size_t{kChildren * kEach + 1});
  EXPECT_EQ(db.Services("Shared").size(), size_t{kChildren * kEach});
  EXPECT_EQ(db.ReadSection("Shared", shared).size(), size_t{kChildren * kEach});
}

TEST_F(ProfileDb, DamagedFileIsCorruptData) {
  FILE* f = fopen(path_.c_str(), "wb");
  fputs("this is not a database, just some text that is long enough to have a header......", f);
  fclose(f);
  EXPECT_EQ(CodeOf([&] { TProfileDatabase db(path_); }), MAPI_E_CORRUPT_DATA);
}

}  // namespace
}  // namespace orba::store
