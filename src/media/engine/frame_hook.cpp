#include "media/engine/frame_hook.h"

#include <dlfcn.h>

#include <map>
#include <mutex>
#include <sstream>

#include "media/base/bindings.h"

namespace vidora {

namespace {

std::vector<std::string> SplitWords(const std::string& value) {
  char separator = value.find('|') != std::string::npos ? '|' : ' ';
  std::vector<std::string> words;
  std::string word;
  std::istringstream stream(value);
  while (std::getline(stream, word, separator))
    if (!word.empty()) words.push_back(word);
  return words;
}

// Each plug-in library is loaded once and kept until the program ends.
void* LoadHookLibrary(const std::string& file) {
  static std::mutex lock;
  static std::map<std::string, void*> loaded;
  std::lock_guard guard(lock);
  auto known = loaded.find(file);
  if (known != loaded.end()) return known->second;
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* reason = dlerror();
    avutil.av_log(nullptr, AV_LOG_ERROR, "%s\n", reason ? reason : file.c_str());
    return nullptr;
  }
  loaded.emplace(file, handle);
  return handle;
}

}  // namespace

bool TFrameHookChain::Add(const std::string& value) {
  auto entry = std::make_unique<TFrameHookEntry>();
  entry->Words = SplitWords(value);
  const std::vector<std::string>& words = entry->Words;
  if (words.empty()) return false;
  if (static_cast<int>(words.size()) > MaxFrameHookWords) {
    avutil.av_log(nullptr, AV_LOG_ERROR, "A frame hook takes at most %d words\n", MaxFrameHookWords);
    return false;
  }
  void* library = LoadHookLibrary(words[0]);
  if (!library) return false;

  entry->Configure = reinterpret_cast<TFrameHookConfigureFn>(dlsym(library, "Configure"));
  entry->Process = reinterpret_cast<TFrameHookProcessFn>(dlsym(library, "Process"));
  entry->Release = reinterpret_cast<TFrameHookReleaseFn>(dlsym(library, "Release"));
  const char* file = words[0].c_str();
  if (!entry->Process) {
    avutil.av_log(nullptr, AV_LOG_ERROR, "Failed to find Process entrypoint in %s\n", file);
    return false;
  }
  if (!entry->Configure && words.size() > 1) {
    avutil.av_log(nullptr, AV_LOG_ERROR, "Failed to find Configure entrypoint in %s\n", file);
    return false;
  }
  if (entry->Configure) {
    for (std::string& word : entry->Words) entry->Argv.push_back(word.data());
    entry->Argv.push_back(nullptr);
    if (entry->Configure(&entry->Context, static_cast<int>(words.size()), entry->Argv.data()) != 0) {
      avutil.av_log(nullptr, AV_LOG_ERROR, "Failed to Configure %s\n", file);
      return false;
    }
  }
  FEntries.push_back(std::move(entry));
  return true;
}

void TFrameHookChain::Process(uint8_t* data[4], int linesize[4], int pixFmt, int width, int height, int64_t pts) {
  for (auto& entry : FEntries) entry->Process(entry->Context, data, linesize, pixFmt, width, height, pts);
}

void TFrameHookChain::Release() {
  for (auto& entry : FEntries)
    if (entry->Release) entry->Release(entry->Context);
  FEntries.clear();
}

}  // namespace vidora
