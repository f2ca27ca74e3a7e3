// Two plots loaded and drawn on two image devices from two threads at once
// come out as each does alone: the walkers keep their state per call and the
// device table is locked.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "kro/gdi.h"
#include "kro/kro.h"

namespace {

// Each plot sets its line type before its first pen and fills its polygon
// and label before replaying them, so what the other thread's drawing hands
// on (pen style, polygon, label) does not change it.
const char* const kPlots[2] = {
    "IN;LT;SP1;PA0,0;PD4000,0,4000,3000,0,3000,0,0;LT2,2;SP2;PU2000,1500;CI800;PU1000,1000;"
    "PD3000,2500;SI0.3,0.4;PU500,2500;LBHello\x03PM0;PA500,500;PD1500,500,1500,1500;PM2;EP;"
    "PU3000,800;EW600,30,120;",
    "IN;IP0,0,8000,6000;SC0,100,0,100;LT-3,5;SP3;PA10,10;PD90,10,90,90,10,90,10,10;LT0;SP4;"
    "PD50,50,60,60;LT;SP5;PU50,50;AA50,30,180;ER10,10;DI0,1;LBVertical\x03IW0,0,50,50;PA0,0;"
    "PD100,100;",
};
const float kPens[8] = {0.25f, 0.5f, 0.35f, 1.0f, 0.7f, 0.3f, 0.2f, 0.1f};
constexpr int32_t kWidth = 320, kHeight = 240;

// Loads the plot and draws it fitted onto a new page; its RGB rows, or none
// when a step failed.
std::vector<unsigned char> loadAndDraw(const std::string& path) {
    HpglDocument* doc = KroOpenHPGL(path.c_str(), 0, 0, nullptr);
    if (doc == KRO_FAILED_PTR) return {};
    std::vector<unsigned char> rows;
    HDC page = KroGdiCreateDevice(KRO_GDI_IMAGE, kWidth, kHeight, 100, nullptr, 0);
    if (page && KroDisplayHPGL(doc, kWidth, kHeight, page, kPens, 0, 0x10401, 0.0f, 100, 0) == 0) {
        rows.resize(size_t(kWidth) * 3 * size_t(kHeight));
        if (KroGdiReadRows(page, 24, rows.data(), size_t(kWidth) * 3) != 0) rows.clear();
    }
    if (page) DeleteDC(page);
    KroCloseHPGL(doc);
    return rows;
}

TEST(HpglThreads, TwoPlotsOnTwoThreadsDrawAsAlone) {
    const std::filesystem::path work =
        std::filesystem::temp_directory_path() / ("kro-threads-" + std::to_string(getpid()));
    std::filesystem::create_directories(work);
    std::string paths[2];
    std::vector<unsigned char> alone[2];
    for (int i = 0; i < 2; ++i) {
        paths[i] = (work / ("plot" + std::to_string(i) + ".hpgl")).string();
        FILE* f = std::fopen(paths[i].c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(kPlots[i], f);
        std::fclose(f);
        alone[i] = loadAndDraw(paths[i]);
        ASSERT_FALSE(alone[i].empty());
    }
    ASSERT_NE(alone[0], alone[1]);

    constexpr int kRounds = 200;
    int differing[2] = {0, 0};  // each written by its own thread only
    std::thread threads[2];
    for (int i = 0; i < 2; ++i)
        threads[i] = std::thread([&, i] {
            for (int round = 0; round < kRounds; ++round)
                if (loadAndDraw(paths[i]) != alone[i]) ++differing[i];
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(differing[0], 0);
    EXPECT_EQ(differing[1], 0);
    EXPECT_EQ(KroGdiLiveObjects(), 0);
    std::filesystem::remove_all(work);
}

}  // namespace
