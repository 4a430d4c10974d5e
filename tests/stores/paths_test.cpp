// Folders found by path and by display name: the path syntax in all its forms (each
// special name is tried with the special folders), its errors and malformed paths, and
// the depth-first search by name.
#include <gtest/gtest.h>

#include "stores/storesfixture.h"

namespace {

using namespace orba;
using namespace orba::test;

class PathsTest : public StoresTest {
 protected:
  void SetUp() override {
    StoresTest::SetUp();
    ComPtr<IVoMAPIFolder> customers = Inbox()->CreateFolder(u"IPF.Note", u"Customers", u"", false);
    customers->CreateFolder(u"IPF.Note", u"2024", u"", false);
    customers->CreateFolder(u"IPF.Note", u"Target", u"the deep one", false);
    Subtree()->CreateFolder(u"IPF.Note", u"Projects", u"", false);
    Subtree()->CreateFolder(u"IPF.Note", u"Target", u"the shallow one", false);
  }
  std::string CommentOf(const ComPtr<IVoMAPIFolder>& Folder) {
    return ToUtf8(Props(Folder.get())->PropByName(PR_COMMENT)->Get_AsString());
  }
};

TEST_F(PathsTest, OpensEveryFormOfPath) {
  const struct {
    const char16_t* path;
    const char* name;
  } cases[] = {
      {u"//[Inbox]", "Inbox"},
      {u"[inbox]", "Inbox"},
      {u"  //[Inbox]/Customers/2024  ", "2024"},
      {u"[INBOX]/customers", "Customers"},
      {u"Inbox/Customers/2024", "2024"},
      {u"//", "Top of Information Store"},
      {u"[IPMRoot]/Projects", "Projects"},
      {u"[SyncIssues]/Conflicts", "Conflicts"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.path));
    EXPECT_EQ(NameOf(store_->OpenFolderByPath(c.path, alReadOnly, false).get()), c.name);
  }
}

TEST_F(PathsTest, MalformedAndMissingPathsRaiseTheirTexts) {
  const WideString longPath = [] {
    WideString path = u"Inbox";
    for (int i = 0; i < 2000; ++i) path += u"/Customers";
    return path;
  }();
  const WideString longName = u"[Inbox]/" + WideString(20000, u'x');
  const struct {
    WideString path;
    std::string text;
  } cases[] = {
      {u"[Mailbox]", "There is no special folder Mailbox"},
      {u"[]", "There is no special folder "},
      {u"Projects/Old", "The given path Projects/Old does not exist!"},
      {u"Inbox//Customers", "The given path Inbox//Customers does not exist!"},
      {u"/Inbox", "The given path /Inbox does not exist!"},
      {u"[Inbox", "The path [Inbox is not a valid folder path!"},
      {u"[Inbox]Customers", "The path [Inbox]Customers is not a valid folder path!"},
      {u"[[Inbox]]", "There is no special folder [Inbox"},
      {longPath, "The given path " + ToUtf8(longPath) + " does not exist!"},
      {longName, "The given path " + ToUtf8(longName) + " does not exist!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.path).substr(0, 40));
    EXPECT_MAPI_ERROR(store_->OpenFolderByPath(c.path, alReadOnly, false), E_INVALIDARG, c.text);
  }
}

TEST_F(PathsTest, FindsFoldersByNameDepthFirst) {
  // Without recursion only the subtree's own subfolders count.
  EXPECT_EQ(CommentOf(store_->OpenFolderByName(u"TARGET", false, alReadOnly, false)), "the shallow one");
  // With it, the Inbox's subtree is searched before the subtree's later rows.
  EXPECT_EQ(CommentOf(store_->OpenFolderByName(u"target", true, alReadOnly, false)), "the deep one");
  EXPECT_EQ(NameOf(store_->OpenFolderByName(u"conflicts", true, alReadOnly, false).get()), "Conflicts");
  for (bool recursive : {false, true})
    EXPECT_MAPI_ERROR(store_->OpenFolderByName(recursive ? u"Nowhere" : u"2024", recursive, alReadOnly, false), E_FAIL,
                      "TVoMAPIMsgStore.OpenFolderByName failed, because the message store does not have a folder of "
                      "the type you requested!");
}

}  // namespace
