// Replay of a receiver capture: the file's bytes go into the port unchanged,
// either one sentence at a time with a pause between sentences, or as a
// steady stream at the line rate. Main thread only (RunReplay); the splitting
// is pure.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/status.h"
#include "gpstime_sim/options.h"

namespace orvik::tools {

class SimLine;

// Splits a capture into sentences without losing or reordering a byte:
// a sentence ends after a line feed that is followed by the start of the next
// message ("$", "!" or "@@") or by the end of the data. A line feed inside
// Motorola binary data therefore does not split it. A sentence longer than
// 4096 bytes is cut there.
std::vector<std::span<const std::uint8_t>> SplitSentences(std::span<const std::uint8_t> data);

// Reads a capture file of at most 64 MiB.
core::Result<std::vector<std::uint8_t>> ReadCapture(const std::string& path);

// Sends the sentences of `data` per options.pace until the end of the data,
// --count sentences, --duration or a stop request. After the last sentence
// or the --count-th, waits up to 5 s for the reader to take what is still
// queued. Returns the number of sentences sent.
std::int64_t RunReplay(const SimOptions& options, std::span<const std::uint8_t> data,
                       SimLine& line);

}  // namespace orvik::tools
