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
          upper) /
         2;
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
    if (words.size() < 6 || !ReadInteger(words[1], seconds) || !ReadInteger(words[2], fraction) ||
        !ReadInteger(words[words.size() - 2], real_seconds) ||
        !ReadInteger(words.back(), real_nanos)) {
      ++settings.unreadable;
      continue;
    }
    const std::int64_t set_ns = seconds * kNanosPerSecond + fraction * (timeofday ? 1000 : 1);
    const std::int64_t real_ns = real_seconds * kNanosPerSecond + real_nanos;
    settings.errors_ns.push_back(set_ns - real_ns);
    settings.real_ns.push_back(real_ns);
  }
  return settings;
}

std::vector<std::int64_t> ErrorsSince(const RecordedSettings& settings, std::int64_t from_real_ns) {
  std::vector<std::int64_t> errors;
  for (std::size_t i = 0; i < settings.errors_ns.size() && i < settings.real_ns.size(); ++i) {
    if (settings.real_ns[i] >= from_real_ns) errors.push_back(settings.errors_ns[i]);
  }
  return errors;
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

namespace {

// "q / l": a figure in both conditions, "-" where one did not run.
std::string Pair(const ConditionFigures& quiet, const ConditionFigures& loaded,
                 const auto& format) {
  const auto cell = [&format](const ConditionFigures& c) {
    return c.ran ? format(c) : std::string("-");
  };
  return cell(quiet) + " / " + cell(loaded);
}

// `value` with `decimals` digits after the point, and its sign when `signed_value`.
std::string Fixed(double value, int decimals, bool signed_value = false) {
  char text[40];
  std::snprintf(text, sizeof text, signed_value ? "%+.*f" : "%.*f", decimals, value);
  return text;
}

}  // namespace

std::string TableHeader() {
  char line[240];
  std::snprintf(line, sizeof line, "%-32s %9s %6s %17s %17s %17s %13s %11s  %s", "row", "n",
                "hours", "median|err|ms", "max|err|ms", "mean err ms", "sim late max", "load",
                "target");
  return line;
}

std::string TableRow(std::string_view row, const ConditionFigures& quiet,
                     const ConditionFigures& loaded) {
  const auto count = [](const ConditionFigures& c) { return std::to_string(c.errors.count); };
  const auto hours = [](const ConditionFigures& c) {
    return c.errors.whole_hours == 0
               ? std::string("0")
               : Fixed(static_cast<double>(c.errors.whole_hours), 0, true) + "h";
  };
  const auto none_or = [](const ConditionFigures& c, double value, bool signed_value = false) {
    return c.errors.count == 0 ? std::string("--") : Fixed(value, 3, signed_value);
  };
  const auto median = [&](const ConditionFigures& c) { return none_or(c, c.errors.median_abs_ms); };
  const auto max = [&](const ConditionFigures& c) { return none_or(c, c.errors.max_abs_ms); };
  const auto mean = [&](const ConditionFigures& c) { return none_or(c, c.errors.mean_ms, true); };
  const auto late = [](const ConditionFigures& c) { return Fixed(c.simulator_late_ms.max, 1); };
  const auto load = [](const ConditionFigures& c) { return Fixed(c.load, 1); };
  const auto target = [](const ConditionFigures& c) {
    if (c.errors.count == 0) return std::string("missed (none)");
    return std::string(c.errors.meets_target ? "met" : "missed");
  };
  char line[400];
  std::snprintf(line, sizeof line, "%-32.*s %9s %6s %17s %17s %17s %13s %11s  %s",
                static_cast<int>(row.size()), row.data(), Pair(quiet, loaded, count).c_str(),
                Pair(quiet, loaded, hours).c_str(), Pair(quiet, loaded, median).c_str(),
                Pair(quiet, loaded, max).c_str(), Pair(quiet, loaded, mean).c_str(),
                Pair(quiet, loaded, late).c_str(), Pair(quiet, loaded, load).c_str(),
                Pair(quiet, loaded, target).c_str());
  return line;
}

}  // namespace orvik::bench
