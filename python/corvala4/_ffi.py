"""The C interface of libcorvala4 as cffi sees it (the declarations of corvala4_c.h)."""

import os

import cffi

DECLARATIONS = """
typedef struct c4_tester c4_tester;
typedef struct c4_case c4_case;
typedef struct c4_cases c4_cases;

void c4_version(int* major, int* minor, int* patch);
const char* c4_version_text(void);
int c4_tester_last_error(const c4_tester* tester, int32_t* number, const char** source,
                         const char** description);

int c4_tester_new(c4_tester** tester);
void c4_tester_free(c4_tester* tester);
int c4_tester_set_host_exe(c4_tester* tester, const char* path);
int c4_tester_host_exe(c4_tester* tester, const char** path);
int c4_tester_prompt_test(c4_tester* tester);
int c4_tester_launch(c4_tester* tester);
int c4_tester_launch_no_ui(c4_tester* tester);
int c4_tester_unit_test_launch(c4_tester* tester);
int c4_tester_test_cases(c4_tester* tester, c4_cases** cases);
int c4_tester_selected_cases(c4_tester* tester, c4_cases** cases);
int c4_tester_active_case(c4_tester* tester, c4_case** tc);
int c4_tester_set_junit_report(c4_tester* tester, const char* path);
int c4_tester_junit_report(c4_tester* tester, const char** path);

typedef struct c4_events {
  void* user;
  int (*check_cancel)(void* user, int* cancel);
  int (*before_all_test)(void* user, c4_cases* oc);
  int (*before_one_test)(void* user, c4_case* tc);
  int (*do_test)(void* user, c4_case* tc);
  int (*after_one_test)(void* user, c4_case* tc);
  int (*after_all_test)(void* user, c4_cases* oc);
} c4_events;

typedef struct c4_progress {
  void* user;
  void (*add_msg)(void* user, const char* line);
  void (*clear)(void* user);
} c4_progress;

int c4_tester_subscribe(c4_tester* tester, const c4_events* events, int* id);
int c4_tester_subscribe_progress(c4_tester* tester, const c4_progress* progress, int* id);
int c4_tester_unsubscribe(c4_tester* tester, int id);
void c4_fail_reason(const char* description);

int c4_cases_count(c4_cases* cases, int32_t* count);
int c4_cases_item(c4_cases* cases, int32_t index, c4_case** tc);
void c4_cases_free(c4_cases* cases);

int c4_case_dup(c4_case* tc, c4_case** copy);
void c4_case_free(c4_case* tc);
int c4_case_success(c4_case* tc, int* success);
int c4_case_set_success(c4_case* tc, int success);
int c4_case_caption(c4_case* tc, const char** caption);
int c4_case_project_file(c4_case* tc, const char** path);
int c4_case_project_file_name(c4_case* tc, const char** name);
int c4_case_func_num(c4_case* tc, int16_t* func_num);
int c4_case_test_case_folder(c4_case* tc, const char** path);
int c4_case_remove_test_folder(c4_case* tc);
int c4_case_mandatory(c4_case* tc, int* mandatory);
int c4_case_passed(c4_case* tc, int* passed);

typedef int (*c4_unit_test)(void* user);
int c4_register_unit_test(const char* name, c4_unit_test test, void* user);
void c4_clear_unit_tests(void);
size_t c4_unit_test_count(void);
int c4_run_unit_test(size_t index, int* passed, const char** name, const char** message);
"""

ffi = cffi.FFI()
ffi.cdef(DECLARATIONS)
# CORVALA4_LIBRARY names a library of one's own (a build tree); else the installed one.
lib = ffi.dlopen(os.environ.get("CORVALA4_LIBRARY") or "libcorvala4.so.4")
