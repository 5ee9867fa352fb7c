#include "foundation/platform/descriptor.h"

#include <errno.h>
#include <sys/stat.h>

namespace corvala4 {

Fd OpenRegularFile(int dirfd, const char* name, int flags) {
  Fd fd(openat(dirfd, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | flags, 0666));
  if (fd.get() < 0) return fd;
  struct stat st;
  int error =
      fstat(fd.get(), &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : !S_ISREG(st.st_mode) ? ENODEV : 0;
  if (error == 0) return fd;
  fd = Fd();
  errno = error;
  return fd;
}

}  // namespace corvala4
