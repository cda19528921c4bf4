#pragma once

#include <filesystem>
#include <string>

namespace vidora::test {

// A fresh empty folder under the system's temporary folder, removed with the object.
class TTempFolder {
 public:
  TTempFolder();
  ~TTempFolder();
  const std::filesystem::path& Path() const { return FPath; }
  std::string Str() const { return FPath.string(); }

 private:
  std::filesystem::path FPath;
};

// Where the system keeps a shared library; empty when not found.
std::filesystem::path SystemLibraryPath(const std::string& fileName);

// Loads the libraries the tests of the helpers need, or fails the test.
void LoadMediaLibraries();

// What a shell command writes to its standard output.
std::string CommandOutput(const std::string& command);
// What ffprobe reads of a file's streams: "codec,width,height" or
// "codec,sample_rate,channels" lines.
std::string StreamSummary(const std::filesystem::path& file);

}  // namespace vidora::test
