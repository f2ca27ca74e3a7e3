// The file search of the Windows kernel, on POSIX directories.
#include "search_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string programDirectory() {
    std::string path(4096, '\0');
    ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || size_t(n) >= path.size()) return {};
    path.resize(size_t(n));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash ? slash : 1);
}

std::string currentDirectory() {
    std::string path(4096, '\0');
    if (!getcwd(path.data(), path.size())) return {};
    path.resize(std::strlen(path.c_str()));
    return path;
}

// A ':'-separated list; an empty entry means the current directory.
void appendList(std::vector<std::string>* dirs, const char* list) {
    const char* p = list;
    for (;;) {
        const char* end = std::strchr(p, ':');
        std::string dir(p, end ? size_t(end - p) : std::strlen(p));
        dirs->push_back(dir.empty() ? currentDirectory() : dir);
        if (!end) break;
        p = end + 1;
    }
}

bool isFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string join(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

std::string findFile(const char* path, const std::string& name) {
    if (name.front() == '/') return isFile(name) ? name : std::string();
    std::vector<std::string> dirs;
    if (path) {
        appendList(&dirs, path);
    } else {
        dirs.push_back(programDirectory());
        dirs.push_back(currentDirectory());
        if (const char* env = std::getenv("PATH"); env && *env) appendList(&dirs, env);
    }
    for (const std::string& dir : dirs) {
        if (dir.empty()) continue;
        std::string candidate = join(dir, name);
        if (isFile(candidate)) return candidate;
    }
    return {};
}

}  // namespace

extern "C" uint32_t SearchPathA(const char* path, const char* fileName, const char* extension,
                                uint32_t bufferLength, char* buffer, char** filePart) {
    if (!fileName || !*fileName) return 0;
    try {
        std::string name = fileName;
        size_t base = name.rfind('/');
        base = base == std::string::npos ? 0 : base + 1;
        if (extension && name.find('.', base) == std::string::npos) name += extension;

        std::string found = findFile(path, name);
        if (found.empty() || found.size() >= UINT32_MAX) return 0;
        if (!buffer || found.size() >= bufferLength) return uint32_t(found.size() + 1);
        std::memcpy(buffer, found.c_str(), found.size() + 1);
        if (filePart) *filePart = buffer + found.rfind('/') + 1;
        return uint32_t(found.size());
    } catch (...) {
        return 0;  // out of memory: nothing found
    }
}
