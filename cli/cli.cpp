// Messages and argument handling shared by the subcommands.
#include "cli/cli.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/job.h"
#include "cli/messages.h"
#include "kro/kro.h"

namespace kro::cli {

int usageError(const char* fmt, const char* arg) {
    std::fprintf(stderr, "kro: ");
    std::fprintf(stderr, fmt, arg);
    std::fprintf(stderr, "\nTry 'kro --help' for more information.\n");
    return kExitUsage;
}

int libraryError(const std::string& file, int32_t code) {
    std::fprintf(stderr, "kro: %s: %s (status %d)\n", file.c_str(), statusMessage(code), int(code));
    return kExitFailure;
}

int systemError(const std::string& file, int err) {
    // "No such file or directory" does not say that it is the folder that is missing.
    const size_t slash = file.rfind('/');
    if (err == ENOENT && slash != std::string::npos && slash > 0) {
        const std::string folder = file.substr(0, slash);
        struct stat st;
        if (::stat(folder.c_str(), &st) != 0 && errno == ENOENT) {
            std::fprintf(stderr, "kro: %s: folder '%s' does not exist\n", file.c_str(),
                         folder.c_str());
            return kExitFailure;
        }
    }
    std::fprintf(stderr, "kro: %s: %s\n", file.c_str(), std::strerror(err));
    return kExitFailure;
}

int splitFlags(const std::vector<std::string>& args, const std::vector<std::string>& allowed,
               std::vector<std::string>* flags, std::vector<std::string>* words) {
    for (const std::string& a : args) {
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            if (std::find(allowed.begin(), allowed.end(), a) == allowed.end()) {
                if (const char* option = jobOptionFor(a)) {
                    std::fprintf(stderr,
                                 "kro: unknown flag '%s'; job options take one dash: -%s\n"
                                 "Try 'kro --help' for more information.\n",
                                 a.c_str(), option);
                    return kExitUsage;
                }
                const std::string near = nearestWord(a, allowed);
                if (!near.empty()) {
                    std::fprintf(stderr,
                                 "kro: unknown flag '%s'; did you mean %s?\n"
                                 "Try 'kro --help' for more information.\n",
                                 a.c_str(), near.c_str());
                    return kExitUsage;
                }
                return usageError("unknown flag '%s'", a.c_str());
            }
            flags->push_back(a);
        } else {
            words->push_back(a);
        }
    }
    return 0;
}

std::vector<std::string> splitValues(const std::vector<std::string>& args,
                                     const std::vector<std::string>& valued) {
    std::vector<std::string> out;
    for (const std::string& a : args) {
        const size_t eq = a.find('=');
        if (a.compare(0, 2, "--") == 0 && eq != std::string::npos &&
            std::find(valued.begin(), valued.end(), a.substr(0, eq)) != valued.end()) {
            out.push_back(a.substr(0, eq));
            out.push_back(a.substr(eq + 1));
        } else {
            out.push_back(a);
        }
    }
    return out;
}

bool hasFlag(const std::vector<std::string>& flags, const char* flag) {
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

}  // namespace kro::cli
