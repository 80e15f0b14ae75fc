#include "bench/clock_error_figures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace orvik::bench {
namespace {

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
constexpr std::int64_t kNanosPerHour = 3600 * kNanosPerSecond;
constexpr double kNanosPerMs = 1e6;
constexpr int kClockRealtime = 0;

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

bool ReadInteger(const std::string& text, std::int64_t& value) {
  char* end = nullptr;
  value = std::strtoll(text.c_str(), &end, 10);
  return !text.empty() && end == text.c_str() + text.size();
}

// The median of `values`, which it reorders. REQUIRES: not empty.
double Median(std::vector<double>& values) {
  const std::size_t middle = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle),
                   values.end());
  const double upper = values[middle];
  if (values.size() % 2 == 1) return upper;
  return (*std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle)) +
          upper) / 2;
}

}  // namespace

RecordedSettings ReadRecordedSettings(std::string_view recorder_text) {
  RecordedSettings settings;
  std::istringstream in{std::string(recorder_text)};
  for (std::string line; std::getline(in, line);) {
    const std::vector<std::string> words = Words(line);
    if (words.empty()) continue;
    const bool timeofday = words[0] == "settimeofday";
    std::int64_t clock_id = kClockRealtime;
    if (!timeofday && !ReadInteger(words[0], clock_id)) {
      ++settings.other_calls;  // adjtime, adjtimex and kin
      continue;
    }
    if (clock_id != kClockRealtime) {
      ++settings.other_calls;
      continue;
    }
    // "<clock> <sec> <fraction> <date> <time> <real sec> <real ns>"; the local
    // date and time may be a single "?".
    std::int64_t seconds = 0, fraction = 0, real_seconds = 0, real_nanos = 0;
    if (words.size() < 6 || !ReadInteger(words[1], seconds) ||
        !ReadInteger(words[2], fraction) || !ReadInteger(words[words.size() - 2], real_seconds) ||
        !ReadInteger(words.back(), real_nanos)) {
      ++settings.unreadable;
      continue;
    }
    const std::int64_t set_ns = seconds * kNanosPerSecond + fraction * (timeofday ? 1000 : 1);
    settings.errors_ns.push_back(set_ns - (real_seconds * kNanosPerSecond + real_nanos));
  }
  return settings;
}

std::vector<double> ReadSimulatorLateness(std::string_view simulator_output) {
  constexpr std::string_view kMark = " (first byte ";
  std::vector<double> lateness;
  std::istringstream in{std::string(simulator_output)};
  for (std::string line; std::getline(in, line);) {
    const std::size_t mark = line.find(kMark);
    if (!line.starts_with("sent: ") || mark == std::string::npos) continue;
    char* end = nullptr;
    const double ms = std::strtod(line.c_str() + mark + kMark.size(), &end);
    if (std::string_view(end).starts_with(" ms late)")) lateness.push_back(ms);
  }
  return lateness;
}

Spread SpreadOf(std::vector<double> values) {
  if (values.empty()) return {};
  const double max = *std::max_element(values.begin(), values.end());
  return {Median(values), max};
}

ErrorFigures Summarize(std::span<const std::int64_t> errors_ns) {
  ErrorFigures figures;
  figures.count = errors_ns.size();
  if (errors_ns.empty()) return figures;
  std::vector<double> signed_ms;
  for (const std::int64_t error : errors_ns) signed_ms.push_back(error / kNanosPerMs);
  std::vector<double> scratch = signed_ms;
  figures.whole_hours = std::llround(Median(scratch) * kNanosPerMs / kNanosPerHour);
  const double hours_ms = static_cast<double>(figures.whole_hours * kNanosPerHour) / kNanosPerMs;

  std::vector<double> whole_abs;
  std::vector<double> rest_abs;
  double rest_sum = 0;
  for (const double error : signed_ms) {
    whole_abs.push_back(std::abs(error));
    rest_abs.push_back(std::abs(error - hours_ms));
    rest_sum += error - hours_ms;
  }
  figures.max_abs_ms = *std::max_element(rest_abs.begin(), rest_abs.end());
  figures.median_abs_ms = Median(rest_abs);
  figures.mean_ms = rest_sum / static_cast<double>(signed_ms.size());
  figures.meets_target = Median(whole_abs) <= kTargetMedianMs &&
                         *std::max_element(whole_abs.begin(), whole_abs.end()) <= kTargetMaxMs;
  return figures;
}

std::string TableHeader() {
  char line[200];
  std::snprintf(line, sizeof line, "%-34s %4s %6s %14s %11s %12s %12s %5s  %s", "row", "n",
                "hours", "median|err|ms", "max|err|ms", "mean err ms", "sim late ms", "load",
                "target");
  return line;
}

std::string TableRow(std::string_view row, const ErrorFigures& figures, Spread simulator_late_ms,
                     double load) {
  const int row_width = static_cast<int>(row.size());
  char late[32];
  std::snprintf(late, sizeof late, "%.2f/%.2f", simulator_late_ms.median, simulator_late_ms.max);
  char line[240];
  if (figures.count == 0) {
    std::snprintf(line, sizeof line, "%-34.*s %4d %6s %14s %11s %12s %12s %5.1f  %s", row_width,
                  row.data(), 0, "-", "-", "-", "-", late, load, "missed (no setting)");
    return line;
  }
  char hours[24] = "0";
  if (figures.whole_hours != 0) {
    std::snprintf(hours, sizeof hours, "%+lld h", static_cast<long long>(figures.whole_hours));
  }
  std::snprintf(line, sizeof line, "%-34.*s %4zu %6s %14.3f %11.3f %+12.3f %12s %5.1f  %s",
                row_width, row.data(), figures.count, hours, figures.median_abs_ms,
                figures.max_abs_ms, figures.mean_ms, late, load,
                figures.meets_target ? "met" : "missed");
  return line;
}

}  // namespace orvik::bench
