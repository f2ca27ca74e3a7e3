// The kernels behind the file jobs, one Google Benchmark each, with the bytes
// of picture (or plot text) they go through per second. Pictures are made
// here: a smooth RGB picture with grain (photograph-like), its gray version,
// and an A4 page of text-like strokes at 300 dpi.
// The last two time the HP-GL subsystem: the extents walk and line drawing.
// Usage: kernels_bench [--benchmark_filter=REGEX] [--benchmark_min_time=S]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/ps.h"
#include "core/pixels.h"
#include "kro/gdi.h"
#include "kro/kro.h"
#include "kro/pixo.h"

namespace {

constexpr int32_t kW = 1500, kH = 1000;          // colour and gray pictures
constexpr int32_t kPageW = 2480, kPageH = 3504;  // A4 at 300 dpi

struct Rng {
    uint32_t s = 12345;
    uint32_t next() { return s = s * 1664525u + 1013904223u; }
};

// A raw picture that owns its bytes.
struct Picture {
    std::vector<unsigned char> bytes;
    RsImage im{};
    Picture(int32_t w, int32_t h, int32_t depth) {
        const int32_t stored = depth == 1 ? (w + 7) / 8 * 8 : w;
        bytes.assign(size_t(stored) * size_t(h) * size_t(depth) / 8, 0);
        im.width = stored;
        im.height = h;
        im.size = int32_t(bytes.size());
        im.format = KRO_FORMAT_RAW;
        im.depth = depth;
        im.data = bytes.data();
        im.validWidth = w;
        im.validHeight = h;
    }
    int64_t size() const { return int64_t(bytes.size()); }
};

const Picture& photo() {
    static const Picture p = [] {
        Picture q(kW, kH, 24);
        Rng r;
        for (int32_t y = 0; y < kH; ++y)
            for (int32_t x = 0; x < kW; ++x) {
                unsigned char* px = q.bytes.data() + (size_t(y) * kW + x) * 3;
                const double u = x / double(kW), v = y / double(kH);
                const int grain = int(r.next() >> 28) - 8;
                px[0] = (unsigned char)std::clamp(int(128 + 100 * std::sin(6 * u + 2 * v)) + grain,
                                                  0, 255);
                px[1] = (unsigned char)std::clamp(int(128 + 100 * std::cos(4 * v - 3 * u)) + grain,
                                                  0, 255);
                px[2] = (unsigned char)std::clamp(int(255 * u * v) + grain, 0, 255);
            }
        return q;
    }();
    return p;
}

const Picture& gray() {
    static const Picture p = [] {
        Picture q(kW, kH, 8);
        const unsigned char* s = photo().bytes.data();
        for (size_t i = 0; i < q.bytes.size(); ++i)
            q.bytes[i] =
                (unsigned char)((299 * s[3 * i] + 587 * s[3 * i + 1] + 114 * s[3 * i + 2]) / 1000);
        return q;
    }();
    return p;
}

// Lines of text-like strokes: runs of black 2 to 9 pels with gaps, 30 rows
// tall, one line every 50 rows, margins of 150 pels. 1 is black.
const Picture& page() {
    static const Picture p = [] {
        Picture q(kPageW, kPageH, 1);
        Rng r;
        const size_t stride = size_t(q.im.width) / 8;
        for (int32_t top = 150; top + 30 < kPageH - 150; top += 50) {
            std::vector<unsigned char> pattern(stride, 0);
            for (int32_t x = 150; x < kPageW - 150;) {
                const int32_t run = 2 + int32_t(r.next() >> 29) * 1;
                for (int32_t i = 0; i < run && x + i < kPageW - 150; ++i)
                    pattern[size_t(x + i) / 8] |= (unsigned char)(0x80 >> ((x + i) % 8));
                x += run + 2 + int32_t(r.next() >> 28);
            }
            for (int32_t y = top; y < top + 30; ++y) {
                // Strokes change every few rows, as glyphs do.
                if ((y - top) % 6 == 0)
                    for (size_t b = 0; b < stride; ++b)
                        pattern[b] ^= (unsigned char)(r.next() >> 24) & 0x11;
                std::memcpy(q.bytes.data() + size_t(y) * stride, pattern.data(), stride);
            }
        }
        return q;
    }();
    return p;
}

void checkOk(benchmark::State& state, int32_t rc, int32_t status) {
    if (rc != 0) state.SkipWithError(("status " + std::to_string(status)).c_str());
}

// ---- Group 4 --------------------------------------------------------------

std::vector<unsigned char> g4Buffer(const Picture& src) {
    return std::vector<unsigned char>(size_t(src.size()) * 2 + 4096);
}

void BM_G4Encode(benchmark::State& state) {
    const Picture& src = page();
    std::vector<unsigned char> buf = g4Buffer(src);
    RsImage coded{};
    coded.format = KRO_FORMAT_G4;
    coded.data = buf.data();
    coded.size = int32_t(buf.size());
    for (auto _ : state) {
        int32_t status = 0;
        checkOk(state, GfxEncd(&src.im, 0, 0, kPageW, kPageH, &coded, GFX_CODING_G4, &status),
                status);
        benchmark::DoNotOptimize(coded.codedLength);
    }
    state.SetBytesProcessed(state.iterations() * src.size());
    state.counters["coded_bytes"] = coded.codedLength;
}
BENCHMARK(BM_G4Encode)->Unit(benchmark::kMillisecond);

void BM_G4Decode(benchmark::State& state) {
    const Picture& src = page();
    std::vector<unsigned char> buf = g4Buffer(src);
    RsImage coded{};
    coded.format = KRO_FORMAT_G4;
    coded.data = buf.data();
    coded.size = int32_t(buf.size());
    int32_t status = 0;
    if (GfxEncd(&src.im, 0, 0, kPageW, kPageH, &coded, GFX_CODING_G4, &status) != 0) {
        state.SkipWithError("encode failed");
        return;
    }
    Picture dst(kPageW, kPageH, 1);
    for (auto _ : state) {
        checkOk(state, GfxDecd(&coded, coded.codedLength, &dst.im, 0, 0, kPageW, kPageH, &status),
                status);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * src.size());
}
BENCHMARK(BM_G4Decode)->Unit(benchmark::kMillisecond);

// ---- Geometry -------------------------------------------------------------

// Rotation by a quarter turn; argument: depth (1: the page, 8, 24).
void BM_Rotate90(benchmark::State& state) {
    const int32_t depth = int32_t(state.range(0));
    const Picture& src = depth == 1 ? page() : depth == 8 ? gray() : photo();
    const int32_t w = src.im.validWidth, h = src.im.validHeight;
    Picture dst(h, w, depth);
    for (auto _ : state) {
        int32_t status = 0;
        checkOk(state, GfxRt90(&src.im, 0, 0, w, h, &dst.im, 0, 0, 90, &status), status);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * src.size());
}
BENCHMARK(BM_Rotate90)->Arg(1)->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond);

// Area-averaging reduction to half size of the RGB picture.
void BM_ReduceHalf(benchmark::State& state) {
    const Picture& src = photo();
    Picture dst(kW / 2, kH / 2, 24);
    for (auto _ : state) {
        int32_t status = 0;
        checkOk(state, GfxRedu(&src.im, 0, 0, kW, kH, &dst.im, 0, 0, kW / 2, kH / 2, &status),
                status);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * src.size());
}
BENCHMARK(BM_ReduceHalf)->Unit(benchmark::kMillisecond);

// Bilinear enlargement to double size; bytes are those written.
void BM_ZoomDouble(benchmark::State& state) {
    const Picture& src = photo();
    Picture dst(kW * 2, kH * 2, 24);
    for (auto _ : state) {
        int32_t status = 0;
        checkOk(state, GfxZoom(&src.im, 0, 0, kW, kH, &dst.im, 0, 0, kW * 2, kH * 2, &status),
                status);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * dst.size());
}
BENCHMARK(BM_ZoomDouble)->Unit(benchmark::kMillisecond);

// ---- Colour ---------------------------------------------------------------

void BM_Gamma(benchmark::State& state) {
    Picture im = photo();
    im.im.data = im.bytes.data();
    for (auto _ : state) {
        int32_t status = 0;
        checkOk(state, GfxGtbl(&im.im, KRO_PHOTO_RGB, nullptr, 2.2, &im.im, nullptr, &status),
                status);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * im.size());
}
BENCHMARK(BM_Gamma)->Unit(benchmark::kMillisecond);

void BM_RgbToGray(benchmark::State& state) {
    const Picture& src = photo();
    Picture dst(kW, kH, 8);
    for (auto _ : state) {
        int32_t status = 0;
        checkOk(state, GfxCtog(&src.im, 0, 0, kW, kH, nullptr, &dst.im, 0, 0, 0, &status), status);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * src.size());
}
BENCHMARK(BM_RgbToGray)->Unit(benchmark::kMillisecond);

// Gray to bilevel; argument: the GFX_DITHER_* method.
void BM_Dither(benchmark::State& state) {
    const Picture& src = gray();
    Picture dst(kW, kH, 1);
    const int32_t method = int32_t(state.range(0));
    for (auto _ : state) {
        int32_t status = 0;
        checkOk(state,
                GfxMdsp(&src.im, 0, 0, kW, kH, KRO_PHOTO_BLACK_IS_ZERO, nullptr, &dst.im, 0, 0, 1,
                        method, &status),
                status);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * src.size());
}
BENCHMARK(BM_Dither)
    ->ArgName("method")
    ->Arg(GFX_DITHER_THRESHOLD)
    ->Arg(GFX_DITHER_FLOYD)
    ->Arg(GFX_DITHER_BAYER8)
    ->Arg(GFX_DITHER_ATKINSON)
    ->Arg(GFX_DITHER_STUCKI)
    ->Unit(benchmark::kMillisecond);

// RGB to 216 colours (Wu's cuts and the nearest-colour mapping).
void BM_Quantise216(benchmark::State& state) {
    const Picture& src = photo();
    Picture dst(kW, kH, 8);
    unsigned char palette[KRO_PALETTE_SIZE];
    for (auto _ : state) {
        int32_t status = 0;
        checkOk(state, GfxCdsp(&src.im, 0, 0, kW, kH, 216, 0, &dst.im, 0, 0, palette, &status),
                status);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * src.size());
}
BENCHMARK(BM_Quantise216)->Unit(benchmark::kMillisecond);

// ---- File coders ----------------------------------------------------------

FILE* nullStream() {
    static FILE* f = std::fopen("/dev/null", "wb");
    return f;
}

// A quantised copy of the photograph with its palette, for the palette coders.
struct PalettePicture {
    Picture pic{kW, kH, 8};
    unsigned char palette[KRO_PALETTE_SIZE]{};
};
const PalettePicture& palettePhoto() {
    static const PalettePicture p = [] {
        PalettePicture q;
        int32_t status = 0;
        GfxCdsp(&photo().im, 0, 0, kW, kH, 216, 0, &q.pic.im, 0, 0, q.palette, &status);
        return q;
    }();
    return p;
}

// PostScript page, hex text (RGB: argument 24) or run-length groups (palette: 8).
void BM_PSWrite(benchmark::State& state) {
    const bool rgb = state.range(0) == 24;
    const Picture& src = rgb ? photo() : palettePhoto().pic;
    unsigned char palette[KRO_PALETTE_SIZE];
    std::memcpy(palette, palettePhoto().palette, sizeof palette);
    for (auto _ : state)
        checkOk(state,
                KroRsImageToPS(nullStream(), &src.im, palette,
                               rgb ? KRO_PHOTO_RGB : KRO_PHOTO_PALETTE, 300, 300),
                fndErrorStatus);
    state.SetBytesProcessed(state.iterations() * src.size());
}
BENCHMARK(BM_PSWrite)->ArgName("depth")->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_PSPackRow(benchmark::State& state) {
    const Picture& src = palettePhoto().pic;
    std::vector<unsigned char> out(size_t(kW) * 2);
    for (auto _ : state)
        for (int32_t y = 0; y < kH; ++y)
            benchmark::DoNotOptimize(
                kro::psPackRow(src.bytes.data() + size_t(y) * kW, kW, out.data()));
    state.SetBytesProcessed(state.iterations() * src.size());
}
BENCHMARK(BM_PSPackRow)->Unit(benchmark::kMillisecond);

void BM_SwapRB24(benchmark::State& state) {
    const Picture& src = photo();
    std::vector<unsigned char> out(src.bytes.size());
    for (auto _ : state) {
        kro::swapRB24(out.data(), src.bytes.data(), size_t(kW) * kH);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * src.size());
}
BENCHMARK(BM_SwapRB24)->Unit(benchmark::kMillisecond);

// One picture written to a file and read back, as the run-length (PCX) and
// row (BMP) coders see it; the file stays in the page cache.
enum Codec { kPcx, kBmp };
int32_t writePicture(Codec c, FILE* f, const Picture& src, int32_t photometric,
                     unsigned char* palette) {
    const int32_t res[2] = {300, 300};
    return c == kPcx ? KroRsImageToPCX(f, &src.im, photometric, res, palette)
                     : KroRsImageToBMP(f, &src.im, 0, 300, photometric, palette);
}

// Arguments: codec, depth (24: the photograph, 8: its 216 colours).
void codecCases(benchmark::internal::Benchmark* b) {
    b->ArgNames({"pcx0_bmp1", "depth"});
    for (int64_t codec : {kPcx, kBmp})
        for (int64_t depth : {24, 8}) b->Args({codec, depth});
}

// The picture of a codec case, with its palette (kept for the readers to fill).
struct CodecCase {
    Codec c;
    bool rgb;
    const Picture& src;
    unsigned char palette[KRO_PALETTE_SIZE];
    explicit CodecCase(const benchmark::State& state)
        : c(Codec(state.range(0))),
          rgb(state.range(1) == 24),
          src(rgb ? photo() : palettePhoto().pic) {
        std::memcpy(palette, palettePhoto().palette, sizeof palette);
    }
};

void BM_FileWrite(benchmark::State& state) {
    CodecCase k(state);
    for (auto _ : state) {
        std::rewind(nullStream());
        checkOk(state,
                writePicture(k.c, nullStream(), k.src, k.rgb ? KRO_PHOTO_RGB : KRO_PHOTO_PALETTE,
                             k.palette),
                fndErrorStatus);
    }
    state.SetBytesProcessed(state.iterations() * k.src.size());
}
BENCHMARK(BM_FileWrite)->Apply(codecCases)->Unit(benchmark::kMillisecond);

void BM_FileRead(benchmark::State& state) {
    CodecCase k(state);
    FILE* f = std::tmpfile();
    if (!f ||
        writePicture(k.c, f, k.src, k.rgb ? KRO_PHOTO_RGB : KRO_PHOTO_PALETTE, k.palette) != 0) {
        state.SkipWithError("could not write the picture");
        if (f) std::fclose(f);
        return;
    }
    for (auto _ : state) {
        std::rewind(f);
        RsImage im{};
        int32_t photometric, res[2];
        const int32_t rc = k.c == kPcx ? KroPCXToRsImage(f, &im, &photometric, res, k.palette)
                                       : KroBMPToRsImage(f, &im, &photometric, res, k.palette);
        checkOk(state, rc, fndErrorStatus);
        std::free(im.data);
    }
    std::fclose(f);
    state.SetBytesProcessed(state.iterations() * k.src.size());
}
BENCHMARK(BM_FileRead)->Apply(codecCases)->Unit(benchmark::kMillisecond);

// ---- HP-GL ----------------------------------------------------------------

// The extents walk over 50,000 polylines of the shape bench/gen_polylines.sh
// writes; bytes are those of the plot text.
void BM_HpglWalk(benchmark::State& state) {
    static const std::string text = [] {
        std::string t = "IN;SP1;";
        Rng r;
        char line[96];
        for (int i = 0; i < 50000; ++i) {
            const int x = 1000 + int(r.next() % 9000), y = 1000 + int(r.next() % 9000);
            std::snprintf(line, sizeof line, "PU%d,%d;PD%d,%d,%d,%d;", x, y, x + 37, y + 11, x + 5,
                          y + 61);
            t += line;
        }
        return t + "PU;SP0;";
    }();
    for (auto _ : state) {
        double xMax, yMax, xMin, yMin;
        checkOk(state,
                Kro_MAX_MIN(text.data(), int32_t(text.size()), 0, 0, nullptr, &xMax, &yMax, &xMin,
                            &yMin),
                fndErrorStatus);
        benchmark::DoNotOptimize(xMax);
    }
    state.SetBytesProcessed(state.iterations() * int64_t(text.size()));
}
BENCHMARK(BM_HpglWalk)->Unit(benchmark::kMillisecond);

// Line drawing on a 300 dpi image page, as the plot above lands on it:
// 50,000 polylines of two segments, pen 1 pixel wide (the default) and 4
// wide (round caps and joins). Items are polylines, drawn over the same page
// each round.
void BM_LineDraw(benchmark::State& state) {
    constexpr int32_t side = 2700;
    HDC dc = KroGdiCreateDevice(KRO_GDI_IMAGE, side, side, 300, nullptr, 0);
    HPEN pen = CreatePen(PS_SOLID, int(state.range(0)), 0);
    if (!dc || !pen) {
        state.SkipWithError("no device");
        return;
    }
    SelectObject(dc, pen);
    std::vector<POINT> lines;
    Rng r;
    for (int i = 0; i < 50000; ++i) {
        const int x = 295 + int(r.next() % 2360), y = 295 + int(r.next() % 2360);
        lines.insert(lines.end(), {{x, y}, {x + 11, y + 3}, {x + 1, y + 18}});
    }
    for (auto _ : state) {
        for (size_t i = 0; i < lines.size(); i += 3) {
            MoveToEx(dc, lines[i].x, lines[i].y, nullptr);
            PolylineTo(dc, &lines[i + 1], 2);
        }
        int32_t w, h, stride;
        benchmark::DoNotOptimize(KroGdiPixels(dc, &w, &h, &stride));
    }
    state.SetItemsProcessed(state.iterations() * int64_t(lines.size() / 3));
    DeleteDC(dc);
    DeleteObject(pen);
}
BENCHMARK(BM_LineDraw)->ArgName("pen")->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
