// Fuzz target: plot text loaded, measured and drawn on the recording device,
// once fitted and once at a fixed scale, in the design's look and in the full
// look (colours, widths, fills, stroke-font labels). Every input gives a
// result and a code, and every drawing hands the host's pen and brush back and
// leaves no device object alive.
// Bad samples: hpgl-*
// Max length: 16384
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "hpgl/hpgl.h"
#include "kro/gdi.h"
#include "kro/kro.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    // The first byte picks the plotter type and the drawing's scale.
    const int32_t plot = data[0] % 16;
    const float scale = (data[0] & 0x10) ? 0.5f : 2.0f;
    std::vector<char> text(data + 1, data + size);
    text.push_back('\0');
    const size_t n = kro::hpgl::normalizePlotText(text.data(), size - 1);

    HpglDocument doc{};
    doc.path = "fuzz";
    doc.text = text.data();
    doc.textLength = int32_t(n + 1);
    doc.plot = plot;
    if (Kro_MAX_MIN(doc.text, doc.textLength, plot, 0, nullptr, &doc.xMax, &doc.yMax, &doc.xMin,
                    &doc.yMin) != 0)
        return 0;
    doc.widthMm = (doc.xMax - doc.xMin) * 0.025;
    doc.heightMm = (doc.yMax - doc.yMin) * 0.025;

    static const float pens[8] = {0.1f, 0.3f, 0.5f, 1.0f, 0, 2.0f, 0.25f, 0.35f};
    // The full look draws the second page when the plot has one, measured
    // as that look measures it.
    const int32_t page = KroSelectHPGLPage(&doc, 2) >= 2 ? 2 : 1;
    if (page == 1 && KroSelectHPGLPage(&doc, 1) < 1) return 0;
    const KroHpglStyle style{sizeof(KroHpglStyle), 0, nullptr, page};
    for (const float s : {0.0f, scale})
        for (const bool full : {false, true}) {
            HDC dc = KroGdiCreateRecorder(800, 600, 100);
            if (!dc) std::abort();
            if (full)
                KroDisplayHPGLStyled(&doc, 800, 600, dc, pens, &style, 0, s, 100, data[0] & 1);
            else
                KroDisplayHPGL(&doc, 800, 600, dc, pens, 0, 0, s, 100, data[0] & 1);
            if (GetCurrentObject(dc, OBJ_PEN) != GetStockObject(BLACK_PEN)) std::abort();
            if (GetCurrentObject(dc, OBJ_BRUSH) != GetStockObject(WHITE_BRUSH)) std::abort();
            if (KroGdiUndeletedObjects(dc, 0) != 0 || KroGdiFaults(dc) != 0) std::abort();
            DeleteDC(dc);
        }
    return 0;
}
