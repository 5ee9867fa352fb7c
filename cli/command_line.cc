#include "cli/command_line.h"

namespace corvala4::cli {

const char* const kHostHelp =
    "the host executable (a name without a slash is looked for on PATH); its definition file "
    "(NAME_TEST_DAT.XML or .TXT) lies beside it";

ColorChoice ProgramOptions::Color() const {
  return color == "always" ? ColorChoice::Always : color == "never" ? ColorChoice::Never : ColorChoice::Auto;
}

// Said in our words rather than the parser's, which names a range of doubles.
CLI::Validator WholeNumber(int min, int max) {
  return CLI::Validator(
      [min, max](std::string& text) -> std::string {
        size_t used = 0;
        long value = 0;
        try {
          value = std::stol(text, &used);
        } catch (...) {
          used = 0;
        }
        if (used == 0 || used != text.size() || value < min || value > max)
          return "'" + text + "' is not a whole number from " + std::to_string(min) + " to " +
                 std::to_string(max);
        return "";
      },
      "", "whole number");
}

CLI::Validator Seconds(double max) {
  return CLI::Validator(
      [max](std::string& text) -> std::string {
        size_t used = 0;
        double value = 0;
        try {
          value = std::stod(text, &used);
        } catch (...) {
          used = 0;
        }
        if (used == 0 || used != text.size() || !(value > 0) || value > max)
          return "'" + text + "' is not a number of seconds above 0 and at most " +
                 std::to_string(static_cast<long>(max)) + " (30 days)";
        return "";
      },
      "", "seconds");
}

std::string Footer(const std::string& statuses) {
  return "Exit status: " + statuses + " 2 bad usage, or a definition file that cannot be used.";
}

// A host that lies where nothing can be written beside it (/usr/bin/solver) reads its cases
// from elsewhere; its records then lie beside that file.
void AddDefinitionOption(CLI::App* sub, ProgramOptions& program) {
  sub->add_option("--definition", program.definition,
                  "the definition file to read instead of the one beside HOST; the version record and "
                  "the approvals log then lie beside it, relative standard directories are taken from its "
                  "folder")
      ->type_name("FILE");
}

}  // namespace corvala4::cli
