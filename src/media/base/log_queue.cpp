#include "log_queue.h"

#include <utility>

namespace vidora {

bool TLogQueue::Add(TLogLine line) {
  std::lock_guard lock(FLock);
  if (FLines.size() >= Capacity) {
    ++FLeftOut;
    return false;
  }
  FLines.push_back(std::move(line));
  return FLines.size() == 1;
}

std::vector<TLogLine> TLogQueue::Take(int& leftOut) {
  std::lock_guard lock(FLock);
  leftOut = FLeftOut;
  FLeftOut = 0;
  return std::exchange(FLines, {});
}

}  // namespace vidora
