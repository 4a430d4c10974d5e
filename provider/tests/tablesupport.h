// What the table engine's tests share: rows keyed by a 32-bit number with one numeric
// column (kNum) and optional others, read back as (key, num) pairs, and a sink that keeps
// each table event with the keys it names.
#pragma once

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "table/mapitable.h"
#include "testsupport.h"

namespace orba::store::testing {

inline constexpr ULONG kNum = PROP_TAG(PT_LONG, 0x6101);

inline std::string KeyBytes(uint32_t key) { return std::string(reinterpret_cast<char*>(&key), sizeof key); }

// Puts (adds or replaces) the row key with kNum num and the values of more.
inline void PutRow(TMemoryRowSource& source, uint32_t key, LONG num, std::vector<SPropValue> more = {}) {
  std::vector<SPropValue> values = {BinaryValue(tags::kInstanceKey, {reinterpret_cast<BYTE*>(&key), sizeof key}),
                                    LongValue(kNum, static_cast<ULONG>(num))};
  values.insert(values.end(), more.begin(), more.end());
  source.Put(TPropRow(values.data(), values.size()));
}

using TKeyedRows = std::vector<std::pair<uint32_t, LONG>>;

// Up to count rows from the table's position, whose first two columns are the key and
// kNum.
inline TKeyedRows ReadKeyed(IMAPITable* table, LONG count, ULONG flags = 0) {
  TRows rows = Query(table, {}, count, flags);
  TKeyedRows keyed;
  for (ULONG i = 0; i < rows.size(); ++i) {
    uint32_t key = 0;
    std::memcpy(&key, rows[i][0].Value.bin.lpb, sizeof key);
    keyed.emplace_back(key, rows[i][1].Value.l);
  }
  return keyed;
}
// Every row from the start.
inline TKeyedRows ReadAllKeyed(IMAPITable* table) {
  EXPECT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
  return ReadKeyed(table, 100000);
}

// Keeps each table event with its row's key and the key of the row before it.
class TKeySink final : public TVoComObject<TVoRefCounted, IMAPIAdviseSink> {
 public:
  struct TSeen {
    ULONG event;
    std::string key, prior;
    bool operator==(const TSeen&) const = default;
  };
  STDMETHOD_(ULONG, OnNotify)(ULONG count, LPNOTIFICATION n) override {
    for (ULONG i = 0; i < count; ++i) {
      const TABLE_NOTIFICATION& t = n[i].info.tab;
      auto key = [](const SPropValue& v) {
        return v.ulPropTag == tags::kInstanceKey ? std::string(reinterpret_cast<char*>(v.Value.bin.lpb), v.Value.bin.cb)
                                                 : std::string();
      };
      seen.push_back({t.ulTableEvent, key(t.propIndex), key(t.propPrior)});
      rows.emplace_back(t.row.lpProps, t.row.lpProps + t.row.cValues);
    }
    return 0;
  }
  std::vector<TSeen> seen;
  std::vector<std::vector<SPropValue>> rows;  // only their tags and numbers stay valid
};

}  // namespace orba::store::testing
