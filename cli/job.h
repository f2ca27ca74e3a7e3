// The job options of kro's commands: parsed by the library into kroOption.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kro::cli {

// How messages name the options: on the command line as they were typed; for
// the words of a job-file line, by the line ("jobs: line 3") and a keyword's
// word ("word 4 (dpi)").
struct OptionNames {
    std::string line;
    std::function<std::string(const std::string& keyword)> word;
};

// Parses the job options among args with KroGetOption, in any place among the
// operands, and gives back the operands (the words that are not options) in
// order. Returns 0, or 2 (a usage error) after printing what is wrong with
// which option.
int parseJobOptions(const std::vector<std::string>& args, std::vector<std::string>* operands,
                    const OptionNames& names = {});

// Warns on stderr about each given option that the command does not apply.
void warnUnusedOptions(const std::vector<std::string>& applied);

// The given job options that conversion kind refuses (KroCheckCOption), by
// keyword; empty when it takes them all.
std::vector<std::string> optionsRefused(int32_t kind);

// The candidate a misspelt word most likely meant: the closest within half
// its length (one to three edits, case aside), or empty.
std::string nearestWord(const std::string& word, const std::vector<std::string>& candidates);

// The paper name as the library spells it, for a name in another case
// ("Letter", "LETTER" -> "letter"); word itself when it matches none.
std::string paperNameAnyCase(const std::string& word);

// The first name of a paper type, or null for a code the name table lacks.
const char* paperName(int32_t papertype);

// Whether word is a job option that takes no value (-dithee, -center).
bool isSwitchOption(const std::string& word);

// The job option a double-dash word stands for ("--dpi" -> "dpi"), or null.
const char* jobOptionFor(const std::string& doubleDashWord);

}  // namespace kro::cli
