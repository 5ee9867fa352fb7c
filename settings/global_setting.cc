#include "settings/global_setting.h"

#include "corvala4/user_interface.h"
#include "foundation/conversions.h"
#include "foundation/detailed_fso.h"
#include "foundation/format_msg.h"
#include "foundation/globals.h"
#include "foundation/platform/process.h"
#include "foundation/platform/settings_store.h"
#include "foundation/run_context.h"
#include "foundation/value.h"
#include "settings/registry.h"

namespace corvala4 {

namespace {
constexpr const char* kToolKey = "SOFTWARE\\Halvern\\Setup\\QNVX";
constexpr const char* kToolProgram = "plavex.exe";
}  // namespace

int32_t GlobalSetting::DoubleClickAction() {
  return TextToLong(GetSetting(SettingsAppName(), kSectionOptions, kKeyDoubleClickAction, "0"));
}

void GlobalSetting::SetDoubleClickAction(int32_t value) {
  SaveSetting(SettingsAppName(), kSectionOptions, kKeyDoubleClickAction, std::to_string(value));
}

bool GlobalSetting::ExternalToolEnabled() {
  return TextToBool(GetSetting(SettingsAppName(), kSectionExternalTool, kKeyEnabled, BoolText(true)));
}

void GlobalSetting::SetExternalToolEnabled(bool value) {
  SaveSetting(SettingsAppName(), kSectionExternalTool, kKeyEnabled, BoolText(value));
}

std::string GlobalSetting::ExternalToolPath() {
  // The default is worked out on every read, so the registry is asked even when a path is stored.
  return GetSetting(SettingsAppName(), kSectionExternalTool, kKeyPath, DefaultToolPath());
}

void GlobalSetting::SetExternalToolPath(const std::string& value) {
  SaveSetting(SettingsAppName(), kSectionExternalTool, kKeyPath, value);
}

std::string GlobalSetting::RegisteredToolFolder() {
  return Registry().Value(HKEY_LOCAL_MACHINE, kToolKey, "Path");
}

std::string GlobalSetting::DefaultToolPath() {
  std::string folder = RegisteredToolFolder();
  if (folder.empty()) folder = Current().HostFolder();
  return FSO().BuildPath(folder, kToolProgram);
}

std::string GlobalSetting::CompareCommandText(const std::string& program, const std::string& first,
                                              const std::string& second) {
  return FormatText("\"%0\" \"%1\" \"%2\"", program, first, second);
}

void GlobalSetting::RunCompareTool(const std::string& first, const std::string& second) {
  if (!ExternalToolEnabled()) return;
  std::string path = ExternalToolPath();
  if (path.empty()) return;
  if (!FSO().FileExists(path)) {
    Current().ShowMessage(FormatMsg("错误:未找到外部比较程序'%0'.", path), kOkOnly | kCritical);
    return;
  }
  // The command text is what the user reads in a log; the program gets each path exactly as it is,
  // since filling the template would alter paths that hold "%0", "%1" or a double quote.
  CurrentProcessLauncher().Start({path, first, second}, CompareCommandText(path, first, second));
}

}  // namespace corvala4
