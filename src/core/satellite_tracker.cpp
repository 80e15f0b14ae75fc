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

// A field of exactly one hexadecimal digit (upper case); -1 for anything else.
int HexDigitField(std::string_view field) {
  if (field.size() != 1) return -1;
  const char c = field[0];
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The constellation a GSA system ID (1..6) names; a system ID without a
// known constellation stands for itself.
Constellation ConstellationOfSystemId(int system_id) {
  constexpr std::array<Constellation, 7> kBySystemId = {
      {{'?', '?'}, {'G', 'P'}, {'G', 'L'}, {'G', 'A'}, {'G', 'B'}, {'G', 'Q'}, {'G', 'I'}}};
  if (system_id >= 1 && system_id < static_cast<int>(kBySystemId.size())) {
    return kBySystemId[static_cast<std::size_t>(system_id)];
  }
  return {'#', static_cast<char>("0123456789ABCDEF"[system_id & 0xF])};
}

std::uint8_t Clamp255(int value) { return static_cast<std::uint8_t>(std::min(value, 255)); }

}  // namespace

SatelliteTracker::SignalGroup& SatelliteTracker::Find(Constellation talker, int signal) {
  for (SignalGroup& g : groups_) {
    if (g.used && g.talker == talker && g.signal == signal) return g;
  }
  auto slot =
      std::find_if(groups_.begin(), groups_.end(), [](const SignalGroup& g) { return !g.used; });
  // More groups than slots: reuse the one heard least recently.
  if (slot == groups_.end()) {
    slot =
        std::max_element(groups_.begin(), groups_.end(),
                         [](const SignalGroup& a, const SignalGroup& b) { return a.age < b.age; });
  }
  *slot = SignalGroup{};
  slot->talker = talker;
  slot->signal = signal;
  slot->used = true;
  return *slot;
}

void SatelliteTracker::OnGsv(std::array<char, 2> talker, std::span<const std::uint8_t> body) {
  const std::vector<std::string_view> fields = SplitFields(body);
  // fields[1] sentences in the group, [2] this sentence's number, [3] in view,
  // then blocks of satellite number, elevation, azimuth, SNR, and last the
  // signal ID when the receiver sends one: one field beyond whole blocks.
  if (fields.size() < 2 || fields[1].empty()) {
    groups_ = {};
    in_use_ = {};
    in_use_closed_count_ = 0;
    return;
  }
  std::size_t blocks_end = fields.size();
  int signal = kNoSignal;
  if (fields.size() >= 5 && (fields.size() - 4) % 4 == 1) {
    signal = HexDigitField(fields.back());
    if (signal != kNoSignal) --blocks_end;
  }
  SignalGroup& g = Find(talker, signal);
  const int in_view = fields.size() > 3 ? SmallNumber(fields[3]) : -1;
  g.visible = std::max(in_view, 0);

  const int total = SmallNumber(fields[1]);
  const int number = fields.size() > 2 ? SmallNumber(fields[2]) : -1;
  if (number == 1) {
    g.group_total = total;
    g.group_next = 1;
    g.group_tracked.reset();
  }
  if (total < 1 || number < 1 || number != g.group_next || total != g.group_total) {
    g.group_next = 0;  // a sentence of this group was lost: it is never complete
    return;
  }
  for (std::size_t block = 4; block + 3 < blocks_end; block += 4) {
    const int satellite = SmallNumber(fields[block]);
    if (satellite >= 1 && SmallNumber(fields[block + 3]) > 0) {
      g.group_tracked.set(static_cast<std::size_t>(satellite));
    }
  }
  ++g.group_next;
  if (number == total) {
    g.tracked = g.group_tracked;
    g.group_next = 0;
    g.age = 0;
  }
}

void SatelliteTracker::OnGsa(std::array<char, 2> talker, std::span<const std::uint8_t> body) {
  const std::vector<std::string_view> fields = SplitFields(body);
  // fields[1] mode, [2] fix type, [3..14] satellites in use, [15..17] the
  // dilutions of precision, [18] the system ID when the receiver sends one.
  constexpr std::size_t kFirstSatellite = 3;
  constexpr std::size_t kLastSatellite = 14;
  constexpr std::size_t kSystemId = 18;
  const int system_id = fields.size() > kSystemId ? HexDigitField(fields[kSystemId]) : -1;
  const Constellation constellation =
      system_id > 0 ? ConstellationOfSystemId(system_id) : ConstellationOfTalker(talker);
  for (std::size_t i = kFirstSatellite; i <= kLastSatellite && i < fields.size(); ++i) {
    in_use_.Add(constellation, SmallNumber(fields[i]));
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
  in_use_closed_count_ = in_use_.Count();
  in_use_ = {};
  for (SignalGroup& g : groups_) {
    if (g.used && ++g.age > kStaleAfterSeconds) g = SignalGroup{};
  }
}

std::uint8_t SatelliteTracker::Tracked() const {
  DistinctSatellites tracked;
  for (const SignalGroup& g : groups_) {
    if (g.used) tracked.Add(ConstellationOfTalker(g.talker), g.tracked);
  }
  return Clamp255(std::max(tracked.Count(), in_use_closed_count_));
}

std::uint8_t SatelliteTracker::Visible() const {
  // The largest in-view field of each constellation, summed.
  std::array<Constellation, kMaxGroups> constellations{};
  std::array<int, kMaxGroups> in_view{};
  std::size_t count = 0;
  for (const SignalGroup& g : groups_) {
    if (!g.used) continue;
    const Constellation constellation = ConstellationOfTalker(g.talker);
    const auto end = constellations.begin() + static_cast<std::ptrdiff_t>(count);
    const auto at = std::find(constellations.begin(), end, constellation);
    if (at == end) {
      constellations[count] = constellation;
      in_view[count++] = g.visible;
    } else {
      int& largest = in_view[static_cast<std::size_t>(at - constellations.begin())];
      largest = std::max(largest, g.visible);
    }
  }
  int sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += in_view[i];
  return Clamp255(std::max(sum, in_use_closed_count_));
}

}  // namespace orvik::core
