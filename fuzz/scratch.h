// A scratch stream for what a harness writes: tmpfile(), or on Windows a
// file of the temporary folder (msvcrt's tmpfile() races other processes).
#pragma once

#include <cstdio>

inline FILE* fuzzScratch() {
#ifdef _WIN32
    return scratchFile();
#else
    return std::tmpfile();
#endif
}
