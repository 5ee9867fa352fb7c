// The texts every report of a run says the same way (the JUnit and HTML reports, the
// runner's lines): a file's state, a case's differences, a shown line, a duration.
#pragma once

#include <optional>
#include <string>

#include "results/run_report.h"

namespace corvala4 {

/// The state of a file with how its rule decided it: "相同 (数值容差内, ...)".
std::string ExplainedState(const FileResult& f);

/// The short account of a case that did not pass ("forces.out: 内容不同, 第4行" ...): each
/// output that is not the same, for messages and summaries.
std::string FailureSummary(const CaseResult& c);

/// For a case whose outputs passed under comparison rules: one line per file that a rule
/// let pass with differences, saying the largest one and its bound; empty otherwise.
std::string ToleranceNotes(const CaseResult& c);

/// Every output file with its state and first difference, several lines.
std::string FailureDetails(const CaseResult& c);

/// Why a file that differs has no differing lines to show (the search failed, or only the
/// line ends differ); empty for a file that has some or does not differ.
std::string UnshownDifference(const FileResult& f);

/// Where a case ran: "job 17, node n3".
std::string FactsText(const CaseResult& c);

/// A line as a report shows it: cut where it would flood the page; "(文件已结束)" past the end.
std::string ShownLine(const std::optional<std::string>& line);

/// Text with what XML 1.0 cannot hold (control characters but tab and line ends) left out.
std::string XmlSafe(const std::string& utf8);

/// A duration in seconds with `decimals` places ("12.500"); never negative.
std::string SecondsText(double seconds, int decimals);

/// Writes a report through a temporary file and a rename, so a reader never finds half of
/// it; fails with an Error naming the file.
void WriteReportFile(const std::string& path, const std::string& text);

}  // namespace corvala4
