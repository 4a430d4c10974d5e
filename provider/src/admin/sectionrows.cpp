// Rows of the service and provider tables: see sectionrows.h.
#include "admin/sectionrows.h"

#include "props/propvalues.h"
#include "props/tags.h"

namespace orba::store {

std::vector<ULONG> ServiceColumns() {
  return {tags::kDisplayNameW,    tags::kServiceNameA, tags::kServiceUid, tags::kResourceFlags,
          tags::kServiceDllNameA, tags::kInstanceKey,  tags::kRowId};
}

std::vector<ULONG> ProviderColumns() {
  return {
      tags::kDisplayNameW, tags::kProviderDisplayW, tags::kProviderUid,      tags::kServiceUid,  tags::kServiceNameA,
      tags::kResourceType, tags::kResourceFlags,    tags::kProviderDllNameA, tags::kInstanceKey, tags::kRowId};
}

std::shared_ptr<TMemoryRowSource> SectionRows(TProfileDatabase& db, const std::string& profile,
                                              const std::vector<MAPIUID>& sections, std::vector<ULONG> columns) {
  auto source = std::make_shared<TMemoryRowSource>(std::move(columns));
  ULONG rowId = 0;
  for (const MAPIUID& uid : sections) {
    TStoredProps props = db.ReadSection(profile, uid);
    auto values = DecodeStored(props, 2);
    SPropValue* extra = values.get() + props.size();
    extra[0] = BinaryValue(tags::kInstanceKey, uid.ab);
    extra[1] = LongValue(tags::kRowId, rowId++);
    source->Put(TPropRow(values.get(), props.size() + 2));
  }
  return source;
}

}  // namespace orba::store
