// The comparison of an output file with its standard file under a comparison rule:
// decided by its lines, each pair judged as equal, a date line, an ignored line, numbers
// within tolerance, or different; and the account of that decision for the reports.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "results/compare_rules.h"
#include "results/line_compare.h"
#include "results/number_fields.h"
#include "results/output_file.h"
#include "results/paired_lines.h"

namespace corvala4 {

enum class PairReason { Equal, Date, Ignored, Numbers, Differs };

struct PairVerdict {
  PairReason reason = PairReason::Differs;
  const RulePattern* pattern = nullptr;  // the ignore pattern that both lines match
  NumbersVerdict numbers;                // with a numbers rule
  bool Accepted() const { return reason != PairReason::Differs; }
};

/// Reusable buffers of the line judge.
struct JudgeScratch {
  LineFields a, b;
};

/// Judges a pair of lines (UTF-8) that are not the same bytes. Without a rule: a date line on
/// either side, else different, as the plain comparison has it.
PairVerdict JudgePair(const FileRule* rule, std::string_view standard, std::string_view output,
                      JudgeScratch& scratch);

/// The account of one tolerated pair, as diff marks it: "date line (年…月…日)",
/// "ignore '^ {4}1UTIME'", "numbers within tolerance: largest relative 3.1e-06, absolute 2e-09".
std::string PairReasonText(const PairVerdict& verdict);

/// The compare view's judge of a file under its rule (none: the plain comparison), with the
/// reasons in the windows' words: "日期行", "忽略: ^ {4}1UTIME", "数值容差内: 最大相对差 3.1e-06".
CORVALA4_WINDOWS_API PairJudge RuleJudge(const FileRule* rule);

/// What the comparison of one file under a rule found.
struct RuleOutcome {
  OutputFileState state = NotCompared;
  int64_t lines = 0;  // pairs judged before the decision
  // Over the pairs that numbers tolerated: the largest relative difference, where, and the
  // largest absolute one.
  int64_t number_lines = 0;
  double max_relative = 0;
  int64_t max_relative_line = 0;
  int max_relative_field = 0;
  double max_absolute = 0;
  int64_t ignored_lines = 0;
  int64_t date_lines = 0;
  // The first pair that the rule does not accept.
  int64_t failed_line = 0;
  PairVerdict failed;
  int64_t standard_lines = 0, output_lines = 0;  // when the counts differ
};

/// Both files exist. Same: as many lines and every pair accepted; LengthDiffers: the
/// numbers of lines differ; ContentDiffers otherwise. Fails with a read error naming a file.
RuleOutcome CompareUnderRule(const FileRule& rule, const std::string& standardPath,
                             const std::string& outputPath, size_t blockSize = kCompareBlockSize);

/// The account of a decision for the state column and the reports, in the module's words:
/// "数值容差内, 最大相对差 3.1e-06 第12行第3个数, 容差 相对 1e-05 绝对 1e-12"; empty when there
/// is nothing to say (identical files).
std::string ExplainOutcome(const RuleOutcome& outcome, const FileRule& rule);

}  // namespace corvala4
