// Temporary-then-rename output, so a failed job leaves no partial file.
#include "cli/output.h"

#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace kro::cli {

AtomicOutput::~AtomicOutput() {
    if (stream_) std::fclose(stream_);
    if (!temp_.empty()) ::unlink(temp_.c_str());
}

namespace {

// The temporary name beside target, before mkstemp fills in the X's.
std::string tempPattern(const std::string& target) {
    size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    return dir + "." + base + ".kro-XXXXXX";
}

}  // namespace

bool AtomicOutput::open(const std::string& target) {
    target_ = target;
    if (target == "-") {  // standard output gets the whole file or nothing
        stream_ = std::tmpfile();
        return stream_ != nullptr;
    }
    const std::string pattern = tempPattern(target);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) return false;
    temp_ = name.data();
    // mkstemp makes the file private; give it the mode a plain create would.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    stream_ = ::fdopen(fd, "wb");
    if (!stream_) {
        int saved = errno;
        ::close(fd);
        errno = saved;
        return false;
    }
    return true;
}

bool AtomicOutput::commit() {
    FILE* f = stream_;
    stream_ = nullptr;
    if (target_ == "-") {
        bool ok = std::fflush(f) == 0 && !std::ferror(f);
        std::rewind(f);
        char buffer[65536];
        for (size_t n; ok && (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            ok = std::fwrite(buffer, 1, n, stdout) == n;
        ok = ok && !std::ferror(f) && std::fflush(stdout) == 0;
        const int saved = errno;
        std::fclose(f);
        errno = saved;
        return ok;
    }
    bool ok = std::fflush(f) == 0 && !std::ferror(f);
    int saved = errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && ::rename(temp_.c_str(), target_.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (ok) temp_.clear();
    errno = saved;
    return ok;
}

void removeLeftovers(const std::string& target) {
    if (target.empty() || target == "-") return;
    std::string pattern = tempPattern(target);
    pattern.replace(pattern.size() - 6, 6, "??????");
    glob_t found{};
    if (::glob(pattern.c_str(), GLOB_NOSORT | GLOB_NOESCAPE, nullptr, &found) == 0)
        for (size_t i = 0; i < found.gl_pathc; ++i) ::unlink(found.gl_pathv[i]);
    ::globfree(&found);
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace kro::cli
