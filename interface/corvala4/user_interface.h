// Everything that shows something or waits for a person goes through this seam.
#pragma once

#include <memory>
#include <string>

#include "corvala4/export.h"

namespace corvala4 {

class Tester;
class TestCase;
class TestCases;

/// Message-box styles and results, with the platform's numbers.
enum MsgStyle : int {
  kOkOnly = 0, kOkCancel = 1, kAbortRetryIgnore = 2, kYesNoCancel = 3, kYesNo = 4, kRetryCancel = 5,
  kCritical = 16, kQuestion = 32, kExclamation = 48, kInformation = 64,
};
enum MsgResult : int {
  kResultNone = 0, kOk = 1, kCancel = 2, kAbort = 3, kRetry = 4, kIgnore = 5, kYes = 6, kNo = 7,
};

class CORVALA4_API UserInterface {
 public:
  virtual ~UserInterface();
  /// A modal message box; returns one of MsgResult.
  virtual int MsgBox(const std::string& prompt, int style, const std::string& title,
                     const std::string& helpFile, int helpContext) = 0;
  /// The foldable error dialog: a summary and its technical details.
  virtual void ShowErrorDialog(const std::string& summary, const std::string& details) = 0;
  /// Lets the message loop run once (before each case of a run).
  virtual void DoEvents() = 0;
  /// An entry operation that shows its user interface begins and ends; what an implementation
  /// makes to show windows (an application of its own) may be kept for that long.
  virtual void BeginOperation();
  virtual void EndOperation();
  /// The modal test window of a tester whose context is open.
  virtual void ShowTestWindow(Tester& tester);
  /// The modeless status window, shown at the start of a run; quiet names the run's mode.
  virtual void ShowStatusWindow(Tester& tester, bool quiet);
  /// The progress reporter's events, passed on to the status window while it is open.
  virtual void StatusLine(const std::string& line);
  virtual void StatusClear();
  /// The modal compare window of one case.
  virtual void ShowCompareWindow(TestCase& tc);
  /// The modal unit-runner form.
  virtual void ShowUnitRunner(Tester& tester);
};

/// Installs the host's own implementation; none restores the module's default.
CORVALA4_API void SetUserInterface(std::shared_ptr<UserInterface> ui);
/// The implementation in use: the installed one, else Qt with a display, else headless.
CORVALA4_API UserInterface& CurrentUserInterface();

}  // namespace corvala4
