// The raster image record and the byte swaps.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "core/image.h"
#include "core/pixels.h"
#include "kro/pixo.h"
#include "test_util.h"

TEST(Swab, ShortAndLongReverse) {
    unsigned char s[2] = {1, 2}, l[4] = {1, 2, 3, 4};
    KroSwabShort(s);
    KroSwabLong(l);
    EXPECT_EQ(0, std::memcmp(s, "\x02\x01", 2));
    EXPECT_EQ(0, std::memcmp(l, "\x04\x03\x02\x01", 4));
}

TEST(Photometric, FromPalette) {
    unsigned char pal[768] = {};
    for (int i = 0; i < 256; ++i) pal[i] = pal[256 + i] = pal[512 + i] = uint8_t(255 - i);
    EXPECT_EQ(kro::photometricFromPalette(8, pal, 256), KRO_PHOTO_WHITE_IS_ZERO);
    for (int i = 0; i < 256; ++i) pal[i] = pal[256 + i] = pal[512 + i] = uint8_t(i);
    EXPECT_EQ(kro::photometricFromPalette(8, pal, 256), KRO_PHOTO_BLACK_IS_ZERO);
    pal[40] = 10, pal[256 + 40] = 10, pal[512 + 40] = 11;
    EXPECT_EQ(kro::photometricFromPalette(8, pal, 256), KRO_PHOTO_PALETTE);
    // Only the colours read count, and a bilevel picture looks at entry 0 only.
    EXPECT_EQ(kro::photometricFromPalette(8, pal, 40), KRO_PHOTO_BLACK_IS_ZERO);
    EXPECT_EQ(kro::photometricFromPalette(1, pal, 2), KRO_PHOTO_BLACK_IS_ZERO);
    EXPECT_EQ(kro::photometricFromPalette(24, pal, 0), KRO_PHOTO_RGB);
}

TEST(PixelKernels, SwapRB24MatchesPlainLoopAtEveryLength) {
    std::vector<unsigned char> src(3 * 70), dst(3 * 70 + 3, 0xEE);
    for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t(i * 7 + 3);
    for (size_t count : {0, 1, 5, 15, 16, 17, 31, 32, 33, 48, 70}) {
        std::fill(dst.begin(), dst.end(), 0xEE);
        kro::swapRB24(dst.data(), src.data(), count);
        for (size_t p = 0; p < count; ++p) {
            ASSERT_EQ(dst[3 * p], src[3 * p + 2]) << count << " " << p;
            ASSERT_EQ(dst[3 * p + 1], src[3 * p + 1]);
            ASSERT_EQ(dst[3 * p + 2], src[3 * p]);
        }
        EXPECT_EQ(dst[3 * count], 0xEE) << "wrote past the last pixel";
        // In place gives the same bytes.
        std::vector<unsigned char> inPlace(src.begin(), src.begin() + long(3 * count));
        kro::swapRB24(inPlace.data(), inPlace.data(), count);
        EXPECT_TRUE(std::equal(inPlace.begin(), inPlace.end(), dst.begin()));
    }
}

namespace {
// Resident bytes of this process, from /proc/self/statm; 0 when unknown.
size_t residentBytes() {
#ifdef _WIN32
    return 0;  // no statm
#else
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    unsigned long size = 0, resident = 0;
    const bool ok = std::fscanf(f, "%lu %lu", &size, &resident) == 2;
    std::fclose(f);
    return ok ? size_t(resident) * size_t(sysconf(_SC_PAGESIZE)) : 0;
#endif
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;  // shadow memory grows with every buffer
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

bool hugePagesAlways() {
    FILE* f = std::fopen("/sys/kernel/mm/transparent_hugepage/enabled", "r");
    if (!f) return false;
    char line[128] = {};
    const bool got = std::fgets(line, sizeof line, f) != nullptr;
    std::fclose(f);
    return got && std::strstr(line, "[always]") != nullptr;
}
}  // namespace

// Buffers on both sides of the sizes where huge pages start, filled whole:
// every byte is writable, and a picture a little over a whole number of huge
// pages does not keep a mostly empty huge page resident.
TEST(PixelKernels, AllocPixelsHoldsTheBytesAndNoMore) {
    constexpr size_t kMiB = size_t(1) << 20;
    for (size_t n : {size_t(1), 2 * kMiB - 1, 4 * kMiB - 1, 4 * kMiB, 4 * kMiB + 350 * 1024,
                     17 * kMiB + 5}) {
        const size_t before = residentBytes();
        unsigned char* p = kro::allocPixels(n);
        ASSERT_NE(p, nullptr) << n;
        std::memset(p, 0x5A, n);
        const size_t grown = residentBytes() - before;
        EXPECT_EQ(p[n - 1], 0x5A);
        // Under "always" the kernel may put any aligned 2 MiB on a huge page.
        if (before && n >= 4 * kMiB && !kSanitized && !hugePagesAlways()) {
            EXPECT_LT(grown, n + kMiB) << n << " bytes made " << grown << " resident";
        }
        std::free(p);
    }
}

// A record whose size is one byte short of its rows, its buffer exactly that
// long: every entry point that takes a raster record refuses it before it
// reads or writes a row (the sanitizer build catches a read past the buffer).
TEST(RasterSize, ShortSizeIsRefusedEverywhere) {
    struct Short {
        RsImage im{};
        explicit Short(int32_t depth) {
            im.width = 16, im.height = 4, im.depth = depth, im.format = KRO_FORMAT_RAW;
            im.validWidth = 16, im.validHeight = 4;
            im.size = int32_t(kro::rowBytes(16, depth) * 4 - 1);
            im.data = static_cast<unsigned char*>(std::calloc(size_t(im.size), 1));
        }
        ~Short() { std::free(im.data); }
    };
    Short gray(8), rgb(24), bits(1);
    kt::Image full(16, 4, 8), fullBits(16, 4, 1), big(32, 8, 8);
    unsigned char palette[768] = {}, outPalette[768];
    const int32_t dpi[2] = {300, 300}, noDpi[2] = {-1, -1};
    CalsHeader h{};
    h.rtype = 1, h.lineProgression = 270, h.pelsPerLine = 16, h.numLines = 4, h.rdensity = 300;
    kt::TempFile written;
    FILE* f = written.get();
    RsImage out{};
    int32_t photometric = 0, status = 0, used = 0;
    const std::pair<const char*, std::function<int32_t()>> calls[] = {
        {"BMP", [&] { return KroRsImageToBMP(f, &gray.im, 0, 300, 1, palette); }},
        {"PCX", [&] { return KroRsImageToPCX(f, &rgb.im, KRO_PHOTO_RGB, dpi, palette); }},
        {"JPEG", [&] { return KroRsImageToJPEG(f, &rgb.im, KRO_PHOTO_RGB, noDpi, 75); }},
        {"PS", [&] { return KroRsImageToPS(f, &gray.im, palette, 1, 300, 300); }},
        {"CALS out", [&] { return KroRsImageToCals(f, &h, &bits.im); }},
        {"CALS in", [&] { return KroCalsToRsImage(f, &h, &bits.im); }},
        {"ConvImage",
         [&] { return KroConvImage(&rgb.im, 2, palette, &out, &photometric, outPalette); }},
        {"ConvSize from", [&] { return KroConvSize(&gray.im, 16, 4, &big.im, 32, 8); }},
        {"ConvSize into", [&] { return KroConvSize(&big.im, 32, 8, &gray.im, 16, 4); }},
    };
    for (const auto& [name, call] : calls) {
        fndErrorStatus = 0;
        EXPECT_EQ(call(), -1) << name;
        EXPECT_EQ(fndErrorStatus, KRO_ERR_SIZE) << name;
    }
    EXPECT_TRUE(written.contents().empty());  // nothing was written

    // The raster-processing library refuses it with its own code.
    const int32_t pixo[] = {
        GfxZoom(&gray.im, 0, 0, 16, 4, &big.im, 0, 0, 32, 8, &status),
        GfxRedu(&big.im, 0, 0, 32, 8, &gray.im, 0, 0, 16, 4, &status),
        GfxRbyt(&bits.im, 0, 0, 16, 4, &status),
        GfxRt90(&gray.im, 0, 0, 16, 4, &full.im, 0, 0, 180, &status),
        GfxMdsp(&gray.im, 0, 0, 16, 4, KRO_PHOTO_BLACK_IS_ZERO, palette, &fullBits.im, 0, 0, 0, 0,
                &status),
        GfxCtog(&rgb.im, 0, 0, 16, 4, palette, &full.im, 0, 0, 0, &status),
        GfxCdsp(&rgb.im, 0, 0, 16, 4, 256, 0, &full.im, 0, 0, outPalette, &status),
        GfxPlet(&rgb.im, 0, 0, 16, 4, KRO_PHOTO_RGB, palette, 256, 0, &full.im, 0, 0, outPalette,
                &used, &status),
        GfxEncd(&bits.im, 0, 0, 16, 4, &full.im, 4, &status),
    };
    for (size_t i = 0; i < std::size(pixo); ++i) EXPECT_EQ(pixo[i], -1) << i;
}
