#include "bench/line_timing_figures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "bench/headless_bench.h"
#include "core/utc_time.h"

namespace orvik::bench {
namespace {

constexpr double kOldMs = 1000;
constexpr std::size_t kStderrShown = 8;        // distinct lines printed per row
constexpr std::size_t kStderrLineWidth = 100;  // characters of each

}  // namespace

double RecordAgeMs(const ReceivedRecord& received, int gmt_hours) {
  const core::TimeMessage& r = received.record;
  const core::DateTime local{core::ReadBeU16(r, core::kOffsetYear),
                             r[core::kOffsetMonth],
                             0,
                             r[core::kOffsetDay],
                             r[core::kOffsetHour],
                             r[core::kOffsetMinute],
                             r[core::kOffsetSecond],
                             0};
  const std::optional<core::UtcNanos> instant = core::UtcNanosOf(local);
  if (!instant) return std::numeric_limits<double>::quiet_NaN();
  const std::int64_t utc = *instant - gmt_hours * 60 * core::kNanosPerMinute;
  return static_cast<double>(received.received_ns - utc) / 1e6;
}

std::vector<std::pair<std::string, int>> DistinctLines(std::string_view text) {
  std::vector<std::pair<std::string, int>> lines;
  while (!text.empty()) {
    const std::size_t lf = text.find('\n');
    std::string line(text.substr(0, lf));
    text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const auto seen = std::find_if(lines.begin(), lines.end(),
                                   [&line](const auto& entry) { return entry.first == line; });
    if (seen != lines.end()) {
      ++seen->second;
    } else {
      lines.emplace_back(std::move(line), 1);
    }
  }
  return lines;
}

LineTimingFigures SummarizeLineTiming(std::span<const ReceivedRecord> records, int seconds,
                                      const RecordedSettings& settings, const FeedFigures& feed,
                                      std::string_view program_stderr) {
  LineTimingFigures figures;
  figures.records = records.size();
  figures.records_per_second = seconds > 0 ? static_cast<double>(records.size()) / seconds : 0;
  std::vector<double> ages;
  for (const ReceivedRecord& received : records) {
    const double age = RecordAgeMs(received, kBenchGmtHours);
    if (std::isnan(age) || age > kOldMs) ++figures.old_records;
    if (!std::isnan(age)) ages.push_back(age);
  }
  figures.median_age_ms = SpreadOf(ages).median;
  figures.settings = Summarize(settings.errors_ns);
  figures.feed_late_ms = SpreadOf(feed.first_write_late_ms);
  figures.bytes_dropped = feed.bytes_dropped;
  figures.stderr_lines = DistinctLines(program_stderr);
  return figures;
}

std::string LineTimingHeader() {
  char line[200];
  std::snprintf(line, sizeof line, "%-34s %6s %12s %5s %6s %9s %10s %9s %11s %5s", "row", "rec/s",
                "old>1s (age)", "sets", "hours", "med|err|", "max|err|", "mean err", "feed late",
                "load");
  return line;
}

std::string LineTimingRow(std::string_view title, const LineTimingFigures& f,
                          const std::set<std::string>& already_shown) {
  char old[32];
  std::snprintf(old, sizeof old, "%zu (%.0f)", f.old_records, f.median_age_ms);
  char late[32];
  std::snprintf(late, sizeof late, "%.1f/%.1f", f.feed_late_ms.median, f.feed_late_ms.max);
  char line[320];
  const int width = static_cast<int>(title.size());
  if (f.settings.count == 0) {
    std::snprintf(line, sizeof line, "%-34.*s %6.2f %12s %5d %6s %9s %10s %9s %11s %5.1f\n", width,
                  title.data(), f.records_per_second, old, 0, "-", "-", "-", "-", late, f.load);
  } else {
    char hours[24] = "0";
    if (f.settings.whole_hours != 0) {
      std::snprintf(hours, sizeof hours, "%+lld h", static_cast<long long>(f.settings.whole_hours));
    }
    std::snprintf(line, sizeof line, "%-34.*s %6.2f %12s %5zu %6s %9.3f %10.3f %+9.3f %11s %5.1f\n",
                  width, title.data(), f.records_per_second, old, f.settings.count, hours,
                  f.settings.median_abs_ms, f.settings.max_abs_ms, f.settings.mean_ms, late,
                  f.load);
  }
  std::string text = line;
  if (f.backlog_bytes > 0 || f.backlog_dropped > 0) {
    text += "  (" + std::to_string(f.backlog_bytes) + " bytes waited in the port at the start";
    if (f.backlog_dropped > 0) text += "; " + std::to_string(f.backlog_dropped) + " had no room";
    text += ")\n";
  }
  if (f.bytes_dropped > 0) {
    text += "  (the line was full: " + std::to_string(f.bytes_dropped) + " bytes not sent)\n";
  }
  std::size_t shown = 0;
  std::size_t left_out = 0;
  for (const auto& [content, count] : f.stderr_lines) {
    if (already_shown.contains(content)) continue;
    if (shown == kStderrShown) {
      ++left_out;
      continue;
    }
    ++shown;
    text +=
        "  stderr " + std::to_string(count) + "x: " + content.substr(0, kStderrLineWidth) + "\n";
  }
  if (left_out > 0) text += "  stderr: " + std::to_string(left_out) + " more distinct lines\n";
  return text;
}

}  // namespace orvik::bench
