// What the tests share: a scripted user interface, temporary folders, file helpers.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "corvala4/error.h"
#include "corvala4/tester.h"
#include "corvala4/tester_events.h"
#include "corvala4/user_interface.h"
#include "foundation/platform/process.h"

namespace corvala4::testing {

/// Records every call and answers message boxes from a script (0 when it runs dry).
class ScriptedUserInterface : public UserInterface {
 public:
  struct Box {
    std::string prompt;
    int style;
    std::string title;
    bool in_operation;  // shown between BeginOperation and EndOperation
  };
  int MsgBox(const std::string& prompt, int style, const std::string& title, const std::string& helpFile,
             int helpContext) override;
  void ShowErrorDialog(const std::string& summary, const std::string& details) override;
  void DoEvents() override { ++do_events; }
  void BeginOperation() override { ++operations_begun; }
  void EndOperation() override { ++operations_ended; }
  void ShowTestWindow(Tester& tester) override;
  void ShowStatusWindow(Tester& tester, bool quiet) override;
  void StatusLine(const std::string& line) override { status_lines.push_back(line); }
  void StatusClear() override { ++status_clears; }
  void ShowCompareWindow(TestCase& tc) override;
  void ShowUnitRunner(Tester& tester) override;

  std::deque<int> answers;
  std::vector<Box> boxes;
  std::vector<std::pair<std::string, std::string>> errors;  // summary, details
  std::vector<std::string> calls;                           // windows, in order
  std::vector<std::string> compared;                        // the case of each compare window
  std::vector<std::string> status_lines;
  int do_events = 0;
  int operations_begun = 0, operations_ended = 0;
  bool status_quiet = false;  // the mode the status window was last shown for
  int status_clears = 0;
};

/// A host for the tests of runs. It calculates each case by writing the output "r.out"
/// into the working folder, and records the events together with the yields, message
/// boxes, error dialogs and windows of the scripted interface that came between them.
class RecordingHost : public TesterEvents {
 public:
  RecordingHost(ScriptedUserInterface& ui, Tester& tester) : ui_(ui), tester_(tester) {}
  void CheckCancel(bool& Cancel) override;
  void BeforeAllTest(TestCases& oc) override;
  void BeforeOneTest(TestCase& tc) override;
  void DoTest(TestCase& tc) override;
  void AfterOneTest(TestCase& tc) override;
  void AfterAllTest(TestCases& oc) override;
  /// Everything seen so far, the boxes and dialogs that came since the last event included.
  std::vector<std::string> Seen();

  bool cancel = false;          // the answer to every CheckCancel
  bool throw_after_all = false;  // AfterAllTest fails with a host's own exception
  std::map<std::string, std::string> output;  // caption -> content written; else the project's content
  std::function<void(TestCase&)> on_do_test;  // called first in DoTest
  int calculated = 0;
  const void* selected_in_run = nullptr;  // SelectedCases during BeforeAllTest
  bool active_in_do_test = false;         // ActiveCase was the case during DoTest

 private:
  void Note(const std::string& event);
  void Flush();

  ScriptedUserInterface& ui_;
  Tester& tester_;
  std::vector<std::string> seen_;
  int yields_ = 0;
  size_t boxes_ = 0, errors_ = 0, calls_ = 0;
};

/// Installs a fresh scripted interface for the lifetime of the object.
class ScopedScriptedUI {
 public:
  ScopedScriptedUI();
  ~ScopedScriptedUI();
  ScriptedUserInterface& operator*() { return *ui_; }
  ScriptedUserInterface* operator->() { return ui_.get(); }

 private:
  std::shared_ptr<ScriptedUserInterface> ui_;
};

/// Records the programs the module would start, and starts none.
class CapturingLauncher : public ProcessLauncher {
 public:
  void Start(const std::vector<std::string>& argv, const std::string& commandText) override;
  int Run(const std::vector<std::string>& argv, const std::string& commandText) override;

  std::vector<std::vector<std::string>> calls;  // each Start, in order
  std::vector<std::vector<std::string>> runs;   // each Run, in order
  std::vector<std::string> texts;               // the command text of every call, in order
  int run_status = 0;                           // what every Run answers
  int32_t start_error = 0;                      // when not 0, Start raises this number
};

/// Installs a fresh capturing launcher for the lifetime of the object.
class ScopedCapturingLauncher {
 public:
  ScopedCapturingLauncher();
  ~ScopedCapturingLauncher();
  CapturingLauncher& operator*() { return *launcher_; }
  CapturingLauncher* operator->() { return launcher_.get(); }

 private:
  std::shared_ptr<CapturingLauncher> launcher_;
};

/// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  /// path() + "/" + name.
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

/// Writes bytes to a file, creating its folders.
void WriteFile(const std::string& path, const std::string& bytes);
/// The whole content of a file, or "" when it cannot be read.
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);

/// The number of the Error that fn raises, 0 when it raises none.
int32_t ErrorOf(const std::function<void()>& fn);
/// The Error that fn raises (number 0 when none).
Error CaughtError(const std::function<void()>& fn);

/// Sends the log (and its fallback), the settings store and the registry files into a temporary folder
/// for the lifetime of the object, so that tests never touch the user's own.
class IsolatedEnvironment {
 public:
  IsolatedEnvironment();
  ~IsolatedEnvironment();
  std::string LogPath() const;
  std::string ReadLog() const;
  const TempDir& dir() const { return dir_; }

 private:
  TempDir dir_;
};

}  // namespace corvala4::testing
