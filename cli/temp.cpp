// Temporary files of the command line: the folder, and scratch files.
#include <cstdio>
#include <cstdlib>
#include <string>
#ifdef _WIN32
#include "kro/win32.h"
#endif

#include "cli/cli.h"

namespace kro::cli {

std::string tempFolder() {
#ifdef _WIN32
    char dir[MAX_PATH + 1];
    const DWORD n = GetTempPathA(sizeof dir, dir);
    if (n == 0 || n > sizeof dir) return ".";
    std::string s(dir, n);
    if (s.size() > 1 && (s.back() == '\\' || s.back() == '/')) s.pop_back();
    return s;
#else
    const char* dir = std::getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
#endif
}

FILE* scratchFile() {
#ifdef _WIN32
    char name[MAX_PATH + 1];
    if (!GetTempFileNameA(tempFolder().c_str(), "kro", 0, name)) return nullptr;
    // T: kept in memory where it can be; D: deleted when closed.
    FILE* f = std::fopen(name, "w+bTD");
    if (!f) DeleteFileA(name);
    return f;
#else
    return std::tmpfile();
#endif
}

}  // namespace kro::cli
