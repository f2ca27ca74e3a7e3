// What hosts get beyond the option functions of the original interface: the
// option-file reader, and the check of a record of their own.
#include "core/image.h"
#include "options/options.h"

extern "C" KRO_API char* KroReadOptionFile(FILE* stream) {
    return kro::kroReadOptionFile(stream);
}

extern "C" KRO_API int32_t KroCheckCOptionOf(const KroOption* options, int32_t kind) {
    if (!options) return kro::fail(KRO_ERR_NULL);
    const int32_t code = kro::checkCOption(*options, kind);
    return code ? kro::fail(code) : 0;
}
