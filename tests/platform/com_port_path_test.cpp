#include "platform/com_port_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"

namespace orvik::platform {
namespace {

namespace fs = std::filesystem;

class ComPortPathTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_.Ok()); }

  testing::TempDir temp_;
  const fs::path& dir_ = temp_.path();
};

TEST_F(ComPortPathTest, EntryInWorkingDirectoryWinsOverTtyS) {
  fs::create_symlink("/dev/null", dir_ / "COM2");
  fs::create_symlink("/dev/null", dir_ / "COM12");
  std::ofstream(dir_ / "COM5") << "";  // any kind of entry names the port

  EXPECT_EQ(ComDevicePath(2, dir_), (dir_ / "COM2").string());
  EXPECT_EQ(ComDevicePath(12, dir_), (dir_ / "COM12").string());
  EXPECT_EQ(ComDevicePath(5, dir_), (dir_ / "COM5").string());
}

TEST_F(ComPortPathTest, DanglingSymlinkStillNamesThePort) {
  fs::create_symlink(dir_ / "no-such-device", dir_ / "COM3");
  EXPECT_EQ(ComDevicePath(3, dir_), (dir_ / "COM3").string());
}

TEST_F(ComPortPathTest, MissingEntryFallsBackToTtySOneLower) {
  // COM1 present must not stand in for COM12 or COM10.
  fs::create_symlink("/dev/null", dir_ / "COM1");
  const struct {
    std::uint8_t com;
    const char* expected;
  } kCases[] = {
      {2, "/dev/ttyS1"},
      {12, "/dev/ttyS11"},
      {10, "/dev/ttyS9"},
      {255, "/dev/ttyS254"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ComDevicePath(c.com, dir_), c.expected) << "COM" << int{c.com};
  }
}

TEST_F(ComPortPathTest, PortZeroHasNoTtySFallback) {
  EXPECT_EQ(ComDevicePath(0, dir_), (dir_ / "COM0").string());
}

}  // namespace
}  // namespace orvik::platform
