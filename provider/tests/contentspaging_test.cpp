// Pages of a folder's contents: each page is exactly its stretch of the whole read for
// the same restriction and sort order, restrictions SQL only approximates are not
// paged, and a table read a few rows at a time follows a new message.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "base/maperror.h"
#include "mapi/mapiexports.h"
#include "mapiobjects/tables.h"
#include "props/tags.h"
#include "table/mapitable.h"
#include "tempstorehome.h"

namespace orba::store {
namespace {

using testing::TTempStoreHome;
using Keys = std::vector<std::string>;

TStoredProp Text(ULONG tag, const std::u16string& text) {
  SPropValue value{};
  value.ulPropTag = tag;
  value.Value.lpszW = reinterpret_cast<LPWSTR>(const_cast<char16_t*>(text.c_str()));
  return {tag, EncodePropValue(value)};
}
TStoredProp Time(uint64_t time) {
  SPropValue value{};
  value.ulPropTag = tags::kMessageDeliveryTime;
  value.Value.ft = {static_cast<ULONG>(time), static_cast<ULONG>(time >> 32)};
  return {value.ulPropTag, EncodePropValue(value)};
}

Keys KeysOf(const TRowList& rows) {
  Keys keys;
  for (const TRowPtr& row : rows) keys.emplace_back(row->InstanceKey());
  return keys;
}

class ContentsPaging : public ::testing::Test {
 protected:
  void SetUp() override {
    store_ = TOpenStore::Open((home_.Path() / "pages.pst").string(), TStoreKind::PersonalFile, u"P", Bytes(20, 1),
                              Bytes(20, 2));
    folder_ = store_->Engine().Folders().SpecialFolderId(TSpecialFolder::Inbox);
    // Times with ties and, now and then, none; subjects with ties.
    for (uint64_t i = 0; i < 40; ++i) Create(i % 9 ? 132000000000000000ull + (i * 7 % 13) * 1000 : 0, i % 5);
    source_ = CreateContentsSource(store_, folder_, false);
  }
  void TearDown() override {
    source_ = nullptr;
    store_ = nullptr;
  }
  // A message delivered at time (none when 0) with subject "Subject n".
  int64_t Create(uint64_t time, uint64_t n) {
    TMessageImage image;
    image.props.push_back(Text(tags::kSubjectW, u"Subject " + std::u16string(1, static_cast<char16_t>(u'0' + n))));
    if (time) image.props.push_back(Time(time));
    return store_->Engine().Messages().Create(folder_, false, image);
  }
  // Every page of the given sizes equals its stretch of the whole read.
  void ExpectPagesOfWhole(const SRestriction* restriction, const SSortOrderSet* sort) {
    ASSERT_TRUE(source_->CanPage(restriction, sort));
    Keys whole = KeysOf(*source_->Rows(restriction, sort));
    for (size_t size : {1u, 6u, 17u}) {
      Keys paged;
      for (size_t offset = 0;; offset += size) {
        Keys page = KeysOf(*source_->RowsPage(restriction, sort, offset, size));
        ASSERT_LE(page.size(), size);
        paged.insert(paged.end(), page.begin(), page.end());
        if (page.size() < size) break;
      }
      EXPECT_EQ(paged, whole);
    }
    EXPECT_EQ(KeysOf(*source_->RowsPage(restriction, sort, 3, SIZE_MAX)), Keys(whole.begin() + 3, whole.end()));
    EXPECT_TRUE(source_->RowsPage(restriction, sort, whole.size(), 5)->empty());
  }

  TTempStoreHome home_;
  std::shared_ptr<TOpenStore> store_;
  int64_t folder_ = 0;
  std::shared_ptr<TTableRowSource> source_;
};

TEST_F(ContentsPaging, PagesAreStretchesOfTheWholeRead) {
  ExpectPagesOfWhole(nullptr, nullptr);
  SizedSSortOrderSet<2> byTime = {1, 0, 0, {{tags::kMessageDeliveryTime, TABLE_SORT_ASCEND}}};
  ExpectPagesOfWhole(nullptr, byTime.Ptr());
  SizedSSortOrderSet<2> bySubjectThenTime = {
      2, 0, 0, {{tags::kSubjectW, TABLE_SORT_DESCEND}, {tags::kMessageDeliveryTime, TABLE_SORT_ASCEND}}};
  ExpectPagesOfWhole(nullptr, bySubjectThenTime.Ptr());

  SPropValue prefix{};
  prefix.ulPropTag = tags::kSubjectW;
  prefix.Value.lpszW = reinterpret_cast<LPWSTR>(const_cast<char16_t*>(u"SUBJECT 3"));
  SRestriction startsWith{};
  startsWith.rt = RES_CONTENT;
  startsWith.res.resContent = {FL_PREFIX | FL_IGNORECASE, tags::kSubjectW, &prefix};
  ASSERT_TRUE(source_->AcceptsRestriction(startsWith));
  ExpectPagesOfWhole(&startsWith, byTime.Ptr());
  EXPECT_EQ(source_->Rows(&startsWith, nullptr)->size(), 8u);

  // A time beyond the signed 64-bit range sorts through an expression instead of the index.
  Create(0xFFFFFFFFFFFFFF00ull, 7);
  ExpectPagesOfWhole(nullptr, byTime.Ptr());
  EXPECT_EQ(KeysOf(*source_->Rows(nullptr, byTime.Ptr())).back(),
            KeysOf(*source_->RowsPage(nullptr, byTime.Ptr(), 40, 1)).front());
}

TEST_F(ContentsPaging, ApproximateRestrictionsAreNotPaged) {
  SPropValue word{};
  word.ulPropTag = tags::kSubjectW;
  word.Value.lpszW = reinterpret_cast<LPWSTR>(const_cast<char16_t*>(u"ject 2"));
  SRestriction substring{};
  substring.rt = RES_CONTENT;
  substring.res.resContent = {FL_SUBSTRING | FL_IGNORECASE, tags::kSubjectW, &word};
  ASSERT_TRUE(source_->AcceptsRestriction(substring));
  EXPECT_FALSE(source_->CanPage(&substring, nullptr));
  try {
    source_->RowsPage(&substring, nullptr, 0, 10);
    ADD_FAILURE() << "an approximate restriction was paged";
  } catch (const TMapiError& e) {
    EXPECT_EQ(e.Code(), MAPI_E_NO_SUPPORT);
  }
  // The table reads it at once, and right.
  auto table = CreateMapiTable(source_);
  ASSERT_EQ(table->Restrict(&substring, 0), S_OK);
  ULONG count = 0;
  ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 8u);
}

// Records the table notifications as (event, key, prior key).
class Sink final : public TVoComObject<TVoRefCounted, IMAPIAdviseSink> {
 public:
  ULONG STDMETHODCALLTYPE OnNotify(ULONG count, LPNOTIFICATION n) override {
    for (ULONG i = 0; i < count; ++i) {
      const TABLE_NOTIFICATION& t = n[i].info.tab;
      auto bytes = [](const SPropValue& v) {
        return v.ulPropTag == tags::kInstanceKey ? std::string(reinterpret_cast<char*>(v.Value.bin.lpb), v.Value.bin.cb)
                                                 : std::string();
      };
      seen.push_back({t.ulTableEvent, bytes(t.propIndex), bytes(t.propPrior)});
    }
    return 0;
  }
  struct Seen {
    ULONG event;
    std::string key, prior;
  };
  std::vector<Seen> seen;
};

TEST_F(ContentsPaging, TableReadInBatchesFollowsANewMessage) {
  SizedSSortOrderSet<1> byTime = {1, 0, 0, {{tags::kMessageDeliveryTime, TABLE_SORT_ASCEND}}};
  Keys before = KeysOf(*source_->Rows(nullptr, byTime.Ptr()));
  auto table = CreateMapiTable(source_);
  SizedSPropTagArray<1> columns = {1, {tags::kInstanceKey}};
  ASSERT_EQ(table->SetColumns(columns.Ptr(), 0), S_OK);
  ASSERT_EQ(table->SortTable(byTime.Ptr(), 0), S_OK);
  auto sink = MakeComObject<Sink>();
  ULONG_PTR connection = 0;
  ASSERT_EQ(table->Advise(fnevTableModified, sink.get(), &connection), S_OK);
  auto read = [&](LONG count) {
    LPSRowSet rows = nullptr;
    EXPECT_EQ(table->QueryRows(count, 0, &rows), S_OK);
    Keys keys;
    for (ULONG i = 0; rows && i < rows->cRows; ++i) {
      const SBinary& key = rows->aRow[i].lpProps[0].Value.bin;
      keys.emplace_back(reinterpret_cast<const char*>(key.lpb), key.cb);
    }
    FreeProws(rows);
    return keys;
  };
  EXPECT_EQ(read(3), Keys(before.begin(), before.begin() + 3));
  EXPECT_EQ(read(4), Keys(before.begin() + 3, before.begin() + 7));

  // Delivered earlier than every dated message: among the rows read, after the undated ones.
  int64_t id = Create(1000, 9);
  store_->Changed({fnevObjectCreated, TObjectKind::Message, id, folder_});
  Keys after = KeysOf(*source_->Rows(nullptr, byTime.Ptr()));
  ASSERT_EQ(after.size(), before.size() + 1);
  ASSERT_EQ(sink->seen.size(), 1u);
  EXPECT_EQ(sink->seen[0].event, TABLE_ROW_ADDED);
  auto at = std::find(after.begin(), after.end(), sink->seen[0].key);
  ASSERT_TRUE(at != after.end() && at != after.begin());
  EXPECT_LT(at - after.begin(), 7);
  EXPECT_EQ(sink->seen[0].prior, *(at - 1));
  // The cursor stays on the row it was on.
  EXPECT_EQ(read(100), Keys(after.begin() + 8, after.end()));
  EXPECT_EQ(table->Unadvise(connection), S_OK);
}

}  // namespace
}  // namespace orba::store
