// `corvala4 approve`: the produced outputs of cases become their standard files, all of them
// or none, each with its line in the approvals log; with --dry-run, what would change.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.h"

namespace corvala4::cli {

struct ApproveOptions {
  std::string host;
  std::vector<std::string> cases;  // by caption or folder
  std::string reason;
  bool failed = false;   // also every case without a pass marker whose calculation succeeded
  bool dry_run = false;  // say what would change, write nothing
  bool yes = false;      // approve although CI is set
  bool wait = true;      // for a run on the same test data; false: exit 2 at once
};

/// 0 when every case was approved (or would be), 1 when one was refused and so none was.
int ApproveCommand(const ApproveOptions& options, std::FILE* out, std::FILE* err);

/// The `approve` subcommand on the program's parser.
Command SetUpApproveCommand(CLI::App& app, ProgramOptions& program);

}  // namespace corvala4::cli
