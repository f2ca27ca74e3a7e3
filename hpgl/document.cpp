// The plot document: KroOpenHPGL reads a plot file whole, cleans its text,
// measures it and chooses its paper; KroCloseHPGL frees it.
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "core/image.h"
#include "core/pixels.h"
#include "hpgl/hpgl.h"
#include "hpgl/plotter.h"
#include "hpgl/stream.h"

static_assert(offsetof(HpglDocument, path) == 0);
static_assert(offsetof(HpglDocument, text) == sizeof(void*));
static_assert(offsetof(HpglDocument, textLength) == 2 * sizeof(void*));
static_assert(offsetof(HpglDocument, widthMm) == 2 * sizeof(void*) + 8);
static_assert(offsetof(HpglDocument, heightMm) == offsetof(HpglDocument, widthMm) + 8);
static_assert(offsetof(HpglDocument, xMax) == offsetof(HpglDocument, widthMm) + 16);
static_assert(offsetof(HpglDocument, yMax) == offsetof(HpglDocument, widthMm) + 24);
static_assert(offsetof(HpglDocument, xMin) == offsetof(HpglDocument, widthMm) + 32);
static_assert(offsetof(HpglDocument, yMin) == offsetof(HpglDocument, widthMm) + 40);
static_assert(offsetof(HpglDocument, scale) == offsetof(HpglDocument, widthMm) + 48);
static_assert(offsetof(HpglDocument, plot) == offsetof(HpglDocument, widthMm) + 56);
static_assert(offsetof(HpglDocument, paperType) == offsetof(HpglDocument, plot) + 4);
static_assert(offsetof(HpglDocument, ignoreCount) == offsetof(HpglDocument, plot) + 8);
static_assert(offsetof(HpglDocument, ignoreCodes) ==
              offsetof(HpglDocument, plot) + 12 + (sizeof(void*) == 8 ? 4 : 0));
#if UINTPTR_MAX == 0xFFFFFFFFu && defined(_WIN32)
// Win32: the doubles start on 8 bytes after the padding word, 88 bytes in all.
static_assert(offsetof(HpglDocument, widthMm) == 16 && sizeof(HpglDocument) == 88);
#endif
static_assert(sizeof(HpglDocument) == offsetof(HpglDocument, ignoreCodes) + sizeof(void*));

namespace kro::hpgl {

namespace {

// Bytes that the cleaning looks at; all others are copied as they stand.
struct SpecialBytes {
    bool is[256];
};
constexpr SpecialBytes kSpecial = [] {
    SpecialBytes t{};
    for (unsigned char c : {'\r', '\x1A', '\0', '\t', '\n', '\x1B', ' ', '@'}) t.is[c] = true;
    return t;
}();

}  // namespace

size_t normalizePlotText(char* text, size_t n) {
    size_t i = 0, o = 0;
    char last = '\0';  // the input byte before i; the output may have overwritten it
    auto isBreak = [&](size_t at) {
        return text[at] == ' ' || text[at] == '\r' || text[at] == '\n';
    };
    while (i < n) {
        if (!kSpecial.is[static_cast<unsigned char>(text[i])]) {
            // A run of ordinary bytes, moved at once. Output lags input, so
            // the byte before i is still the input's own after the move.
            size_t end = i + 1;
            while (end < n && !kSpecial.is[static_cast<unsigned char>(text[end])]) ++end;
            if (o != i) std::memmove(text + o, text + i, end - i);
            o += end - i;
            i = end;
            last = text[i - 1];
            continue;
        }
        const char c = text[i];
        if (c == '\x1A') break;
        if (c == '\0' || c == '\t') {
            ++i;
            last = c;
            continue;
        }
        if (c == '\x1B' && i + 2 < n && text[i + 1] == '.') {
            const char d = text[i + 2];
            if (d == 'I' || d == 'N') {
                // Up to and including the ":"; without one, the rest of the text.
                const void* colon = std::memchr(text + i + 3, ':', n - (i + 3));
                i = colon ? size_t(static_cast<const char*>(colon) - text) + 1 : n;
                last = ':';
                continue;
            }
            if (d == 'Y' || d == 'Z') {
                i += 3;
                last = d;
                continue;
            }
        }
        if (c == '\x1B' && i + 1 < n && std::strchr("%&*()E", text[i + 1]) && text[i + 1]) {
            // A printer-language escape of the job around the plot (ESC E,
            // ESC %0B, ESC %-12345X): to its final capital, within a few bytes.
            size_t end = i + 1;
            while (end < n && end < i + 32 && !(text[end] >= 'A' && text[end] <= 'Z')) ++end;
            if (end < n && text[end] >= 'A' && text[end] <= 'Z') {
                i = end + 1;
                last = text[end];
                continue;
            }
        }
        if (c == '@' && n - i >= 4 && std::memcmp(text + i, "@PJL", 4) == 0) {
            // A job-language line of the wrapper, to its line feed.
            const void* lf = std::memchr(text + i, '\n', n - i);
            i = lf ? size_t(static_cast<const char*>(lf) - text) + 1 : n;
            last = '\n';
            continue;
        }
        if (isBreak(i)) {
            // Spaces and line breaks (CR, LF, CR LF) separate like one space,
            // so digits on either side of a line break stay two numbers.
            if (i != 0 && last != ',') text[o++] = ' ';
            while (i < n && isBreak(i)) last = text[i++];
            continue;
        }
        text[o++] = c;
        ++i;
        last = c;
    }
    text[o] = '\0';
    return o;
}

}  // namespace kro::hpgl

namespace {

using kro::fail;

// A comma-separated list of two-letter mnemonics that each name IW; a
// trailing comma and a single letter left at the end pass.
bool ignoreListValid(const char* list) {
    const char* p = list;
    while (*p && p[1]) {
        if (Kro_STR_CMP(6, p) != kro::hpgl::kIW) return false;
        p += 2;
        if (*p == ',')
            ++p;
        else if (*p)
            return false;
    }
    return true;
}

HpglDocument* failed(int32_t code) {
    fail(code);
    return static_cast<HpglDocument*>(KRO_FAILED_PTR);
}

// Frees a document under construction.
void discard(HpglDocument* doc) {
    std::free(doc->text);
    std::free(doc->ignoreCodes);
    std::free(doc);
}

// Plot text of megabytes goes into whole huge pages as pictures do, which
// cuts the page faults of reading it; free() takes either kind.
char* allocText(size_t n) {
    return reinterpret_cast<char*>(kro::allocPixels(n));
}

// Reads the file whole into doc->text and cleans it; 0 or a status code.
int32_t loadText(HpglDocument* doc) {
    const char* path = doc->path;
    if (!path || access(path, R_OK) != 0) return KRO_ERR_HPGL_ACCESS;
    struct stat st;
    if (stat(path, &st) != 0) return KRO_ERR_HPGL_SIZE;
    // textLength counts the NUL in 32 bits: larger files cannot be held.
    if (st.st_size < 0 || st.st_size >= INT32_MAX) return KRO_ERR_NOMEM;
    const size_t size = size_t(st.st_size);
    doc->text = allocText(size + 1);
    if (!doc->text) return KRO_ERR_NOMEM;
    FILE* f = std::fopen(path, "rb");
    if (!f) return KRO_ERR_OPEN;
    const size_t got = size ? std::fread(doc->text, 1, size, f) : 0;
    if (got == 0) {
        std::fclose(f);
        return KRO_ERR_HPGL_READ;
    }
    doc->textLength = int32_t(kro::hpgl::normalizePlotText(doc->text, got) + 1);
    std::fclose(f);
    return 0;
}

}  // namespace

extern "C" {

KRO_API HpglDocument* KroOpenHPGL(const char* path, int32_t plot, int32_t ignore,
                                  char* ignoreList) {
    kro::hpgl::clearStatus();
    size_t listLength = 0;
    if (ignore == 1) {
        if (!ignoreList || !*ignoreList) return failed(KRO_ERR_OPTION_RANGE);
        for (char* p = ignoreList; *p; ++p) *p = char(std::toupper(static_cast<unsigned char>(*p)));
        if (!ignoreListValid(ignoreList)) return failed(KRO_ERR_OPTION_RANGE);
        listLength = std::strlen(ignoreList);
    }

    auto* doc = static_cast<HpglDocument*>(std::calloc(1, sizeof(HpglDocument)));
    if (!doc) return failed(KRO_ERR_NOMEM);
    doc->path = path;
    doc->plot = plot;

    if (ignore == 1) {
        const size_t count = (listLength + 1) / 3;
        doc->ignoreCodes = static_cast<int32_t*>(std::malloc(count ? count * sizeof(int32_t) : 1));
        if (!doc->ignoreCodes) {
            discard(doc);
            return failed(KRO_ERR_NOMEM);
        }
        doc->ignoreCount = int32_t(count);
        const char* p = ignoreList;
        for (size_t k = 0; k < count && *p && p[1]; ++k) {
            doc->ignoreCodes[k] = Kro_STR_CMP(6, p);
            p += 2;
            if (*p == ',') ++p;
        }
    }

    if (int32_t code = loadText(doc)) {
        discard(doc);
        return failed(code);
    }
    kro::hpgl::PlotExtents e;
    if (int32_t code = kro::hpgl::measurePlot(doc->text, doc->textLength, plot, doc->ignoreCount,
                                              doc->ignoreCodes, &e)) {
        discard(doc);
        return failed(code);
    }
    using kro::hpgl::kMmPerPlotterUnit;
    doc->widthMm = (e.xMax - e.xMin) * kMmPerPlotterUnit;
    doc->heightMm = (e.yMax - e.yMin) * kMmPerPlotterUnit;
    doc->xMax = e.xMax;
    doc->yMax = e.yMax;
    doc->xMin = e.xMin;
    doc->yMin = e.yMin;
    doc->scale = 1.0;
    using kro::hpgl::toFloat;
    int32_t paper = KroQueryPapertypeByLength(toFloat(doc->widthMm), toFloat(doc->heightMm), 1);
    doc->paperType = paper < 0 ? 0 : paper;
    return doc;
}

KRO_API int32_t KroCloseHPGL(HpglDocument* document) {
    if (!document || document == KRO_FAILED_PTR) return 0;
    discard(document);
    return 0;
}

}  // extern "C"
