// How the file-system service fails: an Error with the classic runtime number, the
// service as its source, and a description naming the path and the reason.
#pragma once

#include <string>

namespace corvala4::posixfs {

/// What a path names, so that a missing one gets the right number.
enum class Subject { File, Folder };

[[noreturn]] void Fail(int number, const std::string& path, const std::string& why);
/// The failure of a system call, with the number its errno stands for.
[[noreturn]] void FailErrno(int error, const std::string& path, Subject subject);

}  // namespace corvala4::posixfs
