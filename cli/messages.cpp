// Human-readable text for every status code the library stores.
#include "cli/messages.h"

#include "kro/kro.h"

namespace kro::cli {

namespace {

struct Message {
    int32_t code;
    const char* text;
};

constexpr Message kMessages[] = {
    {KRO_ERR_PS_NULL_ARG, "no PostScript output stream or title"},
    {KRO_ERR_HPGL_ACCESS, "HP-GL file is not readable"},
    {KRO_ERR_OPTION_NO_VALUE, "option needs a value"},
    {KRO_ERR_PAPER, "unknown paper type or size"},
    {KRO_ERR_COMPRESSION_WORD, "unknown compression"},
    {KRO_ERR_PAPER_TOO_LARGE, "paper side exceeds 32768 dots"},
    {KRO_ERR_OPTION_CONFLICT, "options contradict each other"},
    {KRO_ERR_OPTION_RANGE, "option value out of range"},
    {KRO_ERR_IO, "file cannot be read or written in full"},
    {KRO_ERR_OPTFILE_STDIN, "option file names standard input as the input file"},
    {KRO_ERR_ROTATE_WORD, "unknown rotation"},
    {KRO_ERR_RESOLUTION, "resolution or size not accepted"},
    {KRO_ERR_HPGL_ARC_ANGLE, "arc start angle of 360 degrees"},
    {KRO_ERR_OPEN, "file cannot be opened"},
    {KRO_ERR_DESCRIPTION, "bad image description string"},
    {KRO_ERR_OPTFILE_WORDS, "option file line does not hold 25 words"},
    {KRO_ERR_OPTFILE_DIR, "option file directory is not an absolute path"},
    {KRO_ERR_OPTFILE_INPUT, "option file input path is not an absolute path"},
    {KRO_ERR_CALS_SEEK, "CALS file cannot be positioned"},
    {KRO_ERR_MODE_WORD, "unknown mode"},
    {KRO_ERR_HPGL_SCALE, "negative drawing scale"},
    {KRO_ERR_BMP_OPTIONS, "BMP writer options must be 0"},
    {KRO_ERR_COLORTYPE_WORD, "unknown colour type"},
    {KRO_ERR_DITHER_WORD, "unknown dither"},
    {KRO_ERR_NULL, "missing argument"},
    {KRO_ERR_JPEG_DECODE, "JPEG data cannot be decoded"},
    {KRO_ERR_JPEG_QUALITY, "JPEG quality outside 0 to 100"},
    {KRO_ERR_SIZE, "width or height out of range"},
    {KRO_ERR_DEPTH, "unsupported bits per pixel"},
    {KRO_ERR_FORMAT, "image is not uncompressed"},
    {KRO_ERR_GAMMA, "gamma correction failed"},
    {KRO_ERR_DITHER, "dithering failed"},
    {KRO_ERR_TO_GRAY, "conversion to gray failed"},
    {KRO_ERR_LEVELS, "level reduction failed"},
    {KRO_ERR_TO_PALETTE, "colour reduction failed"},
    {KRO_ERR_OPTION_NOT_ALLOWED, "option not allowed for this conversion"},
    {KRO_ERR_INPUT_RESOLUTION, "input resolution below 1"},
    {KRO_ERR_PHOTOMETRIC, "unsupported photometric interpretation"},
    {KRO_ERR_BMP_HEADER, "not a BMP file, or bad BMP header"},
    {KRO_ERR_KIND, "conversion kind not 1 to 24"},
    {KRO_ERR_NOMEM, "out of memory"},
    {KRO_ERR_G4_DECODE, "Group 4 data cannot be decoded"},
    {KRO_ERR_G4_ENCODE, "Group 4 encoding failed"},
    {KRO_ERR_ZOOM, "enlarging failed"},
    {KRO_ERR_REDUCE, "reducing failed"},
    {KRO_ERR_ROTATE, "turning the picture failed"},
    {KRO_ERR_HPGL_SIZE, "HP-GL file size unknown"},
    {KRO_ERR_HPGL_READ, "HP-GL file is empty or unreadable"},
    {KRO_ERR_BIT_REVERSE, "reversing the bit order failed"},
    {KRO_ERR_CALS_HEADER_READ, "CALS header is truncated"},
    {KRO_ERR_CALS_SHORT, "CALS picture data is truncated"},
    {KRO_ERR_CALS_WRITE, "CALS file cannot be written"},
    {KRO_ERR_CALS_TELL, "CALS file position unknown"},
    {KRO_ERR_CALS_HEADER, "bad CALS header, or no picture data"},
    {KRO_ERR_BMP_COMPRESSION, "compressed BMP files are not supported"},
    {KRO_ERR_COLOR_NAME, "unknown colour name"},
    {KRO_ERR_PCX_HEADER, "not a PCX file, or bad PCX data"},
    {KRO_ERR_PCX_PLANES, "PCX plane count not 1 or 3"},
    {KRO_ERR_TIFF, "not a TIFF file, or damaged TIFF data"},
    {KRO_ERR_TIFF_PAGE, "the TIFF file has no such page"},
    {KRO_ERR_TIFF_LAYOUT, "TIFF samples of a kind kro does not read"},
    {KRO_ERR_TIFF_COMPRESSION, "compression not available, or not for this depth"},
    {KRO_ERR_PNG, "not a PNG file, or damaged PNG data"},
    {KRO_ERR_NOT_AS_IS, "coded data cannot be copied as it stands"},
    {KRO_ERR_UNAVAILABLE, "this build has no codec for the format"},
    {0, nullptr},
};

}  // namespace

const char* statusMessage(int32_t code) {
    for (const Message* m = kMessages; m->text; ++m)
        if (m->code == code) return m->text;
    return "unknown failure";
}

bool statusKnown(int32_t code) {
    for (const Message* m = kMessages; m->text; ++m)
        if (m->code == code) return true;
    return false;
}

}  // namespace kro::cli
