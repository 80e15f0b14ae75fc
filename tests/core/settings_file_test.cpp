#include "core/settings_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "fakes/fake_text_files.h"

namespace orvik::core {
namespace {

using orvik::testing::FakeTextFiles;

constexpr char kFile[] = "GPS_parm.txt";

// In 2026 the last Sundays of March and October are the 29th and the 25th.
constexpr DateTime kNow2026{.year = 2026, .month = 6, .day_of_week = 1, .day = 15, .hour = 12};

std::vector<std::string> DefaultLines() {
  return {"2",
          "2",
          "1",
          "60",
          ";ONLY_MIN_SEC",
          ";SOUND_DISABLED",
          ";SUMMER_TIME",
          "3",
          "3",
          "10",
          "4",
          "0",
          "NMEA_0183",
          "LOGGING_DISABLED",
          "0",
          ""};
}

std::string Join(const std::vector<std::string>& lines, const std::string& eol = "\r\n") {
  std::string text;
  for (const std::string& line : lines) text += line + eol;
  return text;
}

// Loads `content` as the parameter file, recording every menu call.
struct Load {
  explicit Load(const std::string& content, const DateTime& now = kNow2026) {
    files.Set(kFile, content);
    status = LoadSettings(settings, files, now, [this](bool on) { menu_calls.push_back(on); });
  }
  FakeTextFiles files;
  Settings settings;
  Status status;
  std::vector<bool> menu_calls;
};

// The defaults after a successful load in 2026.
Settings LoadedDefaults() {
  Settings s;
  s.SummerDay = 29;
  s.ZoneDay = 25;
  return s;
}

TEST(SettingsFile, MissingOrUnreadableFileGivesDefaultsAndCreatesNothing) {
  for (const bool exists_but_unreadable : {false, true}) {
    FakeTextFiles files;
    if (exists_but_unreadable) {
      files.Set(kFile, "9\r\n");
      files.MakeUnreadable(kFile);
    }
    Settings settings;
    settings.PortNumber = 77;
    int menu_calls = 0;
    ASSERT_TRUE(LoadSettings(settings, files, kNow2026, [&](bool) { ++menu_calls; }).ok());
    EXPECT_EQ(settings, LoadedDefaults());
    EXPECT_EQ(menu_calls, 0);
    EXPECT_EQ(files.WriteCount(), 0);
    EXPECT_EQ(files.Exists(kFile), exists_but_unreadable);
  }
}

TEST(SettingsFile, NameThatIsNoRegularFileOrFailsToReadFailsTheLoad) {
  for (const std::string message : {"'./GPS_parm.txt' is not a regular file",
                                    "Cannot read './GPS_parm.txt': Input/output error"}) {
    FakeTextFiles files;
    files.Set(kFile, "9\r\n");
    files.FailReads(kFile, message);
    Settings settings;
    settings.PortNumber = 77;
    EXPECT_EQ(LoadSettings(settings, files, kNow2026, nullptr),
              Status::Error(StatusCode::kIoError, message));
    EXPECT_EQ(settings.PortNumber, 2);  // the defaults, nothing from the file
  }
}

TEST(SettingsFile, DefaultsAreWrittenAsTheDefaultLinesAndReadBackEqual) {
  Settings defaults;
  ApplyDefaultSettings(defaults, kNow2026);
  EXPECT_EQ(defaults, LoadedDefaults());
  EXPECT_EQ(SettingsFileText(defaults), Join(DefaultLines()));

  FakeTextFiles files;
  ASSERT_TRUE(SaveSettings(defaults, files).ok());
  EXPECT_EQ(files.Get(kFile), Join(DefaultLines()));
  Settings loaded;
  ASSERT_TRUE(LoadSettings(loaded, files, kNow2026, nullptr).ok());
  EXPECT_EQ(loaded, defaults);
}

TEST(SettingsFile, EveryLineIsReadIntoItsField) {
  Load load(Join({"5", "-3", "2", "120", "ONLY_MIN_SEC", "SOUND_DISABLED", "SUMMER_TIME", "4", "2",
                  "11", "$A", "30", "Motorola_Oncore", "LOGGING_ENABLED"}));
  ASSERT_TRUE(load.status.ok()) << load.status.ToString();
  const Settings& s = load.settings;
  EXPECT_EQ(s.PortNumber, 5);
  EXPECT_EQ(s.GmtHours, -3);
  EXPECT_EQ(s.TransmitInterval, 2);
  EXPECT_EQ(s.ClockUpdateInterval, 60);  // 120 s / 2 s
  EXPECT_EQ(s.ClockUpdateIntervalText, "120");
  EXPECT_TRUE(s.OnlyMinSec);
  EXPECT_TRUE(s.SoundDisabled);
  EXPECT_TRUE(s.SummerTime);
  EXPECT_EQ(s.SummerMonth, 4);
  EXPECT_EQ(s.SummerDay, 26);  // last Sunday of April 2026, not of March
  EXPECT_EQ(s.SummerHour, 2);
  EXPECT_EQ(s.ZoneMonth, 11);
  EXPECT_EQ(s.ZoneDay, 29);
  EXPECT_EQ(s.ZoneHour, 10);
  EXPECT_EQ(s.ZoneHourText, "$A");
  EXPECT_EQ(s.GmtMinutes, 30);
  EXPECT_EQ(s.Protocol, kProtocolMotorolaOncore);
  EXPECT_TRUE(s.LoggingEnabled);
  EXPECT_EQ(load.menu_calls, std::vector<bool>{true});
}

TEST(SettingsFile, SwitchWordsMatchExactlyExceptLoggingWhichIgnoresCase) {
  struct Switch {
    std::size_t index;
    std::string word;
    bool Settings::*field;
  };
  for (const Switch& sw : {Switch{4, "ONLY_MIN_SEC", &Settings::OnlyMinSec},
                           Switch{5, "SOUND_DISABLED", &Settings::SoundDisabled},
                           Switch{6, "SUMMER_TIME", &Settings::SummerTime}}) {
    std::string lower = sw.word;
    for (char& c : lower) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    for (const std::string& line :
         {";" + sw.word, sw.word + " ", " " + sw.word, lower, std::string(), sw.word}) {
      std::vector<std::string> lines = DefaultLines();
      lines[sw.index] = line;
      Load load(Join(lines));
      ASSERT_TRUE(load.status.ok());
      EXPECT_EQ(load.settings.*sw.field, line == sw.word) << "'" << line << "'";
    }
  }
  struct Case {
    std::string line;
    bool on;
  };
  for (const Case& c : {Case{"LOGGING_ENABLED", true}, Case{"logging_enabled", true},
                        Case{"Logging_Enabled", true}, Case{"LOGGING_ENABLED ", false},
                        Case{"LOGGING_DISABLED", false}, Case{"LOGGING_ENABLE\xC4", false}}) {
    std::vector<std::string> lines = DefaultLines();
    lines[13] = c.line;
    Load load(Join(lines));
    ASSERT_TRUE(load.status.ok());
    EXPECT_EQ(load.settings.LoggingEnabled, c.on) << "'" << c.line << "'";
  }
}

TEST(SettingsFile, ProtocolLineSetsProtocolAndCommandsMenu) {
  struct Case {
    std::string line;
    std::int32_t protocol;
    bool menu;
  };
  for (const Case& c : {Case{"NMEA_0183", 0, false}, Case{"Motorola_M12", 1, true},
                        Case{"M12_ASCII_version", 1, true}, Case{"Motorola_Oncore", 2, true},
                        Case{"NMEA_0183 9600 Bod", 3, false}, Case{"Motorola M12", 0, false},
                        Case{"motorola_m12", 0, false}, Case{"", 0, false}, Case{"1", 0, false}}) {
    std::vector<std::string> lines = DefaultLines();
    lines[12] = c.line;
    Load load(Join(lines));
    ASSERT_TRUE(load.status.ok());
    EXPECT_EQ(load.settings.Protocol, c.protocol) << "'" << c.line << "'";
    EXPECT_EQ(load.menu_calls, std::vector<bool>{c.menu}) << "'" << c.line << "'";
  }
  // Without line 13 the menu is left alone.
  std::vector<std::string> lines = DefaultLines();
  lines.resize(12);
  Load short_file(Join(lines));
  ASSERT_TRUE(short_file.status.ok());
  EXPECT_TRUE(short_file.menu_calls.empty());
}

TEST(SettingsFile, SavedProtocolWordsAndTextFormsAreWrittenAsTheyStand) {
  Load load(Join({"3", "1", "1", "60", ";ONLY_MIN_SEC", ";SOUND_DISABLED", ";SUMMER_TIME", "3", "3",
                  "10", "4", "0", "M12_ASCII_version", "logging_enabled"}));
  ASSERT_TRUE(load.status.ok());
  Settings edited = load.settings;
  edited.PortNumberText = " 0x7";  // what the operator typed, never checked on save
  edited.GmtMinutesText = "";
  std::vector<std::string> expected = DefaultLines();
  expected[0] = " 0x7";
  expected[1] = "1";
  expected[11] = "";
  expected[12] = "Motorola_M12";
  expected[13] = "LOGGING_ENABLED";
  EXPECT_EQ(SettingsFileText(edited), Join(expected));

  for (const auto& [protocol, word] : {std::pair<std::int32_t, std::string>{0, "NMEA_0183"},
                                       {1, "Motorola_M12"},
                                       {2, "Motorola_Oncore"},
                                       {3, "NMEA_0183 9600 Bod"},
                                       {4, "NMEA_0183"},
                                       {-1, "NMEA_0183"}}) {
    Settings s;
    s.Protocol = protocol;
    expected = DefaultLines();
    expected[12] = word;
    EXPECT_EQ(SettingsFileText(s), Join(expected)) << protocol;
  }
}

TEST(SettingsFile, FailedSaveIsReportedAndKeepsTheOldFile) {
  FakeTextFiles files;
  files.Set(kFile, "old");
  files.FailWrites(true);
  const Status status = SaveSettings(Settings{}, files);
  EXPECT_EQ(status.code(), StatusCode::kIoError);
  EXPECT_FALSE(status.message().empty());
  EXPECT_EQ(files.Get(kFile), "old");
}

TEST(SettingsFile, NumericLinesFollowTheIntegerSyntaxAndKeepTheLow16Bits) {
  struct Case {
    std::string line;
    std::uint16_t port;
  };
  for (const Case& c :
       {Case{" 5", 5}, Case{"$1A", 26}, Case{"-1", 65535}, Case{"65538", 2}, Case{"+0x10", 16}}) {
    std::vector<std::string> lines = DefaultLines();
    lines[0] = c.line;
    Load load(Join(lines));
    ASSERT_TRUE(load.status.ok()) << load.status.ToString();
    EXPECT_EQ(load.settings.PortNumber, c.port) << "'" << c.line << "'";
    EXPECT_EQ(load.settings.PortNumberText, c.line);
  }
  // The 32-bit fields keep the whole value.
  std::vector<std::string> lines = DefaultLines();
  lines[1] = "-70000";
  lines[11] = "$FFFFFFFF";
  Load load(Join(lines));
  ASSERT_TRUE(load.status.ok());
  EXPECT_EQ(load.settings.GmtHours, -70000);
  EXPECT_EQ(load.settings.GmtMinutes, -1);
}

TEST(SettingsFile, ClockUpdateIntervalBecomesAMessageCount) {
  struct Case {
    std::string seconds, interval;
    std::uint16_t count;
  };
  for (const Case& c : {Case{"60", "1", 60}, Case{"60", "7", 8}, Case{"5", "10", 0},
                        Case{"65535", "65537", 65535}}) {
    std::vector<std::string> lines = DefaultLines();
    lines[3] = c.seconds;
    lines[2] = c.interval;
    Load load(Join(lines));
    ASSERT_TRUE(load.status.ok());
    EXPECT_EQ(load.settings.ClockUpdateInterval, c.count) << c.seconds << "/" << c.interval;
    EXPECT_EQ(load.settings.ClockUpdateIntervalText, c.seconds);
  }
}

TEST(SettingsFile, BadIntegerStopsAtItsLineAndKeepsWhatCameBefore) {
  std::vector<std::string> lines = DefaultLines();
  lines[0] = "7";
  lines[3] = "120";
  lines[7] = "4";   // SummerMonth, read before the failure
  lines[8] = "3 ";  // SummerHour: a trailing blank is not allowed
  lines[9] = "11";  // never reached
  lines[12] = "Motorola_M12";
  Load load(Join(lines));
  EXPECT_EQ(load.status.code(), StatusCode::kInvalidInteger);
  EXPECT_EQ(load.status.message(), "'3 ' is not a valid integer value");
  const Settings& s = load.settings;
  EXPECT_EQ(s.PortNumber, 7);
  EXPECT_EQ(s.SummerMonth, 4);
  EXPECT_EQ(s.SummerHourText, "3 ");
  EXPECT_EQ(s.SummerHour, 3);  // default kept
  EXPECT_EQ(s.ZoneMonth, 10);
  EXPECT_EQ(s.ZoneMonthText, "10");
  EXPECT_EQ(s.Protocol, 0);
  EXPECT_EQ(s.ClockUpdateInterval, 120);  // still seconds
  EXPECT_EQ(s.SummerDay, 29);             // from the defaults, not from April
  EXPECT_TRUE(load.menu_calls.empty());

  Load empty_first(Join({""}));
  EXPECT_EQ(empty_first.status.message(), "'' is not a valid integer value");
  EXPECT_EQ(empty_first.settings.PortNumberText, "");
  EXPECT_EQ(empty_first.settings.PortNumber, 2);
}

TEST(SettingsFile, MonthOutsideTheYearFailsWithDateEncode) {
  std::vector<std::string> lines = DefaultLines();
  lines[3] = "120";
  lines[7] = "13";
  Load bad_summer(Join(lines));
  EXPECT_EQ(bad_summer.status,
            Status::Error(StatusCode::kDateEncode, "Invalid argument to date encode"));
  EXPECT_EQ(bad_summer.settings.SummerMonth, 13);
  EXPECT_EQ(bad_summer.settings.ClockUpdateInterval, 120);

  lines[7] = "4";
  lines[9] = "0";
  Load bad_zone(Join(lines));
  EXPECT_EQ(bad_zone.status.code(), StatusCode::kDateEncode);
  EXPECT_EQ(bad_zone.settings.SummerDay, 26);  // April was already derived
  EXPECT_EQ(bad_zone.settings.ClockUpdateInterval, 120);
}

TEST(SettingsFile, TransmitIntervalWithZeroLow16BitsIsDivisionByZero) {
  for (const std::string interval : {"0", "65536", "$10000"}) {
    std::vector<std::string> lines = DefaultLines();
    lines[2] = interval;
    lines[7] = "4";
    Load load(Join(lines));
    EXPECT_EQ(load.status, Status::Error(StatusCode::kDivisionByZero, "Division by zero"));
    EXPECT_EQ(load.settings.ClockUpdateInterval, 60) << interval;  // still seconds
    EXPECT_EQ(load.settings.SummerDay, 26);  // the days are derived before the division
  }
}

TEST(SettingsFile, LinesEndAtLfWithOrWithoutCr) {
  std::vector<std::string> lines = DefaultLines();
  lines[0] = "9";
  lines[13] = "LOGGING_ENABLED";
  for (const std::string eol : {"\n", "\r\n"}) {
    Load load(Join(lines, eol));
    ASSERT_TRUE(load.status.ok());
    EXPECT_EQ(load.settings.PortNumber, 9);
    EXPECT_TRUE(load.settings.LoggingEnabled);
  }
  // A last line without LF still counts.
  std::string text = Join(lines);
  text.resize(text.size() - 2);
  EXPECT_TRUE(Load(text).settings.LoggingEnabled);
  // Only one CR before the LF is part of the line end.
  EXPECT_EQ(Load("9\r\r\n").status.message(), "'9\\x0D' is not a valid integer value");
  // Empty lines count as lines: line 2 is empty here.
  EXPECT_EQ(Load("9\n\n").status.message(), "'' is not a valid integer value");
}

TEST(SettingsFile, ReceiverDelayAndChronySocketFollowTheClassicLines) {
  struct Case {
    std::vector<std::string> extra;  // lines after the 14th
    std::string error;               // empty: loads
    std::int32_t delay;
    std::string socket;
  };
  const Case cases[] = {
      {{}, "", 0, ""},  // a classic 14-line file
      {{"250"}, "", 250, ""},
      {{"$10", "/run/chrony/gps.sock", "x", "LOGGING_ENABLED"}, "", 16, "/run/chrony/gps.sock"},
      {{"999", ""}, "", 999, ""},
      {{"-1"}, "The receiver delay must be 0 to 999 ms, not -1.", 0, ""},
      {{"1000"}, "The receiver delay must be 0 to 999 ms, not 1000.", 0, ""},
      {{"5 ms"}, "'5 ms' is not a valid integer value", 0, ""},
      {{std::string(200, '0') + "1000"},  // a valid integer, echoed as a glance
       "The receiver delay must be 0 to 999 ms, not " + std::string(64, '0') + "\xE2\x80\xA6.",
       0,
       ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines = DefaultLines();
    lines.resize(14);
    lines.insert(lines.end(), c.extra.begin(), c.extra.end());
    Load load(Join(lines));
    SCOPED_TRACE(Join(c.extra, "|"));
    EXPECT_EQ(load.status.message(), c.error);
    if (!c.error.empty()) continue;
    EXPECT_EQ(load.settings.ReceiverDelayMs, c.delay);
    EXPECT_EQ(load.settings.ChronySocketPath, c.socket);
    EXPECT_FALSE(load.settings.LoggingEnabled);  // lines after the 16th do nothing
    EXPECT_EQ(Load(SettingsFileText(load.settings)).settings, load.settings);
  }
}

// However long a line, only the file's first kilobytes are read: a line
// longer than any setting (a socket path longer than a local socket's
// address) is refused, and what follows the 16 lines is never needed.
TEST(SettingsFile, LinesTooLongAreRefusedAndNoFileIsReadWhole) {
  const std::string dots = "\xE2\x80\xA6";
  const std::string path107 = "/run/chrony/" + std::string(95, 's');
  const std::string huge(1 << 20, '7');
  struct Case {
    std::size_t line;  // 1..16, replaced by `text`
    std::string text;
    std::string error;  // empty: loads
  };
  const Case cases[] = {
      {16, path107, ""},
      {16, path107 + "x",
       "The chrony socket path must be at most 107 bytes long, not " + path107.substr(0, 64) +
           dots + "."},
      {16, huge,
       "The chrony socket path must be at most 107 bytes long, not " + huge.substr(0, 64) + dots +
           "."},
      {5, std::string(255, ';'), ""},  // a switch that is off
      {5, std::string(256, ';'),
       "Line 5 of GPS_parm.txt must be at most 255 bytes long, not " + std::string(64, ';') + dots +
           "."},
      {1, huge,
       "Line 1 of GPS_parm.txt must be at most 255 bytes long, not " + huge.substr(0, 64) + dots +
           "."},
      {17, huge, ""},  // after the last setting
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines = DefaultLines();
    lines.resize(std::max(lines.size(), c.line));
    lines[c.line - 1] = c.text;
    Load load(Join(lines));
    SCOPED_TRACE("line " + std::to_string(c.line) + " of " + std::to_string(c.text.size()));
    EXPECT_EQ(load.status.message(), c.error);
    EXPECT_LE(load.files.LargestReadAsked(), 16u * 1024);
    if (c.error.empty()) {
      EXPECT_EQ(load.settings.ChronySocketPath, lines[15]);
    }
  }
}

// The one list of editable settings: an apply takes each of them whole, and
// no number.
TEST(SettingsFields, CopyTakesEachEditableSettingAndNoNumber) {
  for (const SettingField& field : SettingFields()) {
    Settings changed;
    if (field.text != nullptr) changed.*field.text = "x";
    if (field.flag != nullptr) changed.*field.flag = !(changed.*field.flag);
    if (field.kind == SettingKind::kProtocol) changed.Protocol = kProtocolNmea9600;
    EXPECT_FALSE(SameSetting(field, changed, Settings{})) << field.name;
    Settings to;
    CopyEditableSettings(changed, to);
    EXPECT_EQ(to, changed) << field.name;
    EXPECT_EQ(SettingNamed(field.name), &field);
  }
  Settings numbered;
  numbered.PortNumber = 9;
  Settings to;
  CopyEditableSettings(numbered, to);
  EXPECT_EQ(to, Settings{});
}

TEST(SettingsFile, AnyBytesLoadWithoutHarm) {
  const std::string cr_only = Join(DefaultLines(), "\r");  // one long line
  Load cr_load(cr_only);
  // The message shows the CRs and only the start of the line.
  EXPECT_EQ(cr_load.status.message(),
            "'2\\x0D2\\x0D1\\x0D60\\x0D;ONLY_MIN_SEC\\x0D;SOUND_DISABLED\\x0D;SUMMER_TIME"
            "\\x0D3\\x0D3\\x0D10\\x0D4\\x0D0\\x0DN\xE2\x80\xA6' is not a valid integer value");
  EXPECT_EQ(cr_load.settings.PortNumberText, cr_only);

  const std::string with_nul("5\0\r\n", 4);
  EXPECT_EQ(Load(with_nul).status.message(), "'5\\x00' is not a valid integer value");
  std::vector<std::string> lines = DefaultLines();
  lines[12] = std::string("Motorola_M12\0", 13);
  EXPECT_EQ(Load(Join(lines)).settings.Protocol, 0);

  // Random bytes, biased towards line ends and digits. ORVIK_TEST_SEED replays a run.
  const char* seed_text = std::getenv("ORVIK_TEST_SEED");
  const unsigned seed = seed_text ? static_cast<unsigned>(std::strtoul(seed_text, nullptr, 10))
                                  : std::random_device{}();
  SCOPED_TRACE("ORVIK_TEST_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);
  const std::string alphabet("0123456789\r\n\n $x-\0\xff", 20);
  for (int round = 0; round < 300; ++round) {
    std::string bytes(random() % 200, '\0');
    for (char& b : bytes) {
      b = random() % 2 ? alphabet[random() % alphabet.size()] : static_cast<char>(random());
    }
    Load load(bytes);
    const StatusCode code = load.status.code();
    EXPECT_TRUE(code == StatusCode::kOk || code == StatusCode::kInvalidInteger ||
                code == StatusCode::kDateEncode || code == StatusCode::kDivisionByZero ||
                code == StatusCode::kInvalidArgument);
    EXPECT_LE(load.menu_calls.size(), 1u);
  }
}

}  // namespace
}  // namespace orvik::core
