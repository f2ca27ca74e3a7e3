// BMP files to one PostScript document, a page each, as a whole program, so
// that it can be timed against other converters until kro writes PostScript.
// Usage: ps_convert IN.bmp... OUT.ps
#include <cstdio>
#include <cstdlib>

#include "kro/kro.h"

static int failed(const char* what) {
    std::fprintf(stderr, "ps_convert: %s: status %d\n", what, int(fndErrorStatus));
    return 1;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: ps_convert IN.bmp... OUT.ps\n");
        return 2;
    }
    FILE* out = std::fopen(argv[argc - 1], "wb");
    if (!out || KroPutPSHeader(out, "ps_convert", argv[1]) != 0) return failed(argv[argc - 1]);
    for (int a = 1; a < argc - 1; ++a) {
        FILE* in = std::fopen(argv[a], "rb");
        RsImage im{};
        int32_t photometric, res[2];
        unsigned char palette[KRO_PALETTE_SIZE];
        if (!in || KroBMPToRsImage(in, &im, &photometric, res, palette) != 0)
            return failed(argv[a]);
        std::fclose(in);
        if (res[0] < 1 || res[1] < 1) res[0] = res[1] = 72;
        if (KroRsImageToPS(out, &im, palette, photometric, res[0], res[1]) != 0)
            return failed(argv[a]);
        std::free(im.data);
    }
    if (KroPutPSFooter(out) != 0 || std::fclose(out) != 0) return failed(argv[argc - 1]);
    return 0;
}
