// Fuzz target: the option-file reader on arbitrary bytes.
// Bad samples: optfile-*
// Max length: 12000
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "options/options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!f) return 0;
    char* first = kro::kroReadOptionFile(f);
    if (first && first != static_cast<char*>(KRO_FAILED_PTR)) std::free(first);
    std::fclose(f);
    return 0;
}
