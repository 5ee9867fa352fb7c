// Symbol visibility of the module: only what is marked here leaves libcorvala4.so.
#pragma once

#if defined(CORVALA4_BUILDING)
#define CORVALA4_API __attribute__((visibility("default")))
#else
#define CORVALA4_API
#endif
