// The limits of the timing rules, each pinned at its edge: the burst
// tracker (silence, largest prompt chunk, the character before the first
// byte, backlogs), the freshness check (the 1.1 s window, one time message a
// burst) and the receiver timeline (the 0.5 s disagreement, the 16 s jitter
// window, the jump held for 10 messages, the 1 s lag).
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "core/burst_tracker.h"
#include "core/message_freshness.h"
#include "core/receiver_timeline.h"

namespace orvik::core {
namespace {

constexpr std::int64_t kMs = kNanosPerMilli;
constexpr std::int64_t kSecond = kNanosPerSecond;
constexpr MonotonicNanos kT0 = 1'000 * kSecond;

TEST(BurstTrackerRules, ABurstStartsAfterASilenceOf12CharactersAndAtLeast25Ms) {
  struct Case {
    std::uint32_t baud;
    std::int64_t gap;  // from the previous byte to the next byte's completion
    bool starts;
  };
  // At 4800 baud 12 characters are 25 ms; at 300 baud they are 400 ms.
  const std::int64_t c300 = CharacterNanos(300);
  const Case cases[] = {
      {4800, 25 * kMs, true},      {4800, 25 * kMs - 1, false}, {9600, 25 * kMs, true},
      {9600, 25 * kMs - 1, false}, {300, 12 * c300, true},      {300, 12 * c300 - 1, false},
  };
  for (const Case& c : cases) {
    BurstTracker tracker(CharacterNanos(c.baud));
    tracker.Restart(kT0);
    tracker.OnChunk(1, kT0 + kSecond, true);  // a first burst
    const std::uint64_t first = tracker.Latest().burst;
    tracker.OnChunk(1, kT0 + kSecond + c.gap, true);
    EXPECT_EQ(tracker.Latest().burst != first, c.starts) << c.baud << " " << c.gap;
    EXPECT_EQ(tracker.SilenceNanos(), c.baud == 300 ? 12 * c300 : 25 * kMs);
  }
}

TEST(BurstTrackerRules, TheBurstBeganOneCharacterBeforeItsFirstByteCompleted) {
  // A prompt chunk of n bytes read at t: its first byte completed at
  // t - (n-1) characters, the burst began a character before that.
  const std::int64_t c = CharacterNanos(4800);
  for (const std::size_t n : {std::size_t{1}, std::size_t{10}, BurstTracker::kMaxPromptChunk}) {
    BurstTracker tracker(c);
    tracker.Restart(kT0);
    const MonotonicNanos read_at = kT0 + kSecond;
    tracker.OnChunk(n, read_at, true);
    const ByteTiming timing = tracker.Latest();
    EXPECT_EQ(timing.burst_start, read_at - static_cast<std::int64_t>(n) * c) << n;
    EXPECT_EQ(timing.unbroken_since, timing.burst_start.value()) << n;
    EXPECT_EQ(timing.arrival, read_at);
  }
}

TEST(BurstTrackerRules, ChunksThatMayHideASilenceLeaveTheBurstStartUnknown) {
  const std::int64_t c = CharacterNanos(4800);
  struct Case {
    const char* what;
    std::size_t count;
    std::int64_t after;  // since the previous chunk was read
    bool prompt;
    bool start_known;  // the burst start afterwards
    bool same_burst;
  };
  const Case cases[] = {
      {"prompt, at most the largest prompt chunk", BurstTracker::kMaxPromptChunk, kSecond, true,
       true, false},
      {"prompt, one byte more: read late", BurstTracker::kMaxPromptChunk + 1, kSecond, true, false,
       false},
      {"waiting, too short to hide a silence", 4, 25 * kMs + 3 * c - 1, false, true, true},
      {"waiting, long enough to hide one", 4, 25 * kMs + 3 * c, false, false, false},
  };
  for (const Case& k : cases) {
    BurstTracker tracker(c);
    tracker.Restart(kT0);
    tracker.OnChunk(1, kT0 + kSecond, true);
    const ByteTiming before = tracker.Latest();
    ASSERT_TRUE(before.burst_start.has_value());
    tracker.OnChunk(k.count, kT0 + kSecond + k.after, k.prompt);
    const ByteTiming after = tracker.Latest();
    EXPECT_EQ(after.burst_start.has_value(), k.start_known) << k.what;
    EXPECT_EQ(after.burst == before.burst, k.same_burst) << k.what;
    if (!k.start_known) {
      EXPECT_EQ(after.unbroken_since, after.arrival) << k.what;
    }
  }
}

TEST(FreshnessRules, OnlyTheFirstTimeMessageOfABurstReadWithin1100MsIsFresh) {
  FreshnessCheck check;
  const ByteTiming burst1{kT0, kT0 + 1'100 * kMs, 1, kT0};
  EXPECT_EQ(check.Check(burst1), kT0);
  EXPECT_EQ(check.Check(burst1), std::nullopt) << "a second time message of the burst";
  const ByteTiming late{kT0 + kSecond, kT0 + kSecond + 1'100 * kMs + 1, 2, kT0 + kSecond};
  EXPECT_EQ(check.Check(late), std::nullopt) << "read after the window";
  const ByteTiming unknown{std::nullopt, kT0 + 3 * kSecond, 3, kT0 + 3 * kSecond};
  EXPECT_EQ(check.Check(unknown), std::nullopt) << "a backlog";
  const ByteTiming next{kT0 + 4 * kSecond, kT0 + 4 * kSecond + 100 * kMs, 4, kT0};
  EXPECT_EQ(check.Check(next), kT0 + 4 * kSecond);
  check.Restart();
  EXPECT_EQ(check.Check(next), kT0 + 4 * kSecond) << "a new line";
}

// A fresh message of second `k` whose burst began `late` after it.
ReceiverTimeline::Verdict Fresh(ReceiverTimeline& timeline, std::int64_t k, std::int64_t late,
                                std::int64_t shift = 0) {
  const UtcNanos utc = 1'780'000'000 * kSecond + k * kSecond + shift;
  const MonotonicNanos start = kT0 + k * kSecond + late;
  return timeline.OnFresh(utc, start, start + 150 * kMs);
}

TEST(TimelineRules, TheEarliestPhaseOfTheLast16SecondsTimesEveryMessage) {
  ReceiverTimeline timeline;
  EXPECT_EQ(Fresh(timeline, 0, 40 * kMs).second_began, kT0 + 40 * kMs);
  EXPECT_EQ(Fresh(timeline, 1, 0).second_began, kT0 + kSecond);
  EXPECT_EQ(Fresh(timeline, 2, 90 * kMs).second_began, kT0 + 2 * kSecond);
  // Second 1's burst began 16 s before this one's: still in the window.
  EXPECT_EQ(Fresh(timeline, 17, 0).second_began, kT0 + 17 * kSecond);
  // More than 16 s before this one's: gone; the earliest left is 50 ms.
  EXPECT_EQ(Fresh(timeline, 18, 50 * kMs).second_began, kT0 + 18 * kSecond);
  EXPECT_EQ(Fresh(timeline, 33, 50 * kMs + 1).second_began, kT0 + 33 * kSecond + 50 * kMs);
  timeline.Reset();
  EXPECT_EQ(Fresh(timeline, 40, 70 * kMs).second_began, kT0 + 40 * kSecond + 70 * kMs);
}

TEST(TimelineRules, ATimeOverHalfASecondOffDisagrees) {
  // Half a second, and 1 ms for each second since the latest used message.
  struct Case {
    std::int64_t shift;
    bool use;
  };
  for (const Case& c : {Case{501 * kMs, true}, Case{501 * kMs + 1, false}, Case{-501 * kMs, true},
                        Case{-501 * kMs - 1, false}}) {
    ReceiverTimeline timeline;
    ASSERT_TRUE(Fresh(timeline, 0, 0).use);
    EXPECT_EQ(Fresh(timeline, 1, 0, c.shift).use, c.use) << c.shift;
  }
}

TEST(TimelineRules, AJumpIsFollowedAtItsTenthAgreeingMessage) {
  for (const std::int64_t shift : {3600 * kSecond, -1'500 * kMs}) {
    ReceiverTimeline timeline;
    ASSERT_TRUE(Fresh(timeline, 0, 0).use);
    for (std::int64_t k = 1; k < ReceiverTimeline::kJumpHoldMessages; ++k) {
      EXPECT_FALSE(Fresh(timeline, k, 0, shift).use) << shift << " message " << k;
    }
    const ReceiverTimeline::Verdict tenth =
        Fresh(timeline, ReceiverTimeline::kJumpHoldMessages, 0, shift);
    EXPECT_TRUE(tenth.use) << shift;
    EXPECT_EQ(tenth.jump_nanos, shift);
    EXPECT_TRUE(Fresh(timeline, 11, 0, shift).use) << "the new time is the timeline";
  }
  // A glitch ends as soon as the time agrees again, and the count with it.
  ReceiverTimeline timeline;
  Fresh(timeline, 0, 0);
  for (std::int64_t k = 1; k < ReceiverTimeline::kJumpHoldMessages; ++k) {
    Fresh(timeline, k, 0, 3600 * kSecond);
  }
  EXPECT_TRUE(Fresh(timeline, 10, 0).use);
  EXPECT_FALSE(Fresh(timeline, 11, 0, 3600 * kSecond).use);
}

TEST(TimelineRules, AMessageLaggingMoreThanASecondIsThePast) {
  ReceiverTimeline timeline;
  const UtcNanos utc0 = 1'780'000'000 * kSecond;
  EXPECT_FALSE(timeline.Lags(utc0, kT0 + 10 * kSecond)) << "no timeline: nothing lags";
  timeline.OnFresh(utc0, kT0, kT0 + 150 * kMs);  // read 150 ms after its second
  // Second 1, expected at 1.150 s: one second of lag allowed, plus 1 ms a
  // second of drift since the last fresh message (here about 2 s).
  const MonotonicNanos expected = kT0 + kSecond + 150 * kMs;
  EXPECT_FALSE(timeline.Lags(utc0 + kSecond, expected + kSecond + 2 * kMs));
  EXPECT_TRUE(timeline.Lags(utc0 + kSecond, expected + kSecond + 2'100'000));
}

}  // namespace
}  // namespace orvik::core
