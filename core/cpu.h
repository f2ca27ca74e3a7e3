// What the processor offers beyond what the code is compiled for.
#pragma once

namespace kro {

// Whether SSSE3 (byte shuffles) may be used. Safe to ask while the library
// loads, before anything else has looked at the processor.
bool cpuHasSsse3();

}  // namespace kro
