// Preparing a working folder against `cp -r` on the same tree: one 1 GiB file,
// and 20,000 small files in 20 folders.
#include <benchmark/benchmark.h>
#include <fcntl.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#include "bench/bench_support.h"
#include "model/test_case.h"

namespace corvala4::bench {
namespace {

void WriteBytes(const std::string& path, const std::string& block, int64_t size) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  for (int64_t done = 0; done < size; done += static_cast<int64_t>(block.size()))
    if (write(fd, block.data(), std::min<int64_t>(size - done, block.size())) < 0) exit(1);
  close(fd);
}

struct Trees {
  ScratchDir dir;
  std::unique_ptr<Context> context;

  Trees() {
    std::string block;
    for (int i = 0; block.size() < (4u << 20); ++i) block += std::to_string(i * 7919) + " result line\n";
    std::filesystem::create_directories(dir / "TestData/Big");
    WriteBytes(dir / "TestData/Big/big.bin", block, int64_t{1} << 30);
    for (int d = 0; d < 20; ++d) {
      std::string folder = dir / ("TestData/Small/d" + std::to_string(d));
      std::filesystem::create_directories(folder);
      for (int f = 0; f < 1000; ++f)
        WriteBytes(folder + "/f" + std::to_string(f) + ".txt", block.substr(static_cast<size_t>(f), 1024),
                   1024);
    }
    Warm(dir / "TestData/Big/big.bin");
    context = std::make_unique<Context>(dir, dir / "TestData");
  }
  static Trees& Get() {
    static Trees trees;
    return trees;
  }
};

void Copy(benchmark::State& state, const std::string& folder) {
  Trees& trees = Trees::Get();
  auto tc = std::make_shared<TestCaseImpl>();
  tc->Attach(trees.context->Core());
  tc->SetFolder(folder);
  std::string source = trees.dir / ("TestData/" + folder);
  std::string cpTarget = trees.dir / "cp_target";
  std::string ourTarget = trees.dir / ("TestData_make/" + folder);
  std::vector<double> cps, ourss, ratios;
  int round = 0;
  for (auto _ : state) {
    std::filesystem::remove_all(cpTarget);
    std::filesystem::remove_all(ourTarget);
    Run({"sync"});
    // Each goes first every other round, so that neither always meets the other's writeback.
    double cp = 0, ours = 0;
    auto runCp = [&] { cp = Seconds([&] { Run({"cp", "-r", source, cpTarget}); }); };
    auto runOurs = [&] { ours = Seconds([&] { tc->PrepareTestFolder(); }); };
    if (round++ % 2 == 0) {
      runCp();
      runOurs();
    } else {
      runOurs();
      runCp();
    }
    state.SetIterationTime(ours);
    cps.push_back(cp);
    ourss.push_back(ours);
    ratios.push_back(cp / ours);
  }
  std::filesystem::remove_all(cpTarget);
  std::filesystem::remove_all(ourTarget);
  tc->Detach();
  double bestCp = *std::min_element(cps.begin(), cps.end());
  double best = *std::min_element(ourss.begin(), ourss.end());
  std::sort(ratios.begin(), ratios.end());
  state.counters["cp_best_s"] = bestCp;
  state.counters["best_s"] = best;
  state.counters["ratio_vs_cp"] = bestCp / best;
  state.counters["median_round_ratio"] = ratios[ratios.size() / 2];
}

void BM_PrepareOneBigFile(benchmark::State& state) { Copy(state, "Big"); }
void BM_PrepareManySmallFiles(benchmark::State& state) { Copy(state, "Small"); }

BENCHMARK(BM_PrepareOneBigFile)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrepareManySmallFiles)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvala4::bench
