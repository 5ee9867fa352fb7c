// The error convention: numbers, the "summary<+>details" description, and showing an error.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "corvala4/error.h"
#include "foundation/windows_api.h"

namespace corvala4 {

/// Runtime error numbers that the module raises or passes through.
namespace err {
inline constexpr int32_t InvalidProcedureCall = 5;
inline constexpr int32_t Overflow = 6;
inline constexpr int32_t OutOfMemory = 7;
inline constexpr int32_t SubscriptOutOfRange = 9;
inline constexpr int32_t TypeMismatch = 13;
inline constexpr int32_t FileNotFound = 53;
inline constexpr int32_t BadFileMode = 54;
inline constexpr int32_t DeviceIO = 57;
inline constexpr int32_t FileAlreadyExists = 58;
inline constexpr int32_t DiskFull = 61;
inline constexpr int32_t InputPastEnd = 62;
inline constexpr int32_t PermissionDenied = 70;
inline constexpr int32_t PathFileAccess = 75;
inline constexpr int32_t PathNotFound = 76;
inline constexpr int32_t ObjectNotSet = 91;
inline constexpr int32_t InvalidUseOfNull = 94;
inline constexpr int32_t CannotCreateObject = 429;
inline constexpr int32_t KeyAlreadyAssociated = 457;
}  // namespace err

/// Source text of errors raised inside the module itself.
inline constexpr const char* kModuleSource = "Corvala4";

/// The separator between summary and details: "<+>".
const std::string& ErrDetailSep();
/// The text before the first separator (the whole description without one).
std::string ErrSummaryText(const Error& e);
/// "错误 n\r\n位置 s\r\n描述 piece\r\n", piece being the first detail part.
std::string ErrDetailText(const Error& e);

/// Shows the error dialog of the current tester (its log when it runs without a user
/// interface); silent for number 0, for CancelError and when no tester is current.
void ShowError(const Error& e);
/// Shows whatever was caught: a module error as it is, anything else as a generic error.
CORVALA4_WINDOWS_API void ShowCurrentError(std::exception_ptr caught);
/// Turns any caught exception into a module error (host exceptions included).
Error ToError(std::exception_ptr caught);

/// The runtime's own text for an error number ("" for a number it has none for).
std::string RuntimeText(int32_t number);
/// The number a failed system call's errno stands for; `otherwise` for one without its own.
int32_t ErrnoNumber(int errnum, int32_t otherwise = err::PathFileAccess);

/// Raises an error with the module as source (the runtime's text when description is empty).
[[noreturn]] void Raise(int32_t number, std::string description = {});
/// Raises an error with the module as source: the runtime's text, then details after the separator.
[[noreturn]] void RaiseDetailed(int32_t number, const std::string& details);

}  // namespace corvala4
