// Durability of the message store engine across processes: a writer killed in the
// middle of a bulk import, and two processes writing one store at once.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>

#include "base/sqlite.h"
#include "props/tags.h"
#include "storage/storeengine.h"
#include "tempstorehome.h"

namespace orba::store {
namespace {

TMessageImage Numbered(int n) {
  std::string number = std::to_string(n);
  std::u16string subject = u"Message " + std::u16string(number.begin(), number.end());
  SPropValue value{};
  value.ulPropTag = tags::kSubjectW;
  value.Value.lpszW = reinterpret_cast<LPWSTR>(subject.data());
  TMessageImage image;
  image.props.push_back({tags::kSubjectW, EncodePropValue(value)});
  return image;
}

// Writes n messages into the Inbox of the store at path; after each save returns,
// its id goes to fd. Runs in a child process and never returns.
[[noreturn]] void Import(const std::string& path, int n, int fd) {
  int status = 0;
  try {
    auto store = TStoreEngine::Open(path);
    int64_t inbox = store->Folders().SpecialFolderId(TSpecialFolder::Inbox);
    for (int i = 0; i < n; ++i) {
      int64_t id = store->Messages().Create(inbox, false, Numbered(i));
      if (fd >= 0 && write(fd, &id, sizeof(id)) != sizeof(id)) status = 2;
    }
  } catch (...) {
    status = 1;
  }
  _exit(status);
}

class StoreDurabilityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (home_.Path() / "store.db").string();
    TStoreEngine::Create(path_, TStoreKind::Mailbox, u"Mailbox");
  }
  testing::TTempStoreHome home_;
  std::string path_;
};

TEST_F(StoreDurabilityTest, AKilledImportLosesNoSavedMessage) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(fds[0]);
    Import(path_, 100000, fds[1]);
  }
  close(fds[1]);
  std::set<int64_t> saved;
  int64_t id = 0;
  while (saved.size() < 200 && read(fds[0], &id, sizeof(id)) == sizeof(id)) saved.insert(id);
  kill(child, SIGKILL);
  // Whatever is still in the pipe was saved too.
  while (read(fds[0], &id, sizeof(id)) == sizeof(id)) saved.insert(id);
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  ASSERT_GE(saved.size(), 200u);

  {
    TSqlDatabase db(path_);
    auto check = db.Prepare("PRAGMA integrity_check");
    ASSERT_TRUE(check.Step());
    EXPECT_EQ(check.Text(0), "ok");
  }
  auto store = TStoreEngine::Open(path_);
  for (int64_t message : saved) EXPECT_NO_THROW(store->Messages().Load(message)) << message;
  // The store still takes changes.
  store->Messages().Create(store->Folders().SpecialFolderId(TSpecialFolder::Inbox), false, Numbered(-1));
}

TEST_F(StoreDurabilityTest, TwoProcessesWritingOneStoreLoseNothing) {
  constexpr int kEach = 150;
  pid_t children[2];
  for (pid_t& child : children) {
    child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) Import(path_, kEach, -1);
  }
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  auto store = TStoreEngine::Open(path_);
  int64_t inbox = store->Folders().SpecialFolderId(TSpecialFolder::Inbox);
  auto ids = store->Messages().Ids(inbox, false);
  ASSERT_EQ(ids.size(), 2u * kEach);
  std::set<int64_t> changeNumbers;
  std::set<std::string> sourceKeys;  // as text: GCC 12 at -O3 misjudges comparisons of byte vectors
  for (int64_t id : ids) {
    TMessageRecord record = store->Messages().Get(id);
    changeNumbers.insert(record.change.changeNumber);
    sourceKeys.emplace(record.change.sourceKey.begin(), record.change.sourceKey.end());
  }
  EXPECT_EQ(changeNumbers.size(), ids.size());
  EXPECT_EQ(sourceKeys.size(), ids.size());
}

}  // namespace
}  // namespace orba::store
