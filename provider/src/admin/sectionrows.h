// Rows of the service and provider tables: each row is a profile section's properties
// plus PR_INSTANCE_KEY (the section's UID) and PR_ROWID (its position).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "storage/profiledb.h"
#include "table/tablesource.h"

namespace orba::store {

// The columns of a provider table (IMsgServiceAdmin and IProviderAdmin).
std::vector<ULONG> ProviderColumns();
// The columns of the message service table.
std::vector<ULONG> ServiceColumns();

// A table source with one row per section, in the order given.
std::shared_ptr<TMemoryRowSource> SectionRows(TProfileDatabase& db, const std::string& profile,
                                              const std::vector<MAPIUID>& sections, std::vector<ULONG> columns);

}  // namespace orba::store
