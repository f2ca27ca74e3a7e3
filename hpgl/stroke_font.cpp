// Hershey .jhf fonts read into glyph strokes, and label text laid out with
// them the way a plotter spaces its own stroke font: fixed pitch, capitals
// filling the character size.
#include "hpgl/stroke_font.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace kro::hpgl {

namespace {

// Where the distributions install the fonts.
constexpr const char* kFontFolders[] = {
    "/usr/share/hershey-fonts",
    "/usr/local/share/hershey-fonts",
    nullptr,
};

constexpr size_t kHeaderColumns = 8;  // 5 of glyph number, 3 of pair count

// The lines of a file, without their CR or LF.
struct Lines {
    const char* text;
    size_t length;
    size_t pos = 0;

    bool next(std::string_view* line) {
        if (pos >= length) return false;
        const char* start = text + pos;
        const void* nl = std::memchr(start, '\n', length - pos);
        size_t n = nl ? size_t(static_cast<const char*>(nl) - start) : length - pos;
        pos += nl ? n + 1 : n;
        if (n > 0 && start[n - 1] == '\r') --n;
        *line = std::string_view(start, n);
        return true;
    }
    bool peek(std::string_view* line) const {
        Lines copy = *this;
        return copy.next(line);
    }
};

bool isBlank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

// A glyph's first line: eight columns of digits and spaces, the last three
// holding the pair count. Continuation lines hold letters there.
bool readHeader(std::string_view line, int* count) {
    if (line.size() < kHeaderColumns) return false;
    for (size_t i = 0; i < kHeaderColumns; ++i)
        if (line[i] != ' ' && (line[i] < '0' || line[i] > '9')) return false;
    int n = 0;
    bool digits = false;
    for (size_t i = 5; i < kHeaderColumns; ++i) {
        if (line[i] == ' ') {
            if (digits) return false;
            continue;
        }
        n = n * 10 + (line[i] - '0');
        digits = true;
    }
    *count = n;
    return digits;
}

int16_t letterValue(char c) {
    return int16_t(uint8_t(c) - uint8_t('R'));
}

// The pairs of one glyph: the bounds, then points with " R" between strokes.
void readPairs(std::string_view data, StrokeGlyph& glyph) {
    glyph.present = true;
    glyph.left = letterValue(data[0]);
    glyph.right = letterValue(data[1]);
    bool penUp = true;
    for (size_t i = 2; i + 1 < data.size(); i += 2) {
        if (data[i] == ' ' && data[i + 1] == 'R') {
            penUp = true;
            continue;
        }
        if (penUp) glyph.strokes.emplace_back();
        penUp = false;
        glyph.strokes.back().push_back({letterValue(data[i]), letterValue(data[i + 1])});
    }
}

void setCapFrame(StrokeFont& font) {
    const StrokeGlyph* h = font.glyph('H');
    int top = INT16_MAX, bottom = INT16_MIN, left = INT16_MAX, right = INT16_MIN;
    for (const auto& stroke : h->strokes) {
        for (const FontPoint& p : stroke) {
            top = std::min<int>(top, p.y);
            bottom = std::max<int>(bottom, p.y);
            left = std::min<int>(left, p.x);
            right = std::max<int>(right, p.x);
        }
    }
    if (bottom > top && right > left) {
        font.capTop = top;
        font.baseline = bottom;
        font.capLeft = left;
        font.capRight = right;
    }
}

}  // namespace

int parseStrokeFont(const char* text, size_t length, StrokeFont& font) {
    font = StrokeFont{};
    Lines lines{text, text ? length : 0};
    int read = 0;
    std::string data;
    std::string_view line;
    for (int slot = 0; slot < kGlyphCount && lines.next(&line);) {
        if (isBlank(line)) continue;
        StrokeGlyph& glyph = font.glyphs[size_t(slot++)];
        int count = 0;
        if (!readHeader(line, &count) || count < 1) {
            ++font.damagedLines;
            continue;
        }
        const size_t want = 2 * size_t(count);
        data.assign(line.substr(kHeaderColumns, want));
        bool damaged = !isBlank(line.substr(std::min(line.size(), kHeaderColumns + want)));
        std::string_view more;
        int nextCount;
        while (data.size() < want && lines.peek(&more) && !isBlank(more) &&
               !readHeader(more, &nextCount)) {
            lines.next(&more);
            data.append(more.substr(0, want - data.size()));
        }
        if (data.size() < want) {
            damaged = true;
            data.resize(data.size() & ~size_t(1));
        }
        font.damagedLines += damaged;
        if (data.size() < 2) continue;  // not even the bounds
        readPairs(data, glyph);
        ++read;
    }
    setCapFrame(font);
    return read;
}

std::string strokeFontFolder() {
    for (const char* const* folder = kFontFolders; *folder; ++folder) {
        const std::string probe = std::string(*folder) + "/" + kDefaultStrokeFont + ".jhf";
        if (std::FILE* f = std::fopen(probe.c_str(), "rb")) {
            std::fclose(f);
            return *folder;
        }
    }
    return {};
}

bool loadStrokeFont(std::string_view name, StrokeFont& font, const std::string& folder) {
    font = StrokeFont{};
    if (name.empty() || name.size() > 64 ||
        name.find_first_of(std::string_view("/\\\0:", 4)) != std::string_view::npos)
        return false;
    const std::string dir = folder.empty() ? strokeFontFolder() : folder;
    if (dir.empty()) return false;
    std::string path = dir + "/" + std::string(name);
    if (!name.ends_with(".jhf")) path += ".jhf";

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         &std::fclose);
    if (!file) return false;
    std::string text(kMaxStrokeFontBytes + 1, '\0');
    const size_t n = std::fread(text.data(), 1, text.size(), file.get());
    if (n > kMaxStrokeFontBytes || std::ferror(file.get())) return false;
    return parseStrokeFont(text.data(), n, font) > 0;
}

LaidOutLabel layOutLabel(const StrokeFont& font, const char* text, size_t length,
                         const LabelCell& cell) {
    auto finite = [](double v) { return std::isfinite(v) ? v : 0.0; };
    const double width = finite(cell.width), height = finite(cell.height);
    const double advance = cell.advance != 0 ? finite(cell.advance) : 1.5 * width;
    const double slant = finite(cell.slant);
    double run = finite(cell.run), rise = finite(cell.rise);
    const double norm = std::hypot(run, rise);
    if (norm > 0 && std::isfinite(norm)) {
        run /= norm;
        rise /= norm;
    } else {
        run = 1;
        rise = 0;
    }
    // A font built by hand may have no frame; the parser always leaves one.
    const int capWidth = font.capRight - font.capLeft, capHeight = font.capHeight();
    const double sx = capWidth > 0 ? width / capWidth : 0;
    const double sy = capHeight > 0 ? height / capHeight : 0;
    auto turn = [&](double x, double y) {
        return LabelPoint{x * run - y * rise, x * rise + y * run};
    };

    LaidOutLabel out;
    double x = 0, lineY = 0;  // the current cell's baseline start, before turning
    for (size_t i = 0; text && i < length; ++i) {
        const uint8_t c = uint8_t(text[i]);
        if (c == '\r') {
            x = 0;
        } else if (c == '\n') {
            lineY -= 2 * height;
        } else if (c == '\b') {
            x -= advance;
        } else if (c >= 128) {
            x += advance;
        } else if (const StrokeGlyph* g = font.glyph(c)) {
            for (const auto& stroke : g->strokes) {
                auto& points = out.strokes.emplace_back();
                points.reserve(stroke.size());
                for (const FontPoint& p : stroke) {
                    const double up = (font.baseline - p.y) * sy;
                    points.push_back(turn(x + (p.x - font.capLeft) * sx + slant * up, lineY + up));
                }
            }
            x += advance;
        }
    }
    out.end = turn(x, lineY);
    return out;
}

}  // namespace kro::hpgl
