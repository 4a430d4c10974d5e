// The profile database under several processes at once, and damaged. What it keeps is
// tested through IProfAdmin and the session.
#include "storage/profiledb.h"

#include <sys/wait.h>
#include <unistd.h>

#include "profiles/services.h"
#include "testsupport.h"

namespace orba::store {
namespace {

using testing::CodeOf;

class ProfileDb : public ::testing::Test {
 protected:
  testing::TTempStoreHome home_;
  std::string path_ = home_.File("profiles.db");
};

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
