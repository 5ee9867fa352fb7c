// `corvala4 status`: whether the build on disk has passed every mandatory case, with the
// identity (size, time, sha256) the record keeps of it.
#pragma once

#include <cstdio>
#include <string>

#include "cli/command_line.h"

namespace corvala4::cli {

/// 0 when this build has passed every mandatory case, 1 when it has not.
int StatusCommand(const std::string& host, std::FILE* out);

/// The `status` subcommand on the program's parser.
Command SetUpStatusCommand(CLI::App& app, ProgramOptions& program);

}  // namespace corvala4::cli
