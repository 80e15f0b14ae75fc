#include "gpstime_sim/nmea_source.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "core/checksums.h"
#include "gpstime_sim/satellites.h"

namespace orvik::tools {
namespace {

constexpr char kLatitude[] = "5925.0000,N";
constexpr char kLongitude[] = "02445.0000,E";

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
  char buffer[256];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return std::string(buffer, static_cast<std::size_t>(std::clamp(length, 0, 255)));
}

// "hhmmss" followed by "." and 1..3 digits of the milliseconds when asked.
std::string TimeField(const NmeaFix& fix) {
  std::string field = Format("%02d%02d%02d", fix.utc.hour, fix.utc.minute, fix.utc.second);
  if (fix.fraction_digits > 0) {
    const std::string millis = Format("%03d", fix.utc.millisecond);
    field += '.';
    field += millis.substr(0, static_cast<std::size_t>(std::min(fix.fraction_digits, 3)));
  }
  return field;
}

}  // namespace

std::string BuildRmc(const NmeaFix& fix) {
  return core::NmeaSentence(Format("GPRMC,%s,%c,%s,%s,000.0,000.0,%02d%02d%02d,,",
                                   TimeField(fix).c_str(), fix.valid ? 'A' : 'V', kLatitude,
                                   kLongitude, fix.utc.day, fix.utc.month, fix.utc.year % 100));
}

std::string BuildGga(const NmeaFix& fix) {
  const int used = fix.valid ? fix.tracked : 0;
  return core::NmeaSentence(Format("GPGGA,%s,%s,%s,%d,%02d,%s,40.0,M,18.0,M,,",
                                   TimeField(fix).c_str(), kLatitude, kLongitude, fix.valid ? 1 : 0,
                                   used, fix.valid ? "1.0" : ""));
}

std::string BuildGsa(const NmeaFix& fix) {
  std::string body = fix.valid ? "GPGSA,A,3" : "GPGSA,A,1";
  constexpr int kSlots = 12;
  for (int slot = 0; slot < kSlots; ++slot) {
    body += ',';
    if (fix.valid && slot < fix.tracked) body += Format("%02d", SatelliteAt(slot).prn);
  }
  body += fix.valid ? ",2.0,1.0,1.7" : ",,,";
  return core::NmeaSentence(body);
}

std::vector<std::string> BuildGsv(const NmeaFix& fix) {
  constexpr int kPerSentence = 4;
  const int sentences = std::max(1, (fix.visible + kPerSentence - 1) / kPerSentence);
  std::vector<std::string> group;
  for (int number = 1; number <= sentences; ++number) {
    std::string body = Format("GPGSV,%d,%d,%02d", sentences, number, fix.visible);
    const int first = (number - 1) * kPerSentence;
    for (int index = first; index < std::min(first + kPerSentence, fix.visible); ++index) {
      const Satellite satellite = SatelliteAt(index);
      body += Format(",%02d,%02d,%03d,", satellite.prn, satellite.elevation, satellite.azimuth);
      if (index < fix.tracked) body += Format("%02d", satellite.snr);
    }
    group.push_back(core::NmeaSentence(body));
  }
  return group;
}

std::string BuildNmeaGroup(const NmeaFix& fix, RmcPlace rmc) {
  std::string group = rmc == RmcPlace::kFirst ? BuildRmc(fix) : std::string();
  group += BuildGga(fix) + BuildGsa(fix);
  for (const std::string& sentence : BuildGsv(fix)) group += sentence;
  if (rmc == RmcPlace::kLast) group += BuildRmc(fix);
  return group;
}

}  // namespace orvik::tools
