#include "tests/test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "foundation/platform/log.h"

namespace corvala4::testing {

int ScriptedUserInterface::MsgBox(const std::string& prompt, int style, const std::string& title,
                                  const std::string&, int) {
  boxes.push_back({prompt, style, title, operations_begun > operations_ended});
  if (answers.empty()) return 0;
  int a = answers.front();
  answers.pop_front();
  return a;
}

void ScriptedUserInterface::ShowErrorDialog(const std::string& summary, const std::string& details) {
  errors.emplace_back(summary, details);
}

void ScriptedUserInterface::ShowTestWindow(Tester&) { calls.push_back("TestWindow"); }
void ScriptedUserInterface::ShowStatusWindow(Tester&, bool quiet) {
  calls.push_back("StatusWindow");
  status_quiet = quiet;
}
void ScriptedUserInterface::ShowCompareWindow(TestCase& tc) {
  calls.push_back("CompareWindow");
  compared.push_back(tc.Caption());
}
void ScriptedUserInterface::ShowUnitRunner(Tester&) { calls.push_back("UnitRunner"); }

void RecordingHost::CheckCancel(bool& Cancel) {
  Note("CheckCancel");
  Cancel = cancel;
}

void RecordingHost::BeforeAllTest(TestCases& oc) {
  Note("BeforeAllTest(" + std::to_string(oc.Count()) + ")");
  selected_in_run = tester_.SelectedCases().get();
}

void RecordingHost::BeforeOneTest(TestCase& tc) { Note("BeforeOneTest(" + tc.Caption() + ")"); }

void RecordingHost::DoTest(TestCase& tc) {
  Note("DoTest(" + tc.Caption() + ")");
  ++calculated;
  active_in_do_test = tester_.ActiveCase().get() == &tc;
  if (on_do_test) on_do_test(tc);
  auto it = output.find(tc.Caption());
  WriteFile(tc.TestCaseFolder() + "/r.out", it == output.end() ? ReadFile(tc.ProjectFile()) : it->second);
}

void RecordingHost::AfterOneTest(TestCase& tc) { Note("AfterOneTest(" + tc.Caption() + ")"); }

void RecordingHost::AfterAllTest(TestCases&) {
  Note("AfterAllTest");
  if (throw_after_all) throw std::runtime_error("host broke");
}

std::vector<std::string> RecordingHost::Seen() {
  Flush();
  return seen_;
}

void RecordingHost::Note(const std::string& event) {
  Flush();
  seen_.push_back(event);
}

void RecordingHost::Flush() {
  for (; yields_ < ui_.do_events; ++yields_) seen_.push_back("yield");
  for (; boxes_ < ui_.boxes.size(); ++boxes_) seen_.push_back("box:" + ui_.boxes[boxes_].prompt);
  for (; errors_ < ui_.errors.size(); ++errors_) seen_.push_back("error:" + ui_.errors[errors_].first);
  for (; calls_ < ui_.calls.size(); ++calls_) seen_.push_back("window:" + ui_.calls[calls_]);
}

ScopedScriptedUI::ScopedScriptedUI() : ui_(std::make_shared<ScriptedUserInterface>()) {
  SetUserInterface(ui_);
}
ScopedScriptedUI::~ScopedScriptedUI() { SetUserInterface(nullptr); }

void CapturingLauncher::Start(const std::vector<std::string>& argv, const std::string& commandText) {
  calls.push_back(argv);
  texts.push_back(commandText);
  if (start_error) throw Error(start_error, "Corvala4", "无法启动程序'" + argv[0] + "'.<+>captured");
}

int CapturingLauncher::Run(const std::vector<std::string>& argv, const std::string& commandText) {
  runs.push_back(argv);
  texts.push_back(commandText);
  return run_status;
}

ScopedCapturingLauncher::ScopedCapturingLauncher() : launcher_(std::make_shared<CapturingLauncher>()) {
  SetProcessLauncher(launcher_);
}
ScopedCapturingLauncher::~ScopedCapturingLauncher() { SetProcessLauncher(nullptr); }

TempDir::TempDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "corvala4-test-XXXXXX").string();
  char* made = mkdtemp(templ.data());
  path_ = made ? made : templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests may leave read-only folders behind; give the owner rights back first.
  for (auto it = std::filesystem::recursive_directory_iterator(
           path_, std::filesystem::directory_options::skip_permission_denied, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
  }
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                               ec);
  std::filesystem::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

int32_t ErrorOf(const std::function<void()>& fn) { return CaughtError(fn).Number(); }

Error CaughtError(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const Error& e) {
    return e;
  }
  return Error(0, "", "");
}

IsolatedEnvironment::IsolatedEnvironment() {
  setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
  setenv("CORVALA4_REGISTRY_DIR", (dir_ / "registry").c_str(), 1);
  setenv("XDG_STATE_HOME", (dir_ / "state").c_str(), 1);
  SetLogFilePath(dir_ / "module.log");
}

IsolatedEnvironment::~IsolatedEnvironment() {
  SetLogFilePath("");
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("CORVALA4_REGISTRY_DIR");
  unsetenv("XDG_STATE_HOME");
}

std::string IsolatedEnvironment::LogPath() const { return dir_ / "module.log"; }
std::string IsolatedEnvironment::ReadLog() const { return ReadFile(LogPath()); }

}  // namespace corvala4::testing
