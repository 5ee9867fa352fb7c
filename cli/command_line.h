// What the setups of `corvala4`'s commands share: the program-wide options, the value checks
// said in our words, the exit-status footer and the options several commands take.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

#include "cli/terminal.h"

namespace corvala4::cli {

/// The options of the program itself, read by a command's action once the line is parsed.
struct ProgramOptions {
  std::string color = "auto";  // auto, always or never
  std::string definition;      // the definition file instead of the one beside HOST

  ColorChoice Color() const;
};

/// A command as set up on the parser: its subcommand, and what it does when it was given.
struct Command {
  CLI::App* app = nullptr;
  std::function<int()> action;
};

/// Beyond these a value is a typing error rather than a wish.
inline constexpr int kMaxJobs = 4096;
inline constexpr double kMaxTimeoutSeconds = 30 * 24 * 3600;

/// A whole number from `min` to `max`.
CLI::Validator WholeNumber(int min, int max);

/// A number of seconds above 0 and at most `max`.
CLI::Validator Seconds(double max);

/// The exit-status footer of a command: its own statuses, then the one every command shares.
std::string Footer(const std::string& statuses);

/// The help of the HOST argument of a command that reads the definition file beside it.
extern const char* const kHostHelp;

/// --definition, for a command that reads the definition file.
void AddDefinitionOption(CLI::App* sub, ProgramOptions& program);

}  // namespace corvala4::cli
