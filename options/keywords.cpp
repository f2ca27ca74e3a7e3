// Keyword tables of the keyword-valued options and their lookups, and the
// number conversions of option values.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "options/options.h"
#include "paper/paper.h"

namespace {

struct Keyword {
    int32_t code;
    const char* word;  // null in the terminator row
};

constexpr Keyword kCompressions[] = {
    {KRO_COMPRESSION_NO, "NO"},
    {KRO_COMPRESSION_G3, "G3"},
    {KRO_COMPRESSION_G4, "G4"},
    {KRO_COMPRESSION_JPEG, "JPEG"},
    {KRO_COMPRESSION_OJPEG, "OJPEG"},
    {KRO_COMPRESSION_PACKBITS, "PackBits"},
    {0, nullptr},
};

constexpr Keyword kRotations[] = {
    {90, "90"}, {180, "180"}, {270, "270"}, {0, "0"}, {-1, nullptr},
};

constexpr Keyword kModes[] = {
    {KRO_MODE_COPY, "COPY"}, {KRO_MODE_AND, "AND"}, {KRO_MODE_OR, "OR"},
    {KRO_MODE_XOR, "XOR"},   {-1, nullptr},
};

constexpr Keyword kColorTypes[] = {
    {KRO_COLORTYPE_BILEVEL, "Bilevel"},
    {KRO_COLORTYPE_GRAYSCALE, "GrayScale"},
    {KRO_COLORTYPE_RGB, "RGBColor"},
    {KRO_COLORTYPE_PALETTE, "Palette"},
    {-1, nullptr},
};

constexpr Keyword kDithers[] = {
    {0, "0"}, {1, "1"}, {2, "2"}, {3, "3"}, {4, "4"}, {5, "5"}, {-1, nullptr},
};

constexpr Keyword kPhotos[] = {
    {0, "0"},
    {1, "1"},
    {-1, nullptr},
};

int32_t lookup(const Keyword* table, const char* word) {
    if (!word) return -1;
    for (const Keyword* row = table; row->word; ++row)
        if (std::strcmp(row->word, word) == 0) return row->code;
    return -1;
}

}  // namespace

namespace kro {

int32_t kroGetPhotoOption(const char* word) {
    return lookup(kPhotos, word);
}

bool readInt(const char* text, int32_t* value) {
    if (!text) return false;
    char* end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (end == text) return false;
    *value = v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
    return true;
}

int32_t toInt(const char* text) {
    int32_t v = 0;
    readInt(text, &v);
    return v;
}

double toReal(const char* text) {
    return text ? std::strtod(text, nullptr) : 0.0;
}

}  // namespace kro

extern "C" {

KRO_API int32_t kroGetCompressionOption(const char* word) {
    return lookup(kCompressions, word);
}
KRO_API int32_t kroGetRotateOption(const char* word) {
    return lookup(kRotations, word);
}
KRO_API int32_t kroGetModeOption(const char* word) {
    return lookup(kModes, word);
}
KRO_API int32_t kroGetColorTypeOption(const char* word) {
    return lookup(kColorTypes, word);
}
KRO_API int32_t kroGetDithesOption(const char* word) {
    return lookup(kDithers, word);
}

KRO_API int32_t kroGetPapertypeOption(const char* word) {
    int32_t code = kro::findPaperName(word);
    return code != 0 ? code : -1;
}

}  // extern "C"
