#include "gpstime_sim/replay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace orvik::tools {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FromText(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::vector<std::string> SplitToText(const Bytes& data) {
  std::vector<std::string> out;
  for (const auto sentence : SplitSentences(data))
    out.emplace_back(sentence.begin(), sentence.end());
  return out;
}

TEST(ReplaySplit, EndsSentencesAtLineFeedsBeforeTheNextMessage) {
  const struct {
    std::string legend;
    std::string data;
    std::vector<std::string> sentences;
  } cases[] = {
      {"crlf", "$A*00\r\n$B*00\r\n", {"$A*00\r\n", "$B*00\r\n"}},
      {"lf only", "$A*00\n$B*00\n", {"$A*00\n", "$B*00\n"}},
      {"no final lf", "$A*00\n$B", {"$A*00\n", "$B"}},
      {"unterminated sentence runs into the next", "$GLGS$GPRMC,1\n", {"$GLGS$GPRMC,1\n"}},
      {"lf inside Motorola data",
       std::string("@@Ea\x01\n\x02\r\n@@Hb\r\n"),
       {std::string("@@Ea\x01\n\x02\r\n"), "@@Hb\r\n"}},
      {"text before the first message", "junk\n$A\n", {"junk\n", "$A\n"}},
      {"AIS-style start", "$A\n!B\n", {"$A\n", "!B\n"}},
      {"empty", "", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitToText(FromText(c.data)), c.sentences) << c.legend;
  }
}

TEST(ReplaySplit, CutsRunawaySentences) {
  const Bytes data(10'000, 'x');
  const auto sentences = SplitSentences(data);
  ASSERT_EQ(sentences.size(), 3u);
  EXPECT_EQ(sentences[0].size(), 4096u);
  EXPECT_EQ(sentences[2].size(), 10'000u - 2 * 4096u);
}

// Every capture splits without losing a byte; NMEA captures give one
// sentence per line and Oncore binary gives whole 76-byte "@@Ea" messages.
TEST(ReplaySplit, SplitsEveryCaptureLosslessly) {
  const char* corpus = std::getenv("ORVIK_CORPUS_DIR");
  ASSERT_NE(corpus, nullptr) << "ORVIK_CORPUS_DIR is not set";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    const std::string name = entry.path().filename().string();
    const bool nmea = name.ends_with(".nmea");
    if (!nmea && !name.ends_with(".bin")) continue;
    SCOPED_TRACE(name);
    ++files;
    const auto capture = ReadCapture(entry.path().string());
    ASSERT_TRUE(capture.ok()) << capture.status().ToString();
    const Bytes& data = capture.value();
    Bytes joined;
    std::size_t ea_messages = 0;
    for (const auto sentence : SplitSentences(data)) {
      joined.insert(joined.end(), sentence.begin(), sentence.end());
      const std::string head(sentence.begin(),
                             sentence.begin() + std::min<std::size_t>(4, sentence.size()));
      if (head == "@@Ea") {
        ++ea_messages;
        EXPECT_EQ(sentence.size(), 76u);
      }
    }
    EXPECT_EQ(joined, data);
    if (nmea) {
      // One sentence per line that starts a message (a blank line joins the one before).
      std::size_t starts = 0;
      for (std::size_t i = 0; i < data.size(); ++i) {
        if ((i == 0 || data[i - 1] == '\n') && (data[i] == '$' || data[i] == '!')) ++starts;
      }
      EXPECT_EQ(SplitSentences(data).size(), starts);
    }
    if (name == "moto_oncore_r5122_2.bin") {
      EXPECT_EQ(ea_messages, 11u);
    }
  }
  EXPECT_GE(files, 9);
}

TEST(ReplayCapture, ReportsMissingFile) {
  const auto capture = ReadCapture("/nonexistent/capture.nmea");
  ASSERT_FALSE(capture.ok());
  EXPECT_NE(capture.status().message().find("/nonexistent/capture.nmea"), std::string::npos);
}

}  // namespace
}  // namespace orvik::tools
