#include "platform/posix_text_files.h"

#include "fakes/temp_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace orvik::platform {
namespace {

namespace fs = std::filesystem;

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
  EXPECT_EQ(files.ReadAll("GPS_parm.txt"), content);

  ASSERT_TRUE(files.ReplaceAtomically("GPS_parm.txt", "").ok());
  EXPECT_EQ(files.ReadAll("GPS_parm.txt"), "");
  EXPECT_EQ(Entries(), std::vector<std::string>{"GPS_parm.txt"});
}

TEST_F(PosixTextFilesTest, ReadsLargeFilesWhole) {
  const std::string big(3 * 1024 * 1024 + 17, 'x');
  WriteFile("big.txt", big);
  PosixTextFiles files(dir_);
  EXPECT_EQ(files.ReadAll("big.txt"), big);
}

TEST_F(PosixTextFilesTest, ReadAllIsEmptyForMissingFilesDirectoriesAndFifos) {
  fs::create_directory(dir_ / "folder");
  ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  PosixTextFiles files(dir_);
  EXPECT_EQ(files.ReadAll("missing.txt"), std::nullopt);
  EXPECT_EQ(files.ReadAll("folder"), std::nullopt);
  EXPECT_EQ(files.ReadAll("fifo"), std::nullopt);  // must not block
  EXPECT_EQ(files.ReadAll(""), std::nullopt);
}

TEST_F(PosixTextFilesTest, ReplaceKeepsThePermissionsOfTheOldFile) {
  WriteFile("GPS_parm.txt", "old");
  fs::permissions(dir_ / "GPS_parm.txt", fs::perms(0640));
  PosixTextFiles files(dir_);
  ASSERT_TRUE(files.ReplaceAtomically("GPS_parm.txt", "new").ok());
  EXPECT_EQ(fs::status(dir_ / "GPS_parm.txt").permissions(), fs::perms(0640));
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
  EXPECT_EQ(files.ReadAll("GPS_parm.txt.d/inside"), "keep");
  EXPECT_EQ(files.ReadAll("GPS_parm.txt"), "old");
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
  const auto content = files.ReadAll("GPS_parm.txt");
  fs::current_path(before);
  ASSERT_TRUE(status.ok()) << status.ToString();
  EXPECT_EQ(content, "x\r\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"GPS_parm.txt"});
}

}  // namespace
}  // namespace orvik::platform
