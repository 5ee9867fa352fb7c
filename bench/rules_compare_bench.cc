// The comparison under a numbers rule against `numdiff -r 1e-5` on a 90 MB pair of numeric
// tables (1,000,000 lines of six %14.6E numbers, every number perturbed within 1e-6 relative),
// and an identical pair under the same rule against today's exact comparison.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <random>

#include "bench/bench_support.h"
#include "results/compare_rules.h"
#include "results/line_compare.h"
#include "results/rule_compare.h"

namespace corvala4::bench {
namespace {

constexpr int kLines = 1000000;

void WriteTable(const std::string& path, double perturbation, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> value(-1e4, 1e4), noise(-perturbation, perturbation);
  std::mt19937_64 base(7);  // the same values on both sides
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) exit(1);
  for (int i = 0; i < kLines; ++i) {
    for (int k = 0; k < 6; ++k) {
      double v = value(base);
      fprintf(f, "%14.6E", v * (1 + noise(rng)));
    }
    fputc('\n', f);
  }
  fclose(f);
}

struct Tables {
  ScratchDir dir;
  std::string standard = dir / "standard.txt";
  std::string perturbed = dir / "perturbed.txt";
  std::string copy = dir / "copy.txt";
  std::shared_ptr<const CompareRules> rules;

  Tables() {
    WriteTable(standard, 0, 1);
    WriteTable(perturbed, 1e-6, 2);
    if (Run({"cp", "--reflink=never", standard, copy}) != 0) exit(1);
    std::string toml = dir / "corvala4-compare.toml";
    FILE* f = fopen(toml.c_str(), "wb");
    fputs("[[files]]\nmatch = \"*.txt\"\nnumbers = { relative = 1e-5 }\n", f);
    fclose(f);
    rules = CompareRules::Load(toml);
    for (const std::string& p : {standard, perturbed, copy}) Warm(p);
  }
  const FileRule& Rule() const { return rules->Files().front(); }
  static Tables& Get() {
    static Tables tables;
    return tables;
  }
};

void BM_NumbersRuleAgainstNumdiff(benchmark::State& state) {
  Tables& t = Tables::Get();
  double best = std::numeric_limits<double>::max();
  double numdiff = 0;
  int numdiff_status = -1;
  for (auto _ : state) {
    RuleOutcome o;
    double ours = Seconds([&] { o = CompareUnderRule(t.Rule(), t.standard, t.perturbed); });
    if (o.state != Same) state.SkipWithError("the perturbed table did not compare within tolerance");
    state.SetIterationTime(ours);
    best = std::min(best, ours);
    // numdiff takes long: once is enough to know how long.
    if (numdiff == 0)
      numdiff = Seconds([&] {
        numdiff_status = Run({"numdiff", "-q", "-r", "1e-5", t.standard, t.perturbed});
      });
  }
  struct stat st {};
  stat(t.standard.c_str(), &st);
  state.counters["MB"] = static_cast<double>(st.st_size) / 1e6;
  state.counters["numdiff_s"] = numdiff;
  state.counters["numdiff_status"] = numdiff_status;
  state.counters["times_faster_than_numdiff"] = numdiff / best;
}

void BM_IdenticalUnderRuleAgainstExact(benchmark::State& state) {
  Tables& t = Tables::Get();
  double best = std::numeric_limits<double>::max(), best_exact = best;
  for (auto _ : state) {
    bool exact = false;
    double plain = Seconds([&] { exact = SameLines(t.standard, t.copy); });
    RuleOutcome o;
    double ours = Seconds([&] { o = CompareUnderRule(t.Rule(), t.standard, t.copy); });
    if (o.state != Same || !exact) state.SkipWithError("the identical pair did not compare as the same");
    state.SetIterationTime(ours);
    best = std::min(best, ours);
    best_exact = std::min(best_exact, plain);
  }
  state.counters["exact_ms"] = best_exact * 1e3;
  state.counters["ratio_to_exact"] = best / best_exact;
}

BENCHMARK(BM_NumbersRuleAgainstNumdiff)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdenticalUnderRuleAgainstExact)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvala4::bench
