// Loading a plot: text cleaning, the ignore list, the checks in their order,
// malformed samples and the real plots that hp2xx ships.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>

#include "hpgl/hpgl.h"
#include "kro/kro.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;

std::string normalized(std::string in) {
    in.push_back('\0');  // room for the NUL
    size_t n = kro::hpgl::normalizePlotText(in.data(), in.size() - 1);
    EXPECT_EQ(in[n], '\0');
    return in.substr(0, n);
}

TEST(HpglText, Normalization) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"PA10, 20", "PA10,20"},
        {"PA 10,20", "PA 10,20"},
        {"  PA", "PA"},
        {"PA  \r\n  10", "PA 10"},
        {", \r\n 1", ",1"},
        // A line break of any kind separates like a space, never joins digits.
        {"PU\r\nPD", "PU PD"},
        {"PU\rPD", "PU PD"},
        {"PU\nPD\t;", "PU PD;"},
        {"PA4000\r\n4000", "PA4000 4000"},
        {"PA4000\n\r 4000", "PA4000 4000"},
        {"\r\nIN;\r\n", "IN; "},
        {std::string("A\0B", 3), "AB"},
        {"PA1,1;\032PD5,5;", "PA1,1;"},
        {"IN;\x1B.I81;;17:PA1,1;", "IN;PA1,1;"},
        {"\x1B.N;19:\x1B.Y\x1B.ZIN;", "IN;"},
        {"IN;\x1B.I81;;17", "IN;"},
        // The job wrapper of a printer: its escapes and job-language lines go.
        {"\033E", ""},
        {"\033%-12345X@PJL JOB\r\n@PJL ENTER LANGUAGE=HPGL2\r\n\033E\033%0BIN;PA1,1;\033%0A",
         "IN;PA1,1;"},
        {"LB\033%1;", "LB\033%1;"},  // no capital within reach: kept
        {"PU\x1B.", "PU\x1B."},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(normalized(c.in), c.out) << c.in;
}

// A plot file in a fresh temporary directory, removed on scope exit.
class PlotFile {
    kt::TempDir dir_;
    std::string path_;

  public:
    // The name says nothing.
    explicit PlotFile(const std::string& text) : path_(dir_.write("plot.bmp", text)) {}
    const char* path() const { return path_.c_str(); }
};

TEST(HpglOpen, LoadsMeasuresAndChoosesPaper) {
    // 200 x 100 mm.
    PlotFile f("IN;SP1;PU0,0;\r\nPD8000,0,8000,4000;\x1A junk");
    fndErrorStatus = 12345;
    HpglDocument* doc = KroOpenHPGL(f.path(), 5, 0, nullptr);
    ASSERT_NE(doc, KRO_FAILED_PTR);
    EXPECT_STREQ(doc->text, "IN;SP1;PU0,0; PD8000,0,8000,4000;");
    EXPECT_EQ(doc->textLength, int32_t(std::strlen(doc->text) + 1));
    EXPECT_EQ(doc->path, f.path());
    EXPECT_EQ(std::tie(doc->widthMm, doc->heightMm), std::tuple(200.0, 100.0));
    EXPECT_EQ(std::tie(doc->xMin, doc->xMax, doc->yMin, doc->yMax),
              std::tuple(0.0, 8000.0, 0.0, 4000.0));
    EXPECT_EQ(std::tie(doc->scale, doc->plot), std::tuple(1.0, 5));
    EXPECT_EQ(doc->paperType, KroQueryPapertypeByLength(200, 100, 1));
    EXPECT_NE(doc->paperType, 0);
    EXPECT_EQ(doc->ignoreCount, 0);
    EXPECT_EQ(doc->ignoreCodes, nullptr);
    EXPECT_EQ(KroCloseHPGL(doc), 0);
}

TEST(HpglOpen, IgnoreList) {
    PlotFile f("IW0,0,10,10;PD100,100;");
    struct Case {
        const char* list;
        int32_t status;
        int32_t count = 0;
        double xMax = 0;
    };
    const Case cases[] = {
        {"iw", 0, 1, 100},
        {"IW,", 0, 1, 100},
        {"IW,IW", 0, 2, 100},
        {"IW,I", 0, 1, 100},
        {"IW,PU", KRO_ERR_OPTION_RANGE},
        {"PU", KRO_ERR_OPTION_RANGE},
        {"IW;", KRO_ERR_OPTION_RANGE},
        {"IWIW", KRO_ERR_OPTION_RANGE},
        {"XX", KRO_ERR_OPTION_RANGE},
        {"", KRO_ERR_OPTION_RANGE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        std::string list = c.list;
        fndErrorStatus = 0;
        HpglDocument* doc = KroOpenHPGL(f.path(), 0, 1, list.data());
        if (c.status) {
            EXPECT_EQ(doc, KRO_FAILED_PTR);
            EXPECT_EQ(fndErrorStatus, c.status);
            continue;
        }
        ASSERT_NE(doc, KRO_FAILED_PTR);
        EXPECT_EQ(doc->ignoreCount, c.count);
        EXPECT_EQ(doc->ignoreCodes[0], 701);
        EXPECT_EQ(doc->xMax, c.xMax);
        KroCloseHPGL(doc);
    }
    std::string lower = "iw";
    HpglDocument* doc = KroOpenHPGL(f.path(), 0, 1, lower.data());
    EXPECT_EQ(lower, "IW") << "the caller's list is upper-cased in place";
    KroCloseHPGL(doc);
    // Without the flag the list is not read, and the window holds.
    doc = KroOpenHPGL(f.path(), 0, 0, nullptr);
    ASSERT_NE(doc, KRO_FAILED_PTR);
    EXPECT_EQ(doc->xMax, 10);
    KroCloseHPGL(doc);
    EXPECT_EQ(KroOpenHPGL(f.path(), 0, 1, nullptr), KRO_FAILED_PTR);
    EXPECT_EQ(fndErrorStatus, KRO_ERR_OPTION_RANGE);
}

TEST(HpglOpen, ChecksInOrder) {
    struct Case {
        const char* path;
        int32_t status;
    };
    std::string bad = "xx";
    const Case cases[] = {
        {"/nonexistent/plot.hpg", KRO_ERR_HPGL_ACCESS},
        {nullptr, KRO_ERR_HPGL_ACCESS},
#ifdef _WIN32
        {"/", KRO_ERR_OPEN},  // Windows opens no directory as a file
#else
        {"/", KRO_ERR_HPGL_READ},  // a directory opens but reads nothing
#endif
    };
    for (const Case& c : cases) {
        fndErrorStatus = 0;
        EXPECT_EQ(KroOpenHPGL(c.path, 0, 0, nullptr), KRO_FAILED_PTR) << c.path;
        EXPECT_EQ(fndErrorStatus, c.status) << (c.path ? c.path : "null");
    }
    // The ignore list is checked before the file.
    EXPECT_EQ(KroOpenHPGL("/nonexistent/plot.hpg", 0, 1, bad.data()), KRO_FAILED_PTR);
    EXPECT_EQ(fndErrorStatus, KRO_ERR_OPTION_RANGE);
    EXPECT_EQ(KroCloseHPGL(nullptr), 0);
}

// Each hpgl-* sample of tests/data/bad gives its code at every plotter type
// that changes the walk.
TEST(HpglOpen, BadSamplesGiveTheirCodes) {
    const std::string dir = std::string(KRO_TEST_DATA) + "/bad/";
    const std::vector<kt::BadSample> samples = kt::badSamples("hpgl-");
    for (const kt::BadSample& bad : samples)
        for (int32_t plot : {0, 4, 5}) {
            SCOPED_TRACE(bad.name + " plot " + std::to_string(plot));
            fndErrorStatus = 0;
            HpglDocument* doc = KroOpenHPGL((dir + bad.name).c_str(), plot, 0, nullptr);
            EXPECT_EQ(fndErrorStatus == KRO_ERR_PAPER ? 0 : fndErrorStatus, bad.code);
            EXPECT_EQ(doc == KRO_FAILED_PTR, bad.code != 0);
            if (doc != KRO_FAILED_PTR) KroCloseHPGL(doc);
        }
    EXPECT_GE(samples.size(), 10u);
}

// Every plot of hp2xx's test folder loads and measures (gzipped ones are
// unpacked first).
TEST(HpglOpen, RealPlotsLoad) {
    const fs::path samples = "/usr/share/doc/hp2xx/hp-tests";
    if (!fs::is_directory(samples)) GTEST_SKIP() << samples << " missing (package hp2xx)";
    const kt::TempDir tmp;
    int loaded = 0, packed = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(samples)) {
        fs::path plot = e.path();
        if (plot.extension() == ".gz") {
            if (!kt::haveTool("gzip")) {
                ++packed;  // counted, not unpacked
                continue;
            }
            const fs::path out = tmp.path / plot.stem();
            ASSERT_EQ(kt::run("gzip -dc '" + plot.string() + "' > '" + out.string() + "'"), 0);
            plot = out;
        }
        SCOPED_TRACE(plot.string());
        for (int32_t plot_type : {0, 5, 10}) {
            fndErrorStatus = 0;
            const std::string name = plot.string();
            HpglDocument* doc = KroOpenHPGL(name.c_str(), plot_type, 0, nullptr);
            ASSERT_NE(doc, KRO_FAILED_PTR) << fndErrorStatus;
            EXPECT_LE(doc->xMin, doc->xMax);
            EXPECT_LE(doc->yMin, doc->yMax);
            KroCloseHPGL(doc);
        }
        ++loaded;
    }
    EXPECT_GE(loaded + packed, 30);
}

// kro info tells a plot by its bytes, whatever its name, and applies the job
// options after the files.
TEST(HpglCli, InfoDescribesAPlot) {
    PlotFile f("IN;SP1;PD8000,0,8000,4000;");
    const std::string out = std::string(f.path()) + ".txt";
    ASSERT_EQ(
        kt::run(std::string(KRO_CLI) + " info " + f.path() + " -dpi 100 -papertype A4V > " + out),
        0);
    const kt::Bytes text = kt::readFile(out);
    std::remove(out.c_str());
    const std::string s(text.begin(), text.end());
    EXPECT_NE(s.find("HP-GL plot"), std::string::npos) << s;
    EXPECT_NE(s.find("x 0 to 8000, y 0 to 4000 plotter units"), std::string::npos) << s;
    EXPECT_NE(s.find("200.00 x 100.00 mm"), std::string::npos) << s;
    EXPECT_NE(s.find("paper:       A4V"), std::string::npos) << s;
    EXPECT_NE(s.find("824 x 1168 dots at 100 dpi"), std::string::npos) << s;
}

}  // namespace
