// The option record, the keyword lookups, the parser, the checks and the
// options allowed per conversion kind.
#include "options/options.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "search_path.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;
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

TEST_F(OptionsTest, DefaultsFillOnlyWhatWasNotGiven) {
    EXPECT_EQ(kroSetDefault(), 0);
    EXPECT_EQ(kroOption.papertype.value, 0x00010310);
    EXPECT_EQ(kroOption.compression.value, 4);
    EXPECT_EQ(kroOption.scale.value, 1.0);
    EXPECT_EQ(kroOption.color.value, 0x00FF0000);
    for (const kro::OptionSlot& slot : kro::kOptionSlots)
        EXPECT_EQ(kro::givenFlag(kroOption, slot), 0) << slot.keyword;
    EXPECT_EQ(kroCheckValue(), 0);

    // A given value survives, even out of range.
    kroOption.quality = {1, 500};
    kroSetDefault();
    EXPECT_EQ(kroOption.quality.value, 500);
}

TEST_F(OptionsTest, InitClearsFlagsButKeepsValues) {
    Args first{"-dpi", "300", "-batch"};
    ASSERT_EQ(first.parse(), 0);
    // Without a reset the next job still sees the old options.
    Args second{"in.bmp"};
    ASSERT_EQ(second.parse(), 0);
    EXPECT_EQ(kroOption.dpi.given, 1);
    EXPECT_EQ(kroOption.batch.given, 1);

    kroInitOption();
    for (const kro::OptionSlot& slot : kro::kOptionSlots)
        EXPECT_EQ(kro::givenFlag(kroOption, slot), 0) << slot.keyword;
    EXPECT_EQ(kroOption.dpi.value, 300);
}

TEST(KeywordLookup, ExactMatchesOnly) {
    struct Case {
        int32_t (*lookup)(const char*);
        const char* word;
        int32_t code;
    };
    const Case cases[] = {
        {kroGetCompressionOption, "PackBits", 32773},
        {kroGetCompressionOption, "OJPEG", 6},
        {kroGetCompressionOption, "no", -1},
        {kroGetCompressionOption, "", -1},
        {kroGetRotateOption, "0", 0},
        {kroGetRotateOption, "090", -1},
        {kroGetModeOption, "XOR", 3},
        {kroGetColorTypeOption, "RGBColor", 2},
        {kroGetDithesOption, "6", -1},
        {kro::kroGetPhotoOption, "1", 1},
        {kroGetPapertypeOption, "A4", 0x00010401},
        {kroGetPapertypeOption, "LET", 0x00030110},
        {kroGetPapertypeOption, "NO", -1},
        {kroGetPapertypeOption, "a4V", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(c.lookup(c.word), c.code) << c.word;
    EXPECT_EQ(kroGetCompressionOption(nullptr), -1);
    EXPECT_EQ(kroGetPapertypeOption(nullptr), -1);
}

TEST_F(OptionsTest, ParserTakesOptionsAndLeavesTheRest) {
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

    // A value that begins with a minus sign is a value.
    Args minus{"-outfile", "-batch", "-x", "-5"};
    kroInitOption();
    EXPECT_FAILS_WITH(minus.parse(), KRO_ERR_OPTION_RANGE);
    EXPECT_STREQ(kroOption.outfile.value, "-batch");
    EXPECT_EQ(kroOption.batch.given, 0);
    EXPECT_EQ(kroOption.x.value, -5);
}

TEST_F(OptionsTest, ParserAftermath) {
    Args page{"-page", "3", "-tileWidth", "64"};
    ASSERT_EQ(page.parse(), 0);
    EXPECT_EQ(kroOption.from.value, 3);
    EXPECT_EQ(kroOption.to.value, 3);
    EXPECT_EQ(kroOption.to.given, 0);
    EXPECT_EQ(kroOption.tileHeight.value, 64);
    EXPECT_EQ(kroOption.tileHeight.given, 0);

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
}

TEST_F(OptionsTest, ParserFailuresKeepWhatCameBefore) {
    Args last{"in", "-dpi"};
    EXPECT_FAILS_WITH(last.parse(), KRO_ERR_OPTION_NO_VALUE);
    EXPECT_EQ(last.left(), (Strings{"in", "-dpi"}));

    Args later{"-page", "2", "-color"};
    EXPECT_FAILS_WITH(later.parse(), KRO_ERR_OPTION_NO_VALUE);
    EXPECT_EQ(later.left(), (Strings{"-color"}));
    EXPECT_EQ(kroOption.page.value, 2);

    struct Case {
        const char* option;
        const char* word;
        int32_t code;
        const KroIntSlot* slot;
    };
    const Case cases[] = {
        {"-rotate", "45", KRO_ERR_ROTATE_WORD, &kroOption.rotate},
        {"-compression", "no", KRO_ERR_COMPRESSION_WORD, &kroOption.compression},
        {"-papertype", "A7", KRO_ERR_PAPER, &kroOption.papertype},
        {"-mode", "NAND", KRO_ERR_MODE_WORD, &kroOption.mode},
        {"-colortype", "Gray", KRO_ERR_COLORTYPE_WORD, &kroOption.colortype},
        {"-dithes", "9", KRO_ERR_DITHER_WORD, &kroOption.dithes},
        {"-photo", "2", KRO_ERR_OPTION_RANGE, &kroOption.photo},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option);
        kroOption = KroOption{};
        Args args{c.option, c.word, "rest"};
        EXPECT_FAILS_WITH(args.parse(), c.code);
        EXPECT_EQ(c.slot->value, -1);
        EXPECT_EQ(c.slot->given, 0);
        EXPECT_EQ(args.argc, 3);
    }

    EXPECT_FAILS_WITH(KroGetOption(nullptr, nullptr), KRO_ERR_NULL);
    int32_t argc = 2;
    EXPECT_FAILS_WITH(KroGetOption(&argc, nullptr), KRO_ERR_NULL);
    // A null entry is no option; a null value is a missing one.
    std::string dpi = "-dpi", batch = "-batch";
    char* hole[] = {nullptr, batch.data(), dpi.data(), nullptr};
    argc = 3;
    EXPECT_FAILS_WITH(KroGetOption(&argc, hole), KRO_ERR_OPTION_NO_VALUE);
    EXPECT_EQ(argc, 2);
}

TEST_F(OptionsTest, HexColours) {
    const std::pair<const char*, int32_t> cases[] = {
        {"#00ff00", 0x0000FF00},
        {"#", 0},
        {"#12zz", 0x12},
        {"#ffffffff", -1},
        {"#123456789", -1},  // beyond 32 bits: all ones, not the low bits
        {"#-2", -2},
        {"#--2", 0},
    };
    for (const auto& [word, colour] : cases) {
        kroOption = KroOption{};
        Args args{"-color", word};
        ASSERT_EQ(args.parse(), 0) << word;
        EXPECT_EQ(kroOption.color.value, colour) << word;
    }
}

// Each row is a whole job through KroGetOption and its code, 0 for success.
void expectCodes(const std::vector<std::pair<Strings, int32_t>>& cases) {
    for (const auto& [words, code] : cases) {
        kroOption = KroOption{};
        Args args(words);
        std::string shown;
        for (const std::string& w : words) shown += w + " ";
        fndErrorStatus = 0;
        EXPECT_EQ(args.parse(), code ? -1 : 0) << shown;
        EXPECT_EQ(fndErrorStatus, code) << shown;
    }
}

TEST_F(OptionsTest, ContradictionsAreRefused) {
    constexpr int32_t kBad = KRO_ERR_OPTION_CONFLICT;
    expectCodes({
        {{"-width", "10"}, kBad},
        {{"-width", "10", "-height", "10", "-scale", "2"}, kBad},
        {{"-papertype", "A4", "-dpi", "300"}, 0},
        {{"-papertype", "A4", "-scale", "2"}, kBad},
        {{"-width", "10", "-height", "10", "-papertype", "A4"}, kBad},
        {{"-outdata", "a", "-outfile", "b"}, kBad},
        {{"-to", "1", "-page", "2"}, kBad},
        {{"-outfile", "a", "-directory", "/d"}, kBad},
        {{"-list", "anything"}, kBad},
        {{"-dithes", "1", "-dithee"}, kBad},
        {{"-tileHeight", "16", "-tileNumY", "2"}, kBad},
        {{"-compression", "G4", "-colortype", "GrayScale"}, kBad},
        {{"-compression", "G4", "-colortype", "Bilevel"}, 0},
        {{"-compression", "JPEG", "-colortype", "RGBColor"}, 0},
        {{"-compression", "JPEG", "-colortype", "Bilevel"}, kBad},
        {{"-compression", "PackBits", "-colortype", "Palette"}, 0},
        {{"-compression", "OJPEG", "-colortype", "Palette"}, kBad},
        {{"-yreso", "300", "-dpi", "200"}, 0},
        {{"-xreso", "300", "-dpi", "200"}, kBad},
        {{"-strip", "1", "-stripLength", "8"}, kBad},
        {{"-stripLength", "8", "-tileNumX", "2"}, kBad},
        {{"-defDpi", "300", "-defYDpi", "300"}, kBad},
    });
}

TEST_F(OptionsTest, ValuesOutOfRangeAreRefused) {
    constexpr int32_t kBad = KRO_ERR_OPTION_RANGE;
    expectCodes({
        {{"-from", "5", "-to", "3"}, kBad},
        {{"-from", "3"}, 0},
        {{"-to", "0"}, kBad},
        {{"-scale", "0"}, kBad},
        {{"-width", "0", "-height", "5"}, kBad},
        {{"-page", "0"}, kBad},
        {{"-y", "-1"}, kBad},
        {{"-gamma", "0"}, 0},
        {{"-gamma", "9999.5"}, kBad},
        {{"-quality", "101"}, kBad},
        {{"-level", "256"}, kBad},
        {{"-tileWidth", "100"}, kBad},
        {{"-tileWidth", "0"}, 0},
        {{"-tileWidth", "16", "-tileHeight", "-32"}, 0},
        {{"-xreso", "-1"}, kBad},
        {{"-stripLength", "-1"}, kBad},
        {{"-strip", "-1"}, kBad},
        {{"-pen3", "480"}, 0},
        {{"-pen3", "480.5"}, kBad},
        {{"-plot", "22"}, 0},
        {{"-plot", "23"}, kBad},
        {{"-plot", "24"}, 0},
        {{"-plot", "33"}, kBad},
        {{"-defXDpi", "0"}, kBad},
        // Not a number gives 0; trailing characters are ignored.
        {{"-dpi", "abc"}, kBad},
        {{"-dpi", "300dpi"}, 0},
        // Numbers beyond 32 bits saturate rather than wrap into range.
        {{"-dpi", "-4294967295"}, kBad},
        {{"-width", "4294967297", "-height", "1"}, 0},
        // NaN and infinity fall outside every range.
        {{"-scale", "nan"}, kBad},
        {{"-scale", "inf"}, kBad},
        {{"-gamma", "nan"}, kBad},
        {{"-pen1", "nan"}, kBad},
    });
}

TEST_F(OptionsTest, ConversionKinds) {
    for (int32_t kind : {0, 25, -1, INT32_MIN})
        EXPECT_FAILS_WITH(KroCheckCOption(kind), KRO_ERR_KIND);
    for (int32_t kind = 1; kind <= 24; ++kind) EXPECT_EQ(KroCheckCOption(kind), 0) << kind;
    kroOption.list.given = 1;
    for (int32_t kind = 1; kind <= 24; ++kind)
        EXPECT_FAILS_WITH(KroCheckCOption(kind), KRO_ERR_OPTION_NOT_ALLOWED);

    struct Case {
        int32_t kind;
        std::vector<const char*> given;
        bool allowed;
    };
    const Case cases[] = {
        {13, {"color"}, false},
        {22, {"color", "mode", "batch"}, true},
        {13, {"width"}, false},
        {22, {"width"}, false},
        {19, {"scale"}, false},
        {19, {"from", "to", "page"}, true},
        {3, {"pen5", "physical"}, true},
        {20, {"Italic", "fontsize"}, true},
        {14, {"tileNumY", "photo"}, true},
        {16, {"quality"}, false},
    };
    for (const Case& c : cases) {
        kroOption = KroOption{};
        for (const char* k : c.given)
            kro::givenFlag(kroOption, kro::kOptionSlots[kro::slotIndex(k)]) = 1;
        EXPECT_EQ(KroCheckCOption(c.kind), c.allowed ? 0 : -1) << c.kind << " " << c.given[0];
    }

    // Kind 2 takes the first page only, and a default resolution only with it.
    struct PageCase {
        KroIntSlot page, defDpi;
        bool allowed;
    };
    const PageCase pageCases[] = {
        {{1, 1}, {0, 0}, true},   {{1, 2}, {0, 0}, false},   {{0, 0}, {1, 300}, false},
        {{1, 1}, {1, 300}, true}, {{1, 2}, {1, 300}, false}, {{0, 2}, {0, 0}, true},
    };
    for (const PageCase& c : pageCases) {
        kroOption = KroOption{};
        kroOption.page = c.page;
        kroOption.defDpi = c.defDpi;
        fndErrorStatus = 0;
        EXPECT_EQ(KroCheckCOption(2), c.allowed ? 0 : -1) << c.page.given << c.page.value;
        EXPECT_EQ(fndErrorStatus, c.allowed ? 0 : KRO_ERR_OPTION_NOT_ALLOWED);
    }
}

TEST(ShiftOption, RemovesEntriesInPlace) {
    struct Case {
        int32_t count, index, n;
        Strings want;
    };
    const Case cases[] = {
        {5, 1, 2, {"a", "d", "e"}},
        {5, 3, 2, {"a", "b", "c"}},  // the last entries: only the count drops
        {3, 1, 1, {"a", "c"}},       // entries past the count do not move in
        // Requests beyond the entries remove only what is there.
        {5, 3, 9, {"a", "b", "c"}},
        {5, 5, 1, {"a", "b", "c", "d", "e"}},
        {5, -1, 1, {"a", "b", "c", "d", "e"}},
        {5, 1, -3, {"a", "b", "c", "d", "e"}},
    };
    for (const Case& c : cases) {
        std::string words[] = {"a", "b", "c", "d", "e"};
        char* argv[5];
        for (int i = 0; i < 5; ++i) argv[i] = words[i].data();
        int32_t count = c.count;
        kroShiftOption(&count, argv, c.index, c.n);
        EXPECT_EQ(Strings(argv, argv + count), c.want) << c.index << "," << c.n;
    }
}

TEST_F(OptionsTest, ColourNamesComeFromTheColourFile) {
    std::string tmpl = (fs::temp_directory_path() / "kro-colour-XXXXXX").string();
    fs::path dir = mkdtemp(tmpl.data());
    fs::path old = fs::current_path();
    std::ofstream(dir / "RGB.TXT") << "255 250 250\tpale\n248 248 255\t\tpale blue\n";
    fs::current_path(dir);
    char found[4096] = "";
    uint32_t n = SearchPathA(nullptr, "RGB.TXT", nullptr, sizeof found, found, nullptr);
    if (n > 0 && n < sizeof found && fs::path(found).parent_path() == dir) {
        Args args{"-color", "Pale Blue", "x"};
        EXPECT_EQ(args.parse(), 0);
        EXPECT_EQ(kroOption.color.value, (248 << 16) | (248 << 8) | 255);

        kroOption = KroOption{};
        Args unknown{"-color", "paleblue", "x"};
        EXPECT_FAILS_WITH(unknown.parse(), KRO_ERR_COLOR_NAME);
        EXPECT_EQ(kroOption.color.given, 0);
        EXPECT_EQ(unknown.argc, 3);
    }
    fs::current_path(old);
    fs::remove_all(dir);
    if (fs::path(found).parent_path() != dir) GTEST_SKIP() << "an RGB.TXT beside the program";
}

}  // namespace
