#include "test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "media/base/loader.h"

namespace vidora::test {

TTempFolder::TTempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vidora-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  FPath = pattern;
}

TTempFolder::~TTempFolder() {
  std::error_code error;
  std::filesystem::remove_all(FPath, error);
}

std::filesystem::path SystemLibraryPath(const std::string& fileName) {
  for (const char* folder : {"/lib/x86_64-linux-gnu", "/usr/lib/x86_64-linux-gnu", "/lib/aarch64-linux-gnu",
                             "/usr/lib/aarch64-linux-gnu", "/usr/lib64", "/usr/lib", "/lib"}) {
    std::filesystem::path path = std::filesystem::path(folder) / fileName;
    if (std::filesystem::exists(path)) return std::filesystem::canonical(path);
  }
  return {};
}

void LoadMediaLibraries() {
  TFFLoader& loader = FFLoader();
  loader.SetLibraryPath("");
  ASSERT_TRUE(loader.Load(EncoderLibraries)) << loader.LastErrMsg();
}

std::string CommandOutput(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  char buffer[4096];
  while (size_t count = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, count);
  pclose(pipe);
  return output;
}

std::string StreamSummary(const std::filesystem::path& file) {
  return CommandOutput("ffprobe -v error -show_entries stream=codec_name,width,height,sample_rate,channels "
                       "-of csv=p=0 '" + file.string() + "'");
}

}  // namespace vidora::test
