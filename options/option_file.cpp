// The option file: one line of 25 words describing a conversion job, "-" for
// an option not given. Fills kroOption and gives back the job's input path.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/image.h"
#include "options/options.h"

namespace {

using kro::fail;

constexpr size_t kLineLimit = 9363;
constexpr int kWordCount = 25;

// Word positions (0-based) and the longest word each field holds.
enum Word {
    kInput,
    kWidth,
    kHeight,
    kDpi,
    kPapertype,
    kOutdata,
    kOutfile,
    kPage,
    kFrom,
    kTo,
    kCompression,
    kScale,
    kRotate,
    kDirectory,
    kStrip,
    kStripLength,
    kPen1,
    kPlot = kPen1 + 8,
};
static_assert(kPlot == kWordCount - 1);

constexpr size_t kFieldWidth[kWordCount] = {
    4099, 23, 23, 23, 7,  255, 255, 23, 23, 23, 3, 51, 23, 255, 23, 23,  //
    51,   51, 51, 51, 51, 51,  51,  51, 51,
};

// The string options point here until the next call.
char outdataBuffer[kFieldWidth[kOutdata] + 1];
char outfileBuffer[kFieldWidth[kOutfile] + 1];
char directoryBuffer[kFieldWidth[kDirectory] + 1];

// A keyword longer than its field cannot be one the file carries.
bool keywordFits(const char* word, Word w) {
    return std::strlen(word) <= kFieldWidth[w];
}

bool isSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Splits line in place into its first 25 words; false when it holds fewer.
bool splitWords(char* line, char* words[kWordCount]) {
    char* p = line;
    for (int i = 0; i < kWordCount; ++i) {
        while (isSeparator(*p)) ++p;
        if (!*p) return false;
        words[i] = p;
        while (*p && !isSeparator(*p)) ++p;
        if (*p) *p++ = '\0';
    }
    return true;
}

// Keyword fields refuse an overlong word with their own code, when they look it up.
bool wordsFitFields(char* const words[kWordCount]) {
    for (int i = 0; i < kWordCount; ++i) {
        if (i == kPapertype || i == kCompression || i == kRotate) continue;
        if (std::strlen(words[i]) > kFieldWidth[i]) return false;
    }
    return true;
}

bool given(const char* word) {
    return std::strcmp(word, "-") != 0;
}

void setInt(KroIntSlot* slot, const char* word) {
    if (given(word)) *slot = {1, kro::toInt(word)};
}
void setReal(KroRealSlot* slot, const char* word) {
    if (given(word)) *slot = {1, kro::toReal(word)};
}
// A keyword word of the file: its code, or false with badWordCode stored.
bool setKeyword(KroIntSlot* slot, char* const* words, Word w, int32_t (*lookup)(const char*),
                int32_t badWordCode) {
    if (!given(words[w])) return true;
    const int32_t code = keywordFits(words[w], w) ? lookup(words[w]) : -1;
    if (code == -1) {
        fail(badWordCode);
        return false;
    }
    *slot = {1, code};
    return true;
}

template <size_t N>
void setText(KroTextSlot* slot, char (&buffer)[N], const char* word) {
    if (!given(word)) return;
    std::snprintf(buffer, N, "%s", word);  // wordsFitFields has made sure it fits
    *slot = {1, buffer};
}

// The first line, without its newline. 0 with the line read, 1 at the end of
// the stream before any character, -1 when the line is too long.
int readLine(FILE* stream, char* line) {
    size_t n = 0;
    int c = std::getc(stream);
    if (c == EOF) return 1;
    for (; c != EOF && c != '\n'; c = std::getc(stream)) {
        if (n == kLineLimit) return -1;
        line[n++] = char(c);
    }
    line[n] = '\0';
    return 0;
}

}  // namespace

namespace kro {

char* kroReadOptionFile(FILE* stream) {
    if (!stream) {
        fail(KRO_ERR_NULL);
        return nullptr;
    }
    kroInitOption();

    char line[kLineLimit + 1];
    int got = readLine(stream, line);
    if (got == 1) return static_cast<char*>(KRO_FAILED_PTR);
    char* words[kWordCount];
    if (got < 0 || !splitWords(line, words) || !wordsFitFields(words)) {
        fail(KRO_ERR_OPTFILE_WORDS);
        return nullptr;
    }

    setInt(&kroOption.width, words[kWidth]);
    setInt(&kroOption.height, words[kHeight]);
    setInt(&kroOption.dpi, words[kDpi]);
    if (!setKeyword(&kroOption.papertype, words, kPapertype, kroGetPapertypeOption, KRO_ERR_PAPER))
        return nullptr;
    setText(&kroOption.outdata, outdataBuffer, words[kOutdata]);
    setText(&kroOption.outfile, outfileBuffer, words[kOutfile]);
    setInt(&kroOption.page, words[kPage]);
    setInt(&kroOption.from, words[kFrom]);
    setInt(&kroOption.to, words[kTo]);
    if (!setKeyword(&kroOption.compression, words, kCompression, kroGetCompressionOption,
                    KRO_ERR_COMPRESSION_WORD))
        return nullptr;
    setReal(&kroOption.scale, words[kScale]);
    if (!setKeyword(&kroOption.rotate, words, kRotate, kroGetRotateOption, KRO_ERR_ROTATE_WORD))
        return nullptr;
    if (given(words[kDirectory])) {
        if (words[kDirectory][0] != '/') {
            fail(KRO_ERR_OPTFILE_DIR);
            return nullptr;
        }
        setText(&kroOption.directory, directoryBuffer, words[kDirectory]);
    }

    const char* input = words[kInput];
    if (!given(input)) {
        fail(KRO_ERR_OPTFILE_STDIN);
        return nullptr;
    }
    if (input[0] != '/') {
        fail(KRO_ERR_OPTFILE_INPUT);
        return nullptr;
    }
    size_t length = std::strlen(input);
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (!copy) {
        fail(KRO_ERR_NOMEM);
        return nullptr;
    }
    std::memcpy(copy, input, length + 1);

    setInt(&kroOption.strip, words[kStrip]);
    setInt(&kroOption.stripLength, words[kStripLength]);
    KroRealSlot* pens[] = {&kroOption.pen1, &kroOption.pen2, &kroOption.pen3, &kroOption.pen4,
                           &kroOption.pen5, &kroOption.pen6, &kroOption.pen7, &kroOption.pen8};
    for (int i = 0; i < 8; ++i) setReal(pens[i], words[kPen1 + i]);
    setInt(&kroOption.plot, words[kPlot]);

    bool checked = kroCheckOption() == 0;
    if (checked) {
        kroSetDefault();
        checked = kroCheckValue() == 0;
    }
    if (!checked) {
        std::free(copy);
        return nullptr;
    }
    if (kroOption.page.given == 1) {
        kroOption.to.value = kroOption.page.value;
        kroOption.from.value = kroOption.page.value;
    }
    return copy;
}

}  // namespace kro
