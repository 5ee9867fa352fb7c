// The file-system service's text streams: a file read or written as text in the
// code page (Format 0), in UTF-16 (-1) or the default (-2); UTF-8 on this side.
#pragma once

#include <memory>
#include <string>

#include "foundation/platform/file_system.h"

namespace corvala4::posixfs {

/// A stream over an open descriptor, which it takes over and closes. mode is the
/// IOMode it was opened with; empty tells that the file had no content yet.
std::unique_ptr<TextStream> NewTextStream(int fd, int mode, int format, std::string path, bool empty);

}  // namespace corvala4::posixfs
