// The process-wide loader of the media libraries.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "libraries.h"

namespace vidora {

class TFFLoader {
 public:
  TFFLoader() = default;
  ~TFFLoader();
  TFFLoader(const TFFLoader&) = delete;
  TFFLoader& operator=(const TFFLoader&) = delete;

  const std::string& LastErrMsg() const { return FLastErrMsg; }
  // Folder to load from; empty means the system's search order.
  const std::string& LibraryPath() const { return FLibraryPath; }
  void SetLibraryPath(const std::string& path) { FLibraryPath = path; }
  // Whether binding libavutil installs the logger's library callback.
  bool InstallLogger() const { return FInstallLogger; }
  void SetInstallLogger(bool value) { FInstallLogger = value; }

  bool Load(TLibrary lib);
  bool Load(TLibraries libs);
  bool Loaded(TLibrary lib) const;
  bool Loaded(TLibraries libs) const;
  void Unload(TLibrary lib);
  void Unload(TLibraries libs);

  // The file name the loader asks for, e.g. "libavcodec.so.59".
  static std::string FileName(TLibrary lib);
  static const char* Name(TLibrary lib);
  // Full path of the object that was loaded; empty when not loaded.
  std::string LoadedFrom(TLibrary lib) const;

 private:
  struct TLibraryStatus {
    void* Handle = nullptr;
    bool Fixuped = false;
    // Media libraries from LibraryPath that were loaded ahead of this one so
    // that every dependency resolves to the folder's copies.
    std::vector<void*> DepHandles;
  };

  void* OpenLibrary(TLibrary lib);
  // Opens every media library the folder holds, in dependency order, so that
  // all libraries loaded later resolve to these copies; never a second copy.
  bool PreloadFolder(const std::string& folder, TLibraryStatus& status);
  void Bind(TLibrary lib, TLibraryStatus& status);
  TLibraryStatus& Status(TLibrary lib) { return FStatus[static_cast<int>(lib)]; }
  const TLibraryStatus& Status(TLibrary lib) const { return FStatus[static_cast<int>(lib)]; }

  TLibraryStatus FStatus[LibraryCount];
  std::string FLastErrMsg;
  std::string FLibraryPath;
  bool FInstallLogger = true;
};

// A component's library set from `path` (first): false with the loader's
// message in `lastErrMsg` when it fails.
bool LoadComponentLibraries(TLibraries libs, const std::string& path, std::string& lastErrMsg);

// The one loader of the process.
TFFLoader& FFLoader();

// Held around codec opening and closing and stream-information reading,
// which the libraries do not allow to run concurrently.
std::recursive_mutex& CodecLock();

}  // namespace vidora
