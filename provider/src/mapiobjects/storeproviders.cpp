// The "MSEMS" mailbox and public folders and the "MSPST MS" store providers: see
// providers.h.
//
// A store's own entry ID is four flag bytes and its provider section's UID, so the
// session can name a store before anyone logs on; its objects' entry IDs carry the
// store database's provider UID. A logon reports both UIDs for routing.
#include <filesystem>

#include "base/maperror.h"
#include "mapiobjects/msgstore.h"
#include "mapiobjects/openstore.h"
#include "mapiobjects/storeproviders.h"
#include "orba/common/utf8.h"
#include "profiles/services.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "session/storeentryid.h"
#include "session/storeprovider.h"
#include "storage/directory.h"

namespace orba::store {
namespace {

// A text property of the section (either width) as UTF-16, if present.
std::optional<std::u16string> SectionText(const TStoredProps& section, ULONG propId) {
  for (const TStoredProp& prop : section) {
    if (PROP_ID(prop.tag) != propId) continue;
    auto value = DecodeStored({prop});
    if (PROP_TYPE(prop.tag) == PT_UNICODE) return std::u16string(reinterpret_cast<const char16_t*>(value->Value.lpszW));
    if (PROP_TYPE(prop.tag) == PT_STRING8) return FromUtf8(value->Value.lpszA);
  }
  return std::nullopt;
}

class TOrbaStoreProvider : public IStoreProvider {
 public:
  Bytes StoreEntryId(const TStoreContext& context) const override { return ProviderEntryId(context.provider); }

  TStoreLogon Logon(const TStoreContext& context, ULONG flags) override {
    TStoredProps section = context.db->ReadSection(context.profile, context.provider);
    TLocation where = Locate(section);
    if (!where.path)
      throw TMapiError((flags & MDB_NO_DIALOG) ? MAPI_E_LOGON_FAILED : MAPI_E_USER_CANCEL,
                       "The store is not configured, and no dialog can ask for its settings.");
    Bytes own = StoreEntryId(context);
    auto store = TOpenStore::Open(*where.path, Kind(), where.displayName, own, WrapStoreEntryId(kProviderDllName, own));
    bool writable = (flags & (MDB_WRITE | MAPI_BEST_ACCESS)) != 0;
    return {CreateMsgStore(store, writable), {store->Engine().ProviderUid(), EntryIdProviderUid(own)}};
  }

 protected:
  struct TLocation {
    std::optional<std::string> path;  // none: the section lacks the settings
    std::u16string displayName;
  };
  virtual TLocation Locate(const TStoredProps& section) const = 0;
  virtual TStoreKind Kind() const = 0;
};

class TMailboxStoreProvider final : public TOrbaStoreProvider {
 public:
  MAPIUID MdbProvider() const override { return kExchangeMdbProvider; }

 protected:
  TStoreKind Kind() const override { return TStoreKind::Mailbox; }
  TLocation Locate(const TStoredProps& section) const override {
    auto mailbox = SectionText(section, PROP_ID(tags::kProfileUnresolvedNameA));
    auto server = SectionText(section, PROP_ID(tags::kProfileUnresolvedServerA));
    if (!mailbox || !server) return {};
    TDirectoryMailbox entry = TServerDirectory::Register(ToUtf8(*mailbox), ToUtf8(*server));
    return {entry.storePath, u"Mailbox - " + FromUtf8(entry.displayName)};
  }
};

// The organisation's public folders, reached with the settings of the mailbox service
// they come with. One store serves every mailbox, so its entry ID names the
// organisation's public store rather than a profile's provider: every session of the
// process then shares one open store, its tables and its notifications.
class TPublicStoreProvider final : public TOrbaStoreProvider {
 public:
  MAPIUID MdbProvider() const override { return kExchangePublicMdbProvider; }
  Bytes StoreEntryId(const TStoreContext&) const override { return ProviderEntryId(kExchangePublicMdbProvider); }

 protected:
  TStoreKind Kind() const override { return TStoreKind::PublicFolders; }
  TLocation Locate(const TStoredProps& section) const override {
    if (!SectionText(section, PROP_ID(tags::kProfileUnresolvedNameA)) ||
        !SectionText(section, PROP_ID(tags::kProfileUnresolvedServerA)))
      return {};
    return {TServerDirectory::PublicStorePath(), u"Public Folders"};
  }
};

class TPersonalStoreProvider final : public TOrbaStoreProvider {
 public:
  MAPIUID MdbProvider() const override { return kPstMdbProvider; }

 protected:
  TStoreKind Kind() const override { return TStoreKind::PersonalFile; }
  TLocation Locate(const TStoredProps& section) const override {
    auto path = SectionText(section, PROP_ID(tags::kPstPathA));
    if (!path || path->empty()) return {};
    std::string file = ToUtf8(*path);
    std::error_code error;
    std::filesystem::path parent = std::filesystem::path(file).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, error);
    if (error) throw TMapiError(MAPI_E_DISK_ERROR, "The folder of the personal store file cannot be created.");
    return {file, SectionText(section, PROP_ID(tags::kDisplayNameW)).value_or(u"Personal Folders")};
  }
};

// The library registers its providers when it is loaded.
const bool registered = (RegisterOrbaStoreProviders(), true);

}  // namespace

void RegisterOrbaStoreProviders() {
  RegisterStoreProvider(std::make_shared<TMailboxStoreProvider>());
  RegisterStoreProvider(std::make_shared<TPublicStoreProvider>());
  RegisterStoreProvider(std::make_shared<TPersonalStoreProvider>());
}

}  // namespace orba::store
