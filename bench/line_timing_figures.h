// Figures of the line-timing benchmark: the records a client received and
// how old they were, the clock settings the program attempted, the feeder's
// own lateness and the program's stderr, summed up per row and printed as
// one table line (plus the stderr lines). Pure; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench/clock_error_figures.h"
#include "bench/line_feeder.h"
#include "core/time_message.h"

namespace orvik::bench {

struct ReceivedRecord {
  core::TimeMessage record;
  std::int64_t received_ns = 0;  // UTC, when the client read it
};

// How old `record` was when received, in ms: the real time at receipt less
// the instant its local date and time stand for (less `gmt_hours`); NaN
// when the record holds no real date and time.
double RecordAgeMs(const ReceivedRecord& received, int gmt_hours);

// The distinct lines of `text` in the order first seen, each with how often
// it came.
std::vector<std::pair<std::string, int>> DistinctLines(std::string_view text);

struct LineTimingFigures {
  std::size_t records = 0;
  double records_per_second = 0;
  std::size_t old_records = 0;  // over 1 s old on receipt, or without a real date
  double median_age_ms = 0;
  ErrorFigures settings;
  Spread feed_late_ms;
  std::int64_t bytes_dropped = 0;    // the feeder found the line full
  std::int64_t backlog_bytes = 0;    // waiting in the port before the program started
  std::int64_t backlog_dropped = 0;  // of the backlog, bytes the port had no room for
  double load = -1;
  std::vector<std::pair<std::string, int>> stderr_lines;
};

// Sums up one row of `seconds` of feeding.
LineTimingFigures SummarizeLineTiming(std::span<const ReceivedRecord> records, int seconds,
                                      const RecordedSettings& settings, const FeedFigures& feed,
                                      std::string_view program_stderr);

// The table's header line, and one row's line followed by its remarks and
// its stderr lines other than those in `already_shown`, each line ending in LF.
std::string LineTimingHeader();
std::string LineTimingRow(std::string_view title, const LineTimingFigures& figures,
                          const std::set<std::string>& already_shown = {});

}  // namespace orvik::bench
