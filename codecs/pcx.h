// PCX run-length coding, shared by the reader and the writer: a byte of 0xC0
// or above is a count (its low six bits) for the byte after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace kro::pcx {

// Six bits of count: the longest run one pair can stand for.
constexpr unsigned kLongestRun = 63;
// Coded bytes move between file and memory this many at a time.
constexpr size_t kBatchBytes = 256u << 10;

// Coded bytes needed at least for n decoded bytes: every pair of bytes gives
// at most kLongestRun, and a last lone byte can stand for itself.
uint64_t fewestCodedBytes(uint64_t n);

enum class Decoded { Full, EndOfFile, CutRun };

// Reads the coded stream a batch at a time (into buf, kBatchBytes long) and
// expands it on request. A run may cross plane lines and picture lines; what
// is left of it carries over.
class RunDecoder {
  public:
    RunDecoder(FILE* f, unsigned char* buf) : f_(f), buf_(buf) {}

    // Expands the next n bytes into dst (nullptr: drops them). At the end of
    // the file the rest of dst is zeroed.
    Decoded next(unsigned char* dst, size_t n);

    // One byte after the coded data; -1 at the end of the file.
    int byte();

    // n bytes after the coded data; false when the file ends first.
    bool bytes(unsigned char* dst, size_t n);

  private:
    static Decoded ended(unsigned char* dst, size_t done, size_t n, Decoded how);
    bool refill();
    size_t literals(unsigned char* dst, size_t done, size_t n);

    FILE* f_;
    unsigned char* buf_;
    size_t pos_ = 0, end_ = 0;
    unsigned runLeft_ = 0;
    unsigned char runValue_ = 0;
};

// Codes one plane line of n data bytes followed by pad zero bytes; returns
// the end of the coded bytes. At most 2 * n + 2 bytes are written.
unsigned char* codePlaneLine(const unsigned char* s, size_t n, size_t pad, unsigned char* out);

}  // namespace kro::pcx
