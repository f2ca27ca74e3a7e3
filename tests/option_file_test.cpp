// The one-line option file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "options/options.h"
#include "test_util.h"

namespace {

constexpr int kWords = 25;

// A line of 25 words, "-" except where given (positions from 1 as in the file).
std::string line(const std::map<int, std::string>& words, int count = kWords) {
    std::string text;
    for (int i = 1; i <= count; ++i) {
        auto it = words.find(i);
        if (i > 1) text += ' ';
        text += it == words.end() ? std::string("-") : it->second;
    }
    return text;
}

std::string joined(std::string a, const std::string& b) {
    a += b;
    return a;
}

struct Result {
    char* path;
    ~Result() {
        if (path && path != KRO_FAILED_PTR) std::free(path);
    }
};

// Reads text as an option file. The status word starts at 0.
Result read(const std::string& text) {
    kroOption = KroOption{};
    fndErrorStatus = 0;
    kt::TempFile f(kt::Bytes(text.begin(), text.end()));
    return Result{kro::kroReadOptionFile(f.get())};
}

TEST(OptionFile, FullLine) {
    Result r = read(joined(line({{1, "/data/in.plt"},
                                 {4, "300"},
                                 {5, "A4V"},
                                 {7, "/tmp/out.ps"},
                                 {11, "G4"},
                                 {12, "-"},
                                 {13, "90"},
                                 {15, "2"},
                                 {17, "0.35"},
                                 {24, "480"},
                                 {25, "7"}}),
                           "\nsecond line ignored\n"));
    ASSERT_NE(r.path, nullptr) << fndErrorStatus;
    EXPECT_STREQ(r.path, "/data/in.plt");
    EXPECT_EQ(kroOption.dpi.value, 300);
    EXPECT_EQ(kroOption.papertype.value, 0x00010410);
    EXPECT_EQ(kroOption.papertype.given, 1);
    EXPECT_STREQ(kroOption.outfile.value, "/tmp/out.ps");
    EXPECT_EQ(kroOption.compression.value, 4);
    EXPECT_EQ(kroOption.rotate.value, 90);
    EXPECT_EQ(kroOption.strip.value, 2);
    EXPECT_EQ(kroOption.pen1.value, 0.35);
    EXPECT_EQ(kroOption.pen8.value, 480.0);
    EXPECT_EQ(kroOption.plot.value, 7);
    // Not given: defaults.
    EXPECT_EQ(kroOption.scale.given, 0);
    EXPECT_EQ(kroOption.scale.value, 1.0);
    EXPECT_EQ(kroOption.colortype.value, -1);
    EXPECT_EQ(fndErrorStatus, 0);
}

TEST(OptionFile, PageSetsFromAndTo) {
    Result r = read(line({{1, "/in"}, {8, "2"}}));
    ASSERT_NE(r.path, nullptr);
    EXPECT_EQ(kroOption.from.value, 2);
    EXPECT_EQ(kroOption.to.value, 2);
}

TEST(OptionFile, EmptyStreamIsNoLine) {
    fndErrorStatus = 12345;
    kt::TempFile f;
    EXPECT_EQ(kro::kroReadOptionFile(f.get()), KRO_FAILED_PTR);
    EXPECT_EQ(fndErrorStatus, 12345);
}

TEST(OptionFile, InitialisesTheRecord) {
    kroOption = KroOption{};
    kroOption.list.given = 1;
    kt::TempFile f(kt::Bytes{'/', 'a'});
    Result r{kro::kroReadOptionFile(f.get())};
    EXPECT_EQ(r.path, nullptr);
    EXPECT_EQ(kroOption.list.given, 0);
}

TEST(OptionFile, Failures) {
    std::string longPath(4099, 'p');  // the field's width
    longPath[0] = '/';
    std::string longWord(255, 'o');
    longWord[0] = '/';
    struct Case {
        std::string text;
        int32_t code;  // 0: accepted
    };
    const Case cases[] = {
        {line({}), KRO_ERR_OPTFILE_STDIN},
        {line({{1, "in.plt"}}), KRO_ERR_OPTFILE_INPUT},
        {line({{1, "/in"}}, 24), KRO_ERR_OPTFILE_WORDS},
        {line({{1, "/in"}}, 26), 0},    // words past the 25th are not read
        {"\n", KRO_ERR_OPTFILE_WORDS},  // a line, but an empty one
        {joined("\n", line({{1, "/in"}})), KRO_ERR_OPTFILE_WORDS},
        {line({{1, "/in"}, {5, "A7"}}), KRO_ERR_PAPER},
        {line({{1, "/in"}, {5, "a4portrait"}}), KRO_ERR_PAPER},  // longer than the field
        {line({{1, "/in"}, {5, "letterv"}}), 0},
        {line({{1, "/in"}, {11, "JPEG"}}), KRO_ERR_COMPRESSION_WORD},
        {line({{1, "/in"}, {13, "45"}}), KRO_ERR_ROTATE_WORD},
        {line({{1, "/in"}, {13, std::string(40, '9')}}), KRO_ERR_ROTATE_WORD},
        {line({{1, "/in"}, {14, "relative"}}), KRO_ERR_OPTFILE_DIR},
        {line({{1, "/in"}, {14, "/abs"}}), 0},
        {line({{1, "-"}, {14, "relative"}}), KRO_ERR_OPTFILE_DIR},  // checked before word 1
        {line({{1, "/in"}, {2, "100"}}), KRO_ERR_OPTION_CONFLICT},
        {line({{1, "/in"}, {9, "5"}, {10, "3"}}), KRO_ERR_OPTION_RANGE},
        {line({{1, "/in"}, {20, "480.5"}}), KRO_ERR_OPTION_RANGE},
        {line({{1, "/in"}, {4, "99999999999"}}), 0},
        // Words at their widths pass; one character more is refused.
        {line({{1, longPath}}), 0},
        {line({{1, joined(longPath, "p")}}), KRO_ERR_OPTFILE_WORDS},
        {line({{1, "/in"}, {6, longWord}}), 0},
        {line({{1, "/in"}, {6, joined(longWord, "o")}}), KRO_ERR_OPTFILE_WORDS},
        {line({{1, "/in"}, {2, std::string(24, '1')}, {3, "1"}}), KRO_ERR_OPTFILE_WORDS},
        {line({{1, "/in"}, {17, std::string(52, '1')}}), KRO_ERR_OPTFILE_WORDS},
        // Tabs and runs of blanks separate words too.
        {"/in\t-\t-  -\v-\f-\r- - - - - - - - - - - - - - - - - - -", 0},
        // A NUL ends the line as far as the words go.
        {joined(std::string("/in - -\0", 8), line({}, 22)), KRO_ERR_OPTFILE_WORDS},
    };
    for (const Case& c : cases) {
        Result r = read(c.text);
        std::string shown = c.text.substr(0, 60);
        if (c.code == 0) {
            EXPECT_NE(r.path, nullptr) << shown << " -> " << fndErrorStatus;
            EXPECT_NE(r.path, KRO_FAILED_PTR) << shown;
            EXPECT_EQ(fndErrorStatus, 0) << shown;
        } else {
            EXPECT_EQ(r.path, nullptr) << shown;
            EXPECT_EQ(fndErrorStatus, c.code) << shown;
        }
    }
}

TEST(OptionFile, LineLengthIsBounded) {
    std::string base = line({{1, "/in"}});
    std::string atLimit = base + std::string(9363 - base.size(), ' ');
    Result ok = read(joined(atLimit, "\n"));
    EXPECT_NE(ok.path, nullptr) << fndErrorStatus;
    Result tooLong = read(joined(atLimit, " \n"));
    EXPECT_EQ(tooLong.path, nullptr);
    EXPECT_EQ(fndErrorStatus, KRO_ERR_OPTFILE_WORDS);
    Result huge = read(std::string(1 << 20, 'x'));
    EXPECT_EQ(huge.path, nullptr);
    EXPECT_EQ(fndErrorStatus, KRO_ERR_OPTFILE_WORDS);
}

TEST(OptionFile, StringsLiveInTheReadersBuffers) {
    Result first = read(line({{1, "/in"}, {6, "/first"}}));
    ASSERT_NE(first.path, nullptr);
    const char* kept = kroOption.outdata.value;
    Result second = read(line({{1, "/in"}, {6, "/second"}}));
    ASSERT_NE(second.path, nullptr);
    EXPECT_EQ(kroOption.outdata.value, kept);
    EXPECT_STREQ(kept, "/second");
}

TEST(OptionFile, NullStream) {
    fndErrorStatus = 0;
    EXPECT_EQ(kro::kroReadOptionFile(nullptr), nullptr);
    EXPECT_EQ(fndErrorStatus, KRO_ERR_NULL);
}

}  // namespace
