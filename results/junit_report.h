// The report CI servers read (GitLab, Jenkins): JUnit XML, one testcase per case.
#pragma once

#include <string>

#include "results/run_report.h"

namespace corvala4 {

/// The run as a JUnit document: a passed case is a bare testcase, a case whose outputs
/// differ a failure naming every output, a failed calculation or a failed step an error,
/// a missing case folder (or a case a stop kept from running) skipped.
std::string JUnitXml(const RunResult& run);

/// Writes the document through a temporary file and a rename, so a reader never finds
/// half of it; fails with an Error naming the file.
void WriteJUnitReport(const RunResult& run, const std::string& path);

}  // namespace corvala4
