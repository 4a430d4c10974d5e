// A million mixed property lookups (by name, by tag, by named identity) through the
// registry's indexes, against a plain linear scan over the same descriptors.
// Counter "ratio" = linear time / indexed time.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "orba/VoMAPIProps.h"

namespace orba {
namespace {

constexpr size_t kLookups = 1'000'000;

struct Query {
  enum Kind { Name, Tag, Named } kind;
  const TVoMAPIPropInfo* expected;
  WideString name;
  TVoMAPIPropTag tag = 0;
};

std::vector<Query> MakeQueries(const std::vector<const TVoMAPIPropInfo*>& props) {
  std::vector<Query> queries;
  queries.reserve(kLookups);
  uint64_t seed = 0x2545F4914F6CDD1Dull;
  while (queries.size() < kLookups) {
    seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;  // xorshift
    const TVoMAPIPropInfo* info = props[seed % props.size()];
    switch (queries.size() % 3) {
      case 0: queries.push_back({Query::Name, info, info->PropName}); break;
      case 1:
        if (!info->Named) queries.push_back({Query::Tag, info, {}, GetPropTag(*info)});
        break;
      default:
        if (info->Named) queries.push_back({Query::Named, info, {}});
        break;
    }
  }
  return queries;
}

const TVoMAPIPropInfo* Indexed(const Query& q) {
  switch (q.kind) {
    case Query::Name: return FindProp(q.name);
    case Query::Tag: return FindProp(q.tag, true);
    default: return FindProp(q.expected->PropSet, q.expected->PropID, q.expected->PropType, true);
  }
}

// The scan the registry replaces: the first descriptor that matches, in order.
const TVoMAPIPropInfo* Linear(const std::vector<const TVoMAPIPropInfo*>& props, const Query& q) {
  for (const TVoMAPIPropInfo* p : props) {
    switch (q.kind) {
      case Query::Name:
        if (p->PropName == q.name) return p;
        break;
      case Query::Tag:
        if (!p->Named && p->PropType == PROP_TYPE(q.tag) &&
            static_cast<uint32_t>(VoVarToInt(p->PropID)) == PROP_ID(q.tag))
          return p;
        break;
      default: {
        const TVoMAPIPropInfo& e = *q.expected;
        if (p->Named && p->PropKind == e.PropKind && p->PropType == e.PropType && SameGuid(p->PropSet, e.PropSet) &&
            p->PropID == e.PropID)
          return p;
      }
    }
  }
  return nullptr;
}

template <class F>
double Seconds(F&& f) {
  auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_PropLookup(benchmark::State& state) {
  std::vector<const TVoMAPIPropInfo*> props;
  for (size_t i = 0; i < GetPropCount(); ++i) props.push_back(GetPropInfoByIndex(i));
  std::vector<Query> queries = MakeQueries(props);
  for (auto _ : state) {
    size_t indexedHits = 0, linearHits = 0;
    double indexed = Seconds([&] {
      for (const Query& q : queries) {
        const TVoMAPIPropInfo* found = Indexed(q);
        benchmark::DoNotOptimize(found);
        indexedHits += found != nullptr;
      }
    });
    double linear = Seconds([&] {
      for (const Query& q : queries) {
        const TVoMAPIPropInfo* found = Linear(props, q);
        benchmark::DoNotOptimize(found);
        linearHits += found != nullptr;
      }
    });
    if (indexedHits != kLookups || linearHits != kLookups) state.SkipWithError("lookups missed");
    state.SetIterationTime(indexed);
    state.counters["ratio"] = linear / indexed;
    state.counters["indexed_ns"] = indexed * 1e9 / kLookups;
    state.counters["linear_ns"] = linear * 1e9 / kLookups;
  }
}
BENCHMARK(BM_PropLookup)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orba
