// JPEG reading and writing: round trips, density and quality, argument checks,
// interop with libjpeg-turbo's own tools, bad files.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "test_util.h"

namespace {

using kt::Bytes;

struct Read {
    RsImage im{};
    int32_t photometric = -7;
    int32_t res[2] = {0, 0};
    int32_t rc;
    explicit Read(FILE* f) { rc = KroJPEGToRsImage(f, &im, &photometric, res); }
    explicit Read(const Bytes& b) {
        kt::TempFile f(b);
        rc = KroJPEGToRsImage(f.get(), &im, &photometric, res);
    }
    ~Read() { std::free(im.data); }
};

Bytes writeJpeg(const RsImage& im, int32_t photometric, int32_t res0 = -1, int32_t res1 = -1,
                int32_t quality = 100) {
    kt::TempFile f;
    const int32_t res[2] = {res0, res1};
    EXPECT_EQ(KroRsImageToJPEG(f.get(), &im, photometric, res, quality), 0);
    return f.contents();
}

// The JFIF segment's density unit and values (written right after SOI).
struct Density {
    int unit, x, y;
};
Density densityOf(const Bytes& b) {
    return {b.at(13), b.at(14) << 8 | b.at(15), b.at(16) << 8 | b.at(17)};
}
Bytes withDensity(Bytes b, int unit, int x, int y) {
    b.at(13) = uint8_t(unit);
    b[14] = uint8_t(x >> 8), b[15] = uint8_t(x), b[16] = uint8_t(y >> 8), b[17] = uint8_t(y);
    return b;
}

std::string tempPath(const std::string& name) { return testing::TempDir() + "kro-jpeg-" + name; }

// Writes the picture as PGM or PPM for the netpbm-speaking tools.
void writePnm(const std::string& path, const RsImage& im) {
    std::ofstream out(path, std::ios::binary);
    out << (im.depth == 8 ? "P5" : "P6") << "\n" << im.width << " " << im.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(im.data), std::streamsize(im.size));
}

// Pixels of a PGM or PPM that djpeg wrote (header of three lines).
Bytes pnmPixels(const Bytes& pnm) {
    size_t at = 0;
    for (int lines = 0; lines < 3; ++at)
        if (pnm.at(at) == '\n') ++lines;
    return Bytes(pnm.begin() + long(at), pnm.end());
}

// Channel-wise distance of two packed pixels.
int distance(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift : {0, 8, 16})
        worst = std::max(worst, std::abs(int(a >> shift & 255) - int(b >> shift & 255)));
    return worst;
}

TEST(JpegRoundTrip, GrayAndRgbKeepTheirPixels) {
    for (int32_t depth : {8, 24}) {
        SCOPED_TRACE(depth);
        kt::Image im(81, 60, depth);
        kt::drawF(&im);
        const int32_t photometric = depth == 8 ? KRO_PHOTO_BLACK_IS_ZERO : KRO_PHOTO_RGB;
        Read r(writeJpeg(im.im, photometric));
        ASSERT_EQ(r.rc, 0);
        EXPECT_EQ(r.photometric, photometric);
        EXPECT_EQ(r.im.depth, depth);
        EXPECT_EQ(r.im.format, KRO_FORMAT_RAW);
        EXPECT_EQ(r.im.width, 81);
        EXPECT_EQ(r.im.validWidth, 81);
        EXPECT_EQ(r.im.validHeight, 60);
        EXPECT_EQ(r.im.size, 81 * 60 * depth / 8);
        EXPECT_EQ(r.res[0], -1);
        EXPECT_EQ(r.res[1], -1);
        // Away from the edges (where chroma is shared between pixels) quality
        // 100 keeps each channel within a few levels; a swap or a flip would not.
        for (auto [x, y] : {std::pair{22, 45}, {70, 55}, {3, 3}, {60, 15}})
            EXPECT_LE(distance(kt::pixel(r.im, x, y), kt::pixel(im.im, x, y)), 8) << x << "," << y;
    }
}

TEST(JpegDensity, WrittenAndReadAsDotsPerInch) {
    kt::Image im(8, 8, 8);
    const Bytes plain = writeJpeg(im.im, KRO_PHOTO_BLACK_IS_ZERO);
    EXPECT_EQ(densityOf(plain).unit, 0) << "no resolution keeps libjpeg's default";
    const Bytes dpi = writeJpeg(im.im, KRO_PHOTO_BLACK_IS_ZERO, 200, 200);
    EXPECT_EQ(densityOf(dpi).unit, 1);
    EXPECT_EQ(densityOf(dpi).x, 200);
    EXPECT_EQ(densityOf(dpi).y, 200);

    const struct {
        Density d;
        int32_t res;  // both values read back; 0 means the read fails
    } cases[] = {{{1, 300, 300}, 300}, {{1, 65535, 65535}, 65535}, {{0, 300, 300}, -1},
                 {{2, 300, 150}, -1},  {{1, 300, 150}, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.d.unit * 1000000 + c.d.x);
        fndErrorStatus = 0;
        Read r(withDensity(plain, c.d.unit, c.d.x, c.d.y));
        if (c.res == 0) {
            EXPECT_EQ(r.rc, -1);
            EXPECT_EQ(fndErrorStatus, KRO_ERR_RESOLUTION);
            EXPECT_EQ(r.im.data, nullptr);
            continue;
        }
        ASSERT_EQ(r.rc, 0);
        EXPECT_EQ(r.res[0], c.res);
        EXPECT_EQ(r.res[1], c.res);
        EXPECT_EQ(fndErrorStatus, 0) << "success leaves the status alone";
    }
}

TEST(JpegWriter, ChecksItsArgumentsInOrder) {
    kt::Image gray(4, 4, 8), rgb(4, 4, 24);
    RsImage noData = gray.im, wide = gray.im, g4 = gray.im;
    noData.data = nullptr;
    wide.width = 32769;
    g4.format = KRO_FORMAT_G4;
    kt::TempFile f;
    const int32_t none[2] = {-1, -1};
    const struct {
        FILE* stream;
        const RsImage* im;
        int32_t photometric, res0, res1, quality, code;
    } cases[] = {
        {nullptr, &gray.im, 1, -1, -1, 75, KRO_ERR_NULL},
        {f.get(), nullptr, 1, -1, -1, 75, KRO_ERR_NULL},
        {f.get(), &noData, 1, -1, -1, 75, KRO_ERR_NULL},
        {f.get(), &wide, 9, -5, 3, 500, KRO_ERR_SIZE},
        {f.get(), &g4, 9, -5, 3, 500, KRO_ERR_FORMAT},
        {f.get(), &rgb.im, 1, -1, -1, 75, KRO_ERR_DEPTH},
        {f.get(), &gray.im, 2, -1, -1, 75, KRO_ERR_DEPTH},
        {f.get(), &gray.im, 0, -1, -1, 75, KRO_ERR_PHOTOMETRIC},
        {f.get(), &gray.im, 3, -1, -1, 75, KRO_ERR_PHOTOMETRIC},
        {f.get(), &gray.im, 1, -1, 200, 500, KRO_ERR_RESOLUTION},
        {f.get(), &gray.im, 1, -2, -2, 75, KRO_ERR_RESOLUTION},
        {f.get(), &gray.im, 1, 70000, 70000, 75, KRO_ERR_RESOLUTION},  // would wrap in 16 bits
        {f.get(), &gray.im, 1, -1, -1, 101, KRO_ERR_JPEG_QUALITY},
        {f.get(), &gray.im, 1, -1, -1, -2, KRO_ERR_JPEG_QUALITY},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const int32_t res[2] = {c.res0, c.res1};
        EXPECT_FAILS_WITH(KroRsImageToJPEG(c.stream, c.im, c.photometric, res, c.quality), c.code);
    }
    EXPECT_FAILS_WITH(KroRsImageToJPEG(f.get(), &gray.im, 1, nullptr, 75), KRO_ERR_NULL);
    EXPECT_EQ(writeJpeg(gray.im, 1, -1, -1, -1), writeJpeg(gray.im, 1, -1, -1, 75));
    for (int32_t q : {0, 100}) EXPECT_EQ(KroRsImageToJPEG(f.get(), &gray.im, 1, none, q), 0);
}

TEST(JpegWriter, AFullDeviceFailsWithTheIoCode) {
    FILE* full = std::fopen("/dev/full", "wb");
    if (!full) GTEST_SKIP() << "no /dev/full";
    kt::Image im(256, 256, 24);
    const int32_t none[2] = {-1, -1};
    EXPECT_FAILS_WITH(KroRsImageToJPEG(full, &im.im, KRO_PHOTO_RGB, none, 75), KRO_ERR_IO);
    std::fclose(full);
}

TEST(JpegReader, NullArguments) {
    kt::TempFile f;
    RsImage im{};
    int32_t p, res[2];
    EXPECT_FAILS_WITH(KroJPEGToRsImage(nullptr, &im, &p, res), KRO_ERR_NULL);
    EXPECT_FAILS_WITH(KroJPEGToRsImage(f.get(), nullptr, &p, res), KRO_ERR_NULL);
    EXPECT_FAILS_WITH(KroJPEGToRsImage(f.get(), &im, nullptr, res), KRO_ERR_NULL);
    EXPECT_FAILS_WITH(KroJPEGToRsImage(f.get(), &im, &p, nullptr), KRO_ERR_NULL);
}

// Files from cjpeg decode exactly as djpeg decodes them; our files are byte
// for byte what cjpeg writes at the same quality, and djpeg reads them back.
TEST(JpegInterop, AgreesWithCjpegAndDjpeg) {
    if (!kt::haveTool("cjpeg") || !kt::haveTool("djpeg")) GTEST_SKIP() << "no cjpeg/djpeg";
    const struct {
        int32_t depth;
        const char* options;
    } cases[] = {{8, "-quality 90 -baseline"},  {24, "-quality 90 -baseline"},
                 {24, "-quality 5 -baseline"},  {24, "-progressive"},
                 {8, "-progressive"},           {24, "-arithmetic"},
                 {24, "-sample 1x1 -optimize"}, {24, "-restart 1 -quality 40"}};
    const std::string pnm = tempPath("in.pnm"), jpg = tempPath("in.jpg"),
                      ours = tempPath("ours.jpg"), back = tempPath("back.pnm");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.depth) + " " + c.options);
        kt::Image im(61, 35, c.depth);
        kt::drawF(&im);
        writePnm(pnm, im.im);
        ASSERT_EQ(kt::run(std::string("cjpeg ") + c.options + " " + pnm + " > " + jpg), 0);
        ASSERT_EQ(kt::run("djpeg " + jpg + " > " + back), 0);
        Read r(kt::readFile(jpg));
        ASSERT_EQ(r.rc, 0);
        EXPECT_EQ(r.photometric, c.depth == 8 ? 1 : 2);
        EXPECT_EQ(Bytes(r.im.data, r.im.data + r.im.size), pnmPixels(kt::readFile(back)));

        int quality = 75;
        std::sscanf(c.options, "-quality %d", &quality);
        kt::writeFile(ours, writeJpeg(im.im, r.photometric, -1, -1, quality));
        if (std::strstr(c.options, "-baseline")) {
            EXPECT_EQ(kt::readFile(ours), kt::readFile(jpg)) << "same calls, same bytes";
        }
        ASSERT_EQ(kt::run("djpeg " + ours + " > " + back), 0);
        Read again(kt::readFile(ours));
        ASSERT_EQ(again.rc, 0);
        EXPECT_EQ(Bytes(again.im.data, again.im.data + again.im.size),
                  pnmPixels(kt::readFile(back)));
    }
}

// A stream that cannot seek gets no length check; truncation still fails.
TEST(JpegReader, ReadsFromAPipe) {
    kt::Image im(64, 64, 24);
    kt::drawF(&im);
    const Bytes good = writeJpeg(im.im, KRO_PHOTO_RGB);
    const std::string path = tempPath("pipe.jpg");
    for (size_t keep : {good.size(), good.size() / 2}) {
        kt::writeFile(path, Bytes(good.begin(), good.begin() + long(keep)));
        FILE* pipe = popen(("cat " + path).c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        fndErrorStatus = 0;
        Read r(pipe);
        pclose(pipe);
        EXPECT_EQ(r.rc, keep == good.size() ? 0 : -1);
        EXPECT_EQ(fndErrorStatus, keep == good.size() ? 0 : KRO_ERR_JPEG_DECODE);
    }
}

// The length check must not refuse legitimate files that compress very well.
TEST(JpegReader, FlatPicturesAtTheirBestRatioLoad) {
    kt::Image im(2000, 2000, 24);
    std::memset(im.im.data, 0x80, size_t(im.im.size));
    Read r(writeJpeg(im.im, KRO_PHOTO_RGB, -1, -1, 0));
    EXPECT_EQ(r.rc, 0);
}

TEST(JpegBadFiles, EachGivesItsCode) {
    std::ifstream list(std::string(KRO_TEST_DATA) + "/bad/README.md");
    int checked = 0;
    for (std::string line; std::getline(list, line);) {
        if (line.rfind("- jpeg-", 0) != 0) continue;
        std::istringstream fields(line.substr(2));
        std::string name;
        long code = -1;
        std::getline(fields, name, ':');
        fields >> code;
        SCOPED_TRACE(name);
        fndErrorStatus = 0;
        Read r(kt::readFile(std::string(KRO_TEST_DATA) + "/bad/" + name));
        EXPECT_EQ(r.rc, code == 0 ? 0 : -1);
        EXPECT_EQ(fndErrorStatus, code);
        EXPECT_TRUE(code == 0 || r.im.data == nullptr) << "a failed read keeps no buffer";
        ++checked;
    }
    EXPECT_GE(checked, 15);
}

// kro converts BMP to JPEG at the -quality given, and back.
TEST(JpegCli, ConvertsBothWaysWithQuality) {
    if (!kt::haveTool("cjpeg")) GTEST_SKIP() << "no cjpeg";
    kt::Image im(40, 30, 24);
    kt::drawF(&im);
    const std::string pnm = tempPath("cli.ppm"), bmp = tempPath("cli.bmp"),
                      jpg = tempPath("cli.jpg"), ref = tempPath("cli-ref.jpg"),
                      back = tempPath("cli-back.bmp");
    writePnm(pnm, im.im);
    {
        kt::TempFile f;
        unsigned char pal[768];
        ASSERT_EQ(KroRsImageToBMP(f.get(), &im.im, 0, 0, KRO_PHOTO_RGB, pal), 0);
        kt::writeFile(bmp, f.contents());
    }
    ASSERT_EQ(kt::run(std::string(KRO_CLI) + " convert " + bmp + " " + jpg + " -quality 35"), 0);
    ASSERT_EQ(kt::run("cjpeg -quality 35 -baseline " + pnm + " > " + ref), 0);
    EXPECT_EQ(kt::readFile(jpg), kt::readFile(ref));
    ASSERT_EQ(kt::run(std::string(KRO_CLI) + " convert " + jpg + " " + back), 0);
    kt::TempFile f(kt::readFile(back));
    RsImage out{};
    int32_t p, res[2];
    unsigned char pal[768];
    ASSERT_EQ(KroBMPToRsImage(f.get(), &out, &p, res, pal), 0);
    Read r(kt::readFile(jpg));
    EXPECT_TRUE(kt::samePixels(out, r.im, 40, 30));
    std::free(out.data);
}

}  // namespace
