// What every subcommand of kro shares: exit statuses, the form of its
// messages and the split of its arguments.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kro::cli {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// "kro: message" with fmt's %s filled by arg, then the help hint; returns 2.
int usageError(const char* fmt, const char* arg = "");

// "kro: FILE: message (status code)" for a failure of the library; returns 1.
int libraryError(const std::string& file, int32_t code);

// "kro: FILE: the system's message", the same for every format and step; returns 1.
int systemError(const std::string& file, int err);

// The folder for temporary files: TMPDIR, or /tmp (Windows: its temporary folder).
std::string tempFolder();

// An anonymous read-write file that goes when closed. (Windows' tmpfile()
// writes to the root of the drive, which a user may not; this uses the
// temporary folder.)
FILE* scratchFile();

// Separates a command's double-dash flags (those in allowed) from its other
// words; a usage error for any other double-dash word. A job option written
// with two dashes gets the same hint from every command.
int splitFlags(const std::vector<std::string>& args, const std::vector<std::string>& allowed,
               std::vector<std::string>* flags, std::vector<std::string>* words);

// args with each "--flag=value" of the valued flags given as two words.
std::vector<std::string> splitValues(const std::vector<std::string>& args,
                                     const std::vector<std::string>& valued);

bool hasFlag(const std::vector<std::string>& flags, const char* flag);

// The overview (command empty) or a command's help on stdout; 0, or 2 for an
// unknown command.
int showHelp(const std::string& command);

// The subcommands; each takes the words after its name.
int cmdInfo(const std::vector<std::string>& args);
int cmdConvert(const std::vector<std::string>& args);
int cmdPaper(const std::vector<std::string>& args);
int cmdBatch(const std::vector<std::string>& args);

}  // namespace kro::cli
