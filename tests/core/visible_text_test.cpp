#include "core/visible_text.h"

#include <gtest/gtest.h>

#include <string>

namespace orvik::core {
namespace {

const std::string kEllipsis = "\xE2\x80\xA6";

TEST(VisibleText, KeepsPrintableTextAndShowsEveryOtherByteAsHex) {
  struct Case {
    std::string text;
    std::string shown;
  };
  const Case cases[] = {
      {"", ""},
      {"abc 1.5 -x $1A", "abc 1.5 -x $1A"},
      {"C:\\gps\\x41", "C:\\gps\\x41"},  // a backslash stays as it is
      {std::string("5\0", 2), "5\\x00"},
      {"9\r", "9\\x0D"},
      {"\t5\x1b[2J\x7f", "\\x095\\x1B[2J\\x7F"},
      {"1\xb0"
       "2",
       "1\\xB02"},                                             // an 8-bit byte that is no UTF-8
      {"\xC2\xB0 \xE2\x82\xAC \xEF\xBC\x95 \xF0\x9F\x9B\xB0",  // ° € ５ 🛰
       "\xC2\xB0 \xE2\x82\xAC \xEF\xBC\x95 \xF0\x9F\x9B\xB0"},
      {"\xC2\x9B"
       "1m",
       "\\xC2\\x9B1m"},                           // a C1 control in UTF-8
      {"\xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80",  // overlong, surrogate, past U+10FFFF
       "\\xC0\\xAF \\xED\\xA0\\x80 \\xF4\\x90\\x80\\x80"},
      {"\xE2\x82", "\\xE2\\x82"},  // cut short
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VisibleText(c.text, 100), c.shown) << c.shown;
  }
}

TEST(VisibleText, CutsAfterTheLimitCountingCharactersNotBytes) {
  struct Case {
    std::string text;
    std::string shown;
  };
  const std::string e_acute = "\xC3\xA9";
  std::string many_e_acute;
  for (int i = 0; i < 64; ++i) many_e_acute += e_acute;
  std::string many_nuls;
  for (int i = 0; i < 64; ++i) many_nuls += "\\x00";
  const Case cases[] = {
      {std::string(64, '7'), std::string(64, '7')},
      {std::string(65, '7'), std::string(64, '7') + kEllipsis},
      {std::string(1 << 24, '7'), std::string(64, '7') + kEllipsis},
      {many_e_acute, many_e_acute},
      {many_e_acute + "x", many_e_acute + kEllipsis},
      {std::string(65, '\0'), many_nuls + kEllipsis},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EchoedText(c.text), c.shown) << c.text.size() << " bytes";
  }
  EXPECT_EQ(VisibleText("abcdef", 3), "abc" + kEllipsis);
}

}  // namespace
}  // namespace orvik::core
