// The conventions of the corvala4 program, read as a user reads them: its help, its version,
// its errors, colour and the live line on a terminal (a pseudo-terminal made by script(1)).
#include <gtest/gtest.h>

#include "cli/terminal.h"
#include "corvala4/version.h"
#include "tests/program_support.h"

namespace corvala4::testing {
namespace {

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t pos = 0, end; pos < text.size(); pos = end + 1) {
    end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(pos, end - pos));
  }
  return lines;
}

int Widest(const std::string& text) {
  int widest = 0;
  for (const std::string& line : LinesOf(text)) widest = std::max(widest, cli::DisplayWidth(line));
  return widest;
}

/// The program run on a pseudo-terminal of `columns` columns; `env` as "NAME=value ...".
Captured InTerminal(const TempDir& dir, const std::string& args, const std::string& env = "",
                    int columns = 80) {
  std::string inner = "stty cols " + std::to_string(columns) + "; " + ProgramPath() + " " + args;
  return Capture("cd " + dir.path() + " && env -u NO_COLOR XDG_CONFIG_HOME=" + (dir / "config") +
                 " XDG_STATE_HOME=" + (dir / "state") + " TERM=xterm " + env + " script -qec '" + inner +
                 "' /dev/null 2>&1 </dev/null");
}

TEST(CliConventions, HelpNamesTheProgramItsValuesDefaultsAndEachCommandsExitStatus) {
  TempDir dir;
  ProgramRun run = RunProgram({"--help"}, dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("corvala4: correctness self-tests", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("Usage: corvala4 [OPTIONS] SUBCOMMAND"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  init "), std::string::npos);
  EXPECT_NE(run.out.find("--color WHEN"), std::string::npos);
  EXPECT_LE(Widest(run.out), 80) << run.out;

  run = RunProgram({"run", "--help"}, dir);
  EXPECT_EQ(run.status, 0);
  for (const char* part :
       {"Usage: corvala4 run [OPTIONS] HOST", "--exec COMMAND", "-j,--jobs N", "--timeout SECONDS",
        "--junit FILE", "--cases NAME", "(default \"{host} {project} {func}\")",
        "Exit status: 0 every mandatory case passed and the build is recorded"})
    EXPECT_NE(run.out.find(part), std::string::npos) << part << "\n" << run.out;
  EXPECT_EQ(run.out.find("TEXT"), std::string::npos) << run.out;
  EXPECT_LE(Widest(run.out), 80) << run.out;

  run = RunProgram({"diff", "--help"}, dir);
  EXPECT_NE(run.out.find("(default 50)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Exit status: 0 every output shown is the same"), std::string::npos) << run.out;

  // Wrapped to the terminal it is shown on.
  Captured narrow = InTerminal(dir, "run --help", "", 60);
  EXPECT_EQ(narrow.status, 0);
  EXPECT_LE(Widest(narrow.out), 60) << narrow.out;
  EXPECT_GT(Widest(narrow.out), 50) << narrow.out;

  std::string version = std::string("corvala4 ") + kVersionText + "\nmodule " +
                        std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + " (Build " +
                        std::to_string(kVersionRevision) + ")\n";
  EXPECT_EQ(RunProgram({"--version"}, dir).out, version);
  EXPECT_EQ(RunProgram({"-V"}, dir).out, version);
}

TEST(CliConventions, EveryErrorIsPrefixedAndSaysWhatIsWrong) {
  TempDir dir;
  ScriptHost h(dir);
  h.AddCase("A", ScriptHost::kOk);
  h.Write();
  struct Expected {
    std::vector<std::string> args;
    std::string first_line;
  };
  std::vector<Expected> cases = {
      {{"frobnicate"},
       "corvala4: unknown command 'frobnicate'; the commands are init, check, list, run, status, "
       "diff, approve"},
      {{"rnu", h.host}, "corvala4: unknown command 'rnu'; did you mean 'run'?"},
      {{"--color", "never", "stauts"}, "corvala4: unknown command 'stauts'; did you mean 'status'?"},
      {{},
       "corvala4: no command given; the commands are init, check, list, run, status, diff, approve "
       "(corvala4 --help tells more)"},
      {{"run", h.host, "-j", "0"}, "corvala4: --jobs: '0' is not a whole number from 1 to 4096"},
      {{"run", h.host, "-j", "two"}, "corvala4: --jobs: 'two' is not a whole number from 1 to 4096"},
      {{"run", h.host, "--timeout", "0"},
       "corvala4: --timeout: '0' is not a number of seconds above 0 and at most 2592000 (30 days)"},
      {{"run"}, "corvala4: HOST is required"},
      {{"run", h.host, "--partition", "p"},
       "corvala4: --partition, --cpus-per-case and --slurm-arg need --executor "
       "slurm"},
      {{"list", h.folder + "/nothing"},
       "corvala4: the host executable '" + h.folder + "/nothing' is not there (or is not a file)"},
  };
  for (const Expected& e : cases) {
    ProgramRun run = RunProgram(e.args, dir);
    EXPECT_EQ(run.status, 2) << e.first_line;
    EXPECT_EQ(run.out, "") << e.first_line;
    EXPECT_EQ(LinesOf(run.err).front(), e.first_line) << run.err;
    for (const std::string& line : LinesOf(run.err)) {
      if (!line.empty()) {
        EXPECT_EQ(line.rfind("corvala4: ", 0), 0u) << line;
      }
    }
  }
}

TEST(CliConventions, ColourOnlyOnATerminalOrWhenAskedAndNeverUnderNoColor) {
  TempDir dir;
  ScriptHost h(dir);
  h.AddCase("A", ScriptHost::kWrong);
  h.Write();
  EXPECT_EQ(RunProgram({"run", h.host}, dir).status, 1);

  ProgramRun piped = RunProgram({"diff", h.host, "A"}, dir);
  EXPECT_EQ(piped.status, 1);
  EXPECT_EQ(piped.out.find('\033'), std::string::npos) << piped.out;
  EXPECT_NE(piped.out.find("-result\n+wrong\n"), std::string::npos) << piped.out;
  ProgramRun asked = RunProgram({"diff", h.host, "A", "--color", "always"}, dir, {}, {"NO_COLOR=1"});
  EXPECT_NE(asked.out.find("\033[31m-result\033[0m\n\033[32m+wrong\033[0m\n"), std::string::npos)
      << asked.out;

  Captured terminal = InTerminal(dir, "diff " + h.host + " A");
  EXPECT_EQ(terminal.status, 1);
  EXPECT_NE(terminal.out.find("\033[31m-result\033[0m"), std::string::npos) << terminal.out;
  EXPECT_EQ(InTerminal(dir, "diff " + h.host + " A", "NO_COLOR=1").out.find('\033'), std::string::npos);
  EXPECT_EQ(InTerminal(dir, "--color never diff " + h.host + " A").out.find('\033'), std::string::npos);
  EXPECT_EQ(InTerminal(dir, "diff " + h.host + " A", "TERM=dumb").out.find('\033'), std::string::npos);
}

TEST(CliConventions, TheLiveLineFitsTheTerminalAndADumbTerminalGetsNone) {
  TempDir dir;
  ScriptHost h(dir);
  for (const char* c : {"A", "B", "C"}) h.AddCase(c, ScriptHost::kOk);
  h.AddCase("D", ScriptHost::kWrong, false);
  h.Write();
  Captured run = InTerminal(dir, "run " + h.host + " -j 1", "", 30);
  EXPECT_EQ(run.status, 0) << run.out;
  size_t drawn = 0;
  for (size_t at = 0; (at = run.out.find("\033[K[", at)) != std::string::npos; ++at) {
    size_t end = run.out.find_first_of("\r\n", at);
    std::string live = run.out.substr(at + 3, end - at - 3);
    EXPECT_LE(cli::DisplayWidth(live), 29) << live;
    ++drawn;
  }
  EXPECT_GT(drawn, 0u) << run.out;
  EXPECT_NE(run.out.find("\033[31m未通过\033[0m D"), std::string::npos) << run.out;

  run = InTerminal(dir, "run " + h.host, "TERM=dumb");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out.find('\033'), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("[4/4]测试<未通过>"), std::string::npos) << run.out;
}

TEST(CliConventions, TheManualAndTheCompletionsKnowEveryCommandAndOption) {
  TempDir dir;
  std::string cli = TestDataPath() + "/../../cli";
  std::string manual = ReadFile(cli + "/corvala4.1"), bash = ReadFile(cli + "/completion/corvala4.bash"),
              zsh = ReadFile(cli + "/completion/_corvala4");
  ASSERT_FALSE(manual.empty() || bash.empty() || zsh.empty()) << cli;
  // Options as the manual writes them: each "-" escaped.
  auto roff = [](std::string text) {
    for (size_t at = 0; (at = text.find('-', at)) != std::string::npos; at += 2) text.insert(at, "\\");
    return text;
  };
  for (const char* command : {"init", "check", "list", "run", "status", "diff", "approve"}) {
    std::string help = RunProgram({command, "--help"}, dir).out;
    ASSERT_NE(help.find("Usage: corvala4 "), std::string::npos) << command;
    EXPECT_NE(manual.find(std::string("\\fB") + command + "\\fR"), std::string::npos) << command;
    EXPECT_TRUE(bash.find(std::string(command) + ")") != std::string::npos ||
                bash.find(std::string(command) + "|") != std::string::npos)
        << command;
    // The options are the first column of the lines that start with "  -".
    for (const std::string& line : LinesOf(help)) {
      if (line.rfind("  -", 0) != 0) continue;
      std::string names = line.substr(2, line.find(' ', 2) - 2);
      for (size_t at = 0; (at = names.find("--", at)) != std::string::npos;) {
        size_t end = names.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at + 2);
        std::string option = names.substr(at, end - at);
        at = end;
        if (option == "--help") continue;
        EXPECT_NE(manual.find(roff(option)), std::string::npos) << command << " " << option;
        EXPECT_NE(bash.find(option), std::string::npos) << command << " " << option;
        EXPECT_NE(zsh.find(option), std::string::npos) << command << " " << option;
      }
    }
  }
}

}  // namespace
}  // namespace corvala4::testing
