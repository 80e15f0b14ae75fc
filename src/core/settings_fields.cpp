#include "core/settings_fields.h"

#include <array>

#include "core/visible_text.h"

namespace orvik::core {
namespace {

Status CheckReceiverDelay(const Settings& s) {
  if (s.ReceiverDelayMs >= 0 && s.ReceiverDelayMs <= kMaxReceiverDelayMs) return Status::Ok();
  return Status::Error(StatusCode::kInvalidArgument,
                       "The receiver delay must be 0 to " + std::to_string(kMaxReceiverDelayMs) +
                           " ms, not " + EchoedText(s.ReceiverDelayText) + ".");
}

Status CheckChronySocketPath(const Settings& s) {
  if (s.ChronySocketPath.size() <= kMaxChronySocketPathLength) return Status::Ok();
  return Status::Error(StatusCode::kInvalidArgument,
                       "The chrony socket path must be at most " +
                           std::to_string(kMaxChronySocketPathLength) + " bytes long, not " +
                           EchoedText(s.ChronySocketPath) + ".");
}

// Builders of the entries below; each leaves what does not apply empty.
constexpr SettingField Number(std::string_view name, int line, std::string Settings::*text,
                              std::int32_t Settings::*value) {
  SettingField field;
  field.name = name;
  field.file_line = line;
  field.text = text;
  field.int32_value = value;
  return field;
}

constexpr SettingField Number(std::string_view name, int line, std::string Settings::*text,
                              std::uint16_t Settings::*value) {
  SettingField field = Number(name, line, text, static_cast<std::int32_t Settings::*>(nullptr));
  field.uint16_value = value;
  return field;
}

constexpr SettingField Switch(std::string_view name, int line, bool Settings::*flag,
                              std::string_view word) {
  SettingField field;
  field.name = name;
  field.file_line = line;
  field.kind = SettingKind::kSwitch;
  field.flag = flag;
  field.word = word;
  return field;
}

constexpr SettingField ReceiverDelay() {
  SettingField field =
      Number("ReceiverDelay", 15, &Settings::ReceiverDelayText, &Settings::ReceiverDelayMs);
  field.check = &CheckReceiverDelay;
  return field;
}

constexpr SettingField Protocol() {
  SettingField field;
  field.name = "Protocol";
  field.file_line = 13;
  field.kind = SettingKind::kProtocol;
  field.int32_value = &Settings::Protocol;
  return field;
}

constexpr SettingField Logging() {
  SettingField field;
  field.name = "LoggingEnabled";
  field.file_line = 14;
  field.kind = SettingKind::kLogging;
  field.flag = &Settings::LoggingEnabled;
  return field;
}

constexpr SettingField ChronySocket() {
  SettingField field;
  field.name = "ChronySocketPath";
  field.file_line = 16;
  field.kind = SettingKind::kPath;
  field.text = &Settings::ChronySocketPath;
  field.check = &CheckChronySocketPath;
  return field;
}

using S = Settings;

constexpr std::array<SettingField, 16> kFields = {
    Number("PortNumber", 1, &S::PortNumberText, &S::PortNumber),
    Number("GmtHours", 2, &S::GmtHoursText, &S::GmtHours),
    Number("TransmitInterval", 3, &S::TransmitIntervalText, &S::TransmitInterval),
    Number("ClockUpdateInterval", 4, &S::ClockUpdateIntervalText, &S::ClockUpdateInterval),
    Switch("OnlyMinSec", 5, &S::OnlyMinSec, "ONLY_MIN_SEC"),
    Switch("SoundDisabled", 6, &S::SoundDisabled, "SOUND_DISABLED"),
    Switch("SummerTime", 7, &S::SummerTime, "SUMMER_TIME"),
    Number("SummerMonth", 8, &S::SummerMonthText, &S::SummerMonth),
    Number("SummerHour", 9, &S::SummerHourText, &S::SummerHour),
    Number("ZoneMonth", 10, &S::ZoneMonthText, &S::ZoneMonth),
    Number("ZoneHour", 11, &S::ZoneHourText, &S::ZoneHour),
    Number("GmtMinutes", 12, &S::GmtMinutesText, &S::GmtMinutes),
    Protocol(),
    Logging(),
    ReceiverDelay(),
    ChronySocket(),
};

constexpr bool LinesInOrder() {
  for (std::size_t i = 0; i < kFields.size(); ++i) {
    if (kFields[i].file_line != static_cast<int>(i) + 1) return false;
  }
  return true;
}
static_assert(LinesInOrder(), "line n of the file is entry n - 1");

}  // namespace

std::span<const SettingField> SettingFields() { return kFields; }

const SettingField* SettingNamed(std::string_view name) {
  for (const SettingField& field : kFields) {
    if (field.name == name) return &field;
  }
  return nullptr;
}

void CopySetting(const SettingField& field, const Settings& from, Settings& to) {
  switch (field.kind) {
    case SettingKind::kNumber:
    case SettingKind::kPath:
      to.*field.text = from.*field.text;
      break;
    case SettingKind::kSwitch:
    case SettingKind::kLogging:
      to.*field.flag = from.*field.flag;
      break;
    case SettingKind::kProtocol:
      to.*field.int32_value = from.*field.int32_value;
      break;
  }
}

bool SameSetting(const SettingField& field, const Settings& a, const Settings& b) {
  switch (field.kind) {
    case SettingKind::kNumber:
    case SettingKind::kPath:
      return a.*field.text == b.*field.text;
    case SettingKind::kSwitch:
    case SettingKind::kLogging:
      return a.*field.flag == b.*field.flag;
    case SettingKind::kProtocol:
      return a.*field.int32_value == b.*field.int32_value;
  }
  return true;
}

void CopyEditableSettings(const Settings& from, Settings& to) {
  for (const SettingField& field : kFields) CopySetting(field, from, to);
}

}  // namespace orvik::core
