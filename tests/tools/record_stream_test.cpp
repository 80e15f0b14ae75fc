#include "gpstime_client/record_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "gpstime_client/client_options.h"
#include "support/lan_test_client.h"

namespace orvik::tools {
namespace {

// A record for 2026-12-07 13:05:<second> with 9 visible and 7 tracked.
core::TimeMessage Record(std::uint8_t second) {
  core::TimeMessage record = testing::NumberedRecord(0);
  record[core::kOffsetSecond] = second;
  return record;
}

std::vector<std::uint8_t> Bytes(std::initializer_list<core::TimeMessage> records) {
  std::vector<std::uint8_t> bytes;
  for (const auto& record : records) bytes.insert(bytes.end(), record.begin(), record.end());
  return bytes;
}

std::vector<std::uint8_t> Tail(const core::TimeMessage& record, std::size_t count) {
  return {record.end() - static_cast<std::ptrdiff_t>(count), record.end()};
}

std::vector<std::uint8_t> Join(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct StreamCase {
  const char* legend;
  std::vector<std::uint8_t> bytes;
  std::vector<std::size_t> chunk_sizes;  // cut the bytes into these pieces; the rest in one
  std::vector<core::TimeMessage> expected;
  std::uint64_t skipped;
};

TEST(RecordStreamTest, CutsWholeRecordsAndResynchronises) {
  core::TimeMessage data_with_mark = Record(3);
  data_with_mark[10] = 251;  // an end mark inside the data bytes
  data_with_mark[11] = 252;
  data_with_mark[12] = 253;
  const StreamCase cases[] = {
      {"two records in one chunk", Bytes({Record(1), Record(2)}), {}, {Record(1), Record(2)}, 0},
      {"record split across chunks",
       Bytes({Record(1), Record(2)}),
       {20, 30},
       {Record(1), Record(2)},
       0},
      {"one byte at a time",
       Bytes({Record(1), Record(2)}),
       std::vector<std::size_t>(77, 1),
       {Record(1), Record(2)},
       0},
      {"starts mid-record",
       Join(Tail(Record(0), 15), Bytes({Record(1), Record(2)})),
       {},
       {Record(1), Record(2)},
       15},
      {"starts on the end mark", Join(Tail(Record(0), 2), Bytes({Record(1)})), {1}, {Record(1)}, 2},
      {"garbage between records",
       Join(Join(Bytes({Record(1)}), {1, 2, 3, 4, 5}), Bytes({Record(2), Record(3)})),
       {},
       {Record(1), Record(2), Record(3)},
       5},
      {"end mark inside the data once in step",
       Bytes({Record(1), data_with_mark, Record(2)}),
       {},
       {Record(1), data_with_mark, Record(2)},
       0},
      {"incomplete last record waits",
       Join(Bytes({Record(1)}), Tail(Record(2), 39 - 10)),
       {},
       {Record(1)},
       0},
  };
  for (const StreamCase& c : cases) {
    SCOPED_TRACE(c.legend);
    RecordStream stream;
    std::vector<core::TimeMessage> got;
    std::span<const std::uint8_t> rest(c.bytes);
    for (std::size_t size : c.chunk_sizes) {
      for (const auto& record : stream.Push(rest.first(size))) got.push_back(record);
      rest = rest.subspan(size);
    }
    for (const auto& record : stream.Push(rest)) got.push_back(record);
    EXPECT_EQ(got, c.expected);
    EXPECT_EQ(stream.skipped_bytes(), c.skipped);
  }
}

TEST(RecordStreamTest, FormatsDateTimeAndSatellites) {
  EXPECT_EQ(FormatRecord(Record(0), false), "2026-12-07 13:05:00  visible 9  tracked 7");
  core::TimeMessage record{1, 2, 0x07, 0xD0, 3, 4, 5};  // 2000-01-02 03:04:05
  record[core::kOffsetVisible] = 12;
  record[36] = 251;
  record[37] = 252;
  record[38] = 253;
  std::string zeros;
  for (int i = 0; i < 27; ++i) zeros += " 00";
  EXPECT_EQ(FormatRecord(record, true),
            "2000-01-02 03:04:05  visible 12  tracked 0  01 02 07 d0 03 04 05" + zeros +
                " 0c 00 fb fc fd");
}

TEST(ClientOptionsTest, ParsesOptionsAndRefusesBadOnes) {
  const std::vector<std::string_view> none;
  const auto defaults = ParseClientOptions(none);
  ASSERT_TRUE(defaults.ok());
  EXPECT_EQ(defaults.value().host, "127.0.0.1");
  EXPECT_EQ(defaults.value().port, 1609);
  EXPECT_FALSE(defaults.value().raw);
  EXPECT_FALSE(defaults.value().count.has_value());

  const std::vector<std::string_view> all = {"--host", "timehost", "--port", "4000",
                                             "--raw",  "--count",  "3"};
  const auto parsed = ParseClientOptions(all);
  ASSERT_TRUE(parsed.ok()) << parsed.status().ToString();
  EXPECT_EQ(parsed.value().host, "timehost");
  EXPECT_EQ(parsed.value().port, 4000);
  EXPECT_TRUE(parsed.value().raw);
  EXPECT_EQ(parsed.value().count, 3u);

  const std::vector<std::vector<std::string_view>> bad = {
      {"--port"},        {"--port", "0"}, {"--port", "65536"}, {"--port", "12x"}, {"--count", "0"},
      {"--count", "-1"}, {"--host", ""},  {"--verbose"},       {"extra"}};
  for (const auto& args : bad) {
    SCOPED_TRACE(args.front());
    EXPECT_EQ(ParseClientOptions(args).status().code(), core::StatusCode::kInvalidArgument);
  }
}

}  // namespace
}  // namespace orvik::tools
