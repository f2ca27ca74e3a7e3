// kro info for HP-GL plots.
#include "cli/plot_info.h"

#include <cstdio>
#include <cstring>

#include "cli/input.h"
#include "cli/job.h"
#include "cli/messages.h"
#include "cli/picture.h"
#include "kro/kro.h"

namespace kro::cli {

namespace {

// Bytes that plots hold besides printable text: line ends, escapes, the
// terminators, and the shift and backspace bytes of labels.
bool isPlotByte(unsigned char c) {
    return c >= 0x20 || c == '\r' || c == '\n' || c == '\t' || c == '\f' || c == '\b' ||
           c == 0x1B || c == 0x03 || c == 0x1A || c == 0x0E || c == 0x0F || c == 0;
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The offset of the first command after what a plot may begin with: blanks,
// terminators, device-control escapes, and a job wrapper (the universal exit,
// PJL lines, printer-language escapes such as ESC E and ESC %0B).
size_t skipWrapper(const char* head, size_t n) {
    size_t i = 0;
    while (i < n) {
        const char c = head[i];
        if (c == ' ' || c == ';' || c == '\r' || c == '\n' || c == '\t' || c == 0x03 || c == '\f' ||
            c == 0) {
            ++i;
        } else if (c == 0x1B && i + 1 < n && head[i + 1] == '.') {
            // Device control: three bytes, then any parameters up to a ":".
            i += 3;
            size_t k = i;
            while (k < n && std::strchr("0123456789;,. ", head[k]) && head[k]) ++k;
            if (k < n && head[k] == ':') i = k + 1;
        } else if (c == 0x1B) {
            // Printer-language escapes end with an upper-case letter.
            ++i;
            while (i < n && !(head[i] >= 'A' && head[i] <= 'Z')) ++i;
            ++i;
        } else if (c == '@' && n - i >= 4 && std::memcmp(head + i, "@PJL", 4) == 0) {
            while (i < n && head[i] != '\n') ++i;
        } else {
            break;
        }
    }
    return i;
}

std::string paperLabel(int32_t code) {
    if (code == 0) return "none";
    const char* name = paperName(code);
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", unsigned(code));
    return std::string(name ? name : "?") + " (" + hex + ")";
}

}  // namespace

bool isPlotFile(const std::string& name) {
    const std::string path = inputPath(name);
    FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
    if (!f) return false;
    // Pictures are told by their bytes first: a CALS header reads as text.
    const Format picture = detectFormat(f);
    char head[4097];
    size_t n = std::fread(head, 1, sizeof head - 1, f);
    std::fclose(f);
    if (picture == Format::Bmp || picture == Format::Jpeg || picture == Format::Cals ||
        picture == Format::Tiff || picture == Format::Png)
        return false;
    // Mostly text: a label may hold a few bytes of another kind, a picture many.
    size_t other = 0;
    for (size_t i = 0; i < n; ++i) other += isPlotByte(static_cast<unsigned char>(head[i])) ? 0 : 1;
    if (other * 16 > n) return false;
    head[n] = '\0';
    // The first command opens the text, in either case.
    size_t i = skipWrapper(head, n);
    if (!(i + 1 < n && isLetter(head[i]) && isLetter(head[i + 1]))) return false;
    if ((head[i] >= 'a') != (head[i + 1] >= 'a')) return false;  // "So" starts prose
    for (size_t k = i; k < n; ++k) head[k] = upper(head[k]);
    // Two letters alone may be prose: some mnemonic must take parameters.
    for (; i + 1 < n; ++i)
        if (Kro_STR_CMP(6, head + i) != 0 && std::strchr("0123456789+-.;", head[i + 2]))
            return true;
    return false;
}

int describePlot(const std::string& path) {
    char* ignore = kroOption.ignore.given ? kroOption.ignore.value : nullptr;
    HpglDocument* doc = KroOpenHPGL(inputPath(path).c_str(), kroOption.plot.value,
                                    kroOption.ignore.given ? 1 : 0, ignore);
    if (doc == KRO_FAILED_PTR) {
        std::fprintf(stderr, "kro: %s: %s (status %d)\n", path.c_str(),
                     statusMessage(fndErrorStatus), int(fndErrorStatus));
        return 1;
    }
    std::printf("%s:\n", path.c_str());
    std::printf("  format:      HP-GL plot, %d bytes of commands\n", int(doc->textLength - 1));
    std::printf("  extents:     x %g to %g, y %g to %g plotter units\n", doc->xMin, doc->xMax,
                doc->yMin, doc->yMax);
    std::printf("  size:        %.2f x %.2f mm\n", doc->widthMm, doc->heightMm);
    std::printf("  smallest:    %s\n", paperLabel(doc->paperType).c_str());
    std::printf("  paper:       %s\n", paperLabel(SetPaperType(doc)).c_str());
    int32_t w = 0, h = 0;
    int rc = 0;
    if (SetDrawableSize(doc, &w, &h, kroOption.physical.given ? 1 : 0) != 0) {
        std::fprintf(stderr, "kro: %s: page size: %s (status %d)\n", path.c_str(),
                     statusMessage(fndErrorStatus), int(fndErrorStatus));
        rc = 1;
    } else {
        std::printf("  page:        %d x %d dots at %d dpi\n", int(w), int(h),
                    int(kroOption.dpi.value));
    }
    // The measures above are of every page as one, as the design's look draws them.
    const int32_t pages = KroSelectHPGLPage(doc, 1);
    if (pages > 1)
        std::printf("  pages:       %d (PG; convert draws each on a page)\n", int(pages));
    KroCloseHPGL(doc);
    return rc;
}

}  // namespace kro::cli
