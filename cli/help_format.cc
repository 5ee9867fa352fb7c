#include "cli/help_format.h"

#include "cli/terminal.h"

namespace corvala4::cli {

namespace {
constexpr int kNameColumn = 26;
}

HelpFormatter::HelpFormatter(int width) : width_(width < 40 ? 40 : width) {
  column_width(kNameColumn);
}

std::string HelpFormatter::Entry(const std::string& name, const std::string& description) const {
  std::string left = "  " + name;
  int column = kNameColumn;
  // Under a narrow terminal the description gets its own lines below the name.
  if (width_ - column < 30) column = 8;
  std::string text = left;
  int used = DisplayWidth(left);
  if (description.empty()) return text + "\n";
  if (used >= column) {
    text += "\n";
    used = 0;
  }
  text += std::string(static_cast<size_t>(column - used), ' ');
  return text + Wrap(description, width_, column) + "\n";
}

std::string HelpFormatter::make_option(const CLI::Option* opt, bool is_positional) const {
  return Entry(make_option_name(opt, is_positional) + make_option_opts(opt), make_option_desc(opt));
}

std::string HelpFormatter::make_subcommand(const CLI::App* sub) const {
  return Entry(sub->get_display_name(true), sub->get_description());
}

std::string HelpFormatter::make_description(const CLI::App* app) const {
  std::string desc = app->get_description();
  return desc.empty() ? "" : Wrap(desc, width_) + "\n\n";
}

std::string HelpFormatter::make_footer(const CLI::App* app) const {
  std::string footer = app->get_footer();
  return footer.empty() ? "" : Wrap(footer, width_) + "\n";
}

}  // namespace corvala4::cli
