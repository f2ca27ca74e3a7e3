// The POSIX calls the tests use that Windows lacks: fmemopen (a temporary file
// holding the bytes, positioned at the start), mkdtemp, setenv and ctime_r;
// and a tmpfile() that parallel processes can share.
#pragma once
#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "kro/win32.h"

// msvcrt's tmpfile() names its files in the root of the drive from a counter
// that parallel test processes share: it fails now and then. A file of the
// temporary folder, deleted when closed, instead.
static inline FILE* scratchFile(void) {
    char dir[MAX_PATH], name[MAX_PATH];
    const DWORD n = GetTempPathA(sizeof dir, dir);
    if (n == 0 || n > sizeof dir || !GetTempFileNameA(dir, "kt", 0, name)) return NULL;
    FILE* f = fopen(name, "w+bTD");
    if (!f) DeleteFileA(name);
    return f;
}

static inline FILE* fmemopen(void* buffer, size_t size, const char* mode) {
    (void)mode;  // every caller here reads
    FILE* f = scratchFile();
    if (!f) return NULL;
    if ((size && fwrite(buffer, 1, size, f) != size) || fseek(f, 0, SEEK_SET) != 0) {
        fclose(f);
        return NULL;
    }
    return f;
}

static inline char* mkdtemp(char* pattern) {
    return _mktemp(pattern) && _mkdir(pattern) == 0 ? pattern : NULL;
}

static inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && getenv(name)) return 0;
    return _putenv_s(name, value) == 0 ? 0 : -1;
}

static inline char* ctime_r(const time_t* t, char* buffer) {
    return ctime_s(buffer, 26, t) == 0 ? buffer : NULL;
}
#endif
