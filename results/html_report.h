// A report of a run for people: one self-contained HTML page (no script, no outside
// file) with the build, a summary, every case with its state and time, and for each
// case that did not pass its output files with their first differences.
#pragma once

#include <string>

#include "results/run_report.h"

namespace corvala4 {

std::string HtmlReport(const RunResult& run);
/// Writes the page through a temporary file and a rename; fails with an Error naming the file.
void WriteHtmlReport(const RunResult& run, const std::string& path);

}  // namespace corvala4
