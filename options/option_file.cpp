// The option file: one line of 25 words describing a conversion job, "-" for
// an option not given. Fills an option record and gives back the job's input
// path.
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
// A keyword word of the file: 0 with its code stored in the slot, or badWordCode.
int32_t setKeyword(KroIntSlot* slot, char* const* words, Word w, int32_t (*lookup)(const char*),
                   int32_t badWordCode) {
    if (!given(words[w])) return 0;
    const int32_t code = keywordFits(words[w], w) ? lookup(words[w]) : -1;
    if (code == -1) return badWordCode;
    *slot = {1, code};
    return 0;
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

// The words before the input path: sizes, paper, output, pages, compression,
// scale, rotation and directory. 0 or a status code.
int32_t setLeadingWords(KroOption& o, char* const* words) {
    setInt(&o.width, words[kWidth]);
    setInt(&o.height, words[kHeight]);
    setInt(&o.dpi, words[kDpi]);
    if (int32_t code =
            setKeyword(&o.papertype, words, kPapertype, kroGetPapertypeOption, KRO_ERR_PAPER))
        return code;
    setText(&o.outdata, outdataBuffer, words[kOutdata]);
    setText(&o.outfile, outfileBuffer, words[kOutfile]);
    setInt(&o.page, words[kPage]);
    setInt(&o.from, words[kFrom]);
    setInt(&o.to, words[kTo]);
    if (int32_t code = setKeyword(&o.compression, words, kCompression, kroGetCompressionOption,
                                  KRO_ERR_COMPRESSION_WORD))
        return code;
    setReal(&o.scale, words[kScale]);
    if (int32_t code =
            setKeyword(&o.rotate, words, kRotate, kroGetRotateOption, KRO_ERR_ROTATE_WORD))
        return code;
    if (given(words[kDirectory])) {
        if (words[kDirectory][0] != '/') return KRO_ERR_OPTFILE_DIR;
        setText(&o.directory, directoryBuffer, words[kDirectory]);
    }
    return 0;
}

// The words after it: strips, pens and plot.
void setTrailingWords(KroOption& o, char* const* words) {
    setInt(&o.strip, words[kStrip]);
    setInt(&o.stripLength, words[kStripLength]);
    KroRealSlot* pens[] = {&o.pen1, &o.pen2, &o.pen3, &o.pen4, &o.pen5, &o.pen6, &o.pen7, &o.pen8};
    for (int i = 0; i < 8; ++i) setReal(pens[i], words[kPen1 + i]);
    setInt(&o.plot, words[kPlot]);
}

// The input path of the first word, malloc'd; 0 or a status code.
int32_t copyInput(const char* word, char** input) {
    if (!given(word)) return KRO_ERR_OPTFILE_STDIN;
    if (word[0] != '/') return KRO_ERR_OPTFILE_INPUT;
    const size_t length = std::strlen(word);
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (!copy) return KRO_ERR_NOMEM;
    std::memcpy(copy, word, length + 1);
    *input = copy;
    return 0;
}

}  // namespace

namespace kro {

int32_t readOptionFile(FILE* stream, KroOption& record, char** input) {
    if (!stream) return KRO_ERR_NULL;
    initOption(record);

    char line[kLineLimit + 1];
    const int got = readLine(stream, line);
    if (got == 1) {
        *input = static_cast<char*>(KRO_FAILED_PTR);
        return 0;
    }
    char* words[kWordCount];
    if (got < 0 || !splitWords(line, words) || !wordsFitFields(words)) return KRO_ERR_OPTFILE_WORDS;
    if (int32_t code = setLeadingWords(record, words)) return code;
    if (int32_t code = copyInput(words[kInput], input)) return code;
    setTrailingWords(record, words);
    return 0;
}

char* kroReadOptionFile(FILE* stream) {
    char* input = nullptr;
    if (int32_t code = readOptionFile(stream, kroOption, &input)) {
        fail(code);
        return nullptr;
    }
    if (input == KRO_FAILED_PTR) return input;
    // Checked through the exports: the host program carries this file too.
    if (kroCheckOption() != 0 || kroSetDefault() != 0 || kroCheckValue() != 0) {
        std::free(input);
        return nullptr;
    }
    if (kroOption.page.given == 1) kroOption.from.value = kroOption.to.value = kroOption.page.value;
    return input;
}

}  // namespace kro
