// The window's hand-over to the GUI thread, without a window: what the thread
// checkers run.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <map>
#include <stdexcept>
#include <thread>
#include <vector>

#include "app/qt_hand_over.h"
#include "media/base/logger.h"

namespace vidora::test {
namespace {

// Workers hand calls over, waiting or not, and log; everything arrives on the
// GUI thread, each worker's lines in order, and a waited call's exception
// comes back to its worker. The counters are the GUI thread's alone.
TEST(QtHandOver, WorkersCallsAndLinesRunOnTheGuiThread) {
  int argc = 1;
  char name[] = "hand_over_test";
  char* argv[] = {name, nullptr};
  QCoreApplication application(argc, argv);
  app::TQtMainThreadHandOver handOver;
  SetMainThreadHandOver(&handOver);
  const std::thread::id gui = std::this_thread::get_id();
  TFFLogger logger;
  std::map<uint32_t, std::vector<std::string>> lines;
  int offThread = 0;
  logger.SetOnLog([&](const void*, uint32_t thread, TLogLevel, const std::string& line) {
    offThread += std::this_thread::get_id() != gui;
    lines[thread].push_back(line);
  });

  constexpr int Workers = 4, Calls = 50;
  int waited = 0, posted = 0;
  std::atomic<int> rethrown{0}, finished{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < Workers; ++w) {
    workers.emplace_back([&] {
      for (int i = 0; i < Calls; ++i) {
        auto count = [&](int& counter) {
          offThread += std::this_thread::get_id() != gui;
          ++counter;
        };
        if (i % 2)
          RunInMainThread([&] { count(waited); });
        else
          // A posted call runs after this iteration has ended: it holds its own copy.
          PostToMainThread([count, &posted] { count(posted); });
        logger.Log(nullptr, TLogLevel::llWarning, "line %d", i);
      }
      try {
        RunInMainThread([] { throw std::runtime_error("from the GUI thread"); });
      } catch (const std::runtime_error&) {
        ++rethrown;
      }
      ++finished;
    });
  }
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (finished == Workers) application.quit();
  });
  poll.start(5);
  application.exec();
  for (std::thread& worker : workers) worker.join();
  handOver.ProcessPendingCalls();  // what was posted last

  EXPECT_EQ(offThread, 0);
  EXPECT_EQ(waited, Workers * Calls / 2);
  EXPECT_EQ(posted, Workers * Calls / 2);
  EXPECT_EQ(rethrown, Workers);
  ASSERT_EQ(lines.size(), static_cast<size_t>(Workers));
  for (const auto& [thread, texts] : lines) {
    ASSERT_EQ(texts.size(), static_cast<size_t>(Calls)) << thread;
    for (int i = 0; i < Calls; ++i) EXPECT_EQ(texts[i], "line " + std::to_string(i)) << thread;
  }

  // Waiting for a worker, the GUI thread runs the calls the worker waits for.
  std::atomic<bool> done{false};
  std::thread worker([&] {
    RunInMainThread([&] { ++waited; });
    done = true;
  });
  while (!done) handOver.ProcessPendingCalls();
  worker.join();
  EXPECT_EQ(waited, Workers * Calls / 2 + 1);
  SetMainThreadHandOver(nullptr);
}

}  // namespace
}  // namespace vidora::test
