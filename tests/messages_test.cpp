// Every status code of the public header has a message of its own in kro.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "cli/messages.h"

TEST(Messages, EveryStatusCodeHasItsOwnText) {
    std::ifstream header(std::string(KRO_SOURCE_DIR) + "/include/kro/kro.h");
    const std::regex define(R"(#define (KRO_ERR_\w+) +(\d+))");
    std::set<std::string> texts;
    int codes = 0;
    for (std::string line; std::getline(header, line);) {
        std::smatch m;
        if (!std::regex_search(line, m, define)) continue;
        const int32_t code = int32_t(std::stol(m[2]));
        EXPECT_TRUE(kro::cli::statusKnown(code)) << m[1];
        texts.insert(kro::cli::statusMessage(code));
        ++codes;
    }
    EXPECT_GE(codes, 58);
    EXPECT_EQ(texts.size(), size_t(codes)) << "two codes share a message";
    EXPECT_FALSE(kro::cli::statusKnown(0));
}
