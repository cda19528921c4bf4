// The queue between the player's threads and the thread that delivers its
// events: ten entries, and a new position replaces one not yet delivered.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>

#include "media/base/event.h"

namespace vidora {

enum class TPlayEventKind : int32_t { None = 0, Position = 1, State = 2, Quit = 3 };

struct TPlayEventEntry {
  TPlayEventKind Kind = TPlayEventKind::None;
  int64_t Value = 0;
};

class TPlayEvent {
 public:
  static constexpr int Capacity = 10;

  // Appends, or overwrites the newest entry when it is of the same kind; a
  // full queue drops its oldest entry.
  void Post(TPlayEventKind kind, int64_t value);
  // The oldest entry, or kind None when the queue is empty.
  TPlayEventEntry Take();
  void Clear();
  TEvent& Signal() { return FEvent; }
  int Count() const;

 private:
  mutable std::mutex FLock;
  TEvent FEvent{false};
  std::array<TPlayEventEntry, Capacity> FEvents{};
  int FHeader = 0;  // the oldest entry
  int FCount = 0;
};

}  // namespace vidora
