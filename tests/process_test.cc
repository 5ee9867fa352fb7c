#include "foundation/platform/process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "corvala4/error.h"
#include "tests/test_support.h"

namespace corvala4 {
namespace {

using testing::ErrorOf;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

/// Children of this process that still exist, zombies included.
int Children() {
  int count = 0;
  for (auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    long ppid = 0;
    if (sscanf(line.c_str() + close + 1, " %c %ld", &state, &ppid) == 2 && ppid == getpid()) ++count;
  }
  return count;
}

bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 1000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

TEST(ProcessTest, StartsWithTheArgumentsExactlyAndLeavesNoZombie) {
  TempDir dir;
  std::string script = dir / "args tool.sh";
  std::string out = dir / "argv.txt";
  WriteFile(script, "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > \"" + out +
                        ".tmp\"\nmv \"" + out + ".tmp\" \"" + out + "\"\n");
  chmod(script.c_str(), 0755);
  std::vector<std::string> argv = {script, "/a b/out \"1\".txt", "%0 %1 $HOME `x` ;|&", ""};
  CurrentProcessLauncher().Start(argv, "ignored");
  ASSERT_TRUE(WaitFor([&] { return testing::Exists(out); }));
  EXPECT_EQ(ReadFile(out), "[/a b/out \"1\".txt]\n[%0 %1 $HOME `x` ;|&]\n[]\n");
  EXPECT_TRUE(WaitFor([] { return Children() == 0; }));

  for (int i = 0; i < 5; ++i) CurrentProcessLauncher().Start({"/bin/true"}, "/bin/true");
  EXPECT_TRUE(WaitFor([] { return Children() == 0; }));
}

TEST(ProcessTest, FailureToStartRaisesTheClassicNumbers) {
  TempDir dir;
  EXPECT_EQ(ErrorOf([&] { CurrentProcessLauncher().Start({dir / "missing"}, "x"); }), 53);
  EXPECT_EQ(ErrorOf([&] { CurrentProcessLauncher().Start({}, ""); }), 53);
  WriteFile(dir / "plain.txt", "not a program");
  chmod((dir / "plain.txt").c_str(), 0644);
  EXPECT_EQ(ErrorOf([&] { CurrentProcessLauncher().Start({dir / "plain.txt"}, "x"); }), 70);
  try {
    CurrentProcessLauncher().Start({dir / "missing"}, "\"cmd\" \"a\"");
  } catch (const Error& e) {
    EXPECT_NE(e.Description().find(dir / "missing"), std::string::npos);
    EXPECT_NE(e.Description().find("\"cmd\" \"a\""), std::string::npos);
  }
  EXPECT_EQ(Children(), 0);
}

TEST(ProcessTest, RunWaitsAndAnswersTheExitStatusWithTheOutputDiscarded) {
  TempDir dir;
  std::string script = dir / "status.sh";
  WriteFile(script, "#!/bin/sh\necho noise; echo more >&2; sleep 0.2; echo \"$1\" > \"$2\"; exit $1\n");
  chmod(script.c_str(), 0755);
  EXPECT_EQ(0, CurrentProcessLauncher().Run({script, "0", dir / "a"}, "x"));
  EXPECT_EQ("0\n", ReadFile(dir / "a"));
  EXPECT_EQ(3, CurrentProcessLauncher().Run({script, "3", dir / "b"}, "x"));
  EXPECT_EQ(-1, CurrentProcessLauncher().Run({"/bin/sh", "-c", "kill -9 $$"}, "x"));
  EXPECT_EQ(53, ErrorOf([&] { CurrentProcessLauncher().Run({dir / "missing"}, "x"); }));
  EXPECT_EQ(Children(), 0);
}

}  // namespace
}  // namespace corvala4
