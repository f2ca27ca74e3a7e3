// Fuzz target: the option parser on an argument vector made of the input's
// words (split at NUL and newline). Whatever it takes out, what it leaves must
// be the other arguments in their order, and a failure must leave a code.
// Bad samples: options-*
// Max length: 1024
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "kro/kro.h"

namespace {
constexpr size_t kMostWords = 64;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    std::vector<char*> argv;
    char* word = text.data();
    for (size_t i = 0; i < text.size() && argv.size() < kMostWords; ++i) {
        if (text[i] != '\0' && text[i] != '\n') continue;
        text[i] = '\0';
        argv.push_back(word);
        word = text.data() + i + 1;
    }
    const std::vector<char*> given = argv;
    argv.push_back(nullptr);  // as a host's vector ends

    kroInitOption();
    fndErrorStatus = 0;
    int32_t argc = int32_t(given.size());
    const int32_t rc = KroGetOption(&argc, argv.data());
    if (rc != 0 && (rc != -1 || fndErrorStatus == 0)) std::abort();
    if (argc < 0 || size_t(argc) > given.size()) std::abort();
    // The arguments left are a subsequence of those given.
    size_t at = 0;
    for (int32_t i = 0; i < argc; ++i) {
        at = size_t(std::find(given.begin() + long(at), given.end(), argv[size_t(i)]) - given.begin());
        if (at == given.size()) std::abort();
        ++at;
    }
    // Text options point into the vector's words, which go now.
    kroInitOption();
    return 0;
}
