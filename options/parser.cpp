// The option parser: moves the conversion options of an argument vector into
// an option record (kroOption for KroGetOption) and leaves everything else
// (file names, unknown options) in place.
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/image.h"
#include "options/options.h"

namespace {

using kro::OptionKind;
using kro::OptionSlot;

// The slot whose keyword is exactly word (case included); null when none.
const OptionSlot* findOption(const char* word) {
    for (const OptionSlot& slot : kro::kOptionSlots)
        if (std::strcmp(slot.keyword, word) == 0) return &slot;
    return nullptr;
}

// strtoul in base 16 as the host's 32-bit runtime reads it: a value beyond 32
// bits gives all ones, and a minus sign negates modulo 2^32.
int32_t hexColour(const char* text) {
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    if (*p == '+' || *p == '-' || std::isspace(static_cast<unsigned char>(*p))) return 0;
    errno = 0;
    unsigned long long v = std::strtoull(p, nullptr, 16);
    if (errno == ERANGE || v > 0xFFFFFFFFu) return -1;
    uint32_t u = uint32_t(v);
    return int32_t(negative ? 0u - u : u);
}

// Stores the value word of an option in record; 0 or the code of a word that
// is not accepted.
int32_t storeValue(KroOption& record, const OptionSlot& slot, char* word) {
    switch (slot.kind) {
        case OptionKind::Integer:
            record.*slot.integer = {1, kro::toInt(word)};
            return 0;
        case OptionKind::Real:
            record.*slot.real = {1, kro::toReal(word)};
            return 0;
        case OptionKind::Text:
            record.*slot.text = {1, word};  // not copied: the caller keeps it alive
            return 0;
        case OptionKind::Keyword: {
            KroIntSlot& s = record.*slot.integer;
            s.value = slot.lookup(word);
            if (s.value == -1) return slot.badWordCode;
            s.given = 1;
            return 0;
        }
        case OptionKind::Colour: {
            KroIntSlot& s = record.*slot.integer;
            if (word[0] == '#') {
                s = {1, hexColour(word + 1)};
                return 0;
            }
            s.value = -1;
            if (int32_t code = kro::colourByName(word, &s.value)) return code;
            s.given = 1;
            return 0;
        }
        case OptionKind::Switch:
            break;
    }
    return KRO_ERR_OPTION_NO_VALUE;
}

}  // namespace

namespace kro {

int32_t getOption(KroOption& record, int32_t* argc, char** argv) {
    if (!argc || (!argv && *argc > 0)) return KRO_ERR_NULL;

    int32_t i = 0;
    while (i < *argc) {
        const char* arg = argv[i];
        const OptionSlot* slot = arg && arg[0] == '-' ? findOption(arg + 1) : nullptr;
        if (!slot) {
            ++i;
            continue;
        }
        if (slot->kind == OptionKind::Switch) {
            (record.*slot->flag).given = 1;
            kroShiftOption(argc, argv, i, 1);
            continue;
        }
        // A null entry ends the vector as far as the value is concerned.
        if (i + 1 >= *argc || !argv[i + 1]) return KRO_ERR_OPTION_NO_VALUE;
        if (int32_t code = storeValue(record, *slot, argv[i + 1])) return code;
        kroShiftOption(argc, argv, i, 2);
    }
    return completeOptions(record);
}

int32_t completeOptions(KroOption& record) {
    if (int32_t code = checkOption(record)) return code;
    setDefaults(record);
    // One tile side given stands for both.
    if (record.tileWidth.given == 1 && record.tileHeight.given != 1)
        record.tileHeight.value = record.tileWidth.value;
    if (record.tileHeight.given == 1 && record.tileWidth.given != 1)
        record.tileWidth.value = record.tileHeight.value;
    if (int32_t code = checkValue(record)) return code;
    if (record.page.given == 1) record.from.value = record.to.value = record.page.value;
    return 0;
}

}  // namespace kro

extern "C" {

KRO_API void kroShiftOption(int32_t* argc, char** argv, int32_t index, int32_t n) {
    // Entries that are not there are not removed, so a bad request cannot
    // drop arguments before index.
    if (!argc || !argv || n <= 0 || index < 0 || index >= *argc) return;
    if (n > *argc - index) n = *argc - index;
    for (int32_t j = index; j < *argc - n; ++j) argv[j] = argv[j + n];
    *argc -= n;
}

KRO_API int32_t KroGetOption(int32_t* argc, char** argv) {
    const int32_t code = kro::getOption(kroOption, argc, argv);
    return code ? kro::fail(code) : 0;
}

}  // extern "C"
