#include "results/junit_report.h"

#include <libxml/xmlwriter.h>
#include <unistd.h>

#include <memory>

#include "foundation/errors.h"
#include "foundation/platform/path_text.h"
#include "results/outcome_tally.h"
#include "results/report_text.h"

namespace corvala4 {

namespace {

std::string IsoTime(std::time_t t) { return LocalTimeText(t, "%Y-%m-%dT%H:%M:%S"); }

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

}  // namespace

std::string JUnitXml(const RunResult& run) {
  OutcomeTally tally = Tally(run.cases);
  auto counts = [&](Xml& x) {
    x.Attr("tests", std::to_string(tally.cases));
    x.Attr("failures", std::to_string(tally.failures));
    x.Attr("errors", std::to_string(tally.errors));
    x.Attr("skipped", std::to_string(tally.skipped));
    x.Attr("time", SecondsText(run.seconds, 3));
  };
  char host[256] = "";
  gethostname(host, sizeof host - 1);
  std::string classname = FileNameOf(run.definition_file);

  Xml x;
  x.Open("testsuites");
  x.Attr("name", "corvala4");
  counts(x);
  x.Open("testsuite");
  x.Attr("name", FileNameOf(run.host));
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
    x.Attr("time", SecondsText(c.seconds, 3));
    std::string facts = FactsText(c);
    switch (KindOf(c.outcome)) {
      case OutcomeKind::Passed: break;
      case OutcomeKind::Failure:
        x.Open("failure");
        x.Attr("type", OutcomeText(c.outcome));
        x.Attr("message", FailureSummary(c));
        x.Text(FailureDetails(c));
        x.Close();
        break;
      case OutcomeKind::Error:
        x.Open("error");
        x.Attr("type", OutcomeText(c.outcome));
        x.Attr("message", c.reason);
        x.Text(c.reason + (facts.empty() ? "" : " (" + facts + ")") + "\n");
        x.Close();
        break;
      case OutcomeKind::Skipped:
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
  WriteReportFile(path, JUnitXml(run));
}

}  // namespace corvala4
