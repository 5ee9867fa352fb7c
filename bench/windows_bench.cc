// The windows on Qt's offscreen platform: the test window filled with 10,000 cases
// against 1,000 (RefreshList, SelectAll, RefreshDetails, and the paint that follows),
// which must grow linearly; a quiet run of 1,000 small cases with the status window
// shown against the same run without it; and the built-in compare view on two outputs of
// 1 GiB (CORVALA4_BENCH_VIEW_MIB) that differ near their end: the first paint, the jump to
// the difference, and 10,000 rows scrolled through a page at a time, each page painted.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QListWidget>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "bench/bench_support.h"
#include "foundation/platform/log.h"
#include "model/test_cases.h"
#include "ui/compare_view.h"
#include "ui/pair_view.h"
#include "ui/qt_user_interface.h"
#include "ui/status_window.h"
#include "ui/test_window.h"

namespace corvala4::bench {
namespace {

/// Test data of `count` small cases: every third mandatory.
void WriteCases(const ScratchDir& dir, int count) {
  WriteSmallCases(dir, count, "beam B1 simple L=6 q=12.5\nM = 56.250\n", [](int i) { return i % 3 == 0; });
}

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

/// An open context over the cases of `dir`, loaded as a launch loads them.
struct Loaded {
  explicit Loaded(const ScratchDir& dir) : context(dir, dir / "TestData") {
    context.Core().SetShowUI(true);
    context.Core().LocateDefinitionFile();
    context.Core().LoadDefinition();
  }
  Context context;
};

/// The seconds of one fill of the window: the list, every entry selected, the details.
double Fill(frm测试& window, int count) {
  double seconds = Seconds([&] {
    window.RefreshList();
    window.SelectAll();
    window.RefreshDetails();
    QApplication::processEvents();
  });
  if (window.findChild<QListWidget*>("TestList")->selectedItems().size() != count) return -1;
  return seconds;
}

void BM_FillTestWindow10000vs1000(benchmark::State& state) {
  ScratchDir small_dir, large_dir;
  WriteCases(small_dir, 1000);
  WriteCases(large_dir, 10000);
  SetLogFilePath(small_dir / "module.log");
  for (const ScratchDir* dir : {&small_dir, &large_dir}) {
    Loaded loaded(*dir);
    std::shared_ptr<TestCasesImpl> cases = loaded.context.Core().TestCases();
    for (int32_t i = 1; i <= cases->Count(); i += 2) cases->At(i)->SetPassed(true);
  }

  frm测试 window;
  window.show();
  double small = std::numeric_limits<double>::max(), large = small;
  for (auto _ : state) {
    {
      Loaded loaded(small_dir);
      window.Load(loaded.context.Core());
      small = std::min(small, Fill(window, 1000));
    }
    Loaded loaded(large_dir);
    window.Load(loaded.context.Core());
    double t = Fill(window, 10000);
    if (small < 0 || t < 0) state.SkipWithError("not every entry was selected");
    large = std::min(large, t);
    state.SetIterationTime(t);
  }
  window.hide();
  state.counters["1000_ms"] = small * 1e3;
  state.counters["10000_ms"] = large * 1e3;
  state.counters["ratio_10000_to_1000"] = large / small;
  SetLogFilePath("");
}
BENCHMARK(BM_FillTestWindow10000vs1000)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

/// The windows for real, the message boxes answered at once.
class AnsweringUserInterface : public QtUserInterface {
 public:
  int MsgBox(const std::string&, int, const std::string&, const std::string&, int) override { return kOk; }
  void ShowErrorDialog(const std::string&, const std::string&) override { ++errors; }
  int errors = 0;
};

void BM_QuietRunWithStatusWindowVsWithout(benchmark::State& state) {
  ScratchDir dir;
  WriteCases(dir, 1000);
  SetLogFilePath(dir / "module.log");
  auto ui = std::make_shared<AnsweringUserInterface>();
  SetUserInterface(ui);
  Loaded loaded(dir);
  TesterCore& core = loaded.context.Core();
  core.Driver().RunCases(core.TestCases(), true);  // working folders and markers in place

  // Wall time, and the process's own processor time, which other work on a busy machine
  // does not stretch.
  double with = std::numeric_limits<double>::max(), without = with, with_cpu = with, without_cpu = with;
  for (auto _ : state) {
    // A closed window hears nothing: the run without it pays for no painting.
    if (ui->StatusWindow()) ui->StatusWindow()->close();
    core.SetStatWindowEnabled(false);
    double cpu = CpuSeconds();
    without = std::min(without, Seconds([&] { core.Driver().RunCases(core.TestCases(), true); }));
    without_cpu = std::min(without_cpu, CpuSeconds() - cpu);
    core.SetStatWindowEnabled(true);
    cpu = CpuSeconds();
    double t = Seconds([&] { core.Driver().RunCases(core.TestCases(), true); });
    with_cpu = std::min(with_cpu, CpuSeconds() - cpu);
    with = std::min(with, t);
    state.SetIterationTime(t);
  }
  if (ui->errors != 0 || !ui->StatusWindow() || ui->StatusWindow()->isHidden())
    state.SkipWithError("the runs failed, or the status window was not shown");
  core.SetStatWindowEnabled(false);
  SetUserInterface(nullptr);
  state.counters["without_ms"] = without * 1e3;
  state.counters["with_ms"] = with * 1e3;
  state.counters["ratio_with_to_without"] = with / without;
  state.counters["cpu_ratio_with_to_without"] = with_cpu / without_cpu;
  SetLogFilePath("");
}
BENCHMARK(BM_QuietRunWithStatusWindowVsWithout)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

/// An output of `mib` MiB of result lines and its standard, the same but for one line near the end.
void WriteLargePair(const ScratchDir& dir, int mib) {
  std::string block;
  for (int i = 0; block.size() < (size_t{1} << 20); ++i)
    block +=
        "  node " + std::to_string(i % 100000) + "   ux = 1.234567E-03   uy = -7.654321E-04   M = 56.250\r\n";
  FILE* output = std::fopen((dir / "big.out").c_str(), "wb");
  FILE* standard = std::fopen((dir / "big.std").c_str(), "wb");
  for (int i = 0; i < mib; ++i) {
    std::fwrite(block.data(), 1, block.size(), output);
    std::fwrite(block.data(), 1, block.size(), standard);
  }
  std::fputs("  node 1   ux = 1.234567E-03   uy = -7.654321E-04   M = 56.300\r\n", output);
  std::fputs("  node 1   ux = 1.234567E-03   uy = -7.654321E-04   M = 56.250\r\n", standard);
  std::fwrite(block.data(), 1, 4096, output);
  std::fwrite(block.data(), 1, 4096, standard);
  std::fclose(output);
  std::fclose(standard);
}

void BM_CompareViewOnTwoLargeOutputs(benchmark::State& state) {
  ScratchDir dir;
  const char* env = std::getenv("CORVALA4_BENCH_VIEW_MIB");
  int mib = env ? std::atoi(env) : 1024;
  WriteLargePair(dir, mib);
  frm对比 view;
  view.resize(900, 600);
  view.show();
  double open = std::numeric_limits<double>::max(), jump = open, scroll = open;
  int64_t found = -1;
  for (auto _ : state) {
    double t = Seconds([&] {
      view.Load("big.out", dir / "big.out", dir / "big.std", "内容不同");
      (void)view.View()->viewport()->grab();
    });
    open = std::min(open, t);
    double j = Seconds([&] {
      view.NextDifference();
      (void)view.View()->viewport()->grab();
    });
    jump = std::min(jump, j);
    found = view.View()->CurrentRow();
    PairView* rows = view.View();
    rows->SetCurrentRow(0);
    int pages = 0;
    double s = Seconds([&] {
      for (int64_t row = 0; row < 10000; row += rows->VisibleRows(), ++pages) {
        rows->SetCurrentRow(row + rows->VisibleRows() - 1);
        (void)rows->viewport()->grab();
      }
    });
    scroll = std::min(scroll, s);
    state.counters["pages_painted"] = pages;
    state.SetIterationTime(t);
  }
  if (found <= 0) state.SkipWithError("the difference near the end was not found");
  view.close();
  state.counters["file_MiB"] = mib;
  state.counters["first_paint_ms"] = open * 1e3;
  state.counters["jump_to_difference_ms"] = jump * 1e3;
  state.counters["scroll_10000_rows_ms"] = scroll * 1e3;
}
BENCHMARK(BM_CompareViewOnTwoLargeOutputs)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvala4::bench

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
