// The malformed option files, argument vectors, colour files, description
// strings and raw Group 4 streams of data/bad: each gives the code its line in
// data/bad/README.md names (0: it must load).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "ids/description.h"
#include "kro/pixo.h"
#include "options/options.h"
#include "test_util.h"

namespace {

const std::string kBad = std::string(KRO_TEST_DATA) + "/bad/";

// Runs read on every sample whose name starts with prefix; read gives the
// status code (0 for success). The samples must be there.
void eachSample(const std::string& prefix, const std::function<int32_t(const kt::Bytes&)>& read) {
    std::ifstream list(kBad + "README.md");
    int seen = 0;
    for (std::string line; std::getline(list, line);) {
        if (line.rfind("- " + prefix, 0) != 0) continue;  // "- name: code — reason"
        const std::string name = line.substr(2, line.find(':') - 2);
        const int32_t code = std::atoi(line.c_str() + line.find(':') + 1);
        fndErrorStatus = 0;
        EXPECT_EQ(read(kt::readFile(kBad + name)), code) << name;
        ++seen;
    }
    EXPECT_GE(seen, 4) << prefix;
}

TEST(MalformedInput, OptionFiles) {
    eachSample("optfile-", [](const kt::Bytes& b) {
        kt::TempFile f(b);
        char* path = kro::kroReadOptionFile(f.get());
        if (!path) return fndErrorStatus;
        EXPECT_NE(path, KRO_FAILED_PTR);
        if (path != KRO_FAILED_PTR) std::free(path);
        return 0;
    });
}

TEST(MalformedInput, ArgumentVectors) {
    eachSample("options-", [](const kt::Bytes& b) {
        std::string text(b.begin(), b.end());
        std::vector<char*> argv;
        size_t start = 0;
        for (size_t i = 0; i <= text.size(); ++i) {
            if (i < text.size() && text[i] != '\0' && text[i] != '\n') continue;
            if (i < text.size()) text[i] = '\0';
            argv.push_back(text.data() + start);
            start = i + 1;
        }
        int32_t argc = int32_t(argv.size());
        argv.push_back(nullptr);
        kroInitOption();
        const int32_t rc = KroGetOption(&argc, argv.data());
        kroInitOption();  // the text options point into text
        EXPECT_EQ(rc == 0, fndErrorStatus == 0);
        return fndErrorStatus;
    });
}

TEST(MalformedInput, ColourFiles) {
    eachSample("colour-", [](const kt::Bytes& b) {
        const std::string text(b.begin(), b.end());
        const size_t cut = text.find('\n');
        char path[] = "/tmp/kro-colours-XXXXXX";
        const int fd = mkstemp(path);
        EXPECT_GE(fd, 0);
        close(fd);
        kt::writeFile(path, kt::Bytes(b.begin() + long(cut) + 1, b.end()));
        const int32_t colour = kro::lookupColorNameIn(path, text.substr(0, cut).c_str());
        unlink(path);
        return colour == -1 ? fndErrorStatus : 0;
    });
}

TEST(MalformedInput, DescriptionStrings) {
    eachSample("desc-", [](const kt::Bytes& b) {
        const std::string text(b.begin(), b.end());
        int32_t first, second;
        return kro::ReadImageDescriptionString(text.c_str(), &first, &second) == -1
                   ? fndErrorStatus
                   : 0;
    });
}

TEST(MalformedInput, RawGroup4) {
    eachSample("g4-", [](const kt::Bytes& b) {
        EXPECT_GT(b.size(), 5u);
        const int32_t pels = (b[0] | b[1] << 8) + 1, lines = (b[2] | b[3] << 8) + 1, left = b[4];
        kt::Bytes stream(b.begin() + 5, b.end());
        RsImage coded{};
        coded.size = int32_t(stream.size());
        coded.format = KRO_FORMAT_G4;
        coded.data = stream.data();
        kt::Image picture((left + pels + 7) / 8 * 8, lines, 1);
        int32_t status = -1;
        GfxDecd(&coded, coded.size, &picture.im, left, 0, pels, lines, &status);
        return status;
    });
}

}  // namespace
