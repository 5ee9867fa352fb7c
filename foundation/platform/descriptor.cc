#include "foundation/platform/descriptor.h"

#include <errno.h>
#include <sys/stat.h>

namespace corvala4 {

int OpenRegularFile(int dirfd, const char* name, int flags) {
  int fd = openat(dirfd, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | flags, 0666);
  if (fd < 0) return -1;
  struct stat st;
  int error = fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : !S_ISREG(st.st_mode) ? ENODEV : 0;
  if (error == 0) return fd;
  close(fd);
  errno = error;
  return -1;
}

}  // namespace corvala4
