#include "cli/list_command.h"

#include <memory>

#include "cli/host_session.h"
#include "engine/tester_core.h"
#include "foundation/platform/code_page.h"
#include "model/test_case.h"
#include "model/test_cases.h"
#include "results/compare_rules.h"
#include "results/output_files.h"

namespace corvala4::cli {

namespace {

/// The text the test window adds to a kept output.
constexpr const char* kKeptMark = " (计算时需保留)";

std::string OutputsText(TestCaseImpl& tc) {
  std::string text;
  for (const std::shared_ptr<OutputFile>& f : *tc.OutputFiles())
    text += (text.empty() ? "" : ", ") + f->Name() + (f->Keep() ? kKeptMark : "");
  return text;
}

/// Text as a JSON string, quotes included.
std::string JsonString(const std::string& raw) {
  std::string text = ScalarValuesOnly(raw);
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

}  // namespace

int ListCommand(const std::string& host, bool json, std::FILE* out) {
  HostSession session(host);
  TesterCore& core = session.Core();
  const auto& cases = session.Cases()->Cases();
  if (!json) {
    std::fprintf(out, "%s: %zu cases, standard results in %s\n", core.DefinitionFile().c_str(), cases.size(),
                 core.StandardFolder().c_str());
    if (core.ComparisonRules())
      std::fprintf(out, "comparison rules: %s\n", core.ComparisonRules()->Path().c_str());
    for (const std::shared_ptr<TestCaseImpl>& tc : cases) {
      std::fprintf(out, "%s\n", tc->DisplayCaption().c_str());
      std::fprintf(out, "    folder %s, project %s, function %s\n", tc->Folder().c_str(),
                   tc->ProjectFileName().c_str(), tc->FuncNumText().c_str());
      std::fprintf(out, "    outputs: %s\n", OutputsText(*tc).c_str());
      for (const std::shared_ptr<OutputFile>& f : *tc->OutputFiles())
        if (const FileRule* rule = f->Rule())
          std::fprintf(out, "    %s: rule %s: %s\n", f->Name().c_str(), rule->Name().c_str(),
                       rule->Summary().c_str());
    }
    return 0;
  }
  std::string text =
      "{\n  \"host\": " + JsonString(session.Host()) +
      ",\n  \"definition_file\": " + JsonString(core.DefinitionFile()) +
      ",\n  \"standard_folder\": " + JsonString(core.StandardFolder()) +
      ",\n  \"work_folder\": " + JsonString(core.StandardFolder() + "_make") + ",\n  \"comparison_rules\": " +
      (core.ComparisonRules() ? JsonString(core.ComparisonRules()->Path()) : std::string("null")) +
      ",\n  \"cases\": [";
  bool first = true;
  for (const std::shared_ptr<TestCaseImpl>& tc : cases) {
    text += std::string(first ? "" : ",") + "\n    {\"caption\": " + JsonString(tc->Caption()) +
            ", \"display_caption\": " + JsonString(tc->DisplayCaption()) +
            ", \"folder\": " + JsonString(tc->Folder()) +
            ", \"project\": " + JsonString(tc->ProjectFileName()) +
            ", \"function\": " + JsonString(tc->FuncNumText()) +
            ", \"mandatory\": " + (tc->Mandatory() ? "true" : "false") +
            ", \"passed\": " + (tc->Passed() ? "true" : "false") +
            ", \"missing\": " + (tc->StandardFolderExists() ? "false" : "true") + ", \"outputs\": [";
    bool first_file = true;
    for (const std::shared_ptr<OutputFile>& f : *tc->OutputFiles()) {
      const FileRule* rule = f->Rule();
      text += std::string(first_file ? "" : ", ") + "{\"name\": " + JsonString(f->Name()) +
              ", \"keep\": " + (f->Keep() ? "true" : "false") + ", \"rule\": " +
              (rule ? "{\"name\": " + JsonString(rule->Name()) +
                          ", \"does\": " + JsonString(rule->Summary()) + "}"
                    : std::string("null")) +
              "}";
      first_file = false;
    }
    text += "]}";
    first = false;
  }
  text += "\n  ]\n}\n";
  std::fputs(text.c_str(), out);
  return 0;
}

Command SetUpListCommand(CLI::App& app, ProgramOptions& program) {
  struct Options {
    std::string host;
    bool json = false;
  };
  auto o = std::make_shared<Options>();
  CLI::App* sub =
      app.add_subcommand("list", "every case as the test window lists it, with its folder and outputs");
  sub->add_option("HOST", o->host, kHostHelp)->type_name("")->required();
  sub->add_flag("--json", o->json, "as JSON, for scripts");
  sub->footer(Footer("0 listed,"));
  AddDefinitionOption(sub, program);
  return {sub, [o] { return ListCommand(o->host, o->json, stdout); }};
}

}  // namespace corvala4::cli
