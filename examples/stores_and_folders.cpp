// Stores and folders: opens the default store of a mailbox profile, walks its folder
// tree with the number of messages in each folder, creates a folder by path, and
// creates a message there and finds it again by entry ID and by search key. Files go to
// $ORBA_HOME (default ~/.local/share/orbamapi); running it again uses what the first
// run made.
#include <cstdio>
#include <map>
#include <string>

#include <orba/orbamapi.h>

#include "example_profile.h"

using namespace orba;

namespace {

std::string Text(IUnknown* Object, TVoMAPIPropDef Prop) {
  return ToUtf8(ComPtr<IUnknown>(Object).Query<IVoMAPIProp>(IID_IVoMAPIProp)->PropByName(Prop)->Get_AsString());
}

// Prints the folders below the IPM subtree, indented by depth, with their message
// counts, and the totals.
void PrintTree(IVoMAPIMsgStore* Store) {
  std::map<std::string, int> depth;  // by entry ID text
  int folders = 0, messages = 0;
  TVoMAPIMsgStoreParser parser;
  parser.OnParseStart = [&](TVoMAPIMsgStoreParser*, IVoMAPIMsgStore*, IVoMAPIFolder* Folder) {
    depth[Text(Folder, PR_ENTRYID)] = 0;
  };
  parser.OnParseSubFolder = [&](TVoMAPIMsgStoreParser*, IVoMAPIMsgStore*, IVoMAPIFolder* Parent, IVoMAPIFolder* Folder,
                                bool&) {
    const int level = depth[Text(Parent, PR_ENTRYID)] + 1;
    depth[Text(Folder, PR_ENTRYID)] = level;
    ++folders;
    std::printf("%*s%s (%s)\n", 2 * level, "", Text(Folder, PR_DISPLAY_NAME).c_str(),
                Text(Folder, PR_CONTENT_COUNT).c_str());
  };
  parser.OnParseMessage = [&](TVoMAPIMsgStoreParser*, IVoMAPIMsgStore*, IVoMAPIFolder*, const TVoMAPIEntryID&,
                              const WideString&) { ++messages; };
  parser.Start(Store, nullptr);
  std::printf("%d folders, %d messages\n", folders, messages);
}

}  // namespace

int main() {
  try {
    auto session = MakeComObject<TSession>();
    example::LogonToMailbox(*session, "Stores", "carol", "mail1");

    ComPtr<IVoMAPIMsgStore> store = session->OpenDefaultMsgStore(alBestAccess, false);
    PrintTree(store.get());

    // A folder two levels below the Inbox, made once and then opened by its path.
    store->OpenFolderByType(ftInbox, alReadWrite, false)
        ->CreateFolder(u"IPF.Note", u"Customers", u"", true)
        ->CreateFolder(u"IPF.Note", u"2024", u"", true);
    ComPtr<IVoMAPIFolder> folder = store->OpenFolderByPath(u"//[Inbox]/Customers/2024", alReadWrite, false);
    std::printf("Opened %s (folder type %d)\n", Text(folder.get(), PR_DISPLAY_NAME).c_str(), folder->Get_FolderType());

    // A message made there (its class comes from the folder) and found again.
    ComPtr<IVoMAPIMessage> message = folder->CreateMessage(u"");
    message->Set_Subject(u"Quarterly figures");
    ComPtr<IVoMAPIProp> props = message.Query<IVoMAPIProp>(IID_IVoMAPIProp);
    props->SaveChanges(smKeepOpenReadWrite);
    ComPtr<IVoMAPIMessage> found = store->FindMessage(props->Get_EntryID(), alReadOnly, false);
    ComPtr<IVoMAPIMessage> searched = store->SearchMessage(props->Get_SearchKey(), alReadOnly, false);
    std::printf("Found \"%s\" (%s) by entry ID, and by search key in %s\n", ToUtf8(found->Get_Subject()).c_str(),
                ToUtf8(found->Get_MessageClass()).c_str(),
                Text(searched->Get_ParentFolder().get(), PR_DISPLAY_NAME).c_str());
    PrintTree(store.get());

    store = nullptr;
    session->Logoff();
    session->MAPIUnitialize();
  } catch (const EVoException& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
