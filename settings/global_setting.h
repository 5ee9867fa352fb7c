// The per-user settings and the external compare program.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/windows_api.h"

namespace corvala4 {

/// Sections and keys of the settings in the per-user store.
inline constexpr const char* kSectionOptions = "选项";
inline constexpr const char* kKeyDoubleClickAction = "双击动作";
inline constexpr const char* kSectionExternalTool = "ExternalTool";
inline constexpr const char* kKeyEnabled = "Enabled";
inline constexpr const char* kKeyPath = "Path";
inline constexpr const char* kSectionAdvanced = "Advanced";
inline constexpr const char* kKeyStatWindow = "EnalbeStatWindow";

class CORVALA4_WINDOWS_API GlobalSetting {
 public:
  /// What a double-click in the case list does: 0 test, 1 compare outputs, 2 compare folders.
  int32_t DoubleClickAction();
  void SetDoubleClickAction(int32_t value);
  bool ExternalToolEnabled();
  void SetExternalToolEnabled(bool value);
  /// The stored path, or DefaultToolPath when none is stored.
  std::string ExternalToolPath();
  void SetExternalToolPath(const std::string& value);
  /// The maker's installation folder from the registry, else the host's folder, joined with "plavex.exe".
  std::string DefaultToolPath();
  /// The maker's installation folder as the registry names it; empty when it names none.
  std::string RegisteredToolFolder();
  /// Starts the external compare program on a produced and a standard path, without waiting.
  void RunCompareTool(const std::string& first, const std::string& second);

  /// The call of the compare program as one line ("program" "first" "second"), for the log and
  /// for tests; the program itself gets the three texts as separate arguments.
  static std::string CompareCommandText(const std::string& program, const std::string& first,
                                        const std::string& second);
};

}  // namespace corvala4
