// corvala4: the module's engine as a program. Lists and runs the cases of any host
// executable (its calculation a command run per case, side by side), checks a build,
// shows the differences of a case, approves new standard results, writes JUnit and HTML.
#include <signal.h>

#include <CLI/CLI.hpp>
#include <cstdio>

#include "cli/commands.h"
#include "cli/host_session.h"
#include "corvala4/version.h"

namespace {

using namespace corvala4::cli;

constexpr const char* kHostHelp =
    "the host executable; its definition file (NAME_TEST_DAT.XML or .TXT) lies beside it";

int Main(int argc, char** argv) {
  CLI::App app{"corvala4: correctness self-tests of calculation programs, on the Corvala4 module's engine"};
  app.require_subcommand(1);
  app.set_version_flag("--version", corvala4::kVersionText);
  app.footer(
      "Exit status: 0 success, 1 a mandatory case or the build did not pass (or a refusal),\n"
      "2 bad usage or a definition file that cannot be used.");

  std::string host;
  bool json = false;
  CLI::App* list =
      app.add_subcommand("list", "every case as the test window lists it, with its folder and outputs");
  list->add_option("HOST", host, kHostHelp)->required();
  list->add_flag("--json", json, "as JSON, for scripts");

  RunOptions run;
  CLI::App* run_cmd = app.add_subcommand("run",
                                         "calculate and compare the cases, record the build when every "
                                         "mandatory case passed");
  run_cmd->add_option("HOST", run.host, kHostHelp)->required();
  run_cmd->add_option("--exec", run.exec,
                      "the calculation of a case, run in its working folder without a shell; placeholders "
                      "{host} {project} {func} {folder} {caption} (default \"{host} {project} {func}\")");
  run_cmd
      ->add_option("-j,--jobs", run.jobs,
                   "cases calculated at once (default: the number of cores; with --executor slurm, "
                   "every case: the scheduler queues them)")
      ->check(CLI::PositiveNumber);
  run_cmd->add_option("--timeout", run.timeout, "seconds a calculation may take (default: no limit)")
      ->check(CLI::PositiveNumber);
  run_cmd->add_option("--cases", run.cases, "only these cases, by caption or folder")->expected(1, -1);
  run_cmd->add_flag("--mandatory", run.mandatory, "only the mandatory cases");
  run_cmd->add_flag("--failed", run.failed, "only the cases without a pass marker");
  run_cmd->add_option("--junit", run.junit, "write a JUnit XML report to FILE");
  run_cmd->add_option("--html", run.html, "write an HTML report to FILE");
  run_cmd
      ->add_option("--executor", run.executor,
                   "where the calculations run: local (processes on this machine, the default) or slurm "
                   "(each case one Slurm job through srun; the test data must lie on a file system the "
                   "nodes share)")
      ->check(CLI::IsMember({"local", "slurm"}));
  CLI::Option* partition = run_cmd->add_option("--partition", run.slurm.partition,
                                               "slurm: the partition (default: the cluster's)");
  CLI::Option* cpus =
      run_cmd->add_option("--cpus-per-case", run.slurm.cpus, "slurm: CPUs of each case's job (default 1)")
          ->check(CLI::PositiveNumber);
  CLI::Option* slurm_args =
      run_cmd
          ->add_option("--slurm-arg", run.slurm.args,
                       "slurm: one more option for srun, as --slurm-arg=--mem=4G; may be repeated")
          ->allow_extra_args(false);

  CLI::App* status = app.add_subcommand("status",
                                        "whether the build on disk has passed every mandatory case "
                                        "(exit 0), with its identity");
  status->add_option("HOST", host, kHostHelp)->required();

  std::string case_name, file;
  DiffLimits limits;
  CLI::App* diff = app.add_subcommand("diff", "each produced output of a case against its standard file");
  diff->add_option("HOST", host, kHostHelp)->required();
  diff->add_option("CASE", case_name, "the case, by caption or folder")->required();
  diff->add_option("FILE", file, "only this output");
  diff->add_option("--max-lines", limits.max_lines,
                   "changed lines shown per file (default 50); the rest are counted")
      ->check(CLI::NonNegativeNumber);
  diff->add_option("--context", limits.context, "unchanged lines around a change (default 3)")
      ->check(CLI::NonNegativeNumber);

  std::vector<std::string> names;
  std::string reason;
  CLI::App* approve =
      app.add_subcommand("approve", "the produced outputs of the cases become their new standard files");
  approve->add_option("HOST", host, kHostHelp)->required();
  approve->add_option("CASE", names, "the cases, by caption or folder")->required();
  approve->add_option("--reason", reason, "why the results changed, for the approval log")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }

  if (*run_cmd && run.executor != "slurm" && (*partition || *cpus || *slurm_args)) {
    std::fprintf(stderr, "corvala4: --partition, --cpus-per-case and --slurm-arg need --executor slurm\n");
    return 2;
  }

  try {
    if (*list) return ListCommand(host, json, stdout);
    if (*run_cmd) return RunCommand(run, stdout, stderr);
    if (*status) return StatusCommand(host, stdout);
    if (*diff) return DiffCommand(host, case_name, file, limits, stdout);
    if (*approve) return ApproveCommand(host, names, reason, stdout, stderr);
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
