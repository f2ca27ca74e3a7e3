// The one-line option file, read through the name hosts call.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <tuple>
#include <utility>

#include "options/options.h"
#include "test_util.h"

namespace {

// A line of 25 words (or count), "-" except where given (positions from 1 as in the file).
std::string line(const std::map<int, std::string>& words, int count = 25) {
    std::string text;
    for (int i = 1; i <= count; ++i) {
        auto it = words.find(i);
        if (i > 1) text += ' ';
        text += it == words.end() ? std::string("-") : it->second;
    }
    return text;
}

struct Result {
    char* path;
    ~Result() {
        if (path && path != KRO_FAILED_PTR) std::free(path);
    }
};

// Reads text as an option file. The status word starts at 0; a flag left from
// an earlier job must be cleared by the reader, or every check refuses the job.
Result read(const std::string& text) {
    kroOption.list.given = 1;
    fndErrorStatus = 0;
    kt::TempFile f(kt::Bytes(text.begin(), text.end()));
    return Result{KroReadOptionFile(f.get())};
}

TEST(OptionFile, FullLine) {
    // input width height dpi paper outdata outfile page from to compression scale rotate
    // directory strip stripLength pen1..pen8 plot; the page sets from and to.
    Result r = read(
        "/data/in.plt - - 300 A4V - /tmp/out.ps 2 - - G4 - 90 - 2 - 0.35 - - - - - - "
        "480 7\nsecond line ignored\n");
    ASSERT_NE(r.path, nullptr) << fndErrorStatus;
    EXPECT_STREQ(r.path, "/data/in.plt");
    EXPECT_STREQ(kroOption.outfile.value, "/tmp/out.ps");
    const KroOption& o = kroOption;
    EXPECT_EQ(std::make_tuple(o.dpi.value, o.papertype.value, o.from.value, o.to.value,
                              o.compression.value, o.rotate.value, o.strip.value, o.plot.value),
              std::make_tuple(300, 0x00010410, 2, 2, 4, 90, 2, 7));
    EXPECT_EQ(std::make_pair(o.pen1.value, o.pen8.value), std::make_pair(0.35, 480.0));
    // Not given: defaults.
    EXPECT_EQ(kroOption.scale.given, 0);
    EXPECT_EQ(kroOption.scale.value, 1.0);
    EXPECT_EQ(fndErrorStatus, 0);
}

TEST(OptionFile, NoLineAndNullStream) {
    fndErrorStatus = 12345;
    kt::TempFile empty;
    EXPECT_EQ(static_cast<void*>(KroReadOptionFile(empty.get())), KRO_FAILED_PTR);
    EXPECT_EQ(fndErrorStatus, 12345);
    fndErrorStatus = 0;
    EXPECT_EQ(KroReadOptionFile(nullptr), nullptr);
    EXPECT_EQ(fndErrorStatus, KRO_ERR_NULL);
}

TEST(OptionFile, Failures) {
    // Words as wide as their fields.
    std::string longPath = std::string("/").append(4098, 'p'),
                longWord = std::string("/").append(254, 'o');
    std::string atLimit = line({{1, "/in"}});
    atLimit.resize(9363, ' ');  // the longest line
    const std::pair<std::string, int32_t> cases[] = {
        // code 0: accepted
        {line({}), KRO_ERR_OPTFILE_STDIN},
        {line({{1, "in.plt"}}), KRO_ERR_OPTFILE_INPUT},
        {line({{1, "/in"}}, 24), KRO_ERR_OPTFILE_WORDS},
        {line({{1, "/in"}}, 26), 0},  // words past the 25th are not read
        // An empty first line is refused, not skipped.
        {std::string("\n").append(line({{1, "/in"}})), KRO_ERR_OPTFILE_WORDS},
        {line({{1, "/in"}, {5, "A7"}}), KRO_ERR_PAPER},
        {line({{1, "/in"}, {5, "a4portrait"}}), KRO_ERR_PAPER},  // longer than the field
        {line({{1, "/in"}, {5, "letterv"}}), 0},
        {line({{1, "/in"}, {11, "JPEG"}}), KRO_ERR_COMPRESSION_WORD},  // longer than the field
        {line({{1, "/in"}, {13, "45"}}), KRO_ERR_ROTATE_WORD},
        {line({{1, "/in"}, {14, "relative"}}), KRO_ERR_OPTFILE_DIR},
        {line({{1, "/in"}, {14, "/abs"}}), 0},
        {line({{1, "/in"}, {2, "100"}}), KRO_ERR_OPTION_CONFLICT},
        {line({{1, "/in"}, {9, "5"}, {10, "3"}}), KRO_ERR_OPTION_RANGE},
        {line({{1, "/in"}, {4, "99999999999"}}), 0},  // saturates
        // A word at its field's width passes; one character more is refused.
        {line({{1, longPath}}), 0},
        {line({{1, longPath + "p"}}), KRO_ERR_OPTFILE_WORDS},
        {line({{1, "/in"}, {6, longWord}}), 0},
        {line({{1, "/in"}, {6, longWord + "o"}}), KRO_ERR_OPTFILE_WORDS},
        {line({{1, "/in"}, {2, std::string(24, '1')}, {3, "1"}}), KRO_ERR_OPTFILE_WORDS},
        {atLimit + "\n", 0},
        {atLimit + " \n", KRO_ERR_OPTFILE_WORDS},
        {std::string(1 << 20, 'x'), KRO_ERR_OPTFILE_WORDS},
        // Tabs and runs of blanks separate words too.
        {"/in\t-\t-  -\v-\f-\r- - - - - - - - - - - - - - - - - - -", 0},
        // A NUL ends the line as far as the words go.
        {std::string("/in - -\0", 8) + line({}, 22), KRO_ERR_OPTFILE_WORDS},
    };
    for (const auto& [text, code] : cases) {
        Result r = read(text);
        std::string shown = text.substr(0, 60);
        EXPECT_EQ(r.path == nullptr, code != 0) << shown << " -> " << fndErrorStatus;
        EXPECT_NE(r.path, KRO_FAILED_PTR) << shown;
        EXPECT_EQ(fndErrorStatus, code) << shown;
    }
}

}  // namespace
