// File descriptors: one that closes itself, and opening a file that must be a regular one.
#pragma once

#include <fcntl.h>
#include <unistd.h>

namespace corvala4 {

/// Owns a descriptor (or none, -1) and closes it.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) close(fd_);
      fd_ = other.release();
    }
    return *this;
  }
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

/// Opens `name` (relative to dirfd; AT_FDCWD for a path) for reading without waiting, so that
/// a pipe or a device in a file's place never hangs, and keeps it only when it is a regular
/// file. `flags` are added (O_NOFOLLOW, O_CREAT with mode 0666). The descriptor, or none with
/// errno set: EISDIR for a folder, ENODEV for anything else that is not a regular file.
Fd OpenRegularFile(int dirfd, const char* name, int flags = 0);

}  // namespace corvala4
