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
  std::unique_lock lock(FLock);
  FJobs.push_back(job);
  FArrived.notify_one();
  FFinished.wait(lock, [&] { return job->Done; });
  if (job->Error) std::rethrow_exception(job->Error);
}

void TMainThreadQueue::Post(std::function<void()> call) {
  auto job = std::make_shared<TJob>();
  job->Call = std::move(call);
  job->Posted = true;
  std::lock_guard lock(FLock);
  FJobs.push_back(job);
  FArrived.notify_one();
}

int TMainThreadQueue::ProcessPending() {
  std::deque<std::shared_ptr<TJob>> jobs;
  {
    std::lock_guard lock(FLock);
    jobs.swap(FJobs);
  }
  std::exception_ptr postedError;
  for (auto& job : jobs) {
    try {
      job->Call();
    } catch (...) {
      job->Error = std::current_exception();
      if (job->Posted && !postedError) postedError = job->Error;
    }
    {
      std::lock_guard lock(FLock);
      job->Done = true;
    }
    FFinished.notify_all();
  }
  if (postedError) std::rethrow_exception(postedError);
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
