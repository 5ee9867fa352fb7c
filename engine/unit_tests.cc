#include "corvala4/unit_tests.h"

#include <exception>
#include <stdexcept>
#include <utility>

#include "corvala4/error.h"

namespace corvala4 {

namespace {

std::vector<std::pair<std::string, UnitTestFunction>>& Registered() {
  static std::vector<std::pair<std::string, UnitTestFunction>> tests;
  return tests;
}

}  // namespace

void RegisterUnitTest(const std::string& name, UnitTestFunction test) {
  Registered().emplace_back(name, std::move(test));
}

void ClearUnitTests() { Registered().clear(); }

std::vector<std::string> UnitTestNames() {
  std::vector<std::string> names;
  for (const auto& [name, test] : Registered()) names.push_back(name);
  return names;
}

UnitTestResult RunUnitTest(std::size_t index) {
  if (index >= Registered().size()) return {"", false, "no test at this position"};
  // A copy: the test may register or clear tests itself.
  auto [name, test] = Registered()[index];
  UnitTestResult result{name, false, {}};
  try {
    if (!test) throw std::invalid_argument("no function registered");
    test();
    result.passed = true;
  } catch (const Error& e) {
    result.message = e.Description();
  } catch (const std::exception& e) {
    result.message = e.what();
  } catch (...) {
    result.message = "unknown exception (not a std::exception)";
  }
  return result;
}

}  // namespace corvala4
