// When the Windows Time service also sets the clock, and what it is said to
// take its time from.
#include "core/windows_time_notice.h"

#include <gtest/gtest.h>

#include <string>

namespace orvik::core {
namespace {

TEST(WindowsTimeNotice, SourceFollowsTheSyncTypeWhileTheServiceRuns) {
  struct Case {
    bool running;
    const char* type;
    const char* ntp_server;
    std::string source;
  };
  const Case cases[] = {
      {true, "NTP", "time.windows.com,0x9", "time.windows.com"},
      {true, "ntp", "a.example,0x1  b.example 10.0.0.1,0x8 ", "a.example, b.example, 10.0.0.1"},
      {true, "NT5DS", "time.windows.com,0x9", "the domain hierarchy"},
      {true, "AllSync", "a.example,0x9", "a.example and the domain hierarchy"},
      {true, "", "a.example,0x9", "a.example"},
      {true, "NTP", "", "the time servers it is given"},
      {true, "NTP", ",0x9", "the time servers it is given"},
      {true, "NoSync", "time.windows.com,0x9", ""},
      {true, " nosync ", "a.example", ""},
      {false, "NTP", "time.windows.com,0x9", ""},
      {false, "NT5DS", "", ""},
  };
  for (const Case& c : cases) {
    const WindowsTimeServiceFacts facts{
        .running = c.running, .sync_type = c.type, .ntp_server = c.ntp_server};
    EXPECT_EQ(WindowsTimeSource(facts), c.source)
        << c.running << " " << c.type << " " << c.ntp_server;
    const std::string notice = WindowsTimeNotice(facts);
    if (c.source.empty()) {
      EXPECT_EQ(notice, "") << c.type;
    } else {
      EXPECT_EQ(
          notice.rfind("The Windows Time service also sets this clock from " + c.source + ": ", 0),
          0u)
          << notice;
      EXPECT_NE(notice.find("w32tm /config /syncfromflags:NO /update"), std::string::npos)
          << notice;
    }
  }
}

TEST(WindowsTimeNotice, AServerNameFromTheRegistryIsEchoedVisiblyAndBounded) {
  const std::string notice =
      WindowsTimeNotice({.running = true,
                         .sync_type = "NTP",
                         .ntp_server = "evil\r\nname,0x9 " + std::string(500, 'x')});
  EXPECT_NE(notice.find("evil\\x0D\\x0Aname, xxx"), std::string::npos) << notice;
  EXPECT_LT(notice.size(), 400u);
}

}  // namespace
}  // namespace orvik::core
