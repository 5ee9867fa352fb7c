#include "foundation/platform/spawn.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "tests/test_support.h"

namespace corvala4 {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

/// Everything the descriptor gives until its end.
std::string ReadAll(const Fd& fd) {
  std::string text;
  char buf[4096];
  for (ssize_t n; (n = read(fd.get(), buf, sizeof buf)) != 0;) {
    if (n > 0)
      text.append(buf, static_cast<size_t>(n));
    else if (errno != EINTR)
      break;
  }
  return text;
}

int ExitStatus(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/// Runs `script` with sh, its output and errors captured together.
std::string RunScript(SpawnRequest request, const std::string& script, int* status = nullptr) {
  request.argv = {"sh", "-c", script};
  if (request.out.to == Stream::To::Inherit) request.out = Stream::Pipe();
  if (request.err.to == Stream::To::Inherit) request.err = Stream::Output();
  Child child = Spawn(request);
  std::string text = ReadAll(child.out);
  int code = ExitStatus(child.pid);
  if (status) *status = code;
  return text;
}

TEST(SpawnTest, FolderStreamsAndEnvironmentAreTheChildsAsAsked) {
  TempDir dir;
  WriteFile(dir / "input.txt", "line one\n");
  SpawnRequest request;
  request.folder = dir.path();
  request.in = Stream::File(dir / "input.txt", O_RDONLY);
  request.environment = std::vector<std::string>{"PATH=/usr/bin:/bin", "ONLY=this one"};
  int status = 0;
  EXPECT_EQ(RunScript(request, "pwd; cat; echo \"$ONLY|${HOME-unset}\"; echo to-err >&2; exit 3", &status),
            dir.path() + "\nline one\nthis one|unset\nto-err\n");
  EXPECT_EQ(status, 3);

  // Standard output to a file, errors to a pipe of their own, nothing to read.
  request = {};
  request.argv = {"sh", "-c", "echo out; echo err >&2; cat; echo after"};
  request.in = Stream::Null();
  request.out = Stream::File(dir / "out.txt", O_WRONLY | O_CREAT | O_TRUNC);
  request.err = Stream::Pipe();
  Child child = Spawn(request);
  EXPECT_LT(child.out.get(), 0);
  EXPECT_EQ(ReadAll(child.err), "err\n");
  EXPECT_EQ(ExitStatus(child.pid), 0);
  EXPECT_EQ(ReadFile(dir / "out.txt"), "out\nafter\n");

  // Standard input from a pipe; without an environment the child has this process's.
  setenv("CORVALA4_SPAWN_TEST", "inherited", 1);
  request = {};
  request.argv = {"sh", "-c", "read -r line; echo \"$line $CORVALA4_SPAWN_TEST\""};
  request.in = Stream::Pipe();
  request.out = Stream::Pipe();
  child = Spawn(request);
  ASSERT_EQ(write(child.in.get(), "typed\n", 6), 6);
  child.in = Fd();
  EXPECT_EQ(ReadAll(child.out), "typed inherited\n");
  EXPECT_EQ(ExitStatus(child.pid), 0);
  unsetenv("CORVALA4_SPAWN_TEST");
}

TEST(SpawnTest, AGroupOfItsOwnOnlyWhenAsked) {
  SpawnRequest request;
  request.argv = {"sleep", "5"};
  request.own_group = true;
  Child child = Spawn(request);
  EXPECT_EQ(getpgid(child.pid), child.pid);
  // The whole group goes at once, as a time-out ends it.
  ASSERT_EQ(kill(-child.pid, SIGKILL), 0);
  EXPECT_EQ(ExitStatus(child.pid), -1);

  request.own_group = false;
  child = Spawn(request);
  EXPECT_EQ(getpgid(child.pid), getpgrp());
  kill(child.pid, SIGKILL);
  ExitStatus(child.pid);
}

TEST(SpawnTest, OnlyTheStandardDescriptorsAndDefaultSignalsReachTheChild) {
  TempDir dir;
  WriteFile(dir / "held.txt", "x");
  int held = open((dir / "held.txt").c_str(), O_RDONLY);  // deliberately without O_CLOEXEC
  ASSERT_GE(held, 0);
  Fd keep(held);
  sigset_t usr1, old;
  sigemptyset(&usr1);
  sigaddset(&usr1, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &usr1, &old);
  struct sigaction ignore {}, before {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGTERM, &ignore, &before);

  // Read by sed, which resets no signal state as a shell does.
  SpawnRequest request;
  request.argv = {"sed", "-n", "s/^\\(SigBlk\\|SigIgn\\):\\s*/\\1 /p", "/proc/self/status"};
  request.out = Stream::Pipe();
  Child child = Spawn(request);
  std::string signals = ReadAll(child.out);
  ExitStatus(child.pid);
  sigaction(SIGTERM, &before, nullptr);
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  // The C library keeps its own two real-time signals (32, 33) ignored; the usual ones are default.
  unsigned long long blocked = 0, ignored = 0;
  ASSERT_EQ(sscanf(signals.c_str(), "SigBlk %llx\nSigIgn %llx", &blocked, &ignored), 2) << signals;
  EXPECT_EQ(blocked, 0u) << signals;
  EXPECT_EQ(ignored & 0x7fffffffu, 0u) << signals;

  // Seen from here while the child waits for its input, which posix_spawn returns after.
  request.argv = {"sh", "-c", "read -r line"};
  request.in = Stream::Pipe();
  request.out = Stream::Null();
  child = Spawn(request);
  std::string fds;
  for (int fd = 0; fd < 1024; ++fd)
    if (access(("/proc/" + std::to_string(child.pid) + "/fd/" + std::to_string(fd)).c_str(), F_OK) == 0)
      fds += std::to_string(fd) + " ";
  child.in = Fd();
  EXPECT_EQ(ExitStatus(child.pid), 1);
  EXPECT_EQ(fds, "0 1 2 ");
}

std::pair<int, std::string> Failed(int code, const std::string& what) { return {code, what}; }

TEST(SpawnTest, WhatCannotStartIsNamed) {
  TempDir dir;
  WriteFile(dir / "plain.txt", "not a folder");
  auto failure = [](SpawnRequest request) -> std::pair<int, std::string> {
    try {
      Child child = Spawn(request);
      ExitStatus(child.pid);
      return {0, "started"};
    } catch (const SpawnError& e) {
      return {e.code(), e.what()};
    }
  };
  SpawnRequest request;
  request.argv = {dir / "no-such-program", "a"};
  EXPECT_EQ(failure(request), Failed(ENOENT, "'" + dir / "no-such-program" + "': No such file or directory"));
  request.argv = {"corvala4-no-such-program"};
  request.folder = dir.path();
  EXPECT_EQ(failure(request),
            Failed(ENOENT, "'corvala4-no-such-program' in '" + dir.path() + "': No such file or directory"));
  request.argv = {};
  EXPECT_EQ(failure(request).first, ENOENT);

  request.argv = {"true"};
  request.folder = dir / "missing";
  EXPECT_EQ(failure(request), Failed(ENOENT, "'true': the working folder '" + dir / "missing" +
                                                         "': No such file or directory"));
  request.folder = dir / "plain.txt";
  EXPECT_EQ(failure(request),
            Failed(ENOTDIR, "'true': the working folder '" + dir / "plain.txt" + "': Not a directory"));

  request.folder.clear();
  request.out = Stream::File(dir / "missing/out.txt", O_WRONLY | O_CREAT);
  EXPECT_EQ(failure(request), Failed(ENOENT, "'true': standard output to '" + dir / "missing/out.txt" +
                                                         "': No such file or directory"));
  request.out = Stream::Descriptor(-1);
  EXPECT_EQ(failure(request), Failed(EBADF, "'true': posix_spawn_file_actions_adddup2: Bad file descriptor"));
}

}  // namespace
}  // namespace corvala4
