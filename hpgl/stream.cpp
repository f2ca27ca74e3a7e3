// The mnemonic table, the classifier Kro_STR_CMP and the stream rules.
#include "hpgl/stream.h"

#include <cstdlib>
#include <cstring>
#include <iterator>

#include "kro/kro.h"

namespace kro::hpgl {
namespace {

struct Mnemonic {
    int32_t code;
    char name[4];  // two letters and two NULs
};

// Searched in this order; the first row whose two letters match wins.
constexpr Mnemonic kMnemonics[] = {
    {202, "PU"},  {203, "PD"},  {204, "PA"},  {205, "PC"},  {206, "PR"},  {201, "SP"},
    {501, "LB"},  {402, "CI"},  {403, "AA"},  {404, "AR"},  {408, "WG"},  {409, "EW"},
    {410, "RA"},  {411, "EA"},  {412, "RR"},  {413, "ER"},  {414, "PM"},  {415, "EP"},
    {416, "FP"},  {405, "FT"},  {406, "UF"},  {407, "PT"},  {502, "DT"},  {503, "SI"},
    {101, "DF"},  {102, "IN"},  {701, "IW"},  {103, "IP"},  {104, "SC"},  {301, "XT"},
    {302, "YT"},  {303, "TL"},  {304, "XA"},  {305, "YA"},  {306, "GR"},  {307, "SM"},
    {308, "LT"},  {401, "CT"},  {504, "SR"},  {505, "SU"},  {506, "SL"},  {507, "DI"},
    {508, "DR"},  {509, "DU"},  {510, "DV"},  {511, "LO"},  {512, "CP"},  {513, "ES"},
    {514, "BL"},  {515, "PB"},  {519, "LE"},  {601, "CS"},  {602, "CA"},  {603, "SS"},
    {604, "SA"},  {605, "CM"},  {606, "DS"},  {608, "CC"},  {609, "UC"},  {610, "DL"},
    {705, "RO"},  {815, "BF"},  {816, "RP"},  {824, "ST"},  {105, "GM"},  {309, "FR"},
    {516, "OL"},  {517, "IC"},  {518, "OB"},  {607, "IV"},  {702, "OW"},  {703, "OH"},
    {704, "OP"},  {801, "AP"},  {802, "FS"},  {803, "AS"},  {804, "VS"},  {805, "VA"},
    {806, "VN"},  {807, "GP"},  {808, "SG"},  {809, "CV"},  {810, "PG"},  {811, "AF"},
    {812, "AH"},  {813, "EC"},  {814, "NR"},  {817, "WD"},  {818, "KY"},  {819, "OK"},
    {820, "GC"},  {821, "OG"},  {822, "PS"},  {823, "BP"},  {901, "DP"},  {902, "OD"},
    {903, "DC"},  {1001, "IM"}, {1002, "OA"}, {1003, "OC"}, {1004, "RC"}, {1005, "OE"},
    {1006, "OF"}, {1007, "OI"}, {1008, "OO"}, {1009, "OS"}, {1010, "OT"}, {0, ""},
};
static_assert(std::size(kMnemonics) == 108, "107 mnemonics and the terminator row");

// The table folded into a 26 x 26 index, built from the rows in their order so
// the first matching row gives the code, as a search of the rows would.
struct MnemonicIndex {
    int32_t code[26 * 26];
};
constexpr MnemonicIndex kIndex = [] {
    MnemonicIndex ix{};
    for (const Mnemonic* m = kMnemonics; m->code != 0; ++m) {
        int32_t& slot = ix.code[(m->name[0] - 'A') * 26 + (m->name[1] - 'A')];
        if (slot == 0) slot = m->code;
    }
    return ix;
}();

bool isLetter(char c) {
    return hasClass(c, kLetterBit);
}

}  // namespace

int32_t mnemonicCode(char a, char b) {
    if (!isLetter(a) || !isLetter(b)) return 0;
    return kIndex.code[((a & ~0x20) - 'A') * 26 + ((b & ~0x20) - 'A')];
}

int32_t extendedCode(char a, char b) {
    struct Extended {
        char name[3];
        int32_t code;
    };
    static constexpr Extended kExtended[] = {
        {"PE", kPE}, {"BZ", kBZ}, {"BR", kBR}, {"AT", kAT}, {"RT", kRT},
    };
    if (!isLetter(a) || !isLetter(b)) return 0;
    a = char(a & ~0x20), b = char(b & ~0x20);
    for (const Extended& e : kExtended)
        if (e.name[0] == a && e.name[1] == b) return e.code;
    return 0;
}

bool Stream::skipFreeText() {
    const char a = char(peek() & ~0x20), b = char(at(pos + 1) & ~0x20);
    if (a == 'C' && b == 'O') {
        pos += 2;
        skipBlanks();
        if (peek() == '"') {
            ++pos;
            while (!atEnd() && text[pos] != '"') ++pos;
            if (!atEnd()) ++pos;
        }
        skipParameters();
        return true;
    }
    if (a == 'P' && b == 'E') {
        pos += 2;
        while (!atEnd() && text[pos] != ';') ++pos;
        if (!atEnd()) ++pos;
        return true;
    }
    return false;
}

int32_t Stream::nextCommand() {
    while (pos < length) {
        const char c = text[pos];
        if (c == '\0') break;
        if (hasClass(c, kBlankBit)) {
            ++pos;
            continue;
        }
        const char next = at(pos + 1);
        int32_t code = mnemonicCode(c, next);
        if (code == 0) code = extendedCode(c, next);
        if (code == 0 && extraCode) code = extraCode(c, next);
        if (code == 0) {
            if (!skipFreeText()) ++pos;
            continue;
        }
        pos += 2;
        if (hasClass(peek(), kSeparatorBit)) ++pos;
        return code;
    }
    return kNoCommand;
}

namespace {

// Inlined where the rules are constants, so the walks that read most of a
// plot's numbers pay for no rule they do not use.
[[gnu::always_inline]] inline Stream::Span scan(Stream& s, const FieldRules& rules) {
    if (rules.skipBlanks) s.skipBlanks();
    const size_t start = s.pos;
    if (rules.takeFirstByte && !s.atEnd()) ++s.pos;
    while (s.pos < s.length && !hasClass(s.text[s.pos], kNulBit | kFieldEndBits)) ++s.pos;
    const size_t keep = rules.keep < kMaxFieldKeep ? rules.keep : kMaxFieldKeep;
    const size_t n = s.pos - start;
    return {s.text + start, n < keep ? n : keep};
}

[[gnu::always_inline]] inline bool pair(Stream& s, const FieldRules& rules, double* x, double* y) {
    Stream::Span f = scan(s, rules);
    *x = fieldValue(f.data, f.kept);
    s.skipSeparator();
    if (hasClass(s.peek(), kTerminatorBit | kLetterBit)) return false;
    f = scan(s, rules);
    *y = fieldValue(f.data, f.kept);
    s.skipSeparator();
    return true;
}

}  // namespace

Stream::Span Stream::scanField(const FieldRules& rules) {
    return scan(*this, rules);
}

size_t Stream::readFieldText(const FieldRules& rules, char* buf) {
    Span f = scanField(rules);
    std::memcpy(buf, f.data, f.kept);
    buf[f.kept] = '\0';
    return f.kept;
}

int Stream::readFields(double* values, int max) {
    static constexpr FieldRules kRules{};
    int count = 0;
    while (count < max && !atFieldEnd()) {
        Span f = scan(*this, kRules);
        values[count++] = fieldValue(f.data, f.kept);
        skipSeparator();
    }
    return count;
}

bool Stream::readPair(const FieldRules& rules, double* x, double* y) {
    return pair(*this, rules, x, y);
}

bool Stream::readPair(double* x, double* y) {
    static constexpr FieldRules kRules{};
    return pair(*this, kRules, x, y);
}

void Stream::skipQuotedParameters() {
    while (!atEnd()) {
        const char c = text[pos];
        if (c == '"') {
            ++pos;
            while (!atEnd() && text[pos] != '"') ++pos;
            if (!atEnd()) ++pos;
            continue;
        }
        if (c == ';') {
            ++pos;
            return;
        }
        if (isLetter(c)) return;
        ++pos;
    }
}

void Stream::skipParameters() {
    while (!atEnd()) {
        char c = text[pos];
        if (c == ';') {
            ++pos;
            return;
        }
        if (isLetter(c)) return;
        ++pos;
    }
}

double fieldValue(const char* data, size_t n) {
    // Plain decimals of up to 15 characters (so at most 15 digits) are exact
    // as an integer over a power of ten, and one division rounds them as atof
    // does.
    static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    size_t i = 0;
    bool negative = false;
    if (n > 0 && (data[0] == '-' || data[0] == '+')) {
        negative = data[0] == '-';
        i = 1;
    }
    if (i < n && n - i <= 15) {
        uint64_t mantissa = 0;
        size_t fraction = 0;
        bool point = false;
        size_t j = i;
        for (; j < n; ++j) {
            const unsigned digit = unsigned(static_cast<unsigned char>(data[j])) - '0';
            if (digit < 10) {
                mantissa = mantissa * 10 + digit;
                fraction += point;
            } else if (data[j] == '.' && !point) {
                point = true;
            } else {
                break;
            }
        }
        if (j == n && n - i > size_t(point)) {
            const double v = double(mantissa) / kPow10[fraction];
            return negative ? -v : v;
        }
    }
    char copy[kMaxFieldKeep + 1];
    if (n > kMaxFieldKeep) n = kMaxFieldKeep;
    std::memcpy(copy, data, n);
    copy[n] = '\0';
    return std::atof(copy);
}

}  // namespace kro::hpgl

extern "C" KRO_API int32_t Kro_STR_CMP(int32_t mode, const char* position) {
    using namespace kro::hpgl;
    if (!position) return 0;
    const char c = *position;
    switch (mode) {
        case 1:
            return hasClass(c, kSeparatorBit) ? kClassSeparator : 0;
        case 3:
            return hasClass(c, kTerminatorBit) ? kClassTerminator : 0;
        case 4:
            return c == '\0' || hasClass(c, kLetterBit) ? kClassCommand : 0;
        case 5:
            if (hasClass(c, kSeparatorBit)) return kClassSeparator;
            if (hasClass(c, kTerminatorBit)) return kClassTerminator;
            return hasClass(c, kLetterBit) ? kClassCommand : 0;
        case 6:
            return c == '\0' ? 0 : mnemonicCode(c, position[1]);
        default:
            if (hasClass(c, kTerminatorBit)) return kClassTerminator;
            return hasClass(c, kLetterBit) ? kClassCommand : 0;
    }
}
