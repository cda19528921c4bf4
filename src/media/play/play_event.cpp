#include "media/play/play_event.h"

namespace vidora {

void TPlayEvent::Post(TPlayEventKind kind, int64_t value) {
  {
    std::lock_guard lock(FLock);
    int newest = (FHeader + FCount - 1) % Capacity;
    if (FCount > 0 && FEvents[newest].Kind == kind) {
      FEvents[newest].Value = value;
    } else {
      if (FCount == Capacity) {
        FHeader = (FHeader + 1) % Capacity;
        --FCount;
      }
      FEvents[(FHeader + FCount) % Capacity] = {kind, value};
      ++FCount;
    }
  }
  FEvent.Set();
}

TPlayEventEntry TPlayEvent::Take() {
  std::lock_guard lock(FLock);
  if (FCount == 0) return {};
  TPlayEventEntry entry = FEvents[FHeader];
  FHeader = (FHeader + 1) % Capacity;
  if (--FCount == 0) FEvent.Reset();
  return entry;
}

void TPlayEvent::Clear() {
  std::lock_guard lock(FLock);
  FHeader = FCount = 0;
  FEvent.Reset();
}

int TPlayEvent::Count() const {
  std::lock_guard lock(FLock);
  return FCount;
}

}  // namespace vidora
