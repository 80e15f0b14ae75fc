#include "core/timeouts_file.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "fakes/fake_text_files.h"

namespace orvik::core {
namespace {

using orvik::testing::FakeTextFiles;
using Table = std::array<std::uint16_t, 8>;

constexpr char kFile[] = "timeouts.txt";
constexpr Table kOnes = {1, 1, 1, 1, 1, 1, 1, 1};

// The built-in tables in the file layout: five titles, each followed by its
// eight values separated by ", ".
std::string DefaultTablesText(const std::string& eol) {
  const char* const titles[] = {"ReadIntervalTimeout (ms) 110..9600 Bd",
                                "ReadTotalTimeoutMultiplier", "ReadTotalTimeoutConstant",
                                "WriteTotalTimeoutMultiplier", "WriteTotalTimeoutConstant"};
  const TimeoutTable defaults = DefaultTimeoutTable();
  std::string text;
  for (std::size_t t = 0; t < TimeoutTable::kTableCount; ++t) {
    text += titles[t] + eol;
    for (std::size_t i = 0; i < 8; ++i) {
      if (i > 0) text += ", ";
      text += std::to_string(defaults.tables[t][i]);
    }
    text += eol;
  }
  return text;
}

// A table of all 7s; the loads below write over it.
TimeoutTable Sevens() {
  TimeoutTable table;
  for (Table& values : table.tables) values.fill(7);
  return table;
}

TEST(ParseTimeoutLine, SplitsAtEveryByteUpToCommaAndKeepsUnsetEntries) {
  struct Case {
    std::string line;
    Table expected;
  };
  const Case cases[] = {
      {"10, 20 30,40", {10, 20, 30, 40, 1, 1, 1, 1}},
      {"1,2,3,4,5,6,7,8,9", {1, 2, 3, 4, 5, 6, 7, 8}},
      {"1 2 3 4 5 6 7 8 oops", {1, 2, 3, 4, 5, 6, 7, 8}},  // after the 8th: ignored
      {"$10+20", {10, 20, 1, 1, 1, 1, 1, 1}},              // "$" and "+" separate
      {"5!6\"7#8%9&10'11(12", {5, 6, 7, 8, 9, 10, 11, 12}},
      {std::string("\t3\x01"
                   "4\0"
                   "5",
                   6),
       {3, 4, 5, 1, 1, 1, 1, 1}},
      {"70000 -1 65536 -65534", {4464, 65535, 0, 2, 1, 1, 1, 1}},
      {"0x10 x10 X1f 0XFFFFFFFF", {16, 16, 31, 65535, 1, 1, 1, 1}},
      {"", kOnes},
      {" ,, \r", kOnes},
  };
  for (const Case& c : cases) {
    Table table = kOnes;
    EXPECT_TRUE(ParseTimeoutLine(c.line, table).ok()) << c.line;
    EXPECT_EQ(table, c.expected) << c.line;
  }
}

TEST(ParseTimeoutLine, BadValueFailsWithItsTextAndKeepsEarlierEntries) {
  struct Case {
    std::string line;
    std::string bad_value;  // as the message shows it
    Table expected;
  };
  const Case cases[] = {
      {"10, 20, 1.5, 40", "1.5", {10, 20, 1, 1, 1, 1, 1, 1}},
      {"1.5", "1.5", kOnes},
      {"3 12a 4", "12a", {3, 1, 1, 1, 1, 1, 1, 1}},
      {"3 - 4", "-", {3, 1, 1, 1, 1, 1, 1, 1}},
      {"3 4-5", "4-5", {3, 1, 1, 1, 1, 1, 1, 1}},
      {"2147483648", "2147483648", kOnes},
      // Bytes 128..255 belong to a value rather than separating values.
      {"9 1\xb0"
       "2",
       "1\\xB02",
       {9, 1, 1, 1, 1, 1, 1, 1}},
      {"7 " + std::string(500, '8') + "z",
       std::string(64, '8') + "\xE2\x80\xA6",
       {7, 1, 1, 1, 1, 1, 1, 1}},
  };
  for (const Case& c : cases) {
    Table table = kOnes;
    const Status status = ParseTimeoutLine(c.line, table);
    EXPECT_EQ(status.code(), StatusCode::kInvalidInteger) << c.line;
    EXPECT_EQ(status.message(), "'" + c.bad_value + "' is not a valid integer value");
    EXPECT_EQ(table, c.expected) << c.line;
  }
}

TEST(LoadTimeouts, DefaultTablesInFileLayoutReproduceBuiltInValues) {
  for (const std::string eol : {"\r\n", "\n"}) {
    FakeTextFiles files;
    files.Set(kFile, DefaultTablesText(eol));
    TimeoutTable table = Sevens();
    ASSERT_TRUE(LoadTimeouts(files, table).ok());
    EXPECT_EQ(table, DefaultTimeoutTable()) << "line end size " << eol.size();
  }
}

TEST(LoadTimeouts, MissingOrUnreadableFileLeavesTablesUnchanged) {
  FakeTextFiles files;
  TimeoutTable table = Sevens();
  EXPECT_TRUE(LoadTimeouts(files, table).ok());
  EXPECT_EQ(table, Sevens());

  files.Set(kFile, "t\r\n1 2 3\r\n");
  files.MakeUnreadable(kFile);
  EXPECT_TRUE(LoadTimeouts(files, table).ok());
  EXPECT_EQ(table, Sevens());
}

TEST(LoadTimeouts, NameThatIsNoRegularFileOrFailsToReadStopsLoading) {
  for (const std::string message : {"'./timeouts.txt' is not a regular file",
                                    "Cannot read './timeouts.txt': Input/output error"}) {
    FakeTextFiles files;
    files.Set(kFile, "t\r\n1 2 3\r\n");
    files.FailReads(kFile, message);
    TimeoutTable table = Sevens();
    EXPECT_EQ(LoadTimeouts(files, table), Status::Error(StatusCode::kIoError, message));
    EXPECT_EQ(table, Sevens());
  }
}

TEST(LoadTimeouts, ShortFileChangesOnlyTheTablesItReaches) {
  struct Case {
    std::string content;
    std::size_t tables_changed;
  };
  const Case cases[] = {
      {"", 0},
      {"title only\r\n", 0},
      {"title\r\n1 2 3 4 5 6 7 8\r\n", 1},
      {"title\n1 2 3 4 5 6 7 8", 1},  // last line without a line end
      {"title\r\n1 2 3 4 5 6 7 8\r\nsecond title\r\n", 1},
      {"a\r\n1 2 3 4 5 6 7 8\r\nb\r\n1 2 3 4 5 6 7 8\r\nc\r\n1 2 3 4 5 6 7 8\r\n", 3},
  };
  for (const Case& c : cases) {
    FakeTextFiles files;
    files.Set(kFile, c.content);
    TimeoutTable table = Sevens();
    ASSERT_TRUE(LoadTimeouts(files, table).ok()) << c.content;
    for (std::size_t t = 0; t < TimeoutTable::kTableCount; ++t) {
      const Table expected =
          t < c.tables_changed ? Table{1, 2, 3, 4, 5, 6, 7, 8} : Table{7, 7, 7, 7, 7, 7, 7, 7};
      EXPECT_EQ(table.tables[t], expected) << c.content << " table " << t;
    }
  }
}

TEST(LoadTimeouts, TitlesAreNeverParsedAndLinesAfterTheTenthAreIgnored) {
  FakeTextFiles files;
  std::string text;
  for (int t = 0; t < 5; ++t) {
    text += "1.5 x y, 12abc $$ timeouts " + std::to_string(t) + "\r\n";
    text += std::to_string(t + 1) + "\r\n";
  }
  text += "not a value\r\nnot a value either\r\n";
  files.Set(kFile, text);

  TimeoutTable table = Sevens();
  ASSERT_TRUE(LoadTimeouts(files, table).ok());
  for (std::size_t t = 0; t < TimeoutTable::kTableCount; ++t) {
    EXPECT_EQ(table.tables[t], (Table{static_cast<std::uint16_t>(t + 1), 7, 7, 7, 7, 7, 7, 7}));
  }
}

TEST(LoadTimeouts, CrBeforeLfIsDroppedButOtherwiseLinesSplitOnlyAtLf) {
  // A lone CR does not end a line: "t\r9" is one title line.
  FakeTextFiles files;
  files.Set(kFile, "t\r9\n5\n");
  TimeoutTable table = Sevens();
  ASSERT_TRUE(LoadTimeouts(files, table).ok());
  EXPECT_EQ(table.tables[0], (Table{5, 7, 7, 7, 7, 7, 7, 7}));
}

TEST(LoadTimeouts, LinesTooLongAreRefusedAndNoFileIsReadWhole) {
  const std::string dots = "\xE2\x80\xA6";
  const std::string huge(1 << 20, '5');
  struct Case {
    std::string content;
    std::string error;  // empty: loads
  };
  const Case cases[] = {
      {"a\r\n1\r\n" + std::string(255, 't') + "\r\n2\r\n", ""},
      {"a\r\n1\r\n" + std::string(256, 't') + "\r\n2\r\n",
       "Line 3 of timeouts.txt must be at most 255 bytes long, not " + std::string(64, 't') + dots +
           "."},
      {"a\r\n1\r\nb\r\n" + huge, "Line 4 of timeouts.txt must be at most 255 bytes long, not " +
                                     huge.substr(0, 64) + dots + "."},
      {"a\r\n1\r\nb\r\n2\r\nc\r\n3\r\nd\r\n4\r\ne\r\n5\r\n" + huge, ""},  // after the tenth line
  };
  for (const Case& c : cases) {
    FakeTextFiles files;
    files.Set(kFile, c.content);
    TimeoutTable table = Sevens();
    EXPECT_EQ(LoadTimeouts(files, table).message(), c.error) << c.content.size();
    EXPECT_EQ(table.tables[0][0], 1) << c.content.size();  // lines before stay loaded
    EXPECT_LE(files.LargestReadAsked(), 16u * 1024);
  }
}

TEST(LoadTimeouts, BadValueStopsLoadingAndKeepsWhatWasFilled) {
  FakeTextFiles files;
  files.Set(kFile, "a\r\n1 2\r\nb\r\n3 1.5 4\r\nc\r\n5 6\r\n");
  TimeoutTable table = Sevens();
  const Status status = LoadTimeouts(files, table);
  EXPECT_EQ(status.message(), "'1.5' is not a valid integer value");
  EXPECT_EQ(table.tables[0], (Table{1, 2, 7, 7, 7, 7, 7, 7}));
  EXPECT_EQ(table.tables[1], (Table{3, 7, 7, 7, 7, 7, 7, 7}));
  EXPECT_EQ(table.tables[2], (Table{7, 7, 7, 7, 7, 7, 7, 7}));
}

}  // namespace
}  // namespace orvik::core
