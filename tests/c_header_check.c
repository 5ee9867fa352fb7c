/* Compiled as a host's C compiler would (C99, pedantic, every warning an error): the
 * C interface's header must pass as it is. */
#include <corvala4/corvala4_c.h>

int c_header_check(void);
int c_header_check(void) {
  c4_events events = {0, 0, 0, 0, 0, 0, 0};
  c4_progress progress = {0, 0, 0};
  return (events.user == progress.user ? CORVALA4_VERSION_MAJOR : C4_E_FAILED) + (int)(C4_CANCEL_ERROR != 0);
}
