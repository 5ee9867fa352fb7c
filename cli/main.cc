// corvala4: the module's engine as a program. Sets up a suite, checks its definition file,
// lists and runs the cases of any host executable (its calculation a command run per case,
// side by side), checks a build, shows the differences of a case, approves new standard
// results, writes JUnit and HTML.
#include <signal.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/approve_command.h"
#include "cli/check_command.h"
#include "cli/command_line.h"
#include "cli/diff_command.h"
#include "cli/help_format.h"
#include "cli/host_session.h"
#include "cli/init_command.h"
#include "cli/list_command.h"
#include "cli/run_command.h"
#include "cli/status_command.h"
#include "cli/terminal.h"
#include "corvala4/version.h"

namespace {

using namespace corvala4::cli;

/// Edits that change one letter, drop one or swap two neighbours count as one.
size_t Distance(const std::string& a, const std::string& b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i)
    for (size_t j = 1; j <= b.size(); ++j) {
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[a.size()][b.size()];
}

/// The first word that is not an option of the program itself: where the command must stand.
/// Empty when there is none, or when help or the version was asked for before it.
std::string CommandWord(int argc, char** argv, bool& asked) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-h" || a == "--help" || a == "-V" || a == "--version") {
      asked = true;
      return "";
    }
    if (a == "--color") {
      ++i;
      continue;
    }
    if (a == "--") return i + 1 < argc ? argv[i + 1] : "";
    if (!a.empty() && a[0] == '-') continue;
    return a;
  }
  return "";
}

int Main(int argc, char** argv) {
  CLI::App app{"corvala4: correctness self-tests of calculation programs, on the Corvala4 module's engine",
               "corvala4"};
  app.formatter(std::make_shared<HelpFormatter>(TerminalWidth(stdout)));
  app.get_formatter()->label("TEXT", "TEXT");
  app.require_subcommand(1);
  app.fallthrough();
  app.set_version_flag("-V,--version", std::string("corvala4 ") + corvala4::kVersionText + "\nmodule " +
                                           std::to_string(corvala4::kVersionMajor) + "." +
                                           std::to_string(corvala4::kVersionMinor) + " (Build " +
                                           std::to_string(corvala4::kVersionRevision) + ")");
  ProgramOptions program;
  app.add_option("--color", program.color,
                 "colour in what is printed: auto (on a terminal, unless NO_COLOR is set or TERM is dumb), "
                 "always or never")
      ->type_name("WHEN")
      ->check(CLI::IsMember({"auto", "always", "never"}));
  app.footer(
      "Exit status: each command says its own in `corvala4 COMMAND --help`; 2 is always bad usage. "
      "Start a suite with `corvala4 init`, then `corvala4 check` and `corvala4 run`.");

  // In the order the help lists them: a suite's first steps, then its daily work.
  const std::vector<Command> commands = {SetUpInitCommand(app),
                                         SetUpCheckCommand(app, program),
                                         SetUpListCommand(app, program),
                                         SetUpRunCommand(app, program),
                                         SetUpStatusCommand(app, program),
                                         SetUpDiffCommand(app, program),
                                         SetUpApproveCommand(app, program)};

  bool asked = false;
  std::string word = CommandWord(argc, argv, asked);
  if (!asked) {
    std::string known;
    std::string best;
    size_t best_distance = 3;
    for (const Command& c : commands) {
      const std::string& name = c.app->get_name();
      known += (known.empty() ? "" : ", ") + name;
      size_t d = Distance(word, name);
      if (d < best_distance || (name.rfind(word, 0) == 0 && !word.empty() && d < 6)) {
        best_distance = d;
        best = name;
      }
    }
    if (word.empty()) {
      std::fprintf(stderr, "corvala4: no command given; the commands are %s (corvala4 --help tells more)\n",
                   known.c_str());
      return 2;
    }
    bool exists = std::any_of(commands.begin(), commands.end(),
                              [&](const Command& c) { return c.app->get_name() == word; });
    if (!exists) {
      if (!best.empty())
        std::fprintf(stderr, "corvala4: unknown command '%s'; did you mean '%s'?\n", word.c_str(),
                     best.c_str());
      else
        std::fprintf(stderr, "corvala4: unknown command '%s'; the commands are %s\n", word.c_str(),
                     known.c_str());
      return 2;
    }
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::string what = e.what();
    std::fprintf(stderr, "corvala4: %s\n", what.c_str());
    std::string about = word.empty() ? "corvala4 --help" : "corvala4 " + word + " --help";
    std::fprintf(stderr, "corvala4: `%s` tells more\n", about.c_str());
    return 2;
  }

  try {
    HostSession::SetDefinitionFile(program.definition);
    for (const Command& c : commands)
      if (*c.app) return c.action();
  } catch (const CommandError& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "corvala4: %s\n", e.what());
    return e.Status();
  } catch (...) {
    std::fflush(stdout);
    std::fprintf(stderr, "corvala4: %s\n", OneLine(std::current_exception()).c_str());
    return 2;
  }
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // A reader that went away (`corvala4 run ... | head`) must not end a run halfway, with its
  // calculations left running: what cannot be printed is dropped.
  signal(SIGPIPE, SIG_IGN);
  return Main(argc, argv);
}
