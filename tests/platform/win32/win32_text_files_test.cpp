// Win32TextFiles on real files in a fresh directory (run under wine).
#include "platform/win32/win32_text_files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace orvik::platform {
namespace {

using testing::TempDir;

// A bound no file of these tests reaches.
constexpr std::size_t kAnySize = std::size_t{1} << 30;

// The names in `directory`, in the order listed.
std::vector<std::string> Entries(const std::filesystem::path& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

class Win32TextFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.Ok()); }

  TempDir dir_;
  Win32TextFiles files_{dir_.path()};
};

TEST_F(Win32TextFilesTest, SavedContentReadsBackByteForByte) {
  const std::string large(300 * 1024, 'x');
  for (const std::string& content :
       {std::string("Port=2\r\nBaud=4\r\n"), std::string(), std::string("a\0b\n", 4), large}) {
    ASSERT_TRUE(files_.ReplaceAtomically("settings.txt", content).ok());
    const auto read = files_.ReadAtMost("settings.txt", kAnySize);
    ASSERT_TRUE(read.ok());
    ASSERT_TRUE(read.value().has_value());
    EXPECT_EQ(*read.value(), content);
  }
  // Nothing but the file itself is left in the directory.
  EXPECT_EQ(Entries(dir_.path()), std::vector<std::string>{"settings.txt"});
  // A bound below the size gives the file's start.
  for (const std::size_t bound : {std::size_t{0}, std::size_t{70'000}}) {
    const auto read = files_.ReadAtMost("settings.txt", bound);
    ASSERT_TRUE(read.ok() && read.value().has_value());
    EXPECT_EQ(*read.value(), large.substr(0, bound));
  }
}

TEST_F(Win32TextFilesTest, MissingFileIsNothingToRead) {
  const auto read = files_.ReadAtMost("missing.txt", kAnySize);
  ASSERT_TRUE(read.ok());
  EXPECT_FALSE(read.value().has_value());
}

TEST_F(Win32TextFilesTest, DirectoriesAndDevicesAreRefused) {
  std::filesystem::create_directory(dir_.path() / "folder");
  for (const char* name : {"folder", "NUL"}) {
    const auto read = files_.ReadAtMost(name, kAnySize);
    ASSERT_FALSE(read.ok()) << name;
    EXPECT_NE(read.status().message().find("is not a regular file"), std::string::npos) << name;
  }
  const core::Status saved = files_.ReplaceAtomically("folder", "x");
  EXPECT_FALSE(saved.ok());
  EXPECT_NE(saved.message().find("is not a regular file"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_directory(dir_.path() / "folder"));
}

TEST_F(Win32TextFilesTest, FailedSaveLeavesTheOldFileAndNoNewOne) {
  dir_.WriteFile("settings.txt", "old");
  // A name Windows refuses in a file name fails the save as a whole.
  EXPECT_FALSE(files_.ReplaceAtomically("bad|name.txt", "new").ok());
  // A file another program holds open without sharing cannot be replaced.
  const std::wstring path = (dir_.path() / "settings.txt").wstring();
  HANDLE held = ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const core::Status saved = files_.ReplaceAtomically("settings.txt", "new");
  ::CloseHandle(held);
  EXPECT_FALSE(saved.ok());
  EXPECT_NE(saved.message().find("settings.txt"), std::string::npos) << saved.message();
  EXPECT_EQ(dir_.ReadFile("settings.txt"), "old");
  EXPECT_EQ(Entries(dir_.path()), std::vector<std::string>{"settings.txt"});
}

}  // namespace
}  // namespace orvik::platform
