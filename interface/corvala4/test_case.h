// One test case of the host's definition file, as the host sees it.
#pragma once

#include <cstdint>
#include <string>

#include "corvala4/export.h"

namespace corvala4 {

/// Created only by the module's definition-file loaders.
class CORVALA4_API TestCase {
 public:
  virtual ~TestCase();
  /// The host's verdict on its own calculation; true until the host says otherwise.
  virtual bool Success() const = 0;
  virtual void SetSuccess(bool value) = 0;
  virtual std::string Caption() const = 0;
  /// The project file inside the working folder; needs an open context (error 91).
  virtual std::string ProjectFile() const = 0;
  virtual std::string ProjectFileName() const = 0;
  /// The function code as a 16-bit number (error 6 when it does not fit).
  virtual int16_t FuncNum() const = 0;
  /// The working folder of this case; needs an open context (error 91).
  virtual std::string TestCaseFolder() const = 0;
  /// Deletes the working folder with everything in it.
  virtual void RemoveTestFolder() = 0;

  // For hosts that sum up a run themselves:
  /// Whether the case must pass for the build to count as tested.
  virtual bool Mandatory() const = 0;
  /// Whether the case's pass marker is there; needs an open context (error 91).
  virtual bool Passed() = 0;
};

}  // namespace corvala4
