// What the windows' library calls in the module. It is loaded beside libcorvala4.so
// and built from the same sources, so these leave the module too, though no
// installed header names them.
#pragma once

#define CORVALA4_WINDOWS_API __attribute__((visibility("default")))
