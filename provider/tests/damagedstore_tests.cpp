// Store files that are not stores, or damaged ones: opening them answers an error and
// leaves the process able to open stores (the open-store registry stays usable).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "orba/store/maperror.h"
#include "orba/store/msgstore/com/store.h"
#include "tempstorehome.h"

namespace orba::store {
namespace {

using testing::TTempStoreHome;

HRESULT OpenError(const std::filesystem::path& path) {
  try {
    TOpenStore::Open(path.string(), StoreKind::PersonalFile, u"P", Bytes(20, 1), Bytes(20, 2));
  } catch (const MapiError& e) {
    return e.Code();
  }
  return S_OK;
}

void Write(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Read(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(DamagedStoreFile, TextFileIsCorruptDataEveryTime) {
  TTempStoreHome home;
  auto path = home.Path() / "text.pst";
  Write(path, "This is not a message store.\n");
  EXPECT_EQ(OpenError(path), MAPI_E_CORRUPT_DATA);
  // A failed open leaves nothing behind: the next attempt answers again.
  EXPECT_EQ(OpenError(path), MAPI_E_CORRUPT_DATA);
  EXPECT_TRUE(TOpenStore::OpenAt(path.string()).empty());
}

TEST(DamagedStoreFile, EmptyDatabaseIsNotAStore) {
  TTempStoreHome home;
  auto path = home.Path() / "empty.pst";
  Write(path, "");
  EXPECT_EQ(OpenError(path), MAPI_E_CORRUPT_DATA);
}

TEST(DamagedStoreFile, TruncatedStoreFailsAndOthersStillOpen) {
  TTempStoreHome home;
  auto good = home.Path() / "good.pst";
  std::string bytes;
  {
    auto store = TOpenStore::Open(good.string(), StoreKind::PersonalFile, u"P", Bytes(20, 3), Bytes(20, 4));
    store->Engine().CreateMessage(store->Engine().SpecialFolderId(SpecialFolder::Inbox), false, {});
  }
  bytes = Read(good);
  ASSERT_GT(bytes.size(), 4096u);
  auto truncated = home.Path() / "truncated.pst";
  Write(truncated, bytes.substr(0, 4096));
  EXPECT_NE(OpenError(truncated), S_OK);
  // The registry's lock is free again: the intact store and a new one open.
  EXPECT_EQ(OpenError(good), S_OK);
  EXPECT_EQ(OpenError(home.Path() / "new.pst"), S_OK);
}

}  // namespace
}  // namespace orba::store
