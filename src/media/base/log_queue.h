// Log lines of other threads on their way to the main thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "logger.h"

namespace vidora {

struct TLogLine {
  const void* Sender;
  uint32_t ThreadID;
  TLogLevel Level;
  std::string Message;
};

// Adding never waits for the main thread, so the logger may be called under
// any lock, even from the sound callback. The queue is bounded: a main thread
// that cannot keep up costs lines, which are counted, never memory or time.
class TLogQueue {
 public:
  static constexpr size_t Capacity = 1000;

  // Queues the line, or only counts it when the queue is full. True when the
  // queue was empty: the caller then asks the main thread to take it.
  bool Add(TLogLine line);
  // The queued lines, oldest first; `leftOut` is how many were only counted.
  std::vector<TLogLine> Take(int& leftOut);

 private:
  std::mutex FLock;  // guards what follows
  std::vector<TLogLine> FLines;
  int FLeftOut = 0;
};

}  // namespace vidora
