#include "platform/posix/posix_text_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace orvik::platform {
namespace {

namespace fs = std::filesystem;

// A bound no file of these tests reaches.
constexpr std::size_t kAnySize = std::size_t{1} << 30;

// What a read found, in one comparable text: the content, "<nothing>" when
// there was no file to read, or "<error> " and the message.
std::string Found(const core::Result<std::optional<std::string>>& read) {
  if (!read.ok()) return "<error> " + read.status().message();
  return read.value().value_or("<nothing>");
}

// A fresh directory per test, removed with everything in it afterwards.
class PosixTextFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_.Ok()); }

  void WriteFile(const std::string& name, const std::string& content) {
    temp_.WriteFile(name, content);
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  testing::TempDir temp_;
  const fs::path& dir_ = temp_.path();
};

TEST_F(PosixTextFilesTest, ReplaceThenReadGivesTheSameBytes) {
  PosixTextFiles files(dir_);
  const std::string content("2\r\n\0\xff binary\r\n", 15);
  ASSERT_TRUE(files.ReplaceAtomically("GPS_parm.txt", content).ok());
  EXPECT_EQ(Found(files.ReadAtMost("GPS_parm.txt", kAnySize)), content);

  ASSERT_TRUE(files.ReplaceAtomically("GPS_parm.txt", "").ok());
  EXPECT_EQ(Found(files.ReadAtMost("GPS_parm.txt", kAnySize)), "");
  EXPECT_EQ(Entries(), std::vector<std::string>{"GPS_parm.txt"});
}

TEST_F(PosixTextFilesTest, ReadsLargeFilesUpToTheBoundAsked) {
  std::string big(3 * 1024 * 1024 + 17, 'x');
  big.back() = 'y';
  WriteFile("big.txt", big);
  PosixTextFiles files(dir_);
  EXPECT_TRUE(Found(files.ReadAtMost("big.txt", kAnySize)) == big);
  EXPECT_TRUE(Found(files.ReadAtMost("big.txt", big.size())) == big);
  EXPECT_EQ(Found(files.ReadAtMost("big.txt", 100'000)), big.substr(0, 100'000));
  EXPECT_EQ(Found(files.ReadAtMost("big.txt", 0)), "");
}

TEST_F(PosixTextFilesTest, ReadTellsNoFileFromNoRegularFileAndFailedRead) {
  fs::create_directory(dir_ / "folder");
  ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  fs::create_symlink("fifo", dir_ / "link_to_fifo");
  fs::create_symlink("/dev/null", dir_ / "device");
  fs::create_symlink("missing.txt", dir_ / "dangling");
  WriteFile("real.txt", "r");
  fs::create_symlink(dir_ / "real.txt", dir_ / "link_to_real");
  // Regular by its type, yet reading it from offset 0 fails.
  fs::create_symlink("/proc/self/mem", dir_ / "unreadable");
  const std::string dir = dir_.string();
  struct Case {
    const char* name;
    std::string found;
  };
  const Case cases[] = {
      {"missing.txt", "<nothing>"},
      {"", "<nothing>"},
      {"dangling", "<nothing>"},
      {"link_to_real", "r"},
      {"folder", "<error> '" + dir + "/folder' is not a regular file"},
      {"fifo", "<error> '" + dir + "/fifo' is not a regular file"},  // must not block
      {"link_to_fifo", "<error> '" + dir + "/link_to_fifo' is not a regular file"},
      {"device", "<error> '" + dir + "/device' is not a regular file"},
      {"unreadable", "<error> Cannot read '" + dir + "/unreadable': Input/output error"},
  };
  PosixTextFiles files(dir_);
  for (const Case& c : cases) {
    EXPECT_EQ(Found(files.ReadAtMost(c.name, kAnySize)), c.found) << c.name;
  }
}

TEST_F(PosixTextFilesTest, ReplaceKeepsThePermissionsAndOwnerOfTheOldFile) {
  WriteFile("GPS_parm.txt", "old");
  fs::permissions(dir_ / "GPS_parm.txt", fs::perms(0640));
  // Only a privileged test run can give the file away; then it must stay so.
  const bool given_away = ::chown((dir_ / "GPS_parm.txt").c_str(), 4321, 4322) == 0;
  PosixTextFiles files(dir_);
  ASSERT_TRUE(files.ReplaceAtomically("GPS_parm.txt", "new").ok());
  EXPECT_EQ(fs::status(dir_ / "GPS_parm.txt").permissions(), fs::perms(0640));
  struct stat info {};
  ASSERT_EQ(::stat((dir_ / "GPS_parm.txt").c_str(), &info), 0);
  if (given_away) {
    EXPECT_EQ(info.st_uid, 4321u);
    EXPECT_EQ(info.st_gid, 4322u);
  }
}

TEST_F(PosixTextFilesTest, ReplaceThroughSymbolicLinksReplacesTheFileTheyLeadTo) {
  fs::create_directory(dir_ / "etc");
  WriteFile("etc/GPS_parm.txt", "old");
  fs::permissions(dir_ / "etc/GPS_parm.txt", fs::perms(0640));
  fs::create_symlink("etc/GPS_parm.txt", dir_ / "GPS_parm.txt");    // relative
  fs::create_symlink(dir_ / "GPS_parm.txt", dir_ / "second_link");  // absolute, to a link
  PosixTextFiles files(dir_);

  ASSERT_TRUE(files.ReplaceAtomically("second_link", "new").ok());
  EXPECT_TRUE(fs::is_symlink(dir_ / "GPS_parm.txt"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "second_link"));
  EXPECT_EQ(temp_.ReadFile("etc/GPS_parm.txt"), "new");
  EXPECT_EQ(fs::status(dir_ / "etc/GPS_parm.txt").permissions(), fs::perms(0640));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"GPS_parm.txt", "etc", "second_link"}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "etc"), fs::directory_iterator()), 1);
}

TEST_F(PosixTextFilesTest, ReplaceRefusesLinkLoopsAndTargetsThatAreNoRegularFile) {
  fs::create_symlink("loop_b", dir_ / "loop_a");
  fs::create_symlink("loop_a", dir_ / "loop_b");
  ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  fs::create_symlink("fifo", dir_ / "link_to_fifo");
  PosixTextFiles files(dir_);

  const core::Status loop = files.ReplaceAtomically("loop_a", "new");
  EXPECT_EQ(loop.message(),
            "Cannot save '" + (dir_ / "loop_a").string() + "': Too many levels of symbolic links");
  const core::Status fifo = files.ReplaceAtomically("link_to_fifo", "new");
  EXPECT_EQ(fifo.message(), "'" + (dir_ / "fifo").string() + "' is not a regular file");
  EXPECT_TRUE(fs::is_fifo(dir_ / "fifo"));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"fifo", "link_to_fifo", "loop_a", "loop_b"}));
}

TEST_F(PosixTextFilesTest, FailedReplaceLeavesOldFileAndNoTemporaryFile) {
  WriteFile("GPS_parm.txt", "old");
  fs::create_directory(dir_ / "GPS_parm.txt.d");
  WriteFile("GPS_parm.txt.d/inside", "keep");
  PosixTextFiles files(dir_);

  // The name is an existing directory: the rename over it fails.
  const core::Status over_directory = files.ReplaceAtomically("GPS_parm.txt.d", "new");
  EXPECT_EQ(over_directory.code(), core::StatusCode::kIoError);
  EXPECT_NE(over_directory.message().find("GPS_parm.txt.d"), std::string::npos)
      << over_directory.message();
  EXPECT_TRUE(fs::is_directory(dir_ / "GPS_parm.txt.d"));
  EXPECT_EQ(Found(files.ReadAtMost("GPS_parm.txt.d/inside", kAnySize)), "keep");
  EXPECT_EQ(Found(files.ReadAtMost("GPS_parm.txt", kAnySize)), "old");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"GPS_parm.txt", "GPS_parm.txt.d"}));

  // The directory itself does not exist: the temporary file cannot be made.
  PosixTextFiles nowhere(dir_ / "no_such_dir");
  const core::Status no_dir = nowhere.ReplaceAtomically("GPS_parm.txt", "new");
  EXPECT_EQ(no_dir.code(), core::StatusCode::kIoError);
  EXPECT_NE(no_dir.message().find("GPS_parm.txt"), std::string::npos);
  EXPECT_NE(no_dir.message().find("No such file or directory"), std::string::npos)
      << no_dir.message();
  EXPECT_FALSE(fs::exists(dir_ / "no_such_dir"));
}

TEST_F(PosixTextFilesTest, CurrentDirectoryFormResolvesBareNames) {
  const fs::path before = fs::current_path();
  fs::current_path(dir_);
  PosixTextFiles files(".");
  const core::Status status = files.ReplaceAtomically("GPS_parm.txt", "x\r\n");
  const std::string content = Found(files.ReadAtMost("GPS_parm.txt", kAnySize));
  fs::current_path(before);
  ASSERT_TRUE(status.ok()) << status.ToString();
  EXPECT_EQ(content, "x\r\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"GPS_parm.txt"});
}

}  // namespace
}  // namespace orvik::platform
