// The main-thread hand-over of the window: a blocking queued call into the
// GUI thread, a direct call when already on it.
#pragma once

#include <QObject>

#include "media/base/main_thread.h"

namespace vidora::app {

class TQtMainThreadHandOver : public QObject, public IMainThreadHandOver {
  Q_OBJECT

 public:
  TQtMainThreadHandOver();  // on the GUI thread
  bool IsMainThread() const override;
  void RunAndWait(const std::function<void()>& call) override;
  void Post(std::function<void()> call) override;
  // Runs the calls waiting for the GUI thread, but no user input: a click
  // must not start something new while the window waits for a worker.
  void ProcessPendingCalls() override;
};

}  // namespace vidora::app
