#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "http_test_server.h"
#include "update/update_request.h"
#include "update/update_rules.h"

namespace vidora {
namespace {

using test::THttpTestServer;

TEST(UpdateRules, OncePerDayOfTheMonth) {
  double february5 = 45693.5, march5 = 45721.4, march6 = 45722.1;  // 2025  // days since 1899-12-30
  EXPECT_FALSE(UpdateCheckDue(std::nullopt, march5)) << "the first start sends nothing";
  EXPECT_FALSE(UpdateCheckDue(0.0, march5));
  EXPECT_FALSE(UpdateCheckDue(february5, march5)) << "the same day of the month, a month later";
  EXPECT_TRUE(UpdateCheckDue(march5, march6));
  EXPECT_EQ(DecodeLastStart(EncodeLastStart(march5)), march5);
  EXPECT_EQ(EncodeLastStart(1.0), std::string("\0\0\0\0\0\0\xF0\x3F", 8)) << "little-endian double";
  EXPECT_EQ(DecodeLastStart("short"), std::nullopt);
  EXPECT_EQ(UpdateCheckBody("1.2"), "prg=VidoraTo3GP&ver=1.2");
}

TEST(UpdateRules, OnlyAWebAddressOfTheAnswerIsOpened) {
  EXPECT_EQ(AddressInAnswer("news\r\nOpenWWW=https://example.invalid/new?v=2\r\n \r\n"), "https://example.invalid/new?v=2");
  EXPECT_EQ(AddressInAnswer("OpenWWW=http://a.invalid/OpenWWW=x"), "http://a.invalid/OpenWWW=x") << "the first marker";
  EXPECT_EQ(AddressInAnswer("nothing new"), std::nullopt);
  std::string longAddress = "http://example.invalid/" + std::string(1200, 'a');
  EXPECT_EQ(AddressInAnswer("OpenWWW=" + longAddress), longAddress.substr(0, 1000));
  for (const char* refused : {"OpenWWW=file:///etc/passwd", "OpenWWW=javascript:alert(1)", "OpenWWW=/etc/passwd",
                              "OpenWWW=xterm -e sh", "OpenWWW=http://", "OpenWWW=http:///etc/passwd",
                              "OpenWWW=http://a.invalid/\x01x", "OpenWWW="})
    EXPECT_EQ(AddressInAnswer(refused), std::nullopt) << refused;
}

// Runs one request to the end; the body, or nothing after a failure.
std::optional<std::string> Post(const std::string& url) {
  TUpdateRequest request;
  std::atomic<bool> ended{false};
  std::optional<std::string> result;
  request.Start(url, UpdateCheckBody("1.2"), [&](bool ok, const std::string& body) {
    if (ok) result = body;
    ended = true;
  });
  for (int i = 0; i < 2000 && !ended; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_TRUE(ended) << url;
  return result;
}

TEST(UpdateRequest, ThePostAsTheServerSeesIt) {
  THttpTestServer server([](const std::string&) { return "HTTP/1.0 200 OK\r\n\r\nOpenWWW=http://a.invalid/\r\n"; });
  TUpdateRequest request;
  std::optional<std::string> body;
  request.Start(server.Address() + UpdateCheckPath, UpdateCheckBody("1.2"),
                [&](bool ok, const std::string& answer) { body = ok ? answer : "failed"; });
  while (!body) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(*body, "OpenWWW=http://a.invalid/\r\n");
  std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const std::string& seen = requests[0];
  EXPECT_EQ(seen.substr(0, seen.find("\r\n")), "POST /LiveUpdate/check.php HTTP/1.0");
  EXPECT_NE(seen.find("\r\nUser-Agent: Mozilla/4.0 (compatible; ICS)\r\n"), std::string::npos) << seen;
  EXPECT_NE(seen.find("\r\nAccept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"), std::string::npos);
  EXPECT_NE(seen.find("\r\nContent-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);
  EXPECT_EQ(seen.substr(seen.find("\r\n\r\n") + 4), "prg=VidoraTo3GP&ver=1.2");
}

TEST(UpdateRequest, FiveRedirectsAreFollowedAndSixAreNot) {
  // "/r/N" sends on to "/r/N-1"; "/r/0" answers.
  THttpTestServer server([](const std::string& path) -> std::string {
    int left = std::stoi(path.substr(3));
    if (left == 0) return "HTTP/1.0 200 OK\r\n\r\nOpenWWW=http://end.invalid/";
    return "HTTP/1.0 302 Found\r\nLocation: /r/" + std::to_string(left - 1) + "\r\n\r\n";
  });
  EXPECT_EQ(Post(server.Address() + "/r/5"), "OpenWWW=http://end.invalid/");
  EXPECT_EQ(Post(server.Address() + "/r/6"), std::nullopt);
}

TEST(UpdateRequest, FailuresEndSilently) {
  THttpTestServer server([](const std::string& path) -> std::string {
    if (path == "/error") return "HTTP/1.0 500 Internal Server Error\r\n\r\nOpenWWW=http://a.invalid/";
    return "HTTP/1.0 200 OK\r\n\r\n" + std::string(TUpdateRequest::MaxAnswer + 1, 'x');
  });
  EXPECT_EQ(Post(server.Address() + "/error"), std::nullopt);
  EXPECT_EQ(Post(server.Address() + "/huge"), std::nullopt);
  EXPECT_EQ(Post("http://127.0.0.1:1/refused"), std::nullopt);
}

TEST(UpdateRequest, AbortEndsARequestTheServerNeverAnswers) {
  THttpTestServer server([](const std::string&) { return std::string(); });
  TUpdateRequest request;
  bool called = false;
  request.Start(server.Address() + UpdateCheckPath, UpdateCheckBody("1.2"), [&](bool ok, const std::string&) {
    called = !ok;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  auto start = std::chrono::steady_clock::now();
  request.Abort();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_TRUE(called) << "the request ends as a failure";
}

}  // namespace
}  // namespace vidora
