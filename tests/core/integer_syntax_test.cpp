#include "core/integer_syntax.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace orvik::core {
namespace {

TEST(IntegerSyntax, AcceptsDecimalAndHexadecimalForms) {
  struct Case {
    std::string text;
    std::int32_t value;
  };
  const Case cases[] = {
      {"0", 0},
      {"5", 5},
      {"60", 60},
      {"+7", 7},
      {"-7", -7},
      {"   5", 5},
      {" -12", -12},
      {"007", 7},
      {"-0", 0},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"000000000000002147483647", 2147483647},
      {"$1A", 26},
      {"$1a", 26},
      {"x10", 16},
      {"X10", 16},
      {"0x10", 16},
      {"0XfF", 255},
      {"-$1", -1},
      {"+$1", 1},
      {"  -0x10", -16},
      {"$7FFFFFFF", 2147483647},
      {"$80000000", INT32_MIN},
      {"$FFFFFFFF", -1},
      {"-$FFFFFFFF", 1},
      {"-$80000000", INT32_MIN},
      {"$00000000FFFFFFFF", -1},  // leading zeros are not significant
      {"$0", 0},
  };
  for (const Case& c : cases) {
    const Result<std::int32_t> result = ParseInteger(c.text);
    ASSERT_TRUE(result.ok()) << "'" << c.text << "': " << result.status().ToString();
    EXPECT_EQ(result.value(), c.value) << "'" << c.text << "'";
  }
}

TEST(IntegerSyntax, RejectsEverythingElseWithTheTextInTheMessage) {
  const std::string cases[] = {
      "",           " ",    "+",    "-",          "$",           "x",
      "0x",         "-$",
      "5 ",  // nothing may follow the digits
      "- 5",        "+-5",  "--5",  "2147483648", "-2147483649", "99999999999999999999999",
      "$100000000",  // nine significant digits
      "$1G",        "0x-1", "00x1", "1x1",        "1.0",         "1e3",
      "$ 1",        "0$1",
      "５",  // a multi-byte digit is no digit
  };
  for (const std::string& text : cases) {
    const Result<std::int32_t> result = ParseInteger(text);
    ASSERT_FALSE(result.ok()) << "'" << text << "'";
    EXPECT_EQ(result.status().code(), StatusCode::kInvalidInteger);
    EXPECT_EQ(result.status().message(), "'" + text + "' is not a valid integer value");
  }
}

TEST(IntegerSyntax, MessageShowsControlBytesAndCutsLongTexts) {
  struct Case {
    std::string text;
    std::string shown;
  };
  const Case cases[] = {
      {"5\r", "5\\x0D"},
      {"\t5", "\\x095"},  // only spaces count as leading blanks
      {std::string("5\0", 2), "5\\x00"},
      {std::string(1 << 20, '9'), std::string(64, '9') + "\xE2\x80\xA6"},
      {std::string(1000, ' ') + "5 ", std::string(64, ' ') + "\xE2\x80\xA6"},
  };
  for (const Case& c : cases) {
    const Result<std::int32_t> result = ParseInteger(c.text);
    ASSERT_FALSE(result.ok()) << c.shown;
    EXPECT_EQ(result.status().message(), "'" + c.shown + "' is not a valid integer value");
  }
}

}  // namespace
}  // namespace orvik::core
