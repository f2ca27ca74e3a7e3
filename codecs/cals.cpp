// CALS Type 1 files: the 2048-byte text header of eleven 128-byte records,
// then one bilevel picture coded with Group 4. The reader turns the picture
// upright by the header's orientation; the writer codes it as it is.
#include "codecs/cals.h"

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "core/image.h"
#include "core/number.h"
#include "kro/pixo.h"

static_assert(offsetof(CalsHeader, srcdocid) == 0);
static_assert(offsetof(CalsHeader, dstdocid) == 128);
static_assert(offsetof(CalsHeader, txtfilid) == 256);
static_assert(offsetof(CalsHeader, figid) == 384);
static_assert(offsetof(CalsHeader, srcgph) == 512);
static_assert(offsetof(CalsHeader, doccls) == 640);
static_assert(offsetof(CalsHeader, rtype) == 768);
static_assert(offsetof(CalsHeader, pelPath) == 772);
static_assert(offsetof(CalsHeader, lineProgression) == 776);
static_assert(offsetof(CalsHeader, pelsPerLine) == 780);
static_assert(offsetof(CalsHeader, numLines) == 784);
static_assert(offsetof(CalsHeader, rdensity) == 792);
static_assert(offsetof(CalsHeader, notes) == 800);
static_assert(sizeof(CalsHeader) == 928);

namespace kro {

CalsSeams calsSeams = {GfxEncd};

bool calsHeaderValid(const CalsHeader& h) {
    return h.rtype == 1 &&
           (h.pelPath == 0 || h.pelPath == 90 || h.pelPath == 180 || h.pelPath == 270) &&
           (h.lineProgression == 90 || h.lineProgression == 270) && sideInRange(h.pelsPerLine) &&
           sideInRange(h.numLines) && h.rdensity > 0.0 && h.rdensity < 10000.0;
}

}  // namespace kro

namespace {

constexpr size_t kRecordBytes = 128;
constexpr int kRecords = 11;
constexpr size_t kTrailerBytes = 640;
constexpr long kPictureOffset = 2048;

enum class Record {
    Srcdocid,
    Dstdocid,
    Txtfilid,
    Figid,
    Srcgph,
    Doccls,
    Rtype,
    Rorient,
    Rpelcnt,
    Rdensity,
    Notes,
    None
};

struct RecordName {
    const char* name;
    Record record;
};

// Searched in order, each name over its full length. The document class and
// density names have a second, shorter spelling that other writers use.
constexpr RecordName kRecordNames[] = {
    {"srcdocid: ", Record::Srcdocid}, {"dstdocid: ", Record::Dstdocid},
    {"txtfilid: ", Record::Txtfilid}, {"figid: ", Record::Figid},
    {"srcgph: ", Record::Srcgph},     {"doccls: ", Record::Doccls},
    {"docls: ", Record::Doccls},      {"rtype: ", Record::Rtype},
    {"rorient: ", Record::Rorient},   {"rpelcnt: ", Record::Rpelcnt},
    {"rdensity: ", Record::Rdensity}, {"rdensty: ", Record::Rdensity},
    {"notes: ", Record::Notes},       {nullptr, Record::None},
};

char* textField(CalsHeader* h, Record r) {
    switch (r) {
        case Record::Srcdocid:
            return h->srcdocid;
        case Record::Dstdocid:
            return h->dstdocid;
        case Record::Txtfilid:
            return h->txtfilid;
        case Record::Figid:
            return h->figid;
        case Record::Srcgph:
            return h->srcgph;
        case Record::Doccls:
            return h->doccls;
        case Record::Notes:
            return h->notes;
        default:
            return nullptr;
    }
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool onlyDigitsAndSpaces(const char* v) {
    for (; *v; ++v)
        if (!isDigit(*v) && *v != ' ') return false;
    return true;
}

// The leading number of a field of digits and spaces; 0 when it has none.
int32_t leadingNumber(const char* p, const char* end) {
    int32_t n = 0;
    kro::parseInt32(p, end, &n);
    return n;
}

enum class Pair { Read, NumberMissing, Malformed };

// "a,b": digits and spaces around exactly one comma, a digit on both sides.
// A comma first or last is told apart, since it must not pass.
Pair readPair(const char* v, int32_t* a, int32_t* b) {
    const char* comma = nullptr;
    bool digitBefore = false, digitAfter = false;
    const char* p = v;
    for (; *p; ++p) {
        if (*p == ',') {
            if (comma) return Pair::Malformed;
            comma = p;
        } else if (isDigit(*p)) {
            (comma ? digitAfter : digitBefore) = true;
        } else if (*p != ' ') {
            return Pair::Malformed;
        }
    }
    if (!comma) return Pair::Malformed;
    if (!digitBefore || !digitAfter) return Pair::NumberMissing;
    *a = leadingNumber(v, comma);
    *b = leadingNumber(comma + 1, p);
    return Pair::Read;
}

// Stores one record's value; false when the record must fail the call.
bool storeRecord(CalsHeader* h, Record r, const char* value) {
    const size_t len = std::strlen(value);
    switch (r) {
        case Record::Rtype:
            if (onlyDigitsAndSpaces(value)) h->rtype = leadingNumber(value, value + len);
            return true;
        case Record::Rorient: {
            int32_t path = 0, progression = 0;
            const Pair pair = readPair(value, &path, &progression);
            // A malformed value leaves the fields alone; a missing number
            // clears them, so that an earlier record cannot make it pass.
            if (pair != Pair::Malformed) {
                h->pelPath = path;
                h->lineProgression = progression;
            }
            return true;
        }
        case Record::Rpelcnt:
            return readPair(value, &h->pelsPerLine, &h->numLines) == Pair::Read;
        case Record::Rdensity:
            if (onlyDigitsAndSpaces(value)) h->rdensity = std::strtod(value, nullptr);
            return true;
        default: {
            char* field = textField(h, r);
            size_t n = len;
            while (n > 0 && value[n - 1] == ' ') --n;
            if (n == 0) n = len;  // a value of spaces only keeps them
            std::memcpy(field, value, n);
            field[n] = '\0';
            return true;
        }
    }
}

// Writes one 128-byte record: the printed text, then spaces. Text longer than
// the record is cut at its end.
bool putRecord(FILE* stream, char* buf, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
bool putRecord(FILE* stream, char* buf, const char* format, ...) {
    std::memset(buf, ' ', kRecordBytes);
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, kTrailerBytes, format, ap);
    va_end(ap);
    for (size_t i = kRecordBytes - 1; i >= 1; --i)
        if (buf[i] == '\0') {
            buf[i] = ' ';
            break;
        }
    return std::fwrite(buf, 1, kRecordBytes, stream) == kRecordBytes;
}

// A text field as printed: up to its NUL, never past its 128 bytes.
int textLength(const char* field) {
    return int(strnlen(field, kRecordBytes));
}

// Sides of the picture once upright.
void uprightSize(const CalsHeader& h, int32_t* width, int32_t* height) {
    const bool across = h.pelPath == 90 || h.pelPath == 270;
    *width = across ? h.numLines : h.pelsPerLine;
    *height = across ? h.pelsPerLine : h.numLines;
}

// Mirrors every row left to right and moves the picture back to the left
// edge: shift is the count of padding pels the mirror brought to the front.
// A copy of image whose size covers its rows. A size of 0 is taken as not
// stated (hosts prepare images by width, height and buffer); any other size
// must cover width / 8 * height bytes. False when it does not.
bool statedRows(const RsImage& image, RsImage* view) {
    const uint64_t rows = uint64_t(image.width / 8) * uint64_t(image.height);
    *view = image;
    if (image.size == 0) {
        view->size = int32_t(rows);  // at most 4096 * 32768
        return true;
    }
    return image.size > 0 && rows <= uint64_t(image.size);
}

void shiftRowsLeft(RsImage* image, unsigned char* line, size_t rowBytes, size_t shift) {
    const size_t skip = shift / 8;
    const int bits = int(shift % 8);
    for (int32_t y = 0; y < image->height; ++y) {
        unsigned char* row = image->data + size_t(y) * rowBytes;
        for (size_t i = 0; i < rowBytes; ++i) line[i] = row[rowBytes - 1 - i];
        for (size_t i = 0; i < rowBytes; ++i) {
            const size_t from = i + skip;
            unsigned v = from < rowBytes ? unsigned(line[from]) << bits : 0;
            if (bits && from + 1 < rowBytes) v |= line[from + 1] >> (8 - bits);
            row[i] = uint8_t(v);
        }
    }
}

int32_t readHeader(FILE* stream, CalsHeader* header) {
    if (header) std::memset(header, 0, sizeof *header);
    if (!stream || !header) return KRO_ERR_NULL;

    char record[kRecordBytes + 1];
    for (int n = 0; n < kRecords; ++n) {
        if (std::fread(record, 1, kRecordBytes, stream) != kRecordBytes)
            return KRO_ERR_CALS_HEADER_READ;
        record[kRecordBytes] = '\0';
        const RecordName* match = kRecordNames;
        for (; match->name; ++match)
            if (std::strncmp(record, match->name, std::strlen(match->name)) == 0) break;
        if (!match->name) return KRO_ERR_CALS_HEADER;
        if (!storeRecord(header, match->record, record + std::strlen(match->name)))
            return KRO_ERR_CALS_HEADER;
    }
    if (!kro::calsHeaderValid(*header)) return KRO_ERR_CALS_HEADER;
    return 0;
}

int32_t readCals(FILE* stream, const CalsHeader* header, RsImage* image) {
    if (!stream || !header) return KRO_ERR_NULL;
    if (!kro::calsHeaderValid(*header)) return KRO_ERR_CALS_HEADER;
    if (int32_t code = kro::rawImageProblem(image, true, true)) return code;
    // The image must hold the upright picture: its rows are width / 8 whole bytes.
    int32_t uprightW, uprightH;
    uprightSize(*header, &uprightW, &uprightH);
    const size_t rowBytes = size_t(image->width) / 8;
    RsImage target;
    if (int64_t(rowBytes) * 8 < uprightW || image->height < uprightH ||
        !statedRows(*image, &target))
        return KRO_ERR_SIZE;

    if (std::fseek(stream, 0, SEEK_END) != 0) return KRO_ERR_CALS_SEEK;
    const long end = std::ftell(stream);
    if (end < 0) return KRO_ERR_CALS_TELL;
    if (end <= kPictureOffset) return KRO_ERR_CALS_HEADER;
    // Bytes past the most the picture can take are not part of it.
    const uint64_t codedBytes =
        std::min(uint64_t(end - kPictureOffset),
                 kro::g4WorstCaseBytes(header->pelsPerLine, header->numLines));

    // Every coded line takes at least one bit: a shorter stream is cut, and
    // no work image is made for it.
    if (uint64_t(header->numLines) > codedBytes * 8) return KRO_ERR_G4_DECODE;

    kro::Buffer coded(kro::allocBytes(codedBytes));
    if (!coded) return KRO_ERR_NOMEM;
    if (std::fseek(stream, kPictureOffset, SEEK_SET) != 0) return KRO_ERR_CALS_SEEK;
    if (std::fread(coded.get(), 1, size_t(codedBytes), stream) != codedBytes)
        return KRO_ERR_CALS_SHORT;
    RsImage codedImage{};
    codedImage.size = int32_t(codedBytes);
    codedImage.format = KRO_FORMAT_G4;
    codedImage.depth = 1;
    codedImage.data = coded.get();

    const int32_t pels = header->pelsPerLine, lines = header->numLines;
    int32_t status = 0;
    if (header->pelPath == 0) {
        if (GfxDecd(&codedImage, codedImage.size, &target, 0, 0, pels, lines, &status) == -1)
            return KRO_ERR_G4_DECODE;
    } else {
        RsImage work{};
        work.width = (pels + 7) / 8 * 8;
        work.height = lines;
        work.depth = 1;
        work.format = KRO_FORMAT_RAW;
        work.size = int32_t(kro::pixelBytes(work.width, work.height, 1));
        kro::Buffer workPixels(kro::allocZeroed(uint64_t(work.size)));
        if (!workPixels) return KRO_ERR_NOMEM;
        work.data = workPixels.get();
        if (GfxDecd(&codedImage, codedImage.size, &work, 0, 0, pels, lines, &status) == -1)
            return KRO_ERR_G4_DECODE;
        coded.reset();
        if (GfxRt90(&work, 0, 0, pels, lines, &target, 0, 0, header->pelPath, &status) == -1)
            return KRO_ERR_ROTATE;
    }
    image->validWidth = target.validWidth;
    image->validHeight = target.validHeight;

    if (header->lineProgression == 90) {
        kro::Buffer line(kro::allocBytes(rowBytes));
        if (!line) return KRO_ERR_NOMEM;
        if (GfxRbyt(&target, 0, 0, int32_t(rowBytes * 8), image->height, &status) == -1)
            return KRO_ERR_BIT_REVERSE;
        shiftRowsLeft(image, line.get(), rowBytes, rowBytes * 8 - size_t(uprightW));
    }
    return 0;
}

int32_t writeCals(FILE* stream, const CalsHeader* header, const RsImage* image) {
    if (!stream || !header) return KRO_ERR_NULL;
    if (!kro::calsHeaderValid(*header)) return KRO_ERR_CALS_HEADER;
    // The density is printed as a whole number; one below 1 would print as 0000,
    // a file no reader accepts.
    if (header->rdensity < 1.0) return KRO_ERR_CALS_HEADER;
    if (int32_t code = kro::rawImageProblem(image, true, true)) return code;
    // The coded region must lie in the image's rows, before a byte is written.
    const size_t rowBytes = size_t(image->width) / 8;
    RsImage source;
    if (int64_t(rowBytes) * 8 < header->pelsPerLine || image->height < header->numLines ||
        !statedRows(*image, &source))
        return KRO_ERR_SIZE;

    const CalsHeader& h = *header;
    if (int32_t code = kro::writeCalsHeader(stream, h)) return code;

    kro::Buffer coded;
    size_t n = 0;
    int32_t status = 0;
    if (int32_t code = kro::encodeG4(kro::calsSeams.encode, source, h.pelsPerLine, h.numLines,
                                     &coded, &n, &status))
        return code;
    // No coded byte is a write that yields nothing.
    if (n == 0 || std::fwrite(coded.get(), 1, n, stream) != n) return KRO_ERR_CALS_WRITE;
    return 0;
}

}  // namespace

namespace kro {

int32_t encodeG4(int32_t (*encode)(const RsImage*, int32_t, int32_t, int32_t, int32_t, RsImage*,
                                   int32_t, int32_t*),
                 const RsImage& source, int32_t pels, int32_t lines, Buffer* coded, size_t* length,
                 int32_t* gfxStatus) {
    // Growing the buffer a picture's size at a time coded a noise page three
    // times over.
    const uint64_t capacity = g4WorstCaseBytes(pels, lines);
    if (capacity > uint64_t(INT32_MAX)) return KRO_ERR_G4_ENCODE;
    coded->reset(allocBytes(capacity));
    if (!*coded) return KRO_ERR_NOMEM;
    RsImage out{};
    out.size = int32_t(capacity);
    out.format = KRO_FORMAT_G4;
    out.depth = 1;
    out.data = coded->get();
    *gfxStatus = 0;
    if (encode(&source, 0, 0, pels, lines, &out, GFX_CODING_G4, gfxStatus) == -1 ||
        out.codedLength < 0 || uint64_t(out.codedLength) > capacity)
        return KRO_ERR_G4_ENCODE;
    *length = size_t(out.codedLength);
    return 0;
}

int32_t writeCalsHeader(FILE* stream, const CalsHeader& h) {
    char buf[kTrailerBytes];
    const bool written =
        putRecord(stream, buf, "%s%.*s", "srcdocid: ", textLength(h.srcdocid), h.srcdocid) &&
        putRecord(stream, buf, "%s%.*s", "dstdocid: ", textLength(h.dstdocid), h.dstdocid) &&
        putRecord(stream, buf, "%s%.*s", "txtfilid: ", textLength(h.txtfilid), h.txtfilid) &&
        putRecord(stream, buf, "%s%.*s", "figid: ", textLength(h.figid), h.figid) &&
        putRecord(stream, buf, "%s%.*s", "srcgph: ", textLength(h.srcgph), h.srcgph) &&
        putRecord(stream, buf, "%s%.*s", "doccls: ", textLength(h.doccls), h.doccls) &&
        putRecord(stream, buf, "%s%1d", "rtype: ", h.rtype) &&
        putRecord(stream, buf, "%s%03d,%03d", "rorient: ", h.pelPath, h.lineProgression) &&
        putRecord(stream, buf, "%s%06d,%06d", "rpelcnt: ", h.pelsPerLine, h.numLines) &&
        // The standard's spelling; readers that know only it refuse "rdensity: ".
        putRecord(stream, buf, "%s%04d", "rdensty: ", int(h.rdensity)) &&
        putRecord(stream, buf, "%s%.*s", "notes: ", textLength(h.notes), h.notes);
    if (!written) return KRO_ERR_CALS_WRITE;
    std::memset(buf, ' ', kTrailerBytes);
    if (std::fwrite(buf, 1, kTrailerBytes, stream) != kTrailerBytes)
        return KRO_ERR_CALS_WRITE;
    return 0;
}

}  // namespace kro

extern "C" {

KRO_API int32_t KroGetCals(FILE* stream, CalsHeader* header) {
    return kro::report(readHeader(stream, header));
}

KRO_API int32_t KroCalsToRsImage(FILE* stream, const CalsHeader* header, RsImage* image) {
    return kro::report(readCals(stream, header, image));
}

KRO_API int32_t KroRsImageToCals(FILE* stream, const CalsHeader* header, const RsImage* image) {
    return kro::report(writeCals(stream, header, image));
}

}  // extern "C"
