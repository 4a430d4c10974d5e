// The session's status table: see statusrows.h.
#include "session/statusrows.h"

#include "mapi/mapix.h"
#include "orba/common/utf8.h"
#include "profiles/services.h"
#include "props/propvalues.h"
#include "props/tags.h"

namespace orba::store {
namespace {

// The UID that marks the entry IDs of this library's status rows.
constexpr MAPIUID kStatusUid = {
    {0x4F, 0x52, 0x42, 0x41, 0x53, 0x54, 0x41, 0x54, 0x8C, 0x1D, 0x42, 0x6B, 0x9A, 0x31, 0x5E, 0x07}};

std::vector<ULONG> StatusColumns() {
  return {tags::kResourceType,     tags::kDisplayNameW,
          tags::kProviderDisplayW, tags::kProviderDllNameA,
          tags::kStatusCode,       tags::kResourceMethods,
          tags::kResourceFlags,    tags::kObjectType,
          tags::kEntryId,          tags::kIdentityDisplayW,
          tags::kIdentityEntryId,  tags::kIdentitySearchKey,
          tags::kInstanceKey,      tags::kRowId};
}

// Flags, the status UID, the resource type and the provider UID (zero for the
// subsystem and the spooler).
Bytes StatusEntryId(ULONG resourceType, const MAPIUID& provider) {
  Bytes bytes(4, 0);
  bytes.insert(bytes.end(), kStatusUid.ab, kStatusUid.ab + sizeof(kStatusUid.ab));
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(resourceType >> shift));
  bytes.insert(bytes.end(), provider.ab, provider.ab + sizeof(provider.ab));
  return bytes;
}

struct TStatusRow {
  ULONG resourceType;
  MAPIUID provider;
  std::u16string displayName;
  ULONG statusCode;
  TStoredProps section;  // the provider's, empty for the subsystem and the spooler
};

void PutRow(TMemoryRowSource& rows, const TStatusRow& status, ULONG rowId) {
  TStoredProps shown;
  for (const TStoredProp& prop : status.section)
    if (prop.tag == tags::kProviderDisplayW || prop.tag == tags::kResourceFlags ||
        prop.tag == tags::kIdentityDisplayW || prop.tag == tags::kIdentityEntryId ||
        prop.tag == tags::kIdentitySearchKey)
      shown.push_back(prop);
  constexpr size_t kExtra = 9;
  auto values = DecodeStored(shown, kExtra);
  SPropValue* extra = values.get() + shown.size();
  Bytes entryId = StatusEntryId(status.resourceType, status.provider);
  extra[0] = LongValue(tags::kResourceType, status.resourceType);
  extra[1] = TextValue(tags::kDisplayNameW, status.displayName);
  extra[2].ulPropTag = tags::kProviderDllNameA;
  extra[2].Value.lpszA = const_cast<char*>(kProviderDllName);
  extra[3] = LongValue(tags::kStatusCode, status.statusCode);
  extra[4] = LongValue(tags::kResourceMethods, 0);
  extra[5] = LongValue(tags::kObjectType, MAPI_STATUS);
  extra[6] = BinaryValue(tags::kEntryId, entryId);
  extra[7] = BinaryValue(tags::kInstanceKey, entryId);
  extra[8] = LongValue(tags::kRowId, rowId);
  rows.Put(TPropRow(values.get(), shown.size() + kExtra));
}

std::u16string SectionDisplayName(const TStoredProps& section) {
  auto values = DecodeStored(section);
  for (size_t i = 0; i < section.size(); ++i)
    if (values.get()[i].ulPropTag == tags::kDisplayNameW) return values.get()[i].Value.lpszW;
  return {};
}

}  // namespace

std::shared_ptr<TMemoryRowSource> StatusRows(const TSessionState& session) {
  auto rows = std::make_shared<TMemoryRowSource>(StatusColumns());
  TProfileDatabase& db = *session.Database();
  bool noMail = (session.LogonFlags() & MAPI_NO_MAIL) != 0;
  std::vector<TStatusRow> statuses = {
      {MAPI_SUBSYSTEM, {}, u"MAPI Subsystem", STATUS_AVAILABLE, {}},
      {MAPI_SPOOLER, {}, u"MAPI Spooler", noMail ? STATUS_OFFLINE : STATUS_AVAILABLE, {}},
  };
  std::vector<TProfileStore> stores = session.ProfileStores();
  for (const TProviderInfo& provider : db.Providers(session.Profile())) {
    TStatusRow status{
        provider.resourceType, provider.uid, {}, STATUS_AVAILABLE, db.ReadSection(session.Profile(), provider.uid)};
    status.displayName = SectionDisplayName(status.section);
    // A store without an implementation cannot be opened.
    for (const TProfileStore& store : stores)
      if (IsEqualMAPIUID(&store.provider, &provider.uid) && !store.implementation) status.statusCode = STATUS_FAILURE;
    statuses.push_back(std::move(status));
  }
  ULONG rowId = 0;
  for (const TStatusRow& status : statuses) PutRow(*rows, status, rowId++);
  return rows;
}

}  // namespace orba::store
