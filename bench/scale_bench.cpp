// Times KroConvSize on a picture read from a BMP file: the median of several
// runs, in seconds, for each destination size given as a percentage.
// The destination is allocated as kro allocates its pictures (huge pages for
// large ones), so the first call's page faults are those a host pays.
// Usage: scale_bench FILE.bmp RUNS PERCENT...
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/bench_util.h"
#include "core/pixels.h"
#include "kro/kro.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: scale_bench FILE.bmp RUNS PERCENT...\n");
        return 2;
    }
    bench::Input input;
    if (!bench::readBmp("scale_bench", argv[1], &input)) return 1;
    const RsImage& src = input.image;
    const int runs = std::atoi(argv[2]);
    for (int a = 3; a < argc; ++a) {
        const int percent = std::atoi(argv[a]);
        RsImage dst{};
        dst.validWidth = src.validWidth * percent / 100;
        dst.width = src.depth == 1 ? (dst.validWidth + 7) / 8 * 8 : dst.validWidth;
        dst.height = dst.validHeight = src.validHeight * percent / 100;
        dst.depth = src.depth;
        dst.format = KRO_FORMAT_RAW;
        const size_t bytes = size_t(dst.depth) * size_t(dst.width) * size_t(dst.height) / 8;
        dst.size = int32_t(bytes);
        dst.data = kro::allocPixels(bytes);
        if (!dst.data) return 1;
        const auto scale = [&] {
            return KroConvSize(&src, src.validWidth, src.validHeight, &dst, dst.validWidth,
                               dst.validHeight) == 0;
        };
        double median;
        if (!bench::medianSeconds(runs, scale, &median)) {
            std::fprintf(stderr, "scale_bench: status %d\n", int(fndErrorStatus));
            return 1;
        }
        std::printf("%d\t%.4f\n", percent, median);
        std::free(dst.data);
    }
    std::free(src.data);
    return 0;
}
