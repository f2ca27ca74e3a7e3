// Standard input copied once into a temporary file.
#include "cli/input.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cli/output.h"
#include "cli/cli.h"

namespace kro::cli {

namespace {

struct StdinCopy {
    std::string path;
    int error = 0;
    bool made = false;
    ~StdinCopy() {
        if (!path.empty()) ::unlink(path.c_str());
    }
};

StdinCopy& stdinCopy() {
    static StdinCopy copy;
    return copy;
}

// Copies standard input into a new file of the temporary folder; 0 or errno.
int copyStdin(std::string* path) {
    const int fd = makeTempFile(tempFolderPattern("kro-stdin-"), path);
    if (fd < 0) return errno;
    FILE* f = ::fdopen(fd, "wb");
    if (!f) {
        const int err = errno;
        ::close(fd);
        return err;
    }
    char buffer[65536];
    bool ok = true;
    for (size_t n; ok && (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;)
        ok = std::fwrite(buffer, 1, n, f) == n;
    int err = std::ferror(stdin) ? (errno ? errno : EIO) : 0;
    if (!ok && !err) err = errno ? errno : EIO;
    if (std::fclose(f) != 0 && !err) err = errno ? errno : EIO;
    return err;
}

}  // namespace

std::string inputPath(const std::string& name) {
    if (name != "-") return name;
    StdinCopy& copy = stdinCopy();
    if (!copy.made) {
        copy.made = true;
        copy.error = copyStdin(&copy.path);
    }
    if (copy.error != 0) {
        errno = copy.error;
        return "";
    }
    return copy.path;
}

}  // namespace kro::cli
