#include "update/update_request.h"

#include <curl/curl.h>

#include <memory>

namespace vidora {

namespace {

struct TAnswer {
  std::string Body;
  bool TooLong = false;
};

size_t Collect(char* data, size_t size, size_t count, void* answer) {
  auto* collected = static_cast<TAnswer*>(answer);
  if (collected->Body.size() + size * count > TUpdateRequest::MaxAnswer) {
    collected->TooLong = true;
    return 0;  // ends the transfer
  }
  collected->Body.append(data, size * count);
  return size * count;
}

// CURL and CURLM are both void: a deleter each.
struct TEasyFree {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct TMultiFree {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct TListFree {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

}  // namespace

void TUpdateRequest::Start(const std::string& url, const std::string& body, TDone done) {
  Abort();
  FAbort = false;
  FThread = std::thread(&TUpdateRequest::Run, this, url, body, std::move(done));
}

void TUpdateRequest::Abort() {
  FAbort = true;
  {
    std::lock_guard lock(FLock);
    if (FMulti) curl_multi_wakeup(static_cast<CURLM*>(FMulti));
  }
  if (FThread.joinable()) FThread.join();
}

void TUpdateRequest::Run(std::string url, std::string body, TDone done) {
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  std::unique_ptr<CURL, TEasyFree> curl(initialised ? curl_easy_init() : nullptr);
  std::unique_ptr<CURLM, TMultiFree> multi(initialised ? curl_multi_init() : nullptr);
  if (!curl || !multi) {
    done(false, {});
    return;
  }
  std::unique_ptr<curl_slist, TListFree> headers(
      curl_slist_append(nullptr, "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*"));
  TAnswer answer;
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
  curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.c_str());
  curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(c, CURLOPT_USERAGENT, "Mozilla/4.0 (compatible; ICS)");
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_PROXY, "");  // no proxy, whatever the environment says
  curl_easy_setopt(c, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(c, CURLOPT_TIMEOUT, TimeoutSeconds);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);  // a server error is a failure
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &answer);
  curl_multi_add_handle(multi.get(), c);
  {
    std::lock_guard lock(FLock);
    FMulti = multi.get();
  }
  // The transfer runs until it ends or Abort wakes the wait.
  int running = 1;
  while (running && !FAbort) {
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) break;
    if (running) curl_multi_poll(multi.get(), nullptr, 0, 1000, nullptr);
  }
  CURLcode result = CURLE_ABORTED_BY_CALLBACK;
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi.get(), &left))
    if (message->msg == CURLMSG_DONE) result = message->data.result;
  {
    std::lock_guard lock(FLock);
    FMulti = nullptr;
  }
  curl_multi_remove_handle(multi.get(), c);
  bool ok = result == CURLE_OK && !answer.TooLong && !FAbort;
  done(ok, ok ? answer.Body : std::string());
}

}  // namespace vidora
