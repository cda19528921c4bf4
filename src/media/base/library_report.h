// A readable account of which media libraries could be bound, and from where.
#pragma once

#include <string>

#include "libraries.h"

namespace vidora {

// "59.37.100" and the like; empty when the library is not loaded.
std::string LibraryVersionText(TLibrary lib);
// Tries to load every library and describes each: file, version, origin, or
// why it is missing; then whether the encoder and player sets are complete.
std::string LibraryReport();

}  // namespace vidora
