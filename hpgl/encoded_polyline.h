// The decoder of PE (polyline encoded) parameters: flags and base-64 or
// base-32 numbers in, pen selections and absolute moves and draws out.
// A pure function of its inputs; it knows nothing of the walker.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kro::hpgl {

// Positions are held to the range a plotter accepts for PE and PR.
inline constexpr double kEncodedCoordinateLimit = 1073741824.0;  // 2^30 plotter units
// The range of the fractional-bits flag's value.
inline constexpr int32_t kMaxFractionalBits = 26;

struct EncodedPolylineEvent {
    enum Kind : uint8_t { kSelectPen, kMove, kDraw };
    Kind kind;
    int32_t pen;  // kSelectPen: the pen number as sent (saturated to int32), unchecked
    double x, y;  // kMove, kDraw: the point reached, absolute plotter units
};

// What the decoder starts from and leaves behind.
struct EncodedPolylineState {
    double x = 0, y = 0;         // current pen position, plotter units
    int32_t fractionalBits = 0;  // binary digits after the point; held to -26..26
};

struct EncodedPolylineResult {
    size_t consumed = 0;      // bytes read: through the ';', or to the end of the text
    size_t events = 0;        // events delivered
    bool terminated = false;  // ended at a ';' rather than at the end of the text
    bool malformed = false;   // bad data; events stop there and the rest up to ';' is skipped
    bool penDown = false;     // the last point was drawn to (a plotter leaves the pen so)
};

using EncodedPolylineSink = void (*)(void* context, const EncodedPolylineEvent& event);

// Decodes the bytes after "PE" (text, length; no NUL needed) from the state
// given, calling sink for each event in order, and updates state to the last
// point and fractional bits. Each event takes at least two bytes of text, so
// a caller that stores them stores at most length / 2.
//
// The command ends at the first ';' in either mode, or at a NUL or the end of
// the text, as the stream's walk ends it. Spaces, control characters, DEL
// and (in 8-bit mode) bytes 128..160 and 255 are stepped over; flags are read
// without their eighth bit; in 7-bit mode every byte is. Malformed: a byte
// that is no flag or digit, a flag between the two numbers of a pair, a flag
// without its value, a pair cut short by the end, or fractional bits outside
// -26..26.
EncodedPolylineResult decodeEncodedPolyline(const char* text, size_t length,
                                            EncodedPolylineState& state, EncodedPolylineSink sink,
                                            void* context);

// The same, appending the events to out.
EncodedPolylineResult decodeEncodedPolyline(const char* text, size_t length,
                                            EncodedPolylineState& state,
                                            std::vector<EncodedPolylineEvent>& out);

}  // namespace kro::hpgl
