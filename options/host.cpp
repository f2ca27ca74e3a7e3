// The option-file reader, exported for hosts under a name of its own.
#include "options/options.h"

extern "C" KRO_API char* KroReadOptionFile(FILE* stream) {
    return kro::kroReadOptionFile(stream);
}
