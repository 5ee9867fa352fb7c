// `corvala4 check`: the definition file read as a run would read it, every problem told at
// once with its file and line, before a long run finds them one at a time.
#pragma once

#include <cstdio>
#include <string>

#include "cli/command_line.h"

namespace corvala4::cli {

/// 0 no problem, 1 warnings only, 2 errors.
int CheckCommand(const std::string& host, bool color, std::FILE* out);

/// The `check` subcommand on the program's parser.
Command SetUpCheckCommand(CLI::App& app, ProgramOptions& program);

}  // namespace corvala4::cli
