// `corvala4 init`: a definition file written for a folder of cases, one case per sub-folder
// of the standard directory, so that a suite that exists as folders runs as it stands.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.h"

namespace corvala4::cli {

struct InitOptions {
  std::string host;
  std::string standard;                // the standard directory
  std::string project;                 // glob of a case's project file; empty: the one non-output file
  std::vector<std::string> outputs;    // globs of a case's outputs
  std::vector<std::string> mandatory;  // globs of mandatory case folders; empty: every case
  bool txt = false;                    // the TXT form instead of the XML form
  std::string definition;              // where to write; empty: beside the host, named after it
  bool force = false;                  // overwrite a definition file that exists
};

/// The definition file's path beside the host: its upper-cased base name, "_TEST_DAT.XML" or ".TXT".
std::string DefinitionPathBeside(const std::string& host, bool txt);

/// Writes the definition file and says what it wrote; a case folder that cannot become a case
/// (no project file, several, a name the form cannot hold) is reported on `err` and left out.
int InitCommand(const InitOptions& options, std::FILE* out, std::FILE* err);

/// The `init` subcommand on the program's parser.
Command SetUpInitCommand(CLI::App& app);

}  // namespace corvala4::cli
