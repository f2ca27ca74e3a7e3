// Colour names for -color: lines of "red green blue<TAB>name" in the file
// RGB.TXT, found on the program's search path.
#include <cctype>
#include <cstring>

#include "core/image.h"
#include "options/options.h"
#include "search_path.h"

namespace {

using kro::fail;

constexpr char kColorFile[] = "RGB.TXT";
constexpr uint32_t kPathBuffer = 4096;
// Longer lines are read in pieces of 255 characters, each piece taken as a line.
constexpr int kLineBuffer = 256;

bool sameNameIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b)))
            return false;
        if (!*a) return true;
    }
}

// A carriage return before the newline goes, as a text-mode read drops it.
void dropCarriageReturn(char* line) {
    size_t n = std::strlen(line);
    if (n > 0 && line[n - 1] == '\n') --n;
    if (n > 0 && line[n - 1] == '\r')
        std::memmove(line + n - 1, line + n, std::strlen(line + n) + 1);
}

// The colour and name of a line; false when the line carries none. Three
// words split at spaces, tabs and newlines, then the name up to the next tab
// or newline, so the name may hold spaces.
bool parseLine(char* line, int32_t* colour, const char** name) {
    dropCarriageReturn(line);
    char* save = nullptr;
    const char* red = strtok_r(line, " \t\n", &save);
    const char* green = red ? strtok_r(nullptr, " \t\n", &save) : nullptr;
    const char* blue = green ? strtok_r(nullptr, " \t\n", &save) : nullptr;
    const char* rest = blue ? strtok_r(nullptr, "\t\n", &save) : nullptr;
    // Each component as "%d" reads it: the leading integer, the rest ignored.
    int32_t r, g, b;
    if (!rest || !kro::readInt(red, &r) || !kro::readInt(green, &g) || !kro::readInt(blue, &b))
        return false;
    // Components are not masked; a line whose colour comes out as the failure
    // value -1 cannot be told from a failure, so it carries no colour.
    uint32_t rgb = uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
    if (rgb == UINT32_MAX) return false;
    *colour = int32_t(rgb);
    *name = rest;
    return true;
}

}  // namespace

namespace kro {

int32_t colourByNameIn(const char* path, const char* name, int32_t* colour) {
    if (!name) return KRO_ERR_COLOR_NAME;
    FILE* f = std::fopen(path, "r");
    if (!f) return KRO_ERR_OPEN;
    char line[kLineBuffer];
    int32_t code = KRO_ERR_COLOR_NAME;
    while (code && std::fgets(line, sizeof line, f)) {
        int32_t lineColour;
        const char* lineName;
        if (parseLine(line, &lineColour, &lineName) && sameNameIgnoringCase(lineName, name)) {
            *colour = lineColour;
            code = 0;
        }
    }
    std::fclose(f);
    return code;
}

int32_t colourByName(const char* name, int32_t* colour) {
    if (!name) return KRO_ERR_COLOR_NAME;
    char path[kPathBuffer];
    uint32_t n = SearchPathA(nullptr, kColorFile, nullptr, kPathBuffer, path, nullptr);
    // No colour file anywhere: no name can be resolved, and the caller still
    // needs a code to report.
    if (n == 0 || n >= kPathBuffer) return KRO_ERR_COLOR_NAME;
    return colourByNameIn(path, name, colour);
}

int32_t lookupColorNameIn(const char* path, const char* name) {
    int32_t colour = -1;
    const int32_t code = colourByNameIn(path, name, &colour);
    return code ? fail(code) : colour;
}

}  // namespace kro
