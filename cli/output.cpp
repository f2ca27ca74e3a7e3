// Outputs that appear whole or not at all: temporary-then-rename for files,
// a buffer copied at commit for standard output, devices and pipes.
#include "cli/output.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/cli.h"
#ifdef _WIN32
#include <io.h>
#include "kro/win32.h"
#else
#include <glob.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kro::cli {

AtomicOutput::~AtomicOutput() {
    if (stream_) std::fclose(stream_);
    if (direct_ && direct_ != stdout) std::fclose(direct_);
    if (!temp_.empty()) ::unlink(temp_.c_str());
}

namespace {

#ifdef _WIN32
constexpr const char* kPathSeparators = "/\\";
#else
constexpr const char* kPathSeparators = "/";
#endif

// The temporary name beside target, before mkstemp fills in the X's.
std::string tempPattern(const std::string& target) {
    size_t slash = target.find_last_of(kPathSeparators);
    std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    return dir + "." + base + ".kro-XXXXXX";
}

#ifdef _WIN32
// Windows: a link is replaced, not followed (links need privileges there and
// kro makes none).
std::string followLinks(std::string path) {
    return path;
}

// The volume and file index of an open file: Windows' stat has no inode.
bool fileId(HANDLE h, BY_HANDLE_FILE_INFORMATION* id) {
    return h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, id);
}

bool fileId(const std::string& path, BY_HANDLE_FILE_INFORMATION* id) {
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const bool ok = fileId(h, id);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return ok;
}

bool sameId(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}
#else
// The file that path names once its symbolic links are followed, also when
// the last of them points at nothing yet (the write creates it). Empty, with
// errno set, for a loop.
std::string followLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        char link[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), link, sizeof link);
        if (n < 0) return "";
        if (size_t(n) == sizeof link) {
            errno = ENAMETOOLONG;
            return "";
        }
        const std::string to(link, size_t(n));
        const size_t slash = path.rfind('/');
        path = to[0] == '/' || slash == std::string::npos ? to : path.substr(0, slash + 1) + to;
    }
    errno = ELOOP;
    return "";
}
#endif

// The buffered output onto its destination; a plain file there (one that
// has no name to rename over) is emptied first.
bool copyOut(FILE* from, FILE* to) {
    bool ok = std::fflush(from) == 0 && !std::ferror(from);
    struct stat st;
    if (ok && to != stdout && ::fstat(fileno(to), &st) == 0 && S_ISREG(st.st_mode))
        ok = ::ftruncate(fileno(to), 0) == 0;
    std::rewind(from);
    char buffer[65536];
    for (size_t n; ok && (n = std::fread(buffer, 1, sizeof buffer, from)) > 0;)
        ok = std::fwrite(buffer, 1, n, to) == n;
    return ok && !std::ferror(from) && std::fflush(to) == 0;
}

}  // namespace

bool AtomicOutput::open(const std::string& target) {
    if (target == "-") {  // standard output gets the whole file or nothing
        direct_ = stdout;
        stream_ = scratchFile();
        return stream_ != nullptr;
    }
    struct stat st;
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    // A device or a pipe cannot be renamed over: it is written in place, at
    // commit, so a failed job writes nothing there. Opened now, so a reader
    // waiting on a pipe sees its end either way.
    bool inPlace = exists && !S_ISREG(st.st_mode);
    if (!inPlace) {
        target_ = followLinks(target);
        if (target_.empty()) return false;
#ifndef _WIN32
        // A file reached by no name of its own (through /proc) stays in place.
        struct stat named;
        inPlace = exists && (::stat(target_.c_str(), &named) != 0 || named.st_dev != st.st_dev ||
                             named.st_ino != st.st_ino);
#endif
    }
    if (inPlace) {
#ifdef _WIN32
        const int fd = ::open(target.c_str(), O_WRONLY | O_BINARY);
#else
        const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
#endif
        if (fd < 0) return false;
        direct_ = ::fdopen(fd, "wb");
        if (!direct_) {
            const int saved = errno;
            ::close(fd);
            errno = saved;
            return false;
        }
        stream_ = scratchFile();
        return stream_ != nullptr;
    }

    const int fd = makeTempFile(tempPattern(target_), &temp_);
    if (fd < 0) return false;
#ifndef _WIN32
    if (exists) {
        // The file replaced keeps its mode, and its owner and group where
        // this process may give them (as root).
        [[maybe_unused]] const int owned = ::fchown(fd, st.st_uid, st.st_gid);
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        // mkstemp makes the file private; give it the mode a plain create would.
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
#endif
    // Read as well as written: a TIFF writer reads the pages it adds to.
    stream_ = ::fdopen(fd, "w+b");
    if (!stream_) {
        int saved = errno;
        ::close(fd);
        errno = saved;
        return false;
    }
    return true;
}

#ifndef _WIN32
namespace {

// Puts the finished file in the target's place. Renaming over an existing
// file makes ext4 write the new file's data out there and then (its guard
// for programs that replace files without syncing them), which on a large
// picture costs more than the job; swapping the two names and removing the
// old file leaves the writing to the kernel's usual pace. Where names cannot
// be swapped, or there is no old file, this is rename().
bool replaceWith(const std::string& temp, const std::string& target) {
#ifdef RENAME_EXCHANGE
    struct stat old;
    if (::lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
        ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
        ::unlink(temp.c_str());  // the old file now has the temporary name
        return true;
    }
#endif
    return ::rename(temp.c_str(), target.c_str()) == 0;
}

}  // namespace
#endif

bool AtomicOutput::commit() {
    FILE* f = stream_;
    stream_ = nullptr;
    if (direct_) {
        FILE* to = direct_;
        direct_ = nullptr;
        bool ok = copyOut(f, to);
        int saved = errno;
        std::fclose(f);
        if (to != stdout && std::fclose(to) != 0 && ok) {
            ok = false;
            saved = errno;
        }
        errno = saved;
        return ok;
    }
    bool ok = std::fflush(f) == 0 && !std::ferror(f);
    int saved = errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        saved = errno;
    }
#ifdef _WIN32
    // rename() will not replace a file on Windows.
    if (ok && !MoveFileExA(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        ok = false;
        saved = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    }
#else
    if (ok && !replaceWith(temp_, target_)) {
        ok = false;
        saved = errno;
    }
#endif
    if (ok) temp_.clear();
    errno = saved;
    return ok;
}

int makeTempFile(const std::string& pattern, std::string* path) {
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd >= 0) *path = name.data();
    return fd;
}

std::string tempFolderPattern(const char* prefix) {
    return tempFolder() + "/" + prefix + "XXXXXX";
}

void removeLeftovers(const std::string& target) {
    if (target.empty() || target == "-") return;
    const std::string file = followLinks(target);
    if (file.empty()) return;
    std::string pattern = tempPattern(file);
    pattern.replace(pattern.size() - 6, 6, "??????");
#ifdef _WIN32
    const size_t slash = pattern.find_last_of(kPathSeparators);
    const std::string dir = slash == std::string::npos ? "" : pattern.substr(0, slash + 1);
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(pattern.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        DeleteFileA((dir + found.cFileName).c_str());
    } while (FindNextFileA(h, &found));
    FindClose(h);
#else
    glob_t found{};
    if (::glob(pattern.c_str(), GLOB_NOSORT | GLOB_NOESCAPE, nullptr, &found) == 0)
        for (size_t i = 0; i < found.gl_pathc; ++i) ::unlink(found.gl_pathv[i]);
    ::globfree(&found);
#endif
}

bool sameFile(const std::string& a, const std::string& b) {
#ifdef _WIN32
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return fileId(a, &ia) && fileId(b, &ib) && sameId(ia, ib);
#else
    struct stat sa, sb;
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
#endif
}

bool isStandardOutput(const std::string& path) {
    if (path == "-") return true;
#ifdef _WIN32
    BY_HANDLE_FILE_INFORMATION io, ip;
    return fileId(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdout))), &io) &&
           fileId(path, &ip) && sameId(io, ip);
#else
    struct stat so, sp;
    if (::fstat(STDOUT_FILENO, &so) != 0 || ::stat(path.c_str(), &sp) != 0) return false;
    return so.st_dev == sp.st_dev && so.st_ino == sp.st_ino;
#endif
}

}  // namespace kro::cli
