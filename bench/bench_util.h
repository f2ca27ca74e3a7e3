// What the in-process benchmark programs share: reading the input picture and
// taking the median of timed runs.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "kro/kro.h"

namespace bench {

// The BMP file at path, or false after saying why (program names the caller).
struct Input {
    RsImage image{};
    int32_t photometric = 0, resolution[2] = {0, 0};
    unsigned char palette[KRO_PALETTE_SIZE] = {};
};
inline bool readBmp(const char* program, const char* path, Input* in) {
    FILE* f = std::fopen(path, "rb");
    if (!f) {
        std::perror(path);
        return false;
    }
    const int32_t rc =
        KroBMPToRsImage(f, &in->image, &in->photometric, in->resolution, in->palette);
    std::fclose(f);
    if (rc != 0) std::fprintf(stderr, "%s: %s: status %d\n", program, path, int(fndErrorStatus));
    return rc == 0;
}

// The median time, in seconds, of runs calls of job (which returns false to stop).
template <typename Job>
bool medianSeconds(int runs, Job job, double* median) {
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        if (!job()) return false;
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(times.begin(), times.end());
    *median = times.empty() ? 0 : times[times.size() / 2];
    return true;
}

}  // namespace bench
