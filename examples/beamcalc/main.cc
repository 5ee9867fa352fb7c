// BeamCalc: a small beam and section calculator that proves each build of itself
// correct with Corvala4, on the test data shipped beside the executable.
//
//   beamcalc PROJECT.prj FUNC   calculate a project (1 forces, 2 deflections, 3 sections, 4 both)
//   beamcalc --quiet            run every test case without any window (LaunchNoUI)
//   beamcalc --check            ask for the tests when this build has not passed (PromptTest)
//   beamcalc --launch           open the test window (Launch)
//   beamcalc --unit-tests       open the unit-runner form with BeamCalc's own unit tests
#include <corvala4/corvala4.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "beam_calc.h"
#include "unit_tests.h"

namespace {

std::string SelfPath(const char* argv0) {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : argv0;
}

/// Calculates each case the module hands over and keeps the verdicts for the summary.
class Host : public corvala4::TesterEvents {
 public:
  void DoTest(corvala4::TestCase& tc) override {
    try {
      beamcalc::Calculate(tc.ProjectFile(), tc.FuncNum(), tc.TestCaseFolder());
    } catch (const std::exception& e) {
      std::fprintf(stderr, "beamcalc: %s: %s\n", tc.Caption().c_str(), e.what());
      tc.SetSuccess(false);
    }
  }

  void AfterAllTest(corvala4::TestCases& oc) override {
    ran = true;
    cases = passed = failed = mandatory = mandatoryPassed = 0;
    for (const auto& tc : oc) {
      bool ok = tc->Success() && tc->Passed();
      ++cases;
      passed += ok;
      failed += !tc->Success();
      if (tc->Mandatory()) {
        ++mandatory;
        mandatoryPassed += ok;
      }
    }
  }

  bool ran = false;
  int cases = 0, passed = 0, failed = 0, mandatory = 0, mandatoryPassed = 0;
};

/// Prints the progress lines of the run as they come.
class Progress : public corvala4::ProgressEvents {
 public:
  void AddMsg(const std::string& msg) override {
    std::printf("%s\n", msg.c_str());
    std::fflush(stdout);
  }
};

int Usage() {
  std::fprintf(stderr,
               "usage: beamcalc PROJECT.prj FUNC   (FUNC 1 forces, 2 deflections, 3 sections, 4 both)\n"
               "       beamcalc --quiet | --check | --launch | --unit-tests\n");
  return 2;
}

int Test(const std::string& mode, const std::string& self) {
  corvala4::Tester tester;
  tester.SetHostEXE(self);
  Host host;
  Progress progress;
  tester.Subscribe(host);
  tester.SubscribeProgress(progress);
  int status = 0;
  if (mode == "--quiet") {
    tester.LaunchNoUI();
  } else if (mode == "--check") {
    tester.PromptTest();
  } else if (mode == "--unit-tests") {
    beamcalc::RegisterUnitTests();
    try {
      tester.UnitTest().Launch();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "beamcalc: %s\n", e.what());
      status = 1;
    }
  } else {
    tester.Launch();
  }
  tester.UnsubscribeProgress(progress);
  tester.Unsubscribe(host);
  if (mode != "--quiet") return status;

  if (!host.ran) {
    std::printf("summary: no case was run (see the module's log, libcorvala4.log beside libcorvala4.so)\n");
    return 1;
  }
  bool ok = host.mandatoryPassed == host.mandatory;
  std::printf(
      "summary: %d cases, %d passed, %d not passed (%d of them failed to calculate); "
      "mandatory %d of %d passed: %s\n",
      host.cases, host.passed, host.cases - host.passed, host.failed, host.mandatoryPassed, host.mandatory,
      ok ? "this build is correct" : "this build is NOT correct");
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string self = SelfPath(argv[0]);
  if (argc == 2 && (!std::strcmp(argv[1], "--quiet") || !std::strcmp(argv[1], "--check") ||
                    !std::strcmp(argv[1], "--launch") || !std::strcmp(argv[1], "--unit-tests")))
    return Test(argv[1], self);
  if (argc != 3) return Usage();
  try {
    std::string project = argv[1];
    size_t slash = project.rfind('/');
    std::string folder = slash == std::string::npos ? "." : project.substr(0, slash);
    for (const std::string& name : beamcalc::Calculate(project, std::atoi(argv[2]), folder))
      std::printf("%s/%s\n", folder.c_str(), name.c_str());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "beamcalc: %s\n", e.what());
    return 1;
  }
}
