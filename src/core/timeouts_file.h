// The optional time-outs file "timeouts.txt": five pairs of a title line and a
// value line, the value lines filling the five serial time-out tables in
// order. Pure apart from the TextFiles seam; the main thread loads it during
// start-up, while no acquisition thread runs. The program never writes it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "core/port_settings.h"
#include "core/status.h"
#include "core/text_files.h"

namespace orvik::core {

// Bare name, resolved against the working directory by the TextFiles given.
inline constexpr std::string_view kTimeoutsFileName = "timeouts.txt";

// Stores up to eight integers of `line` into table[0..7], left to right.
// Bytes 0..44 (controls, blank, "!" to ",") separate values; each longest run
// of bytes 45..255 is one value in the parameter-file integer syntax, stored
// as its low 16 bits. Entries after the last value keep their values; text
// after the eighth value is ignored. A run that is no integer fails with
// "'<run>' is not a valid integer value"; entries stored before it stay.
Status ParseTimeoutLine(std::string_view line, std::array<std::uint16_t, 8>& table);

// Reads "timeouts.txt" into `table` without resetting it first: for each of
// the five tables, a title line (skipped, never parsed) and a value line
// (ParseTimeoutLine), stopping at the end of the file. Lines end at LF, with
// one CR before it dropped. A file that cannot be opened (missing, no
// access) is no error and changes nothing. A name that is no regular file, a
// read error, a line longer than kMaxFileLineLength (CheckLineLength's
// message; only the first kFileReadLimit bytes are read, see
// core/file_line_limit.h) and a bad value fail with their message; the
// tables filled so far keep their values.
Status LoadTimeouts(TextFiles& files, TimeoutTable& table);

}  // namespace orvik::core
