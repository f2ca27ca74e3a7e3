// Fuzz target: the colour-name file reader. The input's first line is the
// name looked up, the rest is the file's text; the file lives in memory.
// Bad samples: colour-*
// Max length: 4096
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kro/kro.h"
#include "options/options.h"

namespace {

// One in-memory file for the whole run, rewritten for every input.
struct ColourFile {
    int fd = memfd_create("rgb", 0);
    std::string path = "/proc/self/fd/" + std::to_string(fd);
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ColourFile file;
    if (file.fd < 0) std::abort();
    size_t nameLength = 0;
    while (nameLength < size && data[nameLength] != '\n' && data[nameLength] != '\0') ++nameLength;
    const std::string name(reinterpret_cast<const char*>(data), nameLength);
    const size_t bodyAt = nameLength < size ? nameLength + 1 : size;
    if (ftruncate(file.fd, 0) != 0) std::abort();
    if (size > bodyAt &&
        pwrite(file.fd, data + bodyAt, size - bodyAt, 0) != ssize_t(size - bodyAt))
        std::abort();

    fndErrorStatus = 0;
    const int32_t colour = kro::lookupColorNameIn(file.path.c_str(), name.c_str());
    if (colour == -1 && fndErrorStatus != KRO_ERR_COLOR_NAME) std::abort();
    if (colour != -1 && fndErrorStatus != 0) std::abort();
    return 0;
}
