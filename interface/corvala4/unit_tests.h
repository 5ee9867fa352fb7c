// A host's own unit tests: registered with the module by name, run from the unit-runner
// form that Tester::IUnitTest_Launch shows.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "corvala4/export.h"

namespace corvala4 {

/// A unit test passes when it returns, and fails with the message of whatever it throws.
using UnitTestFunction = std::function<void()>;

/// Registers a test; the tests run in the order they were registered.
CORVALA4_API void RegisterUnitTest(const std::string& name, UnitTestFunction test);
/// Removes every registered test.
CORVALA4_API void ClearUnitTests();
/// The names of the registered tests, in order.
CORVALA4_API std::vector<std::string> UnitTestNames();

struct UnitTestResult {
  std::string name;
  bool passed = false;
  std::string message;  // what the test threw; empty when it passed
};
/// Runs the registered test at a 0-based position and catches whatever it throws.
CORVALA4_API UnitTestResult RunUnitTest(std::size_t index);

}  // namespace corvala4
