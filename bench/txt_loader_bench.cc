// Loading TXT definition files: 100,000 records in one pass, and text that never
// closes a record with ";" (10 MB against 1 MB), which a backtracking matcher makes quadratic.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <limits>

#include "bench/bench_support.h"
#include "engine/txt_loader.h"
#include "model/test_cases.h"

namespace corvala4::bench {
namespace {

struct Host {
  ScratchDir dir;
  std::unique_ptr<Context> context;
  Host() : context(std::make_unique<Context>(dir, "")) {}
  void Write(const std::string& text) {
    std::ofstream(dir / "CALC_TEST_DAT.TXT", std::ios::binary) << text;
    context->Core().LocateDefinitionFile();
  }
  double Load() {
    timespec start, end;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    double wall = Seconds([&] { LoadTxtDefinition(context->Core()); });
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    cpu = static_cast<double>(end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) * 1e-9;
    return wall;
  }
  double cpu = 0;  // thread CPU time of the last Load: what a loaded machine's waiting does not count
};

std::string Records(int count) {
  std::string text = "TestData;standard results\r\n// generated\r\n";
  char line[128];
  for (int i = 0; i < count; ++i) {
    snprintf(line, sizeof line, "Case%06d,F%06d,p%06d.prj,%s,%d,o%06d.out,<i%06d.dat>;\r\n", i, i, i,
             i % 3 ? "n" : "y", i % 50, i, i);
    text += line;
  }
  return text;
}

/// Record-shaped lines, none of them closed by ";".
std::string Unclosed(size_t bytes) {
  std::string text = "TestData;standard results\r\n";
  while (text.size() < bytes) text += "Case,Folder,proj.prj,y,12,out.out,<in.dat>,\r\n";
  return text;
}

void BM_Load100000Records(benchmark::State& state) {
  Host host;
  std::string text = Records(100000);
  host.Write(text);
  for (auto _ : state) {
    state.SetIterationTime(host.Load());
    if (host.context->Core().TestCases()->Count() != 100000) state.SkipWithError("not every record loaded");
  }
  state.SetItemsProcessed(state.iterations() * 100000);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  state.counters["file_MB"] = static_cast<double>(text.size()) / 1e6;
}

void BM_UnclosedRecords10MBvs1MB(benchmark::State& state) {
  Host host;
  double small = std::numeric_limits<double>::max(), large = small, smallCpu = small, largeCpu = small;
  for (auto _ : state) {
    host.Write(Unclosed(1000000));
    small = std::min(small, host.Load());
    smallCpu = std::min(smallCpu, host.cpu);
    host.Write(Unclosed(10000000));
    double t = host.Load();
    large = std::min(large, t);
    largeCpu = std::min(largeCpu, host.cpu);
    state.SetIterationTime(t);
    if (host.context->Core().TestCases()->Count() != 0) state.SkipWithError("an unclosed record loaded");
  }
  state.counters["1MB_ms"] = small * 1e3;
  state.counters["10MB_ms"] = large * 1e3;
  state.counters["ratio_10MB_to_1MB"] = large / small;
  state.counters["cpu_ratio_10MB_to_1MB"] = largeCpu / smallCpu;
}

BENCHMARK(BM_Load100000Records)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnclosedRecords10MBvs1MB)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvala4::bench
