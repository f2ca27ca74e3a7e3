// Stand-in for the Windows kernel's version query.
#pragma once

#ifdef _WIN32
// Windows has the real call.
#include "kro/win32.h"
#else
#include <cstdint>

extern "C" {

#define VER_PLATFORM_WIN32s 0
#define VER_PLATFORM_WIN32_WINDOWS 1
#define VER_PLATFORM_WIN32_NT 2

struct OSVERSIONINFOA {
    uint32_t dwOSVersionInfoSize;  // must be sizeof(OSVERSIONINFOA), 148
    uint32_t dwMajorVersion;
    uint32_t dwMinorVersion;
    uint32_t dwBuildNumber;
    uint32_t dwPlatformId;
    char szCSDVersion[128];
};

// Fills info for the platform family in force (the NT family unless a test
// chose another). Returns 0, leaving info untouched, when info is null, its
// size field is not 148, or the failure was chosen; 1 otherwise.
int32_t GetVersionExA(OSVERSIONINFOA* info);

// For tests: the family the next queries report, VER_PLATFORM_WIN32_NT or
// VER_PLATFORM_WIN32_WINDOWS; any other value makes the query fail.
void KroKernelSetPlatform(int32_t platformId);
}
#endif
