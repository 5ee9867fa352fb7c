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
  {
    FILE* exe = fopen((dir / "calc").c_str(), "wb");
    fputs("host", exe);
    fclose(exe);
  }
  std::string xml = "<自测试配置><自测试标准目录>TestData</自测试标准目录>";
  for (int i = 0; i < kCases; ++i) {
    std::string name = "C" + std::to_string(i);
    std::filesystem::create_directories(dir / ("TestData/" + name));
    for (const char* file : {"/p.prj", "/r.out"}) {
      FILE* f = fopen((dir / ("TestData/" + name + file)).c_str(), "wb");
      fputs("beam B1 simple L=6 q=12.5\n计算日期: 2026年11月20日\nM = 56.250\n", f);
      fclose(f);
    }
    xml += "<自测试算例 名称=\"" + name + "\" 目录=\"" + name +
           "\" 工程文件=\"p.prj\" 必测=\"y\" 功能代号=\"1\">"
           "<输出文件 保留=\"y\">r.out</输出文件></自测试算例>";
  }
  FILE* def = fopen((dir / "CALC_TEST_DAT.XML").c_str(), "wb");
  fputs((xml + "</自测试配置>").c_str(), def);
  fclose(def);

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
