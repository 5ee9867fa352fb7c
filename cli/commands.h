// The commands of `corvala4`. Each writes what it says to `out`, its complaints to
// `err`, and returns the program's exit status: 0 success, 1 a case or the build did
// not pass (or a refusal), 2 bad usage or a definition that cannot be used.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/output_diff.h"
#include "cli/slurm_executor.h"

namespace corvala4::cli {

/// Every case as the test window lists it, with its folder, project file and outputs.
int ListCommand(const std::string& host, bool json, std::FILE* out);

/// Whether this build has passed every mandatory case, and its identity.
int StatusCommand(const std::string& host, std::FILE* out);

/// The produced outputs of one case against their standard files (one output when `file` is given).
int DiffCommand(const std::string& host, const std::string& caseName, const std::string& file,
                const DiffLimits& limits, std::FILE* out);

struct ApproveOptions {
  std::string host;
  std::vector<std::string> cases;  // by caption or folder
  std::string reason;
  bool failed = false;   // also every case without a pass marker whose calculation succeeded
  bool dry_run = false;  // say what would change, write nothing
  bool yes = false;      // approve although CI is set
  bool wait = true;      // for a run on the same test data; false: exit 2 at once
};

/// The produced outputs of the cases become their standard files, all of them or none; with
/// dry_run, what would change, nothing written.
int ApproveCommand(const ApproveOptions& options, std::FILE* out, std::FILE* err);

struct RunOptions {
  std::string host;
  std::string exec;  // the calculation command template
  int jobs = 0;      // calculations at once; 0: the number of cores, or every case on Slurm
  std::string executor = "local";  // or "slurm"
  SlurmOptions slurm;
  double timeout = 0;
  std::vector<std::string> cases;
  bool mandatory = false;
  bool failed = false;
  bool fresh = false;  // remove each working folder before its case is prepared
  std::string junit;
  std::string html;
  bool color = false;  // colour on the output
  bool wait = true;    // for a run on the same test data; false: exit 2 at once
};

/// Runs the cases; on a stop signal ends the program by that signal, after saying what it stopped.
int RunCommand(const RunOptions& options, std::FILE* out, std::FILE* err);

/// Text as a JSON string, quotes included.
std::string JsonString(const std::string& text);

}  // namespace corvala4::cli
