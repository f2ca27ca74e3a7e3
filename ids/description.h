// Image description strings: "NAME,first,second" naming a paper type.
#pragma once

#include <cstdint>

namespace kro {

// The paper type code named by text, with its two numbers (both -1 when the
// text is a name alone); -1 with a status code when text is not a description.
int32_t ReadImageDescriptionString(const char* text, int32_t* first, int32_t* second);

}  // namespace kro
