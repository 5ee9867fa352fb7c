// corvala4: the module's engine as a program. Sets up a suite, checks its definition file,
// lists and runs the cases of any host executable (its calculation a command run per case,
// side by side), checks a build, shows the differences of a case, approves new standard
// results, writes JUnit and HTML.
#include <signal.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/check_command.h"
#include "cli/command_template.h"
#include "cli/commands.h"
#include "cli/help_format.h"
#include "cli/host_session.h"
#include "cli/init_command.h"
#include "cli/terminal.h"
#include "corvala4/version.h"

namespace {

using namespace corvala4::cli;

constexpr const char* kHostHelp =
    "the host executable (a name without a slash is looked for on PATH); its definition file "
    "(NAME_TEST_DAT.XML or .TXT) lies beside it";
constexpr const char* kUsageFooter = "2 bad usage, or a definition file that cannot be used.";
/// Beyond these a value is a typing error rather than a wish.
constexpr int kMaxJobs = 4096;
constexpr double kMaxTimeoutSeconds = 30 * 24 * 3600;

/// A whole number from 1 to `max`, said in our words rather than the parser's.
CLI::Validator WholeNumber(int min, int max) {
  return CLI::Validator(
      [min, max](std::string& text) -> std::string {
        size_t used = 0;
        long value = 0;
        try {
          value = std::stol(text, &used);
        } catch (...) {
          used = 0;
        }
        if (used == 0 || used != text.size() || value < min || value > max)
          return "'" + text + "' is not a whole number from " + std::to_string(min) + " to " +
                 std::to_string(max);
        return "";
      },
      "", "whole number");
}

CLI::Validator Seconds(double max) {
  return CLI::Validator(
      [max](std::string& text) -> std::string {
        size_t used = 0;
        double value = 0;
        try {
          value = std::stod(text, &used);
        } catch (...) {
          used = 0;
        }
        if (used == 0 || used != text.size() || !(value > 0) || value > max)
          return "'" + text + "' is not a number of seconds above 0 and at most " +
                 std::to_string(static_cast<long>(max)) + " (30 days)";
        return "";
      },
      "", "seconds");
}

std::string Footer(const std::string& statuses) {
  return "Exit status: " + statuses + " " + kUsageFooter;
}

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
  std::string color_text = "auto";
  app.add_option("--color", color_text,
                 "colour in what is printed: auto (on a terminal, unless NO_COLOR is set or TERM is dumb), "
                 "always or never")
      ->type_name("WHEN")
      ->check(CLI::IsMember({"auto", "always", "never"}));
  app.footer(
      "Exit status: each command says its own in `corvala4 COMMAND --help`; 2 is always bad usage. "
      "Start a suite with `corvala4 init`, then `corvala4 check` and `corvala4 run`.");

  std::vector<std::pair<CLI::App*, std::function<int()>>> commands;
  auto color = [&] {
    return color_text == "always"  ? ColorChoice::Always
           : color_text == "never" ? ColorChoice::Never
                                   : ColorChoice::Auto;
  };

  // init
  InitOptions init;
  CLI::App* init_cmd = app.add_subcommand(
      "init",
      "writes a definition file for a folder of cases: one case per sub-folder of the standard "
      "directory");
  init_cmd->add_option("HOST", init.host, "the host executable; the definition file is written beside it")
      ->type_name("HOST")
      ->required();
  init_cmd
      ->add_option("--standard", init.standard,
                   "the standard directory: one sub-folder per case, with "
                   "its project file and standard outputs")
      ->type_name("DIR")
      ->required();
  init_cmd
      ->add_option("--project", init.project,
                   "the project file of a case: the one file in its folder that matches GLOB (default: "
                   "the one file that is not an output)")
      ->type_name("GLOB");
  init_cmd
      ->add_option("--outputs", init.outputs,
                   "the outputs of a case: the files of its folder that match a GLOB (a GLOB with / "
                   "matches paths below the folder); may be repeated")
      ->type_name("GLOB")
      ->expected(1, -1);
  init_cmd
      ->add_option("--mandatory", init.mandatory,
                   "only the cases whose folder matches a GLOB are mandatory (default: every case)")
      ->type_name("GLOB")
      ->expected(1, -1);
  init_cmd->add_flag("--txt", init.txt, "write the TXT form (default: the XML form)");
  init_cmd->add_option("--definition", init.definition, "write the definition to FILE instead")
      ->type_name("FILE");
  init_cmd->add_flag("--force", init.force, "overwrite a definition file that exists");
  init_cmd->footer(
      Footer("0 written, 1 refused (the definition file exists, or a case folder was reported "
             "and skipped),"));
  commands.emplace_back(init_cmd, [&] { return InitCommand(init, stdout, stderr); });

  // check
  std::string check_host;
  CLI::App* check_cmd = app.add_subcommand(
      "check", "reads the definition file as a run would and reports every problem at once, with its line");
  check_cmd->add_option("HOST", check_host, kHostHelp)->type_name("")->required();
  check_cmd->footer(
      "Exit status: 0 no problem, 1 warnings only, 2 errors (a run would fail or judge wrongly), bad usage, "
      "or no "
      "definition file.");
  commands.emplace_back(check_cmd,
                        [&] { return CheckCommand(check_host, UseColor(color(), stdout), stdout); });

  // list
  std::string host;
  bool json = false;
  CLI::App* list =
      app.add_subcommand("list", "every case as the test window lists it, with its folder and outputs");
  list->add_option("HOST", host, kHostHelp)->type_name("")->required();
  list->add_flag("--json", json, "as JSON, for scripts");
  list->footer(Footer("0 listed,"));
  commands.emplace_back(list, [&] { return ListCommand(host, json, stdout); });

  // run
  RunOptions run;
  CLI::App* run_cmd = app.add_subcommand(
      "run", "calculates and compares the cases, records the build when every mandatory case passed");
  run_cmd->add_option("HOST", run.host, kHostHelp)->type_name("")->required();
  run_cmd
      ->add_option(
          "--exec", run.exec,
          std::string(
              "the calculation of a case, run in its working folder without a shell; "
              "placeholders {host} {project} {func} {folder} {caption} {stem} {project_stem}, {{ and }} "
              "for braces (default \"") +
              CommandTemplate::kDefault + "\")")
      ->type_name("COMMAND");
  run_cmd
      ->add_option("-j,--jobs", run.jobs,
                   "cases calculated at once (default: the number of cores; with --executor slurm, every "
                   "case: the scheduler queues them)")
      ->type_name("N")
      ->check(WholeNumber(1, kMaxJobs));
  run_cmd->add_option("--timeout", run.timeout, "seconds a calculation may take (default: no limit)")
      ->type_name("SECONDS")
      ->check(Seconds(kMaxTimeoutSeconds));
  run_cmd->add_option("--cases", run.cases, "only these cases, by caption or folder")
      ->type_name("NAME")
      ->expected(1, -1);
  run_cmd->add_flag("--mandatory", run.mandatory, "only the mandatory cases");
  run_cmd->add_flag("--failed", run.failed, "only the cases without a pass marker");
  run_cmd->add_flag("--fresh", run.fresh,
                    "remove each case's working folder before it is prepared, so that nothing of an earlier "
                    "run survives (inside the test data only; a link is removed, never followed)");
  run_cmd->add_flag("!--no-wait", run.wait,
                    "fail (exit 2) instead of waiting while another run or approval holds the test data");
  run_cmd->add_option("--junit", run.junit, "write a JUnit XML report to FILE")->type_name("FILE");
  run_cmd->add_option("--html", run.html, "write an HTML report to FILE")->type_name("FILE");
  run_cmd
      ->add_option(
          "--executor", run.executor,
          "where the calculations run: local (processes on this machine, the default) or slurm (each "
          "case one Slurm job through srun; the test data must lie on a file system the nodes share)")
      ->type_name("NAME")
      ->check(CLI::IsMember({"local", "slurm"}));
  CLI::Option* partition =
      run_cmd->add_option("--partition", run.slurm.partition, "slurm: the partition (default: the cluster's)")
          ->type_name("NAME");
  CLI::Option* cpus =
      run_cmd
          ->add_option("--cpus-per-case", run.slurm.cpus,
                       "slurm: CPUs of each case's job (default " + std::to_string(SlurmOptions{}.cpus) + ")")
          ->type_name("N")
          ->check(WholeNumber(1, kMaxJobs));
  CLI::Option* slurm_args =
      run_cmd
          ->add_option("--slurm-arg", run.slurm.args,
                       "slurm: one more option for srun, as --slurm-arg=--mem=4G; may be repeated")
          ->type_name("OPTION")
          ->allow_extra_args(false);
  run_cmd->footer(
      "Exit status: 0 every mandatory case passed and the build is recorded, 1 a mandatory case did not pass "
      "(or the build could not be recorded), 2 bad usage, a definition file that cannot be used, or "
      "calculations that cannot run at all. A run stopped by a signal ends by that signal.");
  commands.emplace_back(run_cmd, [&]() -> int {
    if (run.executor != "slurm" && (*partition || *cpus || *slurm_args))
      throw CommandError(2, "--partition, --cpus-per-case and --slurm-arg need --executor slurm");
    run.color = UseColor(color(), stdout);
    return RunCommand(run, stdout, stderr);
  });

  // status
  CLI::App* status = app.add_subcommand(
      "status", "whether the build on disk has passed every mandatory case (exit 0), with its identity");
  status->add_option("HOST", host, kHostHelp)->type_name("")->required();
  status->footer(Footer("0 this build has passed every mandatory case, 1 it has not,"));
  commands.emplace_back(status, [&] { return StatusCommand(host, stdout); });

  // diff
  std::string case_name, file;
  DiffLimits limits;
  CLI::App* diff = app.add_subcommand("diff", "each produced output of a case against its standard file");
  diff->add_option("HOST", host, kHostHelp)->type_name("")->required();
  diff->add_option("CASE", case_name, "the case, by caption or folder")->type_name("")->required();
  diff->add_option("FILE", file, "only this output")->type_name("");
  diff->add_option("--max-lines", limits.max_lines,
                   "changed lines shown per file (default " + std::to_string(DiffLimits{}.max_lines) +
                       "); the rest are counted")
      ->type_name("N")
      ->check(WholeNumber(0, 1 << 30));
  diff->add_option("--context", limits.context,
                   "unchanged lines around a change (default " + std::to_string(DiffLimits{}.context) + ")")
      ->type_name("N")
      ->check(WholeNumber(0, 1 << 20));
  diff->footer(
      "Exit status: 0 every output shown is the same as its standard file, 1 an output differs or is "
      "missing, "
      "2 bad usage, no such case or output, a file that cannot be read, or a definition file that cannot be "
      "used.");
  commands.emplace_back(diff, [&] {
    limits.color = UseColor(color(), stdout);
    return DiffCommand(host, case_name, file, limits, stdout);
  });

  // approve
  ApproveOptions approval;
  CLI::App* approve =
      app.add_subcommand("approve", "the produced outputs of the cases become their new standard files");
  approve->add_option("HOST", approval.host, kHostHelp)->type_name("")->required();
  approve->add_option("CASE", approval.cases, "the cases, by caption or folder")->type_name("");
  approve
      ->add_option("--reason", approval.reason,
                   "why the results changed, for the approval log (not needed with --dry-run)")
      ->type_name("TEXT");
  approve->add_flag(
      "--failed", approval.failed,
      "also every case without a pass marker whose last calculation by `corvala4 run` succeeded");
  approve->add_flag(
      "--dry-run", approval.dry_run,
      "write nothing: show, for each case, every standard file that would change, its sizes and "
      "its first differing line");
  approve->add_flag("--yes", approval.yes,
                    "approve although CI is set in the environment (refused there without)");
  approve->add_flag("!--no-wait", approval.wait,
                    "fail (exit 2) instead of waiting while a run or another approval holds the test data");
  approve->footer(
      Footer("0 every case approved (with --dry-run: would be), 1 a case was not (its outputs "
             "cannot be vouched for; then none is) or CI is set without --yes,"));
  commands.emplace_back(approve, [&] { return ApproveCommand(approval, stdout, stderr); });

  // A host that lies where nothing can be written beside it (/usr/bin/solver) reads its cases
  // from elsewhere; its records then lie beside that file.
  std::string definition;
  for (CLI::App* sub : {check_cmd, list, run_cmd, status, diff, approve})
    sub->add_option("--definition", definition,
                    "the definition file to read instead of the one beside HOST; the version record and "
                    "the approvals log then lie beside it, relative standard directories are taken from its "
                    "folder")
        ->type_name("FILE");

  bool asked = false;
  std::string word = CommandWord(argc, argv, asked);
  if (!asked) {
    std::string known;
    std::string best;
    size_t best_distance = 3;
    for (const auto& [sub, action] : commands) {
      known += (known.empty() ? "" : ", ") + sub->get_name();
      size_t d = Distance(word, sub->get_name());
      if (d < best_distance || (sub->get_name().rfind(word, 0) == 0 && !word.empty() && d < 6)) {
        best_distance = d;
        best = sub->get_name();
      }
    }
    if (word.empty()) {
      std::fprintf(stderr, "corvala4: no command given; the commands are %s (corvala4 --help tells more)\n",
                   known.c_str());
      return 2;
    }
    bool exists = std::any_of(commands.begin(), commands.end(),
                              [&](const auto& c) { return c.first->get_name() == word; });
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
    HostSession::SetDefinitionFile(definition);
    for (const auto& [sub, action] : commands)
      if (*sub) return action();
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
