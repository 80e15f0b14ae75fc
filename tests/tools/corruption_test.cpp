// The simulator's damaged time messages, checked with the tests' own XOR.
#include "gpstime_sim/corruption.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gpstime_sim/motorola_source.h"
#include "gpstime_sim/nmea_source.h"
#include "support/nmea_text.h"

namespace orvik::tools {
namespace {

using Bytes = std::vector<std::uint8_t>;

MotorolaFix Fix() { return MotorolaFix{{2026, 12, 1, 7, 13, 5, 0, 250}, 9, 7}; }

// The XOR of the letters and data of a Motorola message whose last three
// bytes are checksum, CR and LF.
std::uint8_t DataXor(const Bytes& message) {
  std::uint8_t sum = 0;
  for (std::size_t i = 2; i + 3 < message.size(); ++i) sum ^= message[i];
  return sum;
}

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(Corruption, MotorolaMessagesAreDamagedInTheOnePlaceAsked) {
  for (const Bytes& intact : {BuildHb(Fix()), BuildEa(Fix())}) {
    const std::size_t n = intact.size();
    SCOPED_TRACE(n);
    ASSERT_EQ(DataXor(intact), intact[n - 3]);

    const Bytes checksum = Damage(intact, Corruption::kChecksum, false);
    ASSERT_EQ(checksum.size(), n);
    EXPECT_NE(checksum[n - 3], DataXor(checksum));
    EXPECT_EQ(Bytes(checksum.begin(), checksum.end() - 3), Bytes(intact.begin(), intact.end() - 3));
    EXPECT_EQ(Bytes(checksum.end() - 2, checksum.end()), (Bytes{'\r', '\n'}));

    const Bytes length = Damage(intact, Corruption::kLength, false);
    EXPECT_EQ(length, Bytes(intact.begin(), intact.end() - 1));

    const Bytes header = Damage(intact, Corruption::kHeader, false);
    ASSERT_EQ(header.size(), n);
    EXPECT_EQ(Text(header).substr(0, 4), n == kHbLength ? "@@Ha" : "@@Eb");
    EXPECT_EQ(header[n - 3], DataXor(header)) << "the checksum fits the wrong header";
    EXPECT_EQ(Bytes(header.begin() + 4, header.end() - 3),
              Bytes(intact.begin() + 4, intact.end() - 3));

    EXPECT_EQ(Damage(intact, Corruption::kNone, false), intact);
  }
}

TEST(Corruption, NmeaGroupsHaveTheirRmcDamagedAndTheRestIntact) {
  const NmeaFix fix{{2026, 12, 1, 7, 11, 5, 0, 0}, true, 8, 6, 3};
  const std::string rmc = BuildRmc(fix);
  const std::string group = BuildNmeaGroup(fix);
  const std::string rest = group.substr(rmc.size());
  const Bytes intact(group.begin(), group.end());
  const auto damaged = [&intact](Corruption kind) { return Text(Damage(intact, kind, true)); };

  const std::string checksum = damaged(Corruption::kChecksum);
  ASSERT_EQ(checksum.size(), group.size());
  const std::string bad_rmc = checksum.substr(0, rmc.size());
  EXPECT_FALSE(testing::HasValidNmeaChecksum(bad_rmc)) << bad_rmc;
  EXPECT_EQ(bad_rmc.substr(0, rmc.size() - 4), rmc.substr(0, rmc.size() - 4));
  EXPECT_TRUE(bad_rmc.ends_with("\r\n"));
  EXPECT_EQ(checksum.substr(rmc.size()), rest);

  EXPECT_EQ(damaged(Corruption::kLength), rmc.substr(0, rmc.size() - 1) + rest);

  const std::string header = damaged(Corruption::kHeader);
  const std::string wrong_rmc = header.substr(0, rmc.size());
  EXPECT_TRUE(wrong_rmc.starts_with("$GPRMD,")) << wrong_rmc;
  EXPECT_TRUE(testing::HasValidNmeaChecksum(wrong_rmc)) << wrong_rmc;
  EXPECT_EQ(header.substr(rmc.size()), rest);
}

TEST(Corruption, OutputTooShortToCarryTheDamageIsLeftAlone) {
  const Bytes runt = {'@', '@', 'H', 'b'};
  const std::string no_star = "$GPRMC,1\r\n";
  for (const Corruption kind : {Corruption::kChecksum, Corruption::kLength, Corruption::kHeader}) {
    EXPECT_EQ(Damage(runt, kind, false), runt);
    EXPECT_EQ(Text(Damage(Bytes(no_star.begin(), no_star.end()), kind, true)), no_star);
  }
}

TEST(Corruption, EveryNthTimeMessageIsDamaged) {
  SimOptions options;
  EXPECT_FALSE(IsDamaged(options, 1)) << "no --corrupt";
  options.corrupt = Corruption::kChecksum;
  EXPECT_TRUE(IsDamaged(options, 1)) << "--corrupt alone damages every one";
  EXPECT_TRUE(IsDamaged(options, 2));
  options.corrupt_every = 3;
  std::vector<std::int64_t> damaged;
  for (std::int64_t number = 1; number <= 10; ++number) {
    if (IsDamaged(options, number)) damaged.push_back(number);
  }
  EXPECT_EQ(damaged, (std::vector<std::int64_t>{3, 6, 9}));
}

TEST(Corruption, OptionsNameTheKindAndTheSpacing) {
  const auto parse = [](std::vector<std::string_view> args) { return ParseOptions(args); };
  const auto parsed = parse({"--protocol", "m12", "--corrupt", "header", "--corrupt-every=4"});
  ASSERT_TRUE(parsed.ok()) << parsed.status().ToString();
  EXPECT_EQ(parsed.value().corrupt, Corruption::kHeader);
  EXPECT_EQ(parsed.value().corrupt_every, 4);
  EXPECT_EQ(parse({"--corrupt", "length"}).value().corrupt, Corruption::kLength);
  EXPECT_EQ(parse({"--corrupt", "checksum"}).value().corrupt, Corruption::kChecksum);

  const struct {
    std::vector<std::string_view> args;
    const char* message;
  } refused[] = {
      {{"--corrupt", "crc"}, "--corrupt 'crc': expected checksum, length or header"},
      {{"--corrupt", "length", "--corrupt-every", "0"},
       "--corrupt-every '0': expected a whole number 1..1000000"},
      {{"--corrupt-every", "3"}, "--corrupt-every needs --corrupt"},
      {{"--corrupt", "length", "--replay", "x.bin"},
       "--corrupt damages live messages only, not a --replay"},
  };
  for (const auto& c : refused) {
    const auto result = parse(c.args);
    ASSERT_FALSE(result.ok()) << c.message;
    EXPECT_EQ(result.status().message(), c.message);
  }
  EXPECT_NE(HelpText().find("--corrupt-every N"), std::string::npos);
}

}  // namespace
}  // namespace orvik::tools
