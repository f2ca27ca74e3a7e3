// Windows: the recording device only. The Cairo device's calls are here so that
// a program links, and refuse: a Windows program draws with GDI32 instead.
#include "kro/gdi.h"

extern "C" {

KRO_GDI_API HDC KroGdiCreateDevice(int32_t, int32_t, int32_t, int32_t, const char*, uint32_t) {
    return nullptr;
}
KRO_GDI_API int32_t KroGdiFinish(HDC) {
    return -1;
}
KRO_GDI_API int32_t KroGdiNextPage(HDC, int32_t, int32_t) {
    return -1;
}
KRO_GDI_API const unsigned char* KroGdiPixels(HDC, int32_t*, int32_t*, int32_t*) {
    return nullptr;
}
KRO_GDI_API int32_t KroGdiReadRows(HDC, int32_t, unsigned char*, size_t) {
    return -1;
}
KRO_GDI_API int32_t KroGdiWritePNG(HDC, const char*) {
    return -1;
}
KRO_GDI_API int32_t KroGdiWritePNGDepth(HDC, const char*, int32_t, int32_t) {
    return -1;
}
KRO_GDI_API int32_t KroGdiWritePNGStream(HDC, FILE*, int32_t, int32_t) {
    return -1;
}
}
