// The shared libraries the media layer binds at run time, and sets of them.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace vidora {

// Enumeration order is the order of loading, binding and reporting.
enum class TLibrary : uint8_t {
  avCodec,
  avCore,  // libswresample: the companion library that carries sample conversion
  avDevice,
  avFilter,
  avFormat,
  avUtil,
  swScale,
  myUtil,  // the C library the media libraries were built with
  lbSDL,
  amrNb,   // AMR-NB speech encoder, loaded on demand by the engine
};

constexpr int LibraryCount = static_cast<int>(TLibrary::amrNb) + 1;

constexpr TLibrary AllLibraries[LibraryCount] = {
    TLibrary::avCodec, TLibrary::avCore, TLibrary::avDevice, TLibrary::avFilter, TLibrary::avFormat,
    TLibrary::avUtil,  TLibrary::swScale, TLibrary::myUtil,  TLibrary::lbSDL,    TLibrary::amrNb};

class TLibraries {
 public:
  constexpr TLibraries() = default;
  constexpr TLibraries(std::initializer_list<TLibrary> libs) {
    for (TLibrary lib : libs) FBits |= Bit(lib);
  }

  constexpr bool Contains(TLibrary lib) const { return (FBits & Bit(lib)) != 0; }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr bool operator==(const TLibraries&) const = default;

 private:
  static constexpr uint32_t Bit(TLibrary lib) { return 1u << static_cast<int>(lib); }
  uint32_t FBits = 0;
};

inline constexpr TLibraries EncoderLibraries{TLibrary::avCodec,  TLibrary::avCore, TLibrary::avFilter,
                                             TLibrary::avFormat, TLibrary::avUtil, TLibrary::swScale,
                                             TLibrary::myUtil};
inline constexpr TLibraries DecoderLibraries{TLibrary::avCodec, TLibrary::avCore,  TLibrary::avFormat,
                                             TLibrary::avUtil,  TLibrary::swScale, TLibrary::myUtil};
inline constexpr TLibraries PlayerLibraries{TLibrary::avCodec, TLibrary::avCore,  TLibrary::avFilter,
                                            TLibrary::avFormat, TLibrary::avUtil, TLibrary::swScale,
                                            TLibrary::myUtil,  TLibrary::lbSDL};
inline constexpr TLibraries ShutdownLibraries{
    TLibrary::avCodec, TLibrary::avCore,  TLibrary::avDevice, TLibrary::avFilter, TLibrary::avFormat,
    TLibrary::avUtil,  TLibrary::swScale, TLibrary::myUtil,   TLibrary::lbSDL,    TLibrary::amrNb};

}  // namespace vidora
