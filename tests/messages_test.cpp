// Every status code of the public header has a message of its own in kro.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include "cli/messages.h"

TEST(Messages, EveryStatusCodeHasItsOwnText) {
    std::ifstream header(std::string(KRO_SOURCE_DIR) + "/include/kro/kro.h");
    std::set<std::string> texts;
    int codes = 0;
    for (std::string line; std::getline(header, line);) {
        char name[64];
        long code = 0;
        if (std::sscanf(line.c_str(), "#define KRO_ERR_%63s %ld", name, &code) != 2) continue;
        EXPECT_TRUE(kro::cli::statusKnown(int32_t(code))) << name;
        texts.insert(kro::cli::statusMessage(code));
        ++codes;
    }
    EXPECT_GE(codes, 58);
    EXPECT_EQ(texts.size(), size_t(codes)) << "two codes share a message";
    EXPECT_FALSE(kro::cli::statusKnown(0));
}
