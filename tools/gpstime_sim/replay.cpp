#include "gpstime_sim/replay.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>

#include "gpstime_sim/command_printer.h"
#include "gpstime_sim/sim_line.h"

namespace orvik::tools {
namespace {

using std::chrono::milliseconds;

constexpr std::size_t kMaxSentence = 4096;
constexpr std::uintmax_t kMaxCaptureBytes = 64ULL << 20;
constexpr milliseconds kDrainLimit{5000};
// The printed form of a sentence is cut to this many characters.
constexpr std::size_t kNoteLength = 100;

bool StartsMessage(std::span<const std::uint8_t> data, std::size_t at) {
  if (at >= data.size()) return true;  // the end of the data ends a sentence too
  if (data[at] == '$' || data[at] == '!') return true;
  return data[at] == '@' && at + 1 < data.size() && data[at + 1] == '@';
}

}  // namespace

std::vector<std::span<const std::uint8_t>> SplitSentences(std::span<const std::uint8_t> data) {
  std::vector<std::span<const std::uint8_t>> sentences;
  std::size_t begin = 0;
  for (std::size_t at = 0; at < data.size(); ++at) {
    const bool ends =
        (data[at] == '\n' && StartsMessage(data, at + 1)) || at + 1 - begin == kMaxSentence;
    if (ends) {
      sentences.push_back(data.subspan(begin, at + 1 - begin));
      begin = at + 1;
    }
  }
  if (begin < data.size()) sentences.push_back(data.subspan(begin));
  return sentences;
}

core::Result<std::vector<std::uint8_t>> ReadCapture(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) {
    return core::Status::Error(core::StatusCode::kIoError,
                               "cannot open " + path + ": " + std::strerror(errno));
  }
  const std::streamoff size = file.tellg();
  if (size < 0 || static_cast<std::uintmax_t>(size) > kMaxCaptureBytes) {
    return core::Status::Error(core::StatusCode::kIoError, path + " is larger than 64 MiB");
  }
  std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
  file.seekg(0);
  if (!file.read(reinterpret_cast<char*>(data.data()), size)) {
    return core::Status::Error(core::StatusCode::kIoError, "cannot read " + path);
  }
  return data;
}

std::int64_t RunReplay(const SimOptions& options, std::span<const std::uint8_t> data,
                       SimLine& line) {
  using Clock = SimLine::Clock;
  const auto end_at = options.duration_ms ? Clock::now() + milliseconds(*options.duration_ms)
                                          : Clock::time_point::max();
  if (options.start_delay_ms > 0 &&
      !line.WaitUntil(std::min(end_at, Clock::now() + milliseconds(options.start_delay_ms)))) {
    return 0;
  }
  const milliseconds pause(options.per_sentence_ms.value_or(options.interval_ms));
  const bool by_sentence = options.pace == Pace::kSentence;
  auto next = Clock::now();
  std::int64_t sent = 0;
  for (const std::span<const std::uint8_t> sentence : SplitSentences(data)) {
    if (options.count && sent >= *options.count) break;
    if (by_sentence && !line.WaitUntil(std::min(next, end_at))) return sent;
    if (Clock::now() >= end_at) return sent;
    if (!line.Write(sentence)) return sent;
    ++sent;
    if (by_sentence) {
      std::string text = PrintableText(sentence);
      if (text.size() > kNoteLength) text = text.substr(0, kNoteLength) + "...";
      line.Note("sent: " + text);
    }
    next = std::max(next + pause, Clock::now());
  }
  line.Drain(kDrainLimit);
  return sent;
}

}  // namespace orvik::tools
