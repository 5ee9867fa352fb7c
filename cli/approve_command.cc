#include "cli/approve_command.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "cli/approval.h"
#include "cli/command_support.h"
#include "cli/host_session.h"
#include "cli/stop_signals.h"
#include "engine/tester_core.h"
#include "foundation/platform/code_page.h"
#include "foundation/platform/run_lock.h"
#include "model/test_case.h"
#include "model/test_cases.h"

namespace corvala4::cli {

namespace {

/// A CI job that approved whatever it produced would make every change pass unseen.
bool InContinuousIntegration() {
  const char* ci = std::getenv("CI");
  return ci && *ci && std::string(ci) != "0" && std::string(ci) != "false";
}

/// The cases an approval takes: those named, and with --failed every case without a pass
/// marker whose own last calculation succeeded; in definition order.
std::vector<std::shared_ptr<TestCaseImpl>> ApprovalCases(HostSession& session, const ApproveOptions& o) {
  std::vector<std::shared_ptr<TestCaseImpl>> named;
  if (!o.cases.empty()) named = session.Named(o.cases);
  if (!o.failed) return named;
  std::vector<std::shared_ptr<TestCaseImpl>> chosen;
  for (const std::shared_ptr<TestCaseImpl>& tc : session.Cases()->Cases()) {
    bool is_named = std::find(named.begin(), named.end(), tc) != named.end();
    bool take = is_named;
    if (!take) {
      try {
        take = !tc->Passed() && CalculationSucceeded(*tc);
      } catch (...) {
        take = false;  // a case that cannot be read is not one that calculated
      }
    }
    if (take) chosen.push_back(tc);
  }
  return chosen;
}

/// Long lines of a changed file are shown in part.
std::string ShownLine(const std::string& line) {
  constexpr size_t kShown = 160;
  std::string text = ScalarValuesOnly(line);
  if (text.size() <= kShown) return text;
  size_t cut = kShown;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut) + "...";
}

void PrintChange(const StandardChange& c, std::FILE* out) {
  if (c.standard_size < 0) {
    std::fprintf(out, "    %s: new, %lld bytes\n", c.name.c_str(), static_cast<long long>(c.output_size));
    return;
  }
  std::fprintf(out, "    %s: %lld bytes become %lld; ", c.name.c_str(),
               static_cast<long long>(c.standard_size), static_cast<long long>(c.output_size));
  if (c.line < 0)
    std::fprintf(out, "cannot be read: %s\n", c.standard_line.c_str());
  else if (c.line == 0)
    std::fprintf(out, "every line the same, the line ends differ\n");
  else
    std::fprintf(out, "%s on line %lld\n      - %s\n      + %s\n",
                 c.tolerated ? "only tolerated lines differ, the first" : "first difference",
                 static_cast<long long>(c.line), ShownLine(c.standard_line).c_str(),
                 ShownLine(c.output_line).c_str());
}

}  // namespace

int ApproveCommand(const ApproveOptions& o, std::FILE* out, std::FILE* err) {
  if (o.cases.empty() && !o.failed) throw CommandError(2, "approve needs the cases: CASE... or --failed");
  if (!o.dry_run && o.reason.find_first_not_of(" \t\r\n") == std::string::npos)
    throw CommandError(2, "approve needs a reason: --reason TEXT");
  if (!o.dry_run && !o.yes && InContinuousIntegration())
    throw CommandError(
        1,
        "CI is set: approve changes standard files there only with --yes (--dry-run shows what it "
        "would change)");
  HostSession session(o.host);
  std::vector<std::shared_ptr<TestCaseImpl>> cases = ApprovalCases(session, o);
  if (cases.empty()) {
    std::fprintf(out, "no case to approve: every case has passed or has no successful calculation\n");
    return 0;
  }
  const char* refused_word = o.dry_run ? "would not approve" : "not approved";
  auto report = [&](const Approvals& done) {
    for (const Approval& a : done.cases) {
      if (a.refused) {
        std::fprintf(err, "corvala4: %s: %s: %s\n", refused_word, a.caption.c_str(), a.message.c_str());
        continue;
      }
      std::fprintf(out, "%s: %s\n", a.caption.c_str(), a.message.c_str());
      for (const StandardChange& c : a.changes) PrintChange(c, out);
    }
    if (!done.failure.empty()) std::fprintf(err, "corvala4: %s\n", done.failure.c_str());
  };
  if (o.dry_run) {
    // Reads only, and takes no lock: the lock's file would be a write.
    Approvals preview = PreviewApproval(cases, session.Core().StandardFolder());
    report(preview);
    std::fprintf(out, "a dry run: nothing was written\n");
    return preview.approved ? 0 : 1;
  }
  RunLock lock;
  TakeRunLock(lock, session, o.wait, err);
  // Ctrl-C while the files are copied undoes the approval; once its log line is written, it
  // is finished first.
  StopSignals stop;
  Approvals done = ApproveCases(
      cases, o.reason, session.Core().StandardFolder(), [&stop] { return stop.Received() != 0; },
      session.ApprovalFolder());
  report(done);
  if (stop.Received()) {
    std::fflush(out);
    std::fflush(err);
    stop.EndByReceivedSignal();
  }
  return done.approved && done.failure.empty() ? 0 : 1;
}

Command SetUpApproveCommand(CLI::App& app, ProgramOptions& program) {
  auto o = std::make_shared<ApproveOptions>();
  CLI::App* sub =
      app.add_subcommand("approve", "the produced outputs of the cases become their new standard files");
  sub->add_option("HOST", o->host, kHostHelp)->type_name("")->required();
  sub->add_option("CASE", o->cases, "the cases, by caption or folder")->type_name("");
  sub->add_option("--reason", o->reason,
                  "why the results changed, for the approval log (not needed with --dry-run)")
      ->type_name("TEXT");
  sub->add_flag("--failed", o->failed,
                "also every case without a pass marker whose last calculation by `corvala4 run` succeeded");
  sub->add_flag("--dry-run", o->dry_run,
                "write nothing: show, for each case, every standard file that would change, its sizes and "
                "its first differing line");
  sub->add_flag("--yes", o->yes, "approve although CI is set in the environment (refused there without)");
  sub->add_flag("!--no-wait", o->wait,
                "fail (exit 2) instead of waiting while a run or another approval holds the test data");
  sub->footer(
      Footer("0 every case approved (with --dry-run: would be), 1 a case was not (its outputs "
             "cannot be vouched for; then none is) or CI is set without --yes,"));
  AddDefinitionOption(sub, program);
  return {sub, [o] { return ApproveCommand(*o, stdout, stderr); }};
}

}  // namespace corvala4::cli
