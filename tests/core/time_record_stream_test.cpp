// The status texts of a time record, as the desktop program beside the
// service shows them.
#include "core/time_record_stream.h"

#include <gtest/gtest.h>

namespace orvik::core {
namespace {

TimeMessage RecordAt(std::uint16_t year, std::uint8_t month, std::uint8_t day, std::uint8_t hour,
                     std::uint8_t minute, std::uint8_t second, std::uint8_t visible,
                     std::uint8_t tracked) {
  TimeMessage record{};
  record[kOffsetMonth] = month;
  record[kOffsetDay] = day;
  WriteBeU16(record, kOffsetYear, year);
  record[kOffsetHour] = hour;
  record[kOffsetMinute] = minute;
  record[kOffsetSecond] = second;
  record[kOffsetVisible] = visible;
  record[kOffsetTracked] = tracked;
  for (std::size_t i = 0; i < kEndMark.size(); ++i) record[kOffsetEndMark + i] = kEndMark[i];
  return record;
}

TEST(RecordDisplayTest, ShowsTheRecordsTimeDateAndSatellitesAsTheSenderDoes) {
  const DisplayUpdate fix = RecordDisplay(RecordAt(2026, 12, 7, 13, 5, 9, 11, 7));
  EXPECT_EQ(fix.texts.TimeText, "13:5:9");
  EXPECT_EQ(fix.texts.DateText, "7.12.2026");
  EXPECT_EQ(fix.texts.SatText, "7 / 11");
  EXPECT_TRUE(fix.accepted);
  EXPECT_FALSE(fix.NoSatFlag);

  const DisplayUpdate no_fix = RecordDisplay(RecordAt(2027, 1, 31, 0, 0, 0, 4, 0));
  EXPECT_EQ(no_fix.texts.TimeText, "?0:0:0?") << "no satellite tracked: the fix is not valid";
  EXPECT_EQ(no_fix.texts.DateText, "31.1.2027") << "both year bytes";
  EXPECT_EQ(no_fix.texts.SatText, "0 / 4");
  EXPECT_TRUE(no_fix.NoSatFlag);
}

}  // namespace
}  // namespace orvik::core
