// IMessage's recipients: the recipient table and ModifyRecipients. Changes stay in
// the message object until its SaveChanges.
#include <algorithm>
#include <optional>

#include "base/lasterror.h"
#include "base/maperror.h"
#include "mapiobjects/messageobject.h"
#include "props/propstrings.h"
#include "props/propvalues.h"
#include "props/tags.h"
#include "table/rowbuilder.h"

namespace orba::store {
namespace {

// The columns of a new recipient table, in the string width asked for.
std::vector<ULONG> RecipientColumns(bool unicode) {
  std::vector<ULONG> columns = {tags::kRowId,         tags::kDisplayNameW, tags::kRecipientType,
                                tags::kEmailAddressW, tags::kAddrTypeW,    tags::kEntryId,
                                tags::kSearchKey,     tags::kDisplayType,  tags::kInstanceKey};
  for (ULONG& tag : columns) tag = CHANGE_PROP_TYPE(tag, WithStringWidth(PROP_TYPE(tag), unicode));
  return columns;
}

// One ADRENTRY checked and converted: its PR_ROWID (if any) and its storable values
// (error and null values, as address book lookups leave them, are dropped; 8-bit
// strings are kept wide).
struct TRecipientMod {
  std::optional<ULONG> rowId;
  TStoredProps props;
};

TRecipientMod ConvertEntry(const ADRENTRY& entry) {
  if (entry.cValues && !entry.rgPropVals)
    throw TMapiError(MAPI_E_INVALID_PARAMETER, "an entry has values but no value array");
  TRecipientMod mod;
  for (ULONG i = 0; i < entry.cValues; ++i) {
    const SPropValue& value = entry.rgPropVals[i];
    ULONG type = PROP_TYPE(value.ulPropTag);
    ULONG id = PROP_ID(value.ulPropTag);
    if (type == PT_ERROR || type == PT_NULL || id == PROP_ID(tags::kInstanceKey)) continue;
    if (id == PROP_ID(tags::kRowId)) {
      if (type != PT_LONG) throw TMapiError(MAPI_E_INVALID_PARAMETER, "PR_ROWID must be a PT_LONG");
      mod.rowId = static_cast<ULONG>(value.Value.l);
      continue;
    }
    if (id == PROP_ID_NULL || id == PROP_ID_INVALID) throw TMapiError(MAPI_E_INVALID_PARAMETER, "invalid property tag");
    if (IsStringType(type)) {
      auto wide = TMapiBuffer<SPropValue>::Allocate();
      CopyWithStringWidth(value, WithStringWidth(type, true), *wide, wide.get(), 0);
      mod.props.push_back(Stored(*wide));
    } else {
      mod.props.push_back(Stored(value));
    }
  }
  return mod;
}

}  // namespace

TRowList TMessage::RecipientRows() const {
  TRowList rows;
  for (const auto& recipient : recipients_) {
    TStoredProps props;
    for (const auto& prop : recipient.props)
      if (PROP_ID(prop.tag) != PROP_ID(tags::kRowId) && PROP_ID(prop.tag) != PROP_ID(tags::kInstanceKey))
        props.push_back(prop);
    props.push_back(Stored(LongValue(tags::kRowId, recipient.rowId)));
    props.push_back(Stored(BinaryValue(tags::kInstanceKey, NumberKey(recipient.rowId))));
    auto values = DecodeStored(props);
    rows.push_back(TMemoryRow::Create(TPropRow(values.get(), props.size())));
  }
  return rows;
}

HRESULT TMessage::GetRecipientTable(ULONG ulFlags, LPMAPITABLE* lppTable) {
  if (ulFlags & ~(MAPI_UNICODE | MAPI_DEFERRED_ERRORS))
    return Fail(MAPI_E_UNKNOWN_FLAGS, "GetRecipientTable: unknown flags");
  if (!lppTable) return Fail(MAPI_E_INVALID_PARAMETER, "GetRecipientTable: invalid parameter");
  *lppTable = nullptr;
  return Guarded(LastError(), "GetRecipientTable", [&] {
    auto lock = Lock();
    *lppTable = NewTable(RecipientColumns(ulFlags & MAPI_UNICODE), RecipientRows(), recipientSources_).Detach();
    return S_OK;
  });
}

HRESULT TMessage::ModifyRecipients(ULONG ulFlags, LPADRLIST lpMods) {
  constexpr ULONG known = MODRECIP_ADD | MODRECIP_MODIFY | MODRECIP_REMOVE;
  if (ulFlags & ~known) return Fail(MAPI_E_UNKNOWN_FLAGS, "ModifyRecipients: unknown flags");
  if (!lpMods || (ulFlags & (ulFlags - 1)))
    return Fail(MAPI_E_INVALID_PARAMETER, "ModifyRecipients: invalid parameter");
  return Guarded(LastError(), "ModifyRecipients", [&] {
    auto lock = Lock();
    if (Access() != TAccessMode::ReadWrite) throw TMapiError(MAPI_E_NO_ACCESS, "the message is not open for writing");
    // Everything is checked before anything changes.
    std::vector<TRecipientMod> mods;
    for (ULONG i = 0; i < lpMods->cEntries; ++i) mods.push_back(ConvertEntry(lpMods->aEntries[i]));
    auto find = [this](ULONG rowId) {
      return std::find_if(recipients_.begin(), recipients_.end(), [rowId](const auto& r) { return r.rowId == rowId; });
    };
    if (ulFlags & (MODRECIP_MODIFY | MODRECIP_REMOVE)) {
      for (const auto& mod : mods) {
        if (!mod.rowId) throw TMapiError(MAPI_E_INVALID_PARAMETER, "an entry has no PR_ROWID");
        if (find(*mod.rowId) == recipients_.end())
          throw TMapiError(MAPI_E_NOT_FOUND, "there is no recipient with this PR_ROWID");
      }
    }
    std::vector<TRecipientImage> next = ulFlags == 0 ? std::vector<TRecipientImage>{} : recipients_;
    ULONG nextRowId = nextRowId_;
    for (auto& mod : mods) {
      if (ulFlags == 0 || ulFlags == MODRECIP_ADD) {
        next.push_back({nextRowId++, std::move(mod.props)});
        continue;
      }
      auto it = std::find_if(next.begin(), next.end(), [&](const auto& r) { return r.rowId == *mod.rowId; });
      if (it == next.end()) continue;  // removed by an earlier entry of the same call
      if (ulFlags == MODRECIP_MODIFY)
        it->props = std::move(mod.props);
      else
        next.erase(it);
    }
    recipients_ = std::move(next);
    nextRowId_ = nextRowId;
    RefreshRecipientRows();
    return S_OK;
  });
}

}  // namespace orba::store
