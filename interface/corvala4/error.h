// The one error type of the module: a number, a source and a description.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "corvala4/export.h"

namespace corvala4 {

/// Raised by every failing operation. Description follows "summary<+>details".
class CORVALA4_API Error : public std::exception {
 public:
  Error(int32_t number, std::string source, std::string description);
  int32_t Number() const { return number_; }
  const std::string& Source() const { return source_; }
  const std::string& Description() const { return description_; }
  const char* what() const noexcept override;

 private:
  int32_t number_;
  std::string source_;
  std::string description_;
};

/// The module's own error numbers: object-error base 0x80040000 plus 513, 514, 515.
inline constexpr int32_t CaseFolderMissingError = static_cast<int32_t>(0x80040201u);
inline constexpr int32_t CancelError = static_cast<int32_t>(0x80040202u);
/// A path from a definition file that would leave the test data folders.
inline constexpr int32_t UnsafePathError = static_cast<int32_t>(0x80040203u);

}  // namespace corvala4
