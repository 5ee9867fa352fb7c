// The module's append-only log: one line an entry with time, thread id, event type and text.
#pragma once

#include <string>

namespace corvala4 {

enum class LogEventType : int { Error = 1, Warning = 2, Information = 4 };

/// The entry type of a message of this box style: Error with the critical bit (16), else
/// Warning with the question bit (32), else Information. So 48 logs as Error, 33 as Warning.
LogEventType LogTypeOfStyle(int style);

/// Beside the module's own file: its folder, its name without extension, ".log".
std::string LogFilePath();
/// Redirects the log (tests); an empty path restores the default.
void SetLogFilePath(const std::string& path);
/// Appends one entry; a log that cannot be written never stops the module.
void WriteLog(LogEventType type, const std::string& text);
/// The file of the loaded module (found with dladdr).
std::string ModuleFilePath();
/// The file name up to its first dot, so that every version of the module shares one log and
/// one settings store: "libcorvala4.so.4.1.0" and "libcorvala4.so" both give "libcorvala4".
std::string ModuleBaseName(const std::string& modulePath);

}  // namespace corvala4
