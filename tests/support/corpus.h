// Access to the real receiver captures used as test input: each capture
// `<name>` comes with `<name>.expected.tsv`, expectations derived by an
// independent decoder (one row per time message: kind, date, time, status,
// checksum_ok, talker, after_unterminated).
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace orvik::testing {

struct ExpectedTimeMessage {
  std::string kind;    // "RMC", "Ea" or "Hb"
  std::string date;    // yyyy-mm-dd
  std::string time;    // hh:mm:ss
  std::string status;  // "A", "V" or "-"
  bool checksum_ok = false;
  std::string talker;  // "GP", "GN", ... or "-"
};

// The folder of captures: $ORVIK_CORPUS_DIR, else the one configured at build time.
std::filesystem::path CorpusDir();
// The capture files (not the .tsv files), sorted by name.
std::vector<std::filesystem::path> CorpusFiles(const std::string& extension);
std::string ReadBinaryFile(const std::filesystem::path& path);
// The non-empty lines of an NMEA capture, without their CR or LF.
std::vector<std::string> CaptureLines(const std::filesystem::path& capture);
// The messages of a Motorola capture as the receiver sent them: the bytes
// cut at every "@@" that follows CR LF.
std::vector<std::string> MotorolaMessages(const std::filesystem::path& capture);
std::vector<ExpectedTimeMessage> ReadExpected(const std::filesystem::path& capture);

// The lines of an NMEA capture as one stream: each line ended by CR LF, or,
// with `glued`, without line ends and with a doubled "$" on every other
// sentence, as some receivers send them.
std::string CaptureStream(const std::vector<std::string>& lines, bool glued);
// The sentences framed from such a stream: each line without its "$", CR LF added.
std::vector<std::string> SentencesOf(const std::vector<std::string>& lines);
// "yyyy-mm-dd hh:mm:ss" of the seven bytes at `at` (month, day, year in two
// bytes, hour, minute, second), as Motorola data and time records hold them.
template <typename Bytes>
std::string DateTimeAt(const Bytes& bytes, std::size_t at = 0) {
  const auto b = [&](std::size_t k) { return unsigned{static_cast<unsigned char>(bytes[at + k])}; };
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", b(2) * 256 + b(3), b(0), b(1),
                b(4), b(5), b(6));
  return text;
}

}  // namespace orvik::testing
