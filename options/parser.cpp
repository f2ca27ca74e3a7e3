// The option parser: moves the conversion options of an argument vector into
// kroOption and leaves everything else (file names, unknown options) in place.
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/image.h"
#include "options/options.h"

namespace {

using kro::fail;
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

// Stores the value word of an option; false, with the code stored, when the
// word is not accepted.
bool storeValue(const OptionSlot& slot, char* word) {
    switch (slot.kind) {
        case OptionKind::Integer:
            kroOption.*slot.integer = {1, kro::toInt(word)};
            return true;
        case OptionKind::Real:
            kroOption.*slot.real = {1, kro::toReal(word)};
            return true;
        case OptionKind::Text:
            kroOption.*slot.text = {1, word};  // not copied: the caller keeps it alive
            return true;
        case OptionKind::Keyword: {
            KroIntSlot& s = kroOption.*slot.integer;
            s.value = slot.lookup(word);
            if (s.value == -1) {
                fail(slot.badWordCode);
                return false;
            }
            s.given = 1;
            return true;
        }
        case OptionKind::Colour: {
            KroIntSlot& s = kroOption.*slot.integer;
            if (word[0] == '#') {
                s = {1, hexColour(word + 1)};
                return true;
            }
            s.value = kro::kroLookupColorName(word);
            if (s.value == -1) return false;
            s.given = 1;
            return true;
        }
        case OptionKind::Switch:
            break;
    }
    return false;
}

}  // namespace

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
    if (!argc || (!argv && *argc > 0)) return fail(KRO_ERR_NULL);

    int32_t i = 0;
    while (i < *argc) {
        const char* arg = argv[i];
        const OptionSlot* slot = arg && arg[0] == '-' ? findOption(arg + 1) : nullptr;
        if (!slot) {
            ++i;
            continue;
        }
        if (slot->kind == OptionKind::Switch) {
            (kroOption.*slot->flag).given = 1;
            kroShiftOption(argc, argv, i, 1);
            continue;
        }
        // A null entry ends the vector as far as the value is concerned.
        if (i + 1 >= *argc || !argv[i + 1]) return fail(KRO_ERR_OPTION_NO_VALUE);
        if (!storeValue(*slot, argv[i + 1])) return -1;
        kroShiftOption(argc, argv, i, 2);
    }

    if (kroCheckOption() != 0) return -1;
    kroSetDefault();
    // One tile side given stands for both.
    if (kroOption.tileWidth.given == 1 && kroOption.tileHeight.given != 1)
        kroOption.tileHeight.value = kroOption.tileWidth.value;
    if (kroOption.tileHeight.given == 1 && kroOption.tileWidth.given != 1)
        kroOption.tileWidth.value = kroOption.tileHeight.value;
    if (kroCheckValue() != 0) return -1;
    if (kroOption.page.given == 1) {
        kroOption.to.value = kroOption.page.value;
        kroOption.from.value = kroOption.page.value;
    }
    return 0;
}

}  // extern "C"
