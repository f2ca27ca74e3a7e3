// kro: the command-line host of the KRO library.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli.h"

#ifndef KRO_VERSION_STRING
#define KRO_VERSION_STRING "unknown"
#endif

namespace {

using namespace kro::cli;

const char kUsage[] =
    "Usage: kro [--help] [--version] COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  info FILE...                 describe pictures: format, size, depth, photometric\n"
    "                               interpretation and resolution; HP-GL plots:\n"
    "                               extents, paper and page in dots for the job options\n"
    "                               (-dpi -papertype -scale -physical -plot -ignore)\n"
    "  convert [--verbose] IN... OUT\n"
    "                               convert a picture; the output format follows OUT's\n"
    "                               extension (.bmp, .pcx, .jpg/.jpeg, .cal/.cals, .ps);\n"
    "                               several inputs make one PostScript page each\n"
    "  batch [--jobs N] [--report FILE] JOBS\n"
    "                               one conversion job per line of JOBS (option-file\n"
    "                               lines of 25 words), N processes at a time; a\n"
    "                               JSON line per job in FILE\n"
    "  paper                        list every paper name with its code and size\n"
    "  paper NAME                   a paper's size in millimetres and in dots (-dpi)\n"
    "  paper WxHmm [--fit]          the paper nearest a size (--fit: the smallest that\n"
    "                               holds it)\n"
    "  paper WxHdots                the paper of a size in dots (-dpi)\n"
    "\n"
    "kro reads uncompressed bottom-up BMP files of 1, 8 and 24 bits (Windows info\n"
    "headers of 40 bytes or more, either byte order), PCX files of 1, 8 and 24 bits,\n"
    "baseline and progressive JPEG files (gray or colour) and CALS Type 1 files. It\n"
    "refuses OS/2, top-down, run-length or otherwise compressed BMP files and\n"
    "other depths, naming the variant.\n"
    "\n"
    "Job options are single-dash words as a host passes them, anywhere among the\n"
    "file names, for example -dpi 300 -papertype A4V. The library checks them all;\n"
    "convert scales the picture to the page of -width -height, -papertype, -scale,\n"
    "-dpi and -defDpi, and applies the colour options; each output format refuses\n"
    "the options its conversion kind does not take. paper applies -dpi.\n"
    "\n"
    "Options:\n"
    "  -h, --help                   show this help and exit\n"
    "  -V, --version                show the version and exit\n"
    "  --verbose                    (convert) say what was written\n"
    "  --fit                        (paper) the smallest paper that holds the size\n"
    "\n"
    "Exit status: 0 on success, 1 when a job fails, 2 on a usage error.\n";

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usageError("missing command");
    const std::string& first = args[0];
    if (first == "-h" || first == "--help" || first == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (first == "-V" || first == "--version") {
        std::printf("kro %s\n", KRO_VERSION_STRING);
        return 0;
    }
    std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const std::string& a : rest)
        if (a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    if (first == "info") return cmdInfo(rest);
    if (first == "convert") return cmdConvert(rest);
    if (first == "paper") return cmdPaper(rest);
    if (first == "batch") return cmdBatch(rest);
    return usageError("unknown command '%s'", first.c_str());
}
