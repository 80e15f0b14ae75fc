// The COM ports among the DOS device names, and the machine's list under
// wine. (Wine reaches the ports it maps from symbolic links in its prefix
// only when they are opened; they are not among its DOS device names, so
// the selection is tested on a table of names.)
#include "platform/win32/win32_com_port_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace orvik::platform {
namespace {

TEST(Win32ComPortListTest, EachComNameOnceByNumberWithItsDevice) {
  const std::vector<std::string> names = {"C:",     "COM12", "com3",  "Com3",      "COM255",
                                          "COM256", "COM0",  "COM07", "COM",       "COMX1",
                                          "LPT1",   "COM1 ", "COM4",  "GLOBALROOT"};
  const std::vector<ComPortEntry> expected = {
      {3, "\\Device\\com3"},
      {4, "\\Device\\COM4"},
      {12, "\\Device\\COM12"},
      {255, "\\Device\\COM255"},
  };
  EXPECT_EQ(ComPortsAmong(names, [](const std::string& name) { return "\\Device\\" + name; }),
            expected);
}

TEST(Win32ComPortListTest, MachineListHasEveryPortOnceInOrder) {
  const std::vector<ComPortEntry> ports = MachineComPortList(".")->ExistingPorts();
  for (std::size_t i = 0; i < ports.size(); ++i) {
    ASSERT_TRUE(ports[i].number.has_value()) << ports[i].device;
    if (i > 0) {
      EXPECT_LT(*ports[i - 1].number, *ports[i].number);
    }
  }
}

}  // namespace
}  // namespace orvik::platform
