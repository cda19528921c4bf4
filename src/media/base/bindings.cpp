#include "bindings.h"

#include <dlfcn.h>

#include <stdexcept>

#include "bindings_internal.h"
#include "text_format.h"

namespace vidora {

#define VIDORA_DEFINE_TABLE(Type, instance) Type instance;
VIDORA_DEFINE_TABLE(TAVCodecEntries, avcodec)
VIDORA_DEFINE_TABLE(TSwResampleEntries, swresample)
VIDORA_DEFINE_TABLE(TAVDeviceEntries, avdevice)
VIDORA_DEFINE_TABLE(TAVFilterEntries, avfilter)
VIDORA_DEFINE_TABLE(TAVFormatEntries, avformat)
VIDORA_DEFINE_TABLE(TAVUtilEntries, avutil)
VIDORA_DEFINE_TABLE(TSwScaleEntries, swscale)
VIDORA_DEFINE_TABLE(TLibcEntries, libc)
VIDORA_DEFINE_TABLE(TSDLEntries, sdl)
VIDORA_DEFINE_TABLE(TAMRNBEntries, amrnb)
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

#define VIDORA_BIND_ENTRY(name) BindEntry(handle, fileName, #name, table.name);

template <typename Table>
void Reset(Table& table) {
  table = Table{};
}

}  // namespace

void FixupLibrary(TLibrary lib, void* handle, const std::string& fileName) {
  switch (lib) {
#define VIDORA_FIXUP_CASE(Lib, instance, LIST) \
  case TLibrary::Lib: {                        \
    auto& table = instance;                    \
    LIST(VIDORA_BIND_ENTRY)                    \
    break;                                     \
  }
    VIDORA_FIXUP_CASE(avCodec, avcodec, VIDORA_AVCODEC_ENTRIES)
    VIDORA_FIXUP_CASE(avCore, swresample, VIDORA_SWRESAMPLE_ENTRIES)
    VIDORA_FIXUP_CASE(avDevice, avdevice, VIDORA_AVDEVICE_ENTRIES)
    VIDORA_FIXUP_CASE(avFilter, avfilter, VIDORA_AVFILTER_ENTRIES)
    VIDORA_FIXUP_CASE(avFormat, avformat, VIDORA_AVFORMAT_ENTRIES)
    VIDORA_FIXUP_CASE(avUtil, avutil, VIDORA_AVUTIL_ENTRIES)
    VIDORA_FIXUP_CASE(swScale, swscale, VIDORA_SWSCALE_ENTRIES)
    VIDORA_FIXUP_CASE(myUtil, libc, VIDORA_LIBC_ENTRIES)
    VIDORA_FIXUP_CASE(lbSDL, sdl, VIDORA_SDL_ENTRIES)
    VIDORA_FIXUP_CASE(amrNb, amrnb, VIDORA_AMRNB_ENTRIES)
#undef VIDORA_FIXUP_CASE
  }
  // Devices are registered only for a caller that asked for libavdevice.
  if (lib == TLibrary::avDevice) avdevice.avdevice_register_all();
}

void UnfixLibrary(TLibrary lib) {
  switch (lib) {
    case TLibrary::avCodec: Reset(avcodec); break;
    case TLibrary::avCore: Reset(swresample); break;
    case TLibrary::avDevice: Reset(avdevice); break;
    case TLibrary::avFilter: Reset(avfilter); break;
    case TLibrary::avFormat: Reset(avformat); break;
    case TLibrary::avUtil: Reset(avutil); break;
    case TLibrary::swScale: Reset(swscale); break;
    case TLibrary::myUtil: Reset(libc); break;
    case TLibrary::lbSDL: Reset(sdl); break;
    case TLibrary::amrNb: Reset(amrnb); break;
  }
}

}  // namespace vidora
