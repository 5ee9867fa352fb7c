// The object a host creates to test itself.
#pragma once

#include <memory>
#include <string>

#include "corvala4/export.h"
#include "corvala4/progress_events.h"
#include "corvala4/test_case.h"
#include "corvala4/test_cases.h"
#include "corvala4/tester_events.h"

namespace corvala4 {

class TesterCore;
class Tester;

/// The unit-runner view of a Tester: its one method opens the unit-runner form.
class CORVALA4_API IUnitTest {
 public:
  virtual ~IUnitTest();
  virtual void Launch() = 0;
};

class CORVALA4_API Tester {
 public:
  Tester();
  ~Tester();
  Tester(const Tester&) = delete;
  Tester& operator=(const Tester&) = delete;

  /// Full path of the host executable; the definition file lies beside it.
  std::string HostEXE() const;
  void SetHostEXE(std::string value);
  /// Every case of the definition file; empty outside an entry operation.
  std::shared_ptr<corvala4::TestCases> TestCases();
  /// The cases of the run in progress, or none.
  std::shared_ptr<corvala4::TestCases> SelectedCases() const;
  /// The case being run, or none.
  std::shared_ptr<TestCase> ActiveCase() const;

  /// Asks the user to test when this build has not yet passed every mandatory case.
  void PromptTest();
  /// Opens the interactive test window.
  void Launch();
  /// Runs every case without any window; messages go to the log.
  void LaunchNoUI();
  /// Opens the unit-runner form; its failures reach the caller.
  void IUnitTest_Launch();
  IUnitTest& UnitTest();

  /// Handlers are called in the order they subscribed; a handler must outlive its subscription.
  void Subscribe(TesterEvents& handler);
  void Unsubscribe(TesterEvents& handler);

  // The progress lines of every run, as the status window shows them, for hosts that
  // print them themselves (a quiet run on a console).
  void SubscribeProgress(ProgressEvents& handler);
  void UnsubscribeProgress(ProgressEvents& handler);

  // Extension: LaunchNoUI writes a JUnit XML report of its run to this file, as CI servers
  // read it (empty: none). The environment variable CORVALA4_JUNIT, when set, names the file
  // instead, so that a host binary needs no change to report to CI.
  void SetJUnitReport(std::string path);
  std::string JUnitReport() const;

 private:
  friend class TesterCore;

  class UnitTestView : public IUnitTest {
   public:
    explicit UnitTestView(Tester& owner) : owner_(owner) {}
    void Launch() override { owner_.IUnitTest_Launch(); }

   private:
    Tester& owner_;
  };
  std::shared_ptr<TesterCore> core_;
  UnitTestView unit_test_;
};

/// Creates an object by programmatic identifier; "Corvala4.Tester" is the one known.
CORVALA4_API std::shared_ptr<Tester> CreateTester(const std::string& progId = "Corvala4.Tester");

}  // namespace corvala4
