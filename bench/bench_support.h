// What the benchmarks share: a scratch folder for large files, a tester with an
// open context, wall-clock timing, and running a reference command.
#pragma once

#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "corvala4/tester.h"
#include "engine/tester_core.h"

extern char** environ;

namespace corvala4::bench {

/// A fresh folder under $CORVALA4_BENCH_DIR (default /tmp), removed with everything in it.
class ScratchDir {
 public:
  ScratchDir() {
    const char* base = getenv("CORVALA4_BENCH_DIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/corvala4-bench-XXXXXX";
    if (!mkdtemp(templ.data())) {
      perror("mkdtemp");
      exit(1);
    }
    path_ = templ;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

/// A tester whose context is open over `standard`, with its settings kept in the scratch folder.
class Context {
 public:
  Context(const ScratchDir& dir, const std::string& standard) {
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("CORVALA4_REGISTRY_DIR", (dir / "registry").c_str(), 1);
    tester.SetHostEXE(dir / "calc");
    TesterCore::Of(tester).OpenContext();
    TesterCore::Of(tester).SetStandardFolder(standard);
  }
  ~Context() { TesterCore::Of(tester).CloseContext(); }
  TesterCore& Core() { return TesterCore::Of(tester); }

 private:
  Tester tester;
};

/// Beside a host file "calc": the definition of `count` small cases C0, C1, ..., each with
/// a project and a kept output "r.out" that hold `content`; `mandatory` picks the cases
/// that must pass.
inline void WriteSmallCases(const ScratchDir& dir, int count, const std::string& content,
                            const std::function<bool(int)>& mandatory) {
  auto write = [](const std::string& path, const std::string& text) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
      perror(path.c_str());
      exit(1);
    }
    fputs(text.c_str(), f);
    fclose(f);
  };
  write(dir / "calc", "host");
  std::string xml = "<自测试配置><自测试标准目录>TestData</自测试标准目录>";
  for (int i = 0; i < count; ++i) {
    std::string name = "C" + std::to_string(i);
    std::filesystem::create_directories(dir / ("TestData/" + name));
    write(dir / ("TestData/" + name + "/p.prj"), content);
    write(dir / ("TestData/" + name + "/r.out"), content);
    xml += "<自测试算例 名称=\"" + name + "\" 目录=\"" + name + "\" 工程文件=\"p.prj\" 必测=\"" +
           (mandatory(i) ? "y" : "n") + "\" 功能代号=\"1\"><输出文件 保留=\"y\">r.out</输出文件></自测试算例>";
  }
  write(dir / "CALC_TEST_DAT.XML", xml + "</自测试配置>");
}

inline double Seconds(const std::function<void()>& fn) {
  auto start = std::chrono::steady_clock::now();
  fn();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

/// Runs a command to its end (no shell); returns its exit status.
inline int Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
    perror(argv[0]);
    exit(1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/// Reads a file once, so that the measurements find it in the page cache.
inline void Warm(const std::string& path) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return;
  static char buffer[1 << 20];
  while (fread(buffer, 1, sizeof buffer, f) == sizeof buffer) {
  }
  fclose(f);
}

}  // namespace corvala4::bench
