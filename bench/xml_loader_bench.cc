// A quiet run over an XML definition of a few kilobytes that declares entities which would
// expand to 240 MB: the run must refuse the file at once, in little memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <fstream>

#include "bench/bench_support.h"
#include "foundation/platform/log.h"
#include "tests/entity_bomb.h"

namespace corvala4::bench {
namespace {

using testing::EntityBomb;

void BM_QuietRunOverEntityFile(benchmark::State& state) {
  ScratchDir dir;
  setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  SetLogFilePath(dir / "module.log");
  std::ofstream(dir / "calc", std::ios::binary) << "host";
  std::ofstream(dir / "CALC_TEST_DAT.XML", std::ios::binary) << EntityBomb();
  Tester tester;
  tester.SetHostEXE(dir / "calc");
  for (auto _ : state) tester.LaunchNoUI();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.counters["file_KB"] = static_cast<double>(EntityBomb().size()) / 1024.0;
}
BENCHMARK(BM_QuietRunOverEntityFile)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace corvala4::bench
