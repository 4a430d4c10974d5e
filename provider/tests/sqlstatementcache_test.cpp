// Prepared statements a connection keeps for reuse: one in use is never handed out
// twice, a reused one starts over, and kept ones see schema changes.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "storage/sqlite/sqlite.h"
#include "testsupport.h"

namespace orba::store {
namespace {

class SqlStatementCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = std::make_unique<TSqlDatabase>(home_.File("cache.db"));
    db_->Execute("CREATE TABLE t(x INTEGER)");
    db_->Execute("INSERT INTO t VALUES(1),(2),(3)");
  }
  // Every statement the connection has prepared and not finalized.
  int LiveStatements() const {
    int count = 0;
    for (sqlite3_stmt* s = sqlite3_next_stmt(db_->Handle(), nullptr); s; s = sqlite3_next_stmt(db_->Handle(), s))
      ++count;
    return count;
  }

  testing::TTempStoreHome home_;
  std::unique_ptr<TSqlDatabase> db_;
};

TEST_F(SqlStatementCacheTest, StatementInUseIsNotHandedOutTwice) {
  auto outer = db_->Prepare("SELECT x FROM t ORDER BY x");
  ASSERT_TRUE(outer.Step());
  {
    auto inner = db_->Prepare("SELECT x FROM t ORDER BY x");
    int rows = 0;
    while (inner.Step()) ++rows;
    EXPECT_EQ(rows, 3);
  }
  ASSERT_TRUE(outer.Step());
  EXPECT_EQ(outer.Int(0), 2);
}

TEST_F(SqlStatementCacheTest, ReusedStatementStartsOverWithoutBindingsOrReadTransaction) {
  {
    auto half = db_->Prepare("SELECT x, ?1 FROM t ORDER BY x");
    half.Bind(1, int64_t{42});
    ASSERT_TRUE(half.Step());
  }
  for (sqlite3_stmt* s = sqlite3_next_stmt(db_->Handle(), nullptr); s; s = sqlite3_next_stmt(db_->Handle(), s))
    EXPECT_EQ(sqlite3_stmt_busy(s), 0);
  // Another connection writes, and the checkpoint can take every frame.
  TSqlDatabase(home_.File("cache.db")).Execute("INSERT INTO t VALUES(4)");
  int log = -1, done = -1;
  ASSERT_EQ(sqlite3_wal_checkpoint_v2(db_->Handle(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, &log, &done), SQLITE_OK);
  auto again = db_->Prepare("SELECT x, ?1 FROM t ORDER BY x");
  ASSERT_TRUE(again.Step());
  EXPECT_EQ(again.Int(0), 1);
  EXPECT_TRUE(again.IsNull(1));
}

TEST_F(SqlStatementCacheTest, CapacityBoundsTheIdleStatements) {
  for (int i = 0; i < 200; ++i) db_->Prepare("SELECT x + " + std::to_string(i) + " FROM t").Run();
  EXPECT_EQ(db_->IdleStatements(), 64u);
  EXPECT_EQ(LiveStatements(), 64);
}

TEST_F(SqlStatementCacheTest, KeptStatementsSeeSchemaChangesAndFailuresKeepNothing) {
  { db_->Prepare("SELECT * FROM t").Run(); }
  db_->Execute("ALTER TABLE t ADD COLUMN y TEXT DEFAULT 'z'");
  {
    auto stmt = db_->Prepare("SELECT * FROM t");
    ASSERT_TRUE(stmt.Step());
    EXPECT_EQ(stmt.Text(1), "z");
  }
  EXPECT_EQ(testing::CodeOf([&] { db_->Prepare("SELECT nothing FROM nowhere"); }), MAPI_E_DISK_ERROR);
  EXPECT_EQ(LiveStatements(), 1);
}

}  // namespace
}  // namespace orba::store
