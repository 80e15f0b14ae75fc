// Access to the real receiver captures used as test input: each capture
// `<name>` comes with `<name>.expected.tsv`, expectations derived by an
// independent decoder (one row per time message: kind, date, time, status,
// checksum_ok, talker, after_unterminated).
#pragma once

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

}  // namespace orvik::testing
