// What one client receives of the time records when its socket takes them
// whole, in part or not at all.
#include "service/record_outbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <initializer_list>
#include <vector>

#include "support/lan_test_client.h"

namespace orvik::service {
namespace {

using platform::SendResult;
using platform::SendStatus;
using testing::NumberedRecord;
using Offered = RecordOutbox::Offered;
using Flushed = RecordOutbox::Flushed;

constexpr SendResult Took(std::size_t bytes) { return {SendStatus::kSent, bytes}; }
constexpr SendResult kFull{SendStatus::kWouldBlock, 0};
constexpr SendResult kBroken{SendStatus::kFailed, 0};

// A socket that takes, send by send, what its script says, and keeps what it took.
class ScriptedSocket {
 public:
  explicit ScriptedSocket(std::initializer_list<SendResult> steps) : script(steps) {}

  SendResult operator()(std::span<const std::uint8_t> bytes) {
    ++sends;
    SendResult result = script.front();
    script.pop_front();
    result.bytes = std::min(result.bytes, bytes.size());
    taken.insert(taken.end(), bytes.begin(), bytes.begin() + static_cast<long>(result.bytes));
    return result;
  }

  std::deque<SendResult> script;
  std::vector<std::uint8_t> taken;
  int sends = 0;
};

TEST(RecordOutboxTest, FirstSendOfARecordDecidesItsFate) {
  const struct {
    const char* name;
    SendResult send;
    Offered offered;
    bool rest_waits;
  } kCases[] = {
      {"taken whole", Took(39), Offered::kHanded, false},
      {"taken in part", Took(10), Offered::kHeldBack, true},
      {"socket full", kFull, Offered::kDropped, false},
      {"nothing taken", Took(0), Offered::kDropped, false},
      {"connection broken", kBroken, Offered::kFailed, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    RecordOutbox outbox;
    ScriptedSocket socket{{c.send}};
    EXPECT_EQ(outbox.Offer(NumberedRecord(1), socket), c.offered);
    EXPECT_EQ(outbox.HasRest(), c.rest_waits);
  }
}

// The client gets the first record whole, then the third: the second came
// while the first's rest was waiting and was dropped, never cut.
TEST(RecordOutboxTest, RestGoesFirstAndNewerRecordsAreDroppedWholeMeanwhile) {
  RecordOutbox outbox;
  ScriptedSocket socket{{Took(10), Took(20), kFull, Took(39), Took(39)}};
  const core::TimeMessage first = NumberedRecord(1);
  const core::TimeMessage third = NumberedRecord(3);

  EXPECT_EQ(outbox.Offer(first, socket), Offered::kHeldBack);
  EXPECT_EQ(outbox.Offer(NumberedRecord(2), socket), Offered::kDropped);
  EXPECT_EQ(socket.sends, 1) << "a record behind a waiting rest is not even tried";
  EXPECT_EQ(outbox.Flush(socket), Flushed::kWaiting);  // 20 of the 29 left
  EXPECT_EQ(outbox.Flush(socket), Flushed::kWaiting);  // socket full
  EXPECT_EQ(outbox.Flush(socket), Flushed::kEmpty);    // the last 9
  EXPECT_EQ(outbox.Flush(socket), Flushed::kEmpty);    // nothing to send: no send
  EXPECT_EQ(outbox.Offer(third, socket), Offered::kHanded);

  std::vector<std::uint8_t> expected(first.begin(), first.end());
  expected.insert(expected.end(), third.begin(), third.end());
  EXPECT_EQ(socket.taken, expected);
}

TEST(RecordOutboxTest, BrokenConnectionWhileARestWaitsIsReported) {
  RecordOutbox outbox;
  ScriptedSocket socket{{Took(5), kBroken}};
  ASSERT_EQ(outbox.Offer(NumberedRecord(1), socket), Offered::kHeldBack);
  EXPECT_EQ(outbox.Flush(socket), Flushed::kFailed);
}

}  // namespace
}  // namespace orvik::service
