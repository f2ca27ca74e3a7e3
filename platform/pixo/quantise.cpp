// RGB to palette colour: an exact palette when the picture has few enough
// colours, Wu's quantiser (greedy variance-minimising cuts of the RGB cube on
// a 6-bit grid) otherwise, with nearest-colour mapping through a cache of
// 6-bit cells.
#include <algorithm>

#include "colour_internal.h"

namespace pixo {

bool ColourHistogram::init() {
    constexpr uint64_t n = uint64_t(kSide) * kSide * kSide;
    if (!countBuf_.reserve(8 * n) || !rBuf_.reserve(8 * n) || !gBuf_.reserve(8 * n) ||
        !bBuf_.reserve(8 * n) || !sqBuf_.reserve(8 * n))
        return false;
    count_ = countBuf_.as<int64_t>();
    sumR_ = rBuf_.as<int64_t>();
    sumG_ = gBuf_.as<int64_t>();
    sumB_ = bBuf_.as<int64_t>();
    sumSq_ = sqBuf_.as<double>();
    return true;
}

void ColourHistogram::addRow(const unsigned char* rgb, size_t n) {
    for (size_t i = 0; i < n; ++i, rgb += 3) {
        const uint32_t r = rgb[0], g = rgb[1], b = rgb[2];
        const size_t c = cell(r >> kShift, g >> kShift, b >> kShift);
        count_[c] += 1;
        sumR_[c] += r;
        sumG_[c] += g;
        sumB_[c] += b;
        sumSq_[c] += double(r * r + g * g + b * b);
    }
}

namespace {

constexpr size_t kSide = ColourHistogram::kSide;

inline size_t at(int r, int g, int b) {
    return (size_t(r) * kSide + size_t(g)) * kSide + size_t(b);
}

// A box of the grid: lower bounds exclusive, upper inclusive.
struct Box {
    int r0, r1, g0, g1, b0, b1;
    int volume() const { return (r1 - r0) * (g1 - g0) * (b1 - b0); }
};

// The sum of a cumulative moment over a box.
template <typename T>
T volumeSum(const Box& c, const T* m) {
    return m[at(c.r1, c.g1, c.b1)] - m[at(c.r1, c.g1, c.b0)] - m[at(c.r1, c.g0, c.b1)] +
           m[at(c.r1, c.g0, c.b0)] - m[at(c.r0, c.g1, c.b1)] + m[at(c.r0, c.g1, c.b0)] +
           m[at(c.r0, c.g0, c.b1)] - m[at(c.r0, c.g0, c.b0)];
}

enum Axis { kRed, kGreen, kBlue };

// The part of a box sum that does not depend on the cut position along axis.
template <typename T>
T bottom(const Box& c, Axis axis, const T* m) {
    switch (axis) {
        case kRed:
            return -m[at(c.r0, c.g1, c.b1)] + m[at(c.r0, c.g1, c.b0)] + m[at(c.r0, c.g0, c.b1)] -
                   m[at(c.r0, c.g0, c.b0)];
        case kGreen:
            return -m[at(c.r1, c.g0, c.b1)] + m[at(c.r1, c.g0, c.b0)] + m[at(c.r0, c.g0, c.b1)] -
                   m[at(c.r0, c.g0, c.b0)];
        default:
            return -m[at(c.r1, c.g1, c.b0)] + m[at(c.r1, c.g0, c.b0)] + m[at(c.r0, c.g1, c.b0)] -
                   m[at(c.r0, c.g0, c.b0)];
    }
}

// The part that does, for a cut at pos.
template <typename T>
T top(const Box& c, Axis axis, int pos, const T* m) {
    switch (axis) {
        case kRed:
            return m[at(pos, c.g1, c.b1)] - m[at(pos, c.g1, c.b0)] - m[at(pos, c.g0, c.b1)] +
                   m[at(pos, c.g0, c.b0)];
        case kGreen:
            return m[at(c.r1, pos, c.b1)] - m[at(c.r1, pos, c.b0)] - m[at(c.r0, pos, c.b1)] +
                   m[at(c.r0, pos, c.b0)];
        default:
            return m[at(c.r1, c.g1, pos)] - m[at(c.r1, c.g0, pos)] - m[at(c.r0, c.g1, pos)] +
                   m[at(c.r0, c.g0, pos)];
    }
}

struct Moments {
    const int64_t *w, *r, *g, *b;
    const double* sq;
};

double variance(const Box& c, const Moments& m) {
    const double dr = double(volumeSum(c, m.r)), dg = double(volumeSum(c, m.g)),
                 db = double(volumeSum(c, m.b));
    const double w = double(volumeSum(c, m.w));
    if (w <= 0) return 0;
    return volumeSum(c, m.sq) - (dr * dr + dg * dg + db * db) / w;
}

// The best cut of box along axis: the value of the split (sum of the squared
// means times weights of both halves) and its position, or -1.
double maximise(const Box& c, Axis axis, int first, int last, int* cut, const Moments& m,
                int64_t wholeR, int64_t wholeG, int64_t wholeB, int64_t wholeW) {
    const int64_t baseR = bottom(c, axis, m.r), baseG = bottom(c, axis, m.g),
                  baseB = bottom(c, axis, m.b), baseW = bottom(c, axis, m.w);
    double best = 0;
    *cut = -1;
    for (int i = first; i < last; ++i) {
        int64_t halfR = baseR + top(c, axis, i, m.r), halfG = baseG + top(c, axis, i, m.g),
                halfB = baseB + top(c, axis, i, m.b), halfW = baseW + top(c, axis, i, m.w);
        if (halfW == 0) continue;
        double temp =
            (double(halfR) * halfR + double(halfG) * halfG + double(halfB) * halfB) / double(halfW);
        halfR = wholeR - halfR, halfG = wholeG - halfG, halfB = wholeB - halfB;
        halfW = wholeW - halfW;
        if (halfW == 0) continue;
        temp +=
            (double(halfR) * halfR + double(halfG) * halfG + double(halfB) * halfB) / double(halfW);
        if (temp > best) {
            best = temp;
            *cut = i;
        }
    }
    return best;
}

bool cutBox(Box* a, Box* b, const Moments& m) {
    const int64_t wholeR = volumeSum(*a, m.r), wholeG = volumeSum(*a, m.g),
                  wholeB = volumeSum(*a, m.b), wholeW = volumeSum(*a, m.w);
    int cutR, cutG, cutB;
    const double maxR =
        maximise(*a, kRed, a->r0 + 1, a->r1, &cutR, m, wholeR, wholeG, wholeB, wholeW);
    const double maxG =
        maximise(*a, kGreen, a->g0 + 1, a->g1, &cutG, m, wholeR, wholeG, wholeB, wholeW);
    const double maxB =
        maximise(*a, kBlue, a->b0 + 1, a->b1, &cutB, m, wholeR, wholeG, wholeB, wholeW);
    Axis axis;
    if (maxR >= maxG && maxR >= maxB) {
        if (cutR < 0) return false;  // the box cannot be split
        axis = kRed;
    } else if (maxG >= maxR && maxG >= maxB) {
        axis = kGreen;
    } else {
        axis = kBlue;
    }
    *b = *a;
    switch (axis) {
        case kRed:
            a->r1 = b->r0 = cutR;
            break;
        case kGreen:
            a->g1 = b->g0 = cutG;
            break;
        case kBlue:
            a->b1 = b->b0 = cutB;
            break;
    }
    return true;
}

}  // namespace

int ColourHistogram::quantise(int count, uint8_t (*colours)[3]) {
    // Cumulative moments, so any box's sums take eight lookups.
    for (size_t r = 1; r < kSide; ++r) {
        int64_t areaW[kSide] = {}, areaR[kSide] = {}, areaG[kSide] = {}, areaB[kSide] = {};
        double areaSq[kSide] = {};
        for (size_t g = 1; g < kSide; ++g) {
            int64_t lineW = 0, lineR = 0, lineG = 0, lineB = 0;
            double lineSq = 0;
            for (size_t b = 1; b < kSide; ++b) {
                const size_t i = at(int(r), int(g), int(b));
                lineW += count_[i], lineR += sumR_[i], lineG += sumG_[i], lineB += sumB_[i];
                lineSq += sumSq_[i];
                areaW[b] += lineW, areaR[b] += lineR, areaG[b] += lineG, areaB[b] += lineB;
                areaSq[b] += lineSq;
                const size_t up = at(int(r - 1), int(g), int(b));
                count_[i] = count_[up] + areaW[b];
                sumR_[i] = sumR_[up] + areaR[b];
                sumG_[i] = sumG_[up] + areaG[b];
                sumB_[i] = sumB_[up] + areaB[b];
                sumSq_[i] = sumSq_[up] + areaSq[b];
            }
        }
    }
    const Moments m{count_, sumR_, sumG_, sumB_, sumSq_};

    Box boxes[256];
    double vv[256];
    constexpr int last = int(kSide) - 1;
    boxes[0] = Box{0, last, 0, last, 0, last};
    int n = 1, next = 0;
    for (int i = 1; i < count; ++i) {
        if (cutBox(&boxes[next], &boxes[i], m)) {
            vv[next] = boxes[next].volume() > 1 ? variance(boxes[next], m) : 0.0;
            vv[i] = boxes[i].volume() > 1 ? variance(boxes[i], m) : 0.0;
            n = i + 1;
        } else {
            vv[next] = 0.0;  // no split here: try the next box
            --i;
        }
        next = 0;
        double worst = vv[0];
        for (int k = 1; k <= i; ++k)
            if (vv[k] > worst) worst = vv[k], next = k;
        if (worst <= 0.0) break;
    }
    int out = 0;
    for (int k = 0; k < n; ++k) {
        const int64_t w = volumeSum(boxes[k], m.w);
        if (w <= 0) continue;
        colours[out][0] = uint8_t((volumeSum(boxes[k], m.r) + w / 2) / w);
        colours[out][1] = uint8_t((volumeSum(boxes[k], m.g) + w / 2) / w);
        colours[out][2] = uint8_t((volumeSum(boxes[k], m.b) + w / 2) / w);
        ++out;
    }
    return out;
}

}  // namespace pixo

namespace {

using pixo::fail;
using pixo::Plane;

// At most limit distinct colours, by open addressing; full() once one more turns up.
class SmallColourSet {
  public:
    explicit SmallColourSet(int limit) : limit_(limit) {}
    // False when the colour would be one too many.
    bool add(uint32_t rgb) {
        size_t h = slot(rgb);
        while (keys_[h]) {
            if (keys_[h] == rgb + 1) return true;
            h = (h + 1) & (kSlots - 1);
        }
        if (n_ == limit_) return false;
        keys_[h] = rgb + 1;
        colours_[n_++] = rgb;
        return true;
    }
    int find(uint32_t rgb) const {
        size_t h = slot(rgb);
        while (keys_[h] != rgb + 1) h = (h + 1) & (kSlots - 1);
        return index_[h];
    }
    // Sorts the colours and numbers them in that order.
    void number() {
        std::sort(colours_, colours_ + n_);
        for (int i = 0; i < n_; ++i) {
            size_t h = slot(colours_[i]);
            while (keys_[h] != colours_[i] + 1) h = (h + 1) & (kSlots - 1);
            index_[h] = uint8_t(i);
        }
    }
    int size() const { return n_; }
    uint32_t colour(int i) const { return colours_[i]; }

  private:
    static constexpr size_t kSlots = 1024;
    static size_t slot(uint32_t rgb) { return (rgb * 2654435761u) >> 22; }
    int limit_;
    int n_ = 0;
    uint32_t keys_[kSlots] = {};
    uint8_t index_[kSlots] = {};
    uint32_t colours_[256] = {};
};

inline uint32_t packed(const unsigned char* p) {
    return uint32_t(p[0]) << 16 | p[1] << 8 | p[2];
}

// Collects the rectangle's colours; false as soon as there are more than limit.
bool fewColours(const Plane& s, int32_t x, int32_t y, int32_t w, int32_t h, SmallColourSet* set) {
    uint32_t last = 0xFFFFFFFF;
    for (int32_t r = 0; r < h; ++r) {
        const unsigned char* p = s.row(y + r) + size_t(x) * 3;
        for (int32_t i = 0; i < w; ++i, p += 3) {
            const uint32_t c = packed(p);
            if (c == last) continue;
            last = c;
            if (!set->add(c)) return false;
        }
    }
    return true;
}

void mapExact(const Plane& s, int32_t x, int32_t y, int32_t w, int32_t h, const Plane& d,
              int32_t dx, int32_t dy, const SmallColourSet& set) {
    for (int32_t r = 0; r < h; ++r) {
        const unsigned char* p = s.row(y + r) + size_t(x) * 3;
        unsigned char* o = d.row(dy + r) + dx;
        uint32_t last = packed(p);
        uint8_t lastIndex = uint8_t(set.find(last));
        for (int32_t i = 0; i < w; ++i, p += 3) {
            const uint32_t c = packed(p);
            if (c != last) last = c, lastIndex = uint8_t(set.find(c));
            o[i] = lastIndex;
        }
    }
}

// Maps through a cache of 6-bit cells (18 bits, 512 KiB): each cell takes
// the colour nearest its centre, found the first time a pixel falls in it.
int32_t mapNearest(const Plane& s, int32_t x, int32_t y, int32_t w, int32_t h, const Plane& d,
                   int32_t dx, int32_t dy, const uint8_t (*colours)[3], int n) {
    pixo::Scratch cacheBuf;
    if (!cacheBuf.reserve(uint64_t(2) << 18)) return GFX_ST_NOMEM;
    int16_t* cache = cacheBuf.as<int16_t>();
    std::fill(cache, cache + (size_t(1) << 18), int16_t(-1));
    for (int32_t r = 0; r < h; ++r) {
        const unsigned char* p = s.row(y + r) + size_t(x) * 3;
        unsigned char* o = d.row(dy + r) + dx;
        for (int32_t i = 0; i < w; ++i, p += 3) {
            const uint32_t key = uint32_t(p[0] >> 2) << 12 | uint32_t(p[1] >> 2) << 6 | p[2] >> 2;
            int16_t v = cache[key];
            if (v < 0) {
                v = int16_t(pixo::nearestColour(colours, n, (p[0] & 0xFC) + 2, (p[1] & 0xFC) + 2,
                                                (p[2] & 0xFC) + 2));
                cache[key] = v;
            }
            o[i] = uint8_t(v);
        }
    }
    return 0;
}

}  // namespace

namespace pixo {

void storePalette(unsigned char* palette, const uint8_t (*colours)[3], int n) {
    std::memset(palette, 0, 768);
    for (int i = 0; i < n; ++i)
        kro::setEntry(kro::Palette(palette), i, colours[i][0], colours[i][1], colours[i][2]);
}

int dropUnused(const Plane& d, int32_t dx, int32_t dy, int32_t w, int32_t h, uint8_t (*colours)[3],
               int n) {
    bool used[256] = {};
    for (int32_t r = 0; r < h; ++r) {
        const unsigned char* o = d.row(dy + r) + dx;
        for (int32_t i = 0; i < w; ++i) used[o[i]] = true;
    }
    uint8_t renumber[256] = {};
    int kept = 0;
    for (int i = 0; i < n; ++i)
        if (used[i]) {
            renumber[i] = uint8_t(kept);
            for (int c = 0; c < 3; ++c) colours[kept][c] = colours[i][c];
            ++kept;
        }
    if (kept == n) return n;
    for (int32_t r = 0; r < h; ++r) {
        unsigned char* o = d.row(dy + r) + dx;
        for (int32_t i = 0; i < w; ++i) o[i] = renumber[o[i]];
    }
    return kept;
}

}  // namespace pixo

extern "C" PIXO_API int32_t GfxCdsp(const RsImage* src, int32_t x, int32_t y, int32_t width,
                                    int32_t height, int32_t count, int32_t /*reserved*/,
                                    RsImage* dst, int32_t dx, int32_t dy, unsigned char* palette,
                                    int32_t* status) {
    Plane s, d;
    if (int32_t rc = pixo::checkImage(src, &s)) return fail(status, rc);
    if (!dst || !palette) return fail(status, GFX_ST_NULL);
    if (int32_t rc = pixo::checkImage(dst, &d)) return fail(status, rc);
    if (s.depth != 24 || d.depth != 8) return fail(status, GFX_ST_IMAGE);
    if (!pixo::rectInside(s, x, y, width, height) || !pixo::rectInside(d, dx, dy, width, height))
        return fail(status, GFX_ST_RECT);
    if (pixo::overlap(s, d)) return fail(status, GFX_ST_ARGUMENT);
    if (count < 1 || count > 256) return fail(status, GFX_ST_ARGUMENT);

    uint8_t colours[256][3];
    int n;
    SmallColourSet few(count);
    if (fewColours(s, x, y, width, height, &few)) {
        few.number();
        n = few.size();
        for (int i = 0; i < n; ++i) {
            const uint32_t c = few.colour(i);
            colours[i][0] = uint8_t(c >> 16), colours[i][1] = uint8_t(c >> 8);
            colours[i][2] = uint8_t(c);
        }
        mapExact(s, x, y, width, height, d, dx, dy, few);
    } else {
        pixo::ColourHistogram hist;
        if (!hist.init()) return fail(status, GFX_ST_NOMEM);
        for (int32_t r = 0; r < height; ++r)
            hist.addRow(s.row(y + r) + size_t(x) * 3, size_t(width));
        n = hist.quantise(count, colours);
        if (int32_t rc = mapNearest(s, x, y, width, height, d, dx, dy, colours, n))
            return fail(status, rc);
        n = pixo::dropUnused(d, dx, dy, width, height, colours, n);
    }
    pixo::storePalette(palette, colours, n);
    return pixo::filled(dst, dx, dy, width, height, status);
}
