#include "bench/line_bursts.h"

#include <cstdio>
#include <vector>

#include "core/checksums.h"
#include "core/utc_time.h"

namespace orvik::bench {
namespace {

// "hhmmss.sss" and "ddmmyy" of `utc_ns`, rounded to the millisecond.
struct TimeFields {
  char time[32];
  char date[24];
};

TimeFields FieldsOf(std::int64_t utc_ns) {
  const std::int64_t rounded =
      (utc_ns + core::kNanosPerMilli / 2) / core::kNanosPerMilli * core::kNanosPerMilli;
  const core::DateTime t = core::DateTimeAt(rounded).value_or(core::DateTime{1970, 1, 4, 1});
  TimeFields fields{};
  std::snprintf(fields.time, sizeof fields.time, "%02d%02d%02d.%03d", t.hour, t.minute, t.second,
                t.millisecond);
  std::snprintf(fields.date, sizeof fields.date, "%02d%02d%02d", t.day, t.month, t.year % 100);
  return fields;
}

std::string Rmc(const TimeFields& f, std::size_t padding) {
  const std::string zeros(padding, '0');
  char body[192];
  std::snprintf(body, sizeof body, "GPRMC,%s,A,5925.0000,N,02445.0000,E,000.0%s,000.0,%s,,", f.time,
                zeros.c_str(), f.date);
  return core::NmeaSentence(body);
}

std::string Gga(const TimeFields& f, std::size_t padding) {
  const std::string zeros(padding, '0');
  char body[192];
  std::snprintf(body, sizeof body, "GPGGA,%s,5925.0000,N,02445.0000,E,1,06,1.0%s,40.0,M,18.0,M,,",
                f.time, zeros.c_str());
  return core::NmeaSentence(body);
}

}  // namespace

std::string BuildBurst(const BurstShape& shape, std::int64_t utc_ns) {
  const TimeFields fields = FieldsOf(utc_ns);
  const std::size_t sentences = 1 + static_cast<std::size_t>(shape.fillers > 0 ? shape.fillers : 0);
  std::vector<std::size_t> padding(sentences, 0);
  if (shape.size > 0 && !shape.cut_tail) {
    std::size_t unpadded = Rmc(fields, 0).size() + (sentences - 1) * Gga(fields, 0).size();
    const std::size_t extra = shape.size > unpadded ? shape.size - unpadded : 0;
    for (std::size_t i = 0; i < sentences; ++i) {
      padding[i] = extra / sentences + (i < extra % sentences ? 1 : 0);
    }
  }
  std::string burst = Rmc(fields, padding[0]);
  for (std::size_t i = 1; i < sentences; ++i) burst += Gga(fields, padding[i]);
  if (shape.cut_tail && shape.size > 0) {
    while (burst.size() < shape.size) burst += Gga(fields, 0);
    burst.resize(shape.size);
  }
  return burst;
}

}  // namespace orvik::bench
