// The machine's COM ports on Windows: scripts/test-windows.sh maps two ptys
// into the wine prefix as the COM ports named by ORVIK_TEST_COM and
// ORVIK_TEST_PEER_COM, and both must be listed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "platform/com_port_list.h"

namespace orvik::platform {
namespace {

TEST(Win32ComPortListTest, ListsTheMappedPortsByNumberEachOnce) {
  const char* com = std::getenv("ORVIK_TEST_COM");
  const char* peer = std::getenv("ORVIK_TEST_PEER_COM");
  if (com == nullptr || peer == nullptr) GTEST_SKIP() << "no COM ports mapped for the test";
  const std::vector<ComPortEntry> ports = MachineComPortList(".")->ExistingPorts();
  for (const ComPortEntry& port : ports) {
    ASSERT_TRUE(port.number.has_value()) << port.device;
    std::printf("COM%d %s\n", *port.number, port.device.c_str());
  }
  for (const char* wanted : {com, peer}) {
    const auto number = static_cast<std::uint8_t>(std::atoi(wanted));
    EXPECT_EQ(std::count_if(ports.begin(), ports.end(),
                            [&](const ComPortEntry& port) { return port.number == number; }),
              1)
        << "COM" << wanted;
  }
  EXPECT_TRUE(std::is_sorted(
      ports.begin(), ports.end(),
      [](const ComPortEntry& a, const ComPortEntry& b) { return *a.number < *b.number; }));
}

}  // namespace
}  // namespace orvik::platform
