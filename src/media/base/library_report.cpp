#include "library_report.h"

#include "bindings.h"
#include "loader.h"
#include "text_format.h"

namespace vidora {

namespace {

std::string PackedVersionText(unsigned version) {
  return Format("%u.%u.%u", version >> 16, (version >> 8) & 0xFF, version & 0xFF);
}

std::string SetText(const char* name, TLibraries set) {
  return Format("%-8s set: %s\n", name, FFLoader().Loaded(set) ? "complete" : "INCOMPLETE");
}

}  // namespace

std::string LibraryVersionText(TLibrary lib) {
  if (!FFLoader().Loaded(lib)) return {};
  switch (lib) {
    case TLibrary::avCodec: return PackedVersionText(avcodec.avcodec_version());
    case TLibrary::avCore: return PackedVersionText(swresample.swresample_version());
    case TLibrary::avDevice: return PackedVersionText(avdevice.avdevice_version());
    case TLibrary::avFilter: return PackedVersionText(avfilter.avfilter_version());
    case TLibrary::avFormat: return PackedVersionText(avformat.avformat_version());
    case TLibrary::avUtil: return PackedVersionText(avutil.avutil_version());
    case TLibrary::swScale: return PackedVersionText(swscale.swscale_version());
    case TLibrary::myUtil: return libc.gnu_get_libc_version();
    case TLibrary::lbSDL: {
      SDL_version version{};
      sdl.SDL_GetVersion(&version);
      return Format("%d.%d.%d", version.major, version.minor, version.patch);
    }
    case TLibrary::amrNb: return "(no version)";
  }
  return {};
}

std::string LibraryReport() {
  TFFLoader& loader = FFLoader();
  std::string folder = loader.LibraryPath().empty() ? "(none)" : loader.LibraryPath();
  std::string report = "Media libraries (folder searched first: " + folder + ")\n";
  for (TLibrary lib : AllLibraries) {
    std::string fileName = TFFLoader::FileName(lib);
    if (loader.Load(lib)) {
      report += Format("  %-15s %-22s %-12s %s\n", TFFLoader::Name(lib), fileName.c_str(),
                       LibraryVersionText(lib).c_str(), loader.LoadedFrom(lib).c_str());
    } else {
      report += Format("  %-15s %-22s MISSING: %s\n", TFFLoader::Name(lib), fileName.c_str(),
                       loader.LastErrMsg().c_str());
    }
  }
  report += SetText("Encoder", EncoderLibraries);
  report += SetText("Decoder", DecoderLibraries);
  report += SetText("Player", PlayerLibraries);
  return report;
}

}  // namespace vidora
