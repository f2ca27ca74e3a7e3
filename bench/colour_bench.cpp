// Times KroConvImage on a picture read from a BMP file: the median of several
// runs, in seconds, for each job given as its colour options in one word
// ("-colortype Palette").
// Usage: colour_bench FILE.bmp RUNS "OPTIONS"...
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "kro/kro.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: colour_bench FILE.bmp RUNS OPTIONS...\n");
        return 2;
    }
    bench::Input input;
    if (!bench::readBmp("colour_bench", argv[1], &input)) return 1;
    RsImage& src = input.image;
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
        const auto convert = [&] {
            RsImage dst{};
            int32_t dstPhotometric;
            unsigned char dstPalette[KRO_PALETTE_SIZE];
            const bool ok = KroConvImage(&src, input.photometric, input.palette, &dst,
                                         &dstPhotometric, dstPalette) == 0;
            std::free(dst.data);
            return ok;
        };
        double median;
        if (!bench::medianSeconds(runs, convert, &median)) {
            std::fprintf(stderr, "colour_bench: status %d\n", int(fndErrorStatus));
            return 1;
        }
        std::printf("%s\t%.4f\n", argv[a], median);
    }
    std::free(src.data);
    return 0;
}
