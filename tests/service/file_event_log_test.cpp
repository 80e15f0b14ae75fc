#include "service/file_event_log.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <latch>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/unique_fd.h"
#include "support/temp_dir.h"

namespace orvik::service {
namespace {

namespace fs = std::filesystem;

constexpr char kLog[] = "GPS_log.txt";
constexpr char kBak[] = "GPS_log.bak";

// A fresh directory per test, removed with everything in it afterwards.
class FileEventLogTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(temp_.Ok()); }

  void WriteFile(const std::string& name, const std::string& content) {
    temp_.WriteFile(name, content);
  }
  std::string ReadFile(const std::string& name) const { return temp_.ReadFile(name); }
  bool Exists(const std::string& name) const { return fs::exists(dir_ / name); }

  testing::TempDir temp_;
  const fs::path& dir_ = temp_.path();
};

TEST_F(FileEventLogTest, AppendsEachLineWithCrLfCreatingTheFileWhenMissing) {
  FileEventLog log(dir_);
  log.WriteLog("Start");
  EXPECT_EQ(ReadFile(kLog), "Start\r\n");

  log.WriteLog("");
  log.WriteLog("12:00:01 Set PC time to 01.02.2026 12:00:01 Diff (msec.): -3");
  EXPECT_EQ(ReadFile(kLog),
            "Start\r\n\r\n12:00:01 Set PC time to 01.02.2026 12:00:01 Diff (msec.): -3\r\n");

  // A second writer on the same directory appends after what is there.
  FileEventLog(dir_).WriteLog("Stop");
  EXPECT_TRUE(ReadFile(kLog).ends_with("-3\r\nStop\r\n"));
  EXPECT_FALSE(Exists(kBak));
}

TEST_F(FileEventLogTest, RotatesOnlyFrom128128Bytes) {
  struct Case {
    std::size_t size;
    bool old_backup;
  };
  const Case cases[] = {
      {128127, false}, {128127, true}, {128128, false}, {128128, true}, {200000, true}};
  const std::string rotation_end = "New file is created\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.size << " bytes, old backup " << c.old_backup);
    const std::string old_log = std::string(c.size - 2, 'a') + "\r\n";
    WriteFile(kLog, old_log);
    fs::remove(dir_ / kBak);
    if (c.old_backup) WriteFile(kBak, "older generation\r\n");

    FileEventLog log(dir_);
    log.WriteLog("Start");
    // EXPECT_TRUE on the comparisons keeps 128 KB strings out of the output.
    if (c.size < FileEventLog::kRotationSize) {
      EXPECT_TRUE(ReadFile(kLog) == old_log + "Start\r\n");
      EXPECT_EQ(Exists(kBak), c.old_backup);
      if (c.old_backup) {
        EXPECT_EQ(ReadFile(kBak), "older generation\r\n");
      }
      // Now past the limit: the next line rotates.
      log.WriteLog("Stop");
      EXPECT_TRUE(ReadFile(kBak) == old_log + "Start\r\n" + rotation_end);
      EXPECT_EQ(ReadFile(kLog), "Stop\r\n");
    } else {
      EXPECT_TRUE(ReadFile(kBak) == old_log + rotation_end);
      EXPECT_EQ(ReadFile(kLog), "Start\r\n");
      // The new log is small: the next line is simply appended.
      log.WriteLog("Stop");
      EXPECT_EQ(ReadFile(kLog), "Start\r\nStop\r\n");
      EXPECT_TRUE(ReadFile(kBak) == old_log + rotation_end);
    }
  }
}

TEST_F(FileEventLogTest, LogThatCannotBeMovedKeepsGrowingWithoutLoss) {
  // A non-empty directory named like the backup can be neither deleted nor
  // replaced by a file, even by root.
  fs::create_directory(dir_ / kBak);
  WriteFile(std::string(kBak) + "/keep", "x");
  const std::string old_log(FileEventLog::kRotationSize, 'a');
  WriteFile(kLog, old_log);

  FileEventLog log(dir_);
  log.WriteLog("one");
  log.WriteLog("two");

  EXPECT_TRUE(ReadFile(kLog) == old_log + "one\r\ntwo\r\n");
  EXPECT_TRUE(fs::is_directory(dir_ / kBak));
  EXPECT_EQ(ReadFile(std::string(kBak) + "/keep"), "x");
}

TEST_F(FileEventLogTest, LogThatCannotBeRotatedStopsAtTenTimesTheRotationSizeAndSaysSoOnce) {
  fs::create_directory(dir_ / kBak);
  WriteFile(std::string(kBak) + "/keep", "x");
  WriteFile(kLog, "");
  fs::resize_file(dir_ / kLog, FileEventLog::kMaxLogSize - 1);
  std::vector<std::string> notices;
  FileEventLog log(dir_, [&notices](const std::string& message) { notices.push_back(message); });

  log.WriteLog("one");  // still below the bound: appended
  log.WriteLog("two");
  log.WriteLog("three");
  EXPECT_EQ(fs::file_size(dir_ / kLog), FileEventLog::kMaxLogSize - 1 + 5);
  EXPECT_TRUE(ReadFile(kLog).ends_with(std::string(1, '\0') + "one\r\n"));
  EXPECT_EQ(notices, std::vector<std::string>{"Cannot rotate '" + (dir_ / kLog).string() +
                                              "' to '" + (dir_ / kBak).string() +
                                              "' (Is a directory): it has reached 1281284 bytes "
                                              "and takes no more lines"});

  // Once the backup can be replaced, the log rotates and lines flow again.
  fs::remove_all(dir_ / kBak);
  log.WriteLog("four");
  EXPECT_EQ(ReadFile(kLog), "four\r\n");
  EXPECT_EQ(fs::file_size(dir_ / kBak), FileEventLog::kMaxLogSize - 1 + 5 + 21);
  EXPECT_EQ(notices.size(), 1u);
}

TEST_F(FileEventLogTest, LogThatIsNoRegularFileIsNeitherOpenedNorWrittenAndToldOnce) {
  enum class Kind { kFifoWithReader, kDirectory, kDevice, kFifoAlone };
  for (const Kind kind :
       {Kind::kFifoWithReader, Kind::kDirectory, Kind::kDevice, Kind::kFifoAlone}) {
    fs::remove_all(dir_ / kLog);
    // A FIFO with a reader would take the lines; one without would block the
    // open for ever.
    if (kind == Kind::kFifoWithReader || kind == Kind::kFifoAlone) {
      ASSERT_EQ(::mkfifo((dir_ / kLog).c_str(), 0600), 0);
    }
    if (kind == Kind::kDirectory) fs::create_directory(dir_ / kLog);
    if (kind == Kind::kDevice) fs::create_symlink("/dev/null", dir_ / kLog);
    const platform::UniqueFd reader(
        kind == Kind::kFifoWithReader ? ::open((dir_ / kLog).c_str(), O_RDONLY | O_NONBLOCK) : -1);
    std::vector<std::string> notices;
    FileEventLog log(dir_, [&notices](const std::string& message) { notices.push_back(message); });
    log.WriteLog("Start");
    log.WriteLog("Stop");
    EXPECT_EQ(notices,
              std::vector<std::string>{"'" + (dir_ / kLog).string() + "' is not a regular file"});
    if (reader.valid()) {
      char byte = 0;
      EXPECT_LE(::read(reader.get(), &byte, 1), 0) << "a line reached the FIFO";
    }
  }
  EXPECT_FALSE(Exists(kBak));
}

TEST_F(FileEventLogTest, TwoThreadsAtOnceKeepEveryLineWhole) {
  constexpr int kLinesPerThread = 2000;
  FileEventLog log(dir_);
  std::latch start(2);
  const auto writer = [&](char id) {
    start.arrive_and_wait();
    for (int i = 0; i < kLinesPerThread; ++i) {
      log.WriteLog(std::string(1, id) + " line " + std::to_string(i) + " ...............");
    }
  };
  std::thread a(writer, 'A');
  std::thread b(writer, 'B');
  a.join();
  b.join();

  // Short lines: 4,000 of them stay below the rotation size.
  ASSERT_FALSE(Exists(kBak));
  std::istringstream in(ReadFile(kLog));
  std::set<std::string> seen;
  std::vector<int> next = {0, 0};  // each thread's lines keep their order
  int count = 0;
  for (std::string line; count <= 2 * kLinesPerThread && std::getline(in, line); ++count) {
    ASSERT_TRUE(line.ends_with(" ...............\r")) << line;
    ASSERT_TRUE(line[0] == 'A' || line[0] == 'B') << line;
    const std::string expected_start =
        std::string(1, line[0]) + " line " + std::to_string(next[line[0] - 'A']++) + " ";
    ASSERT_TRUE(line.starts_with(expected_start)) << line;
    ASSERT_TRUE(seen.insert(line).second) << "twice: " << line;
  }
  EXPECT_EQ(count, 2 * kLinesPerThread);
  EXPECT_EQ(next, (std::vector<int>{kLinesPerThread, kLinesPerThread}));
}

TEST_F(FileEventLogTest, MissingDirectoryIsSilentAndCreatesNothing) {
  const fs::path missing = dir_ / "no" / "such" / "dir";
  FileEventLog log(missing);
  log.WriteLog("Start");
  log.WriteLog("Stop");
  EXPECT_FALSE(fs::exists(dir_ / "no"));
  EXPECT_TRUE(fs::is_empty(dir_));
}

}  // namespace
}  // namespace orvik::service
