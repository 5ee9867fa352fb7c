#include "cli/status_command.h"

#include "cli/build_identity.h"
#include "cli/command_support.h"
#include "cli/host_session.h"
#include "engine/tester_core.h"
#include "results/run_report.h"
#include "results/tester_status.h"

namespace corvala4::cli {

int StatusCommand(const std::string& host, std::FILE* out) {
  HostSession session(host);
  BuildIdentity build = IdentifyBuild(session.Host());
  TesterStatus& record = session.Core().VersionRecord();
  bool passed = record.VersionPassed();
  std::fprintf(out, "host:     %s\n", build.path.c_str());
  std::fprintf(out, "size:     %lld bytes\n", static_cast<long long>(build.size));
  std::fprintf(out, "modified: %s\n", LocalTimeText(build.modified).c_str());
  std::fprintf(out, "sha256:   %s\n", build.sha256.c_str());
  std::fprintf(out, "record:   %s\n", Shown(record.RecordPath()).c_str());
  std::fprintf(out, "passed:   %s\n",
               passed ? "yes, this build has passed every mandatory case"
                      : "no, this build has not passed every mandatory case");
  return passed ? 0 : 1;
}

Command SetUpStatusCommand(CLI::App& app, ProgramOptions& program) {
  auto host = std::make_shared<std::string>();
  CLI::App* sub = app.add_subcommand(
      "status", "whether the build on disk has passed every mandatory case (exit 0), with its identity");
  sub->add_option("HOST", *host, kHostHelp)->type_name("")->required();
  sub->footer(Footer("0 this build has passed every mandatory case, 1 it has not,"));
  AddDefinitionOption(sub, program);
  return {sub, [host] { return StatusCommand(*host, stdout); }};
}

}  // namespace corvala4::cli
