// Reading and writing pictures through the library's codecs, by format.
#include "cli/picture.h"

#include <strings.h>
#ifndef _WIN32
#include <sys/mman.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kro::cli {

Picture::~Picture() {
    std::free(image.data);
}

const char* formatName(Format f) {
    switch (f) {
        case Format::Bmp:
            return "BMP";
        case Format::Cals:
            return "CALS Type 1";
        case Format::Pcx:
            return "PCX";
        case Format::Jpeg:
            return "JPEG";
        case Format::PostScript:
            return "PostScript";
        case Format::Tiff:
            return "TIFF";
        case Format::Png:
            return "PNG";
        case Format::Pdf:
            return "PDF";
        case Format::Unknown:
            break;
    }
    return "unknown";
}

Format detectFormat(FILE* f) {
    unsigned char head[16] = {};
    size_t n = std::fread(head, 1, sizeof head, f);
    std::rewind(f);
    if (n >= 2 && ((head[0] == 'B' && head[1] == 'M') || (head[0] == 'M' && head[1] == 'B')))
        return Format::Bmp;
    if (n >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return Format::Jpeg;
    if (n >= 1 && head[0] == 10) return Format::Pcx;
    // Classic and big TIFF in either byte order; libtiff reads both.
    if (n >= 4 && ((head[0] == 'I' && head[1] == 'I' && (head[2] == 42 || head[2] == 43) &&
                    head[3] == 0) ||
                   (head[0] == 'M' && head[1] == 'M' && head[2] == 0 &&
                    (head[3] == 42 || head[3] == 43))))
        return Format::Tiff;
    if (n >= 8 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0) return Format::Png;
    static const char* const calsNames[] = {
        "srcdocid: ", "dstdocid: ", "txtfilid: ", "figid: ",    "srcgph: ",  "doccls: ",
        "rtype: ",    "rorient: ",  "rpelcnt: ",  "rdensity: ", "rdensty: ", "notes: "};
    for (const char* name : calsNames)
        if (n >= std::strlen(name) && std::memcmp(head, name, std::strlen(name)) == 0)
            return Format::Cals;
    return Format::Unknown;
}

std::string foreignFormat(FILE* f) {
    unsigned char head[16] = {};
    const size_t n = std::fread(head, 1, sizeof head, f);
    std::rewind(f);
    if (n == 0) return "the file is empty";
    struct Signature {
        size_t offset, length;
        const char* bytes;
        const char* name;
    };
    static const Signature kSignatures[] = {
        {0, 4, "GIF8", "a GIF file"},
        {0, 5, "%PDF-", "a PDF file"},
        {0, 2, "%!", "a PostScript file (kro writes PostScript, it does not read it)"},
        {0, 4, "\xc5\xd0\xd3\xc6", "an EPS file (kro writes PostScript, it does not read it)"},
        {8, 4, "WEBP", "a WebP file"},
    };
    for (const Signature& s : kSignatures)
        if (n >= s.offset + s.length && std::memcmp(head + s.offset, s.bytes, s.length) == 0)
            return s.name;
    if (n >= 3 && head[0] == 'P' && head[1] >= '1' && head[1] <= '7' &&
        (head[2] == '\n' || head[2] == ' ' || head[2] == '\r' || head[2] == '\t'))
        return "a netpbm file";
    return "not a format kro reads";
}

Format formatForName(const std::string& path) {
    size_t dot = path.rfind('.');
    size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return Format::Unknown;
    const char* ext = path.c_str() + dot + 1;
    if (!strcasecmp(ext, "bmp")) return Format::Bmp;
    if (!strcasecmp(ext, "cal") || !strcasecmp(ext, "cals")) return Format::Cals;
    if (!strcasecmp(ext, "pcx")) return Format::Pcx;
    if (!strcasecmp(ext, "jpg") || !strcasecmp(ext, "jpeg")) return Format::Jpeg;
    if (!strcasecmp(ext, "ps")) return Format::PostScript;
    if (!strcasecmp(ext, "tif") || !strcasecmp(ext, "tiff")) return Format::Tiff;
    if (!strcasecmp(ext, "png")) return Format::Png;
    if (!strcasecmp(ext, "pdf")) return Format::Pdf;
    return Format::Unknown;
}

bool holdsPages(Format f) {
    return f == Format::PostScript || f == Format::Tiff || f == Format::Pdf;
}

// Bilevel pictures travel with 1 as black, the way every writer stores them;
// a file whose 0 bits are black is inverted once on the way in.
// The padding bits past the picture's own width stay white (0).
static void normaliseBilevel(Picture* pic) {
    if (pic->image.depth != 1 || pic->photometric != KRO_PHOTO_BLACK_IS_ZERO) return;
    unsigned char* p = pic->image.data;
    const size_t stride = size_t(pic->image.width / 8);
    const size_t n = stride * size_t(pic->image.height);
    for (size_t i = 0; i < n; ++i) p[i] = uint8_t(~p[i]);
    pic->photometric = KRO_PHOTO_WHITE_IS_ZERO;
    const int32_t valid = pic->image.validWidth;
    if (valid <= 0 || valid >= pic->image.width) return;
    const size_t last = size_t(valid - 1) / 8;
    const uint8_t keep = uint8_t(0xFF00u >> (((valid - 1) % 8) + 1));
    for (size_t row = 0; row < size_t(pic->image.height); ++row) {
        unsigned char* r = p + row * stride;
        r[last] &= keep;
        std::memset(r + last + 1, 0, stride - last - 1);
    }
}

void fillGrayRamp(unsigned char (&palette)[KRO_PALETTE_SIZE], int32_t photometric) {
    for (int i = 0; i < 256; ++i) {
        const auto v = uint8_t(photometric == KRO_PHOTO_WHITE_IS_ZERO ? 255 - i : i);
        palette[i] = palette[256 + i] = palette[512 + i] = v;
    }
}

bool isGrayRamp(const unsigned char (&palette)[KRO_PALETTE_SIZE], int32_t photometric) {
    for (int i = 0; i < 256; ++i) {
        const int want = photometric == KRO_PHOTO_WHITE_IS_ZERO ? 255 - i : i;
        if (palette[i] != want || palette[256 + i] != want || palette[512 + i] != want)
            return false;
    }
    return true;
}

// Readers that state no palette for a gray picture get the plain ramp.
static void grayRamp(Picture* pic) {
    if (pic->image.depth == 8 && pic->photometric != KRO_PHOTO_PALETTE &&
        pic->photometric != KRO_PHOTO_RGB)
        fillGrayRamp(pic->palette, pic->photometric);
}

// A zeroed buffer for a whole page. Pages of some megabytes go on huge pages:
// the decoder then fills them without a page fault every 4 KiB, which costs
// more than the decoding itself on virtual machines. Only the huge pages the
// page fills whole are advised: a last one mostly empty would still be
// resident whole (6 MiB for an A4 page at 600 dpi, 4.3 MB).
unsigned char* allocPage(size_t bytes) {
#ifdef _WIN32
    return static_cast<unsigned char*>(std::calloc(bytes ? bytes : 1, 1));
#else
    constexpr size_t kHuge = size_t(2) << 20;
    if (bytes < 2 * kHuge) return static_cast<unsigned char*>(std::calloc(bytes ? bytes : 1, 1));
    const size_t rounded = (bytes + kHuge - 1) / kHuge * kHuge;
    void* p = std::aligned_alloc(kHuge, rounded);
    if (!p) return nullptr;
    ::madvise(p, bytes / kHuge * kHuge, MADV_HUGEPAGE);
    std::memset(p, 0, bytes);
    return static_cast<unsigned char*>(p);
#endif
}

// A CALS file: the header names the picture's size; the image is prepared
// upright for the reader to decode into.
static int32_t readCals(FILE* f, Picture* pic) {
    CalsHeader& h = pic->cals;
    if (KroGetCals(f, &h) != 0) return fndErrorStatus;
    // The records as written, for describing the file in its own words.
    char records[11 * 128];
    const long after = std::ftell(f);
    if (after >= 0 && std::fseek(f, 0, SEEK_SET) == 0 &&
        std::fread(records, 1, sizeof records, f) == sizeof records) {
        for (int r = 0; r < 11; ++r) {
            std::string text(records + r * 128, 128);
            for (char& c : text)
                if (c < 0x20 || c > 0x7E) c = ' ';
            text.erase(text.find_last_not_of(' ') + 1);
            pic->calsRecords.push_back(text);
        }
    }
    if (after < 0 || std::fseek(f, after, SEEK_SET) != 0) return KRO_ERR_CALS_SEEK;
    const bool turned = h.pelPath == 90 || h.pelPath == 270;
    const int32_t pels = turned ? h.numLines : h.pelsPerLine;
    const int32_t lines = turned ? h.pelsPerLine : h.numLines;
    RsImage& im = pic->image;
    im.width = (pels + 7) / 8 * 8;
    im.height = lines;
    im.depth = 1;
    im.format = KRO_FORMAT_RAW;
    im.size = im.width / 8 * im.height;
    im.data = allocPage(size_t(im.size));
    if (!im.data) return KRO_ERR_NOMEM;
    if (KroCalsToRsImage(f, &h, &im) != 0) return fndErrorStatus;
    im.validWidth = pels;
    im.validHeight = lines;
    pic->photometric = KRO_PHOTO_WHITE_IS_ZERO;
    pic->resolution[0] = pic->resolution[1] = int32_t(h.rdensity);
    return 0;
}

static void setText(char (&field)[128], const char* text) {
    std::snprintf(field, sizeof field, "%s", text);
}

// CALS pictures are written as they stand: pel path 0, lines downwards.
static int32_t writeCals(FILE* f, const Picture& pic, const WriteSettings& settings) {
    if (pic.image.depth != 1) return KRO_ERR_DEPTH;
    CalsHeader h{};
    for (auto* field :
         {&h.srcdocid, &h.dstdocid, &h.txtfilid, &h.figid, &h.srcgph, &h.doccls, &h.notes})
        setText(*field, "NONE");
    h.rtype = 1;
    h.pelPath = 0;
    h.lineProgression = 270;
    h.pelsPerLine = pic.image.validWidth;
    h.numLines = pic.image.validHeight;
    // The density record holds four digits; the library would call a value
    // beyond them a bad header.
    const int32_t dpi = resolutionToWrite(Format::Cals, pic, settings);
    if (dpi < 1 || dpi > 9999) return KRO_ERR_RESOLUTION;
    h.rdensity = dpi;
    return statusOf(KroRsImageToCals(f, &h, &pic.image));
}

int32_t readPicture(FILE* f, Format format, Picture* pic) {
    int32_t rc = KRO_ERR_FORMAT;
    switch (format) {
        case Format::Bmp:
            rc = statusOf(
                KroBMPToRsImage(f, &pic->image, &pic->photometric, pic->resolution, pic->palette));
            break;
        case Format::Cals:
            rc = readCals(f, pic);
            break;
        case Format::Jpeg:
            rc = statusOf(KroJPEGToRsImage(f, &pic->image, &pic->photometric, pic->resolution));
            if (rc == 0) grayRamp(pic);
            break;
        case Format::Pcx:
            rc = statusOf(
                KroPCXToRsImage(f, &pic->image, &pic->photometric, pic->resolution, pic->palette));
            break;
        case Format::Tiff:
            rc = statusOf(KroTIFFInfo(f, pic->page, &pic->pages, &pic->compression));
            if (rc == 0)
                rc = statusOf(KroTIFFToRsImage(f, pic->page, &pic->image, &pic->photometric,
                                               pic->resolution, pic->palette));
            break;
        case Format::Png:
            rc = statusOf(
                KroPNGToRsImage(f, &pic->image, &pic->photometric, pic->resolution, pic->palette));
            break;
        default:
            break;
    }
    if (rc == 0) normaliseBilevel(pic);
    return rc;
}

int32_t readVariant(FILE* f, Format format, Picture* pic) {
    std::rewind(f);
    int32_t rc = KRO_ERR_FORMAT;
    if (format == Format::Bmp)
        rc = statusOf(KroBMPVariantToRsImage(f, &pic->image, &pic->photometric, pic->resolution,
                                             pic->palette));
    else if (format == Format::Pcx)
        rc = statusOf(KroPCXVariantToRsImage(f, &pic->image, &pic->photometric, pic->resolution,
                                             pic->palette));
    if (rc == 0) normaliseBilevel(pic);
    return rc;
}

std::string variantName(FILE* f) {
    std::rewind(f);
    char name[64];
    return KroDescribeVariant(f, name, sizeof name) > 0 ? name : "";
}

// A gray picture whose palette is not the plain ramp of its photometric value
// (a file that lists its grays in another order) keeps its palette, so that
// the pixel indices keep their colours.
static int32_t photometricToWrite(const Picture& pic) {
    const int32_t p = pic.photometric;
    if (pic.image.depth != 8 || (p != KRO_PHOTO_WHITE_IS_ZERO && p != KRO_PHOTO_BLACK_IS_ZERO))
        return p;
    for (int i = 0; i < 256; ++i) {
        int want = p == KRO_PHOTO_WHITE_IS_ZERO ? 255 - i : i;
        if (pic.palette[i] != want) return KRO_PHOTO_PALETTE;
    }
    return p;
}

// A BMP file may say it states no resolution (0); a CALS file must state one.
int32_t resolutionToWrite(Format format, const Picture& pic, const WriteSettings& settings) {
    if (pic.resolution[0] > 0) return pic.resolution[0];
    return format == Format::Cals ? settings.dpi : 0;
}

// PCX files state one resolution for both directions. Their bilevel palette
// is always black, white, so the picture's bits (1 is black) are flipped for
// the write and flipped back after it.
static int32_t writePcx(FILE* f, const Picture& pic, const WriteSettings& settings,
                        unsigned char* palette) {
    const int32_t dpi = pic.resolution[0] > 0 ? pic.resolution[0] : settings.dpi;
    const int32_t resolution[2] = {dpi, dpi};
    const RsImage& im = pic.image;
    const size_t bilevelBytes = im.depth == 1 ? size_t(im.width / 8) * size_t(im.height) : 0;
    for (size_t i = 0; i < bilevelBytes; ++i) im.data[i] = uint8_t(~im.data[i]);
    const int32_t rc =
        statusOf(KroRsImageToPCX(f, &im, photometricToWrite(pic), resolution, palette));
    for (size_t i = 0; i < bilevelBytes; ++i) im.data[i] = uint8_t(~im.data[i]);
    return rc;
}

int32_t writePicture(FILE* f, Format format, const Picture& pic, const WriteSettings& settings) {
    unsigned char palette[KRO_PALETTE_SIZE];
    std::memcpy(palette, pic.palette, sizeof palette);
    switch (format) {
        case Format::Bmp:
            return statusOf(KroRsImageToBMP(f, &pic.image, 0,
                                            resolutionToWrite(format, pic, settings),
                                            photometricToWrite(pic), palette));
        case Format::Cals:
            return writeCals(f, pic, settings);
        case Format::Jpeg: {
            // A picture that states no resolution gets no density in dots per
            // inch; like BMP and PCX, JPEG files get one resolution for both
            // directions, the horizontal one.
            const bool stated = pic.resolution[0] > 0;
            const int32_t density[2] = {stated ? pic.resolution[0] : -1,
                                        stated ? pic.resolution[0] : -1};
            const int32_t quality = kroOption.quality.given ? kroOption.quality.value : -1;
            return statusOf(KroRsImageToJPEG(f, &pic.image, pic.photometric, density, quality));
        }
        case Format::Pcx:
            return writePcx(f, pic, settings, palette);
        case Format::Tiff:
        case Format::Png: {
            // Both state two resolutions, or none when the picture states none.
            const bool stated = pic.resolution[0] > 0;
            const int32_t resolution[2] = {stated ? pic.resolution[0] : -1,
                                           stated ? pic.resolution[1] : -1};
            if (format == Format::Png)
                return statusOf(
                    KroRsImageToPNG(f, &pic.image, photometricToWrite(pic), palette, resolution));
            const int32_t compression =
                kroOption.compression.given ? kroOption.compression.value : 0;
            return statusOf(KroRsImageToTIFF(f, &pic.image, photometricToWrite(pic), palette,
                                             resolution, compression));
        }
        default:
            return KRO_ERR_FORMAT;
    }
}

int32_t beginPostScript(FILE* f, const std::string& title) {
    const size_t slash = title.rfind('/');
    const std::string name = slash == std::string::npos ? title : title.substr(slash + 1);
    return statusOf(KroPutPSHeader(f, "kro", name.c_str()));
}

int32_t writePostScriptPage(FILE* f, const Picture& pic, const WriteSettings& settings) {
    const int32_t x = pic.resolution[0] > 0 ? pic.resolution[0] : settings.dpi;
    const int32_t y = pic.resolution[1] > 0 ? pic.resolution[1] : x;
    return statusOf(KroRsImageToPS(f, &pic.image, pic.palette, photometricToWrite(pic), x, y));
}

int32_t endPostScript(FILE* f) {
    return statusOf(KroPutPSFooter(f));
}

// Documents are titled with the output's file name, without its folder.
static std::string baseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int32_t beginPdf(FILE* f, const std::string& title) {
    return statusOf(KroPutPDFHeader(f, "kro", baseName(title).c_str()));
}

int32_t writePdfPage(FILE* f, const Picture& pic, const WriteSettings& settings) {
    const int32_t x = pic.resolution[0] > 0 ? pic.resolution[0] : settings.dpi;
    const int32_t y = pic.resolution[1] > 0 ? pic.resolution[1] : x;
    return statusOf(KroRsImageToPDF(f, &pic.image, pic.palette, photometricToWrite(pic), x, y));
}

int32_t endPdf(FILE* f) {
    return statusOf(KroPutPDFFooter(f));
}

int32_t beginDocument(FILE* f, Format format, const std::string& title) {
    return format == Format::Pdf ? beginPdf(f, title) : beginPostScript(f, title);
}

int32_t writeDocumentPage(FILE* f, Format format, const Picture& pic,
                          const WriteSettings& settings) {
    return format == Format::Pdf ? writePdfPage(f, pic, settings)
                                 : writePostScriptPage(f, pic, settings);
}

int32_t endDocument(FILE* f, Format format) {
    return format == Format::Pdf ? endPdf(f) : endPostScript(f);
}

}  // namespace kro::cli
