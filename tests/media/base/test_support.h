#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "media/base/event.h"

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

// Ends the test program when the scope is not left in time: a deadlocked
// test fails instead of hanging.
class TWatchdog {
 public:
  TWatchdog(std::chrono::seconds limit, const char* what)
      : FThread([this, limit, what] {
          if (FLeft.WaitFor(limit)) return;
          std::fprintf(stderr, "Deadlock: %s\n", what);
          std::abort();
        }) {}
  ~TWatchdog() {
    FLeft.Set();
    FThread.join();
  }

 private:
  TEvent FLeft{false};
  std::thread FThread;
};

}  // namespace vidora::test
