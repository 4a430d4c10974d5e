// Expanding a daily series with 500 exceptions (half moved within their day, half
// deleted) through GetFirstOccurrence / GetNextOccurrence, against a naive loop that
// walks day by day, searches the exceptions linearly and builds the same records.
// Counters: "ratio" = pattern time / naive time over 10 years (goal: at most 1.2);
// "growth" = pattern time over 20 years / over 10 years (goal: at most 2.2).
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "orba/VoMAPIRecurrence.h"
#include "orba/common/dates.h"
#include "orba/common/iso8601.h"

namespace orba {
namespace {

constexpr int kExceptions = 500;

ComPtr<TVoRecurrencePattern> MakeSeries(int years) {
  auto p = MakeComObject<TVoRecurrencePattern>();
  p->Set_RecurrenceType(0);
  p->Set_StartDate(EncodeDate(2020, 1, 1));
  p->Set_StartTime(EncodeTime(9, 0, 0, 0));
  p->Set_Duration(60);
  p->Set_RecurrenceEndType(2);
  p->Set_EndDate(VoAddYears(EncodeDate(2020, 1, 1), years) - 1);
  const int days = int(p->Get_EndDate() - p->Get_StartDate()) + 1;
  for (int i = 0; i < kExceptions; ++i) {
    const TDateTime day = p->Get_StartDate() + double(i) * days / kExceptions;
    auto e = p->Exceptions().Add(day + EncodeTime(9, 0, 0, 0));
    if (i % 2)
      e->Set_Deleted(true);
    else
      e->Set_StartDate(day + EncodeTime(14, 0, 0, 0)), e->Set_EndDate(day + EncodeTime(15, 0, 0, 0));
  }
  return p;
}

std::vector<TVoMAPIApptOccurrence> Expand(TVoRecurrencePattern& p) {
  std::vector<TVoMAPIApptOccurrence> result{p.GetFirstOccurrence()};
  while (!result.back().IsLast) result.push_back(p.GetNextOccurrence(result.back().OriginalStartDate));
  return result;
}

std::vector<TVoMAPIApptOccurrence> ExpandNaively(TVoRecurrencePattern& p) {
  std::vector<TVoRecurrenceExceptionData> exceptions;
  for (int32_t i = 0; i < p.Exceptions().Get_Count(); ++i) exceptions.push_back(p.Exceptions().At(i).Data());
  std::vector<TVoMAPIApptOccurrence> result;
  const TDateTime start = p.Get_StartDate(), last = p.Get_EndDate(), time = p.Get_StartTime();
  for (TDateTime day = start; day <= last; day += 1) {
    TVoMAPIApptOccurrence occ;
    TDateTime startDay = day, startTime = time, end = VoAddMins(day + time, p.Get_Duration());
    TDateTime endDay = DateOf(end), endTime = TimeOf(end);
    for (const TVoRecurrenceExceptionData& e : exceptions) {
      if (DateOf(e.OriginalStartDate) != day) continue;
      occ.IsException = true;
      occ.IsDeleted = e.Deleted;
      startDay = e.StartDate, startTime = e.StartTime, endDay = e.EndDate, endTime = e.EndTime;
      break;
    }
    occ.OriginalStartDate = VoDateToISO8601(day);
    occ.StartDate = VoDateToISO8601(startDay);
    occ.StartTime = VoTimeToISO8601(startTime);
    occ.EndDate = VoDateToISO8601(endDay);
    occ.EndTime = VoTimeToISO8601(endTime);
    occ.IsLast = day == last;
    result.push_back(occ);
  }
  return result;
}

bool Same(const std::vector<TVoMAPIApptOccurrence>& a, const std::vector<TVoMAPIApptOccurrence>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].OriginalStartDate != b[i].OriginalStartDate || a[i].StartDate != b[i].StartDate ||
        a[i].StartTime != b[i].StartTime || a[i].EndDate != b[i].EndDate || a[i].EndTime != b[i].EndTime ||
        a[i].IsException != b[i].IsException || a[i].IsDeleted != b[i].IsDeleted || a[i].IsLast != b[i].IsLast)
      return false;
  return true;
}

template <class F>
double Seconds(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_RecurrenceExpansion(benchmark::State& state) {
  auto tenYears = MakeSeries(10), twentyYears = MakeSeries(20);
  if (!Same(Expand(*tenYears), ExpandNaively(*tenYears)) || !Same(Expand(*twentyYears), ExpandNaively(*twentyYears)))
    state.SkipWithError("the pattern and the naive loop disagree");
  double naive = 0, ten = 0, twenty = 0;
  for (auto _ : state) {
    std::vector<TVoMAPIApptOccurrence> out;
    naive += Seconds([&] { benchmark::DoNotOptimize(out = ExpandNaively(*tenYears)); });
    const double time = Seconds([&] { benchmark::DoNotOptimize(out = Expand(*tenYears)); });
    twenty += Seconds([&] { benchmark::DoNotOptimize(out = Expand(*twentyYears)); });
    ten += time;
    state.SetIterationTime(time);
  }
  state.counters["ratio"] = ten / naive;
  state.counters["growth"] = twenty / ten;
}
BENCHMARK(BM_RecurrenceExpansion)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orba
