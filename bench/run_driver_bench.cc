// The run driver's own cost per case: events, reporter lines, preparation of the
// working folder, comparison, pass marker and the closing steps, on 1,000 small
// cases whose host calculates nothing (each output is kept from the standard folder).
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include "foundation/platform/log.h"
#include "model/test_cases.h"

namespace corvala4::bench {
namespace {

constexpr int kCases = 1000;

class Host : public TesterEvents {
 public:
  void DoTest(TestCase&) override { ++calculated; }
  int64_t calculated = 0;
};

void BM_RunCases(benchmark::State& state) {
  ScratchDir dir;
  SetLogFilePath(dir / "module.log");
  WriteSmallCases(dir, kCases, "beam B1 simple L=6 q=12.5\n计算日期: 2026年11月20日\nM = 56.250\n",
                  [](int) { return true; });

  Context context(dir, dir / "TestData");
  Host host;
  context.Core().Subscribe(host);
  context.Core().LocateDefinitionFile();
  context.Core().LoadDefinition();
  if (context.Core().TestCases()->Count() != kCases) state.SkipWithError("the cases did not load");
  context.Core().Driver().RunCases(context.Core().TestCases(), true);  // working folders and markers in place

  for (auto _ : state) context.Core().Driver().RunCases(context.Core().TestCases(), true);

  if (host.calculated != (state.iterations() + 1) * kCases)
    state.SkipWithError("not every case was calculated");
  context.Core().Unsubscribe(host);
  state.SetItemsProcessed(state.iterations() * kCases);
  state.counters["per_case"] =
      benchmark::Counter(kCases, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  SetLogFilePath("");
}
BENCHMARK(BM_RunCases)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace corvala4::bench
