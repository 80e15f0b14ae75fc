// The client's side of the time records: the stream that cuts them
// (core::RecordStream) and the one-line text of a record.
#pragma once

#include <string>

#include "core/time_message.h"
#include "core/time_record_stream.h"

namespace orvik::tools {

using core::RecordStream;

// Returns "2026-12-07 13:05:00  visible 9  tracked 7" for `record`; with `raw`,
// two spaces and the 39 bytes in hex follow.
std::string FormatRecord(const core::TimeMessage& record, bool raw);

}  // namespace orvik::tools
