#include "slow_notice.h"

namespace vidora::cli {

TSlowNotice::TSlowNotice(FILE* out, std::string line, std::chrono::milliseconds delay)
    : FWatcher([this, out, line = std::move(line), delay] {
        std::unique_lock lock(FLock);
        if (!FDone.wait_for(lock, delay, [this] { return FOver; })) std::fprintf(out, "%s\n", line.c_str());
      }) {}

TSlowNotice::~TSlowNotice() {
  {
    std::lock_guard lock(FLock);
    FOver = true;
  }
  FDone.notify_one();
  FWatcher.join();
}

}  // namespace vidora::cli
