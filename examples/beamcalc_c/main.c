/* BeamCalc as a C host: the same calculation, data and cases as the C++ one.
 *
 *   beamcalc_c PROJECT.prj FUNC   calculate a project (1 forces, 2 deflections, 3 sections, 4 both)
 *   beamcalc_c --quiet            run every test case without any window
 *   beamcalc_c --check            ask for the tests when this build has not passed
 *   beamcalc_c --launch           open the test window
 *   beamcalc_c --unit-tests       open the unit-runner form with BeamCalc's own unit tests
 */
#define _POSIX_C_SOURCE 200809L
#include <corvala4/corvala4_c.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "beam_calc.h"

typedef struct {
  int ran, cases, passed, failed, mandatory, mandatory_passed;
} Summary;

/* Calculates one case in its working folder; a failed calculation fails the event. */
static int DoTest(void* user, c4_case* tc) {
  const char *project, *folder;
  int16_t func;
  char project_path[4096], error[512];
  (void)user;
  if (c4_case_project_file(tc, &project) || c4_case_func_num(tc, &func)) return 1;
  snprintf(project_path, sizeof project_path, "%s", project);
  if (c4_case_test_case_folder(tc, &folder)) return 1;
  if (beamcalc_calculate(project_path, func, folder, error, sizeof error) != 0) {
    fprintf(stderr, "beamcalc_c: %s\n", error);
    c4_fail_reason(error);
    return 1;
  }
  return 0;
}

/* Counts the run's cases for the summary. */
static int AfterAllTest(void* user, c4_cases* oc) {
  Summary* s = user;
  int32_t count = 0;
  memset(s, 0, sizeof *s);
  s->ran = 1;
  if (c4_cases_count(oc, &count)) return 1;
  for (int32_t i = 1; i <= count; ++i) {
    c4_case* tc;
    int success = 0, passed = 0, mandatory = 0, ok;
    if (c4_cases_item(oc, i, &tc)) return 1;
    c4_case_success(tc, &success);
    c4_case_passed(tc, &passed);
    c4_case_mandatory(tc, &mandatory);
    c4_case_free(tc);
    ok = success && passed;
    ++s->cases;
    s->passed += ok;
    s->failed += !success;
    if (mandatory) {
      ++s->mandatory;
      s->mandatory_passed += ok;
    }
  }
  return 0;
}

static void AddMsg(void* user, const char* line) {
  (void)user;
  printf("%s\n", line);
  fflush(stdout);
}

static int MomentOfASimpleBeam(void* user) {
  (void)user;
  if (beamcalc_midspan_moment(8.0, 5.0) == 40.0) return 0;
  c4_fail_reason("qL²/8 of L=8 m, q=5 kN/m should be 40 kN·m");
  return 1;
}

static int Report(c4_tester* tester, const char* what) {
  int32_t number;
  const char* description;
  c4_tester_last_error(tester, &number, NULL, &description);
  fprintf(stderr, "beamcalc_c: %s: error %d: %s\n", what, (int)number, description);
  return 1;
}

static int Test(const char* mode, const char* self) {
  c4_tester* tester;
  Summary summary = {0, 0, 0, 0, 0, 0};
  c4_events events = {NULL, NULL, NULL, NULL, DoTest, NULL, AfterAllTest};
  c4_progress progress = {NULL, AddMsg, NULL};
  int status;
  events.user = &summary;
  if (c4_tester_new(&tester)) return Report(NULL, "cannot create the tester");
  if (c4_tester_set_host_exe(tester, self) || c4_tester_subscribe(tester, &events, NULL) ||
      c4_tester_subscribe_progress(tester, &progress, NULL)) {
    status = Report(tester, "cannot set up the tester");
    c4_tester_free(tester);
    return status;
  }
  if (strcmp(mode, "--quiet") == 0) {
    status = c4_tester_launch_no_ui(tester);
  } else if (strcmp(mode, "--check") == 0) {
    status = c4_tester_prompt_test(tester);
  } else if (strcmp(mode, "--unit-tests") == 0) {
    c4_register_unit_test("moment of a simple beam", MomentOfASimpleBeam, NULL);
    status = c4_tester_unit_test_launch(tester);
  } else {
    status = c4_tester_launch(tester);
  }
  if (status != C4_OK) Report(tester, mode + 2);
  c4_tester_free(tester);
  if (strcmp(mode, "--quiet") != 0) return status == C4_OK ? 0 : 1;

  if (!summary.ran) {
    printf("summary: no case was run (see the module's log, libcorvala4.log beside libcorvala4.so)\n");
    return 1;
  }
  printf(
      "summary: %d cases, %d passed, %d not passed (%d of them failed to calculate); "
      "mandatory %d of %d passed: %s\n",
      summary.cases, summary.passed, summary.cases - summary.passed, summary.failed, summary.mandatory_passed,
      summary.mandatory,
      summary.mandatory_passed == summary.mandatory ? "this build is correct" : "this build is NOT correct");
  return summary.mandatory_passed == summary.mandatory ? 0 : 1;
}

int main(int argc, char** argv) {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  char error[512];
  if (n <= 0) return 2;
  self[n] = '\0';
  if (argc == 2 && (strcmp(argv[1], "--quiet") == 0 || strcmp(argv[1], "--check") == 0 ||
                    strcmp(argv[1], "--launch") == 0 || strcmp(argv[1], "--unit-tests") == 0))
    return Test(argv[1], self);
  if (argc != 3) {
    fprintf(stderr,
            "usage: beamcalc_c PROJECT.prj FUNC   (FUNC 1 forces, 2 deflections, 3 sections, 4 both)\n"
            "       beamcalc_c --quiet | --check | --launch | --unit-tests\n");
    return 2;
  }
  {
    char folder[4096];
    char* slash;
    snprintf(folder, sizeof folder, "%s", argv[1]);
    slash = strrchr(folder, '/');
    if (slash)
      *slash = '\0';
    else
      strcpy(folder, ".");
    if (beamcalc_calculate(argv[1], atoi(argv[2]), folder, error, sizeof error) != 0) {
      fprintf(stderr, "beamcalc_c: %s\n", error);
      return 1;
    }
  }
  return 0;
}
