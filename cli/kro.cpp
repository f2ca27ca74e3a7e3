// kro: the command-line host of the KRO library.
#include <cstdio>
#include <string>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif
#include <vector>

#include "cli/cli.h"
#include "cli/job.h"

#ifndef KRO_VERSION_STRING
#define KRO_VERSION_STRING "unknown"
#endif

using namespace kro::cli;

// Fontconfig, which finds the font of label text, keeps its configuration for
// the life of the process; the leak checker (which alone calls this) is told so.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

int main(int argc, char** argv) {
#ifdef _WIN32
    // Pictures pass through standard input and output: no CR-LF translation.
    // Messages too, so that they are the same bytes as on Linux.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usageError("missing command");
    const std::string& first = args[0];
    if (first == "-h" || first == "--help") return showHelp("");
    if (first == "help") {
        if (args.size() > 2) return usageError("help: takes one COMMAND");
        return showHelp(args.size() == 2 ? args[1] : "");
    }
    if (first == "-V" || first == "--version") {
        std::printf("kro %s\n", KRO_VERSION_STRING);
        return 0;
    }
    std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const std::string& a : rest)
        if (a == "--help") return showHelp(first);
    if (first == "info") return cmdInfo(rest);
    if (first == "convert") return cmdConvert(rest);
    if (first == "paper") return cmdPaper(rest);
    if (first == "batch") return cmdBatch(rest);
    const std::string near = nearestWord(first, {"info", "convert", "paper", "batch", "help"});
    if (!near.empty())
        return usageError("unknown command %s",
                          ("'" + first + "'; did you mean " + near + "?").c_str());
    return usageError("unknown command '%s'", first.c_str());
}
