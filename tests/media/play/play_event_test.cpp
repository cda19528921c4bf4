#include <gtest/gtest.h>

#include "media/play/play_event.h"

namespace vidora::test {
namespace {

TEST(PlayEvent, NewerPositionsReplaceUndeliveredOnesAndTheRingDropsTheOldest) {
  TPlayEvent queue;
  EXPECT_EQ(queue.Take().Kind, TPlayEventKind::None);
  EXPECT_FALSE(queue.Signal().IsSet());
  queue.Post(TPlayEventKind::Position, 1000);
  queue.Post(TPlayEventKind::Position, 2000);
  EXPECT_EQ(queue.Count(), 1) << "two positions in a row are one entry";
  queue.Post(TPlayEventKind::State, 1);
  queue.Post(TPlayEventKind::Position, 3000);
  EXPECT_EQ(queue.Count(), 3);
  EXPECT_TRUE(queue.Signal().IsSet());
  TPlayEventEntry first = queue.Take();
  EXPECT_EQ(first.Kind, TPlayEventKind::Position);
  EXPECT_EQ(first.Value, 2000);
  EXPECT_EQ(queue.Take().Kind, TPlayEventKind::State);
  EXPECT_EQ(queue.Take().Value, 3000);
  EXPECT_FALSE(queue.Signal().IsSet()) << "reset when the queue runs empty";

  for (int i = 0; i < 12; ++i) queue.Post(i % 2 ? TPlayEventKind::State : TPlayEventKind::Position, i);
  EXPECT_EQ(queue.Count(), TPlayEvent::Capacity);
  EXPECT_EQ(queue.Take().Value, 2) << "the two oldest were dropped";
}

}  // namespace
}  // namespace vidora::test
