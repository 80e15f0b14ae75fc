#include "core/satellite_tracker.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace orvik::core {

namespace {

// Splits "a,b,,c" (starting with the comma after the address) into its
// fields; fields[0] is the empty text before that comma.
std::vector<std::string_view> SplitFields(std::span<const std::uint8_t> body) {
  const std::string_view text(reinterpret_cast<const char*>(body.data()), body.size());
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    fields.push_back(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

// A field of one to three decimal digits; -1 for anything else.
int SmallNumber(std::string_view field) {
  if (field.empty() || field.size() > 3) return -1;
  int value = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::uint8_t Clamp255(int value) { return static_cast<std::uint8_t>(std::min(value, 255)); }

}  // namespace

SatelliteTracker::Constellation* SatelliteTracker::Find(std::array<char, 2> talker) {
  for (Constellation& c : constellations_) {
    if (c.used && c.talker == talker) return &c;
  }
  for (Constellation& c : constellations_) {
    if (!c.used) {
      c = Constellation{};
      c.talker = talker;
      c.used = true;
      return &c;
    }
  }
  // More talkers than slots: reuse the one heard least recently.
  Constellation* oldest = &*std::max_element(
      constellations_.begin(), constellations_.end(),
      [](const Constellation& a, const Constellation& b) { return a.age < b.age; });
  *oldest = Constellation{};
  oldest->talker = talker;
  oldest->used = true;
  return oldest;
}

void SatelliteTracker::OnGsv(std::array<char, 2> talker, std::span<const std::uint8_t> body) {
  const std::vector<std::string_view> fields = SplitFields(body);
  // fields[1] sentences in the group, [2] this sentence's number, [3] in view,
  // then blocks of satellite number, elevation, azimuth, SNR.
  if (fields.size() < 2 || fields[1].empty()) {
    constellations_ = {};
    return;
  }
  Constellation& c = *Find(talker);
  const int in_view = fields.size() > 3 ? SmallNumber(fields[3]) : -1;
  c.visible = std::max(in_view, 0);

  const int total = SmallNumber(fields[1]);
  const int number = fields.size() > 2 ? SmallNumber(fields[2]) : -1;
  if (number == 1) {
    c.group_total = total;
    c.group_next = 1;
    c.group_tracked = 0;
  }
  if (total < 1 || number < 1 || number != c.group_next || total != c.group_total) {
    c.group_next = 0;  // a sentence of this group was lost: it is never complete
    return;
  }
  for (std::size_t snr = 7; snr < fields.size(); snr += 4) {
    if (SmallNumber(fields[snr]) > 0) ++c.group_tracked;
  }
  ++c.group_next;
  if (number == total) {
    c.tracked = c.group_tracked;
    c.group_next = 0;
    c.age = 0;
  }
}

void SatelliteTracker::OnRmc(std::span<const std::uint8_t> fields) {
  // Field 1, hhmmss[.sss], up to its fraction.
  RmcSecond second;
  const bool has_time = !fields.empty() && fields[0] == ',';
  for (std::size_t i = 1; has_time && i < fields.size(); ++i) {
    if (fields[i] == ',' || fields[i] == '.' || second.length == second.text.size()) break;
    second.text[second.length++] = fields[i];
  }
  if (second == last_rmc_second_) return;  // another RMC of the same second
  last_rmc_second_ = second;
  for (Constellation& c : constellations_) {
    if (c.used && ++c.age > kStaleAfterSeconds) c = Constellation{};
  }
}

std::uint8_t SatelliteTracker::Tracked() const {
  int sum = 0;
  for (const Constellation& c : constellations_) sum += c.used ? c.tracked : 0;
  return Clamp255(sum);
}

std::uint8_t SatelliteTracker::Visible() const {
  int sum = 0;
  for (const Constellation& c : constellations_) sum += c.used ? c.visible : 0;
  return Clamp255(sum);
}

}  // namespace orvik::core
