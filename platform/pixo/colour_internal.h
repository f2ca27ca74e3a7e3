// Helpers shared by the colour operations: reading rows as intensities and
// Wu's colour quantiser.
#pragma once

#include "pixo_internal.h"

namespace pixo {

// Rec. 601 luma with the weights 299, 587 and 114 per thousand, rounded the
// way GraphicsMagick's gray is at 16 bits and cut back to 8: that comes to
// floor((S + 1) / 1000) for the weighted sum S, here as (S + 1) / 8 / 125 by
// a 32-bit multiply, exact for all 2^24 colours and vectorisable.
inline uint8_t luma(uint32_t r, uint32_t g, uint32_t b) {
    const uint32_t s = 299 * r + 587 * g + 114 * b + 1;
    return uint8_t(((s >> 3) * 33555u) >> 22);
}

// Luma of n RGB pixels.
inline void lumaRow(const unsigned char* rgb, unsigned char* out, size_t n) {
    for (size_t i = 0; i < n; ++i) out[i] = luma(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
}

// How an 8-bit row reads as intensity (0 black, 255 white): gray of either
// photometric value or palette indices, all by one table.
bool intensityTable(int32_t photometric, const unsigned char* palette, uint8_t table[256]);

// Colour histogram on a 64 x 64 x 64 grid (6 bits a channel), with the sums
// Wu's quantiser needs. add() takes exact 8-bit colours. (At 5 bits a near-gray
// picture could not get more than about 32 colours.)
class ColourHistogram {
  public:
    bool init();  // false when memory is short
    void add(uint32_t r, uint32_t g, uint32_t b, uint32_t weight = 1) {
        const size_t i = cell(r >> kShift, g >> kShift, b >> kShift);
        count_[i] += weight;
        sumR_[i] += int64_t(r) * weight;
        sumG_[i] += int64_t(g) * weight;
        sumB_[i] += int64_t(b) * weight;
        sumSq_[i] += double(r * r + g * g + b * b) * weight;
    }
    // Adds a whole row of n RGB pixels.
    void addRow(const unsigned char* rgb, size_t n);
    // Up to count colours (rows of r, g, b) for the histogram; their number.
    int quantise(int count, uint8_t (*colours)[3]);

    static constexpr int kShift = 2;                      // 8-bit levels to grid cells
    static constexpr size_t kSide = (256 >> kShift) + 1;  // index 0 is the zero border
    static size_t cell(uint32_t r6, uint32_t g6, uint32_t b6) {
        return ((r6 + 1) * kSide + (g6 + 1)) * kSide + (b6 + 1);
    }

  private:
    Scratch countBuf_, rBuf_, gBuf_, bBuf_, sqBuf_;
    int64_t* count_ = nullptr;
    int64_t* sumR_ = nullptr;
    int64_t* sumG_ = nullptr;
    int64_t* sumB_ = nullptr;
    double* sumSq_ = nullptr;
};

// Drops the palette entries that no pixel of the rectangle uses and renumbers
// the pixels; the number of entries left.
int dropUnused(const Plane& d, int32_t dx, int32_t dy, int32_t w, int32_t h, uint8_t (*colours)[3],
               int n);

// The n colours as the first entries of a 768-byte palette, the rest zero.
void storePalette(unsigned char* palette, const uint8_t (*colours)[3], int n);

// Nearest of n colours to (r, g, b) by squared distance.
inline int nearestColour(const uint8_t (*colours)[3], int n, int r, int g, int b) {
    int best = 0;
    int bestD = 1 << 30;
    for (int i = 0; i < n; ++i) {
        const int dr = r - colours[i][0], dg = g - colours[i][1], db = b - colours[i][2];
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestD) {
            bestD = d;
            best = i;
        }
    }
    return best;
}

}  // namespace pixo
