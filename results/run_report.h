// What a run did, case by case, for the reports (JUnit XML, HTML): how each case
// ended, how long it took, and the state and first difference of each output file.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "results/line_pairs.h"
#include "results/output_file.h"

namespace corvala4 {

class TestCase;
class TestCaseImpl;

enum class CaseOutcome {
  Passed,             // calculated, every output the same
  NotPassed,          // calculated, some output differs
  CalculationFailed,  // the host did not calculate
  FolderMissing,      // the case's standard folder does not exist
  Error,              // a step of the module failed (preparation, comparison, marker)
  Stopped,            // the run was interrupted while the case was calculated
  NotRun,             // the run was interrupted before the case started
};

/// The word of an outcome, as the progress lines and the test window say it.
std::string OutcomeText(CaseOutcome outcome);

struct FileResult {
  std::string name;
  bool keep = false;
  OutputFileState state = NotCompared;
  std::vector<LinePair> differences;  // the first pairs of lines the comparison does not accept
  std::string problem;                // why the comparison or the search for a difference failed
  std::string detail;                 // how the file's comparison rule decided, when one governs it
};

struct CaseResult {
  std::string caption;
  std::string folder;
  std::string project;
  std::string func;
  bool mandatory = false;
  CaseOutcome outcome = CaseOutcome::NotRun;
  double seconds = 0;
  std::string reason;  // why it failed to calculate, or what went wrong
  std::string output;  // the last part of what its calculation printed, when known
  std::vector<std::pair<std::string, std::string>> facts;  // where it ran: a process id, a job, a node
  std::vector<FileResult> files;
};

/// The host executable that ran: enough to tell one build from another.
struct BuildIdentity {
  std::string path;
  int64_t size = 0;
  std::time_t modified = 0;
  std::string sha256;  // empty when not computed
};

struct RunResult {
  std::string host;
  std::string definition_file;
  BuildIdentity build;
  std::time_t started = 0;
  double seconds = 0;
  std::vector<CaseResult> cases;
  int32_t mandatory_in_collection = 0;  // of the whole definition, not only of the cases run
  bool all_mandatory_passed = false;    // of the whole definition
  bool recorded = false;                // the build was appended to the version record
  std::string interrupted;              // what stopped the run ("SIGINT"); empty when it ran to its end
};

/// A time in local time, by a strftime format.
std::string LocalTimeText(std::time_t t, const char* format = "%Y-%m-%d %H:%M:%S");

/// For a case whose calculation succeeded and whose outputs were compared: Passed when its
/// pass marker is there, else NotPassed with the outputs that differ as the reason.
void DecideCompared(CaseResult& r, TestCase& tc);

/// The states of a case's output files as its last comparison left them, each that
/// differs with its first `differences` differing pairs of lines. Needs the case's open context.
std::vector<FileResult> DescribeOutputs(TestCaseImpl& tc, int differences = 5);

/// The case's fields as the definition names them, with outcome NotRun.
CaseResult CaseOf(TestCaseImpl& tc);

}  // namespace corvala4
