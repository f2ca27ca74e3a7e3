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

// Restores the current directory and PATH.
struct EnvironmentGuard {
    fs::path cwd = fs::current_path();
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    ~EnvironmentGuard() {
        fs::current_path(cwd);
        setenv("PATH", path.c_str(), 1);
    }
};

// Each row adds lines to one colour file and looks a name up in the whole file.
TEST(ColourFile, LinesAndNames) {
    const struct {
        std::string lines, name;
        int32_t colour;  // -1: not found
    } cases[] = {
        {"! a comment\n255 250 250\tpale\n", "PALE", 0xFFFAFA},  // in any case
        {"0 0 1\tPale\n", "pale", 0xFFFAFA},                     // the first of two lines wins
        {"248 248 255\t\tpale blue\n", "pale blue", 0xF8F8FF},
        {"1 2\tshort\n", "short", -1},  // three words at most: no name
        {"x y z\tletters\n", "letters", -1},
        {"10\t20\t30\ttabbed\n", "tabbed", 0x0A141E},
        {"5 6 7  spaced\n", " spaced", 0x050607},  // the spaces after the first belong to the name
        {"300 0 0\tbig\n", "big", 300 << 16},      // components are not masked
        {"-1 -1 -1\tall ones\n", "all ones", -1},  // the failure value cannot be a colour
        {"9 9 9\tcrlf\r\n\n", "crlf", 0x090909},   // the CR goes; a blank line is skipped
        {"1 2 3\tname\tafter\n", "name", 0x010203},  // a tab ends the name
        // Long lines are read in pieces of 255 characters, each a line of its own.
        {"4 5 6\t" + std::string(294, 'a') + "\n", std::string(249, 'a'), 0x040506},
        {std::string(255, 'x') + "7 7 7\tsecond piece\n", "second piece", 0x070707},
        {std::string("8 8 8\tre\0d\n", 11), "re", 0x080808},  // a NUL ends the name
        {"", std::string(100000, 'a'), -1},                   // longer than any line: not copied
        {"9 8 7\tlast", "last", 0x090807},                    // no final newline
    };
    std::string text;
    for (const auto& c : cases) text += c.lines;
    kt::TempDir dir;
    std::string file = dir.write("colours", text);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.substr(0, 20));
        fndErrorStatus = 0;
        EXPECT_EQ(kro::lookupColorNameIn(file.c_str(), c.name.c_str()), c.colour);
        EXPECT_EQ(fndErrorStatus, c.colour == -1 ? KRO_ERR_COLOR_NAME : 0);
    }
    EXPECT_FAILS_WITH(kro::lookupColorNameIn(file.c_str(), nullptr), KRO_ERR_COLOR_NAME);
    EXPECT_FAILS_WITH(kro::lookupColorNameIn((dir.path / "missing").string().c_str(), "red"),
                      KRO_ERR_OPEN);
}

// Without a directory list the search takes the program's directory, the
// current one, then PATH; the colour file is found the same way.
TEST(SearchPath, FindsFilesAndTheColourFile) {
    kt::TempDir onPath, cwd;
    EnvironmentGuard guard;  // back in the old directory before the new ones go
    char buffer[4096];
    auto find = [&](const std::string& name) {
        return SearchPathA(nullptr, name.c_str(), nullptr, sizeof buffer, buffer, nullptr) > 0
                   ? fs::path(buffer)
                   : fs::path();
    };
#ifdef _WIN32
    char selfName[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, selfName, sizeof selfName), 0u);
    fs::path self = selfName;
    const char* pathSeparator = ";";
#else
    fs::path self = fs::read_symlink("/proc/self/exe");
    const char* pathSeparator = ":";
#endif
    EXPECT_EQ(find(self.filename().string()), self);
    std::string name = "kro-search-" + std::to_string(getpid());
    onPath.write(name, "p");
    if (kKernelStandIn)  // the stand-in's rule; Windows' own finds folders too
        fs::create_directory(cwd.path / name);  // directories are not files
    setenv("PATH", ("/nonexistent" + std::string(pathSeparator) + onPath.path.string()).c_str(), 1);
    fs::current_path(cwd.path);
    EXPECT_EQ(find(name), onPath.path / name);
    fs::remove(cwd.path / name);
    fs::path here = fs::current_path() / name;
    cwd.write(name, "c");
    EXPECT_EQ(find(name), here);
    // A buffer without room for the terminator: the size needed, and the buffer untouched.
    uint32_t need = uint32_t(here.string().size() + 1);
    buffer[0] = '\0';
    EXPECT_EQ(SearchPathA(nullptr, name.c_str(), nullptr, need - 1, buffer, nullptr), need);
    EXPECT_STREQ(buffer, "");

    if (!find("RGB.TXT").empty()) GTEST_SKIP() << "an RGB.TXT beside the test program";
    // No colour file anywhere: a name still fails with a code.
    int32_t colour = 7;
    EXPECT_EQ(kro::colourByName("red", &colour), KRO_ERR_COLOR_NAME);
    EXPECT_EQ(colour, 7);
    onPath.write("RGB.TXT", "255 0 0\tred\n248 248 255\t\tghost white\n");
    std::string option = "-color", value = "Ghost White";
    char* argv[] = {option.data(), value.data()};
    int32_t argc = 2;
    kroOption = KroOption{};
    ASSERT_EQ(KroGetOption(&argc, argv), 0);
    EXPECT_EQ(kroOption.color.value, 0xF8F8FF);
}

}  // namespace
