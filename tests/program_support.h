// What the tests of the corvala4 program share: running it as a real process, and a
// host made of a shell script whose cases say in their project files how to calculate.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace corvala4::testing {

/// The built program and the sample host, as the build names them.
std::string ProgramPath();
std::string SampleHostPath();
/// The sample host's shipped data folder in the source tree.
std::string SampleDataPath();
/// tests/data in the source tree.
std::string TestDataPath();

struct ProgramRun {
  int status = -1;  // exit status, or -1 when ended by a signal
  int signal = 0;   // the signal that ended it
  std::string out, err;
};

/// Runs corvala4 with the arguments; its log and settings stay in `dir`. `during` is
/// called with the process id while it runs (to send it a signal). `env` adds or replaces
/// variables ("NAME=value"); CI is never inherited. `prefix` is a command that runs the program
/// (`unshare ...`).
ProgramRun RunProgram(const std::vector<std::string>& args, const TempDir& dir,
                      const std::function<void(int pid)>& during = {},
                      const std::vector<std::string>& env = {}, const std::vector<std::string>& prefix = {});

/// The process named in the file still runs after a while (a zombie waiting for its reaper
/// does not count).
bool Alive(const std::string& pidFile);

/// Each case of a JUnit report as "name:kind:message", the report's folder written as DIR.
std::vector<std::string> JUnitOutcomes(const std::string& report);

/// What a shell command printed on its standard output, and its exit status.
struct Captured {
  int status = -1;
  std::string out;
};
Captured Capture(const std::string& command);

/// Why no Slurm cluster takes jobs here, empty when one does. The tests that need one fail
/// for it when CORVALA4_REQUIRE_SLURM=1 (as CI sets it), and are skipped with it otherwise.
std::string SlurmMissing();
bool SlurmRequired();
#define CORVALA4_NEED_SLURM()                                                  \
  do {                                                                         \
    if (std::string why = ::corvala4::testing::SlurmMissing(); !why.empty()) { \
      if (::corvala4::testing::SlurmRequired()) FAIL() << why;                 \
      GTEST_SKIP() << why;                                                     \
    }                                                                          \
  } while (0)

/// The jobs that squeue lists (waiting, running or completing), by id.
std::vector<std::string> QueuedJobs();

/// A host executable that is a shell script: it runs the case's project file, a shell
/// snippet, in the working folder. Cases have the output r.out, standard "result\n".
class ScriptHost {
 public:
  explicit ScriptHost(const TempDir& dir, const std::string& name = "calc");
  /// A case in the folder `name`; `script` is the project file's content.
  void AddCase(const std::string& name, const std::string& script, bool mandatory = true,
               const std::string& standard = "result\n");
  /// Writes the TXT definition file of the cases added.
  void Write();
  /// Cases A to F, each ending another way: A passes, B exits 1, C is killed by a signal,
  /// D hangs with a child in the background (a time-out must take both), E writes a wrong
  /// output, F passes and is not mandatory; then writes the definition.
  void AddEveryKindOfEnd();

  std::string host;
  std::string folder;  // the host's folder
  std::string Standard(const std::string& caseName) const;
  std::string Work(const std::string& caseName) const;
  bool Marker(const std::string& caseName) const;
  /// The version record's content ("" when none).
  std::string Record() const;
  /// The pass marker of every case, "name=0|1", in definition order.
  std::string Markers() const;

  static constexpr const char* kOk = "echo result > r.out\n";
  static constexpr const char* kWrong = "echo wrong > r.out\n";

 private:
  std::string name_;
  std::vector<std::string> cases_;
  std::string definition_;
};

/// A document read with libxml2, asked with XPath: every test of a report checks it
/// element by element.
class XmlDocument {
 public:
  /// Parses the file (HTML with html true); Ok() tells whether it could.
  explicit XmlDocument(const std::string& path, bool html = false);
  ~XmlDocument();
  bool Ok() const { return doc_ != nullptr; }
  /// The string values of the nodes the path selects, in document order.
  std::vector<std::string> Values(const std::string& xpath) const;
  /// The first of them, or "<none>".
  std::string Value(const std::string& xpath) const;
  size_t Count(const std::string& xpath) const { return Values(xpath).size(); }
  /// Validates against an XML schema; the problems found, "" when valid.
  std::string Validate(const std::string& schemaPath) const;

 private:
  void* doc_ = nullptr;
};

}  // namespace corvala4::testing
