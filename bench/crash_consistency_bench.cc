// The crash-consistency loop: `corvala4 approve` of three cases (two 8 MB outputs each) and
// `corvala4 run` killed at random moments, 100 times in all (kill -9, now and then Ctrl-C).
// After each, the next command that takes the run lock must find: no case half approved and
// every approved case logged, no temporaries, no calculation still running, no stale report.
// It takes minutes, so it is no test of every CI run: build/bench/crash_consistency_bench.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "bench/bench_support.h"
#include "foundation/platform/replacement_journal.h"

namespace corvala4::bench {
namespace {

namespace fs = std::filesystem;
constexpr const char* kCases[] = {"A", "B", "C"};

void Write(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

/// The letter a file of the case is made of, '?' when it is not one letter through and through.
char LetterOf(const std::string& path) {
  std::string text = Read(path);
  if (text.empty() || text.find_first_not_of(text[0]) != std::string::npos) return '?';
  return text[0];
}

pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
  return pid;
}

bool Running(pid_t pid) {
  std::string stat = Read("/proc/" + std::to_string(pid) + "/stat");
  size_t close = stat.rfind(')');
  return close != std::string::npos && stat.compare(close + 2, 1, "Z") != 0;
}

void CrashConsistency(benchmark::State& state) {
  ScratchDir dir;
  std::string host_dir = dir.path() + "/host", host = host_dir + "/calc", data = host_dir + "/TestData";
  Write(host, "#!/bin/sh\ncd \"$(dirname \"$1\")\" || exit 97\n. \"./$(basename \"$1\")\"\n");
  fs::permissions(host, fs::perms::owner_all);
  std::string definition = "TestData;standard results\n";
  for (const char* c : kCases) {
    Write(data + "/" + c + "/p.prj",
          "echo $$ >> \"$CRASH_PIDS\"\nsleep \"$CRASH_DELAY\"\n"
          "head -c 8000000 /dev/zero | tr '\\0' \"$(cat \"$CRASH_GEN\")\" > r.out\ncp r.out s.out\n");
    Write(data + "/" + c + "/r.out", std::string(8000000, 'a'));
    Write(data + "/" + c + "/s.out", std::string(8000000, 'a'));
    definition += std::string(c) + "," + c + ",p.prj,y,1,r.out,s.out;\n";
  }
  Write(host_dir + "/CALC_TEST_DAT.TXT", definition);
  std::string gen = dir.path() + "/gen", pids = dir.path() + "/pids", report = dir.path() + "/r.xml";
  setenv("CRASH_GEN", gen.c_str(), 1);
  setenv("CRASH_PIDS", pids.c_str(), 1);
  setenv("XDG_STATE_HOME", (dir.path() + "/state").c_str(), 1);
  std::string log = data + "/corvala4-approvals.txt";

  std::mt19937 random(17);
  int approvals = 0, runs = 0, approved = 0, undone = 0, half = 0, unlogged = 0, temporaries = 0, left = 0,
      stale = 0, interrupted = 0;
  char standard = 'a';
  for (auto _ : state) {
    for (int round = 0; round < 100; ++round) {
      bool approve = round % 2 == 0;
      // Never the letter the standards hold already: an approval then changes nothing.
      char next = static_cast<char>(standard == 'y' ? 'b' : standard + 1);
      Write(gen, std::string(1, next));
      fs::remove(pids);
      if (approve) {
        // Outputs of a finished run first, then the approval of all three, killed.
        setenv("CRASH_DELAY", "0", 1);
        Run({CORVALA4_PROGRAM, "run", host});
        std::string before = Read(log);
        size_t lines_before = std::count(before.begin(), before.end(), '\n');
        pid_t pid = Spawn({CORVALA4_PROGRAM, "approve", host, "A", "B", "C", "--reason", "crash"});
        int after = static_cast<int>(random() % 400);
        std::this_thread::sleep_for(std::chrono::milliseconds(after));
        bool gently = random() % 4 == 0;
        kill(pid, gently ? SIGINT : SIGKILL);
        interrupted += gently;
        int status = 0;
        waitpid(pid, &status, 0);
        // The next one that takes the lock finishes or undoes it.
        setenv("CRASH_DELAY", "0", 1);
        Run({CORVALA4_PROGRAM, "run", host, "--cases", "A", "--no-wait"});
        char seen = LetterOf(data + "/A/r.out");
        for (const char* c : kCases)
          for (const char* f : {"/r.out", "/s.out"})
            if (LetterOf(data + "/" + c + f) != seen) ++half;
        std::string text = Read(log);
        size_t lines = std::count(text.begin(), text.end(), '\n');
        bool wrong = false;
        if (seen == next) {
          ++approved;
          wrong = lines != lines_before + 3;
          standard = next;
        } else {
          ++undone;
          wrong = seen != standard || lines != lines_before;
        }
        if (wrong) {
          ++unlogged;
          std::printf(
              "round %d (%s at %d ms): standards '%c', expected '%c' or '%c'; log %zu lines, before %zu\n",
              round, gently ? "SIGINT" : "SIGKILL", after, seen, standard, next, lines, lines_before);
        }
        for (const auto& entry : fs::recursive_directory_iterator(data))
          if (IsOwnTemporary(entry.path().filename().string()) &&
              entry.path().filename() != ".corvala4-lock")
            ++temporaries;
        ++approvals;
      } else {
        Write(report, "<stale/>");
        setenv("CRASH_DELAY", "0.3", 1);
        pid_t pid = Spawn({CORVALA4_PROGRAM, "run", host, "-j", "3", "--junit", report});
        int after = static_cast<int>(random() % 900);
        std::this_thread::sleep_for(std::chrono::milliseconds(after));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        bool finished = WIFEXITED(status);
        std::this_thread::sleep_for(std::chrono::seconds(2));
        std::ifstream in(pids);
        for (pid_t calc; in >> calc;) left += Running(calc);
        // A report written by the run just before the kill is its own, not a stale one.
        if (!finished && Read(report) == "<stale/>") {
          ++stale;
          std::printf("round %d: a stale report after a kill at %d ms\n", round, after);
        }
        ++runs;
      }
    }
  }
  state.counters["approvals_killed"] = approvals;
  state.counters["finished"] = approved;
  state.counters["undone"] = undone;
  state.counters["by_ctrl_c"] = interrupted;
  state.counters["runs_killed"] = runs;
  state.counters["half_approved"] = half;
  state.counters["unlogged"] = unlogged;
  state.counters["temporaries_left"] = temporaries;
  state.counters["calculations_left"] = left;
  state.counters["stale_reports"] = stale;
}
BENCHMARK(CrashConsistency)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace corvala4::bench
