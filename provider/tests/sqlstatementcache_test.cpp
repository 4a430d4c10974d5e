// Prepared statements kept by a connection for reuse: reuse of released statements,
// fresh statements while one is in use, reset state, the capacity bound.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "base/maperror.h"
#include "base/sqlite.h"
#include "tempstorehome.h"

namespace orba::store {
namespace {

class SqlStatementCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = std::make_unique<TSqlDatabase>((home_.Path() / "cache.db").string());
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

TEST_F(SqlStatementCacheTest, ReleasedStatementIsReusedForTheSameText) {
  { db_->Prepare("SELECT x FROM t").Run(); }
  EXPECT_EQ(db_->IdleStatements(), 1u);
  EXPECT_EQ(LiveStatements(), 1);
  { db_->Prepare("SELECT x FROM t").Run(); }
  EXPECT_EQ(LiveStatements(), 1);
  { db_->Prepare("SELECT x FROM t WHERE x > 1").Run(); }
  EXPECT_EQ(db_->IdleStatements(), 2u);
}

TEST_F(SqlStatementCacheTest, StatementInUseIsNotHandedOutTwice) {
  auto outer = db_->Prepare("SELECT x FROM t ORDER BY x");
  ASSERT_TRUE(outer.Step());
  EXPECT_EQ(outer.Int(0), 1);
  {
    // The same text while the first is mid-way: a statement of its own.
    auto inner = db_->Prepare("SELECT x FROM t ORDER BY x");
    int rows = 0;
    while (inner.Step()) ++rows;
    EXPECT_EQ(rows, 3);
  }
  EXPECT_EQ(LiveStatements(), 2);
  ASSERT_TRUE(outer.Step());
  EXPECT_EQ(outer.Int(0), 2);
}

TEST_F(SqlStatementCacheTest, OneIdleCopyPerTextIsKept) {
  {
    auto a = db_->Prepare("SELECT x FROM t");
    auto b = db_->Prepare("SELECT x FROM t");
    EXPECT_EQ(LiveStatements(), 2);
  }
  EXPECT_EQ(db_->IdleStatements(), 1u);
  EXPECT_EQ(LiveStatements(), 1);
}

TEST_F(SqlStatementCacheTest, ReusedStatementStartsOverWithoutBindings) {
  {
    auto half = db_->Prepare("SELECT x, ?1 FROM t ORDER BY x");
    half.Bind(1, int64_t{42});
    ASSERT_TRUE(half.Step());
    ASSERT_TRUE(half.Step());
    EXPECT_EQ(half.Int(0), 2);
  }
  auto again = db_->Prepare("SELECT x, ?1 FROM t ORDER BY x");
  ASSERT_TRUE(again.Step());
  EXPECT_EQ(again.Int(0), 1);
  EXPECT_TRUE(again.IsNull(1));
}

TEST_F(SqlStatementCacheTest, HalfReadStatementDoesNotKeepTheReadTransaction) {
  {
    auto half = db_->Prepare("SELECT x FROM t");
    ASSERT_TRUE(half.Step());
  }
  EXPECT_EQ(sqlite3_next_stmt(db_->Handle(), nullptr) != nullptr, true);
  for (sqlite3_stmt* s = sqlite3_next_stmt(db_->Handle(), nullptr); s; s = sqlite3_next_stmt(db_->Handle(), s))
    EXPECT_EQ(sqlite3_stmt_busy(s), 0);
  // Another connection can write and the checkpoint can take every frame.
  TSqlDatabase other((home_.Path() / "cache.db").string());
  other.Execute("INSERT INTO t VALUES(4)");
  int log = -1, done = -1;
  ASSERT_EQ(sqlite3_wal_checkpoint_v2(db_->Handle(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, &log, &done), SQLITE_OK);
  auto count = db_->Prepare("SELECT count(*) FROM t");
  ASSERT_TRUE(count.Step());
  EXPECT_EQ(count.Int(0), 4);
}

TEST_F(SqlStatementCacheTest, CapacityBoundsTheIdleStatements) {
  for (int i = 0; i < 200; ++i) db_->Prepare("SELECT x + " + std::to_string(i) + " FROM t").Run();
  EXPECT_EQ(db_->IdleStatements(), 64u);
  EXPECT_EQ(LiveStatements(), 64);
  // The most recent texts stay, the oldest are gone.
  db_->Prepare("SELECT x + 199 FROM t").Run();
  EXPECT_EQ(LiveStatements(), 64);
  db_->Prepare("SELECT x + 0 FROM t").Run();
  EXPECT_EQ(LiveStatements(), 64);
}

TEST_F(SqlStatementCacheTest, SchemaChangeIsSeenByAKeptStatement) {
  { db_->Prepare("SELECT * FROM t").Run(); }
  db_->Execute("ALTER TABLE t ADD COLUMN y TEXT DEFAULT 'z'");
  auto stmt = db_->Prepare("SELECT * FROM t");
  ASSERT_TRUE(stmt.Step());
  EXPECT_EQ(stmt.Text(1), "z");
}

TEST_F(SqlStatementCacheTest, FailedPrepareRaisesAndKeepsNothing) {
  EXPECT_THROW(db_->Prepare("SELECT nothing FROM nowhere"), TMapiError);
  EXPECT_EQ(LiveStatements(), 0);
  EXPECT_EQ(db_->IdleStatements(), 0u);
}

TEST_F(SqlStatementCacheTest, MovedStatementIsReleasedOnce) {
  {
    auto first = db_->Prepare("SELECT x FROM t");
    auto moved = std::move(first);
    ASSERT_TRUE(moved.Step());
  }
  EXPECT_EQ(db_->IdleStatements(), 1u);
  EXPECT_EQ(LiveStatements(), 1);
}

}  // namespace
}  // namespace orba::store
