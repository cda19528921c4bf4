// A line that tells what the converter is busy with, printed only when the
// work takes long enough for a person to wonder.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

namespace vidora::cli {

class TSlowNotice {
 public:
  // Prints `line` to `out` if this object still exists after `delay`.
  TSlowNotice(FILE* out, std::string line, std::chrono::milliseconds delay = std::chrono::milliseconds(500));
  ~TSlowNotice();
  TSlowNotice(const TSlowNotice&) = delete;
  TSlowNotice& operator=(const TSlowNotice&) = delete;

 private:
  std::mutex FLock;
  std::condition_variable FDone;
  bool FOver = false;
  std::thread FWatcher;
};

}  // namespace vidora::cli
