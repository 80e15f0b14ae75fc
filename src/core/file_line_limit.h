// The bound on what the program reads of its two text files, "GPS_parm.txt"
// and "timeouts.txt", so that no file, however large, makes it hold more
// than a few kilobytes. Pure; any thread.
//
// A line of either file holds at most kMaxFileLineLength bytes (its CR LF
// not counted); the longest valid line is far shorter (the socket path of
// "GPS_parm.txt", at most 107 bytes). The loaders read only the first
// kFileReadLimit bytes of a file: every line they use (at most
// kMaxFileLinesUsed) fits there at full length, and lines after those are
// never looked at. A used line that runs past the bound is therefore longer
// than kMaxFileLineLength, and is refused as too long like any other: a file
// is either read whole as far as it matters, or refused.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/status.h"

namespace orvik::core {

inline constexpr std::size_t kMaxFileLineLength = 255;
// The most lines a loader uses: the 16 of "GPS_parm.txt".
inline constexpr std::size_t kMaxFileLinesUsed = 16;
inline constexpr std::size_t kFileReadLimit = 8 * 1024;
static_assert(kFileReadLimit > kMaxFileLinesUsed * (kMaxFileLineLength + 2) + kMaxFileLineLength,
              "a used line cut by the bound must be longer than a line may be");

// Returns Ok when `line` (line `line_number` of `file_name`, without its line
// end) is at most kMaxFileLineLength bytes long, else kInvalidArgument with
// "Line <n> of <file> must be at most 255 bytes long, not <start of line>.".
Status CheckLineLength(std::string_view file_name, int line_number, std::string_view line);

}  // namespace orvik::core
