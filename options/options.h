// Internals of the option record: the table of its slots with their keywords,
// conversions and defaults, and the entries that only the library calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string_view>

#include "kro/kro.h"

namespace kro {

// How an option's value argument is turned into its slot value.
enum class OptionKind : uint8_t {
    Integer,  // atoi
    Real,     // atof
    Text,     // the argument itself
    Switch,   // no value
    Keyword,  // a keyword lookup
    Colour,   // "#" and hex digits, or a name from the colour file
};

struct OptionSlot {
    const char* keyword;
    OptionKind kind;
    KroIntSlot KroOption::*integer = nullptr;  // Integer, Keyword, Colour
    KroRealSlot KroOption::*real = nullptr;
    KroTextSlot KroOption::*text = nullptr;
    KroSwitchSlot KroOption::*flag = nullptr;
    int32_t intDefault = 0;
    double realDefault = 0.0;
    int32_t (*lookup)(const char*) = nullptr;  // Keyword
    int32_t badWordCode = 0;                   // Keyword: stored when lookup gives -1
};

constexpr OptionSlot integerSlot(const char* keyword, KroIntSlot KroOption::*slot, int32_t def) {
    return {.keyword = keyword, .kind = OptionKind::Integer, .integer = slot, .intDefault = def};
}
constexpr OptionSlot realSlot(const char* keyword, KroRealSlot KroOption::*slot, double def) {
    return {.keyword = keyword, .kind = OptionKind::Real, .real = slot, .realDefault = def};
}
constexpr OptionSlot textSlot(const char* keyword, KroTextSlot KroOption::*slot) {
    return {.keyword = keyword, .kind = OptionKind::Text, .text = slot};
}
constexpr OptionSlot switchSlot(const char* keyword, KroSwitchSlot KroOption::*slot) {
    return {.keyword = keyword, .kind = OptionKind::Switch, .flag = slot};
}
constexpr OptionSlot keywordSlot(const char* keyword, KroIntSlot KroOption::*slot, int32_t def,
                                 int32_t (*lookup)(const char*), int32_t badWordCode) {
    return {.keyword = keyword,
            .kind = OptionKind::Keyword,
            .integer = slot,
            .intDefault = def,
            .lookup = lookup,
            .badWordCode = badWordCode};
}
constexpr OptionSlot colourSlot(const char* keyword, KroIntSlot KroOption::*slot, int32_t def) {
    return {.keyword = keyword, .kind = OptionKind::Colour, .integer = slot, .intDefault = def};
}

int32_t kroGetPhotoOption(const char* word);

// Every slot of kroOption in record order: keyword, conversion, default.
inline constexpr OptionSlot kOptionSlots[] = {
    integerSlot("from", &KroOption::from, -1),
    integerSlot("to", &KroOption::to, -1),
    integerSlot("width", &KroOption::width, 768),
    integerSlot("height", &KroOption::height, 576),
    textSlot("outdata", &KroOption::outdata),
    textSlot("directory", &KroOption::directory),
    textSlot("outfile", &KroOption::outfile),
    integerSlot("page", &KroOption::page, 1),
    integerSlot("dpi", &KroOption::dpi, 400),
    keywordSlot("compression", &KroOption::compression, KRO_COMPRESSION_G4, kroGetCompressionOption,
                KRO_ERR_COMPRESSION_WORD),
    realSlot("scale", &KroOption::scale, 1.0),
    keywordSlot("papertype", &KroOption::papertype, 0x00010310, kroGetPapertypeOption,
                KRO_ERR_PAPER),
    keywordSlot("rotate", &KroOption::rotate, 0, kroGetRotateOption, KRO_ERR_ROTATE_WORD),
    textSlot("list", &KroOption::list),
    textSlot("fn", &KroOption::fn),
    keywordSlot("mode", &KroOption::mode, KRO_MODE_COPY, kroGetModeOption, KRO_ERR_MODE_WORD),
    integerSlot("x", &KroOption::x, 0),
    integerSlot("y", &KroOption::y, 0),
    textSlot("mergefile", &KroOption::mergefile),
    keywordSlot("colortype", &KroOption::colortype, -1, kroGetColorTypeOption,
                KRO_ERR_COLORTYPE_WORD),
    realSlot("gamma", &KroOption::gamma, 1.0),
    integerSlot("quality", &KroOption::quality, 75),
    integerSlot("level", &KroOption::level, -1),
    keywordSlot("dithes", &KroOption::dithes, 0, kroGetDithesOption, KRO_ERR_DITHER_WORD),
    integerSlot("tileWidth", &KroOption::tileWidth, -1),
    integerSlot("tileHeight", &KroOption::tileHeight, -1),
    integerSlot("tileNumX", &KroOption::tileNumX, 1),
    integerSlot("tileNumY", &KroOption::tileNumY, 1),
    integerSlot("xreso", &KroOption::xreso, 400),
    integerSlot("yreso", &KroOption::yreso, 400),
    keywordSlot("photo", &KroOption::photo, 0, kroGetPhotoOption, KRO_ERR_OPTION_RANGE),
    colourSlot("color", &KroOption::color, 0x00FF0000),
    integerSlot("stripLength", &KroOption::stripLength, -1),
    integerSlot("strip", &KroOption::strip, 1),
    integerSlot("fontsize", &KroOption::fontsize, 24),  // atol: long is 32 bits on the host
    realSlot("pen1", &KroOption::pen1, 0.0),
    realSlot("pen2", &KroOption::pen2, 0.0),
    realSlot("pen3", &KroOption::pen3, 0.0),
    realSlot("pen4", &KroOption::pen4, 0.0),
    realSlot("pen5", &KroOption::pen5, 0.0),
    realSlot("pen6", &KroOption::pen6, 0.0),
    realSlot("pen7", &KroOption::pen7, 0.0),
    realSlot("pen8", &KroOption::pen8, 0.0),
    integerSlot("plot", &KroOption::plot, 4),
    integerSlot("defDpi", &KroOption::defDpi, 400),
    integerSlot("defXDpi", &KroOption::defXDpi, 400),
    integerSlot("defYDpi", &KroOption::defYDpi, 400),
    textSlot("ignore", &KroOption::ignore),
    switchSlot("Italic", &KroOption::Italic),
    switchSlot("bold", &KroOption::bold),
    switchSlot("physical", &KroOption::physical),
    switchSlot("dithee", &KroOption::dithee),
    switchSlot("notify", &KroOption::notify),
    switchSlot("center", &KroOption::center),
    switchSlot("batch", &KroOption::batch),
};

inline constexpr size_t kOptionSlotCount = sizeof kOptionSlots / sizeof kOptionSlots[0];
static_assert(kOptionSlotCount == 55);

// The given flag of a slot of record.
inline int32_t& givenFlag(KroOption& record, const OptionSlot& slot) {
    switch (slot.kind) {
        case OptionKind::Real:
            return (record.*slot.real).given;
        case OptionKind::Text:
            return (record.*slot.text).given;
        case OptionKind::Switch:
            return (record.*slot.flag).given;
        default:
            return (record.*slot.integer).given;
    }
}

inline int32_t givenFlag(const KroOption& record, const OptionSlot& slot) {
    return givenFlag(const_cast<KroOption&>(record), slot);
}

// Clears every given flag of record; the values stay.
inline void initOption(KroOption& record) {
    for (const OptionSlot& slot : kOptionSlots) givenFlag(record, slot) = 0;
}

// Index of a keyword in kOptionSlots; -1 when none.
constexpr int slotIndex(std::string_view keyword) {
    for (size_t i = 0; i < kOptionSlotCount; ++i)
        if (keyword == kOptionSlots[i].keyword) return int(i);
    return -1;
}

// A set of slots as bits by slot index; an unknown keyword does not compile.
consteval uint64_t slotSet(std::initializer_list<std::string_view> keywords) {
    uint64_t set = 0;
    for (std::string_view k : keywords) {
        int i = slotIndex(k);
        if (i < 0) throw "unknown option keyword";
        set |= uint64_t(1) << i;
    }
    return set;
}

// Internals on a record of the caller's. Those that can refuse give 0 or the
// status code of the refusal and store nothing; the exported functions of the
// same names wrap them with kroOption and fndErrorStatus.
void setDefaults(KroOption& record);
int32_t checkOption(const KroOption& record);  // contradictions between given options
int32_t checkValue(const KroOption& record);   // value ranges, after the defaults
// Whether every option given in record is one that conversion kind (1 to 24) accepts.
int32_t checkCOption(const KroOption& record, int32_t kind);
int32_t getOption(KroOption& record, int32_t* argc, char** argv);
// What follows the reading of a job's options: the checks, the defaults, one
// tile side for both, and -page as -from and -to.
int32_t completeOptions(KroOption& record);

// The leading decimal integer of text as strtol reads it, saturated to 32
// bits rather than wrapped; false, leaving *value, when text holds none.
bool readInt(const char* text, int32_t* value);
// atoi and atof as the host's 32-bit runtime has them, minus the undefined
// cases: a number too large for 32 bits saturates instead of wrapping.
int32_t toInt(const char* text);
double toReal(const char* text);

// The colour of name in the colour-name file "RGB.TXT" found on the search
// path, or in one given file, as 0xRRGGBB into *colour; 0 or a status code.
int32_t colourByName(const char* name, int32_t* colour);
int32_t colourByNameIn(const char* path, const char* name, int32_t* colour);
// colourByNameIn with the library's convention: the colour, or -1 with the
// code stored.
int32_t lookupColorNameIn(const char* path, const char* name);

// Reads the words of a one-line option file into record, its flags cleared
// first, without checks or defaults: 0 with *input the job's input path
// (malloc'd, the caller frees it) or KRO_FAILED_PTR when the stream ends
// before its first character; otherwise a status code. The text slots point
// into buffers of the reader, good until its next call.
int32_t readOptionFile(FILE* stream, KroOption& record, char** input);
// readOptionFile into kroOption, then checked and completed as KroGetOption
// completes a vector: the input path, or null with the code stored. The host
// program compiles this file into itself, so it reaches the rest of the
// library through the exports only.
char* kroReadOptionFile(FILE* stream);

}  // namespace kro
