// The orphan guard on its own: what it does with each kind of thing it holds when its
// runner dies without a goodbye, and that a goodbye lets everything go.
#include "cli/orphan_guard.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <optional>
#include <thread>

#include "tests/test_support.h"

namespace corvala4::cli {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

/// A shell script in a process group of its own; returns once it wrote `ready`.
pid_t Group(const std::string& script, const std::string& ready) {
  pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    execl("/bin/sh", "sh", "-c", script.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  setpgid(pid, pid);
  for (int i = 0; i < 400 && ReadFile(ready).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return pid;
}

/// The wait status once the process has ended, within `seconds`; nothing while it runs.
std::optional<int> EndOf(pid_t pid, double seconds) {
  for (auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);;) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return status;
    if (std::chrono::steady_clock::now() > until) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

/// A runner that tells its guard what `tell` does and then dies, with a goodbye or not.
void Runner(const TempDir& dir, const std::function<void(OrphanGuard&)>& tell, bool goodbye) {
  pid_t pid = fork();
  if (pid == 0) {
    // A scancel of our own, which notes what it was asked to cancel.
    std::string path = dir.path() + ":" + getenv("PATH");
    setenv("PATH", path.c_str(), 1);
    auto* guard = new OrphanGuard;
    tell(*guard);
    if (goodbye) delete guard;
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
}

class OrphanGuardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir / "scancel", "#!/bin/sh\necho \"$*\" >> " + dir / "cancelled" + "\n");
    chmod((dir / "scancel").c_str(), 0755);
  }
  /// Runs until killed, whatever else it is sent.
  pid_t Stubborn(const std::string& name) { return Looping("trap '' TERM", name); }
  /// Ends with status 3 when terminated, as a batch system's client does.
  pid_t Client(const std::string& name) { return Looping("trap 'exit 3' TERM", name); }
  pid_t Looping(const std::string& trap, const std::string& name) {
    return Group("exec 2>/dev/null; " + trap + "; echo $$ > " + dir / name + "; while :; do sleep 0.05; done",
                 dir / name);
  }
  TempDir dir;
};

TEST_F(OrphanGuardTest, ARunnerThatDiesTakesItsGroupsAndJobsAlong) {
  pid_t calc = Stubborn("calc"), client = Client("client"), hung = Stubborn("hung");
  pid_t ended = Stubborn("ended"), ended_client = Client("ended-client");
  Runner(
      dir,
      [&](OrphanGuard& g) {
        g.Add(calc);
        g.Add(client, true);
        g.Add(hung, true);
        g.Add(ended);
        g.Add(ended_client, true);
        g.Remove(ended);
        g.Remove(ended_client, true);
        for (const char* job : {"123", "45.6", "7", "1;rm -rf x", "8 9", "*", "", "1.2.3"}) g.AddJob(job);
        g.RemoveJob("7");
      },
      false);

  std::optional<int> end = EndOf(calc, 10);
  ASSERT_TRUE(end);
  EXPECT_TRUE(WIFSIGNALED(*end) && WTERMSIG(*end) == SIGKILL);
  // A client is asked to end first; one that does not is killed after a while.
  end = EndOf(client, 10);
  ASSERT_TRUE(end);
  EXPECT_TRUE(WIFEXITED(*end) && WEXITSTATUS(*end) == 3) << *end;
  end = EndOf(hung, 60);
  ASSERT_TRUE(end);
  EXPECT_TRUE(WIFSIGNALED(*end) && WTERMSIG(*end) == SIGKILL);
  // One scancel for every job still held, and nothing that is no job's id.
  EXPECT_EQ(ReadFile(dir / "cancelled"), "123 45.6\n");

  // What has ended is no longer the guard's: its id may be another's by now.
  EXPECT_FALSE(EndOf(ended, 0.2));
  EXPECT_FALSE(EndOf(ended_client, 0));
  for (pid_t pid : {ended, ended_client}) {
    kill(-pid, SIGKILL);
    EXPECT_TRUE(EndOf(pid, 10));
  }
}

TEST_F(OrphanGuardTest, AGoodbyeLetsEverythingGo) {
  pid_t calc = Stubborn("calc"), client = Client("client");
  Runner(
      dir,
      [&](OrphanGuard& g) {
        g.Add(calc);
        g.Add(client, true);
        g.AddJob("123");
      },
      true);
  // The guard has ended with the goodbye: nothing more will come from it.
  EXPECT_FALSE(EndOf(calc, 0.5));
  EXPECT_FALSE(EndOf(client, 0));
  EXPECT_EQ(ReadFile(dir / "cancelled"), "");
  for (pid_t pid : {calc, client}) {
    kill(-pid, SIGKILL);
    EXPECT_TRUE(EndOf(pid, 10));
  }
}

}  // namespace
}  // namespace corvala4::cli
