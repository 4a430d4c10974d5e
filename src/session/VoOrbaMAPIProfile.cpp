// What TSession learns from its profile: whether it works against Exchange, the
// repair of an Exchange profile on a machine without Outlook, and the session
// information (profile name, cached mode, server).
#include "kit/VoMAPIKit.h"
#include "mapi/mapiguid.h"
#include "orba/VoOrbaMAPI.h"
#include "session/VoMAPIProfile.h"

namespace orba {

namespace {

constexpr char16_t kExchangeClient[] = u"ExchangeMAPI";
constexpr char kExchangeService[] = "MSEMS";
// The global section's marks that the mailbox may open without public folders
// (CONNECT_IGNORE_NO_PF) and that the profile's settings were checked.
constexpr int32_t kConnectIgnoreNoPublicFolders = 0x8000;
constexpr int32_t kUiStateChecked = 0x4000;
// A private mailbox kept in a local cache (CONFIG_OST_CACHE_PRIVATE).
constexpr int32_t kConfigCachePrivate = 0x180;

TVoMAPIEntryID GlobalSectionUID() {
  return BinToEntryID(sizeof pbGlobalProfileSectionGuid.ab, pbGlobalProfileSectionGuid.ab);
}

ComPtr<TVoMAPIProp> AsProp(ComPtr<IVoMAPIProp> Section) {
  return ComPtr<TVoMAPIProp>(dynamic_cast<TVoMAPIProp*>(Section.get()));
}

void WriteGlobalSection(TVoMAPIProp& Section, int32_t ConnectFlags, int32_t UiState) {
  Section.PropByName(PR_PROFILE_CONNECT_FLAGS)->Set_AsInteger(ConnectFlags);
  Section.PropByName(PR_PROFILE_UI_STATE)->Set_AsInteger(UiState);
  Section.SaveChanges(smKeepOpenReadWrite);
}

}  // namespace

namespace detail {

std::vector<TVoProfileService> ProfileServices(TSession& Session) {
  ComPtr<IMsgServiceAdmin> admin;
  CheckMAPIResult(&Session, u"AdminServices", Session.MAPISession()->AdminServices(0, admin.Out()));
  ComPtr<IMAPITable> table;
  CheckMAPIResult(&Session, u"GetMsgServiceTable", admin->GetMsgServiceTable(0, table.Out()));
  const ULONG nameTag = GetPropTag(PR_SERVICE_NAME_A), uidTag = GetPropTag(PR_SERVICE_UID);
  TVoMAPIRows rows;
  kit::QueryAllRows(table.get(), {nameTag, uidTag}, rows, &Session, u"GetMsgServiceTable");
  std::vector<TVoProfileService> services;
  for (ULONG i = 0; i < rows.Count(); ++i) {
    const SPropValue* name = kit::FindColumn(rows[i], nameTag);
    const SPropValue* uid = kit::FindColumn(rows[i], uidTag);
    if (name && name->Value.lpszA && uid)
      services.push_back({name->Value.lpszA, BinToEntryID(LONG(uid->Value.bin.cb), uid->Value.bin.lpb)});
  }
  return services;
}

std::optional<TVoMAPIEntryID> FindService(const std::vector<TVoProfileService>& Services, const AnsiString& Name) {
  for (const TVoProfileService& service : Services)
    if (service.Name == Name) return service.UID;
  return std::nullopt;
}

ComPtr<TVoMAPIProp> FindProfileSection(TSession& Session, const TVoMAPIEntryID& UID) {
  try {
    return AsProp(Session.OpenProfileSection(UID, alReadOnly));
  } catch (const EMAPI_NOT_FOUND&) {
    return nullptr;
  }
}

int32_t LongOrZero(TVoMAPIProp& Prop, TVoMAPIPropDef PropDef) {
  return Prop.HasProp(PropDef) ? Prop.PropByName(PropDef)->Get_AsInteger() : 0;
}

WideString TextOrEmpty(TVoMAPIProp& Prop, TVoMAPIPropDef PropDef) {
  return Prop.HasProp(PropDef) ? Prop.PropByName(PropDef)->Get_AsString() : WideString();
}

}  // namespace detail

bool TSession::IsExchangeProfile() {
  const WideString client = mapiClient_.empty() ? VoGetMAPIInfo().DefaultClient : mapiClient_;
  return client == kExchangeClient || detail::FindService(detail::ProfileServices(*this), kExchangeService);
}

void TSession::PrepareExchangeProfile() {
  ComPtr<TVoMAPIProp> section = AsProp(OpenProfileSection(GlobalSectionUID(), alReadOnly));
  if (section->HasProp(PR_KEYWORD)) return;
  const int32_t connectFlags = detail::LongOrZero(*section, PR_PROFILE_CONNECT_FLAGS);
  const int32_t uiState = detail::LongOrZero(*section, PR_PROFILE_UI_STATE);
  if ((connectFlags & kConnectIgnoreNoPublicFolders) && (uiState & kUiStateChecked)) return;
  if (CanOpenDefaultStore()) return;
  section = AsProp(OpenProfileSection(GlobalSectionUID(), alReadWrite));
  section->PropByName(PR_KEYWORD)->Set_AsString(u"Checked");
  WriteGlobalSection(*section, connectFlags | kConnectIgnoreNoPublicFolders, uiState | kUiStateChecked);
  if (CanOpenDefaultStore()) return;
  WriteGlobalSection(*section, connectFlags, uiState);
}

bool TSession::CanOpenDefaultStore() {
  try {
    OpenMAPIMsgStore(GetDefaultMsgStoreID(), alBestAccess);
    return true;
  } catch (const EVoException&) {
    return false;
  }
}

TVoMAPISessionInfoRec TSession::ReadSessionInfo() {
  TVoMAPISessionInfoRec info;
  info.ExtendedMAPI = extended_;
  info.ConnectedToExchange = exchangeProfile_;
  info.ProfileName = logonInfo_->Get_ProfileName();
  if (!extended_) return info;
  const std::vector<detail::TVoProfileService> services = detail::ProfileServices(*this);
  // Every section of a profile reports the profile's name; the global one exists in
  // profiles with a mailbox, a service's in every profile that has one.
  std::vector<TVoMAPIEntryID> sections{GlobalSectionUID()};
  for (const detail::TVoProfileService& service : services) sections.push_back(service.UID);
  for (const TVoMAPIEntryID& uid : sections)
    if (ComPtr<TVoMAPIProp> section = detail::FindProfileSection(*this, uid)) {
      info.ProfileName = detail::TextOrEmpty(*section, PR_PROFILE_NAME);
      break;
    }
  if (std::optional<TVoMAPIEntryID> mailbox = detail::FindService(services, kExchangeService))
    if (ComPtr<TVoMAPIProp> section = detail::FindProfileSection(*this, *mailbox)) {
      info.CachedExchangeMode = (detail::LongOrZero(*section, PR_PROFILE_CONFIG_FLAGS) & kConfigCachePrivate) != 0;
      info.ServerName = detail::TextOrEmpty(*section, PR_PROFILE_HOME_SERVER);
      if (info.ServerName.empty()) info.ServerName = detail::TextOrEmpty(*section, PR_PROFILE_UNRESOLVED_SERVER);
    }
  return info;
}

}  // namespace orba
