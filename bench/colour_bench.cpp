// Times KroConvImage on a picture read from a BMP file: the median of several
// runs, in seconds, for each job given as its colour options in one word
// ("-colortype Palette").
// Usage: colour_bench FILE.bmp RUNS "OPTIONS"...
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "kro/kro.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: colour_bench FILE.bmp RUNS OPTIONS...\n");
        return 2;
    }
    FILE* f = std::fopen(argv[1], "rb");
    if (!f) return 1;
    RsImage src{};
    int32_t photometric, res[2];
    unsigned char palette[KRO_PALETTE_SIZE];
    if (KroBMPToRsImage(f, &src, &photometric, res, palette) != 0) {
        std::fprintf(stderr, "colour_bench: status %d\n", int(fndErrorStatus));
        return 1;
    }
    std::fclose(f);
    const int runs = std::atoi(argv[2]);
    for (int a = 3; a < argc; ++a) {
        std::vector<std::string> words;
        std::istringstream in(argv[a]);
        for (std::string w; in >> w;) words.push_back(w);
        std::vector<char*> args;
        for (std::string& w : words) args.push_back(w.data());
        args.push_back(nullptr);
        int32_t n = int32_t(words.size());
        kroInitOption();
        if (KroGetOption(&n, args.data()) != 0 || n != 0) {
            std::fprintf(stderr, "colour_bench: bad options '%s'\n", argv[a]);
            return 2;
        }
        std::vector<double> times;
        for (int r = 0; r < runs; ++r) {
            RsImage dst{};
            int32_t dstPhotometric;
            unsigned char dstPalette[KRO_PALETTE_SIZE];
            auto t0 = std::chrono::steady_clock::now();
            if (KroConvImage(&src, photometric, palette, &dst, &dstPhotometric, dstPalette) != 0) {
                std::fprintf(stderr, "colour_bench: status %d\n", int(fndErrorStatus));
                return 1;
            }
            times.push_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
            std::free(dst.data);
        }
        std::sort(times.begin(), times.end());
        std::printf("%s\t%.4f\n", argv[a], times[times.size() / 2]);
    }
    std::free(src.data);
    return 0;
}
