/* A Windows host of kro.dll, as a host built for the original loads it: by
 * name at run time, with GetProcAddress, the records read at the byte offsets
 * of the Win32 layout, FILE* streams of its own C runtime handed to the
 * library, and a plot drawn by GDI32 on a memory DC.
 * Usage: host_win KRO_DEF BMP_1BIT WORK_FOLDER */
#define WIN32_LEAN_AND_MEAN
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "kro/kro.h"

static int failures = 0;

#define CHECK(cond)                                                          \
    do {                                                                     \
        if (!(cond)) {                                                       \
            fprintf(stderr, "host_win.c:%d: failed: %s\n", __LINE__, #cond); \
            ++failures;                                                      \
        }                                                                    \
    } while (0)

typedef int32_t (*GetOptionFn)(int32_t*, char**);
typedef void (*InitOptionFn)(void);
typedef int32_t (*BmpReadFn)(FILE*, RsImage*, int32_t*, int32_t*, unsigned char*);
typedef int32_t (*CalsWriteFn)(FILE*, const CalsHeader*, const RsImage*);
typedef int32_t (*CalsHeadFn)(FILE*, CalsHeader*);
typedef int32_t (*CalsReadFn)(FILE*, const CalsHeader*, RsImage*);
typedef HpglDocument* (*OpenHpglFn)(const char*, int32_t, int32_t, char*);
typedef int32_t (*CloseHpglFn)(HpglDocument*);
typedef int32_t (*DisplayHpglFn)(HpglDocument*, int32_t, int32_t, HDC, const float*, int32_t,
                                 int32_t, float, int32_t, int32_t);

/* An exported variable's address (GetProcAddress types every export as code). */
static void* needData(HMODULE dll, const char* name) {
    FARPROC p = GetProcAddress(dll, name);
    void* data = NULL;
    if (!p) {
        fprintf(stderr, "host_win: %s not exported\n", name);
        ++failures;
        return NULL;
    }
    memcpy(&data, &p, sizeof data);
    return data;
}

static FARPROC need(HMODULE dll, const char* name) {
    FARPROC p = GetProcAddress(dll, name);
    if (!p) {
        fprintf(stderr, "host_win: %s not exported\n", name);
        ++failures;
    }
    return p;
}

/* Every name under EXPORTS of the module-definition file resolves. */
static int resolveAll(HMODULE dll, const char* defPath) {
    FILE* def = fopen(defPath, "r");
    char line[256];
    int inExports = 0, count = 0;
    CHECK(def != NULL);
    if (!def) return 0;
    while (fgets(line, sizeof line, def)) {
        char name[128];
        char* semi = strchr(line, ';');
        if (semi) *semi = '\0';
        if (sscanf(line, "%127s", name) != 1) continue;
        if (!strcmp(name, "EXPORTS")) {
            inExports = 1;
            continue;
        }
        if (!inExports) continue;
        need(dll, name);
        ++count;
    }
    fclose(def);
    return count;
}

static int32_t readInt32(const void* base, size_t offset) {
    int32_t v;
    memcpy(&v, (const char*)base + offset, 4);
    return v;
}

static double readDouble(const void* base, size_t offset) {
    double v;
    memcpy(&v, (const char*)base + offset, 8);
    return v;
}

static int bit(const RsImage* im, int x, int y) {
    return (im->data[(size_t)y * (size_t)(im->width / 8) + (size_t)(x / 8)] >> (7 - x % 8)) & 1;
}

/* The options land in kroOption at the Win32 offsets, a refusal in fndErrorStatus. */
static void options(HMODULE kro, HMODULE fnd) {
    InitOptionFn init = (InitOptionFn)(void (*)(void))need(kro, "kroInitOption");
    GetOptionFn getOption = (GetOptionFn)(void (*)(void))need(kro, "KroGetOption");
    const unsigned char* opt = (const unsigned char*)needData(kro, "kroOption");
    const int32_t* status = (const int32_t*)needData(fnd, "fndErrorStatus");
    char* argv[] = {"host", "-dpi", "300", "-scale", "2.5", "in.bmp", NULL};
    char* bad[] = {"host", "-dpi", "-7", NULL};
    int32_t argc = 6, badc = 3;
    if (!init || !getOption || !opt || !status) return;
    init();
    CHECK(getOption(&argc, argv) == 0);
    CHECK(argc == 2 && !strcmp(argv[1], "in.bmp"));
    CHECK(readInt32(opt, 64) == 1 && readInt32(opt, 68) == 300);  /* dpi: given, value */
    CHECK(readInt32(opt, 80) == 1 && readDouble(opt, 88) == 2.5); /* scale: double on 8 */
    init();
    CHECK(getOption(&badc, bad) == -1);
    CHECK(*status == KRO_ERR_OPTION_RANGE || *status == KRO_ERR_RESOLUTION);
}

/* BMP in, CALS out and back, through streams this program opened. */
static void bmpToCals(HMODULE kro, const char* bmpPath, const char* calsPath) {
    BmpReadFn readBmp = (BmpReadFn)(void (*)(void))need(kro, "KroBMPToRsImage");
    CalsWriteFn writeCals = (CalsWriteFn)(void (*)(void))need(kro, "KroRsImageToCals");
    CalsHeadFn getCals = (CalsHeadFn)(void (*)(void))need(kro, "KroGetCals");
    CalsReadFn readCals = (CalsReadFn)(void (*)(void))need(kro, "KroCalsToRsImage");
    RsImage im, back;
    CalsHeader h, got;
    int32_t photometric = 0, resolution[2] = {0, 0};
    unsigned char palette[768];
    FILE* in;
    FILE* out;
    int x, y, differ = 0;
    if (!readBmp || !writeCals || !getCals || !readCals) return;
    CHECK(sizeof(RsImage) == 44 && sizeof(CalsHeader) == 928);
    memset(&im, 0, sizeof im);
    in = fopen(bmpPath, "rb");
    CHECK(in != NULL);
    if (!in) return;
    CHECK(readBmp(in, &im, &photometric, resolution, palette) == 0);
    fclose(in);
    CHECK(im.depth == 1 && im.data != NULL);
    if (im.depth != 1 || !im.data) return;
    if (photometric == KRO_PHOTO_BLACK_IS_ZERO) /* CALS holds 1 = black */
        for (x = 0; x < im.size; ++x) im.data[x] = (unsigned char)~im.data[x];

    memset(&h, 0, sizeof h);
    strcpy(h.srcdocid, "NONE");
    strcpy(h.dstdocid, "NONE");
    strcpy(h.txtfilid, "NONE");
    strcpy(h.figid, "NONE");
    strcpy(h.srcgph, "NONE");
    strcpy(h.doccls, "NONE");
    strcpy(h.notes, "NONE");
    h.rtype = 1;
    h.lineProgression = 270;
    h.pelsPerLine = im.validWidth;
    h.numLines = im.validHeight;
    h.rdensity = 200;
    out = fopen(calsPath, "wb");
    CHECK(out != NULL);
    if (!out) return;
    CHECK(writeCals(out, &h, &im) == 0);
    CHECK(fclose(out) == 0);

    in = fopen(calsPath, "rb");
    CHECK(in != NULL);
    if (!in) return;
    CHECK(getCals(in, &got) == 0);
    CHECK(got.pelsPerLine == im.validWidth && got.numLines == im.validHeight);
    memset(&back, 0, sizeof back);
    back.width = (got.pelsPerLine + 7) / 8 * 8;
    back.height = got.numLines;
    back.depth = 1;
    back.format = KRO_FORMAT_RAW;
    back.size = back.width / 8 * back.height;
    back.data = (unsigned char*)calloc((size_t)back.size, 1);
    back.validWidth = got.pelsPerLine;
    back.validHeight = got.numLines;
    CHECK(readCals(in, &got, &back) == 0);
    fclose(in);
    for (y = 0; y < im.validHeight; ++y)
        for (x = 0; x < im.validWidth; ++x) differ += bit(&im, x, y) != bit(&back, x, y);
    CHECK(differ == 0);
    free(back.data);
    free(im.data); /* the library's malloc, this program's free: one C runtime */
}

/* A square plot drawn by GDI32 into a DIB section: its outline black, its
 * inside and the margin white. */
static void plot(HMODULE kro, const char* hpglPath) {
    OpenHpglFn open = (OpenHpglFn)(void (*)(void))need(kro, "KroOpenHPGL");
    CloseHpglFn close = (CloseHpglFn)(void (*)(void))need(kro, "KroCloseHPGL");
    DisplayHpglFn display = (DisplayHpglFn)(void (*)(void))need(kro, "KroDisplayHPGL");
    const float pens[8] = {0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f};
    const int side = 200;
    FILE* f = fopen(hpglPath, "wb");
    BITMAPINFO info;
    void* bits = NULL;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    HpglDocument* doc;
    const uint32_t* px;
    int y, blackLeft = 0, blackInside = 0;
    if (!open || !close || !display || !f) return;
    fputs("IN;SP1;PU0,0;PD4000,0,4000,4000,0,4000,0,0;", f);
    fclose(f);

    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = side;
    info.bmiHeader.biHeight = -side;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc = CreateCompatibleDC(NULL);
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    CHECK(dc && bitmap && bits);
    if (!dc || !bitmap || !bits) return;
    memset(bits, 0xFF, (size_t)side * side * 4);
    old = SelectObject(dc, bitmap);
    SelectObject(dc, GetStockObject(NULL_BRUSH));

    doc = open(hpglPath, 0, 0, NULL);
    CHECK(doc != KRO_FAILED_PTR);
    if (doc != KRO_FAILED_PTR) {
        CHECK(display(doc, side, side, dc, pens, 0, 0, 0.0f, 100, 1) == 0);
        close(doc);
    }
    GdiFlush();
    px = (const uint32_t*)bits;
    for (y = 0; y < side; ++y) {
        const uint32_t* row = px + (size_t)y * side;
        int x, first = -1;
        for (x = 0; x < side; ++x)
            if ((row[x] & 0xFFFFFF) == 0) {
                first = x;
                break;
            }
        if (first >= 0 && first < side / 4) ++blackLeft;
    }
    for (y = side / 4; y < 3 * side / 4; ++y) {
        int x;
        for (x = side / 4; x < 3 * side / 4; ++x)
            blackInside += (px[(size_t)y * side + x] & 0xFFFFFF) == 0;
    }
    CHECK(blackLeft > side / 2); /* the left edge runs down most of the page */
    CHECK(blackInside == 0);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

int main(int argc, char** argv) {
    HMODULE kro, fnd;
    char cals[MAX_PATH], hpgl[MAX_PATH];
    int names;
    if (argc != 4) {
        fprintf(stderr, "usage: host_win KRO_DEF BMP_1BIT WORK_FOLDER\n");
        return 2;
    }
    kro = LoadLibraryA("kro.dll");
    fnd = GetModuleHandleA("fnd.dll");
    CHECK(kro != NULL && fnd != NULL);
    if (!kro || !fnd) return 1;
    names = resolveAll(kro, argv[1]);
    CHECK(names > 0);
    snprintf(cals, sizeof cals, "%s\\host-win.cal", argv[3]);
    snprintf(hpgl, sizeof hpgl, "%s\\host-win.hpgl", argv[3]);
    options(kro, fnd);
    bmpToCals(kro, argv[2], cals);
    plot(kro, hpgl);
    remove(cals);
    remove(hpgl);
    FreeLibrary(kro);
    printf("host_win: %d names resolved, %d failures\n", names, failures);
    return failures ? 1 : 0;
}
