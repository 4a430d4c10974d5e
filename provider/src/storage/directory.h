// The organisation's directory of mailboxes ($ORBA_HOME/server/directory.db): each
// mailbox's name, display name, server, store database and addresses; and where the
// organisation's public folders store is. Its schema carries a version: opening a
// directory made by an earlier version brings it up to date (directory.cpp).
//
// Thread-safe: every call opens the directory afresh; changes are transactions, so
// that processes may change it at once.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orba::store {

// One mailbox of the organisation's directory.
struct TDirectoryMailbox {
  std::string name;         // the mailbox name, UTF-8, unique regardless of case
  std::string displayName;  // UTF-8
  std::string server;       // the server it was configured with
  std::string storePath;    // its store database
  std::string legacyDn;     // its "EX" address: kLegacyDnPrefix + name unless set
  std::string smtpAddress;  // its "SMTP" address: name + "@" + kSmtpDomain unless set
};

// The default addresses of a mailbox.
inline constexpr const char* kLegacyDnPrefix =
    "/o=Orba/ou=Exchange Administrative Group (FYDIBOHF23SPDLT)/cn=Recipients/cn=";
inline constexpr const char* kSmtpDomain = "orba.example";

// Mailboxes entered before they had addresses answer the default addresses.
class TServerDirectory {
 public:
  // Enters a mailbox (kept as first entered when it exists) and returns its entry.
  // MAPI_E_INVALID_PARAMETER for a name that cannot be a file name (empty, path
  // separators, a leading dot, control characters).
  static TDirectoryMailbox Register(const std::string& name, const std::string& server);
  static std::optional<TDirectoryMailbox> Find(const std::string& name);
  static std::vector<TDirectoryMailbox> All();
  // Gives a mailbox other addresses. MAPI_E_NOT_FOUND for an unknown mailbox,
  // MAPI_E_INVALID_PARAMETER for a DN not starting "/o=" or an SMTP address without
  // one "@" between two non-empty parts, MAPI_E_COLLISION when another mailbox has
  // either address (compared regardless of case).
  static TDirectoryMailbox SetAddresses(const std::string& name, const std::string& legacyDn,
                                        const std::string& smtpAddress);
  // The mailbox with this address: "EX" matches the DN, "SMTP" the SMTP address,
  // regardless of case; other address types match nothing.
  static std::optional<TDirectoryMailbox> FindByAddress(const std::string& addressType, const std::string& address);
  // The mailbox whose store database is path (compared as canonical paths).
  static std::optional<TDirectoryMailbox> FindByStorePath(const std::string& path);
  // The organisation's public folders store database.
  static std::string PublicStorePath();
};

}  // namespace orba::store
