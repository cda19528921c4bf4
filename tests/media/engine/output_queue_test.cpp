#include "media/engine/output_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "media/base/bindings.h"
#include "../base/test_support.h"

namespace vidora::test {
namespace {

TOutputJob Picture(int number) {
  TOutputJob job;
  job.frame = NewFrame();
  job.frame->width = 16;
  job.state.frame_number = number;
  return job;
}

// Waits up to a second for `done`.
template <typename Condition>
bool Eventually(Condition done) {
  for (int i = 0; i < 100 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return done();
}

TEST(OutputQueue, TheDecodingWaitsForRoomAndItsFailureComesAfterItsPictures) {
  LoadMediaLibraries();
  TOutputQueue queue;
  std::atomic<int> put{0};
  std::thread decoding([&] {
    for (int i = 1; i <= 5; ++i) {
      queue.Put(Picture(i));
      ++put;
    }
    queue.Close(std::make_exception_ptr(std::runtime_error("decoding failed")));
  });
  EXPECT_TRUE(Eventually([&] { return put == 3; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(put, 3) << "three decoded pictures wait at most";
  for (int i = 1; i <= 5; ++i) {
    std::optional<TOutputJob> job = queue.Take();
    ASSERT_TRUE(job);
    EXPECT_EQ(job->state.frame_number, i);
  }
  EXPECT_FALSE(queue.Take()) << "closed and empty";
  decoding.join();
  EXPECT_THROW(queue.RethrowFailure(), std::runtime_error);
}

TEST(OutputQueue, AnOutputThatGivesUpReleasesTheWaitingDecoding) {
  LoadMediaLibraries();
  TOutputQueue queue;
  std::atomic<bool> ended{false};
  std::thread decoding([&] {
    for (int i = 1; i <= 10; ++i) queue.Put(Picture(i));
    ended = true;
  });
  EXPECT_FALSE(Eventually([&] { return ended.load(); })) << "waiting for room";
  queue.Abandon();
  EXPECT_TRUE(Eventually([&] { return ended.load(); }));
  decoding.join();
  EXPECT_TRUE(queue.Abandoned());
}

}  // namespace
}  // namespace vidora::test
