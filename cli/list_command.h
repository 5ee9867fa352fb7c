// `corvala4 list`: every case as the test window lists it, with its folder, project file,
// outputs and rules, as text or as JSON for scripts.
#pragma once

#include <cstdio>
#include <string>

#include "cli/command_line.h"

namespace corvala4::cli {

/// Lists the cases of the host's definition file; 0 once listed.
int ListCommand(const std::string& host, bool json, std::FILE* out);

/// The `list` subcommand on the program's parser.
Command SetUpListCommand(CLI::App& app, ProgramOptions& program);

}  // namespace corvala4::cli
