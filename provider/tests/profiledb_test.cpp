// The profile database: persistence across reopening, several processes changing
// profiles at once, services and default stores, sections, and error codes.
#include "storage/profiledb.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include "base/maperror.h"
#include "mapi/mapiguid.h"
#include "mapi/mapix.h"
#include "profiles/services.h"
#include "props/tags.h"
#include "tempstorehome.h"

namespace orba::store {
namespace {

HRESULT CodeOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const TMapiError& e) {
    return e.Code();
  }
  return S_OK;
}

TStoredProp LongProp(ULONG tag, ULONG value) {
  SPropValue v{};
  v.ulPropTag = tag;
  v.Value.ul = value;
  return {tag, EncodePropValue(v)};
}

std::optional<ULONG> ReadLong(TProfileDatabase& db, const std::string& profile, const MAPIUID& section, ULONG tag) {
  for (const TStoredProp& prop : db.ReadSection(profile, section))
    if (prop.tag == tag) {
      SPropValue v;
      DecodePropValue(
          tag, prop.value, [](size_t) -> void* { throw std::bad_alloc(); }, v);
      return v.Value.ul;
    }
  return std::nullopt;
}

class ProfileDb : public ::testing::Test {
 protected:
  testing::TTempStoreHome home_;
};

TEST_F(ProfileDb, DefaultPathLiesInOrbaHome) { EXPECT_EQ(TProfileDatabase::DefaultPath(), home_.ProfilesDb()); }

TEST_F(ProfileDb, ProfilesSurviveReopening) {
  MAPIUID service{};
  {
    TProfileDatabase db(home_.ProfilesDb());
    db.CreateProfile("Work");
    db.CreateProfile("Home");
    db.SetDefaultProfile("Home");
    TServicePlan plan = PlanService(kServicePst, u"Archive");
    service = plan.service.uid;
    db.AddService("Work", plan);
    db.UpdateSection("Work", service, {LongProp(PROP_TAG(PT_LONG, 0x6100), 42)}, {});
  }
  TProfileDatabase db(home_.ProfilesDb());
  auto profiles = db.Profiles();
  ASSERT_EQ(profiles.size(), 2u);
  EXPECT_EQ(profiles[0].name, "Work");
  EXPECT_FALSE(profiles[0].isDefault);
  EXPECT_TRUE(profiles[1].isDefault);
  EXPECT_EQ(db.DefaultProfile(), "Home");
  auto services = db.Services("Work");
  ASSERT_EQ(services.size(), 1u);
  EXPECT_EQ(services[0].name, "MSPST MS");
  EXPECT_TRUE(IsEqualMAPIUID(&services[0].uid, &service));
  EXPECT_EQ(ReadLong(db, "Work", service, PROP_TAG(PT_LONG, 0x6100)), 42u);
}

TEST_F(ProfileDb, NamesAreUniqueWithoutRegardToCase) {
  TProfileDatabase db(home_.ProfilesDb());
  db.CreateProfile("Outlook");
  EXPECT_EQ(CodeOf([&] { db.CreateProfile("OUTLOOK"); }), MAPI_E_NO_ACCESS);
  EXPECT_EQ(db.FindProfile("outlook")->name, "Outlook");
  db.RenameProfile("outlook", "OutLook");  // only the case changes
  EXPECT_EQ(db.FindProfile("outlook")->name, "OutLook");
}

TEST_F(ProfileDb, UnknownProfilesAreNotFound) {
  TProfileDatabase db(home_.ProfilesDb());
  EXPECT_EQ(CodeOf([&] { db.DeleteProfile("nobody"); }), MAPI_E_NOT_FOUND);
  EXPECT_EQ(CodeOf([&] { db.SetDefaultProfile("nobody"); }), MAPI_E_NOT_FOUND);
  EXPECT_EQ(CodeOf([&] { db.Services("nobody"); }), MAPI_E_NOT_FOUND);
  EXPECT_EQ(CodeOf([&] { db.RenameProfile("nobody", "x"); }), MAPI_E_NOT_FOUND);
  EXPECT_EQ(CodeOf([&] { db.CopyProfile("nobody", "x"); }), MAPI_E_NOT_FOUND);
  EXPECT_FALSE(db.FindProfile("nobody"));
}

TEST_F(ProfileDb, RenameAndCopyKeepServicesAndSections) {
  TProfileDatabase db(home_.ProfilesDb());
  db.CreateProfile("A");
  db.CreateProfile("B");
  TServicePlan plan = PlanService(kServiceExchange, u"");
  db.AddService("A", plan);
  EXPECT_EQ(CodeOf([&] { db.RenameProfile("A", "B"); }), MAPI_E_NO_ACCESS);
  EXPECT_EQ(CodeOf([&] { db.CopyProfile("A", "b"); }), MAPI_E_NO_ACCESS);
  db.RenameProfile("A", "C");
  db.SetDefaultProfile("C");
  db.CopyProfile("C", "D");
  EXPECT_FALSE(db.FindProfile("A"));
  EXPECT_FALSE(db.FindProfile("D")->isDefault);
  EXPECT_EQ(db.Services("D").size(), 1u);
  EXPECT_EQ(db.Providers("D").size(), 4u);
  EXPECT_EQ(db.ReadSection("D", plan.service.uid).size(), db.ReadSection("C", plan.service.uid).size());
  db.DeleteProfile("C");
  EXPECT_EQ(db.Providers("D").size(), 4u);  // the copy is independent
}

TEST_F(ProfileDb, SetDefaultProfileMovesOrClearsTheFlag) {
  TProfileDatabase db(home_.ProfilesDb());
  db.CreateProfile("One");
  db.CreateProfile("Two");
  db.SetDefaultProfile("One");
  db.SetDefaultProfile("Two");
  EXPECT_EQ(db.DefaultProfile(), "Two");
  EXPECT_FALSE(db.FindProfile("One")->isDefault);
  db.SetDefaultProfile(std::nullopt);
  EXPECT_FALSE(db.DefaultProfile());
}

TEST_F(ProfileDb, FirstStoreBecomesTheDefaultStore) {
  TProfileDatabase db(home_.ProfilesDb());
  db.CreateProfile("P");
  db.AddService("P", PlanService(kServiceContacts, u""));
  TServicePlan pst = PlanService(kServicePst, u"");
  TServicePlan second = PlanService(kServicePst, u"");
  db.AddService("P", pst);
  db.AddService("P", second);
  const MAPIUID& first = pst.providers[0].uid;
  EXPECT_EQ(ReadLong(db, "P", first, tags::kResourceFlags), STATUS_DEFAULT_STORE);
  EXPECT_EQ(ReadLong(db, "P", second.providers[0].uid, tags::kResourceFlags), 0u);
  EXPECT_EQ(*ReadLong(db, "P", pst.service.uid, tags::kResourceFlags) & SERVICE_DEFAULT_STORE, SERVICE_DEFAULT_STORE);

  db.SetDefaultStore("P", second.providers[0].uid);
  EXPECT_EQ(ReadLong(db, "P", first, tags::kResourceFlags), 0u);
  EXPECT_EQ(ReadLong(db, "P", second.providers[0].uid, tags::kResourceFlags), STATUS_DEFAULT_STORE);

  db.DeleteService("P", second.service.uid);  // the default store goes: the next store takes over
  EXPECT_EQ(ReadLong(db, "P", first, tags::kResourceFlags), STATUS_DEFAULT_STORE);
  EXPECT_TRUE(db.ReadSection("P", second.providers[0].uid).empty());
  EXPECT_EQ(db.Providers("P").size(), 2u);
  EXPECT_EQ(CodeOf([&] { db.DeleteService("P", second.service.uid); }), MAPI_E_NOT_FOUND);
  EXPECT_EQ(CodeOf([&] { db.SetDefaultStore("P", db.Providers("P")[0].uid); }), MAPI_E_NOT_FOUND);  // an AB
}

TEST_F(ProfileDb, ExchangeServiceFillsItsSectionsAndTheGlobalSection) {
  TProfileDatabase db(home_.ProfilesDb());
  db.CreateProfile("X");
  TServicePlan plan = PlanService(kServiceExchange, u"Mail");
  db.AddService("X", plan);
  auto providers = db.Providers("X", &plan.service.uid);
  ASSERT_EQ(providers.size(), 4u);
  EXPECT_EQ(providers[0].resourceType, MAPI_STORE_PROVIDER);
  EXPECT_EQ(providers[1].resourceType, MAPI_AB_PROVIDER);
  EXPECT_EQ(providers[2].resourceType, MAPI_TRANSPORT_PROVIDER);
  EXPECT_EQ(providers[3].resourceType, MAPI_STORE_PROVIDER);  // the public folders
  EXPECT_EQ(ReadLong(db, "X", providers[0].uid, tags::kResourceFlags), STATUS_DEFAULT_STORE);
  EXPECT_EQ(ReadLong(db, "X", providers[3].uid, tags::kResourceFlags), STATUS_NO_DEFAULT_STORE);
  MAPIUID global;
  std::memcpy(global.ab, pbGlobalProfileSectionGuid.ab, 16);
  EXPECT_EQ(ReadLong(db, "X", global, tags::kProfileConnectFlags), 0u);
  EXPECT_EQ(ReadLong(db, "X", global, tags::kProfileUiState), 0u);
  TServiceInfo info{plan.service.uid, kServiceExchange};
  EXPECT_FALSE(IsServiceConfigured(db, "X", info));

  std::string mailbox = "jdoe", server = "mail.example.org";
  SPropValue config[2] = {};
  config[0].ulPropTag = tags::kProfileUnresolvedNameA;
  config[0].Value.lpszA = mailbox.data();
  config[1].ulPropTag = tags::kProfileUnresolvedServerA;
  config[1].Value.lpszA = server.data();
  ApplyServiceConfiguration(db, "X", plan.service.uid, 2, config);
  EXPECT_TRUE(IsServiceConfigured(db, "X", info));
  size_t found = 0;
  for (const TStoredProp& prop : db.ReadSection("X", global))
    found += prop.tag == tags::kProfileUnresolvedServerA || prop.tag == tags::kProfileUnresolvedNameA;
  EXPECT_EQ(found, 2u);
}

TEST_F(ProfileDb, ConfigurationWithAnUnstorableValueChangesNothing) {
  TProfileDatabase db(home_.ProfilesDb());
  db.CreateProfile("X");
  TServicePlan plan = PlanService(kServicePst, u"");
  db.AddService("X", plan);
  std::string path = "/tmp/a.pst";
  SPropValue config[2] = {};
  config[0].ulPropTag = tags::kPstPathA;
  config[0].Value.lpszA = path.data();
  config[1].ulPropTag = PROP_TAG(PT_OBJECT, 0x6101);
  size_t before = db.ReadSection("X", plan.service.uid).size();
  EXPECT_EQ(CodeOf([&] { ApplyServiceConfiguration(db, "X", plan.service.uid, 2, config); }), MAPI_E_INVALID_TYPE);
  EXPECT_EQ(db.ReadSection("X", plan.service.uid).size(), before);
  MAPIUID unknown = NewMapiUid();
  EXPECT_EQ(CodeOf([&] { ApplyServiceConfiguration(db, "X", unknown, 1, config); }), MAPI_E_NOT_FOUND);
}

TEST_F(ProfileDb, SectionUpdatesReplaceByPropertyIdAndDelete) {
  TProfileDatabase db(home_.ProfilesDb());
  db.CreateProfile("S");
  MAPIUID section = NewMapiUid();
  db.UpdateSection("S", section, {LongProp(PROP_TAG(PT_LONG, 0x6200), 1), LongProp(PROP_TAG(PT_LONG, 0x6201), 2)}, {});
  SPropValue text{};
  text.ulPropTag = PROP_TAG(PT_UNICODE, 0x6200);
  text.Value.lpszW = const_cast<char16_t*>(u"now text");
  db.UpdateSection("S", section, {{text.ulPropTag, EncodePropValue(text)}}, {0x6201});
  auto props = db.ReadSection("S", section);
  ASSERT_EQ(props.size(), 1u);
  EXPECT_EQ(props[0].tag, text.ulPropTag);
  EXPECT_EQ(CodeOf([&] { db.UpdateSection("none", section, {}, {}); }), MAPI_E_NOT_FOUND);
}

TEST_F(ProfileDb, KnownServices) {
  EXPECT_STREQ(FindKnownService("MSEMS"), "MSEMS");
  EXPECT_STREQ(FindKnownService("MSPST MS"), "MSPST MS");
  EXPECT_STREQ(FindKnownService("CONTAB"), "CONTAB");
  EXPECT_EQ(FindKnownService("msems"), nullptr);
  EXPECT_EQ(FindKnownService("MSUPST MS"), nullptr);
  EXPECT_EQ(CodeOf([] { PlanService("NOPE", u""); }), MAPI_E_NOT_FOUND);
  EXPECT_EQ(DefaultServices(), std::vector<std::string>{"CONTAB"});
}

// Children change profiles at the same time, each through its own connection; nothing
// any of them wrote may be missing afterwards.
// "P<child>_<i>", appended piece by piece: GCC 12 at -O3 reports a false overlap in
// "P" + std::to_string(...).
std::string ChildProfile(int child, int i) {
  std::string name = "P";
  name += std::to_string(child);
  name += '_';
  name += std::to_string(i);
  return name;
}

TEST_F(ProfileDb, ConcurrentProcessesLoseNothing) {
  constexpr int kChildren = 3, kEach = 15;
  { TProfileDatabase(home_.ProfilesDb()).CreateProfile("Shared"); }
  MAPIUID shared = NewMapiUid();
  std::vector<pid_t> children;
  for (int c = 0; c < kChildren; ++c) {
    pid_t pid = fork();
    ASSERT_NE(pid, -1);
    if (pid == 0) {
      int status = 0;
      try {
        TProfileDatabase db(home_.ProfilesDb());
        for (int i = 0; i < kEach; ++i) {
          std::string name = ChildProfile(c, i);
          db.CreateProfile(name);
          db.AddService(name, PlanService(kServicePst, u""));
          db.AddService("Shared", PlanService(kServiceContacts, u""));
          db.UpdateSection("Shared", shared, {LongProp(PROP_TAG(PT_LONG, 0x7000 + c * kEach + i), c)}, {});
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
  TProfileDatabase db(home_.ProfilesDb());
  EXPECT_EQ(db.Profiles().size(), size_t{kChildren * kEach + 1});
  EXPECT_EQ(db.Services("Shared").size(), size_t{kChildren * kEach});
  EXPECT_EQ(db.ReadSection("Shared", shared).size(), size_t{kChildren * kEach});
  for (int c = 0; c < kChildren; ++c)
    for (int i = 0; i < kEach; ++i) EXPECT_EQ(db.Services(ChildProfile(c, i)).size(), 1u);
}

TEST_F(ProfileDb, DamagedFileIsReported) {
  {
    FILE* f = fopen(home_.ProfilesDb().c_str(), "wb");
    fputs("this is not a database, just some text that is long enough to have a header......", f);
    fclose(f);
  }
  EXPECT_EQ(CodeOf([&] { TProfileDatabase db(home_.ProfilesDb()); }), MAPI_E_CORRUPT_DATA);
}

}  // namespace
}  // namespace orba::store
