// Decimal numbers read the way the C library's "%d" and atoi read them, but
// held at the ends of int32_t where those would overflow.
#pragma once

#include <algorithm>
#include <cstdint>

namespace kro {

// Reads blanks, a sign and digits from [p, end); the position after the last
// digit, or nullptr (value untouched) when no digit comes.
inline const char* parseInt32(const char* p, const char* end, int32_t* value) {
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    const char* const digits = p;
    constexpr int64_t kBeyond = int64_t(INT32_MAX) + 1;  // -kBeyond is INT32_MIN
    int64_t n = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) n = std::min(n * 10 + (*p - '0'), kBeyond);
    if (p == digits) return nullptr;
    *value = int32_t(negative ? -n : std::min(n, int64_t(INT32_MAX)));
    return p;
}

}  // namespace kro
