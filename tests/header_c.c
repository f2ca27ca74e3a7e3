/* The public header used from C11: the record layout and a call through the library. */
#include <kro/kro.h>
#include <stddef.h>

_Static_assert(sizeof(int32_t) == 4, "int32_t");
_Static_assert(offsetof(RsImage, depth) == 16, "RsImage.depth");

int main(void) {
    RsImage image = {0};
    unsigned char palette[KRO_PALETTE_SIZE];
    if (KroRsImageToBMP(NULL, &image, 0, 0, 0, palette) != -1) return 1;
    return fndErrorStatus == KRO_ERR_NULL ? 0 : 1;
}
