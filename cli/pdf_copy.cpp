// Pages of a PDF document made from a file's coded data, without decoding
// it: a CALS file's Group 4 data, a JPEG file whole.
#ifndef _WIN32
#include <sys/mman.h>
#endif

#include <cstdio>
#include <cstdlib>

#include "cli/input.h"
#include "cli/picture.h"
#include "kro/kro.h"

namespace kro::cli {

namespace {

constexpr long kCalsDataOffset = 2048;  // eleven 128-byte records, then fill

// The bytes of a file from an offset to its end: mapped where the system
// maps files (a JPEG photograph of many megabytes is neither zeroed nor
// copied on its way to the page), read into memory elsewhere.
class FileBytes {
  public:
    FileBytes() = default;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;
    ~FileBytes() {
#ifndef _WIN32
        if (mapped_) ::munmap(mapped_, mappedSize_);
#endif
        std::free(read_);
    }

    // false when the bytes cannot be had.
    bool load(FILE* f, long offset) {
        if (std::fseek(f, 0, SEEK_END) != 0) return false;
        const long end = std::ftell(f);
        if (end < offset) return false;
        size_ = size_t(end - offset);
#ifndef _WIN32
        if (end > 0) {
            void* p =
                ::mmap(nullptr, size_t(end), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fileno(f), 0);
            if (p != MAP_FAILED) {
                mapped_ = p;
                mappedSize_ = size_t(end);
                data_ = static_cast<const unsigned char*>(p) + offset;
                return true;
            }
        }
#endif
        read_ = static_cast<unsigned char*>(std::malloc(size_ ? size_ : 1));
        if (!read_ || std::fseek(f, offset, SEEK_SET) != 0 ||
            std::fread(read_, 1, size_, f) != size_)
            return false;
        data_ = read_;
        return true;
    }
    const unsigned char* data() const {
        return data_;
    }
    size_t size() const {
        return size_;
    }

  private:
    const unsigned char* data_ = nullptr;
    size_t size_ = 0;
    unsigned char* read_ = nullptr;
    void* mapped_ = nullptr;
    size_t mappedSize_ = 0;
};

int32_t copyCals(FILE* out, FILE* in, int32_t dpi) {
    CalsHeader h;
    if (KroGetCals(in, &h) != 0) return fndErrorStatus;
    FileBytes coded;
    if (!coded.load(in, kCalsDataOffset)) return KRO_ERR_CALS_SHORT;
    const int32_t density = int32_t(h.rdensity);
    if (density > 0) dpi = density;
    // The page turns the picture upright as the reader would.
    return statusOf(KroG4ToPDF(out, coded.data(), coded.size(), h.pelsPerLine, h.numLines,
                               KRO_PHOTO_WHITE_IS_ZERO, h.pelPath, h.lineProgression == 90 ? 1 : 0,
                               dpi, dpi));
}

int32_t copyJpeg(FILE* out, FILE* in, int32_t dpi) {
    FileBytes data;
    if (!data.load(in, 0)) return KRO_ERR_JPEG_DECODE;
    return statusOf(KroJPEGToPDF(out, data.data(), data.size(), dpi, dpi));
}

}  // namespace

int32_t copyCodedPage(FILE* out, const std::string& path, int32_t dpi, bool jpeg, Format* format) {
    *format = Format::Unknown;
    const std::string file = inputPath(path);
    FILE* in = file.empty() ? nullptr : std::fopen(file.c_str(), "rb");
    if (!in) return KRO_ERR_OPEN;
    *format = detectFormat(in);
    int32_t code = KRO_ERR_FORMAT;
    if (*format == Format::Cals)
        code = copyCals(out, in, dpi);
    else if (*format == Format::Jpeg && jpeg)
        code = copyJpeg(out, in, dpi);
    std::fclose(in);
    return code;
}

}  // namespace kro::cli
