// Frame-hook plug-ins: shared objects that process decoded pictures in their
// native pixel format, chained in the order the "vhook" options named them.
//
// A plug-in exports, with C linkage:
//   int  Configure(void** context, int argc, char* argv[]);  // 0 on success
//   void Process(void* context, uint8_t* data[4], int linesize[4],
//                int pix_fmt, int width, int height, int64_t pts);
//   void Release(void* context);
// Process is required; Configure is required when arguments are given.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vidora {

extern "C" {
typedef int (*TFrameHookConfigureFn)(void** context, int argc, char* argv[]);
typedef void (*TFrameHookProcessFn)(void* context, uint8_t* data[4], int linesize[4], int pix_fmt, int width,
                                    int height, int64_t pts);
typedef void (*TFrameHookReleaseFn)(void* context);
}

inline constexpr int MaxFrameHookWords = 64;

struct TFrameHookEntry {
  TFrameHookConfigureFn Configure = nullptr;
  TFrameHookProcessFn Process = nullptr;
  TFrameHookReleaseFn Release = nullptr;
  void* Context = nullptr;
  // The words Configure received: a plug-in may keep pointers to them, so
  // they live, unmoved, until the entry is released.
  std::vector<std::string> Words;
  std::vector<char*> Argv;
};

class TFrameHookChain {
 public:
  ~TFrameHookChain() { Release(); }

  // Loads (once per process) the library named by the first word of the
  // option value and configures it with all the words; false when it fails,
  // the reason logged.
  bool Add(const std::string& value);
  void Process(uint8_t* data[4], int linesize[4], int pixFmt, int width, int height, int64_t pts);
  // Releases every entry; the libraries stay loaded for the life of the process.
  void Release();
  bool Empty() const { return FEntries.empty(); }
  size_t Count() const { return FEntries.size(); }

 private:
  std::vector<std::unique_ptr<TFrameHookEntry>> FEntries;  // never moved: the arguments stay where they are
};

}  // namespace vidora
