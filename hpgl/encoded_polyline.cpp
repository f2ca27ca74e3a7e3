// PE parameters: each number is sent least significant digit first, every
// digit but the last in a continuation byte, the last in a terminator byte;
// the value's lowest bit is its sign.
#include "hpgl/encoded_polyline.h"

#include <algorithm>
#include <cmath>

namespace kro::hpgl {

namespace {

enum class ByteKind : uint8_t { kEnd, kTerminator, kIgnored, kFlag, kDigit, kLastDigit, kGarbage };

struct Classified {
    ByteKind kind;
    uint8_t value;  // the digit, or the flag's character
};

bool isFlag(uint8_t c) {
    return c == ':' || c == '<' || c == '>' || c == '=' || c == '7';
}

Classified classify(uint8_t b, bool sevenBit) {
    if (b == 0) return {ByteKind::kEnd, 0};
    if (b == ';') return {ByteKind::kTerminator, 0};
    if (sevenBit) {
        b &= 0x7F;
        if (b <= ' ' || b == 127) return {ByteKind::kIgnored, 0};
        if (b >= 95) return {ByteKind::kLastDigit, uint8_t(b - 95)};
        if (b >= 63) return {ByteKind::kDigit, uint8_t(b - 63)};
    } else {
        if (b <= ' ' || (b >= 127 && b <= 160) || b == 255) return {ByteKind::kIgnored, 0};
        if (b >= 191) return {ByteKind::kLastDigit, uint8_t(b - 191)};
        if (b >= 63 && b <= 126) return {ByteKind::kDigit, uint8_t(b - 63)};
    }
    // Left: 33..62 and, in 8-bit mode, 161..190. A ';' with its eighth bit
    // set is no terminator: every pass ends PE at the plain one.
    const uint8_t flag = b & 0x7F;
    if (isFlag(flag)) return {ByteKind::kFlag, flag};
    return {ByteKind::kGarbage, 0};
}

// Magnitudes stop growing here; doubles hold them exactly.
constexpr uint64_t kMagnitudeCap = uint64_t(1) << 52;

struct Decoder {
    const uint8_t* text;
    size_t length;
    size_t pos = 0;
    bool sevenBit = false;

    Classified here() const {
        return pos < length ? classify(text[pos], sevenBit) : Classified{ByteKind::kEnd, 0};
    }

    // One signed number. False, with pos on the byte that cut it short, when
    // a flag, terminator, garbage or the end comes before its last digit.
    bool readNumber(bool* negative, uint64_t* magnitude) {
        const uint64_t base = sevenBit ? 32 : 64;
        uint64_t value = 0, weight = 1;
        for (;;) {
            const Classified c = here();
            if (c.kind == ByteKind::kIgnored) {
                ++pos;
                continue;
            }
            if (c.kind != ByteKind::kDigit && c.kind != ByteKind::kLastDigit) return false;
            ++pos;
            if (weight <= kMagnitudeCap) {
                value += c.value * weight;
                if (value > kMagnitudeCap) value = kMagnitudeCap | (value & 1);
                weight *= base;
            } else if (c.value != 0) {
                value = kMagnitudeCap | (value & 1);  // the first digit holds the sign
            }
            if (c.kind == ByteKind::kLastDigit) break;
        }
        *magnitude = value >> 1;
        *negative = (value & 1) != 0 && *magnitude != 0;  // no -0 from a sign bit alone
        return true;
    }

    void skipToTerminator(EncodedPolylineResult& result) {
        while (pos < length && text[pos] != 0 && text[pos] != ';') ++pos;
        if (pos < length && text[pos] == ';') {
            ++pos;
            result.terminated = true;
        }
    }
};

double clampCoordinate(double v) {
    return std::fmin(std::fmax(v, -kEncodedCoordinateLimit), kEncodedCoordinateLimit);
}

}  // namespace

EncodedPolylineResult decodeEncodedPolyline(const char* text, size_t length,
                                            EncodedPolylineState& state, EncodedPolylineSink sink,
                                            void* context) {
    EncodedPolylineResult result;
    Decoder d{reinterpret_cast<const uint8_t*>(text), text ? length : 0};
    state.fractionalBits =
        std::clamp(state.fractionalBits, -kMaxFractionalBits, kMaxFractionalBits);
    double scale = std::ldexp(1.0, -state.fractionalBits);
    bool penUpNext = false, absoluteNext = false;

    auto fail = [&] {
        result.malformed = true;
        d.skipToTerminator(result);
    };
    auto emit = [&](const EncodedPolylineEvent& e) {
        ++result.events;
        if (sink) sink(context, e);
    };

    for (;;) {
        const Classified c = d.here();
        if (c.kind == ByteKind::kEnd) break;
        if (c.kind == ByteKind::kTerminator) {
            ++d.pos;
            result.terminated = true;
            break;
        }
        if (c.kind == ByteKind::kIgnored) {
            ++d.pos;
            continue;
        }
        if (c.kind == ByteKind::kGarbage) {
            fail();
            break;
        }
        bool negative;
        uint64_t magnitude;
        if (c.kind == ByteKind::kFlag) {
            ++d.pos;
            if (c.value == '7') {
                d.sevenBit = true;
            } else if (c.value == '<') {
                penUpNext = true;
            } else if (c.value == '=') {
                absoluteNext = true;
            } else if (!d.readNumber(&negative, &magnitude)) {
                fail();
                break;
            } else if (c.value == ':') {
                const int32_t pen =
                    magnitude > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(magnitude);
                emit({EncodedPolylineEvent::kSelectPen, negative ? -pen : pen, 0, 0});
            } else {  // '>'
                if (magnitude > uint64_t(kMaxFractionalBits)) {
                    fail();
                    break;
                }
                state.fractionalBits = negative ? -int32_t(magnitude) : int32_t(magnitude);
                scale = std::ldexp(1.0, -state.fractionalBits);
            }
            continue;
        }
        // A coordinate pair.
        double value[2];
        bool complete = true;
        for (double& v : value) {
            if (!d.readNumber(&negative, &magnitude)) {
                complete = false;
                break;
            }
            v = (negative ? -double(magnitude) : double(magnitude)) * scale;
        }
        if (!complete) {
            fail();
            break;
        }
        if (absoluteNext) {
            state.x = clampCoordinate(value[0]);
            state.y = clampCoordinate(value[1]);
        } else {
            state.x = clampCoordinate(state.x + value[0]);
            state.y = clampCoordinate(state.y + value[1]);
        }
        result.penDown = !penUpNext;
        emit({penUpNext ? EncodedPolylineEvent::kMove : EncodedPolylineEvent::kDraw, 0, state.x,
              state.y});
        penUpNext = absoluteNext = false;
    }
    result.consumed = d.pos;
    return result;
}

EncodedPolylineResult decodeEncodedPolyline(const char* text, size_t length,
                                            EncodedPolylineState& state,
                                            std::vector<EncodedPolylineEvent>& out) {
    return decodeEncodedPolyline(
        text, length, state,
        [](void* context, const EncodedPolylineEvent& e) {
            static_cast<std::vector<EncodedPolylineEvent>*>(context)->push_back(e);
        },
        &out);
}

}  // namespace kro::hpgl
