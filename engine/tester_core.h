// The module's side of a Tester: its state, its events and the services the rest
// of the module reaches through the tester of the open context.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "corvala4/error.h"
#include "corvala4/tester.h"
#include "engine/run_driver.h"
#include "foundation/run_context.h"
#include "foundation/subscribers.h"
#include "foundation/windows_api.h"

namespace corvala4 {

class TestCasesImpl;
class TestCaseImpl;
class Reporter;
class TesterStatus;
class CompareRules;

/// How one entry operation ended, for hosts that ask (the C interface): refused because
/// another was in progress, ended by an error (already reported), or neither.
struct EntryOutcome {
  bool refused = false;
  std::optional<Error> failure;
};

class CORVALA4_WINDOWS_API TesterCore : public RunContext {
 public:
  explicit TesterCore(Tester& facade);
  ~TesterCore() override;

  /// The module's side of a host's Tester, for the module's own code, its tests and benchmarks.
  static TesterCore& Of(const Tester& tester) { return *tester.core_; }
  Tester& Facade() { return facade_; }

  std::string HostEXE() const override { return host_exe_; }
  void SetHostEXE(std::string value) { host_exe_ = std::move(value); }

  /// Every case of the definition file; created empty on first use.
  std::shared_ptr<TestCasesImpl> TestCases();

  /// Opens the context of an entry operation: this tester becomes CurrentTester,
  /// the shared objects are made afresh, the definition file is located.
  void OpenContext();
  /// Closes it in reverse order; the cases are emptied and detached.
  void CloseContext();

  /// The progress reporter and the version record, created on first use.
  Reporter& GetReporter();
  TesterStatus& VersionRecord();

  // Entry operations: each guards against re-entry, opens a context, and reports
  // whatever fails through ShowMessage; nothing leaves them.
  EntryOutcome PromptTest();
  EntryOutcome Launch();
  EntryOutcome LaunchNoUI();
  void IUnitTest_Launch();

  /// Fills the case collection from the definition file of its form, then reads the
  /// comparison rules of its standard directory.
  void LoadDefinition();
  /// The cases alone.
  void LoadCases();
  /// The rules file of the standard directory; a mistake in it fails with the cases emptied,
  /// so that nothing is compared, marked or recorded without the rules it meant.
  void LoadComparisonRules();
  const CompareRules* ComparisonRules() const override { return rules_.get(); }
  /// The test window, or the reason why there is nothing to test (the build is then recorded).
  void ShowTestWindow();
  /// Hands the whole working and standard directories to the external compare program.
  void CompareFoldersWithTool();
  /// The run driver of this tester (the test window runs the selected cases through it).
  RunDriver& Driver() { return driver_; }

  // Services.
  std::string HostFolder() const override;
  void LocateDefinitionFile();
  std::string StandardFolder() const override { return standard_folder_; }
  void SetStandardFolder(std::string value) { standard_folder_ = std::move(value); }
  std::string WorkFolder() const override;
  std::string DefinitionFile() const override { return definition_file_; }
  /// A definition file named explicitly instead of the one beside the host (empty: beside it),
  /// for a host that lies where nothing can be written; the records then lie beside it.
  void SetDefinitionOverride(std::string path) { definition_override_ = std::move(path); }
  std::string RecordFolder() const override;
  bool IsXmlDefinition() const { return is_xml_definition_; }
  bool ShowUI() const override { return show_ui_; }
  void SetShowUI(bool value) { show_ui_ = value; }
  /// The file LaunchNoUI writes its JUnit report to (empty: none).
  std::string JUnitReport() const { return junit_report_; }
  void SetJUnitReport(std::string path) { junit_report_ = std::move(path); }
  /// Per-user switch for the status window during runs.
  bool StatWindowEnabled();
  void SetStatWindowEnabled(bool value);
  int ShowMessage(const std::string& prompt, int style, std::optional<std::string> title = std::nullopt,
                  const std::string& helpFile = {}, int helpContext = 0) override;
  /// Asks the subscribers; raises CancelError when one of them set Cancel.
  void RaiseCheckCancel();

  // Events, to every subscriber in the order of subscription.
  void Subscribe(TesterEvents& handler);
  void Unsubscribe(TesterEvents& handler);
  void RaiseBeforeAllTest(corvala4::TestCases& oc);
  void RaiseBeforeOneTest(TestCase& tc);
  void RaiseDoTest(TestCase& tc);
  void RaiseAfterOneTest(TestCase& tc);
  void RaiseAfterAllTest(corvala4::TestCases& oc);

 private:
  template <typename Fn>
  EntryOutcome RunEntry(bool showUI, Fn&& body);

  Tester& facade_;
  std::string host_exe_;
  std::shared_ptr<TestCasesImpl> test_cases_;
  std::string standard_folder_;
  bool show_ui_ = false;
  std::string definition_file_;
  std::string definition_override_;
  bool is_xml_definition_ = false;
  std::string junit_report_;
  std::shared_ptr<const CompareRules> rules_;
  Subscribers<TesterEvents> subscribers_;
  std::shared_ptr<Reporter> reporter_;
  std::shared_ptr<TesterStatus> status_;
  RunDriver driver_{*this};
};

}  // namespace corvala4
