// JPEG reading and writing: interop with libjpeg-turbo's own tools, density,
// argument checks, hostile and bad files.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <thread>
#endif
#include <gtest/gtest.h>

#include <cstring>

#include "test_util.h"

namespace {

using kt::Bytes;

struct Read : kt::Decoded {
    explicit Read(FILE* f) { rc = KroJPEGToRsImage(f, &im, &photometric, res); }
    explicit Read(const Bytes& b) : Read(kt::TempFile(b).get()) {}
};

Bytes writeJpeg(const RsImage& im, int32_t photometric, int32_t res = -1, int32_t quality = 75) {
    kt::TempFile f;
    const int32_t pair[2] = {res, res};
    EXPECT_EQ(KroRsImageToJPEG(f.get(), &im, photometric, pair, quality), 0);
    return f.contents();
}

std::string tempPath(const std::string& name) {
    return testing::TempDir() + "kro-jpeg-" + name;
}

// Pixels of the PGM or PPM that djpeg wrote (a header of three lines).
Bytes pnmPixels(const Bytes& pnm) {
    size_t at = 0;
    for (int lines = 0; lines < 3; ++at) lines += pnm.at(at) == '\n';
    return Bytes(pnm.begin() + long(at), pnm.end());
}

// Files from cjpeg decode exactly as djpeg decodes them (an "F" on a ground,
// so swapped channels or flipped rows show); our files are byte for byte what
// cjpeg writes at the same quality, and djpeg reads them as we do.
TEST(JpegInterop, AgreesWithCjpegAndDjpeg) {
    if (!kt::haveTool("cjpeg") || !kt::haveTool("djpeg")) GTEST_SKIP() << "no cjpeg/djpeg";
    const struct {
        int32_t depth;
        const char* options;
    } cases[] = {{8, "-quality 90 -baseline"}, {24, "-quality 90 -baseline"},
                 {24, "-quality 5 -baseline"}, {24, "-progressive"},
                 {8, "-progressive"},          {24, "-sample 1x1 -restart 1"}};
    const std::string pnm = tempPath("in.pnm"), jpg = tempPath("in.jpg"),
                      ours = tempPath("ours.jpg"), back = tempPath("back.pnm");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.depth) + " " + c.options);
        kt::Image im(61, 35, c.depth);
        kt::drawF(&im);
        kt::writeFile(pnm, kt::pnm(im.im));
        ASSERT_EQ(kt::run(std::string("cjpeg ") + c.options + " " + pnm + " > " + jpg), 0);
        ASSERT_EQ(kt::run("djpeg " + jpg + " > " + back), 0);
        Read r(kt::readFile(jpg));
        ASSERT_EQ(r.rc, 0);
        EXPECT_EQ(r.photometric, c.depth == 8 ? KRO_PHOTO_BLACK_IS_ZERO : KRO_PHOTO_RGB);
        EXPECT_EQ(r.im.depth, c.depth);
        EXPECT_EQ(r.im.validWidth, 61);
        EXPECT_EQ(r.im.validHeight, 35);
        EXPECT_EQ(r.res[0], -1);
        EXPECT_EQ(r.pixels(), pnmPixels(kt::readFile(back)));

        int quality = 75;
        std::sscanf(c.options, "-quality %d", &quality);
        kt::writeFile(ours, writeJpeg(im.im, r.photometric, -1, quality));
        EXPECT_TRUE(!std::strstr(c.options, "-baseline") || kt::readFile(ours) == kt::readFile(jpg))
            << "the same calls give the same bytes";
        ASSERT_EQ(kt::run("djpeg " + ours + " > " + back), 0);
        EXPECT_EQ(Read(kt::readFile(ours)).pixels(), pnmPixels(kt::readFile(back)));
    }
}

// Dots per centimetre read as dots per inch, rounded: 118 is 299.72.
TEST(JpegDensity, WrittenAndReadAsDotsPerInch) {
    kt::Image im(8, 8, 8);
    const Bytes plain = writeJpeg(im.im, KRO_PHOTO_BLACK_IS_ZERO);
    EXPECT_EQ(plain.at(13), 0) << "no resolution keeps libjpeg's default density unit";
    const Bytes dpi = writeJpeg(im.im, KRO_PHOTO_BLACK_IS_ZERO, 200);
    EXPECT_EQ(Bytes(dpi.begin() + 13, dpi.begin() + 18), (Bytes{1, 0, 200, 0, 200}));

    const struct {
        int unit, x, y;
        int32_t res;  // read back in both; 0 when the read fails
    } cases[] = {{1, 300, 300, 300},
                 {1, 65535, 65535, 65535},
                 {0, 300, 300, -1},
                 {2, 118, 118, 300},
                 {2, 59, 59, 150},
                 {2, 1, 1, 3},
                 {2, 300, 150, 0},
                 {1, 300, 150, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.unit * 100000 + c.x);
        Bytes b = plain;
        const int fields[] = {c.unit, c.x >> 8, c.x & 255, c.y >> 8, c.y & 255};
        for (int i = 0; i < 5; ++i) b[size_t(13 + i)] = uint8_t(fields[i]);
        fndErrorStatus = 7;
        Read r(b);
        EXPECT_EQ(r.rc, c.res ? 0 : -1);
        EXPECT_EQ(fndErrorStatus, c.res ? 7 : KRO_ERR_RESOLUTION);
        EXPECT_EQ(r.res[0], c.res ? c.res : 0);
        EXPECT_EQ(r.res[1], c.res ? c.res : 0);
    }
}

TEST(JpegWriter, ChecksItsArgumentsInOrder) {
    kt::Image gray(4, 4, 8), rgb(4, 4, 24);
    RsImage noData = gray.im, wide = gray.im, g4 = gray.im;
    noData.data = nullptr;
    wide.width = 32769;
    g4.format = KRO_FORMAT_G4;
    kt::TempFile f;
    FILE* full = std::fopen("/dev/full", "wb");
    const struct {
        FILE* stream;
        const RsImage* im;
        int32_t photometric, res0, res1, quality, code;
    } cases[] = {
        {nullptr, &gray.im, 1, -1, -1, 75, KRO_ERR_NULL},
        {f.get(), &noData, 1, -1, -1, 75, KRO_ERR_NULL},
        {f.get(), &wide, 9, -5, 3, 500, KRO_ERR_SIZE},
        {f.get(), &g4, 9, -5, 3, 500, KRO_ERR_FORMAT},
        {f.get(), &rgb.im, 1, -1, -1, 75, KRO_ERR_DEPTH},
        {f.get(), &gray.im, 2, -1, -1, 75, KRO_ERR_DEPTH},
        {f.get(), &gray.im, 3, -1, -1, 75, KRO_ERR_PHOTOMETRIC},
        {f.get(), &gray.im, 1, -1, 200, 500, KRO_ERR_RESOLUTION},
        {f.get(), &gray.im, 1, -2, -2, 75, KRO_ERR_RESOLUTION},
        {f.get(), &gray.im, 1, 70000, 70000, 75, KRO_ERR_RESOLUTION},  // would wrap in 16 bits
        {f.get(), &gray.im, 1, -1, -1, 101, KRO_ERR_JPEG_QUALITY},
        {full, &rgb.im, 2, -1, -1, 75, KRO_ERR_IO},
    };
    for (const auto& c : cases) {
        if (!c.stream && c.code != KRO_ERR_NULL) continue;  // no /dev/full here
        SCOPED_TRACE(c.code);
        const int32_t res[2] = {c.res0, c.res1};
        EXPECT_FAILS_WITH(KroRsImageToJPEG(c.stream, c.im, c.photometric, res, c.quality), c.code);
    }
    if (full) std::fclose(full);
    EXPECT_EQ(writeJpeg(gray.im, 1, -1, -1), writeJpeg(gray.im, 1, -1, 75));
    for (int32_t q : {0, 100}) writeJpeg(gray.im, 1, -1, q);
}

// A stream that cannot seek gets no length check, yet a cut file still fails;
// the length check lets a flat picture at the best ratio through.
TEST(JpegReader, PipesAndFlatPictures) {
    kt::Image im(2000, 2000, 24);
    std::memset(im.im.data, 0x80, size_t(im.im.size));
    const Bytes flat = writeJpeg(im.im, KRO_PHOTO_RGB, -1, 0);
    EXPECT_EQ(Read(flat).rc, 0);
    const std::string path = tempPath("pipe.jpg");
    for (size_t keep : {flat.size(), flat.size() / 2}) {
        kt::writeFile(path, Bytes(flat.begin(), flat.begin() + long(keep)));
#ifdef _WIN32
        // No cat: a pipe fed by a thread (cmd's type mangles binary files).
        int ends[2];
        ASSERT_EQ(_pipe(ends, 1 << 16, _O_BINARY), 0);
        const Bytes part(flat.begin(), flat.begin() + long(keep));
        std::thread feeder([&] {
            EXPECT_EQ(_write(ends[1], part.data(), unsigned(part.size())), int(part.size()));
            _close(ends[1]);
        });
        FILE* pipe = _fdopen(ends[0], "rb");
        ASSERT_NE(pipe, nullptr);
        fndErrorStatus = 0;
        EXPECT_EQ(Read(pipe).rc, keep == flat.size() ? 0 : -1);
        EXPECT_EQ(fndErrorStatus, keep == flat.size() ? 0 : KRO_ERR_JPEG_DECODE);
        std::fclose(pipe);
        feeder.join();
#else
        FILE* pipe = popen(("cat " + path).c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        fndErrorStatus = 0;
        EXPECT_EQ(Read(pipe).rc, keep == flat.size() ? 0 : -1);
        EXPECT_EQ(fndErrorStatus, keep == flat.size() ? 0 : KRO_ERR_JPEG_DECODE);
        pclose(pipe);
#endif
    }
    RsImage out{};
    int32_t p, res[2];
    EXPECT_FAILS_WITH(KroJPEGToRsImage(nullptr, &out, &p, res), KRO_ERR_NULL);
}

// Files of other writers cut at every length: a file that lacks only its
// end-of-image marker loads, as djpeg loads it; any cut that loads must give
// the whole file's pixels, so a file stopped inside a scan or between two
// scans (baseline, restart intervals, one scan per component, progressive)
// is refused.
TEST(JpegReader, OnlyTheEndOfImageMarkerMayBeMissing) {
    for (const char* name : {"cjpeg-420.jpg", "cjpeg-gray-progressive-restart.jpg",
                             "cjpeg-scans.jpg", "im-progressive.jpg"}) {
        SCOPED_TRACE(name);
        const Bytes file = kt::readFile(std::string(KRO_TEST_DATA) + "/peer/" + name);
        ASSERT_GT(file.size(), 2u);
        const Bytes whole = Read(file).pixels();
        int loaded = 0;
        for (size_t keep = 0; keep < file.size(); ++keep) {
            fndErrorStatus = 0;
            Read r(Bytes(file.begin(), file.begin() + long(keep)));
            if (keep >= file.size() - 2) {
                EXPECT_EQ(r.rc, 0) << "less its last " << file.size() - keep << " bytes";
            } else if (r.rc != 0) {
                EXPECT_EQ(fndErrorStatus, KRO_ERR_JPEG_DECODE) << keep;
                continue;
            }
            EXPECT_EQ(r.pixels(), whole) << "loaded when cut to " << keep << " bytes";
            ++loaded;
        }
        EXPECT_GE(loaded, 2);
    }
}

TEST(JpegBadFiles, EachGivesItsCode) {
    EXPECT_GE(kt::expectBadSamplesGiveTheirCodes<Read>("jpeg-"), 15U);
}

// kro writes at the -quality given, as cjpeg would, and reads JPEG back.
TEST(JpegCli, ConvertsBothWaysWithQuality) {
    if (!kt::haveTool("cjpeg")) GTEST_SKIP() << "no cjpeg";
    kt::Image im(40, 30, 24);
    kt::drawF(&im);
    const std::string ppm = tempPath("cli.ppm"), bmp = tempPath("cli.bmp"),
                      jpg = tempPath("cli.jpg"), ref = tempPath("cli-ref.jpg");
    kt::writeFile(ppm, kt::pnm(im.im));
    ASSERT_EQ(kt::run("cjpeg -quality 35 " + ppm + " > " + ref), 0);
    {
        kt::TempFile f;
        unsigned char pal[768];
        ASSERT_EQ(KroRsImageToBMP(f.get(), &im.im, 0, 0, KRO_PHOTO_RGB, pal), 0);
        kt::writeFile(bmp, f.contents());
    }
    const std::string kro = std::string(KRO_CLI) + " convert ";
    ASSERT_EQ(kt::run(kro + bmp + " " + jpg + " -quality 35"), 0);
    EXPECT_EQ(kt::readFile(jpg), kt::readFile(ref));
    ASSERT_EQ(kt::run(kro + jpg + " " + bmp), 0);
    kt::TempFile f(kt::readFile(bmp));
    RsImage out{};
    int32_t p, res[2];
    unsigned char pal[768];
    ASSERT_EQ(KroBMPToRsImage(f.get(), &out, &p, res, pal), 0);
    EXPECT_EQ(Bytes(out.data, out.data + out.size), Read(kt::readFile(ref)).pixels());
    std::free(out.data);
}

}  // namespace
