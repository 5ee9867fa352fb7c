// `corvala4 diff`: the produced outputs of one case against their standard files, as unified
// differences under the comparison rules.
#pragma once

#include <cstdio>
#include <string>

#include "cli/command_line.h"
#include "cli/output_diff.h"

namespace corvala4::cli {

/// 0 when every output shown is the same as its standard file, 1 when one differs or is
/// missing; only the output `file` when it is given.
int DiffCommand(const std::string& host, const std::string& caseName, const std::string& file,
                const DiffLimits& limits, std::FILE* out);

/// The `diff` subcommand on the program's parser.
Command SetUpDiffCommand(CLI::App& app, ProgramOptions& program);

}  // namespace corvala4::cli
