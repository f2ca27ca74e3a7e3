// The option record, the keyword lookups, the parser, the checks and the
// options allowed per conversion kind.
#include "options/options.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>
#include <vector>

#include "test_util.h"

namespace {

using Strings = std::vector<std::string>;

class OptionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        kroOption = KroOption{};
        fndErrorStatus = 0;
    }
};

// An argument vector that KroGetOption may compact.
struct Args {
    Strings text;
    std::vector<char*> argv;
    int32_t argc = 0;
    Args(std::initializer_list<const char*> words) : Args(Strings(words.begin(), words.end())) {}
    explicit Args(Strings words) : text(std::move(words)) {
        for (std::string& s : text) argv.push_back(s.data());
        argc = int32_t(argv.size());
        argv.push_back(nullptr);
    }
    int32_t parse() { return KroGetOption(&argc, argv.data()); }
    Strings left() const { return {argv.begin(), argv.begin() + argc}; }
};

TEST_F(OptionsTest, DefaultsAndReset) {
    // Every default is within its range.
    EXPECT_EQ(kroSetDefault(), 0);
    EXPECT_EQ(kroCheckValue(), 0);

    // A reset clears every flag and keeps the values.
    Args job{"-dpi", "300", "-batch"};
    ASSERT_EQ(job.parse(), 0);
    kroInitOption();
    for (const kro::OptionSlot& slot : kro::kOptionSlots)
        EXPECT_EQ(kro::givenFlag(kroOption, slot), 0) << slot.keyword;
    EXPECT_EQ(kroOption.dpi.value, 300);
}

// Each row is a job through KroGetOption: its code, 0 for success, and where a
// slot is named, the value stored there.
TEST_F(OptionsTest, ParserValuesAndChecks) {
    constexpr int32_t kClash = KRO_ERR_OPTION_CONFLICT, kRange = KRO_ERR_OPTION_RANGE;
    struct Case {
        Strings words;
        int32_t code = 0;
        const KroIntSlot* slot = nullptr;
        int32_t value = 0;
    };
    const Case cases[] = {
        {{"-compression", "PackBits"}, 0, &kroOption.compression, 32773},
        {{"-rotate", "0"}, 0, &kroOption.rotate, 0},  // the row before the terminator
        {{"-mode", "XOR"}, 0, &kroOption.mode, 3},
        // Trailing characters are ignored; numbers beyond 32 bits saturate.
        {{"-dpi", "300dpi"}, 0, &kroOption.dpi, 300},
        {{"-width", "4294967297", "-height", "1"}, 0, &kroOption.width, INT32_MAX},
        {{"-color", "#00ff00"}, 0, &kroOption.color, 0x0000FF00},
        {{"-color", "#12zz"}, 0, &kroOption.color, 0x12},
        {{"-color", "#123456789"}, 0, &kroOption.color, -1},  // all ones, not the low bits
        {{"-color", "#-2"}, 0, &kroOption.color, -2},
        {{"-color", "#--2"}, 0, &kroOption.color, 0},
        // -page sets both ends; one tile side stands for both.
        {{"-page", "3"}, 0, &kroOption.from, 3},
        {{"-page", "3"}, 0, &kroOption.to, 3},
        {{"-tileWidth", "64"}, 0, &kroOption.tileHeight, 64},
        // Words that are not keywords: exact matches only.
        {{"-rotate", "090"}, KRO_ERR_ROTATE_WORD, &kroOption.rotate, -1},
        {{"-compression", "no"}, KRO_ERR_COMPRESSION_WORD, &kroOption.compression, -1},
        {{"-papertype", "NO"}, KRO_ERR_PAPER, &kroOption.papertype, -1},  // code 0 is no paper
        {{"-mode", "NAND"}, KRO_ERR_MODE_WORD, &kroOption.mode, -1},
        {{"-colortype", "Gray"}, KRO_ERR_COLORTYPE_WORD, &kroOption.colortype, -1},
        {{"-dithes", "9"}, KRO_ERR_DITHER_WORD, &kroOption.dithes, -1},
        {{"-photo", "2"}, KRO_ERR_OPTION_RANGE, &kroOption.photo, -1},
        // With or without a colour file, an unknown name has a code.
        {{"-color", "no such colour"}, KRO_ERR_COLOR_NAME, &kroOption.color, -1},
        // Options that contradict each other.
        {{"-width", "10"}, kClash},
        {{"-width", "10", "-height", "10", "-scale", "2"}, kClash},
        {{"-papertype", "A4", "-scale", "2"}, kClash},
        {{"-width", "10", "-height", "10", "-papertype", "A4"}, kClash},
        {{"-outdata", "a", "-outfile", "b"}, kClash},
        {{"-to", "1", "-page", "2"}, kClash},
        {{"-outfile", "a", "-directory", "/d"}, kClash},
        {{"-list", "anything"}, kClash},
        {{"-dithes", "1", "-dithee"}, kClash},
        {{"-tileHeight", "16", "-tileNumY", "2"}, kClash},
        {{"-compression", "G4", "-colortype", "GrayScale"}, kClash},
        {{"-compression", "JPEG", "-colortype", "Bilevel"}, kClash},
        {{"-compression", "OJPEG", "-colortype", "Palette"}, kClash},
        {{"-xreso", "300", "-dpi", "200"}, kClash},
        {{"-strip", "1", "-stripLength", "8"}, kClash},
        {{"-stripLength", "8", "-tileNumX", "2"}, kClash},
        {{"-defDpi", "300", "-defYDpi", "300"}, kClash},
        // Values out of range.
        {{"-from", "5", "-to", "3"}, kRange},
        {{"-to", "0"}, kRange},
        {{"-scale", "0"}, kRange},
        {{"-width", "0", "-height", "5"}, kRange},
        {{"-page", "0"}, kRange},
        {{"-y", "-1"}, kRange},
        {{"-gamma", "9999.5"}, kRange},
        {{"-quality", "101"}, kRange},
        {{"-level", "256"}, kRange},
        {{"-tileWidth", "100"}, kRange},
        {{"-tileWidth", "24"}, kRange},  // whole bytes are not enough: sides of 16
        {{"-xreso", "-1"}, kRange},
        {{"-stripLength", "-1"}, kRange},
        {{"-strip", "-1"}, kRange},
        {{"-pen3", "480.5"}, kRange},
        {{"-plot", "23"}, kRange},
        {{"-plot", "33"}, kRange},
        {{"-defXDpi", "0"}, kRange},
        // Allowed pairs and the edges of the ranges; yreso with dpi passes.
        {{"-compression", "PackBits", "-colortype", "Palette", "-yreso", "300", "-dpi", "200"}, 0},
        {{"-compression", "G4", "-colortype", "Bilevel", "-gamma", "0", "-pen3", "480"}, 0},
        {{"-plot", "24", "-tileWidth", "16", "-tileHeight", "-32"}, 0},
        {{"-dpi", "abc"}, kRange},          // not a number gives 0
        {{"-dpi", "-4294967295"}, kRange},  // saturates rather than wrapping into range
        // NaN and infinity fall outside every range.
        {{"-scale", "nan"}, kRange},
        {{"-scale", "inf"}, kRange},
        {{"-pen1", "nan"}, kRange},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        kroOption = KroOption{};
        Args args(c.words);
        fndErrorStatus = 0;
        EXPECT_EQ(args.parse(), c.code ? -1 : 0);
        EXPECT_EQ(fndErrorStatus, c.code);
        if (!c.slot) continue;
        EXPECT_EQ(c.slot->value, c.value);
        if (c.code == 0) continue;
        // A refused word is not marked given and stays in the vector.
        EXPECT_EQ(c.slot->given, 0);
        EXPECT_EQ(args.argc, 2);
    }
    EXPECT_EQ(kroGetCompressionOption(nullptr), -1);
    EXPECT_EQ(kroGetPapertypeOption(nullptr), -1);
}

TEST_F(OptionsTest, ParserWorksOnTheVectorInPlace) {
    Args args{"in.bmp", "-dpi", "300", "-foo", "out.ps", "-batch"};
    ASSERT_EQ(args.parse(), 0);
    EXPECT_EQ(args.left(), (Strings{"in.bmp", "-foo", "out.ps"}));
    EXPECT_EQ(kroOption.dpi.value, 300);
    EXPECT_EQ(kroOption.batch.given, 1);

    Args exact{"-Width", "-widths", "-w", "-", "--dpi", "-scale", "2.5", "-outdata", "o"};
    ASSERT_EQ(exact.parse(), 0);
    EXPECT_EQ(exact.left(), (Strings{"-Width", "-widths", "-w", "-", "--dpi"}));
    EXPECT_EQ(kroOption.scale.value, 2.5);
    EXPECT_EQ(kroOption.outdata.value, exact.text[8].data());  // not copied

    // The last occurrence wins; every occurrence goes.
    Args twice{"-dpi", "100", "a", "-dpi", "200", "-batch", "-batch"};
    ASSERT_EQ(twice.parse(), 0);
    EXPECT_EQ(kroOption.dpi.value, 200);
    EXPECT_EQ(twice.left(), (Strings{"a"}));

    // An empty vector still runs the checks.
    int32_t argc = 0;
    EXPECT_EQ(KroGetOption(&argc, nullptr), 0);
    kroOption.list.given = 1;
    EXPECT_FAILS_WITH(KroGetOption(&argc, nullptr), KRO_ERR_OPTION_CONFLICT);

    // A failure keeps what came before.
    Args later{"-page", "2", "-color"};
    EXPECT_FAILS_WITH(later.parse(), KRO_ERR_OPTION_NO_VALUE);
    EXPECT_EQ(later.left(), (Strings{"-color"}));
    EXPECT_EQ(kroOption.page.value, 2);

    EXPECT_FAILS_WITH(KroGetOption(nullptr, nullptr), KRO_ERR_NULL);
    argc = 2;
    EXPECT_FAILS_WITH(KroGetOption(&argc, nullptr), KRO_ERR_NULL);
    // A null entry is no option; a null value is a missing one.
    std::string dpi = "-dpi", batch = "-batch";
    char* hole[] = {nullptr, batch.data(), dpi.data(), nullptr};
    argc = 3;
    EXPECT_FAILS_WITH(KroGetOption(&argc, hole), KRO_ERR_OPTION_NO_VALUE);
    EXPECT_EQ(argc, 2);

    // A value that begins with a minus sign is a value.
    Args minus{"-outfile", "-batch", "-x", "-5"};
    kroInitOption();
    EXPECT_FAILS_WITH(minus.parse(), KRO_ERR_OPTION_RANGE);
    EXPECT_STREQ(kroOption.outfile.value, "-batch");
    EXPECT_EQ(kroOption.batch.given, 0);
    EXPECT_EQ(kroOption.x.value, -5);
}

TEST_F(OptionsTest, ConversionKinds) {
    for (int32_t kind : {0, 25, -1, INT32_MIN})
        EXPECT_FAILS_WITH(KroCheckCOption(kind), KRO_ERR_KIND);
    for (int32_t kind = 1; kind <= 24; ++kind) EXPECT_EQ(KroCheckCOption(kind), 0) << kind;
    // -page sets the values of -from and -to, not their flags.
    Args onePage{"-page", "3"};
    ASSERT_EQ(onePage.parse(), 0);
    EXPECT_EQ(KroCheckCOption(13), 0);

    // Kind 2 takes the first page only, and a default resolution only with it.
    // kind, the options given, the page value, allowed
    const std::tuple<int32_t, std::vector<const char*>, int32_t, bool> cases[] = {
        {13, {"color"}, 1, false}, {22, {"color", "mode", "batch"}, 1, true},
        {2, {"page"}, 1, true},    {2, {"page"}, 2, false},
        {2, {"defDpi"}, 1, false}, {2, {"page", "defDpi"}, 1, true},
        {2, {}, 2, true},  // a page value not given is no page
    };
    for (const auto& [kind, given, page, allowed] : cases) {
        kroOption = KroOption{};
        kroOption.page.value = page;
        for (const char* k : given)
            kro::givenFlag(kroOption, kro::kOptionSlots[kro::slotIndex(k)]) = 1;
        fndErrorStatus = 0;
        EXPECT_EQ(KroCheckCOption(kind), allowed ? 0 : -1) << kind;
        EXPECT_EQ(fndErrorStatus, allowed ? 0 : KRO_ERR_OPTION_NOT_ALLOWED) << kind;
    }
}

TEST(ShiftOption, RemovesOnlyEntriesThatAreThere) {
    // count, index, number to remove, the entries left
    const std::tuple<int32_t, int32_t, int32_t, Strings> cases[] = {
        {5, 1, 2, {"a", "d", "e"}},
        {3, 1, 1, {"a", "c"}},  // entries past the count do not move in
        // Requests beyond the entries remove only what is there.
        {5, 3, 9, {"a", "b", "c"}},
        {5, 5, 1, {"a", "b", "c", "d", "e"}},
        {5, -1, 1, {"a", "b", "c", "d", "e"}},
        {5, 1, -3, {"a", "b", "c", "d", "e"}},
    };
    for (auto [count, index, n, want] : cases) {
        Args args{"a", "b", "c", "d", "e"};
        kroShiftOption(&count, args.argv.data(), index, n);
        EXPECT_EQ(Strings(args.argv.begin(), args.argv.begin() + count), want) << index << "," << n;
    }
}

}  // namespace
