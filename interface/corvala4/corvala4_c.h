/* Corvala4 for hosts in C (and every language that calls C): the Tester, its cases and
 * events behind opaque handles.
 *
 * Rules that hold for every function:
 * - A function that can fail returns an int status: C4_OK (0) or one of the negative
 *   C4_E... codes. The error itself (number, source, description) is kept per tester and
 *   read with c4_tester_last_error; calls on a case or a collection keep it in the tester
 *   they came from. Calls without a tester keep it per thread (c4_tester_last_error(NULL)).
 * - No C++ exception ever leaves a function, and none may leave a callback.
 * - Texts are UTF-8 (a path's bytes pass through as they are). A text a function hands out
 *   belongs to the handle it was read from and stays valid until the next call on it.
 * - Handles a function hands out (c4_tester_new, c4_..._item, c4_case_dup ...) are the
 *   caller's and are freed with their c4_..._free; a handle given to a callback belongs to
 *   the module and is valid for the time of the callback (c4_case_dup keeps it longer).
 * - Everything runs on the thread that calls the entry operation; callbacks come on it.
 */
#ifndef CORVALA4_C_H
#define CORVALA4_C_H

#include <stddef.h>
#include <stdint.h>

#include "corvala4/version_c.h"

#if defined(CORVALA4_BUILDING)
#define C4_API __attribute__((visibility("default")))
#else
#define C4_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes. */
#define C4_OK 0
/* The operation failed: c4_tester_last_error says why. */
#define C4_E_FAILED (-1)
/* Another entry operation is in progress (also of another tester): nothing was run. */
#define C4_E_RUNNING (-2)
/* A null handle or pointer where one is needed. */
#define C4_E_ARGUMENT (-3)
/* Memory ran out. */
#define C4_E_MEMORY (-4)

/* The module's own error numbers (the others are the runtime's, e.g. 53 file not found). */
#define C4_CASE_FOLDER_MISSING_ERROR ((int32_t)0x80040201u)
#define C4_CANCEL_ERROR ((int32_t)0x80040202u)
#define C4_UNSAFE_PATH_ERROR ((int32_t)0x80040203u)

typedef struct c4_tester c4_tester;
typedef struct c4_case c4_case;
typedef struct c4_cases c4_cases;

/* The module's version at run time (the macros of version_c.h give it at compile time). */
C4_API void c4_version(int* major, int* minor, int* patch);
C4_API const char* c4_version_text(void);

/* The last error of a tester, or of this thread's calls without one when tester is NULL.
 * Any out pointer may be NULL. Number 0 and empty texts when nothing has failed yet. */
C4_API int c4_tester_last_error(const c4_tester* tester, int32_t* number, const char** source,
                                const char** description);

/* ---- Tester ---- */

C4_API int c4_tester_new(c4_tester** tester);
/* Frees the tester with its subscriptions; NULL is ignored. Never during its own run. */
C4_API void c4_tester_free(c4_tester* tester);

/* HostEXE: the full path of the host executable; its definition file lies beside it. */
C4_API int c4_tester_set_host_exe(c4_tester* tester, const char* path);
C4_API int c4_tester_host_exe(c4_tester* tester, const char** path);

/* The entry operations. Each returns C4_OK when it ran, C4_E_RUNNING when another was in
 * progress, C4_E_FAILED when an error ended it; the module has shown or logged the
 * message either way, as for a C++ host. */
C4_API int c4_tester_prompt_test(c4_tester* tester);
C4_API int c4_tester_launch(c4_tester* tester);
C4_API int c4_tester_launch_no_ui(c4_tester* tester);
/* The unit-runner form (IUnitTest_Launch); its failure is this call's. */
C4_API int c4_tester_unit_test_launch(c4_tester* tester);

/* Every case of the definition file (empty outside an entry operation). */
C4_API int c4_tester_test_cases(c4_tester* tester, c4_cases** cases);
/* The cases of the run in progress; *cases is NULL outside a run. */
C4_API int c4_tester_selected_cases(c4_tester* tester, c4_cases** cases);
/* The case being run; *tc is NULL outside a case. */
C4_API int c4_tester_active_case(c4_tester* tester, c4_case** tc);

/* The JUnit XML report that c4_tester_launch_no_ui writes ("" or NULL: none). */
C4_API int c4_tester_set_junit_report(c4_tester* tester, const char* path);
C4_API int c4_tester_junit_report(c4_tester* tester, const char** path);

/* ---- Events ----
 * Each callback may be NULL. A callback returns 0, or a nonzero number that fails the
 * event: that number, the event's name as source and the text given to c4_fail_reason
 * as description become the error the run reports. A failing do_test ends its case:
 * the case's Success turns false and it is not passed; the run goes on. */
typedef struct c4_events {
  void* user;
  int (*check_cancel)(void* user, int* cancel); /* set *cancel nonzero to cancel */
  int (*before_all_test)(void* user, c4_cases* oc);
  int (*before_one_test)(void* user, c4_case* tc);
  int (*do_test)(void* user, c4_case* tc); /* calculate c4_case_project_file here */
  int (*after_one_test)(void* user, c4_case* tc);
  int (*after_all_test)(void* user, c4_cases* oc);
} c4_events;

/* The progress lines of every run, as the status window shows them. */
typedef struct c4_progress {
  void* user;
  void (*add_msg)(void* user, const char* line);
  void (*clear)(void* user);
} c4_progress;

/* Subscribes a copy of *events; handlers are called in the order they subscribed.
 * *id names the subscription for c4_tester_unsubscribe (also from inside a callback). */
C4_API int c4_tester_subscribe(c4_tester* tester, const c4_events* events, int* id);
C4_API int c4_tester_subscribe_progress(c4_tester* tester, const c4_progress* progress, int* id);
C4_API int c4_tester_unsubscribe(c4_tester* tester, int id);

/* The description of the error a failing callback (or unit test) returns; call it just
 * before returning nonzero. */
C4_API void c4_fail_reason(const char* description);

/* ---- Test cases ---- */

C4_API int c4_cases_count(c4_cases* cases, int32_t* count);
/* The case at a 1-based position (error 9 out of range). */
C4_API int c4_cases_item(c4_cases* cases, int32_t index, c4_case** tc);
C4_API void c4_cases_free(c4_cases* cases);

/* A handle of one's own to the same case. */
C4_API int c4_case_dup(c4_case* tc, c4_case** copy);
C4_API void c4_case_free(c4_case* tc);
/* Success: the host's verdict on its calculation, nonzero until it says otherwise. */
C4_API int c4_case_success(c4_case* tc, int* success);
C4_API int c4_case_set_success(c4_case* tc, int success);
C4_API int c4_case_caption(c4_case* tc, const char** caption);
/* The project file in the working folder (error 91 outside an entry operation). */
C4_API int c4_case_project_file(c4_case* tc, const char** path);
C4_API int c4_case_project_file_name(c4_case* tc, const char** name);
/* The function code (error 6 when it does not fit 16 bits). */
C4_API int c4_case_func_num(c4_case* tc, int16_t* func_num);
/* The working folder, where the outputs must be written (error 91 outside an operation). */
C4_API int c4_case_test_case_folder(c4_case* tc, const char** path);
/* Deletes the working folder with everything in it. */
C4_API int c4_case_remove_test_folder(c4_case* tc);
C4_API int c4_case_mandatory(c4_case* tc, int* mandatory);
/* Whether the case's pass marker is there (error 91 outside an entry operation). */
C4_API int c4_case_passed(c4_case* tc, int* passed);

/* ---- The host's own unit tests, run from the unit-runner form ---- */

/* A unit test returns 0 to pass, nonzero to fail (with c4_fail_reason's text). */
typedef int (*c4_unit_test)(void* user);
C4_API int c4_register_unit_test(const char* name, c4_unit_test test, void* user);
C4_API void c4_clear_unit_tests(void);
C4_API size_t c4_unit_test_count(void);
/* Runs the registered test at a 0-based position without a window; *message (this
 * thread's until its next call) is empty when it passed. */
C4_API int c4_run_unit_test(size_t index, int* passed, const char** name, const char** message);

#ifdef __cplusplus
}
#endif

#endif /* CORVALA4_C_H */
