// `corvala4 run`: the cases calculated side by side (here or as Slurm jobs) and compared, the
// build recorded when every mandatory case passed, JUnit and HTML reports on request.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/slurm_executor.h"

namespace corvala4::cli {

struct RunOptions {
  std::string host;
  std::string exec;                // the calculation command template
  int jobs = 0;                    // calculations at once; 0: the number of cores, or every case on Slurm
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

/// The `run` subcommand on the program's parser.
Command SetUpRunCommand(CLI::App& app, ProgramOptions& program);

}  // namespace corvala4::cli
