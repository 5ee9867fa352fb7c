#include "cli/diff_command.h"

#include <memory>
#include <vector>

#include "cli/command_support.h"
#include "cli/host_session.h"
#include "engine/tester_core.h"
#include "model/path_guard.h"
#include "model/test_case.h"
#include "results/compare_rules.h"
#include "results/output_files.h"

namespace corvala4::cli {

int DiffCommand(const std::string& host, const std::string& caseName, const std::string& file,
                const DiffLimits& limits, std::FILE* out) {
  HostSession session(host);
  std::vector<std::shared_ptr<TestCaseImpl>> found = session.Named({caseName});
  if (found.size() > 1)
    throw CommandError(2, "'" + caseName + "' names " + std::to_string(found.size()) +
                              " cases; name one by its caption or folder");
  TestCaseImpl& tc = *found.front();
  TesterCore& core = session.Core();
  bool any = false, all_same = true;
  try {
    // Compared as the compare window compares: states only, no marker touched.
    tc.UpdateStatus(false);
  } catch (...) {
    throw CommandError(
        2, "cannot compare the outputs of '" + tc.Caption() + "': " + OneLine(std::current_exception()));
  }
  for (const std::shared_ptr<OutputFile>& f : *tc.OutputFiles()) {
    if (!file.empty() && f->Name() != file) continue;
    any = true;
    std::fprintf(out, "== %s: %s\n", f->Name().c_str(), f->ExplainedStatusText().c_str());
    if (const FileRule* rule = f->Rule())
      std::fprintf(out, "   rule %s: %s\n", rule->Name().c_str(), rule->Summary().c_str());
    if (!f->IsSame()) all_same = false;
    if (f->State() != LengthDiffers && f->State() != ContentDiffers && f->State() != Same) continue;
    // Never shown through a link that leads out of the test data.
    std::string outside;
    for (const std::string& path : {f->StandardPath(), f->OutputPath()})
      if (!LeadsInto(path, core.StandardFolder(), core.WorkFolder())) outside = path;
    if (!outside.empty()) {
      std::fprintf(out, "'%s' is a link that leads out of the test data: not shown\n",
                   Shown(outside).c_str());
      all_same = false;
      continue;
    }
    DiffCounts counts;
    try {
      counts = WriteUnifiedDiff(f->StandardPath(), f->OutputPath(), limits, out, Shown(f->StandardPath()),
                                Shown(f->OutputPath()), f->Rule());
    } catch (...) {
      throw CommandError(2, OneLine(std::current_exception()));
    }
    if (counts.hidden > 0)
      std::fprintf(out,
                   "... %lld more changed lines not shown (%lld differ, %lld tolerated in all); "
                   "--max-lines shows more\n",
                   static_cast<long long>(counts.hidden), static_cast<long long>(counts.differing),
                   static_cast<long long>(counts.tolerated));
    if (!f->IsSame() && counts.differing == 0)
      std::fprintf(out, "every line matches: the files differ in their line ends%s\n",
                   counts.tolerated ? ", or in the length of a tolerated date line" : "");
  }
  if (!any) throw CommandError(2, "the case '" + tc.Caption() + "' declares no output named '" + file + "'");
  return all_same ? 0 : 1;
}

Command SetUpDiffCommand(CLI::App& app, ProgramOptions& program) {
  struct Options {
    std::string host, case_name, file;
    DiffLimits limits;
  };
  auto o = std::make_shared<Options>();
  CLI::App* sub = app.add_subcommand("diff", "each produced output of a case against its standard file");
  sub->add_option("HOST", o->host, kHostHelp)->type_name("")->required();
  sub->add_option("CASE", o->case_name, "the case, by caption or folder")->type_name("")->required();
  sub->add_option("FILE", o->file, "only this output")->type_name("");
  sub->add_option("--max-lines", o->limits.max_lines,
                  "changed lines shown per file (default " + std::to_string(DiffLimits{}.max_lines) +
                      "); the rest are counted")
      ->type_name("N")
      ->check(WholeNumber(0, 1 << 30));
  sub->add_option("--context", o->limits.context,
                  "unchanged lines around a change (default " + std::to_string(DiffLimits{}.context) + ")")
      ->type_name("N")
      ->check(WholeNumber(0, 1 << 20));
  sub->footer(
      "Exit status: 0 every output shown is the same as its standard file, 1 an output differs or is "
      "missing, 2 bad usage, no such case or output, a file that cannot be read, or a definition file that "
      "cannot be used.");
  AddDefinitionOption(sub, program);
  return {sub, [o, &program] {
            o->limits.color = UseColor(program.Color(), stdout);
            return DiffCommand(o->host, o->case_name, o->file, o->limits, stdout);
          }};
}

}  // namespace corvala4::cli
