// The process-wide loader of the media libraries.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "libraries.h"

namespace vidora {

// Why the last load failed, beside its message.
enum class TLoadFailure : uint8_t {
  lfNone,
  lfMissingFile,     // the file (or one it needs) could not be found or opened
  lfDuplicateCopy,   // another copy of a folder's library is already in the process
  lfMissingSymbol,   // an entry point of the binding table is not in the file
  lfWrongVersion,    // the file is of another major version than the headers
};

class TFFLoader {
 public:
  TFFLoader() = default;
  ~TFFLoader();
  TFFLoader(const TFFLoader&) = delete;
  TFFLoader& operator=(const TFFLoader&) = delete;

  const std::string& LastErrMsg() const { return FLastErrMsg; }
  TLoadFailure LastFailure() const { return FLastFailure; }
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

  // A component's hold on a set: Acquire loads it and counts the hold;
  // Release gives the hold back and unloads only the libraries no other
  // component still holds.
  bool Acquire(TLibraries libs);
  void Release(TLibraries libs);
  // Gives the holds back and leaves the libraries loaded.
  void Forget(TLibraries libs);

  // The file name the loader asks for, e.g. "libavcodec.so.59".
  static std::string FileName(TLibrary lib);
  static const char* Name(TLibrary lib);
  // Full path of the object that was loaded; empty when not loaded.
  std::string LoadedFrom(TLibrary lib) const;

 private:
  struct TLibraryStatus {
    void* Handle = nullptr;
    bool Fixuped = false;
    int Holds = 0;  // components that hold the library (Acquire)
    // Media libraries from LibraryPath that were loaded ahead of this one so
    // that every dependency resolves to the folder's copies.
    std::vector<void*> DepHandles;
  };

  void* OpenLibrary(TLibrary lib);
  // Opens every media library the folder holds, in dependency order, so that
  // all libraries loaded later resolve to these copies; never a second copy.
  bool PreloadFolder(const std::string& folder, TLibraryStatus& status);
  void Bind(TLibrary lib, TLibraryStatus& status);
  bool CheckVersion(TLibrary lib, const TLibraryStatus& status);
  void Fail(TLoadFailure failure, std::string message);
  // Unloads the members of the set that no component holds.
  void UnloadUnheld(TLibraries libs);
  TLibraryStatus& Status(TLibrary lib) { return FStatus[static_cast<int>(lib)]; }
  const TLibraryStatus& Status(TLibrary lib) const { return FStatus[static_cast<int>(lib)]; }

  TLibraryStatus FStatus[LibraryCount];
  std::string FLastErrMsg;
  TLoadFailure FLastFailure = TLoadFailure::lfNone;
  std::string FLibraryPath;
  bool FInstallLogger = true;
};

// The load and unload of one component's library set, through the one loader.
class TComponentLibraries {
 public:
  explicit TComponentLibraries(TLibraries libs) : FLibs(libs) {}
  // A component that ends without unloading leaves its libraries loaded, as
  // it always has, but no longer holds them.
  ~TComponentLibraries();
  TComponentLibraries(const TComponentLibraries&) = delete;
  TComponentLibraries& operator=(const TComponentLibraries&) = delete;

  bool Loaded() const;
  // From `path` first: false with the loader's message in `lastErrMsg` when it fails.
  bool Load(const std::string& path, std::string& lastErrMsg);
  // Unloads what no other component holds; the component stops its work first.
  void Unload();

 private:
  TLibraries FLibs;
  bool FHeld = false;
};

// The one loader of the process.
TFFLoader& FFLoader();

// Held around codec opening and closing and stream-information reading,
// which the libraries do not allow to run concurrently.
std::recursive_mutex& CodecLock();

}  // namespace vidora
