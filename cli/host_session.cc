#include "cli/host_session.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include <filesystem>

#include "engine/tester_core.h"
#include "foundation/detailed_fso.h"
#include "foundation/errors.h"
#include "foundation/globals.h"
#include "model/test_cases.h"

namespace corvala4::cli {

std::string OneLine(const std::exception_ptr& caught) {
  Error e = ToError(caught);
  std::string text = e.Description();
  for (size_t at; (at = text.find(ErrDetailSep())) != std::string::npos;)
    text.replace(at, ErrDetailSep().size(), ": ");
  for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, " ");
  if (text.empty()) text = "error " + std::to_string(e.Number());
  return text;
}

namespace {
std::string& DefinitionOverride() {
  static std::string path;
  return path;
}
}  // namespace

void HostSession::SetDefinitionFile(const std::string& path) {
  DefinitionOverride() = path.empty() ? "" : std::filesystem::absolute(path).lexically_normal().string();
}

std::string FindHost(const std::string& host) {
  if (host.find('/') == std::string::npos) {
    const char* env = getenv("PATH");
    std::string dirs = env ? env : "";
    for (size_t from = 0; from <= dirs.size();) {
      size_t end = dirs.find(':', from);
      std::string dir = dirs.substr(from, end == std::string::npos ? std::string::npos : end - from);
      std::string candidate = (dir.empty() ? "." : dir) + "/" + host;
      struct stat st {};
      if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
        return std::filesystem::absolute(candidate).lexically_normal().string();
      if (end == std::string::npos) break;
      from = end + 1;
    }
  }
  return std::filesystem::absolute(host).lexically_normal().string();
}

HostSession::HostSession(const std::string& host, Open open) {
  std::string path = FindHost(host);
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    throw CommandError(2, "the host executable '" + host + "' is not there (or is not a file)");
  TesterCore& core = Core();
  core.SetHostEXE(path);
  core.SetShowUI(false);
  core.SetDefinitionOverride(DefinitionOverride());
  // As an entry operation: a module in this process runs one context at a time.
  G().TestRunning = true;
  try {
    if (open == Open::Load)
      Load();
    else
      core.OpenContext();
  } catch (...) {
    Close();
    throw;
  }
}

void HostSession::Load() {
  TesterCore& core = Core();
  core.OpenContext();
  if (!DefinitionOverride().empty() && !FSO().FileExists(core.DefinitionFile()))
    throw CommandError(2, "the definition file '" + core.DefinitionFile() +
                              "' is not there; nothing was tested and nothing is recorded");
  if (!FSO().FileExists(core.DefinitionFile())) {
    std::string txt = core.DefinitionFile();
    std::string xml = txt.substr(0, txt.size() - 3) + "XML";
    throw CommandError(2, "no definition file beside the host: looked for '" + xml + "' and '" + txt +
                              "'; nothing was tested and nothing is recorded");
  }
  try {
    core.LoadCases();
  } catch (...) {
    throw CommandError(2, "cannot read the definition file '" + core.DefinitionFile() +
                              "': " + OneLine(std::current_exception()));
  }
  try {
    core.LoadComparisonRules();
  } catch (...) {
    throw CommandError(2, "cannot use the comparison rules: " + OneLine(std::current_exception()) +
                              "; nothing was tested and nothing is recorded");
  }
  if (Cases()->Count() == 0)
    throw CommandError(2, "the definition file '" + core.DefinitionFile() +
                              "' holds no valid case; nothing was tested and nothing is recorded");
}

HostSession::~HostSession() { Close(); }

void HostSession::Close() {
  try {
    Core().CloseContext();
  } catch (...) {
  }
  G().TestRunning = false;
}

std::string HostSession::ApprovalFolder() {
  return DefinitionOverride().empty() ? Core().StandardFolder() : Core().RecordFolder();
}

TesterCore& HostSession::Core() { return TesterCore::Of(tester_); }

std::string HostSession::Host() const { return TesterCore::Of(tester_).HostEXE(); }

std::shared_ptr<TestCasesImpl> HostSession::Cases() { return Core().TestCases(); }

std::vector<std::shared_ptr<TestCaseImpl>> HostSession::Named(const std::vector<std::string>& names) {
  const auto& all = Cases()->Cases();
  std::vector<bool> chosen(all.size(), false);
  for (const std::string& name : names) {
    bool found = false;
    for (size_t i = 0; i < all.size(); ++i) {
      if (all[i]->Caption() == name || all[i]->Folder() == name) {
        chosen[i] = true;
        found = true;
      }
    }
    if (!found)
      throw CommandError(2, "no case is named '" + name + "' (by caption or folder) in '" +
                                Core().DefinitionFile() + "'; `corvala4 list` shows them");
  }
  std::vector<std::shared_ptr<TestCaseImpl>> cases;
  for (size_t i = 0; i < all.size(); ++i)
    if (chosen[i]) cases.push_back(all[i]);
  return cases;
}

}  // namespace corvala4::cli
