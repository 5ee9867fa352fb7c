#include "results/report_text.h"

#include <string.h>

#include <cerrno>
#include <cstdio>

#include "foundation/errors.h"
#include "foundation/format_msg.h"
#include "foundation/platform/atomic_file.h"
#include "foundation/platform/code_page.h"
#include "foundation/text.h"

namespace corvala4 {

std::string ExplainedState(const FileResult& f) { return ExplainedStateText(f.state, f.detail); }

std::string FailureSummary(const CaseResult& c) {
  std::string text;
  for (const FileResult& f : c.files) {
    if (f.state == Same) continue;
    text += (text.empty() ? "" : "; ") + f.name + ": " + ExplainedState(f);
    if (f.detail.empty() && !f.differences.empty())
      text += FormatMsg(", 第%0行", static_cast<long long>(f.differences.front().number));
  }
  return text;
}

std::string ToleranceNotes(const CaseResult& c) {
  std::string text;
  for (const FileResult& f : c.files)
    if (f.state == Same && !f.detail.empty()) text += f.name + ": " + ExplainedState(f) + "\n";
  return text;
}

std::string UnshownDifference(const FileResult& f) {
  if (!f.differences.empty() || (f.state != LengthDiffers && f.state != ContentDiffers)) return {};
  return f.problem.empty() ? "各行相同, 只是行尾不同" : f.problem;
}

std::string FailureDetails(const CaseResult& c) {
  std::string text;
  for (const FileResult& f : c.files) {
    text += f.name + ": " + ExplainedState(f) + "\n";
    if (!f.differences.empty()) {
      const LinePair& first = f.differences.front();
      text += FormatMsg("  第%0行不同\n", static_cast<long long>(first.number));
      text += "  标准: " + ShownLine(first.standard) + "\n";
      text += "  输出: " + ShownLine(first.output) + "\n";
    } else if (std::string why = UnshownDifference(f); !why.empty()) {
      text += "  " + why + "\n";
    }
  }
  return text;
}

std::string FactsText(const CaseResult& c) {
  std::string text;
  for (const auto& [key, value] : c.facts) text += (text.empty() ? "" : ", ") + key + " " + value;
  return text;
}

std::string ShownLine(const std::optional<std::string>& line) {
  if (!line) return "(文件已结束)";
  constexpr size_t kShown = 300;
  if (line->size() <= kShown) return *line;
  size_t cut = kShown;
  while (cut > 0 && Utf8Continuation((*line)[cut])) --cut;
  return line->substr(0, cut) + "…";
}

std::string XmlSafe(const std::string& text) {
  std::string utf8 = ScalarValuesOnly(text);
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') continue;
    // U+FFFE and U+FFFF (EF BF BE, EF BF BF) are not characters XML allows.
    if (c == 0xEF && i + 2 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) == 0xBF &&
        (static_cast<unsigned char>(utf8[i + 2]) & 0xFE) == 0xBE) {
      i += 2;
      continue;
    }
    out += static_cast<char>(c);
  }
  return out;
}

std::string SecondsText(double seconds, int decimals) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, seconds < 0 ? 0.0 : seconds);
  return buf;
}

void WriteReportFile(const std::string& path, const std::string& text) {
  if (int e = ReplaceFileAtomically(path, text, 0644); e != 0)
    throw Error(e == ENOENT   ? err::PathNotFound
                : e == EACCES ? err::PermissionDenied
                              : err::DeviceIO,
                kModuleSource, FormatMsg("无法写入测试报告'%0': %1", path, strerror(e)));
}

}  // namespace corvala4
