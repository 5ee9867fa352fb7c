// A report of a run for people: one self-contained HTML page (no script, no outside
// file) with the build, a summary, every case with its state and time, and for each
// case that did not pass its output files with their first differences.
#pragma once

#include <string>

#include "results/run_report.h"

namespace corvala4::cli {

std::string HtmlReport(const RunResult& run);
/// Writes the page through a temporary file and a rename; fails with CommandError (2).
void WriteHtmlReport(const RunResult& run, const std::string& path);

/// Text with &, <, >, " and ' written as entities.
std::string HtmlEscape(const std::string& text);

}  // namespace corvala4::cli
