// The HP-GL command stream that every pass reads: command codes, character
// classes, the walk from command to command and the parameter fields.
// Nothing here reads at or beyond a stream's length.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kro::hpgl {

// Command codes used by the walkers.
enum Code : int32_t {
    kNoCommand = 0,
    kDF = 101,
    kIN = 102,
    kIP = 103,
    kSC = 104,
    kGM = 105,
    kSP = 201,
    kPU = 202,
    kPD = 203,
    kPA = 204,
    kPC = 205,
    kPR = 206,
    kGR = 306,
    kLT = 308,
    kCT = 401,
    kCI = 402,
    kAA = 403,
    kAR = 404,
    kWG = 408,
    kEW = 409,
    kRA = 410,
    kEA = 411,
    kRR = 412,
    kER = 413,
    kPM = 414,
    kEP = 415,
    kFP = 416,
    kLB = 501,
    kDT = 502,
    kSI = 503,
    kSR = 504,
    kSU = 505,
    kSL = 506,
    kDI = 507,
    kDR = 508,
    kDU = 509,
    kDV = 510,
    kES = 513,
    kBL = 514,
    kPB = 515,
    kIW = 701,
    kRO = 705,
    kPG = 810,
    kSM = 307,
    kLO = 511,
    kPS = 822,
    kBP = 823,
    // HP-GL/2 commands outside the mnemonic table; the walk finds them where
    // the table names nothing, so Kro_STR_CMP does not know them.
    kPE = 2001,
    kBZ = 2002,
    kBR = 2003,
    kAT = 2004,
    kRT = 2005,
};

// Results of the classifier.
inline constexpr int32_t kClassSeparator = 11;
inline constexpr int32_t kClassTerminator = 12;
inline constexpr int32_t kClassCommand = 13;

// Byte classes: bit flags over all 256 bytes.
inline constexpr uint8_t kSeparatorBit = 1;   // "," and " "
inline constexpr uint8_t kTerminatorBit = 2;  // ";" and NUL
inline constexpr uint8_t kLetterBit = 4;  // "A" to "Z" and "a" to "z": either case names a command
inline constexpr uint8_t kNulBit = 8;     // the NUL alone: the end of the text
inline constexpr uint8_t kBlankBit = 16;  // space, TAB and LF, stepped over by the walk
inline constexpr uint8_t kFieldEndBits = kSeparatorBit | kTerminatorBit | kLetterBit;

struct ByteClasses {
    uint8_t bits[256];
};
inline constexpr ByteClasses kClasses = [] {
    ByteClasses c{};
    c.bits[uint8_t(',')] = kSeparatorBit;
    c.bits[uint8_t(' ')] = kSeparatorBit;
    c.bits[uint8_t(';')] = kTerminatorBit;
    c.bits[0] = kTerminatorBit | kNulBit;
    for (int b = 'A'; b <= 'Z'; ++b) c.bits[b] = c.bits[b | 0x20] = kLetterBit;
    c.bits[uint8_t(' ')] |= kBlankBit;
    c.bits[uint8_t('\t')] |= kBlankBit;
    c.bits[uint8_t('\n')] |= kBlankBit;
    return c;
}();

inline bool hasClass(char byte, uint8_t bits) {
    return (kClasses.bits[uint8_t(byte)] & bits) != 0;
}

// The code of the mnemonic a b, in either case, or 0.
int32_t mnemonicCode(char a, char b);
// The code of an HP-GL/2 command outside the table (kPE to kRT), or 0.
int32_t extendedCode(char a, char b);

// Rules of a parameter field. The extents walker takes the defaults; the
// renderer keeps 40 bytes, skips leading blanks and always takes the first byte.
struct FieldRules {
    size_t keep = 64;            // bytes kept; the rest of the field is stepped over
    bool skipBlanks = false;     // step over spaces, TABs and LFs first
    bool takeFirstByte = false;  // the first byte belongs to the field whatever it is
};

inline constexpr size_t kMaxFieldKeep = 64;

// A position in a plot text. Bytes at or past length read as NUL, so every
// scan stops at the end of the text even if a NUL is missing.
struct Stream {
    const char* text = nullptr;
    size_t length = 0;  // readable bytes (a document's textLength)
    size_t pos = 0;
    // Mnemonics the walk takes beyond the table, for the full look; 0 for none.
    int32_t (*extraCode)(char, char) = nullptr;

    Stream() = default;
    Stream(const char* t, int64_t len) : text(t), length(t && len > 0 ? size_t(len) : 0) {}

    char at(size_t i) const { return i < length ? text[i] : '\0'; }
    char peek() const { return at(pos); }
    bool atEnd() const { return pos >= length || text[pos] == '\0'; }

    // The walk: steps to the next mnemonic, past it and one separator after
    // it, and gives its code; 0 at the end of the text. After kPE the pass
    // must take the data with skipEncoded or the decoder: it holds letters.
    int32_t nextCommand();

    // Steps over PE's data: through its ';', or to the end of the text.
    void skipEncoded() {
        while (!atEnd() && text[pos] != ';') ++pos;
        if (!atEnd()) ++pos;
    }

    // The parameter skip of a command whose fields may be quoted text (BP):
    // letters inside the quotes end nothing.
    void skipQuotedParameters();

    // Steps over a command that no pass acts on but whose parameters may
    // hold letters: a comment (CO) with its quoted text, or an encoded
    // polyline (PE), so nothing in them is taken for a command. False when
    // none starts here.
    bool skipFreeText();

    // True when the byte here ends a parameter list (separator, terminator or
    // command letter).
    bool atFieldEnd() const { return hasClass(peek(), kFieldEndBits); }

    // Steps over one field by the rules; gives where it starts and how many
    // of its bytes are kept.
    struct Span {
        const char* data;
        size_t kept;
    };
    Span scanField(const FieldRules& rules);

    // Reads one field by the rules into buf (kMaxFieldKeep + 1 bytes, NUL
    // terminated), stepping over the bytes beyond the kept ones. No separator
    // is stepped over. Gives the number of bytes kept.
    size_t readFieldText(const FieldRules& rules, char* buf);

    // Steps over the separator between two fields: blanks around at most one
    // comma, so spaces next to a comma do no harm.
    void skipSeparator() {
        char c = peek();
        if (c == ',') {
            ++pos;
            if (hasClass(peek(), kBlankBit)) skipBlanks();
            return;
        }
        if (!hasClass(c, kBlankBit)) return;
        skipBlanks();
        if (peek() == ',') {
            ++pos;
            skipBlanks();
        }
    }
    void skipBlanks() {
        while (pos < length && hasClass(text[pos], kBlankBit)) ++pos;
    }

    // Reads up to max fields (value with atof, one separator stepped over
    // after each), stopping before a field end. Gives the count read.
    int readFields(double* values, int max);

    // A coordinate pair, each field up to any field end, with the separators
    // after them. False, with the x field read, when no y field follows: an
    // odd coordinate, which moves nothing.
    bool readPair(const FieldRules& rules, double* x, double* y);
    bool readPair(double* x, double* y);

    // The parameter skip: to the next terminator or command letter; a ";" is
    // stepped over, a letter and the end of the text are not.
    void skipParameters();
};

// atof of the n kept bytes of a field (not NUL-terminated), with an exact
// fast path for plain decimals.
double fieldValue(const char* data, size_t n);

}  // namespace kro::hpgl
