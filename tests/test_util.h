// Helpers shared by the tests: in-memory files, test pictures, status checks.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "kro/gdi.h"
#include "kro/kro.h"

#ifdef _WIN32
// GetVersionExA and SearchPathA are the real kernel's: it reports the family
// it is (the 9x pen paths cannot be chosen, and their checks are left out)
// and searches by its own rules.
constexpr bool kKernelStandIn = false;
inline void KroKernelSetPlatform(int32_t) {}
// The Cairo device (pixels, PNG, PDF, SVG, label text) is Unix-only.
constexpr bool kCairo = false;
#else
constexpr bool kKernelStandIn = true;
constexpr bool kCairo = true;
#endif
#define KRO_SKIP_WITHOUT_CAIRO() \
    if (!kCairo) GTEST_SKIP() << "the Cairo device is Unix-only"

namespace kt {

// A device context freed on scope exit.
struct Dc {
    HDC dc;
    explicit Dc(HDC d) : dc(d) {}
    ~Dc() {
        if (dc) DeleteDC(dc);
    }
    Dc(const Dc&) = delete;
    Dc& operator=(const Dc&) = delete;
    operator HDC() const { return dc; }
};

using Bytes = std::vector<unsigned char>;

// A temporary stream holding bytes, positioned at the start; closed on scope exit.
class TempFile {
  public:
    TempFile();
    explicit TempFile(const Bytes& bytes);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    FILE* get() const { return f_; }
    // Everything written so far, as bytes and as text.
    Bytes contents() const;
    std::string text() const {
        const Bytes b = contents();
        return std::string(b.begin(), b.end());
    }

  private:
    FILE* f_;
};

Bytes readFile(const std::string& path);

// The recording device's log, a call a line.
std::string dump(HDC dc);
void writeFile(const std::string& path, const Bytes& bytes);

// Owns an RsImage's pixels.
struct Image {
    RsImage im{};
    Image() = default;
    Image(int32_t width, int32_t height, int32_t depth);  // zeroed raw image
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    unsigned char* row(int32_t y) const;
    size_t rowBytes() const;
};

// An asymmetric test picture: a red "F" on blue at depth 24, a black "F" on
// white at depth 1 (1 = black), an "F" of gray levels at depth 8. Catches
// swapped channels, flips and turns.
void drawF(Image* image);

// Pixel value at (x, y): the byte at depth 8, the bit at depth 1, r<<16|g<<8|b at depth 24.
uint32_t pixel(const RsImage& im, int32_t x, int32_t y);
void setPixel(RsImage* im, int32_t x, int32_t y, uint32_t v);

// Whether the pictures agree pixel for pixel over w x h.
bool samePixels(const RsImage& a, const RsImage& b, int32_t w, int32_t h);

// The picture as a raw netpbm file: P4 at depth 1 (1 is black), P5 at 8, P6 at 24.
Bytes pnm(const RsImage& im);

// A file name quoted for std::system's shell, and the words that silence a command.
std::string quoted(const std::string& path);
#ifdef _WIN32
#define KRO_QUIET " >NUL 2>&1"
#else
#define KRO_QUIET " > /dev/null 2>&1"
#endif

// Whether a command-line tool is on PATH.
bool haveTool(const char* name);

// The malformed samples of data/bad whose names start with prefix, each with the
// status code its line in data/bad/README.md gives (0: it must load).
struct BadSample {
    std::string name;
    long code;
};
std::vector<BadSample> badSamples(const std::string& prefix);

// What a reader gives back, freed on scope exit; the palette starts as 0xAA so
// that a test sees what the reader wrote.
struct Decoded {
    RsImage im{};
    int32_t photometric = -7;
    int32_t res[2] = {0, 0};
    unsigned char pal[768];
    int32_t rc = -1;
    Decoded();
    ~Decoded();
    Decoded(const Decoded&) = delete;
    Decoded& operator=(const Decoded&) = delete;
    Bytes pixels() const { return Bytes(im.data, im.data + im.size); }
};

// What a reader of the BMP and PCX kind makes of a file of these bytes.
template <int32_t (*reader)(FILE*, RsImage*, int32_t*, int32_t*, unsigned char*)>
struct ReadWith : Decoded {
    explicit ReadWith(const Bytes& b) {
        TempFile f(b);
        rc = reader(f.get(), &im, &photometric, res, pal);
    }
};

// Reads every malformed sample of prefix with Read (a Decoded made from bytes):
// each gives the code of its line, and a failed read keeps no buffer. Returns
// how many there were.
template <class Read>
size_t expectBadSamplesGiveTheirCodes(const std::string& prefix);

// Runs a shell command; its exit status.
int run(const std::string& command);

// A fresh directory under the temporary folder, removed with everything in it
// on scope exit.
struct TempDir {
    std::filesystem::path path;
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // The path of name inside it.
    std::string at(const std::string& name) const { return (path / name).string(); }
    // Writes contents to name inside it; that file's path.
    std::string write(const std::string& name, const std::string& contents) const;
};

}  // namespace kt

// Expects a -1 result with the given status code.
#define EXPECT_FAILS_WITH(expr, code)      \
    do {                                   \
        fndErrorStatus = 0;                \
        EXPECT_EQ((expr), -1);             \
        EXPECT_EQ(fndErrorStatus, (code)); \
    } while (0)

template <class Read>
size_t kt::expectBadSamplesGiveTheirCodes(const std::string& prefix) {
    const std::vector<BadSample> samples = badSamples(prefix);
    for (const BadSample& bad : samples) {
        SCOPED_TRACE(bad.name);
        fndErrorStatus = 0;
        Read r(readFile(std::string(KRO_TEST_DATA) + "/bad/" + bad.name));
        EXPECT_EQ(r.rc, bad.code == 0 ? 0 : -1);
        EXPECT_EQ(fndErrorStatus, bad.code);
        EXPECT_TRUE(bad.code == 0 || r.im.data == nullptr) << "a failed read keeps no buffer";
    }
    return samples.size();
}
