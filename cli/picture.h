// A picture as the command carries it between a reader and a writer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "kro/kro.h"

namespace kro::cli {

enum class Format { Unknown, Bmp, Cals, Pcx, Jpeg, PostScript, Tiff, Png, Pdf };

const char* formatName(Format f);

// Format of an existing file, from its first bytes.
Format detectFormat(FILE* f);

// What a file kro does not read is, for messages: "the file is empty", "a GIF file", or
// "not a format kro reads".
std::string foreignFormat(FILE* f);

// Format wanted for an output file, from its name's extension.
Format formatForName(const std::string& path);

// Whether a format holds several pages: each picture of a job, and each page
// of a TIFF input, becomes one of them.
bool holdsPages(Format f);

struct Picture {
    RsImage image{};
    int32_t photometric = 0;
    int32_t resolution[2] = {-1, -1};
    unsigned char palette[KRO_PALETTE_SIZE] = {};
    CalsHeader cals{};                     // the header read from a CALS file
    std::vector<std::string> calsRecords;  // its records as the file spells them
    int32_t page = 0;         // the page of a TIFF file to read, from 0
    int32_t pages = 1;        // how many the file holds
    int32_t compression = 0;  // the TIFF Compression value of the page read

    Picture() = default;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    ~Picture();
};

// The plain gray ramp of the photometric value (255 down to 0 when 0 is
// white), which the writers and the colour steps read as gray; the ramp a
// picture of another photometric value would carry otherwise.
void fillGrayRamp(unsigned char (&palette)[KRO_PALETTE_SIZE], int32_t photometric);
// Whether the palette is that ramp.
bool isGrayRamp(const unsigned char (&palette)[KRO_PALETTE_SIZE], int32_t photometric);

// A zeroed pixel buffer (freed with free), on huge pages when it is large.
unsigned char* allocPage(size_t bytes);

// The status of a library call that returned rc: 0, or the code it stored.
inline int32_t statusOf(int32_t rc) {
    return rc == 0 ? 0 : fndErrorStatus;
}

// Each returns 0 or the library's status code of the failure.
int32_t readPicture(FILE* f, Format format, Picture* pic);

// What a writer needs beyond the picture. dpi is used when the picture states
// no resolution of its own.
struct WriteSettings {
    int32_t dpi = 400;
};

// Like readPicture; a picture the format cannot hold (CALS is bilevel only)
// gives KRO_ERR_DEPTH, a resolution it cannot state KRO_ERR_RESOLUTION.
int32_t writePicture(FILE* f, Format format, const Picture& pic, const WriteSettings& settings);

// The resolution in dots per inch that writePicture states in the file.
int32_t resolutionToWrite(Format format, const Picture& pic, const WriteSettings& settings);

// The BMP and PCX layouts that other programs write, read by the library's
// readers of them; like readPicture. The file is read from its start.
int32_t readVariant(FILE* f, Format format, Picture* pic);

// The name of the variant of a BMP, PCX or JPEG file, such as "16-bit BMP",
// from its header; empty when it names none.
std::string variantName(FILE* f);

// A PostScript document: the header, one page per picture, the trailer. The
// page keeps the picture's physical size at its resolution (the settings'
// when the picture states none).
int32_t beginPostScript(FILE* f, const std::string& title);
int32_t writePostScriptPage(FILE* f, const Picture& pic, const WriteSettings& settings);
int32_t endPostScript(FILE* f);

// A PDF document, page by page as for PostScript.
int32_t beginPdf(FILE* f, const std::string& title);
int32_t writePdfPage(FILE* f, const Picture& pic, const WriteSettings& settings);
int32_t endPdf(FILE* f);

// Whether the format is a document of pages (PostScript, PDF), which takes
// several inputs.
inline bool isDocument(Format f) {
    return f == Format::PostScript || f == Format::Pdf;
}

// The document's header, next page and trailer, for a document format.
int32_t beginDocument(FILE* f, Format format, const std::string& title);
int32_t writeDocumentPage(FILE* f, Format format, const Picture& pic,
                          const WriteSettings& settings);
int32_t endDocument(FILE* f, Format format);

// The file's picture copied into the next page of a PDF document as it is
// coded: a CALS file's Group 4 data (turned upright on the page) or, when
// jpeg, a JPEG file. dpi counts when the file states no resolution. 0 when the page is written;
// otherwise the library's status code (nothing written unless the stream
// failed), and the picture can still be decoded and written as a page.
// *format gets the file's format.
int32_t copyCodedPage(FILE* out, const std::string& path, int32_t dpi, bool jpeg, Format* format);

}  // namespace kro::cli
