#include "http_test_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace vidora::test {

int ListenOnLoopback(int& port) {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listener, 8);
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return listener;
}

THttpTestServer::THttpTestServer(THandler handler) : FHandler(std::move(handler)) {
  FSocket = ListenOnLoopback(FPort);
  FThread = std::thread([this] { Serve(); });
}

THttpTestServer::~THttpTestServer() {
  FStopping = true;
  shutdown(FSocket, SHUT_RDWR);
  FThread.join();
  close(FSocket);
}

std::vector<std::string> THttpTestServer::Requests() {
  std::lock_guard lock(FLock);
  return FRequests;
}

void THttpTestServer::Serve() {
  std::vector<int> waiting;  // clients kept without an answer
  while (!FStopping) {
    pollfd listener{FSocket, POLLIN, 0};
    if (poll(&listener, 1, 100) <= 0) continue;
    int client = accept(FSocket, nullptr, nullptr);
    if (client < 0) continue;
    // The request: headers up to the blank line, then Content-Length bytes of body.
    std::string request;
    char buffer[4096];
    size_t headerEnd = std::string::npos, wanted = 0;
    while (headerEnd == std::string::npos || request.size() < headerEnd + 4 + wanted) {
      pollfd readable{client, POLLIN, 0};
      if (poll(&readable, 1, 2000) <= 0) break;
      ssize_t count = read(client, buffer, sizeof buffer);
      if (count <= 0) break;
      request.append(buffer, static_cast<size_t>(count));
      if (headerEnd == std::string::npos && (headerEnd = request.find("\r\n\r\n")) != std::string::npos) {
        size_t length = request.find("Content-Length: ");
        if (length != std::string::npos && length < headerEnd) wanted = std::strtoul(request.c_str() + length + 16, nullptr, 10);
      }
    }
    {
      std::lock_guard lock(FLock);
      FRequests.push_back(request);
    }
    size_t pathStart = request.find(' ') + 1;
    std::string answer = FHandler(request.substr(pathStart, request.find(' ', pathStart) - pathStart));
    if (answer.empty()) {
      waiting.push_back(client);
      continue;
    }
    for (size_t sent = 0; sent < answer.size();) {
      ssize_t count = send(client, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
      if (count <= 0) break;
      sent += static_cast<size_t>(count);
    }
    close(client);
  }
  for (int client : waiting) close(client);
}

}  // namespace vidora::test
