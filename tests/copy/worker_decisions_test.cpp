// The worker's decisions that need no file: pacing, pauses, takeover offsets.
#include <gtest/gtest.h>

#include <string>

#include "copy/worker.h"

namespace {

TEST(WorkerDecisionsTest, PacingWaitsBehindTheKnobWithTheLapRule) {
  const uint64_t l = 268435455;
  const struct { int32_t knob; uint32_t permilleWritten; uint32_t stop; bool wait; } cases[] = {
      {6000, 200, 50, true},    // 2,000 < 6,000 and 2,000 + 5,000 >= 6,000
      {6000, 50, 50, false},    // far enough behind
      {1000, 950, 50, true},    // a lap ahead: the knob counts as 11,000
      {1000, 500, 50, false},   // no lap (6,000 >= 5,000) and already past the knob
      {0, 200, 50, false},      // a knob at 0 never holds the copy back
      {6000, 600, 50, false},   // at the knob: write is not below pos
      {6000, 599, 0, false},    // no margin: write + 0 < pos
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.knob) + " " + std::to_string(c.permilleWritten));
    uint64_t out = l * c.permilleWritten / 1000 + 1;
    EXPECT_EQ(MustWaitForPlayer(c.knob, out, l, c.stop), c.wait);
  }
  EXPECT_FALSE(MustWaitForPlayer(6000, 0, 0, 50));  // no ring length yet
}

TEST(WorkerDecisionsTest, PauseScheduleSleepsEveryPowerOfTwoPolls) {
  const struct { int32_t priority2; int32_t every; } cases[] = {{-5, 1}, {-1, 16}, {0, 32}, {5, 1024}, {9, 1024}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.priority2);
    int sleeps = 0;
    for (int32_t counter = 1; counter <= 4096; ++counter) sleeps += PauseDue(counter, c.priority2);
    EXPECT_EQ(sleeps, 4096 / c.every);
    EXPECT_TRUE(PauseDue(c.every, c.priority2));
  }
}

TEST(WorkerDecisionsTest, StartPositionRoundsDownToABlock) {
  EXPECT_EQ(StartInputOffset(500, 10000000), 4980736u);
  EXPECT_EQ(StartInputOffset(500, 1000000000), 499974144u);
  EXPECT_EQ(StartInputOffset(1000, 10000000), 9994240u);
  EXPECT_EQ(StartInputOffset(0, 10000000), 0u);
  EXPECT_EQ(StartInputOffset(700, 0), 0u);
}

TEST(WorkerDecisionsTest, OutputOffsetAfterTakeover) {
  const struct { uint64_t out; int fromHead, keepTail, head; uint64_t expected; } cases[] = {
      {3000, 0, 0, 1, 4096}, {800, 0, 0, 1, 800}, {3000, 0, 0, 0, 1976}, {1024, 0, 0, 0, 1024},
      {1025, 0, 0, 1, 4096}, {10000000, 0, 0, 1, 9998976}, {10000000, 0, 1, 1, 10000000},
      {10000000, 1, 1, 1, 0}, {10000000, 1, 0, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.out);
    EXPECT_EQ(OutputOffsetAfterTakeover(c.out, c.fromHead, c.keepTail, c.head), c.expected);
  }
}

}  // namespace

TEST(WindowRefresh, DueEveryFiftyMillisecondsAcrossTheTickWrap) {
  struct Case { DWORD now, last; bool due; };
  const Case cases[] = {
      {1000, 1000, false}, {1049, 1000, false}, {1050, 1000, true},
      {5, 0xFFFFFFF0u, false},   // 21 ms after the 49.7-day wrap
      {40, 0xFFFFFFF0u, true},   // 56 ms after it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.now << " after " << c.last);
    EXPECT_EQ(WindowRefreshDue(c.now, c.last), c.due);
  }
}
