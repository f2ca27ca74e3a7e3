// The colour-name file and the file search that finds it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "options/options.h"
#include "search_path.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;

// A fresh directory, removed with everything in it at the end.
class TempDir {
  public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "kro-test-XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }
    std::string write(const std::string& name, const std::string& contents) const {
        fs::path p = path_ / name;
        std::ofstream(p, std::ios::binary) << contents;
        return p.string();
    }

  private:
    fs::path path_;
};

// Restores the current directory and PATH.
class EnvironmentGuard {
  public:
    EnvironmentGuard() : cwd_(fs::current_path()) {
        const char* p = std::getenv("PATH");
        hadPath_ = p != nullptr;
        if (p) path_ = p;
    }
    ~EnvironmentGuard() {
        fs::current_path(cwd_);
        if (hadPath_)
            setenv("PATH", path_.c_str(), 1);
        else
            unsetenv("PATH");
    }

  private:
    fs::path cwd_;
    bool hadPath_;
    std::string path_;
};

int32_t rgb(int r, int g, int b) {
    return (r << 16) | (g << 8) | b;
}

TEST(ColourFile, LinesAndNames) {
    TempDir dir;
    std::string file = dir.write("colours",
                                 "! a comment line\n"
                                 "255 250 250\tpale\n"
                                 "248 248 255\t\tpale blue\n"
                                 "0 0 1\tpale\n"
                                 "1 2\tshort\n"
                                 "x y z\tletters\n"
                                 "10\t20\t30\ttabbed\n"
                                 "5 6 7  spaced\n"
                                 "300 0 0\tbig\n"
                                 "-1 -1 -1\tall ones\n"
                                 "12abc 1 1\tglued\n"
                                 "9 9 9\tcrlf\r\n"
                                 "1 2 3\tname\tanything after the tab\n"
                                 "\n"
                                 "   \t \n"
                                 "  0   0 128\t\tnavy blue\n"
                                 "7 7 7\tlast");  // no final newline
    struct Case {
        const char* name;
        int32_t colour;  // -1: not found
    };
    const Case cases[] = {
        {"pale", rgb(255, 250, 250)},
        {"Pale", rgb(255, 250, 250)},
        {"PALE", rgb(255, 250, 250)},  // the first of two lines wins
        {"pale blue", rgb(248, 248, 255)},
        {"paleblue", -1},
        {"short", -1},  // three words at most: no name
        {"letters", -1},
        {"tabbed", rgb(10, 20, 30)},
        {" spaced", rgb(5, 6, 7)},  // the spaces after the first belong to the name
        {"big", 300 << 16},         // components are not masked
        {"all ones", -1},           // the failure value cannot be a colour
        {"glued", rgb(12, 1, 1)},
        {"crlf", rgb(9, 9, 9)},
        {"name", rgb(1, 2, 3)},
        {"anything after the tab", -1},
        {"navy blue", rgb(0, 0, 128)},
        {"last", rgb(7, 7, 7)},
        {"", -1},
    };
    for (const Case& c : cases) {
        fndErrorStatus = 0;
        EXPECT_EQ(kro::lookupColorNameIn(file.c_str(), c.name), c.colour) << c.name;
        EXPECT_EQ(fndErrorStatus, c.colour == -1 ? KRO_ERR_COLOR_NAME : 0) << c.name;
    }
}

TEST(ColourFile, LongLinesAreReadInPieces) {
    TempDir dir;
    std::string longName(294, 'a');
    std::string file = dir.write(
        "colours", "1 2 3\t" + longName + "\n" + std::string(255, 'x') + "4 5 6\tsecond piece\n");
    // Each piece of 255 characters counts as a line of its own.
    EXPECT_FAILS_WITH(kro::lookupColorNameIn(file.c_str(), longName.c_str()), KRO_ERR_COLOR_NAME);
    EXPECT_EQ(kro::lookupColorNameIn(file.c_str(), std::string(249, 'a').c_str()), rgb(1, 2, 3));
    EXPECT_EQ(kro::lookupColorNameIn(file.c_str(), "second piece"), rgb(4, 5, 6));
    // A requested name longer than any line never matches and is not copied.
    std::string huge(100000, 'a');
    EXPECT_FAILS_WITH(kro::lookupColorNameIn(file.c_str(), huge.c_str()), KRO_ERR_COLOR_NAME);
}

TEST(ColourFile, EmptyMissingAndBinaryFiles) {
    TempDir dir;
    std::string empty = dir.write("empty", "");
    EXPECT_FAILS_WITH(kro::lookupColorNameIn(empty.c_str(), "red"), KRO_ERR_COLOR_NAME);
    std::string missing = (dir.path() / "missing").string();
    EXPECT_FAILS_WITH(kro::lookupColorNameIn(missing.c_str(), "red"), KRO_ERR_OPEN);
    const char bytes[] = "1 2 3\tre\0d\n\xff\xfe\x01 4 5 6\tred\n";
    std::string binary = dir.write("binary", std::string(bytes, sizeof bytes - 1));
    EXPECT_EQ(kro::lookupColorNameIn(binary.c_str(), "re"), rgb(1, 2, 3));
    EXPECT_FAILS_WITH(kro::lookupColorNameIn(binary.c_str(), "red"), KRO_ERR_COLOR_NAME);
    EXPECT_FAILS_WITH(kro::lookupColorNameIn(binary.c_str(), nullptr), KRO_ERR_COLOR_NAME);
}

TEST(ColourFile, SystemX11ListParsesAsItIs) {
    const char* x11 = "/usr/share/X11/rgb.txt";
    if (!fs::exists(x11)) GTEST_SKIP() << "no X11 colour list here";
    EXPECT_EQ(kro::lookupColorNameIn(x11, "snow"), rgb(255, 250, 250));
    EXPECT_EQ(kro::lookupColorNameIn(x11, "ghost white"), rgb(248, 248, 255));
    EXPECT_EQ(kro::lookupColorNameIn(x11, "GhostWhite"), rgb(248, 248, 255));
    EXPECT_EQ(kro::lookupColorNameIn(x11, "navy blue"), rgb(0, 0, 128));
    EXPECT_EQ(kro::lookupColorNameIn(x11, "Red"), rgb(255, 0, 0));
}

TEST(SearchPath, OrderAndResults) {
    EnvironmentGuard guard;
    TempDir a, b, cwd;
    b.write("target.txt", "b");
    std::string list = a.path().string() + ":" + b.path().string();
    char buffer[4096];
    char* filePart = nullptr;
    uint32_t n = SearchPathA(list.c_str(), "target", ".txt", sizeof buffer, buffer, &filePart);
    ASSERT_EQ(n, (b.path() / "target.txt").string().size());
    EXPECT_EQ(fs::path(buffer), b.path() / "target.txt");
    EXPECT_STREQ(filePart, "target.txt");
    // Too small a buffer: the size needed, and the buffer untouched.
    char small[8] = "keep";
    EXPECT_EQ(SearchPathA(list.c_str(), "target.txt", nullptr, sizeof small, small, nullptr),
              n + 1);
    EXPECT_STREQ(small, "keep");
    // Directories are not files.
    fs::create_directory(a.path() / "sub");
    EXPECT_EQ(SearchPathA(list.c_str(), "sub", nullptr, sizeof buffer, buffer, nullptr), 0u);

    // Without a list: the program's directory, the current one, then PATH.
    std::string self = fs::read_symlink("/proc/self/exe").string();
    std::string selfName = fs::path(self).filename().string();
    ASSERT_GT(SearchPathA(nullptr, selfName.c_str(), nullptr, sizeof buffer, buffer, nullptr), 0u);
    EXPECT_EQ(std::string(buffer), self);
    std::string name = "kro-search-" + std::to_string(getpid());
    b.write(name, "p");
    setenv("PATH", ("/nonexistent:" + b.path().string()).c_str(), 1);
    fs::current_path(cwd.path());
    ASSERT_GT(SearchPathA(nullptr, name.c_str(), nullptr, sizeof buffer, buffer, nullptr), 0u);
    EXPECT_EQ(fs::path(buffer), b.path() / name);
    cwd.write(name, "c");
    ASSERT_GT(SearchPathA(nullptr, name.c_str(), nullptr, sizeof buffer, buffer, nullptr), 0u);
    EXPECT_EQ(fs::path(buffer), fs::current_path() / name);
}

TEST(ColourLookup, MissingColourFileStillGivesACode) {
    EnvironmentGuard guard;
    TempDir empty;
    fs::current_path(empty.path());
    setenv("PATH", empty.path().c_str(), 1);
    char buffer[4096];
    if (SearchPathA(nullptr, "RGB.TXT", nullptr, sizeof buffer, buffer, nullptr) != 0)
        GTEST_SKIP() << "an RGB.TXT beside the test program";
    EXPECT_FAILS_WITH(kro::kroLookupColorName("red"), KRO_ERR_COLOR_NAME);

    empty.write("RGB.TXT", "255 0 0\tred\n");
    EXPECT_EQ(kro::kroLookupColorName("RED"), rgb(255, 0, 0));
}

}  // namespace
