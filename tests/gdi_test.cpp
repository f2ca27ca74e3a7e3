// The GDI stand-in: the recording device's log and accounting, the Cairo
// device's pixels, files and argument checks, and the version query.
#include "kro/gdi.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/kernel/version.h"
#include "test_util.h"

namespace {

using kt::Dc;
using kt::dump;

HDC image(int32_t w, int32_t h, uint32_t flags = 0) {
    return KroGdiCreateDevice(KRO_GDI_IMAGE, w, h, 72, nullptr, flags);
}

// Gray level of a device pixel.
int gray(HDC dc, int x, int y) {
    int32_t w, h, stride;
    const unsigned char* p = KroGdiPixels(dc, &w, &h, &stride);
    const uint32_t px = reinterpret_cast<const uint32_t*>(p + y * stride)[x];
    return int(((px >> 16) & 0xFF) + ((px >> 8) & 0xFF) + (px & 0xFF)) / 3;
}
bool ink(HDC dc, int x, int y) {
    return gray(dc, x, y) < 128;
}

// The inked columns of a row from x0 to x1 as a string of '#' and '.'.
std::string row(HDC dc, int y, int x0, int x1) {
    std::string s;
    for (int x = x0; x <= x1; ++x) s += ink(dc, x, y) ? '#' : '.';
    return s;
}

// Whether any pixel of the (2r+1)-square around (x, y) is inked.
bool inkNear(HDC dc, int x, int y, int r = 1) {
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx)
            if (ink(dc, x + dx, y + dy)) return true;
    return false;
}

HPEN userPen(std::vector<DWORD> dashes, DWORD style = PS_COSMETIC | PS_USERSTYLE, DWORD width = 1) {
    LOGBRUSH brush{BS_SOLID, 0, 0};
    return ExtCreatePen(style, width, &brush, DWORD(dashes.size()), dashes.data());
}

// Selects the pen, runs the drawing, selects the previous pen back and deletes the pen.
template <class Draw>
void withPen(HDC dc, HPEN pen, Draw draw) {
    ASSERT_NE(pen, nullptr);
    HGDIOBJ old = SelectObject(dc, pen);
    draw();
    SelectObject(dc, old);
    EXPECT_TRUE(DeleteObject(pen));
}

TEST(GdiRecorder, LogsEveryCallAndAccountsForObjects) {
    const int32_t liveBefore = KroGdiLiveObjects();
    Dc dc(KroGdiCreateRecorder(100, 100, 300));
    ASSERT_NE(dc.dc, nullptr);
    // The renderer's capture of the host's pen, then a dashed geometric pen.
    HPEN probe = CreatePen(PS_SOLID, 0, 0);
    HGDIOBJ host = SelectObject(dc, probe);
    EXPECT_EQ(host, GetStockObject(BLACK_PEN));
    EXPECT_EQ(SelectObject(dc, host), probe);
    EXPECT_TRUE(DeleteObject(probe));
    const DWORD dashes[] = {7, 3};
    LOGBRUSH brush{BS_SOLID, 0, 0};
    HPEN pen = ExtCreatePen(0x12207, 3, &brush, 2, dashes);
    EXPECT_EQ(SelectObject(dc, pen), host);
    POINT old{};
    MoveToEx(dc, 10, 10, &old);
    LineTo(dc, 21, 10);
    const POINT points[] = {{30, 10}, {30, 20}};
    PolylineTo(dc, points, 2);
    Arc(dc, 0, 0, 20, 20, 0, 0, 0, 0);
    Pie(dc, 0, 0, 20, 20, 20, 10, 10, 0);
    Rectangle(dc, 1, 2, 3, 4);
    HRGN clip = CreateRectRgn(0, 0, 50, 60);
    EXPECT_EQ(SelectClipRgn(dc, clip), SIMPLEREGION);
    DeleteObject(clip);
    EXPECT_EQ(SelectClipRgn(dc, nullptr), NULLREGION);
    EXPECT_EQ(SelectObject(dc, host), pen);
    DeleteObject(pen);

    EXPECT_EQ(dump(dc),
              "CreatePen(0, 0, 0x000000) = pen#1\n"
              "SelectObject(pen#1) = BLACK_PEN\n"
              "SelectObject(BLACK_PEN) = pen#1\n"
              "DeleteObject(pen#1)\n"
              "ExtCreatePen(0x12207, 3, {0, 0x000000}, 2, [7 3]) = pen#2\n"
              "SelectObject(pen#2) = BLACK_PEN\n"
              "MoveToEx(10, 10)\n"
              "LineTo(21, 10)\n"
              "PolylineTo((30,10) (30,20))\n"
              "Arc(0, 0, 20, 20, 0, 0, 0, 0)\n"
              "Pie(0, 0, 20, 20, 20, 10, 10, 0)\n"
              "Rectangle(1, 2, 3, 4)\n"
              "CreateRectRgn(0, 0, 50, 60) = rgn#3\n"
              "SelectClipRgn(rgn#3) = 2\n"
              "DeleteObject(rgn#3)\n"
              "SelectClipRgn(null) = 1\n"
              "SelectObject(BLACK_PEN) = pen#2\n"
              "DeleteObject(pen#2)\n");

    KroGdiRecord r;
    ASSERT_EQ(KroGdiRecordCount(dc), 18);
    ASSERT_EQ(KroGdiGetRecord(dc, 8, &r), 0);
    EXPECT_EQ(r.call, KRO_GDI_CALL_POLYLINE_TO);
    ASSERT_EQ(r.valueCount, 4);
    EXPECT_EQ(r.values[3], 20);
    ASSERT_EQ(KroGdiGetRecord(dc, 4, &r), 0);
    EXPECT_EQ(r.object, pen);
    EXPECT_EQ(std::vector<int32_t>(r.values, r.values + r.valueCount),
              (std::vector<int32_t>{7, 3}));
    EXPECT_EQ(KroGdiGetRecord(dc, 18, &r), -1);

    EXPECT_EQ(KroGdiUndeletedObjects(dc, 0), 0);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), GetStockObject(BLACK_PEN));
    EXPECT_EQ(KroGdiFaults(dc), 0);
    EXPECT_EQ(KroGdiLiveObjects(), liveBefore);
    KroGdiClearRecords(dc);
    EXPECT_EQ(KroGdiRecordCount(dc), 0);
}

TEST(GdiRecorder, CountsLeaksAndMisuse) {
    Dc dc(KroGdiCreateRecorder(10, 10, 72));
    HPEN kept = CreatePen(PS_DASH, 1, 0);
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_EQ(KroGdiUndeletedObjects(dc, OBJ_PEN), 1);
    EXPECT_EQ(KroGdiUndeletedObjects(dc, OBJ_BRUSH), 1);
    EXPECT_EQ(KroGdiUndeletedObjects(dc, 0), 2);

    struct Misuse {
        const char* what;
        bool (*run)(HDC, HPEN);
    } const cases[] = {
        {"deleting the selected pen",
         [](HDC d, HPEN p) { return SelectObject(d, p) && !DeleteObject(p); }},
        {"selecting a stale pen",
         [](HDC d, HPEN) {
             HPEN gone = CreatePen(PS_SOLID, 1, 0);
             DeleteObject(gone);
             return SelectObject(d, gone) == nullptr;
         }},
        {"deleting twice",
         [](HDC, HPEN) {
             HPEN gone = CreatePen(PS_SOLID, 1, 0);
             return DeleteObject(gone) && !DeleteObject(gone);
         }},
        {"selecting a region",
         [](HDC d, HPEN) {
             HRGN rgn = CreateRectRgn(0, 0, 1, 1);
             const bool refused = SelectObject(d, rgn) == nullptr;
             return DeleteObject(rgn) && refused;
         }},
        {"clipping to a pen", [](HDC d, HPEN p) { return SelectClipRgn(d, HRGN(p)) == ERROR; }},
        {"an unknown pen style", [](HDC, HPEN) { return CreatePen(9, 1, 0) == nullptr; }},
    };
    for (const Misuse& m : cases) {
        const int32_t before = KroGdiFaults(dc);
        EXPECT_TRUE(m.run(dc, kept)) << m.what;
        EXPECT_EQ(KroGdiFaults(dc), before + 1) << m.what;
    }
    // The refused deletion left the pen alive and selected.
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), kept);
    EXPECT_EQ(SelectObject(dc, GetStockObject(BLACK_PEN)), kept);
    EXPECT_TRUE(DeleteObject(kept));
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN)));  // kept, as GDI does
    EXPECT_NE(GetStockObject(BLACK_PEN), nullptr);
    EXPECT_EQ(KroGdiUndeletedObjects(dc, 0), 0);

    EXPECT_FALSE(LineTo(nullptr, 1, 1));
    EXPECT_EQ(KroGdiRecordCount(nullptr), -1);
    HDC gone = KroGdiCreateRecorder(1, 1, 1);
    EXPECT_TRUE(DeleteDC(gone));
    EXPECT_FALSE(DeleteDC(gone));
    EXPECT_EQ(KroGdiCreateRecorder(0, 1, 1), nullptr);
}

TEST(GdiPens, ExtCreatePenAcceptsWhatGdiAccepts) {
    const DWORD two[] = {4, 2};
    const DWORD zeros[] = {0, 0};
    const DWORD seventeen[17] = {1};
    struct Row {
        DWORD style, width;
        UINT brush;
        DWORD count;
        const DWORD* dashes;
        bool made;
    } const rows[] = {
        {0x12200, 5, BS_SOLID, 0, nullptr, true},
        {0x12207, 5, BS_SOLID, 2, two, true},
        {0x12207, 5, BS_SOLID, 2, zeros, true},  // draws solid
        {0x12207, 5, BS_SOLID, 0, nullptr, false},
        {0x12207, 5, BS_SOLID, 17, seventeen, false},
        {0x12200, 5, BS_SOLID, 2, two, false},  // dashes without PS_USERSTYLE
        {0x12200, 5, BS_NULL, 0, nullptr, true},
        {0x12200, 5, BS_HATCHED, 0, nullptr, false},
        {PS_GEOMETRIC | PS_ALTERNATE, 5, BS_SOLID, 0, nullptr, false},
        {PS_GEOMETRIC | 0x300, 5, BS_SOLID, 0, nullptr, false},  // no such end cap
        {PS_GEOMETRIC | 0x3000, 5, BS_SOLID, 0, nullptr, false},
        {0x100000, 1, BS_SOLID, 0, nullptr, false},
        {PS_COSMETIC | PS_DOT, 1, BS_SOLID, 0, nullptr, true},
        {PS_COSMETIC | PS_ALTERNATE, 1, BS_SOLID, 0, nullptr, true},
        {PS_COSMETIC | PS_USERSTYLE, 1, BS_SOLID, 2, two, true},
        {PS_COSMETIC | PS_SOLID, 2, BS_SOLID, 0, nullptr, false},
        {PS_COSMETIC | PS_INSIDEFRAME, 1, BS_SOLID, 0, nullptr, false},
    };
    for (const Row& r : rows) {
        LOGBRUSH brush{r.brush, 0, 0};
        HPEN pen = ExtCreatePen(r.style, r.width, &brush, r.count, r.dashes);
        EXPECT_EQ(pen != nullptr, r.made) << std::hex << r.style << " count " << r.count;
        if (pen) {
            EXPECT_TRUE(DeleteObject(pen));
        }
    }
    EXPECT_EQ(ExtCreatePen(0x12200, 1, nullptr, 0, nullptr), nullptr);
}

TEST(GdiVersion, ReportsNtUnlessToldOtherwise) {
    if (!kKernelStandIn) GTEST_SKIP() << "the kernel stand-in is Unix-only";
    struct Row {
        int32_t family;
        uint32_t size;
        int32_t ok;
        uint32_t platformId;
    } const rows[] = {
        {VER_PLATFORM_WIN32_NT, 148, 1, VER_PLATFORM_WIN32_NT},
        {VER_PLATFORM_WIN32_WINDOWS, 148, 1, VER_PLATFORM_WIN32_WINDOWS},
        {VER_PLATFORM_WIN32_NT, 156, 0, 99},
        {-1, 148, 0, 99},
    };
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = 148;
    ASSERT_EQ(GetVersionExA(&info), 1);
    EXPECT_EQ(info.dwPlatformId, uint32_t(VER_PLATFORM_WIN32_NT));
    for (const Row& r : rows) {
        KroKernelSetPlatform(r.family);
        info = OSVERSIONINFOA{};
        info.dwOSVersionInfoSize = r.size;
        info.dwPlatformId = 99;
        EXPECT_EQ(GetVersionExA(&info), r.ok) << r.family;
        EXPECT_EQ(info.dwPlatformId, r.platformId) << r.family;
    }
    KroKernelSetPlatform(VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(GetVersionExA(nullptr), 0);
}

TEST(GdiCairo, LinesLeaveTheirLastPixelUndrawn) {
    KRO_SKIP_WITHOUT_CAIRO();
    Dc dc(image(40, 40));
    ASSERT_NE(dc.dc, nullptr);
    MoveToEx(dc, 10, 10, nullptr);
    LineTo(dc, 20, 10);
    EXPECT_EQ(row(dc, 10, 8, 22), "..##########...");
    EXPECT_EQ(row(dc, 9, 8, 22), "...............");
    EXPECT_EQ(row(dc, 11, 8, 22), "...............");
    MoveToEx(dc, 5, 15, nullptr);
    LineTo(dc, 5, 18);  // vertical: rows 15 to 17
    EXPECT_TRUE(ink(dc, 5, 15) && ink(dc, 5, 17));
    EXPECT_FALSE(ink(dc, 5, 18) || ink(dc, 5, 14) || ink(dc, 4, 16) || ink(dc, 6, 16));
    MoveToEx(dc, 30, 30, nullptr);
    LineTo(dc, 25, 25);  // diagonal, backwards
    for (int k = 26; k <= 30; ++k) EXPECT_TRUE(ink(dc, k, k)) << k;
    EXPECT_FALSE(ink(dc, 25, 25));
    EXPECT_FALSE(ink(dc, 29, 30) || ink(dc, 30, 29));
    MoveToEx(dc, 2, 2, nullptr);
    LineTo(dc, 2, 2);  // no length, nothing drawn
    EXPECT_FALSE(ink(dc, 2, 2));

    // A polyline draws its corners and leaves only its end undrawn.
    const POINT path[] = {{10, 30}, {10, 35}, {15, 35}};
    MoveToEx(dc, 5, 30, nullptr);
    PolylineTo(dc, path, 3);
    EXPECT_EQ(row(dc, 30, 4, 11), ".######.");
    EXPECT_EQ(row(dc, 35, 9, 16), ".#####..");
    POINT at{};
    MoveToEx(dc, 0, 0, &at);
    EXPECT_EQ(at.x, 15);
    EXPECT_EQ(at.y, 35);
    EXPECT_EQ(KroGdiFaults(dc), 0);
}

TEST(GdiCairo, PenStylesDashAndWiden) {
    KRO_SKIP_WITHOUT_CAIRO();
    struct Row {
        const char* what;
        HPEN (*make)();
        const char* pixels;  // row 5, columns 0 to 29, of a line from 0 to 30
    } const rows[] = {
        {"user dashes 4,2",
         [] {
             return userPen({4, 2});
         },
         "####..####..####..####..####.."},
        {"user dashes with a zero gap",
         [] {
             return userPen({3, 0, 2, 1});
         },
         "#####.#####.#####.#####.#####."},
        {"geometric user dashes, flat",
         [] {
             return userPen({5, 5}, 0x12207, 1);
         },
         "#####.....#####.....#####....."},
        {"standard dot", [] { return CreatePen(PS_DOT, 0, 0); }, "###...###...###...###...###..."},
        {"standard dash", [] { return CreatePen(PS_DASH, 1, 0); },
         "##################......######"},
        {"standard dash-dot", [] { return CreatePen(PS_DASHDOT, 1, 0); },
         "#########......###......######"},
        {"alternate", [] { return userPen({}, PS_COSMETIC | PS_ALTERNATE); },
         "#.#.#.#.#.#.#.#.#.#.#.#.#.#.#."},
        {"null", [] { return CreatePen(PS_NULL, 1, 0); }, ".............................."},
    };
    for (const Row& r : rows) {
        Dc dc(image(32, 12));
        withPen(dc, r.make(), [&] {
            MoveToEx(dc, 0, 5, nullptr);
            LineTo(dc, 30, 5);
        });
        EXPECT_EQ(row(dc, 5, 0, 29), r.pixels) << r.what;
    }

    // Wide pens: flat ends stop at the ends, round ends (CreatePen's) go past them.
    Dc dc(image(40, 40));
    withPen(dc, userPen({}, 0x12200, 5), [&] {
        MoveToEx(dc, 10, 10, nullptr);
        LineTo(dc, 30, 10);
    });
    for (int y = 7; y <= 13; ++y)
        EXPECT_EQ(row(dc, y, 8, 31),
                  y >= 8 && y <= 12 ? "..####################.." : std::string(24, '.'))
            << y;
    withPen(dc, CreatePen(PS_SOLID, 5, 0), [&] {
        MoveToEx(dc, 10, 30, nullptr);
        LineTo(dc, 30, 30);
    });
    EXPECT_TRUE(ink(dc, 8, 30) && ink(dc, 30, 30));
    EXPECT_FALSE(ink(dc, 10, 27) || ink(dc, 10, 33));
}

TEST(GdiCairo, WidePensJoinAsTheirStyleSays) {
    KRO_SKIP_WITHOUT_CAIRO();
    // Width 8 from (5,20) right to (20,20), then up: the outer corner is below right.
    struct Row {
        DWORD join;
        bool corner, nearCorner;  // pixels (23,23) and (23,22)
    } const rows[] = {
        {PS_JOIN_MITER, true, true},
        {PS_JOIN_ROUND, false, true},
        {PS_JOIN_BEVEL, false, false},
    };
    for (const Row& r : rows) {
        Dc dc(image(40, 40));
        withPen(dc, userPen({}, PS_GEOMETRIC | PS_ENDCAP_FLAT | r.join, 8), [&] {
            const POINT path[] = {{20, 20}, {20, 5}};
            MoveToEx(dc, 5, 20, nullptr);
            PolylineTo(dc, path, 2);
        });
        EXPECT_EQ(ink(dc, 23, 23), r.corner) << r.join;
        EXPECT_EQ(ink(dc, 23, 22), r.nearCorner) << r.join;
        EXPECT_TRUE(ink(dc, 20, 20) && ink(dc, 20, 6) && ink(dc, 5, 20)) << r.join;
        EXPECT_FALSE(ink(dc, 20, 4) || ink(dc, 4, 20)) << r.join;  // flat ends
    }
}

TEST(GdiCairo, RectanglesFillWithTheBrushAndOutlineWithThePen) {
    KRO_SKIP_WITHOUT_CAIRO();
    Dc dc(image(40, 40));
    HGDIOBJ white = SelectObject(dc, GetStockObject(DKGRAY_BRUSH));
    Rectangle(dc, 0, 0, 40, 40);
    SelectObject(dc, white);        // the device's own brush
    Rectangle(dc, 20, 20, 10, 10);  // sides in any order
    // '#' black pen, '.' white inside, '+' the dark gray around it
    auto shades = [&](int y) {
        std::string s;
        for (int x = 8; x <= 21; ++x)
            s += gray(dc, x, y) < 32 ? '#' : gray(dc, x, y) < 160 ? '+' : '.';
        return s;
    };
    EXPECT_EQ(shades(10), "++##########++");
    EXPECT_EQ(shades(15), "++#........#++");
    EXPECT_EQ(shades(19), "++##########++");
    EXPECT_EQ(shades(20), "++++++++++++++");

    // Without a pen the fill ends one pixel short, as under GDI.
    Dc bare(image(20, 20));
    SelectObject(bare, GetStockObject(NULL_PEN));
    SelectObject(bare, GetStockObject(BLACK_BRUSH));
    Rectangle(bare, 2, 2, 8, 8);
    EXPECT_EQ(row(bare, 4, 0, 9), "..#####...");
    EXPECT_FALSE(ink(bare, 4, 7));
    // A hollow brush leaves the inside alone.
    SelectObject(bare, GetStockObject(BLACK_PEN));
    SelectObject(bare, GetStockObject(NULL_BRUSH));
    Rectangle(bare, 10, 10, 16, 16);
    EXPECT_EQ(row(bare, 12, 9, 16), ".#....#.");
}

TEST(GdiCairo, ClipRectanglesLimitDrawing) {
    KRO_SKIP_WITHOUT_CAIRO();
    Dc dc(image(40, 40));
    HRGN region = CreateRectRgn(15, 0, 0, 40);
    EXPECT_EQ(SelectClipRgn(dc, region), SIMPLEREGION);
    EXPECT_TRUE(DeleteObject(region));  // the device keeps its copy
    MoveToEx(dc, 5, 20, nullptr);
    LineTo(dc, 35, 20);
    EXPECT_EQ(row(dc, 20, 3, 17), "..##########...");
    HRGN empty = CreateRectRgn(5, 5, 5, 9);
    EXPECT_EQ(SelectClipRgn(dc, empty), NULLREGION);
    DeleteObject(empty);
    MoveToEx(dc, 0, 25, nullptr);
    LineTo(dc, 39, 25);
    EXPECT_EQ(row(dc, 25, 0, 39), std::string(40, '.'));
    EXPECT_EQ(SelectClipRgn(dc, nullptr), NULLREGION);
    MoveToEx(dc, 5, 30, nullptr);
    LineTo(dc, 35, 30);
    EXPECT_EQ(row(dc, 30, 3, 37), ".." + std::string(30, '#') + "...");
}

TEST(GdiCairo, ArcsRunCounterClockwiseOnThePage) {
    KRO_SKIP_WITHOUT_CAIRO();
    // Box 0..41, centre (20, 20), radius 20: start at the right, end at the top.
    struct Row {
        POINT start, end;
        bool upperRight, upperLeft, lowerRight;
    } const rows[] = {
        {{40, 20}, {20, 0}, true, false, false},
        {{20, 0}, {40, 20}, false, true, true},
        {{40, 20}, {40, 20}, true, true, true},  // the whole ellipse
        {{0, 0}, {0, 0}, true, true, true},
    };
    const int d = 14;  // 20 / sqrt(2)
    for (const Row& r : rows) {
        Dc dc(image(44, 44));
        Arc(dc, 0, 0, 41, 41, r.start.x, r.start.y, r.end.x, r.end.y);
        EXPECT_EQ(inkNear(dc, 20 + d, 20 - d), r.upperRight) << r.start.x << "," << r.start.y;
        EXPECT_EQ(inkNear(dc, 20 - d, 20 - d), r.upperLeft) << r.start.x << "," << r.start.y;
        EXPECT_EQ(inkNear(dc, 20 + d, 20 + d), r.lowerRight) << r.start.x << "," << r.start.y;
        EXPECT_FALSE(ink(dc, 20, 20));
    }
    // A pie is filled with the brush: black here, white by default.
    for (bool black : {true, false}) {
        Dc dc(image(44, 44));
        if (black) SelectObject(dc, GetStockObject(BLACK_BRUSH));
        Pie(dc, 0, 0, 41, 41, 40, 20, 20, 0);
        EXPECT_EQ(ink(dc, 26, 14), black);
        EXPECT_FALSE(ink(dc, 14, 26));
        EXPECT_TRUE(inkNear(dc, 30, 20, 0) && inkNear(dc, 20, 10, 0));  // the two radii
    }
}

TEST(GdiCairo, FarCoordinatesDoNotWrap) {
    KRO_SKIP_WITHOUT_CAIRO();
    for (uint32_t flags : {0u, uint32_t(KRO_GDI_ANTIALIAS)}) {  // direct strokes and Cairo's
        Dc dc(image(40, 40, flags));
        MoveToEx(dc, -2000000000, 20, nullptr);
        LineTo(dc, 2000000000, 20);
        EXPECT_EQ(row(dc, 20, 0, 39), std::string(40, '#')) << flags;
        const POINT steep[] = {{20, -2000000000}, {20, 2000000000}};
        MoveToEx(dc, 20, 2000000000, nullptr);
        PolylineTo(dc, steep, 2);
        EXPECT_TRUE(ink(dc, 20, 5) && ink(dc, 20, 35)) << flags;
        EXPECT_FALSE(ink(dc, 10, 5) || ink(dc, 30, 35)) << flags;
        // A dashed line keeps its pattern where it crosses the page.
        withPen(dc, userPen({4, 2}), [&] {
            MoveToEx(dc, -2000000000, 10, nullptr);
            LineTo(dc, 2000000000, 10);
        });
        const std::string dashes = row(dc, 10, 0, 39);
        EXPECT_EQ(dashes.substr(0, 14), dashes.substr(6, 14)) << dashes;  // column 20 is inked
        EXPECT_NE(dashes.find("####"), std::string::npos) << dashes;
        EXPECT_NE(dashes.find(".."), std::string::npos) << dashes;
        // A circle of radius 2e9 whose edge passes through column 30.
        SelectObject(dc, GetStockObject(BLACK_BRUSH));
        Pie(dc, 30, -2000000000, 2000000030, 2000000000, 0, 0, 0, 0);
        EXPECT_TRUE(ink(dc, 32, 15) && ink(dc, 39, 30)) << flags;
        EXPECT_FALSE(ink(dc, 27, 15)) << flags;
        Rectangle(dc, -2000000000, -2000000000, 5, 5);
        EXPECT_TRUE(ink(dc, 0, 0) && ink(dc, 4, 4)) << flags;
        EXPECT_FALSE(ink(dc, 6, 6)) << flags;
        EXPECT_EQ(KroGdiFaults(dc), 0) << flags;
    }
}

TEST(GdiCairo, RowsAtEachDepthAndPng) {
    KRO_SKIP_WITHOUT_CAIRO();
    Dc dc(image(10, 3));
    MoveToEx(dc, 0, 1, nullptr);
    LineTo(dc, 9, 1);
    std::vector<unsigned char> rgb(3 * 10 * 3), gray8(10 * 3), bits(2 * 3, 0xAA);
    ASSERT_EQ(KroGdiReadRows(dc, 24, rgb.data(), 30), 0);
    ASSERT_EQ(KroGdiReadRows(dc, 8, gray8.data(), 10), 0);
    ASSERT_EQ(KroGdiReadRows(dc, 1, bits.data(), 2), 0);
    EXPECT_EQ(rgb[0], 255);
    EXPECT_EQ(rgb[30], 0);
    EXPECT_EQ(rgb[30 + 27], 255);
    EXPECT_EQ(gray8[10 + 8], 0);
    EXPECT_EQ(gray8[10 + 9], 255);
    EXPECT_EQ((std::vector<unsigned char>{bits[0], bits[1], bits[2], bits[3]}),
              (std::vector<unsigned char>{0x00, 0x00, 0xFF, 0x80}));
    EXPECT_EQ(KroGdiReadRows(dc, 1, bits.data(), 1), -1);
    EXPECT_EQ(KroGdiReadRows(dc, 4, gray8.data(), 10), -1);
    EXPECT_EQ(KroGdiReadRows(dc, 8, nullptr, 10), -1);

    const kt::TempDir dir;
    const std::string png = dir.at("rows.png");
    ASSERT_EQ(KroGdiWritePNG(dc, png.c_str()), 0);
    const kt::Bytes bytes = kt::readFile(png);
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 4), "PNG");
    EXPECT_EQ(KroGdiWritePNG(dc, "/nonexistent/dir/x.png"), -1);
}

TEST(GdiCairo, PngAtEachDepth) {
    KRO_SKIP_WITHOUT_CAIRO();
    Dc dc(KroGdiCreateDevice(KRO_GDI_IMAGE, 10, 3, 254, nullptr, 0));
    MoveToEx(dc, 0, 1, nullptr);
    LineTo(dc, 9, 1);
    const kt::TempDir dir;
    const std::string png = dir.at("depth.png");
    struct Row {
        int32_t depth, level;
        uint8_t bitDepth, colourType;
    } const rows[] = {{1, 1, 1, 0}, {8, -1, 8, 0}, {24, 9, 8, 2}};
    for (const Row& r : rows) {
        ASSERT_EQ(KroGdiWritePNGDepth(dc, png.c_str(), r.depth, r.level), 0) << r.depth;
        const kt::Bytes bytes = kt::readFile(png);
        ASSERT_GT(bytes.size(), 33u);
        EXPECT_EQ(bytes[24], r.bitDepth) << r.depth;  // IHDR
        EXPECT_EQ(bytes[25], r.colourType) << r.depth;
        const std::string text(bytes.begin(), bytes.end());
        const size_t phys = text.find("pHYs");
        ASSERT_NE(phys, std::string::npos);
        EXPECT_EQ(bytes[phys + 7], 10000 % 256) << r.depth;  // 254 dpi: 10000 per metre
    }
    // Read back by netpbm: the bilevel page as a plain PBM.
    if (kt::haveTool("pngtopnm")) {
        ASSERT_EQ(KroGdiWritePNGDepth(dc, png.c_str(), 1, 6), 0);
        const std::string pbm = png + ".pbm";
        ASSERT_EQ(kt::run("pngtopnm -plain " + png + " > " + pbm), 0);
        const kt::Bytes bytes = kt::readFile(pbm);
        std::string bits;
        for (unsigned char b : std::string(bytes.begin(), bytes.end()).substr(6))
            if (b == '0' || b == '1') bits += char(b);
        EXPECT_EQ(bits,
                  "0000000000"
                  "1111111110"
                  "0000000000");
    }
    EXPECT_EQ(KroGdiWritePNGDepth(dc, png.c_str(), 4, 6), -1);
    EXPECT_EQ(KroGdiWritePNGDepth(dc, png.c_str(), 8, 10), -1);
    EXPECT_EQ(KroGdiWritePNGDepth(dc, "/nonexistent/dir/x.png", 8, 6), -1);
    Dc recorder(KroGdiCreateRecorder(10, 10, 72));
    EXPECT_EQ(KroGdiWritePNGDepth(recorder, png.c_str(), 8, 6), -1);
    int32_t w = 0, h = 0, res = 0;
    EXPECT_EQ(KroGdiGetSize(recorder, &w, &h, &res), 0);
    EXPECT_EQ(w * 10000 + h * 100 + res, 10 * 10000 + 10 * 100 + 72);
}

TEST(GdiCairo, AntialiasingIsAChoice) {
    KRO_SKIP_WITHOUT_CAIRO();
    for (uint32_t flags : {0u, uint32_t(KRO_GDI_ANTIALIAS)}) {
        Dc dc(image(30, 30, flags));
        MoveToEx(dc, 0, 3, nullptr);
        LineTo(dc, 29, 20);
        int between = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 30; ++x) between += gray(dc, x, y) > 0 && gray(dc, x, y) < 255;
        EXPECT_EQ(between > 0, flags != 0) << flags;
    }
}

TEST(GdiCairo, PdfAndSvgFilesAreWritten) {
    KRO_SKIP_WITHOUT_CAIRO();
    struct Row {
        int32_t kind;
        const char* name;
        const char* mark;
    } const rows[] = {{KRO_GDI_PDF, "gdi.pdf", "%PDF"}, {KRO_GDI_SVG, "gdi.svg", "<svg"}};
    const kt::TempDir dir;
    for (const Row& r : rows) {
        const std::string path = dir.at(r.name);
        HDC dc = KroGdiCreateDevice(r.kind, 850, 1100, 100, path.c_str(), KRO_GDI_ANTIALIAS);
        ASSERT_NE(dc, nullptr) << r.name;
        HPEN pen = userPen({20, 10}, 0x12207, 3);
        HGDIOBJ host = SelectObject(dc, pen);
        MoveToEx(dc, 100, 100, nullptr);
        LineTo(dc, 700, 900);
        Arc(dc, 200, 200, 400, 400, 0, 0, 0, 0);
        Rectangle(dc, 500, 100, 700, 300);
        SelectObject(dc, host);
        DeleteObject(pen);
        EXPECT_EQ(KroGdiFinish(dc), 0);
        EXPECT_FALSE(LineTo(dc, 1, 1));  // finished: no more drawing
        EXPECT_EQ(KroGdiPixels(dc, nullptr, nullptr, nullptr), nullptr);
        EXPECT_TRUE(DeleteDC(dc));
        const kt::Bytes bytes = kt::readFile(path);
        const std::string text(bytes.begin(), bytes.end());
        EXPECT_NE(text.find(r.mark), std::string::npos) << r.name;
        EXPECT_GT(bytes.size(), 200u) << r.name;
    }
    EXPECT_EQ(KroGdiCreateDevice(KRO_GDI_PDF, 10, 10, 72, "/nonexistent/dir/x.pdf", 0), nullptr);
    EXPECT_EQ(KroGdiCreateDevice(KRO_GDI_SVG, 10, 10, 72, nullptr, 0), nullptr);
    EXPECT_EQ(KroGdiCreateDevice(KRO_GDI_IMAGE, 32768, 10, 72, nullptr, 0), nullptr);
    EXPECT_EQ(KroGdiCreateDevice(KRO_GDI_IMAGE, 10, 10, 0, nullptr, 0), nullptr);
    EXPECT_EQ(KroGdiCreateDevice(7, 10, 10, 72, nullptr, 0), nullptr);
}

}  // namespace
