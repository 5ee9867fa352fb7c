#include "results/junit_report.h"

#include <libxml/xmlwriter.h>
#include <string.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "foundation/errors.h"
#include "foundation/format_msg.h"
#include "foundation/platform/atomic_file.h"
#include "foundation/platform/code_page.h"

namespace corvala4 {

namespace {

std::string Seconds(double s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", s < 0 ? 0.0 : s);
  return buf;
}

std::string IsoTime(std::time_t t) { return LocalTimeText(t, "%Y-%m-%dT%H:%M:%S"); }

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string ShownLine(const std::optional<std::string>& line) {
  if (!line) return "(文件已结束)";
  constexpr size_t kShown = 300;
  if (line->size() <= kShown) return *line;
  size_t cut = kShown;
  while (cut > 0 && (static_cast<unsigned char>((*line)[cut]) & 0xC0) == 0x80) --cut;
  return line->substr(0, cut) + "…";
}

namespace {

struct WriterFree {
  void operator()(xmlTextWriter* w) const { xmlFreeTextWriter(w); }
};
struct BufferFree {
  void operator()(xmlBuffer* b) const { xmlBufferFree(b); }
};

class Xml {
 public:
  Xml() : buffer_(xmlBufferCreate()), w_(xmlNewTextWriterMemory(buffer_.get(), 0)) {
    if (!buffer_ || !w_) Raise(err::OutOfMemory);
    xmlTextWriterSetIndent(w_.get(), 1);
    xmlTextWriterSetIndentString(w_.get(), BAD_CAST "  ");
    xmlTextWriterStartDocument(w_.get(), nullptr, "UTF-8", nullptr);
  }
  void Open(const char* name) { xmlTextWriterStartElement(w_.get(), BAD_CAST name); }
  void Close() { xmlTextWriterEndElement(w_.get()); }
  void Attr(const char* name, const std::string& value) {
    xmlTextWriterWriteAttribute(w_.get(), BAD_CAST name, BAD_CAST XmlSafe(value).c_str());
  }
  void Text(const std::string& text) { xmlTextWriterWriteString(w_.get(), BAD_CAST XmlSafe(text).c_str()); }
  void Property(const std::string& name, const std::string& value) {
    Open("property");
    Attr("name", name);
    Attr("value", value);
    Close();
  }
  std::string Finish() {
    xmlTextWriterEndDocument(w_.get());
    xmlTextWriterFlush(w_.get());
    w_.reset();
    return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer_.get())),
                       static_cast<size_t>(xmlBufferLength(buffer_.get())));
  }

 private:
  std::unique_ptr<xmlBuffer, BufferFree> buffer_;
  std::unique_ptr<xmlTextWriter, WriterFree> w_;
};

std::string FactsText(const CaseResult& c) {
  std::string text;
  for (const auto& [key, value] : c.facts) text += (text.empty() ? "" : ", ") + key + " " + value;
  return text;
}

}  // namespace

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

std::string FailureDetails(const CaseResult& c) {
  std::string text;
  for (const FileResult& f : c.files) {
    text += f.name + ": " + ExplainedState(f) + "\n";
    if (!f.differences.empty()) {
      const LinePair& first = f.differences.front();
      text += FormatMsg("  第%0行不同\n", static_cast<long long>(first.number));
      text += "  标准: " + ShownLine(first.standard) + "\n";
      text += "  输出: " + ShownLine(first.output) + "\n";
    } else if (f.state == LengthDiffers || f.state == ContentDiffers) {
      text += f.problem.empty() ? "  各行相同, 只是行尾不同\n" : "  " + f.problem + "\n";
    }
  }
  return text;
}

std::string JUnitXml(const RunResult& run) {
  int failures = 0, errors = 0, skipped = 0;
  for (const CaseResult& c : run.cases) {
    switch (c.outcome) {
      case CaseOutcome::NotPassed: ++failures; break;
      case CaseOutcome::CalculationFailed:
      case CaseOutcome::Error:
      case CaseOutcome::Stopped: ++errors; break;
      case CaseOutcome::FolderMissing:
      case CaseOutcome::NotRun: ++skipped; break;
      case CaseOutcome::Passed: break;
    }
  }
  auto counts = [&](Xml& x) {
    x.Attr("tests", std::to_string(run.cases.size()));
    x.Attr("failures", std::to_string(failures));
    x.Attr("errors", std::to_string(errors));
    x.Attr("skipped", std::to_string(skipped));
    x.Attr("time", Seconds(run.seconds));
  };
  char host[256] = "";
  gethostname(host, sizeof host - 1);
  std::string classname = BaseName(run.definition_file);

  Xml x;
  x.Open("testsuites");
  x.Attr("name", "corvala4");
  counts(x);
  x.Open("testsuite");
  x.Attr("name", BaseName(run.host));
  counts(x);
  x.Attr("timestamp", IsoTime(run.started));
  x.Attr("hostname", host);
  x.Open("properties");
  x.Property("host", run.host);
  x.Property("definition_file", run.definition_file);
  x.Property("build.size", std::to_string(run.build.size));
  x.Property("build.modified", IsoTime(run.build.modified));
  if (!run.build.sha256.empty()) x.Property("build.sha256", run.build.sha256);
  x.Property("all_mandatory_passed", run.all_mandatory_passed ? "true" : "false");
  x.Property("recorded", run.recorded ? "true" : "false");
  if (!run.interrupted.empty()) x.Property("interrupted", run.interrupted);
  x.Close();

  for (const CaseResult& c : run.cases) {
    x.Open("testcase");
    x.Attr("name", c.caption);
    x.Attr("classname", classname);
    x.Attr("time", Seconds(c.seconds));
    std::string facts = FactsText(c);
    switch (c.outcome) {
      case CaseOutcome::Passed: break;
      case CaseOutcome::NotPassed:
        x.Open("failure");
        x.Attr("type", OutcomeText(c.outcome));
        x.Attr("message", FailureSummary(c));
        x.Text(FailureDetails(c));
        x.Close();
        break;
      case CaseOutcome::CalculationFailed:
      case CaseOutcome::Error:
      case CaseOutcome::Stopped:
        x.Open("error");
        x.Attr("type", OutcomeText(c.outcome));
        x.Attr("message", c.reason);
        x.Text(c.reason + (facts.empty() ? "" : " (" + facts + ")") + "\n");
        x.Close();
        break;
      case CaseOutcome::FolderMissing:
      case CaseOutcome::NotRun:
        x.Open("skipped");
        x.Attr("message", c.reason);
        x.Close();
        break;
    }
    // Where each case ran (a process, a job and its node), and what a calculation printed
    // for a case that did not pass, where it may tell why.
    std::string out = facts.empty() ? "" : facts + "\n";
    if (c.outcome != CaseOutcome::Passed) out += c.output;
    else
      out += ToleranceNotes(c);
    if (!out.empty()) {
      x.Open("system-out");
      x.Text(out);
      x.Close();
    }
    x.Close();
  }
  x.Close();
  x.Close();
  return x.Finish();
}

void WriteJUnitReport(const RunResult& run, const std::string& path) {
  if (int e = ReplaceFileAtomically(path, JUnitXml(run), 0644); e != 0)
    throw Error(e == ENOENT   ? err::PathNotFound
                : e == EACCES ? err::PermissionDenied
                              : err::DeviceIO,
                kModuleSource, FormatMsg("无法写入测试报告'%0': %1", path, strerror(e)));
}

}  // namespace corvala4
