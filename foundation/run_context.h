// What the lower layers need from the tester whose context is open: the host, the
// folders of the test data, the definition file, and the way to tell the user.
#pragma once

#include <optional>
#include <string>

namespace corvala4 {

class CompareRules;

/// The title of a message that names none.
inline constexpr const char* kDefaultMessageTitle = "Veltrana";

class RunContext {
 public:
  virtual ~RunContext() = default;

  /// Full path of the host executable.
  virtual std::string HostEXE() const = 0;
  /// The folder of HostEXE.
  virtual std::string HostFolder() const = 0;
  /// The standard directory named by the definition file.
  virtual std::string StandardFolder() const = 0;
  /// StandardFolder + "_make", created when missing.
  virtual std::string WorkFolder() const = 0;
  virtual std::string DefinitionFile() const = 0;
  /// Where the definition file, the version record and relative standard directories are
  /// taken from: the host's folder, or the folder of a definition file named explicitly.
  virtual std::string RecordFolder() const { return HostFolder(); }
  /// The comparison rules of the standard directory, or none: every file compared exactly.
  virtual const CompareRules* ComparisonRules() const { return nullptr; }
  /// True: messages are message boxes; false: they go to the log.
  virtual bool ShowUI() const = 0;
  /// A message box, or with ShowUI false a log entry and 0. Title defaults to kDefaultMessageTitle.
  virtual int ShowMessage(const std::string& prompt, int style,
                          std::optional<std::string> title = std::nullopt, const std::string& helpFile = {},
                          int helpContext = 0) = 0;
};

}  // namespace corvala4
