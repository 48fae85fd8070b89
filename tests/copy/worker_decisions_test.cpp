// The worker's decisions that need no file: pacing, pauses, takeover offsets.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "copy/pacing.h"
#include "copy/ring_file.h"
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

TEST(WorkerDecisionsTest, OneReadingAllowsTheCopyExactlyUpToWhereTheRuleWouldHoldIt) {
  const uint64_t l = RingFileLengthFor(28);
  for (int32_t knob : {-100, 0, 1, 1000, 4000, 6000, 9999, 10000}) {
    for (uint32_t stop : {0u, 1u, 50u, 100u}) {
      for (uint64_t out : {uint64_t(0), uint64_t(4096), l / 5 + 1024, l / 2, l * 95 / 100, RingEndFor(28)}) {
        SCOPED_TRACE(testing::Message() << "knob " << knob << " stop " << stop << " out " << out);
        uint64_t limit = PacingLimit(knob, out, l, stop);
        ASSERT_GE(limit, out);
        // Nothing holds the copy before the limit: not at its start, not at
        // any later step of the rule, not one byte before the limit.
        int32_t end = limit == kNoPacingLimit ? 10000 : CopyPosition(limit, l) - 1;
        ASSERT_TRUE(limit == out || !MustWaitForPlayer(knob, out, l, stop));
        for (int32_t write = CopyPosition(out, l) + 1; write <= end; ++write)
          ASSERT_FALSE(MustWaitForPlayer(knob, (uint64_t(write) * l + 9999) / 10000, l, stop)) << write;
        if (limit == kNoPacingLimit) continue;
        EXPECT_TRUE(MustWaitForPlayer(knob, limit, l, stop));
        if (limit > out) {
          EXPECT_FALSE(MustWaitForPlayer(knob, limit - 1, l, stop));
        }
      }
    }
  }
}

TEST(WorkerDecisionsTest, PacingLimitOfTheWorkedExamples) {
  const uint64_t l = RingFileLengthFor(28);
  uint64_t at20 = l / 5 + 1024, at95 = l * 95 / 100 + 1024;
  EXPECT_EQ(PacingLimit(6000, at20, l, 50), at20);  // waits at once
  EXPECT_EQ(PacingLimit(1000, at95, l, 50), at95);  // a lap ahead: waits at once
  // Leading the knob at 40 % by 10 %: free up to 90.01 %, one step past the
  // lap point, where the rule counts the knob as 140 %.
  EXPECT_EQ(PacingLimit(4000, l / 2, l, 50), (9001 * l + 9999) / 10000);
  // Behind the knob at 60 %: free up to 10 % before it.
  EXPECT_EQ(PacingLimit(6000, 4096, l, 50), (1000 * l + 9999) / 10000);
  EXPECT_EQ(PacingLimit(6000, 4096, 0, 50), kNoPacingLimit);  // no ring length yet
}

TEST(WorkerDecisionsTest, TheKnobIsReadAgainOnlyWhenOldOrBeforeTheCopyCouldReachTheLimit) {
  const KnobReading reading = {1, 1000, 9000000, 10000000, 50};
  const struct { const char* what; KnobReading r; DWORD now; uint64_t out; uint32_t stop; bool due; } cases[] = {
      {"fresh, far from the limit", reading, 1010, 9500000, 50, false},
      {"a chunk ends exactly at the limit", reading, 1010, 10000000 - kChunkSize, 50, false},
      {"a chunk could pass the limit", reading, 1010, 10000000 - kChunkSize + 1, 50, true},
      {"at the limit", reading, 1010, 10000000, 50, true},
      {"49 ms old", reading, 1049, 9500000, 50, false},
      {"1 MiB past the reading", {1, 1000, 4096, 10000000, 50}, 1010, 4096 + (1 << 20), 50, true},
      {"just under 1 MiB past it", {1, 1000, 4096, 10000000, 50}, 1010, 4095 + (1 << 20), 50, false},
      {"50 ms old", reading, 1050, 9500000, 50, true},
      {"never taken", {0, 1000, 4096, 10000000, 50}, 1010, 9500000, 50, true},
      {"Stop changed", reading, 1010, 9500000, 40, true},
      {"offset moved back by a wrap", reading, 1010, 8999999, 50, true},
      {"no knob: no limit", {1, 1000, 4096, kNoPacingLimit, 50}, 1010, 4096 + (1 << 20) - 1, 50, false},
      {"across the tick wrap, 30 ms", {1, 0xFFFFFFF0u, 0, kNoPacingLimit, 50}, 14, 1, 50, false},
      {"across the tick wrap, 60 ms", {1, 0xFFFFFFF0u, 0, kNoPacingLimit, 50}, 44, 1, 50, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(KnobReadingDue(c.r, c.now, c.out, c.stop), c.due);
  }
}

// A Player playing the ring in a loop, slower than the copy, and a copy that
// reads the knob only when due: no chunk starts where the rule on the knob of
// that moment would hold it, over several laps of both.
TEST(WorkerDecisionsTest, KeptReadingsNeverLetTheCopyPassTheMovingKnob) {
  const uint64_t l = RingFileLengthFor(28), e = RingEndFor(28), s = kHeadSize;
  for (uint32_t stop : {10u, 50u, 90u}) {
    SCOPED_TRACE(stop);
    KnobReading reading = {};
    uint64_t out = s, copied = 0;
    DWORD now = 0;
    int readings = 0, chunks = 0, waits = 0;
    auto knobAt = [](DWORD t) { return int32_t(t / 3 % 10000); };  // a lap every 30 s
    while (copied < 5 * e) {
      now += 1;  // 32 KiB per ms
      if (out >= e) out = s + kWrapCopySize;
      if (KnobReadingDue(reading, now, out, stop)) {
        reading = KnobReading{1, now, out, PacingLimit(knobAt(now), out, l, stop), stop};
        ++readings;
      }
      if (out >= reading.limit) {
        ++waits;
        now += 100;  // the next cycle's sleep
        reading.taken = 0;
        continue;
      }
      ASSERT_FALSE(MustWaitForPlayer(knobAt(now), out, l, stop)) << "knob " << knobAt(now) << " out " << out;
      uint64_t n = std::min<uint64_t>(kChunkSize, e - out);
      out += n;
      copied += n;
      ++chunks;
    }
    EXPECT_GT(waits, 0);
    // Mostly waiting here, so a reading opens each burst and two more come
    // near its end; a reading per chunk would be ten times as many.
    EXPECT_LT(readings * 4, chunks);
  }
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
