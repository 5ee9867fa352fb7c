#include "engine/tester_core.h"

#include "corvala4/user_interface.h"
#include "foundation/conversions.h"
#include "foundation/detailed_fso.h"
#include "foundation/errors.h"
#include "foundation/globals.h"
#include "foundation/platform/log.h"
#include "foundation/platform/settings_store.h"
#include "foundation/text.h"
#include "foundation/value.h"
#include "model/test_cases.h"
#include "results/compare_rules.h"
#include "results/reporter.h"
#include "results/tester_status.h"
#include "settings/global_setting.h"

namespace corvala4 {

TesterCore::TesterCore(Tester& facade) : facade_(facade) {}

TesterCore::~TesterCore() {
  // A host may drop its tester after an entry operation failed with the context
  // still open: nothing may keep pointing at it.
  if (test_cases_) test_cases_->Clear();
  if (G().CurrentTester == this) G().CurrentTester = nullptr;
}

std::shared_ptr<TestCasesImpl> TesterCore::TestCases() {
  if (!test_cases_) test_cases_ = std::make_shared<TestCasesImpl>();
  return test_cases_;
}

void TesterCore::OpenContext() {
  G().CurrentTester = this;
  CreateGlobalObjects();
  // The reporter listens once, however often a context is opened without being closed.
  if (!subscribers_.Contains(GetReporter())) Subscribe(GetReporter());
  VersionRecord().Attach(*this);
  LocateDefinitionFile();
}

void TesterCore::CloseContext() {
  if (reporter_) Unsubscribe(*reporter_);
  if (status_) status_->Detach();
  TestCases()->Clear();
  rules_.reset();
  ReleaseGlobalObjects();
  G().CurrentTester = nullptr;
}

Reporter& TesterCore::GetReporter() {
  if (!reporter_) reporter_ = std::make_shared<Reporter>();
  return *reporter_;
}

TesterStatus& TesterCore::VersionRecord() {
  if (!status_) status_ = std::make_shared<TesterStatus>();
  return *status_;
}

std::string TesterCore::HostFolder() const { return FSO().GetParentFolderName(host_exe_); }

std::string TesterCore::RecordFolder() const {
  return definition_override_.empty() ? HostFolder() : FSO().GetParentFolderName(definition_override_);
}

void TesterCore::LocateDefinitionFile() {
  if (!definition_override_.empty()) {
    definition_file_ = definition_override_;
    std::string ext = definition_file_.size() >= 4 ? definition_file_.substr(definition_file_.size() - 4)
                                                   : "";
    is_xml_definition_ = UpperText(ext) == ".XML";
    return;
  }
  std::string base = UpperText(FSO().GetBaseName(host_exe_));
  definition_file_ = FSO().BuildPath(HostFolder(), base + "_TEST_DAT.XML");
  is_xml_definition_ = true;
  if (FSO().FileExists(definition_file_)) return;
  definition_file_ = FSO().BuildPath(HostFolder(), base + "_TEST_DAT.TXT");
  is_xml_definition_ = false;
}

std::string TesterCore::WorkFolder() const {
  std::string folder = standard_folder_ + "_make";
  if (!FSO().FolderExists(folder)) FSO().CreateFolder(folder);
  return folder;
}

bool TesterCore::StatWindowEnabled() {
  return TextToBool(GetSetting(SettingsAppName(), kSectionAdvanced, kKeyStatWindow, BoolText(false)));
}

void TesterCore::SetStatWindowEnabled(bool value) {
  SaveSetting(SettingsAppName(), kSectionAdvanced, kKeyStatWindow, BoolText(value));
}

int TesterCore::ShowMessage(const std::string& prompt, int style, std::optional<std::string> title,
                            const std::string& helpFile, int helpContext) {
  std::string caption = title ? *title : kDefaultMessageTitle;
  if (show_ui_) return CurrentUserInterface().MsgBox(prompt, style, caption, helpFile, helpContext);
  WriteLog(LogTypeOfStyle(style), prompt);
  return 0;
}

void TesterCore::Subscribe(TesterEvents& handler) { subscribers_.Add(handler); }

void TesterCore::Unsubscribe(TesterEvents& handler) { subscribers_.Remove(handler); }

void TesterCore::RaiseCheckCancel() {
  bool cancel = false;
  subscribers_.Call([&](TesterEvents& h) { h.CheckCancel(cancel); });
  if (cancel) throw Error(CancelError, "", "");
}

void TesterCore::RaiseBeforeAllTest(corvala4::TestCases& oc) {
  subscribers_.Call([&](TesterEvents& h) { h.BeforeAllTest(oc); });
}
void TesterCore::RaiseBeforeOneTest(TestCase& tc) {
  subscribers_.Call([&](TesterEvents& h) { h.BeforeOneTest(tc); });
}
void TesterCore::RaiseDoTest(TestCase& tc) {
  subscribers_.Call([&](TesterEvents& h) { h.DoTest(tc); });
}
void TesterCore::RaiseAfterOneTest(TestCase& tc) {
  subscribers_.Call([&](TesterEvents& h) { h.AfterOneTest(tc); });
}
void TesterCore::RaiseAfterAllTest(corvala4::TestCases& oc) {
  subscribers_.Call([&](TesterEvents& h) { h.AfterAllTest(oc); });
}

}  // namespace corvala4
