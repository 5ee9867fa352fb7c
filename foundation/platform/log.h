// The module's append-only log: one line an entry with time, thread id, event type and text.
#pragma once

#include <string>

#include "foundation/windows_api.h"

namespace corvala4 {

enum class LogEventType : int { Error = 1, Warning = 2, Information = 4 };

/// The entry type of a message of this box style: Error with the critical bit (16), else
/// Warning with the question bit (32), else Information. So 48 logs as Error, 33 as Warning.
LogEventType LogTypeOfStyle(int style);

/// Beside the module's own file: its folder, its name without extension, ".log".
std::string LogFilePath();
/// Where the entries go when that file cannot be written: the same name in
/// $XDG_STATE_HOME/corvala4/ (default ~/.local/state/corvala4/).
std::string FallbackLogFilePath(const std::string& logPath);
/// Redirects the log (tests); an empty path restores the default.
void SetLogFilePath(const std::string& path);
/// Appends one entry, to the fallback when the log cannot be written, else to standard
/// error; a log never stops the module.
CORVALA4_WINDOWS_API void WriteLog(LogEventType type, const std::string& text);
/// The file of the loaded module (found with dladdr).
std::string ModuleFilePath();
/// The file name up to its first dot, so that every version of the module shares one log and
/// one settings store: "libcorvala4.so.4.1.0" and "libcorvala4.so" both give "libcorvala4".
std::string ModuleBaseName(const std::string& modulePath);

}  // namespace corvala4
