// Fuzz target: the colour-name file reader. The input's first line is the
// name looked up, the rest is the file's text; the file lives in memory.
// Bad samples: colour-*
// Max length: 4096
#ifndef _WIN32
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kro/kro.h"
#include "options/options.h"

namespace {

#ifdef _WIN32
// Windows: a file in the temporary folder, rewritten for every input.
struct ColourFile {
    std::string path = std::string(std::getenv("TEMP") ? std::getenv("TEMP") : ".") + "\\kro-fuzz-rgb";
    ~ColourFile() { std::remove(path.c_str()); }
    void write(const uint8_t* data, size_t size) const {
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || (size && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) std::abort();
    }
};
#else
// One in-memory file for the whole run, rewritten for every input.
struct ColourFile {
    int fd = memfd_create("rgb", 0);
    std::string path = "/proc/self/fd/" + std::to_string(fd);
    void write(const uint8_t* data, size_t size) const {
        if (fd < 0 || ftruncate(fd, 0) != 0) std::abort();
        if (size && pwrite(fd, data, size, 0) != ssize_t(size)) std::abort();
    }
};
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ColourFile file;
    size_t nameLength = 0;
    while (nameLength < size && data[nameLength] != '\n' && data[nameLength] != '\0') ++nameLength;
    const std::string name(reinterpret_cast<const char*>(data), nameLength);
    const size_t bodyAt = nameLength < size ? nameLength + 1 : size;
    file.write(data + bodyAt, size - bodyAt);

    fndErrorStatus = 0;
    const int32_t colour = kro::lookupColorNameIn(file.path.c_str(), name.c_str());
    if (colour == -1 && fndErrorStatus != KRO_ERR_COLOR_NAME) std::abort();
    if (colour != -1 && fndErrorStatus != 0) std::abort();
    return 0;
}
