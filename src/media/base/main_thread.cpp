#include "main_thread.h"

#include <atomic>

namespace vidora {

namespace {
std::atomic<IMainThreadHandOver*> CurrentHandOver{nullptr};
}

void SetMainThreadHandOver(IMainThreadHandOver* handOver) { CurrentHandOver = handOver; }

IMainThreadHandOver* MainThreadHandOver() { return CurrentHandOver; }

bool IsMainThread() {
  IMainThreadHandOver* handOver = CurrentHandOver;
  return !handOver || handOver->IsMainThread();
}

void RunInMainThread(const std::function<void()>& call) {
  IMainThreadHandOver* handOver = CurrentHandOver;
  if (!handOver || handOver->IsMainThread())
    call();
  else
    handOver->RunAndWait(call);
}

void PostToMainThread(std::function<void()> call) {
  IMainThreadHandOver* handOver = CurrentHandOver;
  if (handOver)
    handOver->Post(std::move(call));
  else
    call();
}

void ProcessPendingCalls() {
  IMainThreadHandOver* handOver = CurrentHandOver;
  if (handOver && handOver->IsMainThread()) handOver->ProcessPendingCalls();
}

TMainThreadQueue::TMainThreadQueue() : FMainThread(std::this_thread::get_id()) {}

bool TMainThreadQueue::IsMainThread() const { return std::this_thread::get_id() == FMainThread; }

void TMainThreadQueue::RunAndWait(const std::function<void()>& call) {
  if (IsMainThread()) {
    call();
    return;
  }
  auto job = std::make_shared<TJob>();
  job->Call = call;
  Queue(job);
  std::unique_lock lock(FLock);
  FFinished.wait(lock, [&] { return job->Done; });
  if (job->Error) std::rethrow_exception(job->Error);
}

void TMainThreadQueue::Post(std::function<void()> call) {
  auto job = std::make_shared<TJob>();
  job->Call = std::move(call);
  Queue(std::move(job));
}

void TMainThreadQueue::Queue(std::shared_ptr<TJob> job) {
  {
    std::lock_guard lock(FLock);
    FJobs.push_back(std::move(job));
  }
  FArrived.notify_one();
  Arrived();
}

int TMainThreadQueue::ProcessPending() {
  std::deque<std::shared_ptr<TJob>> jobs;
  {
    std::lock_guard lock(FLock);
    jobs.swap(FJobs);
  }
  for (auto& job : jobs) {
    try {
      job->Call();
    } catch (...) {
      job->Error = std::current_exception();
    }
    {
      std::lock_guard lock(FLock);
      job->Done = true;
    }
    FFinished.notify_all();
  }
  return static_cast<int>(jobs.size());
}

int TMainThreadQueue::WaitAndProcess(std::chrono::milliseconds timeout) {
  {
    std::unique_lock lock(FLock);
    FArrived.wait_for(lock, timeout, [&] { return !FJobs.empty(); });
  }
  return ProcessPending();
}

}  // namespace vidora
