// Colour names for -color: lines of "red green blue<TAB>name" in the file
// RGB.TXT, found on the program's search path.
#include <cctype>
#include <climits>
#include <cstdlib>
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

// A component read as "%d" reads it: leading integer, the rest ignored; false
// when the word holds no number.
bool readComponent(const char* word, int32_t* value) {
    char* end = nullptr;
    long long v = std::strtoll(word, &end, 10);
    if (end == word) return false;
    *value = v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
    return true;
}

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
    int32_t r, g, b;
    if (!rest || !readComponent(red, &r) || !readComponent(green, &g) || !readComponent(blue, &b))
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

int32_t lookupColorNameIn(const char* path, const char* name) {
    if (!name) return fail(KRO_ERR_COLOR_NAME);
    FILE* f = std::fopen(path, "r");
    if (!f) return fail(KRO_ERR_OPEN);
    char line[kLineBuffer];
    while (std::fgets(line, sizeof line, f)) {
        int32_t colour;
        const char* lineName;
        if (parseLine(line, &colour, &lineName) && sameNameIgnoringCase(lineName, name)) {
            std::fclose(f);
            return colour;
        }
    }
    std::fclose(f);
    return fail(KRO_ERR_COLOR_NAME);
}

int32_t kroLookupColorName(const char* name) {
    if (!name) return fail(KRO_ERR_COLOR_NAME);
    char path[kPathBuffer];
    uint32_t n = SearchPathA(nullptr, kColorFile, nullptr, kPathBuffer, path, nullptr);
    // No colour file anywhere: no name can be resolved, and the caller still
    // needs a code to report.
    if (n == 0 || n >= kPathBuffer) return fail(KRO_ERR_COLOR_NAME);
    return lookupColorNameIn(path, name);
}

}  // namespace kro
