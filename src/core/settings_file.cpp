#include "core/settings_file.h"

#include <cstddef>
#include <optional>

#include "core/calendar.h"
#include "core/file_line_limit.h"
#include "core/integer_syntax.h"

namespace orvik::core {
namespace {

constexpr std::string_view kLoggingEnabledWord = "LOGGING_ENABLED";
constexpr std::string_view kLoggingDisabledWord = "LOGGING_DISABLED";
constexpr std::string_view kMotorolaM12Word = "Motorola_M12";
constexpr std::string_view kM12AsciiWord = "M12_ASCII_version";  // read, never written
constexpr std::string_view kMotorolaOncoreWord = "Motorola_Oncore";
constexpr std::string_view kNmea9600Word = "NMEA_0183 9600 Bod";
constexpr std::string_view kNmea4800Word = "NMEA_0183";

// Splits `content` into lines at LF, dropping one CR before each LF. A last
// line without LF still counts; nothing after the last LF is no line.
class LineReader {
 public:
  explicit LineReader(std::string_view content) : rest_(content) {}

  bool AtEnd() const { return rest_.empty(); }

  // REQUIRES: !AtEnd().
  std::string_view Next() {
    std::string_view line = rest_;
    const std::size_t lf = rest_.find('\n');
    if (lf == std::string_view::npos) {
      rest_ = {};
    } else {
      line = rest_.substr(0, lf);
      rest_.remove_prefix(lf + 1);
      if (line.ends_with('\r')) line.remove_suffix(1);
    }
    return line;
  }

 private:
  std::string_view rest_;
};

// Stores `line` as the text form, then its value (a 16-bit field takes the
// low 16 bits); on a bad integer the number keeps its old value.
Status ReadNumberLine(std::string_view line, const SettingField& field, Settings& s) {
  (s.*field.text).assign(line);
  Result<std::int32_t> value = ParseInteger(line);
  if (!value.ok()) return value.status();
  if (field.int32_value != nullptr) {
    s.*field.int32_value = value.value();
  } else {
    s.*field.uint16_value = static_cast<std::uint16_t>(value.value());
  }
  return field.check != nullptr ? field.check(s) : Status::Ok();
}

std::int32_t ProtocolFromWord(std::string_view line) {
  if (line == kMotorolaM12Word || line == kM12AsciiWord) return kProtocolMotorolaM12;
  if (line == kMotorolaOncoreWord) return kProtocolMotorolaOncore;
  if (line == kNmea9600Word) return kProtocolNmea9600;
  return kProtocolNmea4800;
}

std::string_view ProtocolWord(std::int32_t protocol) {
  switch (protocol) {
    case kProtocolMotorolaM12:
      return kMotorolaM12Word;
    case kProtocolMotorolaOncore:
      return kMotorolaOncoreWord;
    case kProtocolNmea9600:
      return kNmea9600Word;
    default:
      return kNmea4800Word;
  }
}

// Only the ASCII letters a-z change; every other byte stays as it is.
bool EqualsIgnoringAsciiCase(std::string_view line, std::string_view upper_word) {
  if (line.size() != upper_word.size()) return false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upper_word[i]) return false;
  }
  return true;
}

// Handles `line` as the line of `field`.
Status ApplyLine(const SettingField& field, std::string_view line, Settings& s,
                 const std::function<void(bool)>& enable_commands_menu) {
  switch (field.kind) {
    case SettingKind::kNumber:
      return ReadNumberLine(line, field, s);
    case SettingKind::kSwitch:
      s.*field.flag = line == field.word;
      break;
    case SettingKind::kProtocol:
      s.*field.int32_value = ProtocolFromWord(line);
      if (enable_commands_menu) enable_commands_menu(!IsNmeaProtocol(s.*field.int32_value));
      break;
    case SettingKind::kLogging:
      s.*field.flag = EqualsIgnoringAsciiCase(line, kLoggingEnabledWord);
      break;
    case SettingKind::kPath:
      (s.*field.text).assign(line);
      return field.check != nullptr ? field.check(s) : Status::Ok();
  }
  return Status::Ok();
}

}  // namespace

Result<std::uint16_t> LastSundayOfMonth(std::uint16_t month, const DateTime& pc_now) {
  const int year = pc_now.year;
  int day = 31;
  if (month == 2) {
    day = 29;
  } else if (month == 4 || month == 6 || month == 9 || month == 11) {
    day = 30;
  }
  // Only February of a common year needs the second try; a month outside
  // 1..12 fails both.
  if (!IsValidDate(year, month, day)) --day;
  if (!IsValidDate(year, month, day)) {
    return Status::Error(StatusCode::kDateEncode, "Invalid argument to date encode");
  }
  // Step back to Sunday (day of week 0); at most six days, so still in the month.
  day -= DayOfWeek(year, month, day);
  return static_cast<std::uint16_t>(day);
}

void ApplyDefaultSettings(Settings& settings, const DateTime& pc_now) {
  settings = Settings{};
  // March and October always exist; only a clock year outside 1..9999 could
  // fail here, and then the days stay 0 until a load reports the error.
  if (Result<std::uint16_t> day = LastSundayOfMonth(settings.SummerMonth, pc_now); day.ok()) {
    settings.SummerDay = day.value();
  }
  if (Result<std::uint16_t> day = LastSundayOfMonth(settings.ZoneMonth, pc_now); day.ok()) {
    settings.ZoneDay = day.value();
  }
}

Status LoadSettings(Settings& settings, TextFiles& files, const DateTime& pc_now,
                    const std::function<void(bool)>& enable_commands_menu) {
  ApplyDefaultSettings(settings, pc_now);

  // A file that cannot be opened is not an error: the defaults stand. A name
  // that is no regular file, or a failed read, is. Only the file's start is
  // read (core/file_line_limit.h): lines after the last setting's have no
  // effect, so reading stops there.
  const Result<std::optional<std::string>> read =
      files.ReadAtMost(kSettingsFileName, kFileReadLimit);
  if (!read.ok()) return read.status();
  if (const std::optional<std::string>& content = read.value()) {
    LineReader lines(*content);
    for (const SettingField& field : SettingFields()) {
      if (lines.AtEnd()) break;
      const std::string_view line = lines.Next();
      // The socket path has its own, shorter limit and message.
      if (field.kind != SettingKind::kPath) {
        Status length = CheckLineLength(kSettingsFileName, field.file_line, line);
        if (!length.ok()) return length;
      }
      if (Status status = ApplyLine(field, line, settings, enable_commands_menu); !status.ok()) {
        return status;
      }
    }
  }

  Result<std::uint16_t> summer_day = LastSundayOfMonth(settings.SummerMonth, pc_now);
  if (!summer_day.ok()) return summer_day.status();
  settings.SummerDay = summer_day.value();
  Result<std::uint16_t> zone_day = LastSundayOfMonth(settings.ZoneMonth, pc_now);
  if (!zone_day.ok()) return zone_day.status();
  settings.ZoneDay = zone_day.value();

  if (settings.TransmitInterval == 0) {
    return Status::Error(StatusCode::kDivisionByZero, "Division by zero");
  }
  // From seconds to receiver messages between two clock updates.
  settings.ClockUpdateInterval =
      static_cast<std::uint16_t>(settings.ClockUpdateInterval / settings.TransmitInterval);
  return Status::Ok();
}

std::string SettingsFileText(const Settings& s) {
  std::string text;
  for (const SettingField& field : SettingFields()) {
    switch (field.kind) {
      case SettingKind::kNumber:
      case SettingKind::kPath:
        text += s.*field.text;
        break;
      case SettingKind::kSwitch:
        if (!(s.*field.flag)) text += ';';
        text += field.word;
        break;
      case SettingKind::kProtocol:
        text += ProtocolWord(s.*field.int32_value);
        break;
      case SettingKind::kLogging:
        text += s.*field.flag ? kLoggingEnabledWord : kLoggingDisabledWord;
        break;
    }
    text += "\r\n";
  }
  return text;
}

Status SaveSettings(const Settings& settings, TextFiles& files) {
  return files.ReplaceAtomically(kSettingsFileName, SettingsFileText(settings));
}

}  // namespace orvik::core
