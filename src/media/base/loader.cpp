#include "loader.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "bindings.h"
#include "bindings_internal.h"
#include "logger.h"
#include "text_format.h"

namespace vidora {

namespace {

struct TLibraryItem {
  TLibrary Lib;
  const char* Name;  // base name: "lib" + Name + ".so" [+ "." + Version]
  int Version;       // negative: no version in the file name
  const char* VersionEntry;  // the library's own version function, if it has one
};

// The versions are the majors of the headers we compile against, so a
// library of another major (another ABI) is never bound by mistake.
constexpr TLibraryItem LibraryItems[LibraryCount] = {
    {TLibrary::avCodec, "avcodec", LIBAVCODEC_VERSION_MAJOR, "avcodec_version"},
    {TLibrary::avCore, "swresample", LIBSWRESAMPLE_VERSION_MAJOR, "swresample_version"},
    {TLibrary::avDevice, "avdevice", LIBAVDEVICE_VERSION_MAJOR, "avdevice_version"},
    {TLibrary::avFilter, "avfilter", LIBAVFILTER_VERSION_MAJOR, "avfilter_version"},
    {TLibrary::avFormat, "avformat", LIBAVFORMAT_VERSION_MAJOR, "avformat_version"},
    {TLibrary::avUtil, "avutil", LIBAVUTIL_VERSION_MAJOR, "avutil_version"},
    {TLibrary::swScale, "swscale", LIBSWSCALE_VERSION_MAJOR, "swscale_version"},
    {TLibrary::myUtil, "c", 6, nullptr},
    {TLibrary::lbSDL, "SDL2-2.0", 0, nullptr},
    {TLibrary::amrNb, "opencore-amrnb", 0, nullptr},
};

// Each media library depends only on libraries before it in this order.
constexpr TLibrary DependencyOrder[] = {TLibrary::avUtil,   TLibrary::avCore,   TLibrary::swScale,
                                       TLibrary::avCodec,  TLibrary::avFormat, TLibrary::avFilter,
                                       TLibrary::avDevice};

#ifdef VIDORA_KEEP_LIBRARIES_MAPPED
// Sanitizer builds keep unloaded libraries mapped: the leak checker still reads
// the memory they own when the process ends, and the thread checker still names
// their code, by which its suppressions match.
constexpr int OpenFlags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;
#else
constexpr int OpenFlags = RTLD_NOW | RTLD_LOCAL;
#endif

const TLibraryItem& Item(TLibrary lib) { return LibraryItems[static_cast<int>(lib)]; }

std::string FolderWithDelimiter(const std::string& folder) {
  if (folder.empty() || folder.back() == '/') return folder;
  return folder + '/';
}

bool IsFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

// The file a handle was loaded from; empty for none.
std::string LoadedPath(void* handle) {
  link_map* map = nullptr;
  if (!handle || dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map) return {};
  return map->l_name;
}

std::string DlErrorText() {
  const char* text = dlerror();
  return text ? text : "unknown error";
}

}  // namespace

TFFLoader::~TFFLoader() { Unload(ShutdownLibraries); }

const char* TFFLoader::Name(TLibrary lib) { return Item(lib).Name; }

std::string TFFLoader::FileName(TLibrary lib) {
  const TLibraryItem& item = Item(lib);
  std::string name = std::string("lib") + item.Name + ".so";
  if (item.Version >= 0) name += "." + std::to_string(item.Version);
  return name;
}

std::string TFFLoader::LoadedFrom(TLibrary lib) const { return LoadedPath(Status(lib).Handle); }

void TFFLoader::Fail(TLoadFailure failure, std::string message) {
  FLastFailure = failure;
  FLastErrMsg = std::move(message);
}

bool TFFLoader::PreloadFolder(const std::string& folder, TLibraryStatus& status) {
  for (TLibrary dep : DependencyOrder) {
    std::string path = folder + FileName(dep);
    if (!IsFile(path)) continue;
    // A library already in the process under that name (the system's, pulled
    // in by another) would stand beside the folder's copy: two copies of one
    // library split its state, and the second one's log lines bypass the logger.
    if (void* loaded = dlopen(FileName(dep).c_str(), RTLD_NOW | RTLD_NOLOAD)) {
      std::string from = LoadedPath(loaded);
      dlclose(loaded);
      std::error_code error;
      if (!std::filesystem::equivalent(from, path, error)) {
        Fail(TLoadFailure::lfDuplicateCopy, Format("Load library %s error: %s is already loaded from %s",
                                                   path.c_str(), FileName(dep).c_str(), from.c_str()));
        return false;
      }
    }
    void* handle = dlopen(path.c_str(), OpenFlags);
    if (!handle) {
      Fail(TLoadFailure::lfMissingFile, Format("Load library %s error: %s", path.c_str(), DlErrorText().c_str()));
      return false;
    }
    status.DepHandles.push_back(handle);
  }
  return true;
}

void* TFFLoader::OpenLibrary(TLibrary lib) {
  TLibraryStatus& status = Status(lib);
  std::string folder = FolderWithDelimiter(FLibraryPath);
  std::string fileName = FileName(lib);
  std::string path = folder + fileName;
  // The folder's media libraries are opened by full path before any other
  // media library: the dynamic linker then resolves every dependency on them
  // (by their names) to the folder's copies instead of the system's.
  bool media = std::find(std::begin(DependencyOrder), std::end(DependencyOrder), lib) != std::end(DependencyOrder);
  if (!folder.empty() && media && !PreloadFolder(folder, status)) return nullptr;
  if (folder.empty() || !IsFile(path)) path = fileName;
  void* handle = dlopen(path.c_str(), OpenFlags);
  if (!handle)
    Fail(TLoadFailure::lfMissingFile, Format("Load library %s error: %s", path.c_str(), DlErrorText().c_str()));
  return handle;
}

bool TFFLoader::CheckVersion(TLibrary lib, const TLibraryStatus& status) {
  const TLibraryItem& item = Item(lib);
  if (!item.VersionEntry) return true;
  // A missing version function is reported by the binding, as any missing entry.
  auto version = reinterpret_cast<unsigned (*)()>(dlsym(status.Handle, item.VersionEntry));
  if (!version) return true;
  unsigned found = version();
  if (AV_VERSION_MAJOR(found) == static_cast<unsigned>(item.Version)) return true;
  Fail(TLoadFailure::lfWrongVersion,
       Format("Load library %s error: version %u.%u.%u, expected major %d", FileName(lib).c_str(),
              AV_VERSION_MAJOR(found), AV_VERSION_MINOR(found), AV_VERSION_MICRO(found), item.Version));
  return false;
}

void TFFLoader::Bind(TLibrary lib, TLibraryStatus& status) {
  if (!CheckVersion(lib, status)) return;
  try {
    FixupLibrary(lib, status.Handle, FileName(lib));
    status.Fixuped = true;
  } catch (const std::exception& error) {
    Fail(TLoadFailure::lfMissingSymbol, error.what());
  }
}

bool TFFLoader::Load(TLibrary lib) {
  TLibraryStatus& status = Status(lib);
  if (!status.Handle) {
    status.Handle = OpenLibrary(lib);
    if (!status.Handle) {
      Unload(lib);
      return false;
    }
  }
  if (!status.Fixuped) Bind(lib, status);
  if (!status.Fixuped) {
    Unload(lib);
    return false;
  }
  if (lib == TLibrary::avUtil && FInstallLogger) TFFLogger::InstallAVLogCallback();
  return true;
}

bool TFFLoader::Load(TLibraries libs) {
  for (TLibrary lib : AllLibraries) {
    if (!libs.Contains(lib)) continue;
    if (!Load(lib)) {
      UnloadUnheld(libs);
      return false;
    }
  }
  return true;
}

bool TFFLoader::Loaded(TLibrary lib) const {
  const TLibraryStatus& status = Status(lib);
  return status.Handle && status.Fixuped;
}

bool TFFLoader::Loaded(TLibraries libs) const {
  for (TLibrary lib : AllLibraries)
    if (libs.Contains(lib) && !Loaded(lib)) return false;
  return true;
}

void TFFLoader::Unload(TLibrary lib) {
  TLibraryStatus& status = Status(lib);
  status.Holds = 0;
  if (status.Fixuped || status.Handle) {
    UnfixLibrary(lib);
    status.Fixuped = false;
  }
  if (status.Handle) {
    dlclose(status.Handle);
    status.Handle = nullptr;
  }
  for (auto it = status.DepHandles.rbegin(); it != status.DepHandles.rend(); ++it) dlclose(*it);
  status.DepHandles.clear();
}

void TFFLoader::Unload(TLibraries libs) {
  for (TLibrary lib : AllLibraries)
    if (libs.Contains(lib)) Unload(lib);
}

void TFFLoader::UnloadUnheld(TLibraries libs) {
  for (TLibrary lib : AllLibraries)
    if (libs.Contains(lib) && Status(lib).Holds == 0) Unload(lib);
}

bool TFFLoader::Acquire(TLibraries libs) {
  if (!Load(libs)) return false;
  for (TLibrary lib : AllLibraries)
    if (libs.Contains(lib)) ++Status(lib).Holds;
  return true;
}

void TFFLoader::Release(TLibraries libs) {
  Forget(libs);
  UnloadUnheld(libs);
}

void TFFLoader::Forget(TLibraries libs) {
  for (TLibrary lib : AllLibraries) {
    int& holds = Status(lib).Holds;
    if (libs.Contains(lib) && holds > 0) --holds;
  }
}

TComponentLibraries::~TComponentLibraries() {
  if (FHeld) FFLoader().Forget(FLibs);
}

bool TComponentLibraries::Loaded() const { return FFLoader().Loaded(FLibs); }

bool TComponentLibraries::Load(const std::string& path, std::string& lastErrMsg) {
  if (FHeld && Loaded()) return true;
  if (FHeld) FFLoader().Forget(FLibs);
  FFLoader().SetLibraryPath(path);
  FHeld = FFLoader().Acquire(FLibs);
  if (!FHeld) lastErrMsg = FFLoader().LastErrMsg();
  return FHeld;
}

void TComponentLibraries::Unload() {
  if (!FHeld) return;
  FHeld = false;
  FFLoader().Release(FLibs);
}

TFFLoader& FFLoader() {
  static TFFLoader loader;
  return loader;
}

std::recursive_mutex& CodecLock() {
  static std::recursive_mutex lock;
  return lock;
}

}  // namespace vidora
