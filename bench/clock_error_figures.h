// Figures of the clock accuracy benchmark: the settings of the system clock
// that a program attempted, read from the clock-call recorder's lines, and
// what they say about its accuracy. Errors are in nanoseconds, positive when
// the value set is ahead of the real time. Pure; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvik::bench {

// The target of every row: median |error| and largest |error| in ms.
inline constexpr double kTargetMedianMs = 1.0;
inline constexpr double kTargetMaxMs = 5.0;

struct RecordedSettings {
  std::vector<std::int64_t> errors_ns;  // one per setting, in the order made
  std::vector<std::int64_t> real_ns;    // the real time of each setting's call (UTC)
  int other_calls = 0;                  // calls that steer the clock or set another one
  int unreadable = 0;                   // lines without the real time of the call
};

// The errors of the settings whose call came at or after `from_real_ns`.
std::vector<std::int64_t> ErrorsSince(const RecordedSettings& settings, std::int64_t from_real_ns);

// Reads the recorder's lines: for each clock_settime of CLOCK_REALTIME and
// each settimeofday, the value set minus the real time at the call.
RecordedSettings ReadRecordedSettings(std::string_view recorder_text);

// How late the simulator's paced output began, in ms, from its
// "sent: ... (first byte X ms late)" lines; other lines are skipped.
std::vector<double> ReadSimulatorLateness(std::string_view simulator_output);

struct ErrorFigures {
  std::size_t count = 0;
  // The median error in whole hours (a time zone applied where none
  // belongs); the figures in ms below are taken after removing it.
  std::int64_t whole_hours = 0;
  double median_abs_ms = 0;
  double max_abs_ms = 0;
  double mean_ms = 0;  // signed
  // Median and largest |error|, whole hours included, within the target.
  bool meets_target = false;
};

// Summarises the errors of one row; a row without settings misses the target.
ErrorFigures Summarize(std::span<const std::int64_t> errors_ns);

// Median and largest value; zeros when there are none.
struct Spread {
  double median = 0;
  double max = 0;
};
Spread SpreadOf(std::vector<double> values);

// One configuration's figures in one condition of the machine (quiet, or
// loaded with busy loops beside the program).
struct ConditionFigures {
  bool ran = false;
  ErrorFigures errors;
  Spread simulator_late_ms;  // how late the simulator's output began
  double load = -1;          // the machine's load average at the end of the row
};

// The header line and one row line of the printed table: each cell shows
// the quiet figure, then the loaded one ("-" for a condition not run).
// `row` names the configuration.
std::string TableHeader();
std::string TableRow(std::string_view row, const ConditionFigures& quiet,
                     const ConditionFigures& loaded);

}  // namespace orvik::bench
