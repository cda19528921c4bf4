#include "bindings.h"

#include <dlfcn.h>

#include <stdexcept>

#include "bindings_internal.h"
#include "text_format.h"

namespace vidora {

#define VIDORA_DEFINE_TABLE(Lib, Type, instance, LIST) Type instance;
VIDORA_LIBRARY_TABLES(VIDORA_DEFINE_TABLE)
#undef VIDORA_DEFINE_TABLE

namespace {

template <typename Fn>
void BindEntry(void* handle, const std::string& fileName, const char* name, Fn& slot) {
  dlerror();
  void* address = dlsym(handle, name);
  slot = reinterpret_cast<Fn>(address);
  if (!address) {
    const char* reason = dlerror();
    throw std::runtime_error(
        Format("Load function %s@%s error: %s", name, fileName.c_str(), reason ? reason : "not found"));
  }
}

}  // namespace

void FixupLibrary(TLibrary lib, void* handle, const std::string& fileName) {
#define VIDORA_BIND_ENTRY(name) BindEntry(handle, fileName, #name, table.name);
#define VIDORA_FIXUP_CASE(Lib, Type, instance, LIST) \
  case TLibrary::Lib: {                              \
    auto& table = instance;                          \
    LIST(VIDORA_BIND_ENTRY)                          \
    break;                                           \
  }
  switch (lib) { VIDORA_LIBRARY_TABLES(VIDORA_FIXUP_CASE) }
#undef VIDORA_FIXUP_CASE
#undef VIDORA_BIND_ENTRY
  // Devices are registered only for a caller that asked for libavdevice.
  if (lib == TLibrary::avDevice) avdevice.avdevice_register_all();
}

void UnfixLibrary(TLibrary lib) {
#define VIDORA_UNFIX_CASE(Lib, Type, instance, LIST) \
  case TLibrary::Lib:                                \
    instance = Type{};                               \
    break;
  switch (lib) { VIDORA_LIBRARY_TABLES(VIDORA_UNFIX_CASE) }
#undef VIDORA_UNFIX_CASE
}

}  // namespace vidora
