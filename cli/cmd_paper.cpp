// kro paper: the paper tables and the queries between paper types, millimetres
// and dots.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/cli.h"
#include "cli/job.h"
#include "cli/messages.h"
#include "kro/kro.h"

namespace kro::cli {

namespace {

constexpr int32_t kLongPaperBit = 0x01000000;

int listPapers() {
    std::printf("%-10s  %-13s  %s\n", "CODE", "SIZE (mm)", "NAMES");
    const char* names[8];
    int32_t code = 0;
    for (int32_t row = 0, n; (n = KroPaperNames(row, &code, names, 8)) >= 0; ++row) {
        float w = 0, h = 0;
        KroQueryLengthByPapertype(code, &w, &h);
        char size[32];
        if (code & kLongPaperBit)
            std::snprintf(size, sizeof size, "%4.0f x long", double(w));
        else
            std::snprintf(size, sizeof size, "%4.0f x %-4.0f", double(w), double(h));
        std::printf("0x%08X  %-13s  ", unsigned(code), size);
        for (int32_t i = 0; i < std::min(n, int32_t(8)); ++i)
            std::printf("%s%s", i ? " " : "", names[i]);
        std::printf("\n");
    }
    return 0;
}

int failed(const std::string& what) {
    std::fprintf(stderr, "kro: %s: %s (status %d)\n", what.c_str(), statusMessage(fndErrorStatus),
                 int(fndErrorStatus));
    return 1;
}

void printPaper(int32_t code) {
    if (const char* name = paperName(code)) {
        std::printf("%s (0x%08X)\n", name, unsigned(code));
        return;
    }
    // A code the name table leaves out (long papers of some widths): its size.
    float w = 0, h = 0;
    if (KroQueryLengthByPapertype(code, &w, &h) != 0)
        std::printf("unnamed paper (0x%08X)\n", unsigned(code));
    else if (code & kLongPaperBit)
        std::printf("unnamed paper (0x%08X), %.0f mm wide, long\n", unsigned(code), double(w));
    else
        std::printf("unnamed paper (0x%08X), %.0f x %.0f mm\n", unsigned(code), double(w),
                    double(h));
}

// "210x297mm", "210.5x297mm" or "3304x4672dots"; false when it is neither.
bool parseSize(const std::string& word, double* w, double* h, bool* dots) {
    const char* s = word.c_str();
    char* end;
    *w = std::strtod(s, &end);
    if (end == s || (*end != 'x' && *end != 'X')) return false;
    const char* second = end + 1;
    *h = std::strtod(second, &end);
    if (end == second) return false;
    if (std::strcmp(end, "mm") == 0)
        *dots = false;
    else if (std::strcmp(end, "dots") == 0)
        *dots = true;
    else
        return false;
    return *w > 0 && *h > 0;
}

// The paper a name names, in any case ("Letter", "LETTER").
int32_t paperByName(const std::string& word) {
    return kroGetPapertypeOption(paperNameAnyCase(word).c_str());
}

const char* lie(int32_t code) {
    return (code & 0x10) ? "upright (portrait)" : "lying (landscape)";
}

}  // namespace

int cmdPaper(const std::vector<std::string>& args) {
    std::vector<std::string> flags, words, operands;
    if (int rc = splitFlags(args, {"--fit"}, &flags, &words)) return rc;
    const bool fit = hasFlag(flags, "--fit");
    if (int rc = parseJobOptions(words, &operands)) return rc;
    warnUnusedOptions({"dpi"});
    if (operands.empty()) return listPapers();
    if (operands.size() > 1) {
        std::fprintf(stderr,
                     "kro: paper: unexpected operand '%s'\nTry 'kro --help' for more "
                     "information.\n",
                     operands[1].c_str());
        return 2;
    }
    const std::string& what = operands[0];
    const int32_t dpi = kroOption.dpi.value;

    double w, h;
    bool dots;
    if (parseSize(what, &w, &h, &dots)) {
        int32_t code;
        if (dots) {
            if (w > 2147483647.0 || h > 2147483647.0 || w != int32_t(w) || h != int32_t(h)) {
                std::fprintf(stderr, "kro: %s: sizes in dots are whole numbers\n", what.c_str());
                return 2;
            }
            code = KroQueryPapertypeByDots(int32_t(w), int32_t(h), dpi);
        } else {
            code = KroQueryPapertypeByLength(float(w), float(h), fit ? 1 : 0);
        }
        if (code == 0 && !dots && !fit) {
            std::fprintf(stderr,
                         "kro: %s: no paper is within 5%% of %g x %g mm; --fit gives the "
                         "smallest paper that holds it (status %d)\n",
                         what.c_str(), w, h, int(fndErrorStatus));
            return 1;
        }
        if (code == -1 || code == 0) return failed(what);
        printPaper(code);
        return 0;
    }

    const int32_t code = paperByName(what);
    if (code == -1) {
        std::fprintf(stderr,
                     "kro: %s: not a paper name or a size such as 210x297mm or 3304x4672dots\n",
                     what.c_str());
        return 1;
    }
    float wmm = 0, hmm = 0;
    if (KroQueryLengthByPapertype(code, &wmm, &hmm) != 0) return failed(what);
    int32_t wd = 0, hd = 0;
    int32_t rc = KroQueryDotsByPapertype(code, dpi, &wd, &hd);
    std::printf("%s: code 0x%08X, %.0f x %.0f mm, %s%s", what.c_str(), unsigned(code), double(wmm),
                double(hmm), lie(code),
                (code & kLongPaperBit) ? " (long: the length follows the drawing)" : "");
    if (rc != 0) {
        std::printf("\n");
        return failed(what + " at " + std::to_string(dpi) + " dpi");
    }
    std::printf(", %d x %d dots at %d dpi\n", int(wd), int(hd), int(dpi));
    return 0;
}

}  // namespace kro::cli
