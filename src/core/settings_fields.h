// The one list of the settings the operator edits: for each, its line in
// "GPS_parm.txt" and where it is held in Settings (text form, switch,
// protocol number or path). The settings file reads and writes its lines
// from this list and the service takes an apply's edits through it; the
// setup dialog's controls name their setting in it. Pure data, no I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/settings.h"
#include "core/status.h"

namespace orvik::core {

enum class SettingKind {
  kNumber,    // a text form and the number it is read as
  kSwitch,    // on: its word on the line; off: ";" and the word
  kProtocol,  // the protocol word; an index into the dialog's list
  kLogging,   // LOGGING_ENABLED in any case, else off
  kPath,      // the line as it stands
};

struct SettingField {
  std::string_view name;
  int file_line = 0;  // 1..16
  SettingKind kind = SettingKind::kNumber;
  std::string Settings::*text = nullptr;          // kNumber's text form; kPath
  std::int32_t Settings::*int32_value = nullptr;  // kNumber (or this or uint16), kProtocol
  std::uint16_t Settings::*uint16_value = nullptr;
  bool Settings::*flag = nullptr;  // kSwitch, kLogging
  std::string_view word;           // kSwitch
  // Checks the number or path once it is read; null: every value is taken.
  Status (*check)(const Settings&) = nullptr;
};

// The largest receiver delay accepted, in milliseconds.
inline constexpr std::int32_t kMaxReceiverDelayMs = 999;
// The longest chrony socket path accepted, in bytes: a local socket's
// address holds 108 bytes with the terminating NUL.
inline constexpr std::size_t kMaxChronySocketPathLength = 107;

// Every editable setting, in file line order (line n at index n - 1).
std::span<const SettingField> SettingFields();

// The setting called `name`; null when there is none.
const SettingField* SettingNamed(std::string_view name);

// The edited part of one setting (text form, switch, protocol or path):
// copied from `from` to `to`, or compared. Numbers follow their text only
// at load, so they are neither copied nor compared.
void CopySetting(const SettingField& field, const Settings& from, Settings& to);
bool SameSetting(const SettingField& field, const Settings& a, const Settings& b);

// Every editable setting of `from` copied into `to`; the rest of `to` stays.
void CopyEditableSettings(const Settings& from, Settings& to);

}  // namespace orvik::core
