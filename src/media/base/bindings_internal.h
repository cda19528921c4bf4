// Binding and unbinding of one library's table (used by the loader only).
#pragma once

#include <string>

#include "libraries.h"

namespace vidora {

// Resolves every entry point of the library's table from the handle; throws
// std::runtime_error "Load function %s@%s error: %s" at the first missing one.
void FixupLibrary(TLibrary lib, void* handle, const std::string& fileName);
// Clears every pointer of the library's table.
void UnfixLibrary(TLibrary lib);

}  // namespace vidora
