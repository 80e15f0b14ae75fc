#include "ui/logic/port_choices.h"

#include <gtest/gtest.h>

namespace orvik::ui {
namespace {

TEST(PortChoicesTest, EachPortWithTheNumberItWritesAndDevicesWithoutOneOnlyInform) {
  const std::vector<platform::ComPortEntry> ports = {
      {1, "/dev/ttyS0"},         {2, "/dev/pts/3"},       {7, ""},
      {99, "\\Device\\Serial9"}, {100, "\\Device\\VCP0"}, {std::nullopt, "/dev/ttyUSB0"},
      {3, "/dev/x\x1b[2J"},
  };
  const std::vector<PortChoice> expected = {
      {"COM1   /dev/ttyS0", 1},
      {"COM2   /dev/pts/3", 2},
      {"COM7", 7},
      {"COM99   \\Device\\Serial9", 99},
      {"COM100   \\Device\\VCP0 (the port field takes 0 to 99)", std::nullopt},
      {"/dev/ttyUSB0: no COM number (link it as COM<n> in the working folder)", std::nullopt},
      {"COM3   /dev/x\\x1B[2J", 3},
  };
  EXPECT_EQ(PortChoices(ports), expected);
}

TEST(PortChoicesTest, NoPortsIsOneItemThatSaysSo) {
  EXPECT_EQ(PortChoices({}), (std::vector<PortChoice>{{"No serial ports found", std::nullopt}}));
}

}  // namespace
}  // namespace orvik::ui
