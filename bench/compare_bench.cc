// Comparing an output with its standard file against `cmp` on the same pair of
// 1 GiB files in the page cache: identical, and differing only in a date line near the end.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include "bench/bench_support.h"
#include "model/test_case.h"
#include "results/output_file.h"
#include "results/output_files.h"

namespace corvala4::bench {
namespace {

constexpr int64_t kSize = int64_t{1} << 30;
constexpr size_t kLine = 64;
constexpr int64_t kDateAt = kSize - (int64_t{1} << 20);

/// A line of exactly kLine bytes, LF included.
std::string FixedLine(std::string text) {
  text.resize(kLine - 1, ' ');
  return text + "\n";
}

void WriteBig(const std::string& path) {
  std::string block;
  for (int i = 0; block.size() < (4u << 20); ++i) {
    char line[kLine + 1];
    snprintf(line, sizeof line, "%8d  x=%12.6f  y=%12.6f  z=%9.3f", i, i * 0.125, i * -3.5, i * 1e-3);
    block += FixedLine(line);
  }
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  for (int64_t done = 0; done < kSize; done += static_cast<int64_t>(block.size()))
    if (write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) exit(1);
  std::string header = FixedLine("计算日期: 2006年5月12日 14:32:05");
  pwrite(fd, header.data(), kLine, 0);
  pwrite(fd, header.data(), kLine, kDateAt);
  close(fd);
}

void CopyBig(const std::string& from, const std::string& to) {
  if (Run({"cp", "--reflink=never", from, to}) != 0) exit(1);
}

/// Case C1 compares two identical files, case C2 two that differ only in the date near the end.
struct Pairs {
  ScratchDir dir;
  std::unique_ptr<Context> context;
  std::shared_ptr<TestCaseImpl> same, dated;

  Pairs() {
    std::filesystem::create_directories(dir / "TestData/C1");
    std::filesystem::create_directories(dir / "TestData_make/C1");
    std::filesystem::create_directories(dir / "TestData_make/C2");
    WriteBig(dir / "TestData/C1/r.txt");
    std::filesystem::create_symlink("C1", dir / "TestData/C2");
    CopyBig(dir / "TestData/C1/r.txt", dir / "TestData_make/C1/r.txt");
    CopyBig(dir / "TestData/C1/r.txt", dir / "TestData_make/C2/r.txt");
    std::string changed = FixedLine("计算日期: 2006年5月13日 14:32:05");
    int fd = open((dir / "TestData_make/C2/r.txt").c_str(), O_WRONLY);
    pwrite(fd, changed.data(), kLine, kDateAt);
    close(fd);
    for (const char* f : {"TestData/C1/r.txt", "TestData_make/C1/r.txt", "TestData_make/C2/r.txt"})
      Warm(dir / f);
    context = std::make_unique<Context>(dir, dir / "TestData");
    same = Case("C1");
    dated = Case("C2");
  }
  ~Pairs() {
    same->Detach();
    dated->Detach();
  }
  std::shared_ptr<TestCaseImpl> Case(const std::string& folder) {
    auto tc = std::make_shared<TestCaseImpl>();
    tc->Attach(context->Core());
    tc->SetFolder(folder);
    auto file = std::make_shared<OutputFile>();
    file->InitFromText(*tc, "r.txt");
    tc->OutputFiles()->Add(file);
    return tc;
  }
  static Pairs& Get() {
    static Pairs pairs;
    return pairs;
  }
};

void Compare(benchmark::State& state, bool dated) {
  Pairs& pairs = Pairs::Get();
  OutputFile& file = *(dated ? pairs.dated : pairs.same)->OutputFiles()->Item(1);
  double best = std::numeric_limits<double>::max(), bestCmp = best;
  for (auto _ : state) {
    double cmp = Seconds([&] { Run({"cmp", "-s", file.StandardPath(), file.OutputPath()}); });
    double ours = Seconds([&] { file.Compare(); });
    if (file.State() != Same) state.SkipWithError("the pair did not compare as the same");
    state.SetIterationTime(ours);
    best = std::min(best, ours);
    bestCmp = std::min(bestCmp, cmp);
  }
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  state.counters["GiB/s"] = 1.0 / best;
  state.counters["cmp_GiB/s"] = 1.0 / bestCmp;
  state.counters["ratio_vs_cmp"] = bestCmp / best;
  state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_CompareIdentical(benchmark::State& state) { Compare(state, false); }
void BM_CompareDateNearEnd(benchmark::State& state) { Compare(state, true); }

BENCHMARK(BM_CompareIdentical)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompareDateNearEnd)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvala4::bench
