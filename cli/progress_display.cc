#include "cli/progress_display.h"

#include <cmath>

#include "cli/terminal.h"
#include "results/junit_report.h"

namespace corvala4::cli {

namespace {

constexpr int kOutputLines = 5;

/// The last lines of a calculation's output.
std::vector<std::string> LastLines(const std::string& text, int count) {
  std::vector<std::string> lines;
  size_t end = text.size();
  while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r')) --end;
  while (end > 0 && static_cast<int>(lines.size()) < count) {
    size_t start = text.rfind('\n', end - 1);
    start = start == std::string::npos ? 0 : start + 1;
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.insert(lines.begin(), line);
    end = start == 0 ? 0 : start - 1;
  }
  return lines;
}

std::string Clock(double seconds) {
  long s = std::lround(seconds);
  char buf[32];
  if (s >= 3600)
    std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
  return buf;
}

}  // namespace

std::string NotPassedCounts(const OutcomeTally& t, bool every) {
  std::string text = std::to_string(t.not_passed) + " not passed";
  if (every || t.calculation_failed)
    text += ", " + std::to_string(t.calculation_failed) + " failed to calculate";
  if (t.folder_missing) text += ", " + std::to_string(t.folder_missing) + " without a case folder";
  if (int other = t.step_failed + t.stopped) text += ", " + std::to_string(other) + " with errors or stopped";
  if (t.not_run) text += ", " + std::to_string(t.not_run) + " not run";
  return text;
}

ProgressDisplay::ProgressDisplay(std::FILE* out, bool terminal, std::FILE* err, bool color)
    : out_(out), terminal_(terminal), err_(err), color_(color), start_(std::chrono::steady_clock::now()) {}

std::vector<std::string> ProgressDisplay::Explanation(const CaseResult& c, const std::string& unusable,
                                                      int width) {
  if (!unusable.empty() && c.outcome == CaseOutcome::CalculationFailed && c.reason == unusable)
    return {"    not calculated: the executor cannot be used (said above)"};
  std::vector<std::string> lines;
  switch (c.outcome) {
    case CaseOutcome::Passed: break;
    case CaseOutcome::NotPassed:
      for (const FileResult& f : c.files) {
        if (f.state == Same) continue;
        std::string line = "    " + f.name + ": " + OutputFileStateText(f.state);
        if (!f.differences.empty()) line += ", 第" + std::to_string(f.differences.front().number) + "行";
        lines.push_back(line);
        if (f.detail.empty()) continue;
        // Which number exceeded its bound is what the engineer looks for first; a cut line says it is cut.
        line = "      " + f.detail;
        if (width > 0 && DisplayWidth(line) > width) line = CutToWidth(line, width - 1) + "…";
        lines.push_back(line);
      }
      break;
    default:
      lines.push_back("    " + c.reason);
      for (const std::string& line : LastLines(c.output, kOutputLines)) lines.push_back("    | " + line);
  }
  return lines;
}

void ProgressDisplay::ClearLive() {
  if (live_shown_) std::fputs("\r\033[K", out_);
  live_shown_ = false;
}

void ProgressDisplay::DrawLive() {
  if (!terminal_) return;
  double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  int done = done_.cases;
  std::string left = done > 0 ? "about " + Clock(elapsed / done * (total_ - done)) + " left"
                              : "time left not known yet";
  std::string line = "[" + std::to_string(done) + "/" + std::to_string(total_) + "] " +
                     std::to_string(running_) + " running, " + NotPassedCounts(done_, false) + ", " + left;
  // A line longer than the terminal would wrap, and "\r" would then redraw only its last part.
  std::fprintf(out_, "\r\033[K%s", CutToWidth(line, TerminalWidth(out_) - 1).c_str());
  std::fflush(out_);
  live_shown_ = true;
}

void ProgressDisplay::Lines(const std::vector<std::string>& lines) {
  if (terminal_) return;
  for (const std::string& line : lines) std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
}

void ProgressDisplay::CaseEnded(const CaseResult& c) {
  // On a terminal a rule's detail takes one screen line, as the live line does.
  std::vector<std::string> why = Explanation(c, unusable_, terminal_ ? TerminalWidth(out_) : 0);
  if (terminal_) {
    if (why.empty()) return;
    ClearLive();
    std::fprintf(out_, "%s %s\n", Paint(OutcomeText(c.outcome), kRed, color_).c_str(), c.caption.c_str());
  }
  for (const std::string& line : why) std::fprintf(out_, "%s\n", Paint(line, kRed, color_).c_str());
  std::fflush(out_);
}

void ProgressDisplay::Counts(const OutcomeTally& done, int running, int total) {
  done_ = done;
  running_ = running;
  total_ = total;
  DrawLive();
}

void ProgressDisplay::Unusable(const std::string& why) {
  unusable_ = why;
  ClearLive();
  std::fflush(out_);
  std::fprintf(err_, "corvala4: the calculations cannot be run: %s\n", why.c_str());
  std::fprintf(err_, "corvala4: so every case fails to calculate, and no more are started\n");
  std::fflush(err_);
  DrawLive();
}

void ProgressDisplay::Warning(const std::string& text) {
  ClearLive();
  std::fflush(out_);
  std::fprintf(err_, "corvala4: warning: %s\n", text.c_str());
  std::fflush(err_);
  DrawLive();
}

void ProgressDisplay::Finish() {
  ClearLive();
  std::fflush(out_);
}

}  // namespace corvala4::cli
