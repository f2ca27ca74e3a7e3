// Job options: the library parses them; the command reports what is left over
// and what it does not apply.
#include "cli/job.h"

#include <algorithm>
#include <cstdio>

#include "cli/messages.h"
#include "kro/kro.h"

namespace kro::cli {

namespace {

struct GivenFlag {
    const char* keyword;
    const int32_t* given;
};

#define KRO_SLOT(k) {#k, &kroOption.k.given}
const GivenFlag kGivenFlags[] = {
    KRO_SLOT(from),      KRO_SLOT(to),         KRO_SLOT(width),       KRO_SLOT(height),
    KRO_SLOT(outdata),   KRO_SLOT(directory),  KRO_SLOT(outfile),     KRO_SLOT(page),
    KRO_SLOT(dpi),       KRO_SLOT(compression), KRO_SLOT(scale),      KRO_SLOT(papertype),
    KRO_SLOT(rotate),    KRO_SLOT(list),       KRO_SLOT(fn),          KRO_SLOT(mode),
    KRO_SLOT(x),         KRO_SLOT(y),          KRO_SLOT(mergefile),   KRO_SLOT(colortype),
    KRO_SLOT(gamma),     KRO_SLOT(quality),    KRO_SLOT(level),       KRO_SLOT(dithes),
    KRO_SLOT(tileWidth), KRO_SLOT(tileHeight), KRO_SLOT(tileNumX),    KRO_SLOT(tileNumY),
    KRO_SLOT(xreso),     KRO_SLOT(yreso),      KRO_SLOT(photo),       KRO_SLOT(color),
    KRO_SLOT(stripLength), KRO_SLOT(strip),    KRO_SLOT(fontsize),    KRO_SLOT(pen1),
    KRO_SLOT(pen2),      KRO_SLOT(pen3),       KRO_SLOT(pen4),        KRO_SLOT(pen5),
    KRO_SLOT(pen6),      KRO_SLOT(pen7),       KRO_SLOT(pen8),        KRO_SLOT(plot),
    KRO_SLOT(defDpi),    KRO_SLOT(defXDpi),    KRO_SLOT(defYDpi),     KRO_SLOT(ignore),
    KRO_SLOT(Italic),    KRO_SLOT(bold),       KRO_SLOT(physical),    KRO_SLOT(dithee),
    KRO_SLOT(notify),    KRO_SLOT(center),     KRO_SLOT(batch),
};
#undef KRO_SLOT

}  // namespace

int parseJobOptions(const std::vector<std::string>& args) {
    // The library compacts the vector in place and keeps pointers to values,
    // so it gets strings that outlive the job.
    static std::vector<std::string> storage;
    storage = args;
    std::vector<char*> argv;
    for (std::string& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);
    int32_t argc = int32_t(storage.size());

    kroInitOption();
    if (KroGetOption(&argc, argv.data()) != 0) {
        std::fprintf(stderr, "kro: job options: %s (status %d)\n", statusMessage(fndErrorStatus),
                     int(fndErrorStatus));
        return 1;
    }
    if (argc > 0) {
        std::fprintf(stderr, "kro: unknown job option '%s'\nTry 'kro --help' for more information.\n",
                     argv[0]);
        return 2;
    }
    return 0;
}

void warnUnusedOptions(const std::vector<std::string>& applied) {
    for (const GivenFlag& f : kGivenFlags)
        if (*f.given && std::find(applied.begin(), applied.end(), f.keyword) == applied.end())
            std::fprintf(stderr, "kro: warning: -%s has no effect on this conversion\n", f.keyword);
}

}  // namespace kro::cli
