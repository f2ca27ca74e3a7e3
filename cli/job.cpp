// Job options: the library parses and checks them; the command checks the
// syntax of their values first and, when the library refuses them, finds the
// option to name.
#include "cli/job.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/messages.h"
#include "kro/kro.h"

namespace kro::cli {

namespace {

enum class Value { None, Integer, Real, Word };

struct JobOption {
    const char* keyword;
    Value value;
    const int32_t* given;
    const char* range;  // the values accepted, for messages; null: not stated
};

// clang-format off
#define KRO_INT(k, r) {#k, Value::Integer, &kroOption.k.given, r}
#define KRO_REAL(k, r) {#k, Value::Real, &kroOption.k.given, r}
#define KRO_WORD(k, r) {#k, Value::Word, &kroOption.k.given, r}
#define KRO_SWITCH(k) {#k, Value::None, &kroOption.k.given, nullptr}
const JobOption kJobOptions[] = {
    KRO_INT(from, "1 or more"), KRO_INT(to, "1 or more"), KRO_INT(width, "1 or more"),
    KRO_INT(height, "1 or more"), KRO_WORD(outdata, nullptr), KRO_WORD(outfile, nullptr), KRO_INT(page, "1 or more"),
    KRO_INT(dpi, "1 or more"), KRO_WORD(compression, "NO, G3, G4, JPEG, OJPEG or PackBits"), KRO_REAL(scale, "above 0"),
    KRO_WORD(papertype, "a paper name that kro paper lists"), KRO_WORD(rotate, "0, 90, 180 or 270"), KRO_SWITCH(batch), KRO_WORD(directory, nullptr), KRO_WORD(list, nullptr),
    KRO_SWITCH(physical), KRO_WORD(fn, nullptr), KRO_WORD(mode, "COPY, AND, OR or XOR"), KRO_INT(x, "0 or more"),
    KRO_INT(y, "0 or more"), KRO_WORD(mergefile, nullptr), KRO_WORD(colortype, "Bilevel, GrayScale, RGBColor or Palette"), KRO_REAL(gamma, "0 to 9999"),
    KRO_INT(quality, "0 to 100"), KRO_INT(level, "1 to 255"), KRO_WORD(dithes, "0 to 5"),
    KRO_INT(tileWidth, "a multiple of 16"), KRO_INT(tileHeight, "a multiple of 16"),
    KRO_INT(tileNumX, nullptr), KRO_INT(tileNumY, nullptr), KRO_SWITCH(dithee),
    KRO_INT(xreso, "0 or more"), KRO_INT(yreso, "0 or more"), KRO_WORD(photo, "0 or 1"), KRO_WORD(color, "a colour name of RGB.TXT"),
    KRO_INT(strip, "0 or more"), KRO_INT(stripLength, "0 or more"), KRO_INT(fontsize, nullptr),
    KRO_SWITCH(Italic), KRO_SWITCH(bold), KRO_REAL(pen1, "0 to 480"), KRO_REAL(pen2, "0 to 480"),
    KRO_REAL(pen3, "0 to 480"), KRO_REAL(pen4, "0 to 480"), KRO_REAL(pen5, "0 to 480"),
    KRO_REAL(pen6, "0 to 480"), KRO_REAL(pen7, "0 to 480"), KRO_REAL(pen8, "0 to 480"),
    KRO_INT(plot, "0 to 32 but 23"), KRO_SWITCH(notify), KRO_INT(defDpi, "1 or more"),
    KRO_INT(defXDpi, "1 or more"), KRO_INT(defYDpi, "1 or more"), KRO_SWITCH(center),
    KRO_WORD(ignore, nullptr),
};
#undef KRO_INT
#undef KRO_REAL
#undef KRO_WORD
#undef KRO_SWITCH
// clang-format on

const JobOption* findOption(const std::string& word) {
    if (word.size() < 2 || word[0] != '-') return nullptr;
    for (const JobOption& o : kJobOptions)
        if (word.compare(1, std::string::npos, o.keyword) == 0) return &o;
    return nullptr;
}

// Edits (insert, delete, change a letter, case aside) from a to b.
size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                              std::tolower(static_cast<unsigned char>(b[j - 1]));
            const size_t next = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = row[j];
            row[j] = next;
        }
    }
    return row[b.size()];
}

const char* nearestOption(const std::string& word) {
    std::vector<std::string> keywords;
    for (const JobOption& o : kJobOptions) keywords.push_back(o.keyword);
    const std::string near = nearestWord(word, keywords);
    for (const JobOption& o : kJobOptions)
        if (near == o.keyword) return o.keyword;
    return nullptr;
}

// "kro: " and, for a job line, the line's place.
void sayWhere(const OptionNames& names, const char* after = ", ") {
    std::fprintf(stderr, "kro: %s%s", names.line.c_str(), names.line.empty() ? "" : after);
}

// Prints "kro: text", with the help hint when the options came from the
// command line; returns 2.
int usage(const OptionNames& names, const std::string& text) {
    sayWhere(names);
    std::fprintf(stderr, "%s\n", text.c_str());
    if (!names.word) std::fprintf(stderr, "Try 'kro --help' for more information.\n");
    return 2;
}

// How a message names an option and its value: "-dpi 0" on the command line,
// "word 4 (dpi): '0'" for a job line.
std::string named(const OptionNames& names, const std::string& option, const std::string& value,
                  bool withValue = true) {
    if (!names.word) return withValue && !value.empty() ? option + " " + value : option;
    std::string text = names.word(option.substr(1));
    if (withValue) text += ": '" + value + "'";
    return text;
}

// The library reads numbers with atoi and atof, which take any word; the
// command wants the whole word to be the number.
const char* numberProblem(Value kind, const std::string& word) {
    const char* s = word.c_str();
    char* end = nullptr;
    errno = 0;
    if (kind == Value::Integer) {
        const long long v = std::strtoll(s, &end, 10);
        if (end == s || *end || std::isspace(static_cast<unsigned char>(*s)))
            return "is not a whole number";
        if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return "is too large";
    } else {
        const double v = std::strtod(s, &end);
        if (end == s || *end || std::isspace(static_cast<unsigned char>(*s)))
            return "is not a number";
        if (std::isnan(v)) return "is not a number";
        if (std::isinf(v)) return "is too large";
    }
    return nullptr;
}

// Runs the library's parser over words; its status, 0 when it accepts them.
int32_t libraryVerdict(std::vector<std::string> words) {
    std::vector<char*> argv;
    for (std::string& s : words) argv.push_back(s.data());
    argv.push_back(nullptr);
    int32_t argc = int32_t(words.size());
    kroInitOption();
    return KroGetOption(&argc, argv.data()) == 0 ? 0 : fndErrorStatus;
}

// "-width, -height" for the options of a unit.
std::string unitName(const OptionNames& names, const std::vector<std::string>& unit) {
    std::string text;
    for (size_t k = 0; k < unit.size(); k += 2)
        text += (k ? ", " : "") + named(names, unit[k], "", false);
    return text;
}

// The library says only what went wrong, not with which option: try each
// option alone, then each pair, and name the first that fails.
int explainRefusal(const std::vector<std::vector<std::string>>& given, int32_t status,
                   const OptionNames& names) {
    // Width and height go together: alone, either is refused.
    std::vector<std::vector<std::string>> units;
    const auto isSide = [](const std::vector<std::string>& o) {
        return o[0] == "-width" || o[0] == "-height";
    };
    for (const auto& option : given) {
        auto partner = std::find_if(units.begin(), units.end(), [&](const auto& u) {
            return isSide(option) && isSide(u) && u.size() == 2 && u[0] != option[0];
        });
        if (partner != units.end())
            partner->insert(partner->end(), option.begin(), option.end());
        else
            units.push_back(option);
    }
    for (const auto& option : units) {
        const int32_t code = libraryVerdict(option);
        if (code == 0) continue;
        const std::string value = option.size() > 1 ? option[1] : "";
        const std::string what = named(names, option[0], value);
        const std::string who = names.word ? option[0].substr(1) : option[0];
        const JobOption* o = findOption(option[0]);
        const bool badWord = code == KRO_ERR_ROTATE_WORD || code == KRO_ERR_COLORTYPE_WORD ||
                             code == KRO_ERR_DITHER_WORD || code == KRO_ERR_MODE_WORD ||
                             code == KRO_ERR_COMPRESSION_WORD || code == KRO_ERR_PAPER;
        sayWhere(names);
        if ((code == KRO_ERR_OPTION_RANGE || badWord) && o && o->range)
            std::fprintf(stderr, "%s: %s; %s takes %s (status %d)\n", what.c_str(),
                         badWord ? statusMessage(code) : "out of range", who.c_str(), o->range,
                         int(code));
        else if (code == KRO_ERR_OPTION_CONFLICT && isSide(option) && option.size() == 2)
            std::fprintf(
                stderr, "%s is given without %s (status %d)\n",
                named(names, option[0], "", false).c_str(),
                named(names, option[0] == "-width" ? "-height" : "-width", "", false).c_str(),
                int(code));
        else if (code == KRO_ERR_OPTION_CONFLICT)
            std::fprintf(stderr, "%s: not accepted on its own (status %d)\n", what.c_str(),
                         int(code));
        else
            std::fprintf(stderr, "%s: %s (status %d)\n", what.c_str(), statusMessage(code),
                         int(code));
        return 2;
    }
    for (size_t i = 0; i < units.size(); ++i)
        for (size_t j = i + 1; j < units.size(); ++j) {
            std::vector<std::string> pair = units[i];
            pair.insert(pair.end(), units[j].begin(), units[j].end());
            const int32_t code = libraryVerdict(pair);
            if (code == 0) continue;
            sayWhere(names, ": ");
            std::fprintf(stderr, "%s and %s: %s (status %d)\n", unitName(names, units[i]).c_str(),
                         unitName(names, units[j]).c_str(), statusMessage(code), int(code));
            return 2;
        }
    std::fprintf(stderr, "kro: %s: %s (status %d)\n",
                 names.word ? names.line.c_str() : "job options", statusMessage(status),
                 int(status));
    return 2;
}

// A number after a switch is a value the switch does not take ("-dithee 1"),
// not a file name.
bool looksLikeNumber(const std::string& word) {
    return !word.empty() && !numberProblem(Value::Real, word);
}

}  // namespace

std::string nearestWord(const std::string& word, const std::vector<std::string>& candidates) {
    std::string best;
    size_t bestDistance = std::clamp<size_t>(word.size() / 2, 1, 3) + 1;
    for (const std::string& c : candidates) {
        const size_t d = editDistance(word, c);
        if (d < bestDistance) best = c, bestDistance = d;
    }
    return best;
}

int parseJobOptions(const std::vector<std::string>& args, std::vector<std::string>* operands,
                    const OptionNames& names) {
    // Walk the words as the library will, checking each value's syntax and
    // keeping each option with its value for naming a refusal.
    std::vector<std::vector<std::string>> given;
    for (size_t i = 0; i < args.size(); ++i) {
        const JobOption* o = findOption(args[i]);
        if (!o) continue;
        if (o->value == Value::None) {
            if (i + 1 < args.size() && looksLikeNumber(args[i + 1]))
                return usage(names, named(names, args[i], "", false) + " takes no value, not '" +
                                        args[i + 1] + "'");
            given.push_back({args[i]});
            continue;
        }
        if (i + 1 == args.size()) return usage(names, args[i] + " needs a value");
        const std::string& value = args[i + 1];
        if (o->value == Value::Integer || o->value == Value::Real)
            if (const char* problem = numberProblem(o->value, value))
                return usage(names,
                             named(names, args[i], "", false) + ": '" + value + "' " + problem);
        given.push_back(
            {args[i], o->keyword == std::string("papertype") ? paperNameAnyCase(value) : value});
        ++i;
    }

    // The library compacts the vector in place and keeps pointers to values,
    // so it gets strings that outlive the job.
    static std::vector<std::string> storage;
    storage = args;
    for (size_t i = 0; i + 1 < storage.size(); ++i)
        if (storage[i] == "-papertype") storage[i + 1] = paperNameAnyCase(storage[i + 1]);
    std::vector<char*> argv;
    for (std::string& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);
    int32_t argc = int32_t(storage.size());
    kroInitOption();
    if (KroGetOption(&argc, argv.data()) != 0) {
        const int32_t status = fndErrorStatus;
        return explainRefusal(given, status, names);
    }
    operands->clear();
    for (int32_t i = 0; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.size() > 1 && word[0] == '-') {
            std::string text = "unknown job option '" + word + "'";
            if (const char* near = nearestOption(word.substr(1)))
                text += std::string("; did you mean -") + near + "?";
            return usage(names, text);
        }
        operands->push_back(word);
    }
    return 0;
}

void warnUnusedOptions(const std::vector<std::string>& applied) {
    for (const JobOption& o : kJobOptions)
        if (*o.given && std::find(applied.begin(), applied.end(), o.keyword) == applied.end())
            std::fprintf(stderr, "kro: warning: -%s has no effect on this command\n", o.keyword);
}

std::vector<std::string> optionsRefused(int32_t kind) {
    std::vector<std::string> refused;
    if (KroCheckCOption(kind) == 0) return refused;
    // Ask about each given option alone, in a record of its own, so the
    // answer names it.
    for (const JobOption& o : kJobOptions) {
        if (!*o.given) continue;
        KroOption alone{};
        const auto at =
            reinterpret_cast<const char*>(o.given) - reinterpret_cast<const char*>(&kroOption);
        *reinterpret_cast<int32_t*>(reinterpret_cast<char*>(&alone) + at) = 1;
        if (KroCheckCOptionOf(&alone, kind) != 0) refused.push_back(o.keyword);
    }
    return refused;
}

std::string paperNameAnyCase(const std::string& word) {
    if (kroGetPapertypeOption(word.c_str()) != -1) return word;
    const char* names[8];
    for (int32_t row = 0, n; (n = KroPaperNames(row, nullptr, names, 8)) >= 0; ++row)
        for (int32_t i = 0; i < std::min(n, int32_t(8)); ++i)
            if (strcasecmp(names[i], word.c_str()) == 0) return names[i];
    return word;
}

const char* paperName(int32_t papertype) {
    const char* names[1];
    int32_t code = 0;
    for (int32_t row = 0; KroPaperNames(row, &code, names, 1) > 0; ++row)
        if (code == papertype) return names[0];
    return nullptr;
}

bool isSwitchOption(const std::string& word) {
    const JobOption* o = findOption(word);
    return o && o->value == Value::None;
}

const char* jobOptionFor(const std::string& word) {
    if (word.size() < 3 || word.compare(0, 2, "--") != 0) return nullptr;
    const JobOption* o = findOption(word.substr(1));
    return o ? o->keyword : nullptr;
}

}  // namespace kro::cli
