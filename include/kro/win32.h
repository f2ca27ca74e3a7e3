/* <windows.h> as KRO includes it on Windows: lean, without the min and max
 * macros, and without the 16-bit pointer words near and far, which would take
 * ordinary names. Nothing on other systems. */
#ifndef KRO_WIN32_H
#define KRO_WIN32_H

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#undef near
#undef far
#endif

#endif
