// The engine opened on a host executable for one command of `corvala4`: one tester,
// its context open and its definition file loaded, messages going to the module's log
// as in a linking host's quiet run.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/command_error.h"
#include "corvala4/tester.h"

namespace corvala4 {
class TesterCore;
class TestCaseImpl;
class TestCasesImpl;
}  // namespace corvala4

namespace corvala4::cli {

class HostSession {
 public:
  /// Refuses (exit 2) a host that is not a file, a missing definition file (naming the files
  /// looked for), one that cannot be read, and one without a single valid case: unlike a
  /// linking host, nothing here counts as a pass for want of cases.
  /// ContextOnly: the context open and the definition file located, not read (for `check`).
  enum class Open { Load, ContextOnly };
  explicit HostSession(const std::string& host, Open open = Open::Load);
  /// The definition file that every session of this program reads instead of the one beside
  /// the host (--definition); empty: beside the host.
  static void SetDefinitionFile(const std::string& path);
  ~HostSession();
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  TesterCore& Core();
  /// The host's absolute path.
  std::string Host() const;
  /// Where approvals are logged: the standard directory, or beside a definition file named
  /// explicitly.
  std::string ApprovalFolder();
  /// Every case of the definition file.
  std::shared_ptr<TestCasesImpl> Cases();
  /// The cases named by caption or by folder, in definition order, each once; a name
  /// that fits no case fails with exit 2.
  std::vector<std::shared_ptr<TestCaseImpl>> Named(const std::vector<std::string>& names);

 private:
  void Load();
  void Close();

  Tester tester_;
};

/// A host named without a slash is looked for on PATH, as a shell would; else it is taken as a
/// path. Returns it absolute.
std::string FindHost(const std::string& host);

/// An engine error as one line: its description with the details after a colon.
std::string OneLine(const std::exception_ptr& caught);

}  // namespace corvala4::cli
