// The main-thread hand-over of the window: calls for the GUI thread wait in
// our own queue, and a file descriptor wakes the GUI thread's event loop.
#pragma once

#include <memory>

#include "media/base/main_thread.h"

class QSocketNotifier;

namespace vidora::app {

// Only the wake-up goes through the toolkit: what is handed over, and the
// answer waited for, pass our own locks, which the thread checkers see.
class TQtMainThreadHandOver : public TMainThreadQueue {
 public:
  TQtMainThreadHandOver();  // on the GUI thread, with the application made
  ~TQtMainThreadHandOver() override;
  TQtMainThreadHandOver(const TQtMainThreadHandOver&) = delete;
  TQtMainThreadHandOver& operator=(const TQtMainThreadHandOver&) = delete;

  // Runs the calls waiting for the GUI thread, but no user input: a click
  // must not start something new while the window waits for a worker.
  void ProcessPendingCalls() override;

 protected:
  void Arrived() override;

 private:
  int FWake;  // an eventfd: readable while calls are waiting
  std::unique_ptr<QSocketNotifier> FNotifier;
};

}  // namespace vidora::app
