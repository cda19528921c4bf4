// A small HTTP server on 127.0.0.1 for the update check's tests: it records
// each request and answers what the test's handler says (empty: never answers).
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vidora::test {

// A listening TCP socket on 127.0.0.1 at a free port, which `port` receives.
int ListenOnLoopback(int& port);

class THttpTestServer {
 public:
  // The whole answer for a request's path ("HTTP/1.0 200 OK\r\n\r\n…"); empty: keep the client waiting.
  using THandler = std::function<std::string(const std::string& path)>;
  explicit THttpTestServer(THandler handler);
  ~THttpTestServer();
  std::string Address() const { return "http://127.0.0.1:" + std::to_string(FPort); }
  // Every request as received: request line, headers and body.
  std::vector<std::string> Requests();

 private:
  void Serve();

  THandler FHandler;
  int FSocket = -1;
  int FPort = 0;
  std::atomic<bool> FStopping{false};
  std::mutex FLock;
  std::vector<std::string> FRequests;
  std::thread FThread;
};

}  // namespace vidora::test
