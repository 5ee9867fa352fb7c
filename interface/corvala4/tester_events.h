// The events a Tester raises to its host, in their dispatch order.
#pragma once

#include "corvala4/export.h"

namespace corvala4 {

class TestCase;
class TestCases;

/// Subscribe an object of a derived class to a Tester to receive its events.
class CORVALA4_API TesterEvents {
 public:
  virtual ~TesterEvents();
  /// Set Cancel to true to cancel the rest of the current case (or of the run).
  virtual void CheckCancel(bool& Cancel);
  virtual void BeforeAllTest(TestCases& oc);
  virtual void BeforeOneTest(TestCase& tc);
  /// The host calculates tc.ProjectFile() into tc.TestCaseFolder() here.
  virtual void DoTest(TestCase& tc);
  virtual void AfterOneTest(TestCase& tc);
  virtual void AfterAllTest(TestCases& oc);
};

}  // namespace corvala4
