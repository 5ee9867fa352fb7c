#include "results/rule_compare.h"

#include <string.h>

#include <algorithm>

#include "foundation/format_msg.h"
#include "foundation/platform/code_page.h"
#include "results/block_reader.h"

namespace corvala4 {

namespace {

/// Longest line judged under a rule; a longer one that differs is a difference.
constexpr size_t kLongestLine = size_t{64} << 20;

/// Lines that end inside p[0, m): every LF, and every CR that no LF follows inside the
/// range. A CR as the last byte is left to the caller, as the next byte decides it.
int64_t EndedLines(const char* p, size_t m) {
  int64_t n = 0;
  for (const char* q = p; (q = static_cast<const char*>(memchr(q, '\n', static_cast<size_t>(p + m - q))));
       ++q)
    ++n;
  size_t limit = m > 0 ? m - 1 : 0;
  for (const char* q = p; (q = static_cast<const char*>(memchr(q, '\r', static_cast<size_t>(p + limit - q))));
       ++q)
    if (q[1] != '\n') ++n;
  return n;
}

std::string Utf8Line(const std::string& bytes, bool utf8) {
  return utf8 ? bytes : FromCodePage(bytes);
}

std::string Bounds(const NumberTolerance& t) {
  return "相对 " + ShortNumber(t.relative) + " 绝对 " + ShortNumber(t.absolute);
}

}  // namespace

PairVerdict JudgePair(const FileRule* rule, std::string_view standard, std::string_view output,
                      JudgeScratch& scratch) {
  PairVerdict v;
  if (standard == output) {
    v.reason = PairReason::Equal;
    return v;
  }
  if (LooksLikeDate(standard) || LooksLikeDate(output)) {
    v.reason = PairReason::Date;
    return v;
  }
  if (!rule) return v;
  for (const RulePattern& p : rule->ignore) {
    if (p.Matches(standard) && p.Matches(output)) {
      v.reason = PairReason::Ignored;
      v.pattern = &p;
      return v;
    }
  }
  if (rule->numbers) {
    v.numbers = CompareNumbers(standard, output, *rule->numbers, scratch.a, scratch.b);
    if (v.numbers.match) v.reason = PairReason::Numbers;
  }
  return v;
}

std::string PairReasonText(const PairVerdict& v) {
  switch (v.reason) {
    case PairReason::Equal: return "the same";
    case PairReason::Date: return "a date line (年…月…日) matches any line";
    case PairReason::Ignored: return "ignored by the pattern '" + v.pattern->text + "'";
    case PairReason::Numbers:
      return "numbers within tolerance: largest relative difference " + ShortNumber(v.numbers.max_relative) +
             " (field " + std::to_string(v.numbers.field) + "), absolute " +
             ShortNumber(v.numbers.max_absolute);
    case PairReason::Differs: break;
  }
  if (v.numbers.failed_field > 0)
    return "field " + std::to_string(v.numbers.failed_field) +
           " outside tolerance: " + v.numbers.standard_value + " against " + v.numbers.output_value;
  return v.numbers.problem;
}

PairJudge RuleJudge(const FileRule* rule) {
  auto scratch = std::make_shared<JudgeScratch>();
  return [rule, scratch](std::string_view standard, std::string_view output) -> std::optional<std::string> {
    PairVerdict v = JudgePair(rule, standard, output, *scratch);
    switch (v.reason) {
      case PairReason::Equal: return "相同";
      case PairReason::Date: return "日期行";
      case PairReason::Ignored: return "忽略: " + v.pattern->text;
      case PairReason::Numbers:
        return FormatMsg("数值容差内: 最大相对差 %0 第%1个数, 最大绝对差 %2",
                         ShortNumber(v.numbers.max_relative), static_cast<long long>(v.numbers.field),
                         ShortNumber(v.numbers.max_absolute));
      case PairReason::Differs: break;
    }
    return std::nullopt;
  };
}

RuleOutcome CompareUnderRule(const FileRule& rule, const std::string& standardPath,
                             const std::string& outputPath, size_t blockSize) {
  RuleOutcome out;
  BlockReader a(standardPath, blockSize);
  BlockReader b(outputPath, blockSize);
  bool utf8 = CodePageIsUtf8();
  JudgeScratch scratch;
  std::string lineA, lineB;
  int64_t passed = 0;       // lines wholly behind the start of the current line
  bool pending_cr = false;  // the last equal byte was a CR not yet counted
  auto finish_counts = [&](OutputFileState decided) {
    int64_t restA = CountLines(a), restB = CountLines(b);
    out.standard_lines = passed + restA;
    out.output_lines = passed + restB;
    out.state = restA != restB ? LengthDiffers : decided;
    return out;
  };
  while (true) {
    // While the bytes are equal, the lines are too: pass them without splitting, counting the
    // lines and noting where the last line both files share whole ends.
    int64_t lineStartA = a.Pos();
    int64_t lineStartB = b.Pos();
    while (true) {
      std::string_view va = a.Bytes();
      std::string_view vb = b.Bytes();
      if (va.empty() || vb.empty()) break;
      size_t n = std::min(va.size(), vb.size());
      size_t m = CommonPrefix(va.data(), vb.data(), n);
      if (m == 0) break;
      if (pending_cr && va[0] != '\n') {
        // The CR before these bytes ended its line on its own.
        ++passed;
        lineStartA = a.Pos();
        lineStartB = b.Pos();
      }
      pending_cr = va[m - 1] == '\r';
      passed += EndedLines(va.data(), m);
      size_t safe = SafeLineEnd(va.data(), m);
      if (safe > 0) {
        lineStartA = a.Pos() + static_cast<int64_t>(safe);
        lineStartB = b.Pos() + static_cast<int64_t>(safe);
      }
      a.Skip(m);
      b.Skip(m);
      if (m < n) break;
    }
    pending_cr = false;
    bool endA = a.Bytes().empty();
    bool endB = b.Bytes().empty();
    if (endA && endB && a.Pos() == lineStartA) {
      out.state = Same;
      out.lines = passed;
      return out;
    }
    // A difference, or a last line without its terminator, or one file goes on: from the
    // start of that line, line by line.
    a.Seek(lineStartA);
    b.Seek(lineStartB);
    bool cutA = false, cutB = false;
    bool hasA = ReadWholeLine(a, lineA, kLongestLine, cutA);
    bool hasB = ReadWholeLine(b, lineB, kLongestLine, cutB);
    if (!hasA && !hasB) {
      out.state = Same;
      out.lines = passed;
      return out;
    }
    if (!hasA || !hasB) {
      out.failed_line = passed + 1;
      out.failed.numbers.problem = hasA ? "the output has fewer lines" : "the output has more lines";
      out.state = LengthDiffers;
      out.standard_lines = passed + (hasA ? 1 + CountLines(a) : 0);
      out.output_lines = passed + (hasB ? 1 + CountLines(b) : 0);
      return out;
    }
    ++passed;
    if (lineA == lineB && !cutA && !cutB) continue;
    PairVerdict v;
    if (!cutA && !cutB)
      v = JudgePair(&rule, Utf8Line(lineA, utf8), Utf8Line(lineB, utf8), scratch);
    else
      v.numbers.problem = "a line longer than 64 MiB differs";
    switch (v.reason) {
      case PairReason::Equal: break;
      case PairReason::Date: ++out.date_lines; break;
      case PairReason::Ignored: ++out.ignored_lines; break;
      case PairReason::Numbers:
        ++out.number_lines;
        if (out.max_relative_line == 0 || v.numbers.max_relative > out.max_relative) {
          out.max_relative = std::max(out.max_relative, v.numbers.max_relative);
          out.max_relative_line = passed;
          out.max_relative_field = v.numbers.field;
        }
        out.max_absolute = std::max(out.max_absolute, v.numbers.max_absolute);
        break;
      case PairReason::Differs:
        out.failed_line = passed;
        out.failed = v;
        out.lines = passed;
        return finish_counts(ContentDiffers);
    }
  }
}

std::string ExplainOutcome(const RuleOutcome& o, const FileRule& rule) {
  if (o.state == Same) {
    std::string s;
    if (o.number_lines > 0 && rule.numbers)
      s = FormatMsg("数值容差内, 最大相对差 %0 第%1行第%2个数, 最大绝对差 %3, 容差 %4",
                    ShortNumber(o.max_relative), static_cast<long long>(o.max_relative_line),
                    static_cast<long long>(o.max_relative_field), ShortNumber(o.max_absolute),
                    Bounds(*rule.numbers));
    if (o.ignored_lines > 0)
      s += (s.empty() ? "" : "; ") + FormatMsg("忽略%0行", static_cast<long long>(o.ignored_lines));
    if (o.date_lines > 0)
      s += (s.empty() ? "" : "; ") + FormatMsg("日期行%0行", static_cast<long long>(o.date_lines));
    return s;
  }
  if (o.state == LengthDiffers)
    return FormatMsg("行数不同: 标准%0行, 输出%1行", static_cast<long long>(o.standard_lines),
                     static_cast<long long>(o.output_lines));
  if (o.state != ContentDiffers) return "";
  const NumbersVerdict& n = o.failed.numbers;
  if (n.failed_field > 0)
    return FormatMsg("第%0行第%1个数超出容差: 标准 %2, 输出 %3, 容差 %4",
                     static_cast<long long>(o.failed_line), static_cast<long long>(n.failed_field),
                     n.standard_value, n.output_value, Bounds(*rule.numbers));
  return FormatMsg("第%0行不同%1", static_cast<long long>(o.failed_line),
                   n.problem.empty() ? "" : ": " + n.problem);
}

}  // namespace corvala4
