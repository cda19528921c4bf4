// Progress on the terminal: a bar that redraws itself, or plain lines.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace vidora::cli {

class TProgressDisplay {
 public:
  explicit TProgressDisplay(FILE* out);
  // current and total output time in µs (total -1 when unknown).
  void Show(const std::string& name, int64_t current, int64_t total);
  void Finish();
  // "[#####-----]  42%  00:05 elapsed, 00:07 left, 3.1x" for tests too.
  static std::string Line(const std::string& name, int64_t current, int64_t total, double elapsedSeconds);

 private:
  FILE* FOut;
  bool FTerminal;
  bool FDrawn = false;
  std::chrono::steady_clock::time_point FStart;
};

}  // namespace vidora::cli
