#include "media/engine/output_queue.h"

#include "media/base/bindings.h"

namespace vidora {

void TSubtitleFree::operator()(AVSubtitle* subtitle) const {
  avcodec.avsubtitle_free(subtitle);
  delete subtitle;
}

void TOutputQueue::Put(TOutputJob job) {
  bool picture = IsPicture(job);
  std::unique_lock lock(FLock);
  FChanged.wait(lock, [&] { return FAbandoned || (FJobs.size() < MaxJobs && (!picture || FPictures < MaxPictures)); });
  if (FAbandoned) return;
  FJobs.push_back(std::move(job));
  FPictures += picture;
  lock.unlock();
  FChanged.notify_all();
}

std::optional<TOutputJob> TOutputQueue::Take() {
  std::unique_lock lock(FLock);
  FChanged.wait(lock, [&] { return FClosed || !FJobs.empty(); });
  if (FJobs.empty()) return std::nullopt;
  TOutputJob job = std::move(FJobs.front());
  FJobs.pop_front();
  FPictures -= IsPicture(job);
  lock.unlock();
  FChanged.notify_all();
  return job;
}

void TOutputQueue::Close(std::exception_ptr failure) {
  {
    std::lock_guard lock(FLock);
    FClosed = true;
    FFailure = std::move(failure);
  }
  FChanged.notify_all();
}

void TOutputQueue::Abandon() {
  std::deque<TOutputJob> dropped;
  {
    std::lock_guard lock(FLock);
    FAbandoned = true;
    dropped.swap(FJobs);
    FPictures = 0;
  }
  FChanged.notify_all();
}

bool TOutputQueue::Abandoned() const {
  std::lock_guard lock(FLock);
  return FAbandoned;
}

void TOutputQueue::RethrowFailure() const {
  std::lock_guard lock(FLock);
  if (FFailure) std::rethrow_exception(FFailure);
}

}  // namespace vidora
