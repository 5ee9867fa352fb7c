// `corvala4 --help` as people read it: every description wrapped to the terminal's width
// (80 columns when the help goes to a file or a pipe), continuation lines under their column.
#pragma once

#include <CLI/CLI.hpp>

namespace corvala4::cli {

class HelpFormatter : public CLI::Formatter {
 public:
  explicit HelpFormatter(int width);

  std::string make_option(const CLI::Option* opt, bool is_positional) const override;
  std::string make_subcommand(const CLI::App* sub) const override;
  std::string make_description(const CLI::App* app) const override;
  std::string make_footer(const CLI::App* app) const override;

 private:
  std::string Entry(const std::string& name, const std::string& description) const;

  int width_;
};

}  // namespace corvala4::cli
