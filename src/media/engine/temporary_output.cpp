#include "media/engine/temporary_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <random>

namespace vidora {

namespace {

namespace fs = std::filesystem;

constexpr const char* Prefix = ".vidora-";
constexpr const char* Suffix = ".part";
constexpr size_t RandomLength = 6;

void RemoveStaleTemporaryOutputs(const fs::path& folder) {
  std::error_code error;
  auto dayAgo = fs::file_time_type::clock::now() - std::chrono::hours(24);
  for (const fs::directory_entry& entry : fs::directory_iterator(folder.empty() ? "." : folder, error)) {
    std::error_code entryError;
    if (!IsTemporaryOutputName(entry.path().filename().string()) || !entry.is_regular_file(entryError)) continue;
    auto written = entry.last_write_time(entryError);
    if (!entryError && written < dayAgo) fs::remove(entry.path(), entryError);
  }
}

}  // namespace

bool IsTemporaryOutputName(const std::string& name) {
  const std::string prefix = Prefix, suffix = Suffix;
  return name.size() == prefix.size() + RandomLength + suffix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
         name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string CreateTemporaryOutput(const std::string& path) {
  fs::path folder = fs::path(path).parent_path();
  RemoveStaleTemporaryOutputs(folder);
  static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device seed;
  std::mt19937 random(seed());
  std::uniform_int_distribution<size_t> letter(0, sizeof Letters - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string random6;
    for (size_t i = 0; i < RandomLength; ++i) random6 += Letters[letter(random)];
    std::string name = (folder / (Prefix + random6 + Suffix)).string();
    // Made like any new file, so the finished output has the usual permissions.
    int descriptor = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0) {
      close(descriptor);
      return name;
    }
    if (errno != EEXIST) return {};
  }
  return {};
}

}  // namespace vidora
