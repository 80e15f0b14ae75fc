// PosixComPortList on folders of the test's own: a working folder with
// COM<n> links to ptys and a /dev and /sys/class/tty of ttyS, ttyUSB and
// ttyACM devices.
#include "platform/posix/posix_com_port_list.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace orvik::platform {
namespace {

namespace fs = std::filesystem;

TEST(PosixComPortListTest, ListsWhatEachComNumberOpensThenDevicesNoNumberReaches) {
  testing::TempDir temp;
  ASSERT_TRUE(temp.Ok());
  const fs::path work = temp.path() / "work";
  const fs::path dev = temp.path() / "dev";
  const fs::path ttys = temp.path() / "tty";
  for (const fs::path& dir : {work, dev, ttys}) fs::create_directory(dir);
  const auto device = [&](const std::string& name, const char* uart_type = nullptr) {
    temp.WriteFile("dev/" + name, "");
    if (uart_type == nullptr) return;
    fs::create_directory(ttys / name);
    temp.WriteFile("tty/" + name + "/type", uart_type);
  };
  device("ttyS0", "4\n");
  device("ttyS1", "0\n");  // no UART behind it
  device("ttyS2", "4\n");  // its name COM3 is taken by the working folder
  device("ttyS3");         // no sysfs entry: cannot tell, so listed
  for (const char* other : {"ttyUSB0", "ttyUSB2", "ttyUSB10", "ttyACM0", "console", "ttySX"}) {
    device(other);
  }

  testing::PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  fs::create_symlink(pty.SlavePath(), work / "COM2");
  fs::create_symlink(dev / "ttyUSB-gone", work / "COM3");  // unplugged: not listed
  fs::create_symlink(dev / "ttyUSB0", work / "COM5");
  temp.WriteFile("work/COM7", "");
  for (const char* ignored : {"COM02", "com6", "COM256", "COM"}) {
    temp.WriteFile(std::string("work/") + ignored, "");
  }

  const std::vector<ComPortEntry> expected = {
      {1, (dev / "ttyS0").string()},
      {2, pty.SlavePath()},
      {4, (dev / "ttyS3").string()},
      {5, (dev / "ttyUSB0").string()},
      {7, ""},
      {std::nullopt, (dev / "ttyACM0").string()},
      {std::nullopt, (dev / "ttyS2").string()},
      {std::nullopt, (dev / "ttyUSB2").string()},
      {std::nullopt, (dev / "ttyUSB10").string()},
  };
  EXPECT_EQ(PosixComPortList(work, dev, ttys).ExistingPorts(), expected);
}

TEST(PosixComPortListTest, FoldersThatCannotBeReadListNothing) {
  EXPECT_TRUE(PosixComPortList("/nonexistent/work", "/nonexistent/dev", "/nonexistent/tty")
                  .ExistingPorts()
                  .empty());
}

}  // namespace
}  // namespace orvik::platform
