// The public header used from C++.
#include <kro/kro.h>

#include <cstddef>

static_assert(offsetof(RsImage, codedLength) == offsetof(RsImage, validHeight) + 4);

int main() {
    unsigned char bytes[2] = {1, 2};
    KroSwabShort(bytes);
    return bytes[0] == 2 && bytes[1] == 1 ? 0 : 1;
}
