#include "results/html_report.h"

#include <algorithm>

#include "foundation/platform/path_text.h"
#include "foundation/text.h"
#include "results/differing_tokens.h"
#include "results/outcome_tally.h"
#include "results/report_text.h"

namespace corvala4 {

namespace {

const char* const kStyle = R"(
body { font-family: "Noto Sans CJK SC", "WenQuanYi Zen Hei", "Microsoft YaHei", sans-serif; margin: 24px;
       color: #222; font-size: 14px; }
h1 { font-size: 22px; margin-bottom: 4px; }
h2 { font-size: 17px; margin-top: 28px; border-bottom: 1px solid #ccc; padding-bottom: 4px; }
h3 { font-size: 15px; margin-bottom: 6px; }
table { border-collapse: collapse; margin: 8px 0; }
th, td { border: 1px solid #ccc; padding: 4px 10px; text-align: left; vertical-align: top; }
th { background: #f2f2f2; }
td.num { text-align: right; }
.verdict { display: inline-block; padding: 6px 14px; border-radius: 4px; font-weight: bold; margin: 8px 0; }
.ok { background: #dff3df; color: #17621b; }
.bad { background: #fbe0e0; color: #9b1c1c; }
.warn { background: #fff1d6; color: #7a4b00; }
.muted { color: #777; }
code, pre { font-family: "DejaVu Sans Mono", monospace; font-size: 13px; }
pre { background: #f7f7f7; border: 1px solid #ddd; padding: 8px; overflow-x: auto; white-space: pre-wrap; }
td.line { font-family: "DejaVu Sans Mono", monospace; white-space: pre; }
td.state { min-width: 5em; }
mark { background: #ffd24d; }
)";

std::string StateClass(CaseOutcome outcome) {
  switch (KindOf(outcome)) {
    case OutcomeKind::Passed: return "ok";
    case OutcomeKind::Skipped: return "warn";
    default: return "bad";
  }
}

std::string Seconds(double s) { return SecondsText(s, 2) + " s"; }

/// A line escaped, with its spans marked; each part is escaped alone, so a mark never splits an escape.
std::string Marked(const std::string& text, const std::vector<TextSpan>& spans) {
  std::string html;
  size_t at = 0;
  for (const TextSpan& span : spans) {
    html += MarkupEscaped(text.substr(at, span.begin - at)) + "<mark>" +
            MarkupEscaped(text.substr(span.begin, span.end - span.begin)) + "</mark>";
    at = span.end;
  }
  return html + MarkupEscaped(text.substr(at));
}

std::string Row(std::initializer_list<std::string> cells, const char* tag = "td") {
  std::string html = "<tr>";
  for (const std::string& cell : cells) html += std::string("<") + tag + ">" + cell + "</" + tag + ">";
  return html + "</tr>\n";
}

}  // namespace

std::string HtmlReport(const RunResult& run) {
  auto E = [](const std::string& s) { return MarkupEscaped(XmlSafe(s)); };
  OutcomeTally tally = Tally(run.cases);
  std::string name = FileNameOf(run.host);

  std::string h = "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n";
  h += "<title>" + E(name) + " 正确性自测试报告</title>\n<style>" + std::string(kStyle) +
       "</style>\n</head>\n<body>\n";
  h += "<h1>" + E(name) + " 正确性自测试报告</h1>\n";
  h += "<div class=\"muted\">" + E(LocalTimeText(run.started)) + " · corvala4 run</div>\n";
  if (!run.interrupted.empty())
    h += "<div class=\"verdict warn\">运行被中断 (" + E(run.interrupted) + "), 未记录本版本</div>\n";
  else if (run.all_mandatory_passed)
    h += "<div class=\"verdict ok\">本版本已经通过了全部必测算例" +
         std::string(run.recorded ? ", 已记录" : "") + "</div>\n";
  else
    h += "<div class=\"verdict bad\">本版本没有通过全部必测算例</div>\n";

  h += "<h2>程序版本</h2>\n<table>\n";
  h += Row({"程序", "<code>" + E(run.build.path) + "</code>"});
  h += Row({"大小", std::to_string(run.build.size) + " 字节"});
  h += Row({"修改时间", E(LocalTimeText(run.build.modified))});
  if (!run.build.sha256.empty()) h += Row({"SHA-256", "<code>" + E(run.build.sha256) + "</code>"});
  h += Row({"定义文件", "<code>" + E(run.definition_file) + "</code>"});
  h += "</table>\n";

  h += "<h2>汇总</h2>\n<table>\n";
  h += Row({"算例", "必测", "通过", "必测通过", "耗时"}, "th");
  h += Row({std::to_string(tally.cases), std::to_string(tally.mandatory), std::to_string(tally.passed),
            std::to_string(tally.mandatory_passed) + " / " + std::to_string(tally.mandatory),
            Seconds(run.seconds)});
  h += "</table>\n";

  // Where each case ran (a process, a Slurm job and its node), when the executor said.
  bool where =
      std::any_of(run.cases.begin(), run.cases.end(), [](const CaseResult& c) { return !c.facts.empty(); });
  h += "<h2>算例</h2>\n<table>\n";
  h += where ? Row({"#", "算例", "必测", "目录", "状态", "耗时", "运行于", "说明"}, "th")
             : Row({"#", "算例", "必测", "目录", "状态", "耗时", "说明"}, "th");
  int index = 0;
  for (const CaseResult& c : run.cases) {
    std::string note = c.outcome == CaseOutcome::NotPassed ? FailureSummary(c)
                       : c.outcome == CaseOutcome::Passed  ? ToleranceNotes(c)
                                                           : c.reason;
    std::string facts;
    for (const auto& [key, value] : c.facts) facts += (facts.empty() ? "" : "<br>") + E(key + " " + value);
    h += "<tr><td class=\"num\">" + std::to_string(++index) + "</td><td>" + E(c.caption) + "</td><td>" +
         (c.mandatory ? "必测" : "") + "</td><td><code>" + E(c.folder) + "</code></td><td class=\"state " +
         StateClass(c.outcome) + "\">" + E(OutcomeText(c.outcome)) + "</td><td class=\"num\">" +
         Seconds(c.seconds) + "</td>" + (where ? "<td class=\"where\">" + facts + "</td>" : "") + "<td>" +
         E(note) + "</td></tr>\n";
  }
  h += "</table>\n";

  bool heading = false;
  for (const CaseResult& c : run.cases) {
    if (c.outcome == CaseOutcome::Passed || c.outcome == CaseOutcome::NotRun) continue;
    if (!heading) h += "<h2>未通过的算例</h2>\n";
    heading = true;
    h += "<h3>" + E(c.caption) + " <span class=\"" + StateClass(c.outcome) + "\">" +
         E(OutcomeText(c.outcome)) + "</span></h3>\n";
    if (!c.reason.empty() && c.outcome != CaseOutcome::NotPassed) h += "<div>" + E(c.reason) + "</div>\n";
    if (!c.files.empty()) {
      h += "<table>\n" + Row({"输出文件", "状态", "行", "标准与输出"}, "th");
      for (const FileResult& f : c.files) {
        std::string state = E(ExplainedState(f));
        if (f.differences.empty()) {
          h += "<tr><td><code>" + E(f.name) + "</code></td><td class=\"state\">" + state +
               "</td><td colspan=\"2\">" + E(UnshownDifference(f)) + "</td></tr>\n";
          continue;
        }
        size_t n = f.differences.size();
        for (size_t i = 0; i < n; ++i) {
          const LinePair& d = f.differences[i];
          std::string standard = XmlSafe(ShownLine(d.standard)), output = XmlSafe(ShownLine(d.output));
          // A line past the end of its file has nothing to mark.
          std::pair<std::vector<TextSpan>, std::vector<TextSpan>> marks;
          if (d.standard && d.output) marks = DifferingTokens(standard, output);
          h += "<tr>";
          if (i == 0)
            h += "<td rowspan=\"" + std::to_string(n) + "\"><code>" + E(f.name) +
                 "</code></td><td rowspan=\"" + std::to_string(n) + "\" class=\"state\">" + state + "</td>";
          // One above the other, so that the columns of the two lines stand in line.
          h += "<td class=\"num\">" + std::to_string(d.number) +
               "</td><td class=\"line\"><div><span class=\"muted\">标准 " + "</span>" +
               Marked(standard, marks.first) + "</div><div><span class=\"muted\">输出 </span>" +
               Marked(output, marks.second) + "</div></td></tr>\n";
        }
      }
      h += "</table>\n";
    }
    if (!c.output.empty())
      h += "<div class=\"muted\">计算输出的最后部分:</div>\n<pre>" + E(c.output) + "</pre>\n";
  }
  h += "</body>\n</html>\n";
  return h;
}

void WriteHtmlReport(const RunResult& run, const std::string& path) {
  WriteReportFile(path, HtmlReport(run));
}

}  // namespace corvala4
