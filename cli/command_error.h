// How a command of `corvala4` ends with an exit status of its own.
#pragma once

#include <stdexcept>
#include <string>

namespace corvala4::cli {

/// Ends a command with an exit status of its own: 2 for bad usage or a definition that
/// cannot be used, 1 for a refusal.
class CommandError : public std::runtime_error {
 public:
  CommandError(int status, const std::string& what) : std::runtime_error(what), status_(status) {}
  int Status() const { return status_; }

 private:
  int status_;
};

}  // namespace corvala4::cli
