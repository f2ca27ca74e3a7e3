// Fuzz target: image description strings. Any text the reader accepts must
// write back out and read back as the same paper type and numbers.
// Bad samples: desc-*
// Max length: 256
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ids/description.h"
#include "kro/fnd.h"
#include "kro/kro.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);  // ends at its first NUL
    int32_t first = 0, second = 0;
    fndErrorStatus = 0;
    const int32_t code = kro::ReadImageDescriptionString(text.c_str(), &first, &second);
    if (code == -1) {
        if (fndErrorStatus != KRO_ERR_DESCRIPTION) std::abort();
        return 0;
    }
    char* made = KroMakeImageDescriptionString(code, first, second);
    if (made == KRO_FAILED_PTR) std::abort();
    int32_t again1 = 0, again2 = 0;
    if (kro::ReadImageDescriptionString(made, &again1, &again2) != code || again1 != first ||
        again2 != second)
        std::abort();
    FndUtFree(made, __FILE__, __LINE__);
    return 0;
}
