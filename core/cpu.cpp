// The one place that asks the processor what it offers.
#include "core/cpu.h"

namespace kro {

bool cpuHasSsse3() {
#if defined(__x86_64__) || defined(__i386__)
    // Static initialisers may ask before libgcc's own constructor has looked.
    static const bool has = (__builtin_cpu_init(), __builtin_cpu_supports("ssse3"));
    return has;
#else
    return false;
#endif
}

}  // namespace kro
