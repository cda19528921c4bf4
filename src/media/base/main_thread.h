// Handing a call over to the host's main thread, waiting for it or not.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace vidora {

// Installed by the host: Qt's blocking queued call in the GUI, a main-thread
// queue in the command-line tool. Without one, calls run directly.
class IMainThreadHandOver {
 public:
  virtual ~IMainThreadHandOver() = default;
  virtual bool IsMainThread() const = 0;
  // Runs the call on the main thread and returns when it has finished; an
  // exception thrown by the call is rethrown to the waiting thread.
  virtual void RunAndWait(const std::function<void()>& call) = 0;
  // Queues the call for the main thread and returns at once, from any thread;
  // nobody waits for it, so an exception it throws goes no further.
  virtual void Post(std::function<void()> call) = 0;
  // Runs the calls other threads are waiting for; called on the main thread
  // while it waits for a worker that may be handing calls over.
  virtual void ProcessPendingCalls() {}
};

void SetMainThreadHandOver(IMainThreadHandOver* handOver);
IMainThreadHandOver* MainThreadHandOver();

// True on the host's main thread, and everywhere when no host is installed.
bool IsMainThread();
// Calls directly on the main thread, otherwise hands over and waits.
void RunInMainThread(const std::function<void()>& call);
// Runs the call on the main thread later; at once when no host is installed.
void PostToMainThread(std::function<void()> call);
// On the main thread, runs the calls workers are waiting for; elsewhere nothing.
void ProcessPendingCalls();

// A queue the main thread drains between its own work: the hand-over of a
// host without a toolkit event loop (the command-line tool, tests).
class TMainThreadQueue : public IMainThreadHandOver {
 public:
  TMainThreadQueue();  // the constructing thread is the main thread
  bool IsMainThread() const override;
  void RunAndWait(const std::function<void()>& call) override;
  void Post(std::function<void()> call) override;

  // Runs every call waiting now; returns how many ran.
  int ProcessPending();
  void ProcessPendingCalls() override { ProcessPending(); }
  // Waits up to the timeout for a call to arrive, then runs what is waiting.
  int WaitAndProcess(std::chrono::milliseconds timeout);

 protected:
  // Called on the handing thread, with nothing held, after a call was queued:
  // a host with an event loop wakes it here.
  virtual void Arrived() {}

 private:
  struct TJob {
    std::function<void()> Call;
    std::exception_ptr Error;
    bool Done = false;
  };
  void Queue(std::shared_ptr<TJob> job);

  std::thread::id FMainThread;
  std::mutex FLock;
  std::condition_variable FArrived;
  std::condition_variable FFinished;
  std::deque<std::shared_ptr<TJob>> FJobs;
};

}  // namespace vidora
