// Stand-in for the Windows kernel's file search.
#pragma once

#ifdef _WIN32
// Windows has the real call.
#include "kro/win32.h"
#else
#include <cstdint>

extern "C" {

// Looks for fileName (with extension appended when the name has none) in the
// directories of path, a ':'-separated list, or, when path is null, in the
// directory of the running program, the current directory and each directory
// of PATH, in that order. On success copies the full name into buffer and
// returns its length without the terminator, with *filePart (when filePart is
// not null) pointing at the last component. Returns the size needed, terminator
// included, when buffer is too small, and 0 when the file is not found.
uint32_t SearchPathA(const char* path, const char* fileName, const char* extension,
                     uint32_t bufferLength, char* buffer, char** filePart);
}
#endif
