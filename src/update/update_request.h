// The update check's one request: an HTTP/1.0 form post on a worker thread,
// so that the window's event loop keeps running. Closing the window aborts it.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace vidora {

class TUpdateRequest {
 public:
  // The answer's body, or nothing after any failure (refused, reset, a
  // server error, 15 s without an end, an answer over 64 KiB).
  using TDone = std::function<void(bool ok, const std::string& body)>;
  static constexpr long TimeoutSeconds = 15;
  static constexpr size_t MaxAnswer = 64 * 1024;

  TUpdateRequest() = default;
  ~TUpdateRequest() { Abort(); }
  TUpdateRequest(const TUpdateRequest&) = delete;
  TUpdateRequest& operator=(const TUpdateRequest&) = delete;

  // Posts `body` to `url`; `done` runs on the worker thread when it ends.
  void Start(const std::string& url, const std::string& body, TDone done);
  // Ends a request under way and waits for its thread.
  void Abort();
  bool Running() const { return FThread.joinable(); }

 private:
  void Run(std::string url, std::string body, TDone done);

  std::thread FThread;
  std::atomic<bool> FAbort{false};
  std::mutex FLock;        // guards FMulti
  void* FMulti = nullptr;  // the transfer's multi handle while it runs, woken by Abort
};

}  // namespace vidora
