// Delivering the player's events: states and positions go through the play
// event queue to a thread of their own, and from there to the host.
#include "media/base/main_thread.h"
#include "media/play/player.h"

namespace vidora {

void TCustomPlayer::PostState(TPlayState state) {
  FState = state;
  if (FOnPlayState)
    FPlayEvent.Post(TPlayEventKind::State, static_cast<int64_t>(state));
  else if (state == TPlayState::psStop)
    FPlayEvent.Post(TPlayEventKind::Quit, 0);
}

void TCustomPlayer::StartEventThread() {
  StopEventThread();
  FPlayEvent.Clear();
  FEventThreadTerminated = false;
  FEventThreadEnded.Reset();
  FEventThread = std::thread([this] {
    EventLoop();
    FEventThreadEnded.Set();
  });
}

void TCustomPlayer::StopEventThread() {
  if (!FEventThread.joinable()) return;
  // The thread ends by itself after the last run's stop; it may be handing that
  // event to this very thread, so keep serving hand-overs while waiting.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!FEventThreadEnded.WaitFor(std::chrono::milliseconds(5)) && std::chrono::steady_clock::now() < deadline)
    ProcessPendingCalls();
  FEventThreadTerminated = true;
  FPlayEvent.Signal().Set();
  while (!FEventThreadEnded.WaitFor(std::chrono::milliseconds(5))) ProcessPendingCalls();
  FEventThread.join();
}

void TCustomPlayer::EventLoop() {
  while (!FEventThreadTerminated) {
    TPlayEventEntry entry = FPlayEvent.Take();
    if (entry.Kind == TPlayEventKind::Position) {
      int64_t pts = entry.Value;
      // The handler is looked at where it runs: the host may have let go of it meanwhile.
      if (FOnPosition && !FDestroying) Deliver([&] {
        if (FOnPosition && !FDestroying) FOnPosition(this, pts);
      });
    } else if (entry.Kind == TPlayEventKind::State) {
      auto state = static_cast<TPlayState>(entry.Value);
      if (FOnPlayState) Deliver([&] {
        if (FOnPlayState) FOnPlayState(this, state);
      });
      if (state == TPlayState::psStop) return;
    } else if (entry.Kind == TPlayEventKind::Quit) {
      return;
    } else {
      FPlayEvent.Signal().WaitFor(std::chrono::milliseconds(100));
    }
  }
}

}  // namespace vidora
