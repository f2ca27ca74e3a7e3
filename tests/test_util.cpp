// Helpers shared by the tests.
#include "test_util.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace kt {

#ifdef _WIN32
TempFile::TempFile() : f_(scratchFile()) {
#else
TempFile::TempFile() : f_(std::tmpfile()) {
#endif
    if (!f_) throw std::runtime_error("tmpfile");
}

TempFile::TempFile(const Bytes& bytes) : TempFile() {
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f_) != bytes.size())
        throw std::runtime_error("fwrite");
    std::rewind(f_);
}

TempFile::~TempFile() { std::fclose(f_); }

Bytes TempFile::contents() const {
    std::fflush(f_);
    long here = std::ftell(f_);
    std::fseek(f_, 0, SEEK_END);
    long n = std::ftell(f_);
    Bytes out(size_t(n > 0 ? n : 0));
    std::rewind(f_);
    size_t got = std::fread(out.data(), 1, out.size(), f_);
    out.resize(got);
    std::fseek(f_, here, SEEK_SET);
    return out;
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string dump(HDC dc) {
    std::string text(size_t(KroGdiDumpRecords(dc, nullptr, 0)) + 1, '\0');
    text.resize(size_t(KroGdiDumpRecords(dc, text.data(), text.size())));
    return text;
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Image::Image(int32_t width, int32_t height, int32_t depth) {
    int32_t stored = depth == 1 ? (width + 7) / 8 * 8 : width;
    im.width = stored;
    im.height = height;
    im.depth = depth;
    im.format = KRO_FORMAT_RAW;
    im.validWidth = width;
    im.validHeight = height;
    size_t bytes = size_t(depth) * size_t(stored) * size_t(height) / 8;
    im.size = int32_t(bytes);
    im.data = static_cast<unsigned char*>(std::calloc(bytes ? bytes : 1, 1));
}

Image::~Image() { std::free(im.data); }

size_t Image::rowBytes() const {
    return im.depth == 1 ? size_t(im.width) / 8 : size_t(im.width) * size_t(im.depth / 8);
}

unsigned char* Image::row(int32_t y) const { return im.data + size_t(y) * rowBytes(); }

static size_t rowBytesOf(const RsImage& im) {
    return im.depth == 1 ? size_t(im.width) / 8 : size_t(im.width) * size_t(im.depth / 8);
}

uint32_t pixel(const RsImage& im, int32_t x, int32_t y) {
    const unsigned char* r = im.data + size_t(y) * rowBytesOf(im);
    switch (im.depth) {
        case 1: return (r[x / 8] >> (7 - x % 8)) & 1;
        case 8: return r[x];
        default: return uint32_t(r[3 * x]) << 16 | uint32_t(r[3 * x + 1]) << 8 | r[3 * x + 2];
    }
}

void setPixel(RsImage* im, int32_t x, int32_t y, uint32_t v) {
    unsigned char* r = im->data + size_t(y) * rowBytesOf(*im);
    switch (im->depth) {
        case 1:
            if (v)
                r[x / 8] = uint8_t(r[x / 8] | (0x80 >> (x % 8)));
            else
                r[x / 8] = uint8_t(r[x / 8] & ~(0x80 >> (x % 8)));
            break;
        case 8: r[x] = uint8_t(v); break;
        default:
            r[3 * x] = uint8_t(v >> 16);
            r[3 * x + 1] = uint8_t(v >> 8);
            r[3 * x + 2] = uint8_t(v);
    }
}

void drawF(Image* image) {
    RsImage& im = image->im;
    const int32_t w = im.validWidth, h = im.validHeight;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            // The stem down the left fifth, a full bar at the top, a shorter bar in the middle.
            bool ink = (x >= w / 5 && x < 2 * w / 5 && y >= h / 6 && y < 5 * h / 6) ||
                       (y >= h / 6 && y < 2 * h / 6 && x >= w / 5 && x < 4 * w / 5) ||
                       (y >= 3 * h / 6 && y < 4 * h / 6 && x >= w / 5 && x < 3 * w / 5);
            uint32_t v;
            switch (im.depth) {
                case 1: v = ink ? 1 : 0; break;
                case 8: v = ink ? uint32_t(40 + (x * 7 + y * 3) % 50) : uint32_t(200 + x % 50); break;
                default: v = ink ? 0xE01020u : 0x1030C0u + uint32_t(x % 16);
            }
            setPixel(&im, x, y, v);
        }
}

bool samePixels(const RsImage& a, const RsImage& b, int32_t w, int32_t h) {
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            if (pixel(a, x, y) != pixel(b, x, y)) return false;
    return true;
}

Bytes pnm(const RsImage& im) {
    const int kind = im.depth == 1 ? 4 : im.depth == 8 ? 5 : 6;
    char head[64];
    const int n = std::snprintf(head, sizeof head, "P%d\n%d %d\n%s", kind, int(im.validWidth),
                                int(im.validHeight), kind == 4 ? "" : "255\n");
    Bytes out(head, head + n);
    const size_t row = (size_t(im.validWidth) * size_t(im.depth) + 7) / 8;
    for (int32_t y = 0; y < im.validHeight; ++y) {
        const unsigned char* r = im.data + size_t(y) * rowBytesOf(im);
        out.insert(out.end(), r, r + row);
    }
    return out;
}

std::string quoted(const std::string& path) {
#ifdef _WIN32
    return '"' + path + '"';
#else
    return "'" + path + "'";
#endif
}

bool haveTool(const char* name) {
#ifdef _WIN32
    // Under Wine the Unix tools are out of reach.
    (void)name;
    return false;
#endif
    std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

int run(const std::string& command) {
#ifdef _WIN32
    // cmd /c drops the outer quotes of a line that starts with one.
    return std::system(('"' + command + '"').c_str());
#else
    int rc = std::system(command.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
#endif
}

Decoded::Decoded() { std::memset(pal, 0xAA, sizeof pal); }
Decoded::~Decoded() { std::free(im.data); }

std::vector<BadSample> badSamples(const std::string& prefix) {
    std::ifstream list(std::string(KRO_TEST_DATA) + "/bad/README.md");
    std::vector<BadSample> samples;
    for (std::string line; std::getline(list, line);) {
        if (line.rfind("- " + prefix, 0) != 0) continue;
        std::istringstream fields(line.substr(2));
        BadSample s{"", -1};
        std::getline(fields, s.name, ':');
        fields >> s.code;
        samples.push_back(s);
    }
    return samples;
}

TempDir::TempDir() {
    std::string name = (std::filesystem::temp_directory_path() / "kro-test-XXXXXX").string();
    if (!mkdtemp(name.data())) throw std::runtime_error("mkdtemp failed");
    path = name;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& contents) const {
    std::ofstream(path / name, std::ios::binary) << contents;
    return at(name);
}

}  // namespace kt
