// Image description strings: the first paper name of a paper type code and
// two numbers, "A4V,1024,768", built for the host and read back.
#include "ids/description.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/image.h"
#include "core/number.h"
#include "paper/paper.h"

namespace {

using kro::fail;

// Two commas, two numbers of up to 11 characters ("-2147483648") and the NUL.
constexpr size_t kNumbersRoom = 2 + 2 * 11 + 1;

// A decimal number as "%d" reads it. Moves p past it.
bool scanNumber(const char** p, int32_t* value) {
    const char* end = kro::parseInt32(*p, *p + std::strlen(*p), value);
    if (!end) return false;
    *p = end;
    return true;
}

// Splits "name,first,second" as "%[^,],%d,%d" does; the number of fields read.
int splitDescription(const char* text, char* name, int32_t* first, int32_t* second) {
    size_t n = std::strcspn(text, ",");
    if (n == 0) return 0;
    std::memcpy(name, text, n);
    name[n] = '\0';
    const char* p = text + n;
    if (*p != ',') return 1;
    ++p;
    if (!scanNumber(&p, first)) return 1;
    if (*p != ',') return 2;
    ++p;
    if (!scanNumber(&p, second)) return 2;
    return 3;
}

// The paper type a description names, and its numbers; 0 or a status code.
int32_t readDescription(const char* text, int32_t* paper, int32_t* first, int32_t* second) {
    if (!text || !first || !second) return KRO_ERR_NULL;
    char* name = static_cast<char*>(FndUtMalloc(std::strlen(text) + 1, __FILE__, __LINE__));
    if (!name) return KRO_ERR_NOMEM;

    int32_t a = -1, b = -1;
    const int fields = splitDescription(text, name, &a, &b);
    *paper = 0;
    if (fields == 1 || fields == 3) {
        *first = fields == 3 ? a : -1;
        *second = fields == 3 ? b : -1;
        *paper = kro::findPaperName(name);
    }
    FndUtFree(name, __FILE__, __LINE__);
    return *paper != 0 ? 0 : KRO_ERR_DESCRIPTION;
}

}  // namespace

namespace kro {

int32_t ReadImageDescriptionString(const char* text, int32_t* first, int32_t* second) {
    int32_t paper = 0;
    const int32_t code = readDescription(text, &paper, first, second);
    return code ? fail(code) : paper;
}

}  // namespace kro

extern "C" KRO_API char* KroMakeImageDescriptionString(int32_t papertype, int32_t first,
                                                       int32_t second) {
    const char* name = kro::paperFirstName(papertype);
    if (!name) {
        fail(KRO_ERR_PAPER);
        return static_cast<char*>(KRO_FAILED_PTR);
    }
    size_t size = std::strlen(name) + kNumbersRoom;
    char* text = static_cast<char*>(FndUtMalloc(size, __FILE__, __LINE__));
    if (!text) {
        fail(KRO_ERR_NOMEM);
        return static_cast<char*>(KRO_FAILED_PTR);
    }
    std::snprintf(text, size, "%s,%d,%d", name, int(first), int(second));
    return text;
}
